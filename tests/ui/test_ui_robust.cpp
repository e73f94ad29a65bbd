// A long random session against the real window: typed characters of every
// kind, key presses with modifiers, clicks on every control, pastes, help,
// about and exports. Every step must leave the window open and consistent
// with its machine; faults of the machine may only reach the error dialog;
// and what a window saves when it goes must come back in the next one.
//
// The session is reproducible: the seed is printed, QZ_ROBUST_SEED replays
// another one and QZ_ROBUST_STEPS shortens the run.
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPointer>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "uitest.h"

using namespace uitest;

namespace {

constexpr std::uint64_t kDefaultSeed = 0x2f210c;
constexpr int kDefaultSteps = 100000;
// The window is closed and a new one opened on its state file this many
// times in a session, the last time at its end.
constexpr int kRestarts = 5;

std::uint64_t Seed() {
    bool ok = false;
    const qulonglong v = qEnvironmentVariable("QZ_ROBUST_SEED").toULongLong(&ok, 0);
    return ok ? v : kDefaultSeed;
}

int StepCount() {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue("QZ_ROBUST_STEPS", &ok);
    return ok && v > 0 ? v : kDefaultSteps;
}

// What the display takes; the session leans on these so that calculations
// go deep instead of being ignored.
constexpr char kAccepted[] = "0123456789ABCDEFabcdef%&()*+,-./:=^|RSrsx\b\r";

const char* const kKeypad[] = {
    "bLBits", "bSHL",  "bSHR",  "bROL",   "bROR",    "bAnd", "bOr",   "bXor", "bNot",
    "bRBits", "bSgn",  "bAbs",  "bNeg",   "bRound",  "bPow", "bSqrt", "bSin", "bCos",
    "bPi",    "bOPar", "bCPar", "bStore", "bRecall", "bClr", "bClrA", "bPrt", "bTape",
};
constexpr int kPrtIndex = 25;
// The keypad buttons that call the machine and refresh the whole display.
const char* const kRefreshing[] = {
    "bLBits", "bSHL", "bSHR",   "bROL", "bROR",  "bAnd", "bOr",  "bXor", "bNot",  "bRBits", "bSgn",
    "bAbs",   "bNeg", "bRound", "bPow", "bSqrt", "bSin", "bCos", "bPi",  "bOPar", "bCPar",  "bClrA",
};
const char* const kFloatOnly[] = {"bSqrt", "bSin", "bCos", "bPi"};
const char* const kIntegerOnly[] = {"bAnd",   "bOr",  "bXor", "bNot", "bLBits",
                                    "bRBits", "bSHL", "bSHR", "bROL", "bROR"};

struct ModeRadio {
    const char* name;
    ValueMode mode;
};
constexpr ModeRadio kModes[] = {
    {"modeIPv6", vmIPv6}, {"modeIPv4", vmIPv4}, {"ModeHex", vmHex},   {"ModeDec", vmDec},
    {"ModeOct", vmOct},   {"ModeBin", vmBin},   {"ModeFlt", vmFloat},
};

// Faults the machine raises on purpose; the session provokes them often.
const QStringList kMachineFaults = {
    QStringLiteral("Word128: divide by zero"),
    QStringLiteral("Invalid floating point operation"),
    QStringLiteral("Division by zero"),
    QStringLiteral("Floating point overflow"),
};
const QString kNoViewer = QStringLiteral("Failed to find the help viewer.");
const QString kNoExportFile = QStringLiteral("Cannot create \"");

QString StateFile() { return AppDataDir() + QStringLiteral("/qz.state"); }

// The keys the session leaves out because they end it: the window's closing
// shortcuts. The keypad flag only says where a key sits, so it does not
// make a closing key harmless.
bool ClosesWindow(int key, Qt::KeyboardModifiers mods) {
    mods &= ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    if (key == Qt::Key_Escape || key == Qt::Key_Q)
        return mods == Qt::NoModifier || (key == Qt::Key_Q && mods == Qt::ControlModifier);
    return key == Qt::Key_W && mods == Qt::ControlModifier;
}

struct Stroke {
    int key = Qt::Key_unknown;
    Qt::KeyboardModifiers mods;
    QString text;
};

// The key press a keyboard would send for a character of code 0..255.
Stroke ForCode(unsigned code, bool keypad) {
    Stroke s;
    s.text = QString(QChar(static_cast<char16_t>(code)));
    if (code >= 'a' && code <= 'z') {
        s.key = Qt::Key_A + static_cast<int>(code - 'a');
    } else if (code >= 'A' && code <= 'Z') {
        s.key = static_cast<int>(code);
        s.mods = Qt::ShiftModifier;
    } else if (code >= 0x20 && code < 0x7f) {
        // Qt numbers the printable ASCII keys by their characters.
        s.key = static_cast<int>(code);
        if (keypad && std::strchr("0123456789+-*/.", static_cast<int>(code))) s.mods = Qt::KeypadModifier;
    } else if (code == 8) {
        s.key = Qt::Key_Backspace;
    } else if (code == 9) {
        s.key = Qt::Key_Tab;
    } else if (code == 13) {
        s.key = keypad ? Qt::Key_Enter : Qt::Key_Return;
        if (keypad) s.mods = Qt::KeypadModifier;
    } else if (code == 27) {
        s.key = Qt::Key_Escape;
    } else if (code == 127) {
        s.key = Qt::Key_Delete;
    } else if (code == 0) {
        s.key = Qt::Key_At;
        s.mods = Qt::ControlModifier;
    } else if (code <= 26) {
        // Ctrl with a letter types that letter's control code.
        s.key = Qt::Key_A + static_cast<int>(code) - 1;
        s.mods = Qt::ControlModifier;
    } else if (code >= 0xa0) {
        // Qt names Latin-1 letters by their capital form.
        s.key = QChar(static_cast<char16_t>(code)).toUpper().unicode();
    }
    return s;
}

QString Describe(const Stroke& s) {
    QString text;
    for (const QChar c : s.text)
        text += c.unicode() >= 0x21 && c.unicode() < 0x7f
                    ? QString(c)
                    : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return QStringLiteral("key 0x%1 mods 0x%2 text \"%3\"")
        .arg(s.key, 0, 16)
        .arg(s.mods.toInt(), 0, 16)
        .arg(text);
}

// Sends one key press and its release the way the window system does:
// shortcut override first, then to the focused widget, from where an
// unused key travels up to the window.
void SendStroke(QWidget* target, const Stroke& s) {
    QPointer<QWidget> alive(target);
    QKeyEvent press(QEvent::KeyPress, s.key, s.mods, s.text);
    QSpontaneKeyEvent::setSpontaneous(&press);
    if (!qt_sendShortcutOverrideEvent(target, press.timestamp(), s.key, s.mods, s.text))
        QApplication::sendEvent(target, &press);
    if (!alive) return;
    QKeyEvent release(QEvent::KeyRelease, s.key, s.mods, s.text);
    QSpontaneKeyEvent::setSpontaneous(&release);
    QApplication::sendEvent(target, &release);
}

QString Latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// The state file's reader trims every byte 0..32 off a line's end.
std::string TrimmedEnd(std::string s) {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.pop_back();
    return s;
}

bool HasRegisterText(const CalcValue& v) { return v.mode >= vmDec && v.mode <= vmFloat; }

// Qt Test's mouse clicks warn when the widget under them ignores the click
// (a disabled button); that is the point of such a click, not a fault.
// Every other warning is kept and fails the session.
QtMessageHandler gPreviousHandler = nullptr;
QStringList& Warnings() {
    static QStringList warnings;
    return warnings;
}
void RecordWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("not accepted by receiving widget"))) return;
    // What the offscreen platform cannot do for the bits panel and the
    // display's menu (raise a window, grab the keyboard for a popup).
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (type != QtDebugMsg && type != QtInfoMsg) Warnings().append(message);
    if (gPreviousHandler) gPreviousHandler(type, context, message);
}

