#include "tape.h"

Tape::Tape(const std::vector<TapeRow>& rows) {
    for (const TapeRow& row : rows) Append(row.value, row.text);
}

Tape::Tape(std::initializer_list<TapeRow> rows) {
    for (const TapeRow& row : rows) Append(row.value, row.text);
}

void Tape::Append(const CalcValue& value, std::string_view text) {
    text = text.substr(0, kMaxText);
    ++appended_;
    if (rows_.size() < kMaxTapeRows) {
        rows_.push_back(TapeRow{value, std::string(text)});
        return;
    }
    TapeRow& oldest = rows_[first_];
    oldest.value = value;
    oldest.text.assign(text);
    first_ = first_ + 1 < rows_.size() ? first_ + 1 : 0;
}

void Tape::Clear() {
    if (rows_.empty()) return;
    rows_.clear();
    first_ = 0;
    ++clears_;
}

std::vector<TapeRow> Tape::Rows() const {
    std::vector<TapeRow> rows;
    rows.reserve(size());
    for (const TapeRow& row : *this) rows.push_back(row);
    return rows;
}

namespace {

constexpr std::size_t kExportColumn = 45;

void RightAligned(std::string& out, std::string_view left, std::string_view right) {
    const std::size_t used = left.size() + right.size();
    out += left;
    if (used < kExportColumn) out.append(kExportColumn - used, ' ');
    out += right;
    out += '\n';
}

}  // namespace

std::string TapeExportText(const Tape& tape, const std::array<CalcValue, kRegisterCount>& registers,
                           WordBits word) {
    std::string out;
    for (const TapeRow& row : tape) RightAligned(out, {}, row.text);
    out += "\n\n";
    out.append(kExportColumn, '-');
    out += '\n';
    for (int n = 0; n < kRegisterCount; ++n) {
        const std::string value = ValueText(registers[static_cast<std::size_t>(n)], word);
        if (value != "0") RightAligned(out, std::string{'R', "0123456789ABCDEF"[n]}, value);
    }
    return out;
}
