// The window's side of the state file: loading it into the machine, the
// register list and the tape, and saving them when the window goes.
#include <QMessageBox>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <optional>

#include "state/statefile.h"
#include "ui/calc.h"

// Receives the file's contents from the loader, line by line.
class CcalcStateLoader : public StateSink {
public:
    explicit CcalcStateLoader(Ccalc& calc) : calc_(calc) {}
    ~CcalcStateLoader() override {
        // A read error can leave the loader in the middle of a tape section.
        if (inTape_) EndTape();
    }

    void LoadMode(ValueMode mode) override { calc_.mach_->LoadMode(mode); }
    void LoadRegister(int k, const CalcValue& value) override { calc_.mach_->LoadRegister(k, value); }
    void RegistersLoaded() override { calc_.UpdateRegisters(); }
    void LoadWindow(const WindowState& window) override { calc_.RestoreWindowState(window); }

    void BeginTape() override {
        if (inTape_) return;
        inTape_ = true;
        calc_.tape_->setUpdatesEnabled(false);
    }
    void EndTape() override {
        if (!inTape_) return;
        inTape_ = false;
        calc_.tape_->setUpdatesEnabled(true);
    }
    void LoadTapeRow(const CalcValue& value, std::string_view text) override {
        const bool outside = !inTape_;
        if (outside) BeginTape();
        calc_.TapeAppend(text, value);
        if (outside) EndTape();
    }

private:
    Ccalc& calc_;
    bool inTape_ = false;
};

struct Ccalc::StateSession {
    // What was loaded; its tape fields are filled in at the save.
    StateBase base;
    // The file could not be read in full: the save keeps it as "<path>.bad"
    // instead of overwriting the part never read.
    bool keepOld = false;
    // Rows at the start of the tape that came from the file.
    int loadedRows = 0;
    bool tapeCleared = false;
    QMetaObject::Connection tapeWatch;
    std::optional<bool> saved;
};

void Ccalc::StateSessionDeleter::operator()(StateSession* session) const {
    // The tape list outlives the session while the window is destroyed.
    QObject::disconnect(session->tapeWatch);
    delete session;
}

std::function<void(const QString&)> Ccalc::StateWarningHook;

void Ccalc::LoadState() {
    stateSession_.reset(new StateSession);
    StateSession& session = *stateSession_;
    if (StatePath.empty()) return;
    std::string warning;
    {
        CcalcStateLoader loader(*this);
        warning = LoadStateFile(StatePath, loader, &session.base.stamp);
    }
    // The base of a merge, should another calculator save before this one.
    session.base.regs = mach_->Registers();
    session.loadedRows = TapeRowCount();
    for (int k = 0; k < session.loadedRows; ++k)
        session.base.tape.push_back({TapeValues[static_cast<std::size_t>(k)], TapeText(k)});
    // Rows leave the tape only at its start, when it is full, or all at
    // once, when it is cleared.
    session.tapeWatch = connect(tape_->model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
                                [this](const QModelIndex&, int first, int last) {
                                    StateSession& s = *stateSession_;
                                    if (first == 0 && last + 1 >= TapeRowCount()) {
                                        s.tapeCleared = true;
                                        s.loadedRows = 0;
                                    } else if (first < s.loadedRows) {
                                        s.loadedRows -= std::min(last + 1, s.loadedRows) - first;
                                    }
                                });

    if (warning.empty()) return;
    session.keepOld = true;
    const QString text = QString::fromLocal8Bit(warning);
    if (StateWarningHook) {
        StateWarningHook(text);
        return;
    }
    // Shown over the window once it is up, not over a window still being
    // built.
    QTimer::singleShot(0, this,
                       [this, text] { QMessageBox::warning(this, QStringLiteral("Zentabula"), text); });
}

bool Ccalc::SaveState() {
    if (!stateSession_ || !mach_) return true;
    StateSession& session = *stateSession_;
    if (session.saved) return *session.saved;
    QString failure;
    if (StatePath.empty()) {
        failure = QStringLiteral(
            "Could not save the calculator state: none of APPDATA, XDG_CONFIG_HOME and HOME is set, so there "
            "is no folder to keep it in.");
    } else {
        try {
            StateSnapshot state;
            state.mode = mach_->Mode();
            state.window = SavedWindowState();
            state.regs = mach_->Registers();
            const int rows = std::min(TapeRowCount(), kTapeRows);
            state.tape.reserve(static_cast<std::size_t>(rows));
            for (int k = 0; k < rows; ++k)
                state.tape.push_back({TapeValues[static_cast<std::size_t>(k)], TapeText(k)});
            session.base.tapeAdded = static_cast<std::size_t>(std::max(0, rows - session.loadedRows));
            session.base.tapeCleared = session.tapeCleared;
            std::string error;
            if (!SaveStateFile(StatePath, state, error,
                               session.keepOld ? OldStateFile::kKeepAsBad : OldStateFile::kReplace,
                               &session.base))
                failure = QString::fromLocal8Bit(error);
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
    }
    session.saved = failure.isEmpty();
    if (failure.isEmpty()) return true;

    // The window is going and the next run would silently start from the
    // old state, so the user hears of it now.
    if (SaveFailedHook)
        SaveFailedHook(failure);
    else
        QMessageBox::warning(this, QStringLiteral("Zentabula"), failure);
    return false;
}
