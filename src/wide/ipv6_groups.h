// What both IPv6 texts of the library share: the zero run that "::" stands
// for and a group's lower-case hexadecimal digits. Internal to the library.
#pragma once

#include <array>
#include <string>

namespace wide::ipv6 {

struct ZeroRun {
    int start = -1;  // index of its first group in g; -1: none
    int length = 0;
};

// The longest run of zero groups of at least minLength groups, scanned from
// g[0]: only a strictly longer run replaces the best, so among equal runs
// the one nearest g[0] wins.
inline ZeroRun LongestZeroRun(const std::array<unsigned, 8>& g, int minLength) {
    ZeroRun best{-1, minLength - 1};
    for (int i = 0; i < 8;) {
        if (g[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && g[j] == 0) ++j;
        if (j - i > best.length) best = {i, j - i};
        i = j;
    }
    if (best.start < 0) best.length = 0;
    return best;
}

// A group without its leading zeros ("0" for zero).
inline void AppendGroup(std::string& s, unsigned group) {
    static constexpr char kLowerHex[] = "0123456789abcdef";
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned d = (group >> shift) & 15u;
        if (d != 0 || started || shift == 0) {
            s.push_back(kLowerHex[d]);
            started = true;
        }
    }
}

}  // namespace wide::ipv6
