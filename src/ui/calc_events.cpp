// What the main window's controls do: keypad and mode buttons, typed keys,
// the clipboard, the register list and the tape list.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

#include "calcmach/code_number.h"
#include "calcmach/keys.h"
#include "ui/about.h"
#include "ui/application.h"
#include "ui/calc.h"
#include "ui/calc_keypad.h"
#include "ui/calc_panel_glue.h"
#include "ui/calc_widgets.h"
#include "ui/display.h"

void Ccalc::KeypadClick(const KeypadKey& key) {
    if (key.typed) {
        EntryKeyChar(key.typed);
        FocusDisplay();
        return;
    }
    if (key.window) {
        (this->*key.window)();
        return;
    }
    // Every other key acts on the machine.
    if (const MachineAction* action = ButtonAction(key.caption)) action->Run(*mach_);
    regPending_ = raNone;
    UpdateDisplay();
    if (key.registers) UpdateRegisters();
}

void Ccalc::TypeKey(QKeyEvent* event, bool windowShortcuts) {
    WithErrorDialog([this, event, windowShortcuts] {
        if (EntryKeyPress(event->key(), event->modifiers())) return;
        // Window shortcuts come before the character, so "q" and Escape
        // close the window instead of being typed.
        if (windowShortcuts && ShortcutKey(ui_->entry, event->key(), event->modifiers())) return;
        const QByteArray text = event->text().toUtf8();
        if (!text.isEmpty())
            EntryKeyChar(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    });
}

bool Ccalc::EntryKeyPress(int key, Qt::KeyboardModifiers mods) {
    if (key == Qt::Key_F1) {
        OpenHelp();
        FocusDisplay();
        return true;
    }
    if (panel_->Key(key, mods, true)) return true;
    mods = ShortcutModifiers(mods);
    if (mods != Qt::ControlModifier) return false;
    if (key == Qt::Key_C || key == Qt::Key_X) {
        CopyToClipboard();
        return true;
    }
    if (key == Qt::Key_V) {
        PasteFromClipboard();
        return true;
    }
    return false;
}

bool Ccalc::ShortcutKey(QWidget* origin, int key, Qt::KeyboardModifiers mods) {
    if (CmrvForm::ShortcutKey(origin, key, mods)) return true;
    if (panel_->Key(key, mods, false)) return true;
    mods = ShortcutModifiers(mods);
    if (key == Qt::Key_Q && mods == Qt::NoModifier) {
        close();
        return true;
    }
    if ((key == Qt::Key_P || key == Qt::Key_S) && mods == Qt::ControlModifier) {
        ui_->bPrt->click();
        return true;
    }
    return false;
}

void Ccalc::EntryKeyChar(std::string_view ch) {
    if (ch.size() != 1) return;
    const TypedKey k = TypedKeyOf(ch[0]);
    if (k.kind == TypedKey::kNone) return;

    if (regPending_ != raNone) {
        const int reg = DigitValue(k.key);
        if (reg >= 0) {
            if (regPending_ == raRecall)
                RecallRegister(reg);
            else
                StoreRegister(reg);
            regPending_ = raNone;
            return;
        }
        regPending_ = raNone;
    }

    switch (k.kind) {
        case TypedKey::kRecall: regPending_ = raRecall; return;
        case TypedKey::kStore: regPending_ = raStore; return;
        default: break;
    }
    if (mach_->KeyChar(k.key)) UpdateDisplay();
}

void Ccalc::CopyToClipboard() { QGuiApplication::clipboard()->setText(ui_->entry->text()); }

void Ccalc::PasteFromClipboard() {
    const QByteArray bytes = QGuiApplication::clipboard()->text().toUtf8();
    const std::string typing = mach_->ShowsY() && mach_->EntryStarted() ? mach_->EntryText() : std::string();
    const PastePlan plan =
        PlanPaste(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), mach_->Mode(),
                  mach_->WordSize(), typing);
    // Like any other key, the paste cancels a pending store or recall.
    regPending_ = raNone;
    if (plan.kind == PastePlan::kKeys) {
        for (const char b : bytes) EntryKeyChar(std::string_view(&b, 1));
        return;
    }
    if (plan.kind == PastePlan::kNumber)
        EnterReadNumber(*mach_, plan.value);
    else
        mach_->ShowError();  // and nothing the user had changes
    UpdateDisplay();
}

void Ccalc::StoreRegister(int n) {
    mach_->sto(n);
    UpdateRegisters();
    FocusDisplay();
}

void Ccalc::RecallRegister(int n) {
    mach_->rcl(n);
    UpdateDisplay();
}

void Ccalc::RegistersClick() {
    const int row = ui_->registers->currentRow();
    // Without a focused row there is no register to act on; asking the
    // machine for register -1 would only raise an error dialog.
    if (row < 0) return;
    if (regPending_ == raStore)
        StoreRegister(row);
    else
        RecallRegister(row);
    regPending_ = raNone;
    FocusDisplay();
}

void Ccalc::TapeClick() {
    const int row = ui_->tapeList->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= tape_.size()) return;
    mach_->SetValue(tape_[static_cast<std::size_t>(row)].value);
    UpdateDisplay();
}

void Ccalc::ClearTape() {
    tape_.Clear();
    ui_->tapeList->setRowCount(0);
    FocusDisplay();
}
