#include "code_number.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

bool IsSeparator(char c) { return c == '_' || c == '\'' || c == ' '; }

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }

// Digit value in either case, or 99.
constexpr std::array<unsigned char, 256> kDigits = [] {
    std::array<unsigned char, 256> t{};
    t.fill(99);
    for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 'a' + 10);
    return t;
}();

unsigned Digit(char c) { return kDigits[static_cast<unsigned char>(c)]; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view t) {
    while (!t.empty() && IsTrimmed(t.front())) t.remove_prefix(1);
    while (!t.empty() && IsTrimmed(t.back())) t.remove_suffix(1);
    return t;
}

// A magnitude read digit by digit, with a note once it passes 2^128 - 1.
struct Magnitude {
    u128 v = 0;
    bool over = false;

    // v * scale + low, scale at most 10^19.
    void Push(uint64_t low, uint64_t scale) {
        if (__builtin_mul_overflow(v, u128{scale}, &v) || __builtin_add_overflow(v, u128{low}, &v))
            over = true;
    }
    // A digit of bitsPerDigit bits.
    void PushBits(unsigned d, unsigned bitsPerDigit) {
        if ((v >> (128 - bitsPerDigit)) != 0) over = true;
        v = (v << bitsPerDigit) | d;
    }
    // Whether the magnitude, negated when negative, lies in
    // -2^(bits-1) .. 2^bits - 1.
    bool Fits(bool negative, WordBits bits) const {
        return !over && wide::FitsWord(negative, Word128::FromNative(v), bits);
    }
    Word128 Value(bool negative) const {
        const Word128 w = Word128::FromNative(v);
        return negative ? -w : w;
    }
};

unsigned BitsPerDigit(unsigned base) { return base == 2 ? 1 : base == 8 ? 3 : base == 16 ? 4 : 0; }

std::string DoesNotFit(std::string_view text, WordBits bits) {
    return QuotedForMessage(text) + " does not fit " + std::to_string(BitsOf(bits)) + " bits";
}

NumberRead Number(const CalcValue& v) {
    NumberRead r;
    r.kind = NumberRead::kNumber;
    r.value = v;
    return r;
}

NumberRead Refused(std::string why) {
    NumberRead r;
    r.kind = NumberRead::kRefused;
    r.why = std::move(why);
    return r;
}

// The digits of the given base (2, 8, 10 or 16), with separators only
// between two digits; false for an empty or malformed text. Decimal digits
// go in 19 at a time.
bool ReadDigits(std::string_view digits, unsigned base, Magnitude& m) {
    if (digits.empty() || IsSeparator(digits.front()) || IsSeparator(digits.back())) return false;
    if (const unsigned bitsPerDigit = BitsPerDigit(base); bitsPerDigit != 0) {
        for (char c : digits) {
            const unsigned d = Digit(c);
            if (d < base)
                m.PushBits(d, bitsPerDigit);
            else if (!IsSeparator(c))
                return false;
        }
        return true;
    }
    uint64_t chunk = 0, scale = 1;
    for (char c : digits) {
        const unsigned d = static_cast<unsigned>(c - '0');
        if (d > 9) {
            if (IsSeparator(c)) continue;
            return false;
        }
        chunk = chunk * 10 + d;
        scale *= 10;
        if (scale == 10'000'000'000'000'000'000u) {
            m.Push(chunk, scale);
            chunk = 0;
            scale = 1;
        }
    }
    if (scale > 1) m.Push(chunk, scale);
    return true;
}

struct Radix {
    ValueMode mode;
    unsigned base;
};

std::optional<Radix> PrefixRadix(char c) {
    switch (c) {
        case 'x':
        case 'X': return Radix{vmHex, 16};
        case 'b':
        case 'B': return Radix{vmBin, 2};
        case 'o':
        case 'O': return Radix{vmOct, 8};
        default: return std::nullopt;
    }
}

