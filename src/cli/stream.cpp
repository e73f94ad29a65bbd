#include "stream.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "fdio/fdio.h"

namespace {

constexpr std::size_t kReadSize = std::size_t{64} * 1024;
// Below this, a block is not worth a thread of its own.
constexpr std::size_t kMinBlock = std::size_t{32} * 1024;
constexpr std::size_t kBlockTarget = std::size_t{256} * 1024;

bool InputWaiting(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

// Cuts text into at most n pieces of whole lines, about equal in size.
std::vector<std::string_view> SplitLines(std::string_view text, unsigned n) {
    std::vector<std::string_view> parts;
    const std::size_t want = std::max(kMinBlock, text.size() / n + 1);
    while (!text.empty()) {
        std::size_t end = text.size();
        if (parts.size() + 1 < n && text.size() > want) {
            const std::size_t nl = text.find('\n', want);
            if (nl != std::string_view::npos) end = nl + 1;
        }
        parts.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return parts;
}

// Reads while a whole line is missing (none after scanned), or while more is
// waiting and the input is short of target; but no further once the input,
// all of it one unended line, is longer than a line may be. Sets eof at the
// end of the input, and readError as well when a read failed.
void ReadInput(int fd, std::string& input, std::size_t scanned, std::size_t target, bool& eof,
               int& readError) {
    bool haveLine = input.find('\n', scanned) != std::string::npos;
    while (!eof && (!haveLine || (input.size() < target && InputWaiting(fd))) &&
           (haveLine || input.size() <= kMaxLineBytes)) {
        const std::size_t old = input.size();
        input.resize(old + kReadSize);
        const ssize_t n = ::read(fd, input.data() + old, kReadSize);
        input.resize(old + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readError = errno;
        if (n <= 0) {
            eof = true;
            break;
        }
        haveLine = haveLine || input.find('\n', old) != std::string::npos;
    }
}

// Part i on machine i, the parts after the first on threads of their own;
// then each part's output in order. False if any line faulted.
bool EvaluateParts(const std::vector<std::string_view>& parts, std::vector<std::unique_ptr<Evaluator>>& evals,
                   std::vector<EvalOutput>& outputs, OutputWriter& out) {
    std::vector<char> good(parts.size(), 1);
    auto work = [&](std::size_t i) {
        outputs[i].Clear();
        good[i] = static_cast<char>(evals[i]->EvaluateLines(parts[i], outputs[i]));
    };
    std::vector<std::thread> workers;
    std::vector<std::size_t> here = {0};
    for (std::size_t i = 1; i < parts.size(); ++i) {
        try {
            workers.emplace_back(work, i);
        } catch (const std::system_error&) {
            here.push_back(i);  // no thread to be had: the work is done all the same
        }
    }
    if (!parts.empty())
        for (std::size_t i : here) work(i);
    for (std::thread& w : workers) w.join();
    bool allGood = true;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        out.Emit(outputs[i]);
        if (!good[i]) allGood = false;
    }
    return allGood;
}

}  // namespace

void OutputWriter::Write(int fd, std::string_view text) {
    if (error_ == 0) error_ = WriteAll(fd, text);
}

void OutputWriter::Append(std::string_view text) {
    if (buf_.size() + text.size() > kLimit) {
        Flush();
        // A large piece goes out as it is rather than through the buffer.
        if (text.size() > kLimit) {
            Write(outFd_, text);
            return;
        }
    }
    buf_.append(text);
}

bool OutputWriter::Flush() {
    Write(outFd_, buf_);
    buf_.clear();
    return error_ == 0;
}

void OutputWriter::Emit(const EvalOutput& out) {
    const std::string_view text = out.text;
    std::size_t done = 0;
    for (const auto& [at, message] : out.faults) {
        Append(text.substr(done, at - done));
        done = at;
        Flush();
        // Writing to stderr is best effort: a failure there must not be
        // mistaken for one of the results' output.
        (void)WriteAll(errFd_, "error: " + message + "\n");
    }
    Append(text.substr(done));
}

StreamResult EvaluateStream(int inFd, OutputWriter& out, ValueMode mode, bool tape, unsigned threads,
                            std::size_t aloneBytes, bool forms, WordBits word) {
    threads = std::max(1u, threads);
    std::vector<std::unique_ptr<Evaluator>> evals;
    std::vector<EvalOutput> outputs(threads);
    for (unsigned i = 0; i < threads; ++i)
        evals.push_back(std::make_unique<Evaluator>(mode, tape, forms, word));

    StreamResult result;
    std::string input;
    std::size_t scanned = 0;  // input before this holds no line end
    std::size_t worked = 0;   // bytes of input evaluated so far
    bool eof = false;
    bool skipping = false;  // in the rest of a line too long to keep

    while (!eof || !input.empty()) {
        const unsigned machines = worked < aloneBytes ? 1u : threads;
        ReadInput(inFd, input, scanned, kBlockTarget * machines, eof, result.readError);
        if (skipping) {
            const std::size_t nl = input.find('\n');
            worked += nl == std::string::npos ? input.size() : nl + 1;
            input.erase(0, nl == std::string::npos ? input.size() : nl + 1);
            skipping = nl == std::string::npos;
            scanned = 0;
            continue;
        }

        // Whole lines only, except for an unended last line at the end.
        const std::size_t lastNl = input.rfind('\n');
        if (lastNl == std::string::npos && !eof) {
            // One line longer than a line may be: its error line at once,
            // and the rest of it is dropped as it comes, never held.
            outputs[0].Clear();
            evals[0]->LineTooLong(outputs[0]);
            out.Emit(outputs[0]);
            result.allGood = false;
            worked += input.size();
            input.clear();
            scanned = 0;
            skipping = true;
            if (!out.Flush()) return result;
            continue;
        }
        const std::size_t end = eof ? input.size() : lastNl + 1;
        const std::vector<std::string_view> parts =
            SplitLines(std::string_view(input).substr(0, end), machines);
        if (!EvaluateParts(parts, evals, outputs, out)) result.allGood = false;

        worked += end;
        input.erase(0, end);
        scanned = input.size();
        if (!out.Flush()) return result;
    }
    return result;
}
