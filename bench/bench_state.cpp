// Loading and saving a full state file: sixteen registers and 100 tape rows.
// The save is measured whole (with its fsync calls) and without them, since
// on most disks the flush is what costs; and as it is when another
// calculator saved in between, with the file read again and merged.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "state/statefile.h"

namespace {

StateSnapshot FullState() {
    StateSnapshot s;
    s.mode = vmHex;
    for (int k = 0; k < kRegisterCount; ++k) {
        s.regs[k] =
            k % 4 == 3
                ? CalcValue::Float(ext::Div(Extended::FromInt64(k * 10000000000), Extended::FromInt64(7)))
                : CalcValue::Int(static_cast<ValueMode>(k % 4), Word128(0x9E3779B97F4A7C15ull * k, k));
    }
    for (int i = 0; i < 100; ++i) {
        const CalcValue v = i % 5 == 0
                                ? CalcValue::Float(ext::Div(Extended::FromInt64(i), Extended::FromInt64(3)))
                                : CalcValue::Int(vmHex, Word128(i * 0x1234567ull, 0));
        s.tape.Append(v, (i % 2 ? "+ " : "= ") + std::to_string(i * 0x1234567ull) + "h");
    }
    return s;
}

// Counts what the loader hands over, so nothing is optimised away.
class CountingSink : public StateSink {
public:
    void LoadMode(ValueMode) override { ++events; }
    void LoadRegister(int, const CalcValue&) override { ++events; }
    void RegistersLoaded() override {}
    void BeginTape() override {}
    void EndTape() override {}
    void LoadTapeRow(const CalcValue&, std::string_view text) override { events += text.size() > 0; }
    long events = 0;
};

class TempFolder {
public:
    TempFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qzstate-bench-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) != nullptr) path = tmpl;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

void BM_FormatState(benchmark::State& st) {
    const StateSnapshot s = FullState();
    for (auto _ : st) benchmark::DoNotOptimize(FormatState(s));
}
BENCHMARK(BM_FormatState);

void BM_LoadStateText(benchmark::State& st) {
    const std::string text = FormatState(FullState());
    for (auto _ : st) {
        CountingSink sink;
        LoadStateText(text, sink);
        benchmark::DoNotOptimize(sink.events);
    }
}
BENCHMARK(BM_LoadStateText);

void BM_LoadStateFile(benchmark::State& st) {
    TempFolder dir;
    const std::string path = dir.path + "/qz.state";
    std::string error;
    if (!SaveStateFile(path, FullState(), error)) {
        st.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : st) {
        StateSnapshot loaded;
        SnapshotSink sink(loaded);
        LoadStateFile(path, sink);
        benchmark::DoNotOptimize(loaded.tape.size());
    }
}
BENCHMARK(BM_LoadStateFile);

// Everything the save does.
void BM_SaveStateFile(benchmark::State& st) {
    TempFolder dir;
    const std::string path = dir.path + "/qz.state";
    const StateSnapshot s = FullState();
    std::string error;
    for (auto _ : st) {
        if (!SaveStateFile(path, s, error)) {
            st.SkipWithError(error.c_str());
            return;
        }
    }
}
BENCHMARK(BM_SaveStateFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A save that finds another calculator's file in place of the one it
// loaded: the lock, the second read and the merge come on top.
void BM_SaveStateFileMerging(benchmark::State& st) {
    TempFolder dir;
    const std::string path = dir.path + "/qz.state";
    const StateSnapshot s = FullState();
    StateBase base;
    base.regs = s.regs;
    base.tape = s.tape.Rows();
    base.stamp.exists = true;  // never the file found, so every save merges
    base.tapeAdded = 10;
    std::string error;
    for (auto _ : st) {
        if (!SaveStateFile(path, s, error, OldStateFile::kReplace, &base)) {
            st.SkipWithError(error.c_str());
            return;
        }
    }
}
BENCHMARK(BM_SaveStateFileMerging)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MergeState(benchmark::State& st) {
    const StateSnapshot s = FullState();
    StateBase base;
    base.regs = s.regs;
    base.tape = s.tape.Rows();
    base.tapeAdded = 50;
    base.tapeCleared = true;
    for (auto _ : st) benchmark::DoNotOptimize(MergeState(s, base, s));
}
BENCHMARK(BM_MergeState);

// The same steps (format, temporary file, write, close, rename) without the
// two fsync calls: the cost that is the program's own.
void BM_SaveWithoutSync(benchmark::State& st) {
    TempFolder dir;
    const std::string path = dir.path + "/qz.state", tmp = path + ".tmp";
    const StateSnapshot s = FullState();
    for (auto _ : st) {
        const std::string text = FormatState(s);
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
            st.SkipWithError("write failed");
            return;
        }
        ::close(fd);
        std::rename(tmp.c_str(), path.c_str());
    }
}
BENCHMARK(BM_SaveWithoutSync)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What the disk alone asks for one flush of a file of this size.
void BM_FsyncOnly(benchmark::State& st) {
    TempFolder dir;
    const std::string path = dir.path + "/qz.state";
    const std::string text = FormatState(FullState());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        st.SkipWithError("open failed");
        return;
    }
    for (auto _ : st) {
        if (::pwrite(fd, text.data(), text.size(), 0) < 0 || ::fsync(fd) != 0) {
            st.SkipWithError("write failed");
            break;
        }
    }
    ::close(fd);
}
BENCHMARK(BM_FsyncOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
