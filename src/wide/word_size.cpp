// The word size: the parts of the N-bit rules that are not inline, and the
// texts of a value at N bits.
#include "word_size.h"

#include "ipv6_groups.h"

#include <array>

namespace wide {

namespace {

// The k rightmost bits set; all 128 for k >= 128 (a count is one byte).
Word128 RightMask(unsigned k) { return k < 128 ? (Word128(1, 0) << k) - Word128(1, 0) : W128AllOnes; }

unsigned LowByte(Word128 v) { return static_cast<unsigned>(v.lo & 0xFF); }

// Appends 0..255 in decimal without leading zeros.
void PutOctet(std::string& s, unsigned b) {
    if (b >= 100) s.push_back(static_cast<char>('0' + b / 100));
    if (b >= 10) s.push_back(static_cast<char>('0' + b / 10 % 10));
    s.push_back(static_cast<char>('0' + b % 10));
}

std::string FourOctets(uint32_t a) {
    std::string s;
    s.reserve(15);
    for (int i = 3; i >= 0; --i) {
        PutOctet(s, (a >> (8 * i)) & 0xFFu);
        if (i != 0) s.push_back('.');
    }
    return s;
}

}  // namespace

std::optional<WordBits> ParseWordBits(std::string_view text) {
    for (const WordBits n : kWordSizes)
        if (text == std::to_string(BitsOf(n))) return n;
    return std::nullopt;
}

Word128 LeftBitsAt(Word128 x, Word128 y, WordBits n) {
    const unsigned w = LowByte(x), k = LowByte(y);
    return ReduceTo(RightMask(k) << ((w - k) & 0xFFu), n);  // a shift of 128 or more gives 0
}

Word128 RightBitsAt(Word128 v, WordBits n) { return ReduceTo(RightMask(LowByte(v)), n); }

std::string DecimalTextAt(Word128 v, WordBits n) { return sstr(ReduceTo(v, n), 10); }

std::string RadixTextAt(Word128 v, uint8_t base, WordBits n) { return str(PatternOf(v, n), base); }

std::string HexDigitsAt(Word128 v, WordBits n) { return hexstr(PatternOf(v, n)).substr(32 - BitsOf(n) / 4); }

// A 32-bit word is an IPv4 address, so it is written whole (0.0.0.0, not the
// calculator's shortened 0); other widths keep the usual text of the pattern.
std::string IPv4TextAt(Word128 v, WordBits n) {
    const Word128 p = PatternOf(v, n);
    return n == WordBits::k32 ? FourOctets(static_cast<uint32_t>(p.lo)) : ipv4str(p);
}

std::string IPv6TextAt(Word128 v, WordBits n) { return ipv6str(PatternOf(v, n), true); }

// RFC 5952, section 4: hexadecimal groups in lower case without leading
// zeros; the longest run of two or more zero groups becomes "::", the
// leftmost (most significant) of equal runs; a lone zero group stays "0".
// The calculator's own text differs on purpose (rightmost run, a lone last
// group compressed) and is kept for the display; this one is what other
// programs print and read. Mapped IPv4 addresses stay hexadecimal here: the
// dotted IPv4 form is offered beside this text when the value fits 32 bits.
std::string StandardIPv6Text(Word128 v, WordBits n) {
    const u128 x = PatternOf(v, n).native();
    std::array<unsigned, 8> g{};  // g[0] is the leftmost group in the text
    for (int i = 0; i < 8; ++i) g[i] = static_cast<unsigned>(x >> (16 * (7 - i))) & 0xFFFFu;

    // A run must be longer than one group; among equal runs the leftmost.
    const ipv6::ZeroRun run = ipv6::LongestZeroRun(g, 2);
    std::string s;
    s.reserve(39);
    for (int i = 0; i < 8; ++i) {
        if (i == run.start) {
            s += "::";
            i += run.length - 1;
            continue;
        }
        if (!s.empty() && s.back() != ':') s.push_back(':');
        ipv6::AppendGroup(s, g[i]);
    }
    return s;
}

std::optional<std::string> StandardIPv4Text(Word128 v, WordBits n) {
    const Word128 p = PatternOf(v, n);
    if (p.hi != 0 || (p.lo >> 32) != 0) return std::nullopt;
    return FourOctets(static_cast<uint32_t>(p.lo));
}

}  // namespace wide
