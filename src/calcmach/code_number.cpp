#include "code_number.h"

namespace {

bool IsSeparator(char c) { return c == '_' || c == '\'' || c == ' '; }

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Digit value in either case, or 99.
unsigned Digit(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return 99;
}

// The digits of the given base, with separators only between two digits;
// nothing for an empty or malformed text.
std::optional<Word128> ReadDigits(std::string_view digits, unsigned bitsPerDigit) {
    const unsigned base = 1u << bitsPerDigit;
    if (digits.empty() || IsSeparator(digits.front()) || IsSeparator(digits.back())) return std::nullopt;
    u128 v = 0;
    for (char c : digits) {
        if (IsSeparator(c)) continue;
        const unsigned d = Digit(c);
        if (d >= base) return std::nullopt;
        v = (v << bitsPerDigit) | d;  // the high bits fall off, as typed digits do
    }
    return Word128::FromNative(v);
}

struct Radix {
    ValueMode mode;
    unsigned bitsPerDigit;
};

std::optional<Radix> PrefixRadix(char c) {
    switch (c) {
        case 'x':
        case 'X': return Radix{vmHex, 4};
        case 'b':
        case 'B': return Radix{vmBin, 1};
        case 'o':
        case 'O': return Radix{vmOct, 3};
        default: return std::nullopt;
    }
}

// Upper-case B is a hexadecimal digit: "1B" stays the hexadecimal number
// it always was when pasted key by key.
std::optional<Radix> SuffixRadix(char c) {
    switch (c) {
        case 'h':
        case 'H': return Radix{vmHex, 4};
        case 'b': return Radix{vmBin, 1};
        case 'o':
        case 'O': return Radix{vmOct, 3};
        default: return std::nullopt;
    }
}

// With a suffix, hexadecimal starts either with a decimal digit (0ffh, as
// assembler writes it) or with the upper-case letters the tape writes (FFh):
// words such as "each" or "bah" are text, not numbers.
bool LooksLikeWord(std::string_view text) {
    const char first = text.front();
    if (first >= '0' && first <= '9') return false;
    for (char c : text.substr(0, text.size() - 1))
        if (c >= 'a' && c <= 'z') return true;
    return false;
}

}  // namespace

std::optional<CodeNumber> ParseCodeNumber(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.size() < 2) return std::nullopt;

    // The prefix first; a text that is no number with it may still be one
    // with a suffix, as assembler writes hexadecimal: 0BAh, 0FFh.
    std::optional<Word128> v;
    std::optional<Radix> radix;
    if (text[0] == '0' && (radix = PrefixRadix(text[1]))) v = ReadDigits(text.substr(2), radix->bitsPerDigit);
    if (!v && (radix = SuffixRadix(text.back())) && !LooksLikeWord(text))
        v = ReadDigits(text.substr(0, text.size() - 1), radix->bitsPerDigit);
    if (!v) return std::nullopt;
    return CodeNumber{radix->mode, negative ? -*v : *v};
}
