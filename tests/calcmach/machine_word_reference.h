// The word-size rules through the machine's own operations: each rule of
// word_size_reference.h (checked there against C++'s fixed-width integers)
// carried out as the window carries it out, with values entered, an
// operator or a function, and "=", and compared with the same native
// computation, the display text included. Shared by the ordinary suite (a
// small sample) and by machine_word_check (a million cases per width and
// rule, run by `make word-size-check`).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "../wide/word_size_reference.h"
#include "calcmach/calcmach.h"

namespace machword {

// What the machine gave: a value, the divide-by-zero fault, or the error
// value shown (a negative integer exponent).
struct Outcome {
    enum Kind { kValue, kDivideByZero, kError };
    Kind kind = kValue;
    Word128 value{};
    bool operator==(const Outcome&) const = default;
};

// How the machine carries out each rule: an operator (OpSet) between two
// entered values, or a function of the entry.
struct MachineOp {
    const char* rule;
    int32_t op;
    void (CcalcMach::*fn)();
};

inline const MachineOp kOps[] = {
    {"add", opAdd, nullptr},
    {"subtract", opSub, nullptr},
    {"multiply", opMul, nullptr},
    {"negate", opNone, &CcalcMach::FnNeg},
    {"AND", opAnd, nullptr},
    {"OR", opOr, nullptr},
    {"XOR", opXor, nullptr},
    {"NOT", opNone, &CcalcMach::FnNot},
    {"SHL", opShl, nullptr},
    {"SHR", opShr, nullptr},
    {"SAR", opSar, nullptr},
    {"ROL", opRol, nullptr},
    {"ROR", opRor, nullptr},
    {"LBT", opLBits, nullptr},
    {"RBT", opNone, &CcalcMach::FnRBits},
    {"byte swap", opNone, &CcalcMach::FnByteSwap},
    {"divide", opDiv, nullptr},
    {"power", opPow, nullptr},
    {"<", opLt, nullptr},
    {"<=", opLe, nullptr},
    {">", opGt, nullptr},
    {">=", opGe, nullptr},
    {"=", opEq, nullptr},
};

inline const MachineOp* OpOf(const std::string& rule) {
    for (const MachineOp& op : kOps)
        if (rule == op.rule) return &op;
    return nullptr;
}

// The modes the cases are shown in, turn by turn.
inline constexpr ValueMode kModes[] = {vmDec, vmHex, vmOct, vmBin};

// a op b (or fn of a) on a machine at the word size m is set to.
inline Outcome Run(CcalcMach& m, const MachineOp& op, ValueMode mode, Word128 a, Word128 b) {
    m.Clear();
    m.SetValue(CalcValue::Int(mode, a));
    try {
        if (op.fn) {
            (m.*op.fn)();
        } else {
            m.OpSet(op.op);
            m.SetValue(CalcValue::Int(mode, b));
            m.Equals();
        }
    } catch (const DivByZeroError&) {
        return {Outcome::kDivideByZero, {}};
    }
    if (m.ShownValue().mode == vmERR) return {Outcome::kError, {}};
    return {Outcome::kValue, m.ShownValue().w()};
}

// The text of an n-bit value (n <= 64) as the display shows it in the
// mode, made from the native integer with the C library's formatting.
inline std::string NativeText(Word128 v, ValueMode mode, WordBits n) {
    const unsigned bits = BitsOf(n);
    const uint64_t u = bits == 64 ? v.lo : v.lo & ((uint64_t{1} << bits) - 1);
    const int64_t s = static_cast<int64_t>(v.lo << (64 - bits)) >> (64 - bits);
    char buf[80];
    switch (mode) {
        case vmDec: std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(s)); break;
        case vmHex: std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(u)); break;
        case vmOct: std::snprintf(buf, sizeof buf, "%llo", static_cast<unsigned long long>(u)); break;
        default: {
            std::string b;
            for (uint64_t r = u; r != 0; r >>= 1) b.insert(b.begin(), static_cast<char>('0' + (r & 1)));
            return b.empty() ? "0" : b;
        }
    }
    return buf;
}

inline std::string Show(const Outcome& o) {
    switch (o.kind) {
        case Outcome::kDivideByZero: return "divide by zero";
        case Outcome::kError: return "*** ERROR ***";
        case Outcome::kValue: break;
    }
    return "0x" + hexstr(o.value);
}

// Every rule on every pair of edge values and on `randomCases` random pairs,
// through a machine at the word size; the shown result must equal the
// native one, stay within its n bits, and read on the display (up to 64
// bits) as the native integer prints. A float made an integer by the mode
// buttons saturates as the native reference says.
inline wordref::Report CheckMachine(WordBits n, uint64_t randomCases, uint64_t seed, std::size_t keep = 10) {
    wordref::Report out;
    CcalcMach m;
    m.SetWordSize(n);
    const auto fail = [&](const std::string& rule, std::string operands, std::string want, std::string got) {
        ++out.failed;
        if (out.failures.size() < keep) out.failures.push_back({rule, std::move(operands), want, got});
    };
    const auto check = [&](const wordref::Rule& rule, const MachineOp& op, Word128 a, Word128 b,
                           ValueMode mode) {
        ++out.cases;
        const std::optional<Word128> native = rule.expected(a, b);
        Outcome want{native ? Outcome::kValue : Outcome::kDivideByZero, native.value_or(Word128{})};
        // The machine shows the error value for a negative integer exponent.
        if (op.op == opPow && wide::ReduceTo(b, n).IsNegative()) want = {Outcome::kError, {}};
        const Outcome got = Run(m, op, mode, a, b);
        const std::string operands = "0x" + hexstr(a) + ", 0x" + hexstr(b);
        if (!(got == want)) return fail(rule.name, operands, Show(want), Show(got));
        if (got.kind != Outcome::kValue) return;
        if (!wide::IsReduced(got.value, n)) return fail(rule.name, operands, "a reduced value", Show(got));
        if (BitsOf(n) > 64) return;
        // The sign change of 0 keeps the entry going negative: "-0".
        const bool negZero = op.fn == &CcalcMach::FnNeg && got.value.IsZero();
        const std::string text = negZero ? "-0" : NativeText(got.value, mode, n);
        if (m.DisplayText() != text) fail(rule.name + " shown", operands, text, m.DisplayText());
    };
    const std::vector<Word128> edges = wordref::EdgeValues(n);
    wordref::Operands gen(n, seed);
    std::size_t turn = 0;
    for (const wordref::Rule& rule : wordref::RulesAt(n)) {
        const MachineOp* op = OpOf(rule.name);
        if (!op) {
            fail(rule.name, "", "a machine operation", "none");
            continue;
        }
        for (const Word128 a : edges)
            for (const Word128 b : edges) check(rule, *op, a, b, kModes[turn++ % 4]);
        for (uint64_t i = 0; i < randomCases; ++i) {
            const Word128 a = gen.Value();
            const Word128 b = rule.countOperand ? gen.Count() : gen.Value();
            check(rule, *op, a, b, kModes[turn++ % 4]);
        }
    }
    for (uint64_t i = 0; i < randomCases; ++i) {
        const Extended x = gen.Float();
        m.SetValue(CalcValue::Float(x));
        m.SetMode(vmDec);
        const Word128 want = wordref::SaturatedAt(x, n), got = m.ShownValue().w();
        ++out.cases;
        if (got != want)
            fail("float to integer", wordref::FloatOperand(x), Show({Outcome::kValue, want}),
                 Show({Outcome::kValue, got}));
    }
    return out;
}

}  // namespace machword