bool HasLetterDigits(ValueMode mode) { return mode == vmHex || mode == vmIPv6; }

// Upper-case B is a hexadecimal digit: "1B" stays the hexadecimal number
// it always was when pasted key by key; so does "1b" where b is a digit.
std::optional<Radix> SuffixRadix(char c, ValueMode mode) {
    switch (c) {
        case 'h':
        case 'H': return Radix{vmHex, 16};
        case 'b':
            if (HasLetterDigits(mode)) return std::nullopt;
            return Radix{vmBin, 2};
        case 'o':
        case 'O': return Radix{vmOct, 8};
        default: return std::nullopt;
    }
}

// With a suffix, hexadecimal starts either with a decimal digit (0ffh, as
// assembler writes it) or with the upper-case letters the tape writes (FFh):
// words such as "each" or "bah" are text, not numbers.
bool LooksLikeWord(std::string_view text) {
    if (IsDecimal(text.front())) return false;
    for (char c : text.substr(0, text.size() - 1))
        if (c >= 'a' && c <= 'z') return true;
    return false;
}

// text without an integer type suffix of C, C++ or Rust; typed tells whether
// there was one. None of the suffixes' letters is a digit of any base the
// literals use, so a suffix never eats a digit.
std::string_view WithoutTypeSuffix(std::string_view text, bool& typed) {
    typed = false;
    // Rust: i or u, then a width.
    static constexpr std::string_view kWidths[] = {"8", "16", "32", "64", "128", "size"};
    for (std::string_view w : kWidths) {
        if (text.size() < w.size() + 2 || text.back() != w.back() || text.substr(text.size() - w.size()) != w)
            continue;
        std::size_t at = text.size() - w.size() - 1;
        if (text[at] != 'i' && text[at] != 'u') continue;
        if (text[at - 1] == '_') --at;
        typed = true;
        return text.substr(0, at);
    }
    // C and C++: u, l, ll and z (size_t), the u before or after the others.
    std::size_t n = 0;
    char tail[4] = {};
    while (n < 3 && n < text.size()) {
        const char c = Lower(text[text.size() - 1 - n]);
        if (c != 'u' && c != 'l' && c != 'z') break;
        tail[2 - n] = c;
        ++n;
    }
    if (n == 0 || n == text.size()) return text;
    const std::string_view t(tail + 3 - n, n);
    if (t == "u" || t == "l" || t == "ll" || t == "ul" || t == "lu" || t == "ull" || t == "llu" || t == "z" ||
        t == "uz" || t == "zu") {
        typed = true;
        return text.substr(0, text.size() - n);
    }
    return text;
}

NumberRead CodeLiteral(std::string_view whole, std::string_view text, bool negative, ValueMode mode,
                       WordBits bits) {
    if (text.empty()) return {};
    bool typed = false;
    const std::string_view t = WithoutTypeSuffix(text, typed);
    if (t.size() < (typed ? 1u : 2u)) return {};

    Magnitude m;
    std::optional<Radix> radix;
    bool read = false;
    if (t.size() >= 2 && t[0] == '0' && (radix = PrefixRadix(t[1])))
        read = ReadDigits(t.substr(2), radix->base, m);
    // A text that is no number with a prefix may still be one with a
    // suffix, as assembler writes hexadecimal: 0BAh, 0FFh.
    if (!read && !typed && (radix = SuffixRadix(t.back(), mode)) && !LooksLikeWord(t)) {
        m = Magnitude{};
        read = ReadDigits(t.substr(0, t.size() - 1), radix->base, m);
    }
    if (!read && typed) {
        radix = Radix{vmDec, 10};
        m = Magnitude{};
        read = ReadDigits(t, 10, m);
    }
    if (!read) return {};
    if (!m.Fits(negative, bits)) return Refused(DoesNotFit(whole, bits));
    return Number(CalcValue::Int(radix->mode, m.Value(negative)));
}

