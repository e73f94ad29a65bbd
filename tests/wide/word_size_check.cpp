// The long property check of the word sizes, run by `make word-size-check`
// (and so by `make check`), not by ctest: every N-bit rule against C++'s own
// fixed-width integers, a million random cases per width and rule by
// default. Usage: word_size_check [cases-per-rule] [seed]
#include "word_size_reference.h"

int main(int argc, char** argv) {
    return wordref::RunLongCheck(argc, argv, 20240518, "", [](WordBits n, uint64_t cases, uint64_t seed) {
        return wordref::CheckRules(n, cases, seed);
    });
}