QStringList& SaveFailures() {
    static QStringList failures;
    return failures;
}

// What one window holds that the state file keeps.
struct Kept {
    ValueMode mode = vmFloat;
    QStringList registers;
    QStringList tape;
    QStringList tapeValues;
};

// What the next window must show, given this one: a value without a
// register text form (the error value) cannot be written, so a register
// holding one starts from zero again and a tape row holding one is left
// out; the reader trims the end of every line.
Kept Expected(Ccalc& w) {
    Kept k;
    k.mode = w.Mach().Mode();
    for (int n = 0; n < kRegisterCount; ++n) {
        const CalcValue& v = w.Mach().Register(n);
        k.registers << Latin1(ValueText(HasRegisterText(v) ? v : kZeroValue));
    }
    for (const TapeRow& row : w.TapeRows()) {
        // A row holding the error value (whatever bits an operation left
        // under it) comes back with it; other values without a register
        // text form do not.
        if (!HasRegisterText(row.value) && row.value.mode != vmERR) continue;
        k.tape << Latin1(TrimmedEnd(row.text));
        k.tapeValues << Latin1(ValueText(row.value));
    }
    return k;
}

Kept Shown(Ccalc& w) {
    Kept k;
    k.mode = w.Mach().Mode();
    auto* regs = w.findChild<QTableWidget*>(QStringLiteral("registers"));
    for (int n = 0; n < kRegisterCount; ++n) k.registers << regs->item(n, 1)->text();
    auto* tape = w.findChild<QTableWidget*>(QStringLiteral("tape"));
    for (int row = 0; row < tape->rowCount(); ++row) k.tape << tape->item(row, 0)->text();
    for (const TapeRow& row : w.TapeRows()) k.tapeValues << Latin1(ValueText(row.value));
    return k;
}

QString FirstDifference(const char* what, const QStringList& got, const QStringList& want) {
    for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i) {
        const QString g = i < got.size() ? got[i] : QStringLiteral("<none>");
        const QString e = i < want.size() ? want[i] : QStringLiteral("<none>");
        if (g != e)
            return QStringLiteral("%1 %2 is \"%3\", before the restart \"%4\"")
                .arg(QLatin1String(what))
                .arg(i)
                .arg(g, e);
    }
    return {};
}