// ---- Addresses ----

// One part of a dotted IPv4 address: 1 to 3 decimal digits, 0..255.
bool Octet(std::string_view part, unsigned& value) {
    if (part.empty() || part.size() > 3) return false;
    value = 0;
    for (char c : part) {
        if (!IsDecimal(c)) return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 255;
}

// Dotted decimal parts, at least minParts; more than 16 (or than the bits
// hold) do not fit.
NumberRead IPv4Literal(std::string_view text, std::size_t minParts, WordBits bits) {
    if (text.find('.') == std::string_view::npos) return {};
    Magnitude m;
    std::size_t parts = 0;
    for (std::size_t at = 0;;) {
        const std::size_t dot = text.find('.', at);
        unsigned octet = 0;
        if (!Octet(text.substr(at, dot == std::string_view::npos ? dot : dot - at), octet)) return {};
        ++parts;
        m.PushBits(octet, 8);
        if (dot == std::string_view::npos) break;
        at = dot + 1;
    }
    if (parts < minParts) return {};
    if (!m.Fits(false, bits)) return Refused(DoesNotFit(text, bits));
    return Number(CalcValue::Int(vmIPv4, m.Value(false)));
}

// Groups of 1 to 4 hexadecimal digits separated by single colons; the last
// may be a dotted IPv4 address (two groups) where lastMayBeDotted.
bool Groups(std::string_view text, bool lastMayBeDotted, std::vector<unsigned>& groups) {
    if (text.empty()) return true;
    for (std::size_t at = 0;;) {
        const std::size_t colon = text.find(':', at);
        const std::string_view g = text.substr(at, colon == std::string_view::npos ? colon : colon - at);
        if (colon == std::string_view::npos && lastMayBeDotted && g.find('.') != std::string_view::npos) {
            if (std::count(g.begin(), g.end(), '.') != 3) return false;
            const NumberRead v4 = IPv4Literal(g, 4, WordBits::k32);
            if (v4.kind != NumberRead::kNumber) return false;
            const uint64_t a = v4.value.w().lo;
            groups.push_back(static_cast<unsigned>(a >> 16));
            groups.push_back(static_cast<unsigned>(a & 0xFFFF));
            return true;
        }
        if (g.empty() || g.size() > 4) return false;
        unsigned v = 0;
        for (char c : g) {
            const unsigned d = Digit(c);
            if (d > 15) return false;
            v = v * 16 + d;
        }
        groups.push_back(v);
        if (colon == std::string_view::npos) return true;
        at = colon + 1;
    }
}

struct IPv6Text {
    std::vector<unsigned> head, tail;  // before and after "::"
    bool compressed = false;           // has "::"
};

bool SplitIPv6(std::string_view text, bool lastMayBeDotted, IPv6Text& a) {
    const std::size_t dc = text.find("::");
    a.compressed = dc != std::string_view::npos;
    if (!a.compressed) return Groups(text, lastMayBeDotted, a.head);
    const std::string_view tail = text.substr(dc + 2);
    if (tail.find("::") != std::string_view::npos) return false;
    return Groups(text.substr(0, dc), false, a.head) && Groups(tail, lastMayBeDotted, a.tail);
}

Word128 IPv6Value(const IPv6Text& a) {
    u128 v = 0;
    for (unsigned g : a.tail) v = (v << 16) | g;
    u128 head = 0;
    for (unsigned g : a.head) head = (head << 16) | g;
    if (!a.head.empty()) {
        const std::size_t shift = a.compressed ? 16 * (8 - a.head.size()) : 0;
        v |= shift >= 128 ? 0 : head << shift;
    }
    return Word128::FromNative(v);
}

NumberRead IPv6Literal(std::string_view text, WordBits bits) {
    if (text.find(':') == std::string_view::npos) return {};
    IPv6Text a;
    if (!SplitIPv6(text, true, a)) return {};
    const std::size_t n = a.head.size() + a.tail.size();
    if (a.compressed ? n > 7 : n != 8) return {};
    const Word128 v = IPv6Value(a);
    if (!wide::FitsWord(false, v, bits)) return Refused(DoesNotFit(text, bits));
    return Number(CalcValue::Int(vmIPv6, v));
}

// ---- Floats ----

// digits, an optional point with digits, an optional exponent: handed to
// the float reader in its own form. kNone without a point or an exponent
// (an exponent only where "e" is no digit of the mode) and, unless
// integerToo, without either.
NumberRead FloatLiteral(std::string_view whole, std::string_view text, bool negative, ValueMode mode,
                        bool integerToo) {
    std::size_t i = 0;
    std::string intDigits, fracDigits, expDigits;
    while (i < text.size() && IsDecimal(text[i])) intDigits += text[i++];
    const bool point = i < text.size() && text[i] == '.';
    if (point) {
        ++i;
        while (i < text.size() && IsDecimal(text[i])) fracDigits += text[i++];
    }
    if (intDigits.empty() && fracDigits.empty()) return {};
    bool expNegative = false;
    const bool exponent = i < text.size() && (text[i] == 'e' || text[i] == 'E');
    if (exponent) {
        if (!point && HasLetterDigits(mode)) return {};  // "1e5" is hexadecimal there
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        while (i < text.size() && IsDecimal(text[i])) expDigits += text[i++];
        if (expDigits.empty()) return {};
    }
    if (i != text.size() || (!point && !exponent && !integerToo)) return {};

    std::string shaped = negative ? "-" : "";
    shaped += intDigits.empty() ? "0" : intDigits;
    if (!fracDigits.empty()) shaped += "." + fracDigits;
    if (exponent) shaped += (expNegative ? "E-" : "E") + expDigits;
    Extended x;
    try {
        x = ParseFloat(shaped);
    } catch (const ConvertError&) {
        return Refused(QuotedForMessage(whole) + " is beyond the float range");
    }
    if (x.IsZero() && (intDigits + fracDigits).find_first_not_of('0') != std::string::npos)
        return Refused(QuotedForMessage(whole) + " is too small for a float");
    return Number(CalcValue::Float(x));
}

// ---- Typing ----

// Typing folds a digit into its part while the part stays at most 255 and
// starts a new part beyond that; a point starts a new part, and at the start
// of an entry it starts none. Only parts of 0 to 255, each with a digit, are
// typed as they read.
std::string TypedIPv4(std::string_view run, WordBits bits) {
    Magnitude m;
    unsigned part = 0;
    bool digits = false;
    for (char c : run) {
        if (c == '.') {
            if (!digits) return QuotedForMessage(run) + " has an empty part";
            m.PushBits(part, 8);
            part = 0;
            digits = false;
            continue;
        }
        part = part * 10 + static_cast<unsigned>(c - '0');
        digits = true;
        if (part > 255) return QuotedForMessage(run) + " has a part above 255";
    }
    if (!digits) return QuotedForMessage(run) + " has an empty part";
    m.PushBits(part, 8);
    if (!m.Fits(false, bits)) return DoesNotFit(run, bits);
    return {};
}

std::string TypedIPv6(std::string_view run, WordBits bits) {
    IPv6Text a;
    if (!SplitIPv6(run, false, a)) return QuotedForMessage(run) + " is not an IPv6 address";
    const std::size_t n = a.head.size() + a.tail.size();
    // Groups the word holds; a word narrower than a group holds one, whose
    // value is checked below.
    const std::size_t most = std::max<std::size_t>(1, BitsOf(bits) / 16);
    if (a.compressed ? n + 1 > most : n > most) return DoesNotFit(run, bits);
    // Typing "::" moves the head up to its first group that is not zero, so
    // a head that starts with a zero group would lose it.
    if (a.compressed && !a.head.empty() && a.head.front() == 0) {
        for (unsigned g : a.head)
            if (g != 0)
                return QuotedForMessage(run) + " cannot be typed: write it alone, or without the zero group";
    }
    if (!wide::FitsWord(false, IPv6Value(a), bits)) return DoesNotFit(run, bits);
    return {};
}

}  // namespace

