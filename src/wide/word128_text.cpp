// Text forms of Word128: unsigned and signed text in any base,
// fixed-width hexadecimal, IPv4 and IPv6 address texts, and the reader stou128.
#include <array>
#include <cstring>

#include "ipv6_groups.h"
#include "word128.h"

namespace wide {

namespace {

constexpr std::string_view kDefaultAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Digits are written backwards into one buffer: 128 digits (base 2 needs
// 128) and room for a sign.
struct DigitBuffer {
    char buf[129];
    std::size_t pos = sizeof buf;
    void put(char c) { buf[--pos] = c; }
    std::string text() const { return std::string(buf + pos, sizeof buf - pos); }
};

// The largest power of a base that fits in 64 bits, and its digit count.
struct Chunk {
    uint64_t size;
    int digits;
};

constexpr Chunk ChunkOf(unsigned base) {
    Chunk c{base, 1};
    while (c.size <= ~uint64_t{0} / base) {
        c.size *= base;
        ++c.digits;
    }
    return c;
}

// Non-power-of-two bases: divide the 128-bit value by the chunk, then write
// each 64-bit chunk with 64-bit arithmetic: one 128-bit division per chunk
// instead of one per digit. B is the base when it is known at compile time
// (base 10: the divisions by the base become multiplications), 0 when only
// runtimeBase knows it.
template <unsigned B>
void PutDivided(DigitBuffer& out, u128 x, unsigned runtimeBase, std::string_view alpha) {
    const unsigned base = B != 0 ? B : runtimeBase;
    constexpr Chunk kFixed = ChunkOf(B != 0 ? B : 2);
    const Chunk chunk = B != 0 ? kFixed : ChunkOf(base);
    while (x >> 64) {
        const u128 q = x / chunk.size;
        uint64_t r = static_cast<uint64_t>(x - q * chunk.size);
        for (int i = 0; i < chunk.digits; ++i, r /= base) out.put(alpha[r % base]);  // leading zeros included
        x = q;
    }
    for (uint64_t lo = static_cast<uint64_t>(x); lo != 0; lo /= base) out.put(alpha[lo % base]);
}

void PutHex64(std::string& s, uint64_t v) {
    for (int shift = 60; shift >= 0; shift -= 4) s.push_back(kHexDigits[(v >> shift) & 15]);
}

// Appends 0..255 in decimal without leading zeros.
void PutByte(std::string& s, unsigned b) {
    if (b >= 100) s.push_back(static_cast<char>('0' + b / 100));
    if (b >= 10) s.push_back(static_cast<char>('0' + b / 10 % 10));
    s.push_back(static_cast<char>('0' + b % 10));
}

void PutUnsigned(DigitBuffer& out, Word128 v, uint8_t base, std::string_view alphabet) {
    const std::string_view alpha = alphabet.empty() ? kDefaultAlphabet : alphabet;
    if (base < 2 || base > alpha.size())
        throw RangeError("Word128.str(): invalid base " + std::to_string(base));
    if (v.IsZero()) {
        out.put('0');  // the character 0, whatever the alphabet
        return;
    }
    if ((base & (base - 1)) == 0) {
        const unsigned k = static_cast<unsigned>(__builtin_ctz(base));
        const unsigned mask = base - 1u;
        for (u128 x = v.native(); x != 0; x >>= k) out.put(alpha[static_cast<unsigned>(x) & mask]);
    } else {
        if (base == 10)
            PutDivided<10>(out, v.native(), base, alpha);
        else
            PutDivided<0>(out, v.native(), base, alpha);
    }
}

}  // namespace

std::string str(Word128 v, uint8_t base, std::string_view alphabet) {
    DigitBuffer out;
    PutUnsigned(out, v, base, alphabet);
    return out.text();
}

std::string sstr(Word128 v, uint8_t base, std::string_view alphabet) {
    DigitBuffer out;
    PutUnsigned(out, v.IsNegative() ? -v : v, base, alphabet);
    if (v.IsNegative()) out.put('-');
    return out.text();
}

std::string hexstr(Word128 v) {
    std::string s;
    s.reserve(32);
    PutHex64(s, v.hi);
    PutHex64(s, v.lo);
    return s;
}

std::string ipv4str(Word128 v) {
    // As many parts as v has significant bytes, at least one.
    const int top = v.IsZero() ? 0 : hibit(v) / 8;
    const u128 x = v.native();
    std::string s;
    s.reserve(64);
    for (int i = top; i >= 0; --i) {
        PutByte(s, static_cast<unsigned>(x >> (8 * i)) & 0xFFu);
        if (i != 0) s.push_back('.');
    }
    return s;
}

std::string ipv6str(Word128 v, bool plain) {
    if (!plain && v.hi == 0 && (v.lo >> 32) == 0xFFFF) {
        std::string s = "::ffff:";
        for (int i = 3; i >= 0; --i) {
            PutByte(s, static_cast<unsigned>(v.lo >> (8 * i)) & 0xFFu);
            if (i != 0) s.push_back('.');
        }
        return s;
    }

    std::array<unsigned, 8> g{};
    for (int i = 0; i < 8; ++i) g[i] = static_cast<unsigned>(v.native() >> (16 * i)) & 0xFFFFu;

    // Among equal zero runs the one nearest g0, the rightmost in the text;
    // a single zero group is compressed only when it is g0.
    ipv6::ZeroRun run = ipv6::LongestZeroRun(g, 1);
    if (run.length == 1 && run.start != 0) run = {};
    const int runTop = run.length > 0 ? run.start + run.length - 1 : -1;

    std::string s;
    s.reserve(40);
    for (int i = 7; i >= 0; --i) {
        if (run.length > 0 && i <= runTop && i >= run.start) {
            if (i == runTop) s += "::";
            continue;
        }
        if (!s.empty() && s.back() != ':') s.push_back(':');
        ipv6::AppendGroup(s, g[i]);
    }
    return s;
}

Word128 stou128(std::string_view text, uint8_t base, std::string_view alphabet) {
    const std::string_view alpha = alphabet.empty() ? kDefaultAlphabet : alphabet;
    if (base > alpha.size()) throw RangeError("stou128: base is greater than the digits available");
    if (base > 128) throw RangeError("stou128: base must be <= 128");

    // Digit value of every byte: the position of its first occurrence among
    // the first `base` symbols; 0xFF (never a digit, since base <= 128) for
    // the rest. Positions beyond the base are not digits either way, so an
    // alphabet longer than 255 symbols is read without any wrap-around.
    std::array<uint8_t, 256> value;
    value.fill(0xFF);
    for (std::size_t k = base; k-- > 0;)
        value[static_cast<unsigned char>(alpha[k])] = static_cast<uint8_t>(k);

    u128 r = 0;
    for (const char c : text) {
        const uint8_t d = value[static_cast<unsigned char>(c)];
        if (d >= base) break;
        r = r * base + d;  // for a power-of-two base: shift left by k, OR d
    }
    return Word128::FromNative(r);
}

}  // namespace wide