class Session {
public:
    Session(std::uint64_t seed, const QString& scratch) : rng_(seed), scratch_(scratch) {}

    // Drives w from now on; false when a control is missing.
    bool Bind(Ccalc& w) {
        w_ = &w;
        entry_ = Entry(w);
        parenCt_ = w.findChild<QLabel*>(QStringLiteral("ParenCt"));
        registers_ = w.findChild<QTableWidget*>(QStringLiteral("registers"));
        tape_ = w.findChild<QTableWidget*>(QStringLiteral("tape"));
        keypad_.clear();
        for (const char* name : kKeypad) keypad_.push_back(Button(w, name));
        help_ = Button(w, "bHelp");
        about_ = Button(w, "bAbout");
        radios_.clear();
        for (const ModeRadio& m : kModes)
            radios_.push_back(w.findChild<QRadioButton*>(QString::fromLatin1(m.name)));
        floatOnly_.clear();
        for (const char* name : kFloatOnly) floatOnly_.push_back(Button(w, name));
        integerOnly_.clear();
        for (const char* name : kIntegerOnly) integerOnly_.push_back(Button(w, name));
        w.SetExportFileChooser([this] { return ChooseFile(); });
        // A new window starts refreshed.
        stale_ = lagging_ = false;
        lastTapeRows_ = tape_ ? tape_->rowCount() : 0;
        lastTapeText_.clear();
        return entry_ && parenCt_ && registers_ && tape_ && help_ && about_ && !keypad_.contains(nullptr) &&
               !radios_.contains(nullptr) && !floatOnly_.contains(nullptr) && !integerOnly_.contains(nullptr);
    }

    // Runs one random action; returns how many steps it took (a burst of
    // keys counts each key).
    int Step(int budget) {
        faultsBefore_ = faults_;
        regsBefore_ = w_->Mach().Registers();
        storeMayRun_ = w_->RegPending() == Ccalc::raStore;
        const int roll = Pick(1000);
        int used = 1;
        if (roll < 380)
            TypeAccepted();
        else if (roll < 440)
            TypeCode();
        else if (roll < 470)
            TypeWide();
        else if (roll < 545)
            PressAnyKey();
        else if (roll < 560)
            used = Wander(budget);
        else if (roll < 580)
            used = Burst(budget);
        else if (roll < 760)
            ClickKeypad();
        else if (roll < 810)
            ClickMode();
        else if (roll < 860)
            ClickRegister();
        else if (roll < 905)
            ClickTape();
        else if (roll < 925)
            ClickListSpot();
        else if (roll < 960)
            Paste();
        else if (roll < 970)
            Copy();
        else if (roll < 985)
            Export();
        else if (roll < 995)
            Help();
        else if (roll < 997)
            About();
        else
            ClickDisplay();
        return used;
    }

    // Sorts the messages of the error dialog since the last step; an
    // unexpected one is returned as the problem.
    QString TakeErrors() {
        QString problem;
        for (const QString& e : Errors()) {
            if (kMachineFaults.contains(e))
                ++faults_;
            else if (e == kNoViewer)
                ++helpErrors_;
            else if (e.startsWith(kNoExportFile) && badExport_)
                ++exportErrors_;
            else
                problem = QStringLiteral("unexpected error dialog: ") + e;
        }
        Errors().clear();
        badExport_ = false;
        const bool faulted = faults_ > faultsBefore_;
        // A fault leaves its handler before the refresh: the display keeps
        // its old text until the next one.
        if (faulted)
            stale_ = true;
        else if (refreshed_)
            stale_ = false;
        // A store does not refresh the display, though the machine ends the
        // entry ("-0" stays shown, "0" is meant).
        if (!refreshed_ &&
            (storeMayRun_ || std::memcmp(&regsBefore_, &w_->Mach().Registers(), sizeof regsBefore_) != 0))
            lagging_ = true;
        else if (refreshed_ && !faulted)
            lagging_ = false;
        refreshed_ = false;
        Note(QStringLiteral("    shows \"%1\", machine \"%2\"%3%4")
                 .arg(entry_->text(), Latin1(w_->Mach().DisplayText()))
                 .arg(stale_ ? QStringLiteral(", after a fault") : QString())
                 .arg(lagging_ ? QStringLiteral(", after a store") : QString()));
        CountTape();
        return problem;
    }

