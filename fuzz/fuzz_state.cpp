// The state-file loader on arbitrary bytes. Every call it makes must be in
// range, and what it loaded must survive being written and read again. The
// same bytes with a UTF-8 byte-order mark in front, or with their line ends
// as CR or CR LF, load the same; a save with no change merges to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "state/statefile.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Fills a snapshot as the window would, checking each call on the way.
class CheckingSink : public StateSink {
public:
    explicit CheckingSink(StateSnapshot& s) : inner_(s) {}
    void LoadMode(ValueMode mode) override {
        Check(mode >= vmDec && mode <= vmERR);
        inner_.LoadMode(mode);
    }
    void LoadRegister(int k, const CalcValue& value) override {
        Check(k >= 0 && k < kRegisterCount);
        Check(!inTape_);
        // Only values with a register text form can be read.
        Check(value.mode >= vmDec && value.mode <= vmFloat);
        inner_.LoadRegister(k, value);
    }
    void RegistersLoaded() override { inner_.RegistersLoaded(); }
    void BeginTape() override {
        Check(!inTape_);
        inTape_ = true;
    }
    void EndTape() override {
        Check(inTape_);
        inTape_ = false;
    }
    void LoadTapeRow(const CalcValue& value, std::string_view text) override {
        Check(inTape_);
        Check(text.size() <= kMaxText);
        // A tape row may also hold the error value, kept as the user saw it.
        Check((value.mode >= vmDec && value.mode <= vmFloat) || value == kErrorValue);
        inner_.LoadTapeRow(value, text);
    }
    bool inTape_ = false;

private:
    SnapshotSink inner_;
};

StateSnapshot LoadChecked(std::string_view text) {
    StateSnapshot s;
    CheckingSink sink(s);
    LoadStateText(text, sink);
    Check(!sink.inTape_);
    return s;
}

// A loaded tape text cut at 255 bytes may end in blanks, which the next load
// trims away; that is the file format's own rule, not a loss.
void TrimTexts(StateSnapshot& s) {
    std::vector<TapeRow> rows = s.tape.Rows();
    for (TapeRow& row : rows) {
        while (!row.text.empty() && static_cast<unsigned char>(row.text.back()) <= 32) row.text.pop_back();
        for (char& c : row.text)
            if (c == '\r' || c == '\n') c = ' ';
    }
    s.tape = Tape(rows);
}

std::string WithLineEnds(std::string_view text, std::string_view eol) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += eol;
        else
            out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    StateSnapshot first = LoadChecked(input);
    const std::string written = FormatState(first);
    const StateSnapshot second = LoadChecked(written);
    TrimTexts(first);

    Check(second.mode == first.mode);
    Check(second.tape.size() == first.tape.size());
    for (std::size_t i = 0; i < first.tape.size(); ++i) Check(second.tape[i].text == first.tape[i].text);
    // Every value comes back bit for bit: integers as their 32 digits, and
    // floats as the fewest digits that read back exactly (or INF, NAN, SNAN,
    // which read back as the very encodings a load makes of them).
    for (int k = 0; k < kRegisterCount; ++k) Check(second.regs[k] == first.regs[k]);
    for (std::size_t i = 0; i < first.tape.size(); ++i) Check(second.tape[i].value == first.tape[i].value);
    Check(FormatState(second) == FormatState(first));

    const std::string once = FormatState(LoadChecked(input));
    if (input.empty() || input.front() != '\xEF')
        Check(FormatState(LoadChecked("\xEF\xBB\xBF" + std::string(input))) == once);
    Check(FormatState(LoadChecked(WithLineEnds(input, "\r"))) == once);
    Check(FormatState(LoadChecked(WithLineEnds(input, "\r\n"))) == once);

    StateBase base;
    base.regs = second.regs;
    base.tape = second.tape.Rows();
    Check(FormatState(MergeState(second, base, second)) == FormatState(second));
    return 0;
}
