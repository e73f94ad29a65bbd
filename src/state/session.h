// One calculator's state file over its run: read once at start into the
// machine and the tape, written once at the end from them and the window's
// extras, merged into the file when another calculator saved it meanwhile.
// No Qt: the window only tells the user what the messages say.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "calcmach/calcmach.h"
#include "state/statefile.h"
#include "state/tape.h"

// What the file holds, taken from the machine and the tape, and put back
// into them: the word size, the entry's mode (as saved, its payload not
// converted), the registers and the tape's rows (added after any rows
// there), each register and row as it was stored.
StateSnapshot SnapshotOf(const CcalcMach& mach, const Tape& tape, const WindowState& window);
void Restore(const StateSnapshot& state, CcalcMach& mach, Tape& tape);

class StateSession {
public:
    // path: the state file; "" when no folder is known (nothing is loaded,
    // and the save says why it cannot be made).
    explicit StateSession(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // Reads the file into the machine and the tape and returns the window's
    // extras it held. warning receives the text for the user when the file
    // could not be read in full (LoadStateFile), else "".
    WindowState Load(CcalcMach& mach, Tape& tape, std::string& warning);

    // Writes the file, the first time only: "" when it was saved, else the
    // message for the user. Later calls write nothing and give the same
    // answer; Saved() tells whether the first one has run.
    std::string Save(const CcalcMach& mach, const Tape& tape, const WindowState& window);
    bool Saved() const { return outcome_.has_value(); }

private:
    std::string path_;
    // What was loaded: the base of a merge, should another calculator save
    // before this one.
    StateBase base_;
    // The file could not be read in full: the save keeps it as "<path>.bad"
    // instead of overwriting the part never read.
    bool keepOld_ = false;
    // The tape's counts right after loading.
    std::uint64_t appendedAtLoad_ = 0, clearsAtLoad_ = 0;
    std::optional<std::string> outcome_;
};