    // What must hold after every step; empty when all is well. The full
    // check adds the register and tape lists row by row.
    QString Problem(bool full) {
        if (!w_->isVisible()) return QStringLiteral("the window closed");
        if (QApplication::activeModalWidget()) return QStringLiteral("a modal dialog stayed open");
        if (modeMiss_) return QStringLiteral("a click on a mode button did not switch the mode");
        if (aboutStuck_) return QStringLiteral("the about dialog did not close on Enter");
        const QString shown = entry_->text();
        if (shown.isEmpty() || shown.size() > 255)
            return QStringLiteral("display text of %1 characters: \"%2\"").arg(shown.size()).arg(shown);
        const CcalcMach& m = w_->Mach();
        if (tape_->rowCount() > static_cast<int>(kMaxTapeRows))
            return QStringLiteral("%1 tape rows").arg(tape_->rowCount());
        if (registers_->rowCount() != kRegisterCount)
            return QStringLiteral("%1 register rows").arg(registers_->rowCount());
        if (!pendingExport_.isEmpty()) {
            const QString problem = CheckExport();
            if (!problem.isEmpty()) return problem;
        }
        if (!stale_ && !lagging_ && shown != Latin1(m.DisplayText()))
            return QStringLiteral("display shows \"%1\", the machine \"%2\"")
                .arg(shown, Latin1(m.DisplayText()));
        if (!stale_) {
            const bool counter = !parenCt_->isHidden();
            if (counter != (m.ParenCount() != 0) ||
                (counter && parenCt_->text() != QStringLiteral("(%1").arg(m.ParenCount())))
                return QStringLiteral("parenthesis counter \"%1\" %2 at depth %3")
                    .arg(parenCt_->text(), counter ? QStringLiteral("shown") : QStringLiteral("hidden"))
                    .arg(m.ParenCount());
            const ValueMode mode = m.Mode();
            // Modes without a button leave the last one selected.
            if (mode <= vmFloat) {
                for (qsizetype i = 0; i < radios_.size(); ++i)
                    if (radios_[i]->isChecked() != (kModes[i].mode == mode))
                        return QStringLiteral("mode %1, yet %2 is %3")
                            .arg(mode)
                            .arg(radios_[i]->objectName(), radios_[i]->isChecked()
                                                               ? QStringLiteral("checked")
                                                               : QStringLiteral("unchecked"));
                for (const QPushButton* b : floatOnly_)
                    if (b->isEnabled() != (mode == vmFloat))
                        return QStringLiteral("%1 enabled wrongly in mode %2").arg(b->objectName()).arg(mode);
                for (const QPushButton* b : integerOnly_)
                    if (b->isEnabled() != (mode != vmFloat))
                        return QStringLiteral("%1 enabled wrongly in mode %2").arg(b->objectName()).arg(mode);
            }
        }
        if (!full) return {};
        for (int n = 0; n < kRegisterCount; ++n) {
            const QString want = Latin1(ValueText(m.Register(n)));
            const QTableWidgetItem* item = registers_->item(n, 1);
            if (!item || item->text() != want)
                return QStringLiteral("register row %1 shows \"%2\", the register holds \"%3\"")
                    .arg(n)
                    .arg(item ? item->text() : QStringLiteral("<no item>"), want);
        }
        for (int row = 0; row < tape_->rowCount(); ++row) {
            const QTableWidgetItem* item = tape_->item(row, 0);
            if (!item || item->text().size() > 255)
                return QStringLiteral("tape row %1 is \"%2\"")
                    .arg(row)
                    .arg(item ? item->text() : QStringLiteral("<no item>"));
        }
        return {};
    }

    QString Summary() const {
        return QStringLiteral(
                   "machine faults %1, help errors %2, exports %3 (%4 failed, %5 cancelled), "
                   "about dialogs %6, tape lines %7, mode switches %8")
            .arg(faults_)
            .arg(helpErrors_)
            .arg(exports_)
            .arg(exportErrors_)
            .arg(cancels_)
            .arg(abouts_)
            .arg(tapeLines_)
            .arg(modeSwitches_);
    }

    QString Recent() const { return recent_.join(QStringLiteral("\n  ")); }
    void Note(const QString& what) {
        if (recent_.size() == 40) recent_.removeFirst();
        recent_.append(what);
    }

    int faults_ = 0;
    int helpErrors_ = 0;
    int exports_ = 0;
    int exportErrors_ = 0;
    int cancels_ = 0;
    int abouts_ = 0;
    int tapeLines_ = 0;
    int modeSwitches_ = 0;

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // Counts tape lines as they come: the list grows, or a full list's
    // newest row changes.
    void CountTape() {
        const int rows = tape_->rowCount();
        const QString newest = rows ? tape_->item(rows - 1, 0)->text() : QString();
        if (rows > lastTapeRows_ || (rows == static_cast<int>(kMaxTapeRows) && newest != lastTapeText_))
            ++tapeLines_;
        lastTapeRows_ = rows;
        lastTapeText_ = newest;
    }

    // Where a real key goes: the focused widget, or the window itself.
    QWidget* Target() {
        QWidget* f = QApplication::focusWidget();
        if (!f || f->window() != w_) f = w_->focusWidget();
        return f ? f : w_;
    }

    void Send(const Stroke& s) {
        if (ClosesWindow(s.key, s.mods)) return;
        QWidget* target = Target();
        if (s.key == Qt::Key_V && (s.mods & Qt::ControlModifier) &&
            QGuiApplication::clipboard()->text().contains(QLatin1Char('s'), Qt::CaseInsensitive))
            storeMayRun_ = true;
        // Space, Select and whatever else a style may take for a click.
        if (target == about_) ArmAboutCloser();
        Note(target->objectName() + QStringLiteral(" <- ") + Describe(s));
        SendStroke(target, s);
    }

