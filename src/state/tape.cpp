#include "tape.h"

#include "calcmach/calcmach.h"

Tape::Tape(const std::vector<TapeRow>& rows) {
    for (const TapeRow& row : rows) Append(row.value, row.text);
}

Tape::Tape(std::initializer_list<TapeRow> rows) {
    for (const TapeRow& row : rows) Append(row.value, row.text);
}

void Tape::Append(const CalcValue& value, std::string_view text) {
    if (rows_.size() >= kMaxTapeRows) rows_.erase(rows_.begin(), rows_.end() - (kMaxTapeRows - 1));
    rows_.push_back(TapeRow{value, std::string(text.substr(0, kMaxText))});
    ++appended_;
}

void Tape::Clear() {
    if (rows_.empty()) return;
    rows_.clear();
    ++clears_;
}
