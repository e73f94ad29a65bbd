// The tape: the running record of the calculation, one row per line with
// the value the display showed when the line was written (a click on the
// row brings it back). It keeps the newest kMaxTapeRows rows; the oldest
// goes here and nowhere else. The machine's tape receiver appends to it, the
// state file loads and saves it, and the window's tape list only shows it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "calcmach/calcmach.h"

struct TapeRow {
    CalcValue value;
    std::string text;

    bool operator==(const TapeRow&) const = default;
};

constexpr std::size_t kMaxTapeRows = 100;

class Tape {
public:
    Tape() = default;
    // The newest kMaxTapeRows of the rows, as if appended in order.
    explicit Tape(const std::vector<TapeRow>& rows);
    Tape(std::initializer_list<TapeRow> rows);

    // Adds a row at the end, its text cut to 255 bytes; on a full tape the
    // oldest row goes.
    void Append(const CalcValue& value, std::string_view text);
    void Clear();

    // Row 0 is the oldest.
    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const TapeRow& operator[](std::size_t k) const {
        const std::size_t at = first_ + k;
        return rows_[at < rows_.size() ? at : at - rows_.size()];
    }
    const TapeRow& front() const { return (*this)[0]; }
    const TapeRow& back() const { return (*this)[size() - 1]; }
    // The rows in order, as a list of their own.
    std::vector<TapeRow> Rows() const;

    // Row by row, oldest first.
    class Iterator {
    public:
        Iterator(const Tape& tape, std::size_t k) : tape_(&tape), k_(k) {}
        const TapeRow& operator*() const { return (*tape_)[k_]; }
        Iterator& operator++() {
            ++k_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return k_ == other.k_; }

    private:
        const Tape* tape_;
        std::size_t k_;
    };
    Iterator begin() const { return Iterator(*this, 0); }
    Iterator end() const { return Iterator(*this, size()); }

    // The rows ever appended, and how often a tape with rows was cleared:
    // what a save needs to tell the rows it added from the rows it loaded.
    std::uint64_t Appended() const { return appended_; }
    std::uint64_t Clears() const { return clears_; }

private:
    // Once full, a ring: each new row takes the place of the oldest, at
    // first_, so that a line costs the same on a full tape.
    std::vector<TapeRow> rows_;
    std::size_t first_ = 0;
    std::uint64_t appended_ = 0;
    std::uint64_t clears_ = 0;
};

// The tape export's text: the rows right-aligned to column 45, two empty
// lines, a rule of 45 dashes, then each register whose value text is not
// "0" as its name (R0 ... RF) and its value text right-aligned, as the
// register list shows it at the word size. Lines end in "\n".
std::string TapeExportText(const Tape& tape, const std::array<CalcValue, kRegisterCount>& registers,
                           WordBits word = WordBits::k128);
