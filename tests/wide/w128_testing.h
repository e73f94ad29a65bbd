// Shared helpers of the Word128 tests: readable failure output and a random
// source that favours the values where 128-bit code goes wrong (the 64-bit
// boundary, the sign bit, all ones, small values on the fast paths).
#pragma once

#include <gtest/gtest.h>

#include <bitset>
#include <ostream>
#include <random>

#include "wide/word128.h"

inline void PrintTo(const Word128& v, std::ostream* os) { *os << "0x" << hexstr(v); }

inline Word128 Small(uint64_t lo) { return Word128(lo, 0); }
inline Word128 Pow2(unsigned k) { return Small(1) << k; }

class Random128 {
public:
    explicit Random128(uint64_t seed) : gen_(seed) {}

    uint64_t u64() { return gen_(); }

    Word128 next() {
        switch (gen_() % 8) {
            case 0: return Small(gen_() >> (gen_() % 64));  // the 64-bit paths
            case 1: {
                static const Word128 kSpecial[] = {W128Zero,
                                                   Small(1),
                                                   W128AllOnes,
                                                   W128MinSigned,
                                                   Word128(~0ull, 0),
                                                   Word128(0, 1),
                                                   Word128(~0ull, ~0ull >> 1),
                                                   Small(2),
                                                   Word128(0, ~0ull),
                                                   Small(10)};
                return kSpecial[gen_() % (sizeof kSpecial / sizeof kSpecial[0])];
            }
            case 2: {
                const unsigned k = static_cast<unsigned>(gen_() % 128);
                return gen_() % 2 ? Pow2(k) - Small(gen_() % 3) : Pow2(k) + Small(gen_() % 3);
            }
            // Braces fix the order of the draws: the low half first.
            case 3:
            case 4: return Word128{gen_(), gen_()} >> static_cast<unsigned>(gen_() % 128);  // random length
            default: return Word128{gen_(), gen_()};
        }
    }

private:
    std::mt19937_64 gen_;
};

inline std::bitset<128> Bits(Word128 v) { return (std::bitset<128>(v.hi) << 64) | std::bitset<128>(v.lo); }

inline Word128 FromBits(const std::bitset<128>& b) {
    const std::bitset<128> mask(~0ull);
    return Word128((b & mask).to_ullong(), ((b >> 64) & mask).to_ullong());
}