std::string QuotedForMessage(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    const bool cut = text.size() > kLongest;
    if (cut) text = text.substr(0, kLongest - 3);
    std::string q = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            q += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            q += hex;
        }
    }
    if (cut) q += "...";
    return q + "\"";
}

std::string CodeLiteral(Word128 v, CodeForm form, WordBits n) {
    switch (form) {
        case CodeForm::Hex: return "0x" + wide::RadixTextAt(v, 16, n);
        case CodeForm::Signed: return wide::DecimalTextAt(v, n);
        case CodeForm::Unsigned: return wide::RadixTextAt(v, 10, n);
        case CodeForm::Octal: return "0o" + wide::RadixTextAt(v, 8, n);
        case CodeForm::Binary: return "0b" + wide::RadixTextAt(v, 2, n);
    }
    return {};
}

NumberRead ParseCodeNumber(std::string_view text, ValueMode mode, WordBits bits) {
    text = Trim(text);
    const std::string_view whole = text;
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    return CodeLiteral(whole, text, negative, mode, bits);
}

NumberRead ReadNumber(std::string_view text, ValueMode mode, bool signAllowed, WordBits bits) {
    const std::string_view whole = text;
    const bool negative = signAllowed && !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return {};

    if (NumberRead r = CodeLiteral(whole, text, negative, mode, bits); r.kind != NumberRead::kNone) return r;
    if (mode == vmDec) {
        Magnitude m;
        if (ReadDigits(text, 10, m)) {
            if (!m.Fits(negative, bits)) return Refused(DoesNotFit(whole, bits));
            return Number(CalcValue::Int(vmDec, m.Value(negative)));
        }
    }
    if (!negative) {
        // In the IPv4 mode its own short forms ("10.1") are addresses, not
        // floats; elsewhere an address has four parts at least, so that a
        // version number ("1.5.3") is no address.
        if (NumberRead r = IPv4Literal(text, mode == vmIPv4 ? 2 : 4, bits); r.kind != NumberRead::kNone)
            return r;
        if (NumberRead r = IPv6Literal(text, bits); r.kind != NumberRead::kNone) return r;
    }
    return FloatLiteral(whole, text, negative, mode, mode == vmFloat);
}

