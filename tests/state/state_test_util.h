// Helpers shared by the state-file tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "../fdio/file_text.h"
#include "state/statefile.h"

// Records every call of the loader, in order, so a test can check both what
// was handed over and when.
class RecordingSink : public StateSink {
public:
    struct Reg {
        int k;
        CalcValue value;
    };

    void LoadMode(ValueMode mode) override {
        modes.push_back(mode);
        log += "M";
    }
    void LoadRegister(int k, const CalcValue& value) override {
        regs.push_back({k, value});
        log += 'R';
        log += std::to_string(k);
    }
    void RegistersLoaded() override { log += "|"; }
    void BeginTape() override { log += "["; }
    void EndTape() override { log += "]"; }
    void LoadTapeRow(const CalcValue& value, std::string_view text) override {
        tape.push_back({value, std::string(text)});
        log += "T";
    }

    std::vector<ValueMode> modes;
    std::vector<Reg> regs;
    std::vector<TapeRow> tape;
    std::string log;  // M mode, Rk register, | registers done, [ T ] tape
};

inline CalcValue IntValue(ValueMode m, uint64_t lo, uint64_t hi = 0) {
    return CalcValue::Int(m, Word128(lo, hi));
}

inline RecordingSink Load(std::string_view text) {
    RecordingSink sink;
    LoadStateText(text, sink);
    return sink;
}

// What the window would end up with after loading text on top of start.
inline StateSnapshot LoadSnapshot(std::string_view text, StateSnapshot start = {}) {
    SnapshotSink sink(start);
    LoadStateText(text, sink);
    return start;
}

// Joins lines with CR LF, each line ended, as the program writes them.
inline std::string Crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
}

inline std::string HexLine(ValueMode m, uint64_t lo) { return RegRepr(IntValue(m, lo)); }

// A folder of its own for one state file, gone with the object.
class TempFolder {
public:
    TempFolder() {
        std::string tmpl = ::testing::TempDir() + "qzfloatXXXXXX";
        if (::mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
    }
    ~TempFolder() {
        if (path_.empty()) return;
        ::unlink(File().c_str());
        ::rmdir(path_.c_str());
    }
    bool Made() const { return !path_.empty(); }
    std::string File() const { return path_ + "/qz.state"; }

private:
    std::string path_;
};
