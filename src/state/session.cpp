#include "session.h"

#include <algorithm>
#include <exception>

StateSnapshot SnapshotOf(const CcalcMach& mach, const Tape& tape, const WindowState& window) {
    StateSnapshot state;
    state.mode = mach.Mode();
    state.word = mach.WordSize();
    state.window = window;
    state.regs = mach.Registers();
    state.tape = tape;
    return state;
}

void Restore(const StateSnapshot& state, CcalcMach& mach, Tape& tape) {
    mach.SetWordSize(state.word);
    mach.LoadMode(state.mode);
    for (int k = 0; k < kRegisterCount; ++k) mach.LoadRegister(k, state.regs[static_cast<std::size_t>(k)]);
    for (const TapeRow& row : state.tape) tape.Append(row.value, row.text);
}

WindowState StateSession::Load(CcalcMach& mach, Tape& tape, std::string& warning) {
    warning.clear();
    // A file without a mode line leaves the machine's mode, and one without
    // registers its registers.
    StateSnapshot state = SnapshotOf(mach, Tape(), WindowState());
    if (!path_.empty()) {
        SnapshotSink sink(state);
        warning = LoadStateFile(path_, sink, &base_.stamp);
    }
    keepOld_ = !warning.empty();
    Restore(state, mach, tape);
    base_.regs = mach.Registers();
    base_.tape = tape.Rows();
    appendedAtLoad_ = tape.Appended();
    clearsAtLoad_ = tape.Clears();
    return state.window;
}

std::string StateSession::Save(const CcalcMach& mach, const Tape& tape, const WindowState& window) {
    if (outcome_) return *outcome_;
    std::string failure;
    if (path_.empty()) {
        failure =
            "Could not save the calculator state: none of APPDATA, XDG_CONFIG_HOME and HOME is set, so there "
            "is "
            "no folder to keep it in.";
    } else {
        try {
            // The rows at the end of the tape that this calculator wrote: all
            // of them once it was cleared, else those beyond the loaded ones
            // still there.
            StateBase base = base_;
            base.tapeCleared = tape.Clears() != clearsAtLoad_;
            base.tapeAdded = std::min<std::size_t>(tape.size(), tape.Appended() - appendedAtLoad_);
            // Leaves failure empty when the file was saved.
            SaveStateFile(path_, SnapshotOf(mach, tape, window), failure,
                          keepOld_ ? OldStateFile::kKeepAsBad : OldStateFile::kReplace, &base);
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    outcome_ = failure;
    return failure;
}
