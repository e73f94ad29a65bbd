// The long property check of the word sizes through the machine's own
// operations, run by `make word-size-check` beside word_size_check (the
// rules alone): a million random cases per width and rule by default.
// Usage: machine_word_check [cases-per-rule] [seed]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "machine_word_reference.h"

int main(int argc, char** argv) {
    const uint64_t cases = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20240519;
    uint64_t failed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const WordBits n : kWordSizes) {
        const auto t0 = std::chrono::steady_clock::now();
        const wordref::Report r = machword::CheckMachine(n, cases, seed + BitsOf(n));
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%3u bits, through the machine: %llu cases, %llu failed, %.1f s\n", BitsOf(n),
                    static_cast<unsigned long long>(r.cases), static_cast<unsigned long long>(r.failed),
                    secs);
        for (const wordref::Failure& f : r.failures)
            std::printf("  %s (%s): expected %s, got %s\n", f.rule.c_str(), f.operands.c_str(),
                        f.expected.c_str(), f.actual.c_str());
        failed += r.failed;
    }
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s in %.1f s (%llu cases per width and rule, seed %llu)\n", failed ? "FAILED" : "passed",
                total, static_cast<unsigned long long>(cases), static_cast<unsigned long long>(seed));
    return failed ? 1 : 0;
}
