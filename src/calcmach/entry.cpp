// Number entry: digits are folded into Y as they are typed, backspace takes
// them out again, and EntryText shows the number while it is being typed.
// The float mode keeps the typed digits as well, so that its value is the
// typed number correctly rounded, not the sum of a rounding per digit. Also
// the typing of characters and whole texts.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <string>

#include "calcmach.h"
#include "machine_util.h"
#include "wide/errors.h"

namespace {

constexpr Word128 kLowOctet{0xFF, 0};
constexpr Word128 kLowGroup{0xFFFF, 0};

// DigitValue as a table, 0xFF where it gives -1.
constexpr std::array<uint8_t, 256> kDigitValues = [] {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const int d = DigitValue(static_cast<char>(c));
        t[static_cast<std::size_t>(c)] = d < 0 ? 0xFF : static_cast<uint8_t>(d);
    }
    return t;
}();

// Modes outside the table (only reachable through a loaded or set value)
// take digits in radix 10, like the modes that exist as names only.
unsigned EntryRadix(ValueMode m) { return m >= 0 && m < kModeCount ? kModeRadix[m] : 10u; }

// Removes the last digit of the low group (width bits, digits in base radix);
// an empty group disappears altogether.
Word128 DropGroupDigit(Word128 v, unsigned width, unsigned radix) {
    const Word128 mask = width == 8 ? kLowOctet : kLowGroup;
    const uint64_t g = (v & mask).lo / radix;
    if (g == 0) return v >> width;
    return (v & ~mask) | Word128(g, 0);
}

