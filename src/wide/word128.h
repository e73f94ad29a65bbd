// Word128: the calculator's 128-bit integer. Unsigned, wrapping modulo 2^128;
// a two's-complement view (bit 127 = sign) is offered where a signed reading
// is needed. The cheap operations are inline and run on the compiler's
// unsigned __int128.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "errors.h"
#include "extended.h"

__extension__ typedef unsigned __int128 u128;

// The type, its constants and its operators are used by their plain names;
// the named functions are found through their Word128 arguments, or written
// wide:: where no argument is a Word128.
namespace wide {

struct Word128 {
    uint64_t lo = 0;  // bits 0-63
    uint64_t hi = 0;  // bits 64-127

    constexpr Word128() = default;
    constexpr Word128(uint64_t low, uint64_t high) : lo(low), hi(high) {}

    static constexpr Word128 FromNative(u128 v) {
        return Word128(static_cast<uint64_t>(v), static_cast<uint64_t>(v >> 64));
    }
    static constexpr Word128 FromU32(uint32_t n) { return Word128(n, 0); }
    static constexpr Word128 FromI32(int32_t n) {
        return n < 0 ? Word128(static_cast<uint64_t>(static_cast<int64_t>(n)), ~uint64_t{0})
                     : Word128(static_cast<uint64_t>(n), 0);
    }

    constexpr u128 native() const { return (static_cast<u128>(hi) << 64) | lo; }
    constexpr bool IsZero() const { return (lo | hi) == 0; }
    constexpr bool IsNegative() const { return (hi >> 63) != 0; }  // bit 127
};

static_assert(sizeof(Word128) == 16);

constexpr Word128 W128Zero{};
constexpr Word128 W128AllOnes{~uint64_t{0}, ~uint64_t{0}};
constexpr Word128 W128MinSigned{0, uint64_t{1} << 63};  // only bit 127 set

// Comparison (unsigned order).
constexpr bool operator==(Word128 a, Word128 b) { return a.lo == b.lo && a.hi == b.hi; }
constexpr bool operator!=(Word128 a, Word128 b) { return !(a == b); }
constexpr bool operator<(Word128 a, Word128 b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }
constexpr bool operator>(Word128 a, Word128 b) { return b < a; }
constexpr bool operator<=(Word128 a, Word128 b) { return !(b < a); }
constexpr bool operator>=(Word128 a, Word128 b) { return !(a < b); }

// Order of the signed (two's-complement) view.
constexpr bool SignedLess(Word128 a, Word128 b) {
    if (a.hi == b.hi) return a.lo < b.lo;
    return static_cast<int64_t>(a.hi) < static_cast<int64_t>(b.hi);
}

// Arithmetic, wrapping modulo 2^128.
constexpr Word128 operator+(Word128 a, Word128 b) { return Word128::FromNative(a.native() + b.native()); }
constexpr Word128 operator-(Word128 a, Word128 b) { return Word128::FromNative(a.native() - b.native()); }
constexpr Word128 operator-(Word128 a) { return Word128::FromNative(-a.native()); }
constexpr Word128 operator*(Word128 a, Word128 b) { return Word128::FromNative(a.native() * b.native()); }

// Bitwise.
constexpr Word128 operator&(Word128 a, Word128 b) { return Word128(a.lo & b.lo, a.hi & b.hi); }
constexpr Word128 operator|(Word128 a, Word128 b) { return Word128(a.lo | b.lo, a.hi | b.hi); }
constexpr Word128 operator^(Word128 a, Word128 b) { return Word128(a.lo ^ b.lo, a.hi ^ b.hi); }
constexpr Word128 operator~(Word128 a) { return Word128(~a.lo, ~a.hi); }

// Logical shifts; a count of 128 or more gives 0.
constexpr Word128 operator<<(Word128 v, unsigned c) {
    return c >= 128 ? Word128{} : Word128::FromNative(v.native() << c);
}
constexpr Word128 operator>>(Word128 v, unsigned c) {
    return c >= 128 ? Word128{} : Word128::FromNative(v.native() >> c);
}
constexpr Word128& operator<<=(Word128& v, unsigned c) { return v = v << c; }
constexpr Word128& operator>>=(Word128& v, unsigned c) { return v = v >> c; }
constexpr Word128& operator+=(Word128& a, Word128 b) { return a = a + b; }
constexpr Word128& operator-=(Word128& a, Word128 b) { return a = a - b; }
constexpr Word128& operator*=(Word128& a, Word128 b) { return a = a * b; }
constexpr Word128& operator&=(Word128& a, Word128 b) { return a = a & b; }
constexpr Word128& operator|=(Word128& a, Word128 b) { return a = a | b; }
constexpr Word128& operator^=(Word128& a, Word128 b) { return a = a ^ b; }

// Rotations by (c mod 128); the value is updated in place and returned.
// For r = 0 both shifts are by 0 and the OR gives v back, with no branch.
constexpr Word128& rol(Word128& v, uint8_t c) {
    const unsigned r = c & 127u;
    v = Word128::FromNative((v.native() << r) | (v.native() >> ((128 - r) & 127u)));
    return v;
}
constexpr Word128& ror(Word128& v, uint8_t c) {
    const unsigned r = c & 127u;
    v = Word128::FromNative((v.native() >> r) | (v.native() << ((128 - r) & 127u)));
    return v;
}

// Index of the highest set bit, 0-127; 255 for zero.
constexpr uint8_t hibit(Word128 v) {
    if (v.hi != 0) return static_cast<uint8_t>(127 - __builtin_clzll(v.hi));
    if (v.lo != 0) return static_cast<uint8_t>(63 - __builtin_clzll(v.lo));
    return 255;
}

// Unsigned division and remainder. 0 / 0 and 0 % 0 give 0; any other zero
// divisor raises DivByZeroError ("Word128: divide by zero").
inline Word128 operator/(Word128 a, Word128 b) {
    if (a.IsZero()) return {};
    if (b.IsZero()) throw DivByZeroError();
    if ((a.hi | b.hi) == 0) return Word128(a.lo / b.lo, 0);
    return Word128::FromNative(a.native() / b.native());
}
inline Word128 operator%(Word128 a, Word128 b) {
    if (a.IsZero()) return {};
    if (b.IsZero()) throw DivByZeroError();
    if ((a.hi | b.hi) == 0) return Word128(a.lo % b.lo, 0);
    return Word128::FromNative(a.native() % b.native());
}
inline Word128& operator/=(Word128& a, Word128 b) { return a = a / b; }
inline Word128& operator%=(Word128& a, Word128 b) { return a = a % b; }

// Text forms. An empty alphabet means the default one, "0-9A-Z".
std::string str(Word128 v, uint8_t base, std::string_view alphabet = {});
std::string sstr(Word128 v, uint8_t base, std::string_view alphabet = {});
std::string hexstr(Word128 v);
std::string ipv4str(Word128 v);
std::string ipv6str(Word128 v, bool plain);
Word128 stou128(std::string_view text, uint8_t base, std::string_view alphabet = {});

// Signed view and extended floats.
Extended W128ToFloat(Word128 v);
Word128 FloatToW128(Extended x);
Word128 W128Div(Word128 a, Word128 b);
Word128 W128Pow(Word128 a, Word128 e);

}  // namespace wide

using wide::W128AllOnes;
using wide::W128MinSigned;
using wide::W128Zero;
using wide::Word128;