bool IsEntryKey(char c, ValueMode mode) {
    switch (mode) {
        case vmFloat:
        case vmIPv4: return IsDecimal(c) || c == '.';
        case vmIPv6: return Digit(c) < 16 || c == ':';
        default: return Digit(c) < kModeRadix[mode < vmDec || mode > vmERR ? vmDec : mode];
    }
}

std::string CheckTypedNumber(std::string_view run, ValueMode mode, bool negative, WordBits bits) {
    if (run.empty()) return {};
    if (mode == vmIPv4) return TypedIPv4(run, bits);
    if (mode == vmIPv6) return TypedIPv6(run, bits);
    if (mode == vmFloat) {
        const std::size_t point = run.find('.');
        if (point != std::string_view::npos && run.find('.', point + 1) != std::string_view::npos)
            return QuotedForMessage(run) + " has a second decimal point";
        // Typed digits past the largest extended value overflow.
        const std::string_view whole = run.substr(0, point);
        const std::size_t first = whole.find_first_not_of('0');
        if (first != std::string_view::npos && whole.size() - first > 4932)
            return QuotedForMessage(run) + " is beyond the float range";
        return {};
    }
    Magnitude m;
    const unsigned base = kModeRadix[mode >= vmDec && mode <= vmERR ? mode : vmDec];
    for (char c : run)
        if (Digit(c) >= base) return QuotedForMessage(std::string_view(&c, 1)) + " is not a digit here";
    ReadDigits(run, base, m);
    if (!m.Fits(negative, bits)) return DoesNotFit(run, bits);
    return {};
}

