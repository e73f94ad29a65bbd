// Float fault detection. The calculator runs with the invalid-operation,
// division-by-zero and overflow faults "enabled": each of them must surface as
// a FloatError with its fixed message, while underflow, denormal operands and
// inexact results stay silent.
//
// Instead of unmasking hardware traps (which would fire inside the C library's
// own maths and leave the FPU in a trapped state) we read the sticky status
// flags: clear them, run one step, test them. A step that raises several flags
// reports invalid before division by zero before overflow. Callers that chain
// several steps (a logarithm, then another, then a division) guard each step
// on its own so that the first faulting step decides the message.
//
// GCC does not honour FENV_ACCESS, so the operands and the result of a guarded
// step pass through Fence(): an empty asm the optimiser must treat as an
// unknown rewrite of the value. That pins the float work between the clear
// and the test, and stops constant folding of faulting expressions.
#pragma once

#include <cfenv>
#include <utility>

namespace fpu {

// Returns v unchanged, but the optimiser can neither see through it nor move
// it across the flag clear and test around it.
inline long double Fence(long double v) {
    asm volatile("" : "+m"(v));
    return v;
}

// Clears every float status flag.
void ClearFaults() noexcept;

// Throws FloatInvalidError, FloatZeroDivideError or FloatOverflowError if the
// matching flag is set (in that order of precedence); otherwise returns.
void CheckFaults();

// Runs fn on the fenced operands as one guarded step and returns its result;
// throws the step's fault, if any.
template <class Fn, class... Args>
long double Guarded(Fn&& fn, Args... args) {
    ClearFaults();
    long double r = std::forward<Fn>(fn)(Fence(static_cast<long double>(args))...);
    r = Fence(r);
    CheckFaults();
    return r;
}

// Guarded arithmetic on extended floats.
inline long double Add(long double a, long double b) {
    return Guarded([](long double x, long double y) { return x + y; }, a, b);
}
inline long double Sub(long double a, long double b) {
    return Guarded([](long double x, long double y) { return x - y; }, a, b);
}
inline long double Mul(long double a, long double b) {
    return Guarded([](long double x, long double y) { return x * y; }, a, b);
}
inline long double Div(long double a, long double b) {
    return Guarded([](long double x, long double y) { return x / y; }, a, b);
}

// Saves the float environment with every fault masked and puts it back,
// flags included, when it goes: for float work outside the machine's steps
// (text forms, a float's fields), which must neither leave flags behind for
// the machine to read nor trap if the machine has unmasked them.
class QuietEnv {
public:
    QuietEnv() { std::feholdexcept(&env_); }
    ~QuietEnv() { std::fesetenv(&env_); }
    QuietEnv(const QuietEnv&) = delete;
    QuietEnv& operator=(const QuietEnv&) = delete;

private:
    std::fenv_t env_;
};

}  // namespace fpu