    void TypeAccepted() {
        const char c = kAccepted[Pick(static_cast<int>(sizeof kAccepted) - 1)];
        Send(ForCode(static_cast<unsigned char>(c), Chance(20)));
    }

    void TypeCode() { Send(ForCode(static_cast<unsigned>(Pick(256)), Chance(10))); }

    // A character beyond Latin-1: its UTF-8 form has two to four bytes,
    // none of which may count as a key of its own.
    void TypeWide() {
        static const char32_t kSamples[] = {U'\u00B1', U'\u03C0',     U'\u221A',    U'\u0660',
                                            U'\uFF11', U'\uFF0B',     U'\u2212',    U'\u00D7',
                                            U'\u20AC', U'\U0001F600', U'\U00010030'};
        char32_t cp;
        switch (Pick(4)) {
            case 0: cp = kSamples[Pick(static_cast<int>(std::size(kSamples)))]; break;
            case 1: cp = static_cast<char32_t>(0x100 + Pick(0x700)); break;
            case 2: cp = static_cast<char32_t>(0x800 + Pick(0xD000)); break;  // below the surrogates
            default: cp = static_cast<char32_t>(0x10000 + Pick(0x100000)); break;
        }
        Stroke s;
        s.text = QString::fromUcs4(&cp, 1);
        s.key = Chance(50) ? Qt::Key_unknown : static_cast<int>(cp);
        // Input methods may commit several characters with one key.
        if (Chance(10)) s.text += QLatin1Char(kAccepted[Pick(16)]);
        Send(s);
    }

    void PressAnyKey() {
        static const int kKeys[] = {
            Qt::Key_F1,       Qt::Key_F1,      Qt::Key_F2,       Qt::Key_F5,        Qt::Key_F10,
            Qt::Key_F12,      Qt::Key_Tab,     Qt::Key_Backtab,  Qt::Key_Backspace, Qt::Key_Return,
            Qt::Key_Enter,    Qt::Key_Insert,  Qt::Key_Delete,   Qt::Key_Home,      Qt::Key_End,
            Qt::Key_Left,     Qt::Key_Right,   Qt::Key_Up,       Qt::Key_Down,      Qt::Key_PageUp,
            Qt::Key_PageDown, Qt::Key_Space,   Qt::Key_Shift,    Qt::Key_Control,   Qt::Key_Alt,
            Qt::Key_Meta,     Qt::Key_Menu,    Qt::Key_CapsLock, Qt::Key_Select,    Qt::Key_Escape,
            Qt::Key_C,        Qt::Key_X,       Qt::Key_V,        Qt::Key_P,         Qt::Key_S,
            Qt::Key_Q,        Qt::Key_W,       Qt::Key_A,        Qt::Key_R,         Qt::Key_0,
            Qt::Key_5,        Qt::Key_Plus,    Qt::Key_Slash,    Qt::Key_Period,    Qt::Key_ParenLeft,
            Qt::Key_Equal,    Qt::Key_unknown,
        };
        static const Qt::KeyboardModifier kMods[] = {Qt::ShiftModifier,  Qt::ControlModifier,
                                                     Qt::AltModifier,    Qt::MetaModifier,
                                                     Qt::KeypadModifier, Qt::GroupSwitchModifier};
        Stroke s;
        s.key = kKeys[Pick(static_cast<int>(std::size(kKeys)))];
        for (const Qt::KeyboardModifier m : kMods)
            if (Chance(25)) s.mods |= m;
        const bool ctrl = s.mods & Qt::ControlModifier;
        if (s.key >= Qt::Key_A && s.key <= Qt::Key_Z && ctrl)
            s.text = QChar(static_cast<char16_t>(s.key - Qt::Key_A + 1));
        else if (s.key >= Qt::Key_A && s.key <= Qt::Key_Z && !(s.mods & Qt::ShiftModifier))
            s.text = QChar(static_cast<char16_t>(s.key)).toLower();
        else if (s.key >= Qt::Key_Space && s.key <= Qt::Key_AsciiTilde && !ctrl)
            s.text = QChar(static_cast<char16_t>(s.key));
        else if (s.key == Qt::Key_Backspace)
            s.text = QStringLiteral("\b");
        else if (s.key == Qt::Key_Return || s.key == Qt::Key_Enter)
            s.text = QStringLiteral("\r");
        else if (s.key == Qt::Key_Tab)
            s.text = QStringLiteral("\t");
        Send(s);
    }

