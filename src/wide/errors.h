// The calculator's error family. Every error the core raises derives from
// CalcError, so the user interface can catch them all in one place and show
// what() to the user unchanged.
#pragma once

#include <exception>
#include <string>
#include <utility>

class CalcError : public std::exception {
public:
    explicit CalcError(std::string message) : msg_(std::move(message)) {}
    const char* what() const noexcept override { return msg_.c_str(); }

private:
    std::string msg_;
};

// An argument outside the range a routine accepts (a base, a register number,
// an opcode, a mode name, a register text it cannot read).
class RangeError : public CalcError {
public:
    using CalcError::CalcError;
};

// A text that the float parser cannot read as a number.
class ConvertError : public CalcError {
public:
    using CalcError::CalcError;
};

// Integer division with a zero divisor and a non-zero dividend.
class DivByZeroError : public CalcError {
public:
    DivByZeroError() : CalcError("Word128: divide by zero") {}
};

// The enabled floating-point faults.
class FloatError : public CalcError {
public:
    using CalcError::CalcError;
};

class FloatInvalidError : public FloatError {
public:
    FloatInvalidError() : FloatError("Invalid floating point operation") {}
};

class FloatZeroDivideError : public FloatError {
public:
    FloatZeroDivideError() : FloatError("Division by zero") {}
};

class FloatOverflowError : public FloatError {
public:
    FloatOverflowError() : FloatError("Floating point overflow") {}
};
