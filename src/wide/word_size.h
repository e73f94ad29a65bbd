// The word size: integers of 8, 16, 32, 64 or 128 bits on top of Word128.
//
// A value of an N-bit word is kept in the 128-bit payload sign-extended from
// bit N-1 ("reduced"): its low N bits read as two's complement. Keeping the
// signed reading, rather than the zero-extended pattern, is what lets the
// signed operations (division, comparisons, power, rounding) run unchanged on
// 128 bits and still give the N-bit answer; the pattern is recovered for the
// texts and the logical operations by PatternOf.
//
// Every operation here reads only the low N bits of its operands (and only
// the low byte of a count) and returns a reduced value, so a value that
// somehow kept stray high bits cannot leak them into a result. At 128 bits
// reducing changes nothing and every operation is exactly the 128-bit one
// the calculator has always used.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "word128.h"

__extension__ typedef __int128 s128;

namespace wide {

enum class WordBits : uint8_t { k8 = 8, k16 = 16, k32 = 32, k64 = 64, k128 = 128 };

// Smallest first, the order a menu offers them in.
constexpr WordBits kWordSizes[] = {WordBits::k8, WordBits::k16, WordBits::k32, WordBits::k64, WordBits::k128};

constexpr unsigned BitsOf(WordBits n) { return static_cast<unsigned>(n); }

// The word size of a count of bits; nothing for any other count.
constexpr std::optional<WordBits> WordBitsOf(long long bits) {
    for (const WordBits n : kWordSizes)
        if (static_cast<long long>(BitsOf(n)) == bits) return n;
    return std::nullopt;
}

// The word size written as its decimal count ("8" ... "128"), exactly: no
// sign, blank or leading zero, so that a state file or a command line says
// one thing only one way.
std::optional<WordBits> ParseWordBits(std::string_view text);

// The low N bits read as two's complement, sign-extended over the payload.
// For N <= 64 the high half is only the sign: two 64-bit shifts instead of
// two 128-bit ones, which keeps a narrow word as cheap as the full one.
constexpr Word128 ReduceTo(Word128 v, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (bits > 64) return v;  // 128: nothing above bit 127
    const unsigned s = 64 - bits;
    const int64_t lo = static_cast<int64_t>(v.lo << s) >> s;
    return Word128(static_cast<uint64_t>(lo), static_cast<uint64_t>(lo >> 63));
}

// The low N bits with zeros above: the unsigned reading, what binary, octal,
// hexadecimal and the addresses show.
constexpr Word128 PatternOf(Word128 v, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (bits > 64) return v;
    return Word128(v.lo & (~uint64_t{0} >> (64 - bits)), 0);
}

constexpr bool IsReduced(Word128 v, WordBits n) { return ReduceTo(v, n) == v; }

// The signed range of the word: -2^(N-1) and 2^(N-1) - 1, reduced.
constexpr Word128 WordMin(WordBits n) { return ReduceTo(Word128(1, 0) << (BitsOf(n) - 1), n); }
constexpr Word128 WordMax(WordBits n) { return ~WordMin(n); }

// Wrapping at N bits: the 128-bit result's low N bits are the N-bit result,
// so the operation runs at 128 and is then reduced.
constexpr Word128 AddAt(Word128 a, Word128 b, WordBits n) { return ReduceTo(a + b, n); }
constexpr Word128 SubAt(Word128 a, Word128 b, WordBits n) { return ReduceTo(a - b, n); }
constexpr Word128 MulAt(Word128 a, Word128 b, WordBits n) { return ReduceTo(a * b, n); }
constexpr Word128 NegAt(Word128 a, WordBits n) { return ReduceTo(-a, n); }
constexpr Word128 AndAt(Word128 a, Word128 b, WordBits n) { return ReduceTo(a & b, n); }
constexpr Word128 OrAt(Word128 a, Word128 b, WordBits n) { return ReduceTo(a | b, n); }
constexpr Word128 XorAt(Word128 a, Word128 b, WordBits n) { return ReduceTo(a ^ b, n); }
constexpr Word128 NotAt(Word128 a, WordBits n) { return ReduceTo(~a, n); }

// Counts are the low byte of the right operand, as at 128 bits: a count of
// N or more shifts every bit out.
constexpr Word128 ShlAt(Word128 v, uint8_t count, WordBits n) { return ReduceTo(v << count, n); }

// Logical: the pattern is shifted, so zeros come in at bit N-1 (shifting the
// sign-extended value would bring in copies of the sign). Words of 64 bits
// or less shift their low half alone, which is all they have.
constexpr Word128 ShrAt(Word128 v, uint8_t count, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (bits > 64) return v >> count;
    const uint64_t p = PatternOf(v, n).lo;
    return ReduceTo(Word128(count < 64 ? p >> count : 0, 0), n);
}

// Arithmetic: the sign bit is copied in; a count of N or more leaves only
// the sign (0 or -1), as a shift by the whole width would.
constexpr Word128 SarAt(Word128 v, uint8_t count, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (bits > 64)
        return Word128::FromNative(
            static_cast<u128>(static_cast<s128>(v.native()) >> (count < 127 ? count : 127)));
    const int64_t r = static_cast<int64_t>(ReduceTo(v, n).lo) >> (count < 63 ? count : 63);
    return Word128(static_cast<uint64_t>(r), static_cast<uint64_t>(r >> 63));
}

// Rotations turn the N-bit pattern by (count mod N): the low byte of the
// count, taken modulo the width, which at 128 is the "low 7 bits" rule of
// rol and ror. Words of 64 bits or less turn their low half alone; for
// r = 0 both shifts are by 0 and the OR gives the pattern back.
constexpr Word128 RolAt(Word128 v, uint8_t count, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (bits > 64) return rol(v, count);
    const unsigned r = count & (bits - 1);
    const uint64_t p = PatternOf(v, n).lo;
    return ReduceTo(Word128((p << r) | (p >> ((bits - r) & (bits - 1))), 0), n);
}
constexpr Word128 RorAt(Word128 v, uint8_t count, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (bits > 64) return ror(v, count);
    const unsigned r = count & (bits - 1);
    const uint64_t p = PatternOf(v, n).lo;
    return ReduceTo(Word128((p >> r) | (p << ((bits - r) & (bits - 1))), 0), n);
}

// LBT, the left-bits mask: w = low byte of x (a word width), k = low byte of
// y (a number of bits); the run of k one-bits whose highest bit is bit w-1,
// that is the k leftmost bits of a w-bit word. At N bits it is the 128-bit
// mask cut to N bits: for k <= w <= N the run lies inside the word and the
// result is the same run (32 LBT 8 at 32 bits is FF000000, the int32 mask);
// bits of the run at N or above fall off, as bits above 127 do at 128. A run
// of k >= N ones cut to N bits is all N ones, whatever k, so cutting the
// 128-bit mask and building the mask from min(k, N) ones agree.
Word128 LeftBitsAt(Word128 x, Word128 y, WordBits n);

// RBT: k = low byte of v; the k rightmost bits set, all N bits for k >= N
// (all ones is the widest mask the word holds, as k >= 128 gives all 128).
Word128 RightBitsAt(Word128 v, WordBits n);

// The N/8 bytes of the pattern in reverse order, for a change of byte order;
// at 8 bits there is one byte and nothing moves.
constexpr Word128 ByteSwapAt(Word128 v, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (bits > 64) return Word128(__builtin_bswap64(v.hi), __builtin_bswap64(v.lo));
    return ReduceTo(Word128(__builtin_bswap64(v.lo) >> (64 - bits), 0), n);
}

// The signed operations (division, comparisons, power, rounding): the
// 128-bit operation on the sign-extended values, the result reduced. The
// signed values are the same numbers at 128 bits, so only a result outside
// the N-bit range can differ, and that wraps like every other result:
// -2^(N-1) / -1 gives -2^(N-1), as -2^127 / -1 gives -2^127 at 128 bits.
// The machine's integer rounding goes through here as SignedOpAt(op, x, y, n).
template <class Op>
Word128 SignedOpAt(Op op, Word128 a, Word128 b, WordBits n) {
    return ReduceTo(op(ReduceTo(a, n), ReduceTo(b, n)), n);
}
inline Word128 DivAt(Word128 a, Word128 b, WordBits n) { return SignedOpAt(W128Div, a, b, n); }
inline Word128 PowAt(Word128 a, Word128 e, WordBits n) { return SignedOpAt(W128Pow, a, e, n); }

// Below 128 bits both values are moved up to bit 63 instead of reduced:
// that keeps their order and their equality, at one shift each.
constexpr bool LessAt(Word128 a, Word128 b, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (bits > 64) return SignedLess(a, b);
    return static_cast<int64_t>(a.lo << (64 - bits)) < static_cast<int64_t>(b.lo << (64 - bits));
}
constexpr bool EqualAt(Word128 a, Word128 b, WordBits n) {
    const unsigned bits = BitsOf(n);
    return bits > 64 ? a == b : ((a.lo ^ b.lo) << (64 - bits)) == 0;
}

// A float made an integer: the 128-bit conversion's result (FloatToW128,
// truncated and already saturated at 128 bits) clamped to the N-bit signed
// range, so that 1e40 at 32 bits is 2^31 - 1, as it is 2^127 - 1 at 128,
// rather than whatever its low 32 bits happen to be.
constexpr Word128 SaturateTo(Word128 v128, WordBits n) {
    if (SignedLess(v128, WordMin(n))) return WordMin(n);
    if (SignedLess(WordMax(n), v128)) return WordMax(n);
    return v128;
}

// Does a number written with a sign and a magnitude fit the word? It does
// within -2^(N-1) .. 2^N - 1: the signed range below zero, and above it the
// whole unsigned range, so that a pattern such as FFFFFFFF or 4294967295 is
// taken at 32 bits (as -1), while one bit more is refused rather than cut.
constexpr bool FitsWord(bool negative, Word128 magnitude, WordBits n) {
    const unsigned bits = BitsOf(n);
    if (negative) return magnitude <= (Word128(1, 0) << (bits - 1));
    return bits == 128 || (magnitude >> bits).IsZero();
}

// Texts at N bits, built on the 128-bit text forms of the pattern or of the
// signed value. At 128 bits each is the calculator's usual text.
std::string DecimalTextAt(Word128 v, WordBits n);              // signed N-bit value
std::string RadixTextAt(Word128 v, uint8_t base, WordBits n);  // N-bit pattern, no leading zeros
std::string HexDigitsAt(Word128 v, WordBits n);                // exactly N/4 upper-case digits
std::string IPv4TextAt(Word128 v, WordBits n);                 // four octets at 32 bits
std::string IPv6TextAt(Word128 v, WordBits n);                 // the calculator's IPv6 text

// The address texts other programs write, for configuration files and logs:
// the RFC 5952 canonical IPv6 text of the N-bit pattern, and the four-octet
// dotted IPv4 text when the pattern fits 32 bits (nothing otherwise).
std::string StandardIPv6Text(Word128 v, WordBits n);
std::optional<std::string> StandardIPv4Text(Word128 v, WordBits n);

}  // namespace wide

using wide::kWordSizes;
using wide::WordBits;
