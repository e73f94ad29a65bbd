// The window's side of the state file: what the user is told when it could
// not be read in full or saved. Reading and writing it is the state
// session's (state/session.h).
#include <QMessageBox>
#include <QTimer>

#include "state/session.h"
#include "ui/calc.h"
#include "ui/calc_panel_glue.h"

namespace {

std::function<void(const QString&)> readFailedHook;
std::function<void(const QString&)> saveFailedHook;

}  // namespace

void Ccalc::SetStateMessageHooks(std::function<void(const QString&)> readFailed,
                                 std::function<void(const QString&)> saveFailed) {
    readFailedHook = std::move(readFailed);
    saveFailedHook = std::move(saveFailed);
}

void Ccalc::LoadState() {
    std::string warning;
    panel_->RestoreWindowState(session_->Load(*mach_, tape_, warning));
    if (warning.empty()) return;
    const QString text = QString::fromLocal8Bit(warning);
    if (readFailedHook) {
        readFailedHook(text);
        return;
    }
    // Shown over the window once it is up, not over a window still being
    // built.
    QTimer::singleShot(0, this,
                       [this, text] { QMessageBox::warning(this, QStringLiteral("Zentabula"), text); });
}

bool Ccalc::SaveState() {
    if (!mach_) return true;
    const bool first = !session_->Saved();
    const std::string failure = session_->Save(*mach_, tape_, panel_->SavedWindowState());
    if (failure.empty() || !first) return failure.empty();

    // The window is going and the next run would silently start from the
    // old state, so the user hears of it now.
    const QString message = QString::fromLocal8Bit(failure);
    if (saveFailedHook)
        saveFailedHook(message);
    else
        QMessageBox::warning(this, QStringLiteral("Zentabula"), message);
    return false;
}
