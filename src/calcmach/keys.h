// The calculator's keys as its window takes them: what a typed character
// does, and what each keypad button that acts on the machine calls. qzcalc
// takes the same keys and adds its own (blanks, the comparison operators and
// those of two characters, the written forms of the buttons), so the window
// and qzcalc never differ on a key they share.
#pragma once

#include <cstdint>
#include <string_view>

#include "calcmach.h"

// A typed character as the window's display takes it.
struct TypedKey {
    enum Kind { kNone, kMachine, kRecall, kStore };
    Kind kind = kNone;
    // kMachine: the character for CcalcMach::KeyChar; otherwise the typed
    // character, letters in upper case.
    char key = 0;
};

// One byte as typed. The keys: backspace; carriage return, which is "=";
// % & ( ) * + , - . / : = ^ | and the digits; the letters A to F in either
// case (digits of the hexadecimal and IPv6 modes); R and S in either case,
// the register keys (recall, store); and "x", the clear key "c". An upper
// case "X" is no key.
TypedKey TypedKeyOf(char c);

// What a keypad button does to the machine: a call (a unary function, a
// parenthesis, ClearAll), else a value entered (SetValue), else a binary
// operation (OpSet).
struct MachineAction {
    void (CcalcMach::*call)() = nullptr;
    const CalcValue* value = nullptr;
    int32_t op = opNone;

    void Run(CcalcMach& m) const;
};

// The action of the keypad button with this caption ("LBT", "NOT", "±",
// "π", "CLRA", ...), or of the two buttons beside the word size ("SAR",
// the arithmetic shift right, and "BSWAP", the byte swap); null for a
// button that does not act on the machine directly ("STO", "RCL", "CLR",
// "Save", "TAPE").
const MachineAction* ButtonAction(std::string_view caption);
