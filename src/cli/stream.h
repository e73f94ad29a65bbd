// Standard input to standard output, many lines at a time.
#pragma once

#include <string>
#include <string_view>

#include "evaluator.h"

// Buffered standard output, with the fault messages put on standard error
// at their place, so that a reader of both sees them in order.
class OutputWriter {
public:
    OutputWriter(int outFd, int errFd) : outFd_(outFd), errFd_(errFd) { buf_.reserve(kLimit + 4096); }
    void Emit(const EvalOutput& out);
    // False once the output cannot be written; Error() then tells why.
    bool Flush();
    int Error() const { return error_; }

private:
    static constexpr std::size_t kLimit = std::size_t{64} * 1024;
    void Append(std::string_view text);
    // Writes all of text unless an earlier write failed; keeps the first error.
    void Write(int fd, std::string_view text);

    int outFd_, errFd_;
    std::string buf_;
    int error_ = 0;
};

struct StreamResult {
    bool allGood = true;  // no line faulted
    int readError = 0;    // errno of a failed read, or 0
};

// Evaluates every line of the input. Large amounts of waiting input are cut
// into blocks that up to `threads` machines work on at once; what a block
// printed is written in input order. The first `aloneBytes` of input are
// worked on by one machine alone. Whatever has been evaluated is written out
// before the next read may wait, so a program that talks to qzcalc through
// pipes gets each answer before it sends the next line.
StreamResult EvaluateStream(int inFd, OutputWriter& out, ValueMode mode, bool tape, unsigned threads,
                            std::size_t aloneBytes = 0, bool forms = false, WordBits word = WordBits::k128);
