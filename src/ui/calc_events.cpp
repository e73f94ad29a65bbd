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
#include "ui/about.h"
#include "ui/application.h"
#include "ui/calc.h"
#include "ui/calc_keypad.h"
#include "ui/calc_panel_glue.h"
#include "ui/display.h"

namespace {

bool IsAcceptedChar(char c) {
    if (c == '\b' || c == '\r') return true;
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) return true;
    switch (c) {
        case '%':
        case '&':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case '-':
        case '.':
        case '/':
        case ':':
        case '=':
        case 'R':
        case 'S':
        case '^':
        case 'r':
        case 's':
        case 'x':
        case '|': return true;
        default: return false;
    }
}

}  // namespace

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
    if (key.call)
        ((*mach_).*key.call)();
    else if (key.value)
        mach_->SetValue(*key.value);
    else
        mach_->OpSet(key.op);
    RegPending = raNone;
    UpdateDisplay();
    if (key.registers) UpdateRegisters();
}

void Ccalc::OnDisplayKey(QKeyEvent* event) {
    Guarded([this, event] {
        if (EntryKeyPress(event->key(), event->modifiers())) return;
        // Window shortcuts come before the character, so "q" and Escape
        // close the window instead of being typed.
        if (ShortcutKey(entry_, event->key(), event->modifiers())) return;
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
        bPrt_->click();
        return true;
    }
    return false;
}

void Ccalc::EntryKeyChar(std::string_view ch) {
    if (ch.size() != 1) return;
    char c = ch[0];
    if (!IsAcceptedChar(c)) return;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');

    if (RegPending != raNone) {
        const int reg = DigitValue(c);
        if (reg >= 0) {
            if (RegPending == raRecall)
                RecallRegister(reg);
            else
                StoreRegister(reg);
            RegPending = raNone;
            return;
        }
        RegPending = raNone;
    }

    bool accepted = false;
    switch (c) {
        case '\r': accepted = mach_->KeyChar('='); break;
        case 'R': RegPending = raRecall; return;
        case 'S': RegPending = raStore; return;
        case 'X': accepted = mach_->KeyChar('c'); break;
        default: accepted = mach_->KeyChar(c); break;
    }
    if (accepted) UpdateDisplay();
}

void Ccalc::CopyToClipboard() { QGuiApplication::clipboard()->setText(entry_->text()); }

void Ccalc::PasteFromClipboard() {
    const QByteArray bytes = QGuiApplication::clipboard()->text().toUtf8();
    const std::string typing = mach_->ShowsY() && mach_->EntryStarted() ? mach_->EntryText() : std::string();
    const PastePlan plan =
        PlanPaste(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), mach_->Mode(),
                  kWordBits, typing);
    // Like any other key, the paste cancels a pending store or recall.
    RegPending = raNone;
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
    const std::string text = ValueText(mach_->Register(n));
    registers_->item(n, 1)->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    FocusDisplay();
}

void Ccalc::RecallRegister(int n) {
    mach_->rcl(n);
    UpdateDisplay();
}

void Ccalc::RegistersClick() {
    const int row = registers_->currentRow();
    // Without a focused row there is no register to act on; asking the
    // machine for register -1 would only raise an error dialog.
    if (row < 0) return;
    if (RegPending == raStore)
        StoreRegister(row);
    else
        RecallRegister(row);
    RegPending = raNone;
    FocusDisplay();
}

bool Ccalc::ListMouse(QTableWidget* list, QObject* part, QMouseEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) FocusDisplay();
    // The frame and the scroll bars work as usual.
    if (part != list->viewport()) return false;

    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            // Only a left click on a row means something; any other click
            // would move the selection or start the list's own searching.
            const bool onRow =
                event->button() == Qt::LeftButton && list->indexAt(event->position().toPoint()).isValid();
            if (event->button() == Qt::LeftButton) listPressIgnored_ = !onRow;
            return !onRow;
        }
        case QEvent::MouseButtonRelease:
            if (event->button() != Qt::LeftButton) return true;
            if (listPressIgnored_) {
                listPressIgnored_ = false;
                return true;
            }
            return false;
        case QEvent::MouseMove: return listPressIgnored_ && (event->buttons() & Qt::LeftButton);
        default: return false;
    }
}

void Ccalc::TapeClick() {
    const int row = tapeList_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= tape_.size()) return;
    mach_->SetValue(tape_[static_cast<std::size_t>(row)].value);
    UpdateDisplay();
}

namespace {

// Shows tape row k in row k of the list.
void ShowTapeRow(QTableWidget* list, const Tape& tape, int k) {
    const std::string& text = tape[static_cast<std::size_t>(k)].text;
    auto* item = new QTableWidgetItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    list->setItem(k, 0, item);
}

}  // namespace

void Ccalc::TapeAppend(std::string_view text, const CalcValue& value) {
    const std::size_t before = tape_.size();
    tape_.Append(value, text);
    // A full tape dropped its oldest row.
    if (tape_.size() == before) tapeList_->removeRow(0);
    const int n = static_cast<int>(tape_.size()) - 1;
    tapeList_->setRowCount(n + 1);
    ShowTapeRow(tapeList_, tape_, n);
    tapeList_->setCurrentCell(n, 0);
}

void Ccalc::ShowTape() {
    tapeList_->setUpdatesEnabled(false);
    const int rows = static_cast<int>(tape_.size());
    tapeList_->setRowCount(rows);
    for (int k = 0; k < rows; ++k) ShowTapeRow(tapeList_, tape_, k);
    if (rows > 0) tapeList_->setCurrentCell(rows - 1, 0);
    tapeList_->setUpdatesEnabled(true);
}

void Ccalc::ClearTape() {
    tape_.Clear();
    tapeList_->setRowCount(0);
    FocusDisplay();
}
