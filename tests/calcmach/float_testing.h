// Floats in the tests, written the same way on every processor: exact
// encodings, powers of two and decimal numbers read as the compiler read
// long double literals on the x87 (correctly rounded).
#pragma once

#include <ostream>
#include <string_view>

#include "calcmach/float_text.h"
#include "wide/extended.h"

// Failures show the 20 hexadecimal digits of the encoding.
inline void PrintTo(const Extended& x, std::ostream* os) { *os << HexText(x); }

// The extended nearest to a decimal number ("1.5", "-1e-7", "1E20").
inline Extended F(std::string_view decimal) {
    std::string text(decimal);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return ParseFloat(text);
}

// The encoding of 20 hexadecimal digits, sign and exponent first.
inline Extended Hex80(std::string_view hex) {
    uint64_t v[2] = {0, 0};
    for (std::size_t i = 0; i < hex.size(); ++i) {
        const char c = hex[i];
        const unsigned d = c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>(c - 'A' + 10);
        uint64_t& part = i < 4 ? v[0] : v[1];
        part = part << 4 | d;
    }
    return {v[1], static_cast<unsigned>(v[0])};
}

// 2^k, k in the normal range.
inline Extended P2(int k) { return {Extended::kIntegerBit, static_cast<unsigned>(Extended::kBias + k)}; }
