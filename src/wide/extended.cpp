// The extended float as data: its class, exact conversions and order, all
// read from the encoding's bits.
#include <bit>
#include <cstring>

#include "extended.h"

std::string_view FloatClassName(FloatClass c) {
    switch (c) {
        case FloatClass::Zero: return "zero";
        case FloatClass::Normal: return "normal";
        case FloatClass::Denormal: return "denormal";
        case FloatClass::Infinity: return "infinity";
        case FloatClass::NaN: return "NaN";
        case FloatClass::PseudoDenormal: return "pseudo-denormal";
        case FloatClass::Unnormal: return "unnormal";
        case FloatClass::PseudoInfinity: return "pseudo-infinity";
        case FloatClass::PseudoNaN: return "pseudo-NaN";
    }
    return "";
}

namespace {

// m x 2^exp2 for m above zero, exactly when m has at most 64 significant
// bits and the result lies in the normal range.
Extended Scaled(uint64_t m, int exp2, bool negative) {
    const int top = 63 - std::countl_zero(m);
    return {m << (63 - top),
            static_cast<unsigned>(Extended::kBias + top + exp2) | (negative ? Extended::kSignBit : 0u)};
}

}  // namespace

Extended Extended::FromInt64(int64_t n) {
    if (n == 0) return Zero();
    const uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    return Scaled(magnitude, 0, n < 0);
}

Extended Extended::FromDouble(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const auto exp = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (exp == 0x7FF) {
        const unsigned signExp = kExpAllOnes | (negative ? kSignBit : 0u);
        return {kIntegerBit | fraction << 11, signExp};
    }
    if (exp == 0) return fraction == 0 ? Zero(negative) : Scaled(fraction, -1074, negative);
    return Scaled(fraction | uint64_t{1} << 52, exp - 1023 - 52, negative);
}

Extended Extended::Load(const unsigned char* bytes) {
    Extended x;
    std::memcpy(&x.significand, bytes, 8);
    x.signExp = static_cast<uint16_t>(bytes[8] | bytes[9] << 8);
    return x;
}

void Extended::Store(unsigned char* bytes) const {
    std::memcpy(bytes, &significand, 8);
    bytes[8] = static_cast<unsigned char>(signExp);
    bytes[9] = static_cast<unsigned char>(signExp >> 8);
}

FloatClass Extended::Class() const {
    const bool integer = (significand & kIntegerBit) != 0;
    const uint64_t fraction = significand & ~kIntegerBit;
    const unsigned exp = Exponent();
    if (exp == 0) {
        if (integer) return FloatClass::PseudoDenormal;
        return fraction == 0 ? FloatClass::Zero : FloatClass::Denormal;
    }
    if (exp == kExpAllOnes) {
        if (!integer) return fraction == 0 ? FloatClass::PseudoInfinity : FloatClass::PseudoNaN;
        return fraction == 0 ? FloatClass::Infinity : FloatClass::NaN;
    }
    return integer ? FloatClass::Normal : FloatClass::Unnormal;
}

bool Extended::IsFinite() const {
    const FloatClass c = Class();
    return c == FloatClass::Zero || c == FloatClass::Normal || c == FloatClass::Denormal ||
           c == FloatClass::PseudoDenormal;
}

Extended Extended::Quieted() const { return IsNaN() ? Extended(significand | kQuietBit, signExp) : *this; }

Extended Extended::Canonical() const {
    // A pseudo-denormal's significand, integer bit set, scaled as exponent 1.
    if (Class() == FloatClass::PseudoDenormal) return {significand, signExp | 1u};
    return *this;
}

std::string HexText(Extended x) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s(20, '0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(3 - i)] = kDigits[(x.signExp >> (4 * i)) & 15];
    for (int i = 0; i < 16; ++i)
        s[static_cast<std::size_t>(19 - i)] = kDigits[(x.significand >> (4 * i)) & 15];
    return s;
}

Extended ValidFloat(Extended x) {
    if (IsRejectedEncoding(x.Class())) throw FloatInvalidError();
    return x;
}

namespace ext {

int Compare(Extended a, Extended b) {
    const auto ordered = [](FloatClass c) {
        return c == FloatClass::Zero || c == FloatClass::Normal || c == FloatClass::Denormal ||
               c == FloatClass::PseudoDenormal || c == FloatClass::Infinity;
    };
    if (!ordered(a.Class()) || !ordered(b.Class())) return kUnordered;
    a = a.Canonical();
    b = b.Canonical();
    if (a.IsZero() && b.IsZero()) return 0;
    // Sign and magnitude: the magnitude orders as exponent, then significand.
    __extension__ typedef unsigned __int128 Key;
    const auto magnitude = [](Extended x) { return Key{x.Exponent()} << 64 | x.significand; };
    const Key ma = magnitude(a), mb = magnitude(b);
    if (a.Negative() != b.Negative()) return a.Negative() ? -1 : 1;
    const int c = ma == mb ? 0 : ma < mb ? -1 : 1;
    return a.Negative() ? -c : c;
}

bool BelowTwo63(Extended x) {
    const FloatClass c = x.Class();
    if (c == FloatClass::Zero || c == FloatClass::Denormal || c == FloatClass::PseudoDenormal) return true;
    return c == FloatClass::Normal && x.Exponent() < static_cast<unsigned>(Extended::kIntegerExp);
}

int64_t TruncToInt64(Extended x) {
    const auto exp = static_cast<int>(x.Exponent());
    if (exp < Extended::kBias) return 0;  // |x| < 1
    const uint64_t whole = x.significand >> (Extended::kIntegerExp - exp);
    return x.Negative() ? -static_cast<int64_t>(whole) : static_cast<int64_t>(whole);
}

}  // namespace ext
