// The long property check of the word sizes through the machine's own
// operations, run by `make word-size-check` beside word_size_check (the
// rules alone): a million random cases per width and rule by default.
// Usage: machine_word_check [cases-per-rule] [seed]
#include "machine_word_reference.h"

int main(int argc, char** argv) {
    return wordref::RunLongCheck(
        argc, argv, 20240519, ", through the machine",
        [](WordBits n, uint64_t cases, uint64_t seed) { return machword::CheckMachine(n, cases, seed); });
}
