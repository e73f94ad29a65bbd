// Ccalc: the calculator's main window. It owns the one calculator machine,
// shows its display, registers and tape, and turns clicks and keys into
// machine calls. The window is split over several files by concern:
// calc_build.cpp builds the widgets and refreshes them from the machine,
// calc_events.cpp handles buttons, keys, the clipboard and the lists,
// calc_export.cpp writes the tape export, calc_state.cpp the state file.
#pragma once

#include <QPoint>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calcmach/calcmach.h"
#include "state/tape.h"
#include "ui/mrvforms.h"

class CpanelGlue;
class CdisplayPanel;
struct KeypadKey;
class QAbstractButton;
class QButtonGroup;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QMouseEvent;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QTableWidget;
class StateSession;
class TqzSplitter;
struct WindowState;

class Ccalc : public CmrvForm {
    Q_OBJECT

public:
    // What the next register digit does (RegPending).
    enum RegAction : int { raNone = 0, raRecall = 1, raStore = 2 };

    explicit Ccalc(QWidget* parent = nullptr);
    // Writes the state file, then lets the machine go.
    ~Ccalc() override;

    // Refreshes the display, the parenthesis counter, the mode buttons and
    // the mode-dependent keypad buttons from the machine, and puts the
    // keyboard focus on the display.
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
    // F1, Ctrl+C, Ctrl+X, Ctrl+V on the display; true when the key was used.
    bool EntryKeyPress(int key, Qt::KeyboardModifiers mods);

    void ClearTape();
    void StoreRegister(int n);
    void RecallRegister(int n);
    void RegistersClick();
    void TapeClick();
    // Asks for a file and writes the tape and the non-zero registers to it.
    void ExportTape();

    CcalcMach& Mach() { return *mach_; }
    CpanelGlue& Panel() { return *panel_; }
    // What the tape list shows.
    const Tape& TapeRows() const { return tape_; }

    RegAction RegPending = raNone;
    QString SaveDir;  // first folder of the export dialog

    // Chooses the export file; an empty result cancels. Replaceable so the
    // export can run without a dialog.
    std::function<QString()> ChooseExportFile;
    // The save dialog: in SaveDir (or DefaultExportDir() when that has
    // gone), proposing "tape.txt". An empty result cancels.
    QString AskExportFile();
    // Tells the user that the state could not be saved; replaceable (tests).
    static std::function<void(const QString& message)> SaveFailedHook;
    // Tells the user, once at start, that the state file could not be read
    // in full; replaceable (tests).
    static std::function<void(const QString& message)> StateWarningHook;
    // Writes the state file, once: later calls (the destructor's) only
    // answer how that went. False when it could not be saved; the user has
    // been told then.
    bool SaveState();

protected:
    void AfterCreate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The widgets by area, in the order of creation, then the tab order.
    void BuildWidgets();
    void BuildLists();
    void BuildDisplay();
    void BuildModes();
    void BuildKeypad();
    void BuildImageButtons();
    void SetTabOrder();
    void AdjustColumns();
    void FocusDisplay();
    void OnDisplayKey(QKeyEvent* event);
    // A mouse event on a list or one of its parts; true when it is used up.
    bool ListMouse(QTableWidget* list, QObject* part, QMouseEvent* event);
    // What a keypad button does (calc_keypad.h).
    void KeypadClick(const KeypadKey& key);
    // The machine's tape receiver: adds the line with its value to the tape
    // and to the tape list.
    void TapeAppend(std::string_view text, const CalcValue& value);
    // Fills the tape list from the tape.
    void ShowTape();
    void LoadState();

    std::unique_ptr<CcalcMach> mach_;
    Tape tape_;
    std::unique_ptr<StateSession> session_;
    // A left press on a list that was not on a row: its moves and its
    // release are used up as well.
    bool listPressIgnored_ = false;

    QFrame* outputs_ = nullptr;
    QTableWidget* registers_ = nullptr;
    TqzSplitter* split_ = nullptr;
    QTableWidget* tapeList_ = nullptr;
    CdisplayPanel* entry_ = nullptr;
    QLabel* parenCt_ = nullptr;
    QGroupBox* modes_ = nullptr;
    QButtonGroup* modeGroup_ = nullptr;
    QPushButton* bPrt_ = nullptr;
    QPushButton* bHelp_ = nullptr;
    QPushButton* bAbout_ = nullptr;
    std::vector<QPushButton*> keypad_;  // in tab order
    // Buttons whose enabled state follows the mode.
    std::vector<QPushButton*> floatOnly_;
    std::vector<QPushButton*> integerOnly_;
    QPushButton* bNeg_ = nullptr;

    // The bits panel, the display's menu and Always on top.
    CpanelGlue* panel_ = nullptr;
};

// The desktop folder as the desktop environment names it, when it exists;
// else the home folder.
QString DefaultExportDir();
// name with ".txt" added when it has no extension and the dialog's text
// filter was chosen.
QString WithTextSuffix(const QString& name, const QString& filter);

// The export file's text: tape rows right-aligned to column 45, two empty
// lines, a rule of 45 dashes, then every register whose value text is not
// "0" as name and right-aligned value. Lines end in "\n".
std::string FormatTapeExport(const std::vector<std::string>& tapeRows,
                             const std::vector<std::pair<std::string, std::string>>& registers);