    // Tabs through the window and uses whatever control gets the keys: the
    // mode buttons answer arrows, push buttons Space, the lists their own
    // keys, and what they leave goes up to the window.
    int Wander(int budget) {
        int used = 0;
        const int tabs = 1 + Pick(14);
        for (int i = 0; i < tabs && used < budget; ++i, ++used) {
            if (Chance(70))
                Send({Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t")});
            else
                Send({Qt::Key_Backtab, Qt::ShiftModifier, QStringLiteral("\t")});
        }
        static const int kKeys[] = {Qt::Key_Left,     Qt::Key_Right,  Qt::Key_Up,  Qt::Key_Down,
                                    Qt::Key_Space,    Qt::Key_Home,   Qt::Key_End, Qt::Key_PageUp,
                                    Qt::Key_PageDown, Qt::Key_Return, Qt::Key_1,   Qt::Key_A};
        const int presses = 1 + Pick(4);
        for (int i = 0; i < presses && used < budget; ++i, ++used) {
            Stroke s;
            s.key = kKeys[Pick(static_cast<int>(std::size(kKeys)))];
            if (s.key == Qt::Key_Space)
                s.text = QStringLiteral(" ");
            else if (s.key == Qt::Key_Return)
                s.text = QStringLiteral("\r");
            else if (s.key == Qt::Key_1)
                s.text = QStringLiteral("1");
            else if (s.key == Qt::Key_A)
                s.text = QStringLiteral("a");
            Send(s);
        }
        return std::max(used, 1);
    }

    // One key many times: long entries, deep nesting, long tapes.
    int Burst(int budget) {
        static const char kRepeated[] = "((((()))9990.1+=*-";
        const char c = kRepeated[Pick(static_cast<int>(sizeof kRepeated) - 1)];
        const int n = std::min(budget, 20 + Pick(300));
        const Stroke s = ForCode(static_cast<unsigned char>(c), false);
        for (int i = 0; i < n; ++i) Send(s);
        return std::max(n, 1);
    }

    void Click(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers mods = {}) {
        const QString name =
            widget->objectName().isEmpty() ? widget->parentWidget()->objectName() : widget->objectName();
        Note(QStringLiteral("click %1 at %2,%3 button %4 mods 0x%5")
                 .arg(name)
                 .arg(at.x())
                 .arg(at.y())
                 .arg(int(button))
                 .arg(mods.toInt(), 0, 16));
        QTest::mouseClick(widget, button, mods, at);
    }

    void ClickKeypad() {
        QPushButton* b = keypad_[Pick(static_cast<int>(keypad_.size()))];
        const bool refreshes =
            std::any_of(std::begin(kRefreshing), std::end(kRefreshing),
                        [b](const char* n) { return b->objectName() == QLatin1String(n); });
        const bool enabled = b->isEnabled();
        Click(b, b->rect().center());
        refreshed_ = refreshes && enabled;
    }

    void ClickMode() {
        const int i = Pick(static_cast<int>(std::size(kModes)));
        QRadioButton* r = radios_[i];
        const ValueMode before = w_->Mach().Mode();
        // On the round indicator, which every style counts as the button.
        Click(r, QPoint(8, r->height() / 2));
        if (Errors().isEmpty()) {
            refreshed_ = true;
            if (w_->Mach().Mode() != kModes[i].mode)
                modeMiss_ = true;
            else if (before != kModes[i].mode)
                ++modeSwitches_;
        }
    }

    void ClickCell(QTableWidget* list, int row, int column) {
        QTableWidgetItem* item = list->item(row, column);
        if (!item) return;
        list->scrollToItem(item);
        const QRect cell = list->visualItemRect(item).intersected(list->viewport()->rect());
        if (cell.isEmpty()) return;
        Qt::MouseButton button = Qt::LeftButton;
        if (Chance(5)) button = Chance(50) ? Qt::RightButton : Qt::MiddleButton;
        Qt::KeyboardModifiers mods;
        if (Chance(5)) mods = Chance(50) ? Qt::ControlModifier : Qt::ShiftModifier;
        Click(list->viewport(), cell.center(), button, mods);
    }

    void ClickRegister() { ClickCell(registers_, Pick(kRegisterCount), Pick(2)); }

    void ClickTape() {
        if (tape_->rowCount() > 0) ClickCell(tape_, Pick(tape_->rowCount()), 0);
    }

    // Anywhere on either list, rows or the empty space below them.
    void ClickListSpot() {
        QTableWidget* list = Chance(50) ? registers_ : tape_;
        QWidget* port = list->viewport();
        Click(port, QPoint(Pick(port->width()), Pick(port->height())));
    }

    void ClickDisplay() {
        Click(entry_, QPoint(1 + Pick(entry_->width() - 2), 1 + Pick(entry_->height() - 2)));
    }

    void Paste() {
        static const char kPasteBytes[] = "0123456789abcdefABCDEF+-*/=()%&|^:.,rRsSx\r\n\b\t qQ#";
        QString text;
        const int n = Chance(5) ? 200 + Pick(200) : Pick(24);
        for (int i = 0; i < n; ++i) {
            if (Chance(5))
                text += QChar(static_cast<char16_t>(0xa0 + Pick(0x2000)));
            else
                text += QLatin1Char(kPasteBytes[Pick(static_cast<int>(sizeof kPasteBytes) - 1)]);
        }
        QGuiApplication::clipboard()->setText(text);
        Send({Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16")});
    }

    void Copy() {
        if (Chance(50))
            Send({Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03")});
        else
            Send({Qt::Key_X, Qt::ControlModifier, QStringLiteral("\x18")});
    }

    void Export() {
        switch (Pick(3)) {
            case 0: Send({Qt::Key_P, Qt::ControlModifier, QStringLiteral("\x10")}); break;
            case 1: Send({Qt::Key_S, Qt::ControlModifier, QStringLiteral("\x13")}); break;
            default: Click(keypad_[kPrtIndex], keypad_[kPrtIndex]->rect().center()); break;
        }
    }

    void Help() {
        if (Chance(50)) {
            Click(help_, help_->rect().center());
        } else {
            // F1 belongs to the display, so the display gets the focus first.
            ClickDisplay();
            Send({Qt::Key_F1, Chance(30) ? Qt::ShiftModifier : Qt::NoModifier, QString()});
        }
    }

    void About() {
        ArmAboutCloser();
        Click(about_, about_->rect().center());
    }

    // The about dialog runs its own event loop; it is answered from inside
    // it with its Enter key, as a user would.
    void ArmAboutCloser() {
        QTimer::singleShot(0, w_, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) return;
            ++abouts_;
            SendStroke(dialog->focusWidget() ? dialog->focusWidget() : dialog,
                       {Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r")});
            if (dialog->isVisible()) {
                aboutStuck_ = true;
                dialog->close();
            }
        });
    }

    // The export dialog's answer: cancel, a folder that does not exist, or
    // a new file whose contents are checked after the step.
    QString ChooseFile() {
        ++exports_;
        switch (Pick(4)) {
            case 0: ++cancels_; return {};
            case 1: badExport_ = true; return scratch_ + QStringLiteral("/no such folder/tape.txt");
            default:
                pendingExport_ = scratch_ + QStringLiteral("/tape %1.txt").arg(exports_);
                pendingRows_.clear();
                for (int row = 0; row < tape_->rowCount(); ++row) pendingRows_ << tape_->item(row, 0)->text();
                return pendingExport_;
        }
    }

    // The export just written: the tape rows in order, right-aligned to
    // column 45, then two empty lines and the rule.
    QString CheckExport() {
        const QString path = pendingExport_;
        pendingExport_.clear();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            return QStringLiteral("export file %1 missing").arg(path);
        const QList<QByteArray> lines = f.readAll().split('\n');
        f.close();
        QFile::remove(path);
        const qsizetype rows = pendingRows_.size();
        if (lines.size() < rows + 3)
            return QStringLiteral("export of %1 rows has %2 lines").arg(rows).arg(lines.size());
        for (qsizetype k = 0; k < rows; ++k) {
            const QByteArray text = pendingRows_[k].toLatin1();
            if (lines[k] != QByteArray(std::max<qsizetype>(0, 45 - text.size()), ' ') + text)
                return QStringLiteral("export line %1 is \"%2\" for \"%3\"")
                    .arg(k)
                    .arg(QString::fromLatin1(lines[k]), pendingRows_[k]);
        }
        if (!lines[rows].isEmpty() || !lines[rows + 1].isEmpty() || lines[rows + 2] != QByteArray(45, '-'))
            return QStringLiteral("export of %1 rows lacks its rule").arg(rows);
        return {};
    }

    Ccalc* w_ = nullptr;
    std::mt19937_64 rng_;
    QString scratch_;
    QLabel* entry_ = nullptr;
    QLabel* parenCt_ = nullptr;
    QTableWidget* registers_ = nullptr;
    QTableWidget* tape_ = nullptr;
    QList<QPushButton*> keypad_;
    QPushButton* help_ = nullptr;
    QPushButton* about_ = nullptr;
    QList<QRadioButton*> radios_;
    QList<QPushButton*> floatOnly_;
    QList<QPushButton*> integerOnly_;
    QStringList recent_;
    QString pendingExport_;
    QStringList pendingRows_;
    int lastTapeRows_ = 0;
    QString lastTapeText_;
    bool badExport_ = false;
    bool modeMiss_ = false;
    bool aboutStuck_ = false;
    // The display may show an older state: after a fault, after a store.
    bool stale_ = false;
    bool lagging_ = false;
    bool refreshed_ = false;
    bool storeMayRun_ = false;
    int faultsBefore_ = 0;
    std::array<CalcValue, kRegisterCount> regsBefore_{};
};

std::unique_ptr<Ccalc> OpenWindow() {
    auto w = std::make_unique<Ccalc>();
    w->show();
    QApplication::setActiveWindow(w.get());
    if (!QTest::qWaitForWindowActive(w.get())) return nullptr;
    return w;
}

// Closes w, which saves its state, and opens a new window on that state;
// empty when the new one shows what the old one kept.
QString Restart(std::unique_ptr<Ccalc>& w) {
    const Kept before = Expected(*w);
    w->close();
    w.reset();
    if (!SaveFailures().isEmpty()) return QStringLiteral("saving failed: ") + SaveFailures().join('\n');
    if (!QFile::exists(StateFile())) return QStringLiteral("no state file after closing");
    w = OpenWindow();
    if (!w) return QStringLiteral("the new window did not become active");
    const Kept after = Shown(*w);
    if (after.mode != before.mode)
        return QStringLiteral("mode %1, before the restart %2").arg(after.mode).arg(before.mode);
    if (before.mode <= vmFloat)
        for (const ModeRadio& m : kModes)
            if (w->findChild<QRadioButton*>(QString::fromLatin1(m.name))->isChecked() !=
                (m.mode == before.mode))
                return QStringLiteral("mode %1 restored, but %2 is not the one selected")
                    .arg(before.mode)
                    .arg(QLatin1String(m.name));
    QString problem = FirstDifference("register", after.registers, before.registers);
    if (problem.isEmpty()) problem = FirstDifference("tape row", after.tape, before.tape);
    if (problem.isEmpty())
        problem = FirstDifference("value of tape row", after.tapeValues, before.tapeValues);
    if (problem.isEmpty() && !Errors().isEmpty())
        problem = QStringLiteral("error dialog on start: ") + Errors().join('\n');
    return problem;
}

}  // namespace

class TestRobust : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(StateFile());
        Errors().clear();
        Warnings().clear();
        SaveFailures().clear();
        Ccalc::SetStateMessageHooks(nullptr, [](const QString& message) { SaveFailures().append(message); });
    }

    void randomSession() {
        const std::uint64_t seed = Seed();
        const int steps = StepCount();
        std::printf("seed %llu (0x%llx), %d steps\n", static_cast<unsigned long long>(seed),
                    static_cast<unsigned long long>(seed), steps);
        std::fflush(stdout);

        QTemporaryDir noViewer;
        QTemporaryDir scratch;
        QVERIFY(noViewer.isValid() && scratch.isValid());
        QVERIFY(qzApp());
        // Help looks for its viewer in an empty folder, so F1 reports the
        // missing viewer instead of starting a program.
        qzApp()->SetHelpViewerDir(noViewer.path());
        gPreviousHandler = qInstallMessageHandler(RecordWarnings);
        struct Restore {
            ~Restore() {
                qInstallMessageHandler(gPreviousHandler);
                qzApp()->SetHelpViewerDir(QString());
            }
        } restore;

        // A modal dialog that nothing answers would hang the session; one
        // left open this long is closed and reported.
        QString unanswered;
        QTimer watchdog;
        watchdog.setInterval(500);
        connect(&watchdog, &QTimer::timeout, [&unanswered] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                unanswered = dialog->metaObject()->className();
                dialog->close();
            }
        });
        watchdog.start();

        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<Ccalc> w = OpenWindow();
        QVERIFY(w);
        Session session(seed, scratch.path());
        QVERIFY(session.Bind(*w));

        int done = 0;
        int restarts = 0;
        int sinceEvents = 0;
        while (done < steps) {
            done += session.Step(steps - done);
            QString problem = session.TakeErrors();
            if (problem.isEmpty()) problem = session.Problem(done % 8 == 0);
            if (problem.isEmpty() && !unanswered.isEmpty())
                problem = QStringLiteral("a modal %1 stayed open").arg(unanswered);
            if (problem.isEmpty() && done >= static_cast<long long>(steps) * (restarts + 1) / kRestarts) {
                problem = session.Problem(true);
                if (problem.isEmpty()) problem = Restart(w);
                if (problem.isEmpty() && !session.Bind(*w))
                    problem = QStringLiteral("the new window lacks a control");
                session.Note(QStringLiteral("closed and opened again"));
                ++restarts;
            }
            if (!problem.isEmpty())
                QFAIL(qPrintable(QStringLiteral("seed %1, step %2: %3\nlast actions:\n  %4")
                                     .arg(seed)
                                     .arg(done)
                                     .arg(problem, session.Recent())));
            // Paints and deferred work now and then: a user's window gets
            // them between keys, but they cost more than a key.
            if (++sinceEvents == 64) {
                sinceEvents = 0;
                QCoreApplication::processEvents();
            }
        }
        std::printf("%s\n", qPrintable(session.Summary()));
        std::printf("%d steps and %d restarts in %lld ms\n", done, restarts,
                    static_cast<long long>(clock.elapsed()));
        QVERIFY2(Warnings().isEmpty(), qPrintable(Warnings().join('\n')));
        QVERIFY(restarts > 0);  // the last step always closes the window

        // A session that never reached the deep paths would prove little;
        // short replays (QZ_ROBUST_STEPS) may legitimately miss some of them.
        if (steps >= 10000) {
            QVERIFY(session.tapeLines_ > 0);
            QVERIFY(session.modeSwitches_ > 0);
            QVERIFY(session.faults_ > 0);
            QVERIFY(session.helpErrors_ > 0);
            QVERIFY(session.exports_ > session.cancels_ + session.exportErrors_);
            QVERIFY(session.abouts_ > 0);
            QVERIFY(session.tapeLines_ > static_cast<int>(kMaxTapeRows));
        }
    }
};

QZ_UI_TEST_MAIN(TestRobust)
#include "test_ui_robust.moc"
