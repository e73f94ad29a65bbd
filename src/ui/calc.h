// Ccalc: the calculator's main window. It owns the one calculator machine
// and the tape, builds the window, routes its keys and clicks to the machine
// and shows the machine's display, registers and tape. Its files:
// calc.cpp          its life and its views (display, register list, tape list)
// calc_build.cpp    building the widgets (calc_widgets.h)
// calc_events.cpp   what the keys, buttons, clipboard and lists do
// calc_export.cpp   the tape export
// calc_state.cpp    the state file's messages (reading and writing it is
//                   the state session's, state/session.h)
// calc_panel_glue.* the bits panel, the display's menu and Always on top
// display.*         the display itself
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string_view>

#include "calcmach/calcmach.h"
#include "state/tape.h"
#include "ui/mrvforms.h"

class CpanelGlue;
class QKeyEvent;
class StateSession;
struct CalcWidgets;
struct KeypadKey;

class Ccalc : public CmrvForm {
    Q_OBJECT

public:
    // What the next register digit does (RegPending).
    enum RegAction : int { raNone = 0, raRecall = 1, raStore = 2 };

    explicit Ccalc(QWidget* parent = nullptr);
    // Writes the state file, then lets the machine go.
    ~Ccalc() override;

    // Refreshes the display, the parenthesis counter, the mode buttons, the
    // mode-dependent keypad buttons and the bits panel from the machine, and
    // puts the keyboard focus on the display.
    void UpdateDisplay();
    // Refreshes the value column of the register list.
    void UpdateRegisters();
    void CopyToClipboard();
    // Pastes the clipboard text by the paste rule (PlanPaste): one number is
    // entered as that number, the mode's keys are typed byte by byte as if
    // keyed in, and anything else shows the error value.
    void PasteFromClipboard();

    bool ShortcutKey(QWidget* origin, int key, Qt::KeyboardModifiers mods) override;
    // One typed character as UTF-8 (only single bytes are used).
    void EntryKeyChar(std::string_view ch);
    // F1, Ctrl+C, Ctrl+X, Ctrl+V and the bits panel's keys on the display;
    // true when the key was used.
    bool EntryKeyPress(int key, Qt::KeyboardModifiers mods);

    void StoreRegister(int n);
    void RecallRegister(int n);
    void ClearTape();
    // Asks for a file and writes the tape and the non-zero registers to it.
    void ExportTape();
    // Writes the state file, once: later calls (the destructor's) only
    // answer how that went. False when it could not be saved; the user has
    // been told then.
    bool SaveState();

    CcalcMach& Mach() { return *mach_; }
    // What the tape list shows.
    const Tape& TapeRows() const { return tape_; }
    RegAction RegPending() const { return regPending_; }
    CpanelGlue& Panel() { return *panel_; }

    // Chooses the export file instead of the save dialog; an empty result
    // cancels (tests export without a dialog).
    void SetExportFileChooser(std::function<QString()> choose) { chooseExportFile_ = std::move(choose); }
    // Tell the user, instead of a message box, that the state file could
    // not be read in full (once, at start) or could not be saved (tests).
    static void SetStateMessageHooks(std::function<void(const QString&)> readFailed,
                                     std::function<void(const QString&)> saveFailed);

protected:
    void AfterCreate() override;

private:
    void ConnectWidgets();
    // A key press on the display, or one the bits panel passed on (without
    // the window's shortcuts, which close the window: "q", Escape, Ctrl+Q).
    void TypeKey(QKeyEvent* event, bool windowShortcuts);
    // What a keypad button does (calc_keypad.h).
    void KeypadClick(const KeypadKey& key);
    void RegistersClick();
    void TapeClick();
    // The machine's tape receiver: adds the line with its value to the tape
    // and to the tape list.
    void TapeAppend(std::string_view text, const CalcValue& value);
    void FocusDisplay();
    void LoadState();

    std::unique_ptr<CcalcMach> mach_;
    Tape tape_;
    RegAction regPending_ = raNone;
    std::function<QString()> chooseExportFile_;
    std::unique_ptr<StateSession> session_;
    std::unique_ptr<CalcWidgets> ui_;
    CpanelGlue* panel_ = nullptr;  // a child of the window
};