// The keys that DigitKey takes; every other character is a key string.
bool IsEntryChar(char c) { return c == '.' || c == ':' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Every integer mode but the addresses takes a digit as payload * radix +
// digit, which is all the work of most keys typed.
bool TakesPlainDigits(ValueMode m) { return m != vmIPv4 && m != vmIPv6 && m != vmFloat; }

// How many of the eight keys at p, from the first on, are decimal digits,
// and the value of those digits: the keys are read as one little-endian word
// and converted in three multiplications.
unsigned LeadingDecimalDigits(const char* p, uint64_t& value) {
    static_assert(std::endian::native == std::endian::little);
    uint64_t w;
    std::memcpy(&w, p, 8);
    // A byte is '0'..'9' when its high nibble is 3 and stays 3 with 6 added.
    // Bytes up to the first other one are digits, so no carry from below
    // spoils the test of that first other byte.
    constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
    const uint64_t odd = ((w & kHigh) | (((w + 0x0606060606060606u) & kHigh) >> 4)) ^ 0x3333333333333333u;
    const unsigned n = odd == 0 ? 8 : static_cast<unsigned>(std::countr_zero(odd)) / 8;
    if (n == 0) return 0;
    // The digits move to the top, behind leading zeros; the rest falls out.
    w = (w - 0x3030303030303030u) << (8 * (8 - n));
    w = w * 10 + (w >> 8);  // each odd byte: its pair of digits
    w = (((w & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
         (((w >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
        32;
    value = w;
    return n;
}

// 10^n for n = 0..8, and the largest radix power that may still be taken
// times it within 64 bits.
constexpr std::array<uint64_t, 9> kPow10 = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
constexpr std::array<uint64_t, 9> kMaxScaleBefore = [] {
    std::array<uint64_t, 9> t{};
    for (std::size_t n = 0; n < t.size(); ++n) t[n] = ~uint64_t{0} / kPow10[n];
    return t;
}();

// Types the entry keys at the start of text, in a mode that TakesPlainDigits,
// as DigitKey would one by one (a key that is no digit of the radix changes
// nothing), and returns how many there were: at least one when text starts
// with an entry key. A new entry starts from 0, and a negated entry takes its
// digits negated, wrapping like any result.
//
// Digits are gathered in 64 bits while the radix power they stand for fits
// there, and only then folded into the payload as payload * power + chunk:
// modulo 2^128 that is the same number as folding them in one at a time, with
// one 128-bit multiplication per chunk instead of one per digit. Radix is the
// radix when known at compile time (10: up to eight digits at a time), 0 when
// only runtimeRadix knows it.
template <unsigned Radix>
std::size_t TypeDigitsIn(MachineState& mach, std::string_view text, unsigned runtimeRadix) {
    const unsigned radix = Radix != 0 ? Radix : runtimeRadix;
    const uint64_t fullScale = radix != 0 ? ~uint64_t{0} / radix : 0;  // a larger power overflows
    const bool neg = mach.EntryNeg;
    u128 v = mach.NewEntry ? 0 : mach.Y.w().native();
    uint64_t chunk = 0;
    uint64_t scale = 1;  // radix ^ digits in chunk
    const auto fold = [&] {
        v = v * scale + (neg ? -u128{chunk} : u128{chunk});
        chunk = 0;
        scale = 1;
    };
    // Digits worth `power`, folding first when the chunk cannot take them.
    const auto take = [&](uint64_t digits, uint64_t power, uint64_t maxScale) {
        if (scale > maxScale) fold();
        chunk = chunk * power + digits;
        scale *= power;
    };
    char last = 0;  // no digit key is a NUL
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        if constexpr (Radix == 10) {
            uint64_t value = 0;
            const unsigned n = text.size() - i >= 8 ? LeadingDecimalDigits(text.data() + i, value) : 0;
            if (n != 0) {
                take(value, kPow10[n], kMaxScaleBefore[n]);
                i += n - 1;
                last = text[i];
                continue;
            }
        }
        const char c = text[i];
        const unsigned d = kDigitValues[static_cast<unsigned char>(c)];
        if (d >= radix) {
            if (IsEntryChar(c)) continue;
            break;
        }
        take(d, radix, fullScale);
        last = c;
    }
    if (last != 0) {
        fold();
        // Modulo 2^N the fold is the same number as at 128 bits: the digits
        // wrap at the word as they wrap at 128.
        mach.Y.setW(wide::ReduceTo(Word128::FromNative(v), mach.Word));
        mach.NewEntry = false;
        mach.LastKey = last;
        mach.ShowY();
    }
    return i;
}

std::size_t TypePlainDigits(MachineState& mach, std::string_view text) {
    const unsigned radix = EntryRadix(mach.Y.mode);
    return radix == 10 ? TypeDigitsIn<10>(mach, text, radix) : TypeDigitsIn<0>(mach, text, radix);
}

// The keys of the address and float modes: each takes c (d is its digit
// value, -1 if none) into the entry and returns true, or returns false and
// changes nothing. DigitKey does what every accepted key does besides.

// The address modes type into the word's pattern, its low N bits with zeros
// above (so that a shift brings zeros in and the top group is the word's),
// and keep the result reduced as every integer value is.
Word128 AddressPattern(const MachineState& mach) { return wide::PatternOf(mach.Y.w(), mach.Word); }
void SetAddress(MachineState& mach, Word128 pattern) { mach.Y.setW(wide::ReduceTo(pattern, mach.Word)); }

// Octets typed in decimal; "." starts the next one. Octets shifted past the
// top of the word are lost.
bool IPv4Key(MachineState& mach, char c, int d) {
    if (c != '.' && !(d >= 0 && d <= 9)) return false;
    Word128 v = AddressPattern(mach);
    if (mach.NewEntry) {
        mach.NewEntry = false;
        v = c == '.' ? W128Zero : Word128(static_cast<uint64_t>(d), 0);
    } else if (c == '.') {
        v <<= 8;
    } else {
        const uint64_t n = (v & kLowOctet).lo * 10 + static_cast<uint64_t>(d);
        // A digit that would overflow the octet starts the next one, so
        // 1921681 types 192.168.1 without any dots.
        v = n <= 255 ? (v & ~kLowOctet) | Word128(n, 0) : (v << 8) | Word128(static_cast<uint64_t>(d), 0);
    }
    SetAddress(mach, v);
    return true;
}

// v with a new low group of the given value: everything moves up 16 bits, or
// after a "::" only the tail below the head. More than the word's groups
// around the "::" make the address void.
Word128 WithNewGroup(Word128 v, Word128 head, Word128 group) {
    if (head.IsZero()) return (v << 16) | group;
    const Word128 tail = ((v & ~head) << 16) | group;
    return (tail & head).IsZero() ? (v & head) | tail : W128Zero;
}

// Groups of 16 bits typed in hexadecimal; ":" starts the next one, and a
// second ":" right after it moves the groups typed so far to the top of the
// word (bits 112 to 127 at 128 bits).
bool IPv6Key(MachineState& mach, char c, int d) {
    if (c != ':' && d < 0) return false;
    Word128 v = AddressPattern(mach);
    const Word128 groupValue(c == ':' ? 0 : static_cast<uint64_t>(d), 0);
    if (mach.NewEntry) {
        mach.NewEntry = false;
        v = groupValue;
    } else if (c == ':' && mach.LastKey == ':' && mach.HeadMask.IsZero()) {
        // The second colon of "::": what was typed so far becomes the
        // head, moved up to the top groups.
        const unsigned bits = BitsOf(mach.Word);
        const unsigned top = bits > 16 ? bits - 16 : 0;  // the top group's lowest bit
        if (!v.IsZero() && (v >> top).IsZero()) {
            const Word128 word = wide::PatternOf(W128AllOnes, mach.Word);
            mach.HeadMask = word;
            while ((v >> top).IsZero()) {
                v <<= 16;
                mach.HeadMask = (mach.HeadMask << 16) & word;
            }
        }
    } else if (c == ':') {
        v = WithNewGroup(v, mach.HeadMask, groupValue);
    } else {
        const uint64_t n = (v & kLowGroup).lo * 16 + static_cast<uint64_t>(d);
        v = n <= 0xFFFF ? (v & ~kLowGroup) | Word128(n, 0) : WithNewGroup(v, mach.HeadMask, groupValue);
    }
    SetAddress(mach, v);
    return true;
}

// The value of a float entry's typed digits, with the entry's sign. A
// typed zero is +0 whatever the sign, which only shows ("-0"). A number
// past the range raises the usual float overflow.
Extended TypedValue(std::string_view digits, bool negative) {
    const Extended v = DecimalToExtended(digits);
    if (v.IsInfinity()) throw FloatOverflowError();
    return v.IsZero() || !negative ? v : v.Negated();
}

// Gives a float entry that was entered as if typed (the bits panel) the
// digits that type its value: the shortest that read back to it, so the
// value stays as it is until a key changes it. False for an infinity, a NaN
// or an encoding the processor refuses, which no digits type.
bool HasTypedDigits(MachineState& mach) {
    if (!mach.EntryDigits.empty()) return true;
    const Extended v = mach.Y.f();
    if (!v.IsFinite()) return false;
    std::string& typed = mach.EntryDigits;
    mach.FracDigits = 0;
    if (v.IsZero()) {
        typed.assign(1, '0');
        return true;
    }
    mach.EntryNeg = v.Negative();
    std::string digits;
    int e = 0;
    ShortestDigits(v.Abs(), digits, e);
    // d.ddd x 10^e in plain notation.
    const auto count = static_cast<int>(digits.size());
    if (e >= count - 1) {
        typed = digits;
        typed.append(static_cast<std::size_t>(e - (count - 1)), '0');
        return true;
    }
    const auto whole = static_cast<std::size_t>(std::max(e + 1, 0));
    typed.assign(digits, 0, whole);
    if (whole == 0) typed.push_back('0');
    typed.push_back('.');
    if (e < -1) typed.append(static_cast<std::size_t>(-e - 1), '0');
    typed.append(digits, whole);
    mach.FracDigits = count - e;
    return true;
}

// Decimal digits and one "."; the value is the typed number, rounded once.
bool FloatKey(MachineState& mach, char c, int d) {
    std::string& typed = mach.EntryDigits;
    if (c == '.') {
        if (mach.NewEntry) {
            mach.NewEntry = false;
            mach.Y.setF(Extended::Zero());
            typed.assign(1, '0');
        } else if (!HasTypedDigits(mach) || mach.FracDigits != 0) {
            return false;
        }
        typed += '.';
        mach.FracDigits = 1;
        return true;
    }
    if (!(d >= 0 && d <= 9)) return false;
    if (mach.NewEntry) {
        mach.NewEntry = false;
        mach.FracDigits = 0;
        typed.assign(1, c);
        mach.Y.setF(Extended::FromInt64(mach.EntryNeg ? -d : d));
        return true;
    }
    if (!HasTypedDigits(mach)) {
        // An infinity or a NaN takes the digit the plain way, and stays
        // what it is (a refused encoding faults, as in any operation).
        const Extended times10 = ext::Mul(mach.Y.f(), Extended::FromInt64(10));
        mach.Y.setF(ext::Add(times10, Extended::FromInt64(mach.EntryNeg ? -d : d)));
        return true;
    }
    // The integer part keeps no leading zero.
    const bool replacesZero = typed == "0";
    if (replacesZero) {
        typed.back() = c;
    } else {
        typed += c;
    }
    // A zero among the decimals leaves the number as it was.
    if (mach.FracDigits == 0 || c != '0') {
        try {
            mach.Y.setF(TypedValue(typed, mach.EntryNeg));
        } catch (...) {
            // Past the range: the entry stays as it was.
            if (replacesZero) {
                typed.back() = '0';
            } else {
                typed.pop_back();
            }
            throw;
        }
    }
    if (mach.FracDigits != 0 && mach.FracDigits < std::numeric_limits<int32_t>::max()) ++mach.FracDigits;
    return true;
}

}  // namespace

using calcmach_detail::ZeroPayload;

void MachineState::EndEntry() {
    NewEntry = true;
    EntryNeg = false;
    FracDigits = 0;
    LastKey = 0;
    HeadMask = W128Zero;
    EntryDigits.clear();
}

bool CcalcMach::DigitKey(char c) {
    const ValueMode m = Y.mode;
    if (TakesPlainDigits(m)) {
        if (kDigitValues[static_cast<unsigned char>(c)] >= EntryRadix(m)) return false;
        TypePlainDigits(*this, std::string_view(&c, 1));
        return true;
    }
    const int d = DigitValue(c);
    const bool accepted = m == vmIPv4   ? IPv4Key(*this, c, d)
                          : m == vmIPv6 ? IPv6Key(*this, c, d)
                                        : FloatKey(*this, c, d);
    if (!accepted) return false;
    LastKey = c;
    ShowY();
    return true;
}

bool CcalcMach::KeyChar(char c) {
    if (IsEntryChar(c)) return DigitKey(c);
    return KeyString(std::string_view(&c, 1));
}

void CcalcMach::EvalText(std::string_view text, CalcValue& out) {
    // Runs of integer digits go in at once, as the digit keys one by one
    // would take them.
    for (std::size_t i = 0; i < text.size();) {
        if (!IsEntryChar(text[i])) {
            KeyString(text.substr(i, 1));
            ++i;
        } else if (TakesPlainDigits(Y.mode)) {
            i += TypePlainDigits(*this, text.substr(i));
        } else {
            DigitKey(text[i]);
            ++i;
        }
    }
    Equals();
    out = *Shown;
}

bool CcalcMach::Backspace() {
    const ValueMode m = Y.mode;
    const bool notZero = m == vmFloat ? !Y.f().IsZero() : !Y.w().IsZero();
    const bool result = !NewEntry && notZero;

    if (NewEntry) {
        NewEntry = false;
        ZeroPayload(Y);
        FracDigits = 0;
        if (m == vmFloat) EntryDigits.assign(1, '0');
    } else if (m == vmIPv4) {
        SetAddress(*this, DropGroupDigit(AddressPattern(*this), 8, 10));
    } else if (m == vmIPv6 && HeadMask.IsZero()) {
        SetAddress(*this, DropGroupDigit(AddressPattern(*this), 16, 16));
    } else if (m == vmIPv6) {
        Word128 v = AddressPattern(*this);
        const Word128 tail = v & ~HeadMask;
        if (tail.IsZero()) {
            // Undo the "::": move the head back down to where it was typed.
            for (int i = 0; i < 8 && (HeadMask & kLowGroup).IsZero(); ++i) {
                HeadMask >>= 16;
                v >>= 16;
            }
            HeadMask = W128Zero;
        } else {
            v = (v & HeadMask) | DropGroupDigit(tail, 16, 16);
        }
        SetAddress(*this, v);
    } else if (m == vmFloat) {
        if (!HasTypedDigits(*this)) {
            // An infinity or a NaN: what a tenth of it is, quietly (an
            // encoding the processor refuses becomes its indefinite NaN).
            const Extended v = Y.f();
            Y.setF(v.IsInfinity() ? v : v.IsNaN() ? v.Quieted() : Extended::Indefinite());
        } else {
            const char last = EntryDigits.back();
            EntryDigits.pop_back();
            if (EntryDigits.empty()) EntryDigits.assign(1, '0');
            if (FracDigits != 0) --FracDigits;
            // Taking off the point, or a zero among the decimals, leaves the
            // number as it was.
            if (last != '.' && (FracDigits == 0 || last != '0')) Y.setF(TypedValue(EntryDigits, EntryNeg));
        }
    } else {
        // The signed division, as at 128 bits: a negative entry loses its
        // last digit toward zero.
        Y.setW(wide::DivAt(Y.w(), Word128(EntryRadix(m), 0), Word));
    }
    ShowY();
    return result;
}

std::string CcalcMach::EntryText() const {
    if (Y.mode != vmFloat) {
        if (Y.w().IsZero()) return EntryNeg ? "-0" : "0";
        std::string text = ValueText(Y, Word);
        if (text.size() > kMaxText) text.resize(kMaxText);
        return text;
    }

    // Once the point is typed, the digits as typed: trailing zeros show (3.50).
    if (FracDigits >= 1 && !EntryDigits.empty()) {
        std::string text = EntryNeg ? "-" : "";
        text.append(EntryDigits, 0, kMaxText - text.size());
        return text;
    }
    if (Y.f().IsZero()) return EntryNeg ? "-0" : "0";
    std::string text = ValueText(Y, Word);
    if (text.size() > kMaxText) text.resize(kMaxText);
    return text;
}
