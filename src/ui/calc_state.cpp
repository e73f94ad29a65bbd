// The window's side of the state file: loading it into the machine, the
// register list and the tape, and saving them when the window goes.
#include <QMessageBox>
#include <QTableWidget>
#include <QTimer>

#include "state/statefile.h"
#include "ui/calc.h"

// Receives the file's contents from the loader, line by line.
class CcalcStateLoader : public StateSink {
public:
    explicit CcalcStateLoader(Ccalc& calc) : calc_(calc) {}
    ~CcalcStateLoader() override {
        // A read error can leave the loader in the middle of a tape section;
        // the machine must not keep pointing at our scratch value.
        if (inTape_) EndTape();
    }

    void LoadMode(ValueMode mode) override { calc_.mach_->Y.mode = mode; }
    void LoadRegister(int k, const CalcValue& value) override {
        if (k >= 0 && k < kRegisterCount) calc_.mach_->Regs[static_cast<std::size_t>(k)] = value;
    }
    void RegistersLoaded() override { calc_.UpdateRegisters(); }
    void LoadWindow(const WindowState& window) override { calc_.RestoreWindowState(window); }

    void BeginTape() override {
        if (inTape_) return;
        inTape_ = true;
        savedShown_ = calc_.mach_->Shown;
        calc_.mach_->Shown = &scratch_;
        calc_.tape_->setUpdatesEnabled(false);
    }
    void EndTape() override {
        if (!inTape_) return;
        inTape_ = false;
        calc_.mach_->Shown = savedShown_;
        calc_.tape_->setUpdatesEnabled(true);
    }
    void LoadTapeRow(const CalcValue& value, std::string_view text) override {
        // TapeAppend keeps the shown value with the row, as it does for the
        // machine's own lines.
        scratch_ = value;
        const bool outside = !inTape_;
        if (outside) BeginTape();
        calc_.TapeAppend(text);
        if (outside) EndTape();
    }

private:
    Ccalc& calc_;
    CalcValue scratch_;
    const CalcValue* savedShown_ = nullptr;
    bool inTape_ = false;
};

void Ccalc::LoadState() {
    if (StatePath.empty()) return;
    std::string warning;
    {
        CcalcStateLoader loader(*this);
        warning = LoadStateFile(StatePath, loader);
    }
    if (warning.empty()) return;
    stateReadPartly_ = true;
    // Shown over the window once it is up, not over a window still being
    // built.
    QTimer::singleShot(0, this, [this, text = QString::fromLocal8Bit(warning)] {
        QMessageBox::warning(this, QStringLiteral("Zentabula"), text);
    });
}

void Ccalc::SaveState() {
    if (StatePath.empty() || !mach_) return;
    QString failure;
    try {
        StateSnapshot state;
        state.mode = mach_->Y.mode;
        state.window = SavedWindowState();
        state.regs = mach_->Regs;
        const int rows = TapeRowCount();
        state.tape.reserve(static_cast<std::size_t>(rows));
        for (int k = 0; k < rows && k < kTapeRows; ++k)
            state.tape.push_back({TapeValues[static_cast<std::size_t>(k)], TapeText(k)});
        std::string error;
        if (SaveStateFile(StatePath, state, error,
                          stateReadPartly_ ? OldStateFile::kKeepAsBad : OldStateFile::kReplace))
            stateReadPartly_ = false;
        else
            failure = QString::fromLocal8Bit(error);
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    if (failure.isEmpty()) return;

    // The window is going and the next run would silently start from the
    // old state, so the user hears of it now.
    if (SaveFailedHook)
        SaveFailedHook(failure);
    else
        QMessageBox::warning(nullptr, QStringLiteral("Zentabula"), failure);
}