namespace {

// The number alone, as it is found in code and in lists: without blanks,
// line ends, one trailing ";" or "," and brackets around the whole.
std::string_view NumberCore(std::string_view text) {
    std::string_view core = Trim(text);
    if (!core.empty() && (core.back() == ';' || core.back() == ','))
        core = Trim(core.substr(0, core.size() - 1));
    while (core.size() >= 2) {
        static constexpr std::string_view kOpen = "([{", kClose = ")]}";
        const std::size_t kind = kOpen.find(core.front());
        if (kind == std::string_view::npos || core.back() != kClose[kind]) break;
        // Only a pair that encloses the whole: "(1)+(2)" is no number.
        int depth = 0;
        std::size_t closes = 0;
        for (std::size_t i = 0; i < core.size(); ++i) {
            if (kOpen.find(core[i]) != std::string_view::npos) ++depth;
            if (kClose.find(core[i]) != std::string_view::npos && --depth == 0) {
                closes = i;
                break;
            }
        }
        if (closes != core.size() - 1) break;
        core = Trim(core.substr(1, core.size() - 2));
    }
    return core;
}

// Empty when text is made only of the keys of the mode, every number in
// them typed as written; else why not.
std::string CheckKeys(std::string_view text, ValueMode mode, WordBits bits, std::string_view typing) {
    std::string_view keys = Trim(text);
    if (!keys.empty() && (keys.back() == ';' || keys.back() == ',')) keys.remove_suffix(1);
    // Digits at the start go on with the number being typed, where its text
    // is its digits (not in the address modes, whose display regroups them).
    std::string run;
    bool negative = false;
    const std::size_t first = keys.find_first_not_of(" \t\n");
    if (first != std::string_view::npos && IsEntryKey(keys[first], mode) && mode != vmIPv4 &&
        mode != vmIPv6) {
        negative = !typing.empty() && typing.front() == '-';
        run = typing.substr(negative ? 1 : 0);
        for (char c : run)
            if (!IsEntryKey(c, mode)) run.clear();
    }
    for (std::size_t i = 0; i <= keys.size(); ++i) {
        const char c = i < keys.size() ? keys[i] : '\r';
        if (c == ' ' || c == '\t' || c == '\n') continue;  // the window skips these between digits too
        if (IsEntryKey(c, mode)) {
            run += c;
            continue;
        }
        if (std::string why = CheckTypedNumber(run, mode, negative, bits); !why.empty()) return why;
        run.clear();
        negative = false;
        static constexpr std::string_view kKeys = "+-*/^&|%()=\r";
        if (kKeys.find(c) == std::string_view::npos)
            return QuotedForMessage(std::string_view(&c, 1)) + " is not a key in this mode";
    }
    return {};
}

}  // namespace

PastePlan PlanPaste(std::string_view text, ValueMode mode, WordBits bits, std::string_view typing) {
    PastePlan plan;
    // Step 1: the number alone.
    const NumberRead number = ReadNumber(NumberCore(text), mode, true, bits);
    if (number.kind == NumberRead::kNumber) {
        plan.kind = PastePlan::kNumber;
        plan.value = number.value;
        return plan;
    }
    if (number.kind == NumberRead::kRefused) {
        plan.why = number.why;
        return plan;
    }
    // Step 2: the keys of the mode.
    plan.why = CheckKeys(text, mode, bits, typing);
    if (plan.why.empty()) plan.kind = PastePlan::kKeys;
    return plan;
}

void EnterReadNumber(CcalcMach& m, const CalcValue& v) {
    if (v.mode == vmFloat)
        m.SetValue(v);
    else
        m.EnterNumber(v.mode, v.w());
}
