#include "keys.h"

namespace {

struct Button {
    const char* caption;
    MachineAction action;
};

// Row by row as the keypad has them.
const Button kButtons[] = {
    {"LBT", {.op = opLBits}},
    {"SHL", {.op = opShl}},
    {"SHR", {.op = opShr}},
    {"ROL", {.op = opRol}},
    {"ROR", {.op = opRor}},
    {"AND", {.op = opAnd}},
    {"OR", {.op = opOr}},
    {"XOR", {.op = opXor}},
    {"NOT", {.call = &CcalcMach::FnNot}},
    {"RBT", {.call = &CcalcMach::FnRBits}},
    {"SGN", {.call = &CcalcMach::FnSgn}},
    {"ABS", {.call = &CcalcMach::FnAbs}},
    {"\u00B1", {.call = &CcalcMach::FnNeg}},
    {"ROUN", {.op = opRound}},
    {"^", {.op = opPow}},
    {"\u221A", {.call = &CcalcMach::FnSqrt}},
    {"SIN", {.call = &CcalcMach::FnSin}},
    {"COS", {.call = &CcalcMach::FnCos}},
    {"\u03C0", {.value = &kPiValue}},
    {"(", {.call = &CcalcMach::OpenParen}},
    {")", {.call = &CcalcMach::CloseParen}},
    {"CLRA", {.call = &CcalcMach::ClearAll}},
    // Beside the word size, in the bits panel and the display's menu.
    {"SAR", {.op = opSar}},
    {"BSWAP", {.call = &CcalcMach::FnByteSwap}},
};

}  // namespace

TypedKey TypedKeyOf(char c) {
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    switch (c) {
        case '\r': return {TypedKey::kMachine, '='};
        case 'x': return {TypedKey::kMachine, 'c'};
        case 'R':
        case 'r': return {TypedKey::kRecall, upper};
        case 'S':
        case 's': return {TypedKey::kStore, upper};
        case '\b':
        case '%':
        case '&':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case '-':
        case '.':
        case '/':
        case ':':
        case '=':
        case '^':
        case '|': return {TypedKey::kMachine, c};
        default: break;
    }
    const bool digit = (c >= '0' && c <= '9') || (upper >= 'A' && upper <= 'F');
    return {digit ? TypedKey::kMachine : TypedKey::kNone, upper};
}

void MachineAction::Run(CcalcMach& m) const {
    if (call)
        (m.*call)();
    else if (value)
        m.SetValue(*value);
    else
        m.OpSet(op);
}

const MachineAction* ButtonAction(std::string_view caption) {
    for (const Button& b : kButtons)
        if (caption == b.caption) return &b.action;
    return nullptr;
}
