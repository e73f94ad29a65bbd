// CpanelGlue: the main window's programmer's tools, a class of their own
// beside the window: the bits panel, the display's context menu with its
// copies in the forms code writes, the word size with SAR and the byte swap
// (in the panel, the menu and on keys), and Always on top. The window owns
// one, hands it every key it may want and tells it after every refresh; it
// asks the window for the rest through its signals.
//
// None of this changes how the calculator itself behaves: the panel only
// shows the value the display shows, and a flipped bit goes into the entry
// exactly as a typed number would (CcalcMach::ToggleBit).
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "calcmach/code_number.h"

class CbitsPanel;
class CcalcMach;
class QAction;
class QKeyEvent;
class QMenu;
class QWidget;
struct WindowState;

class CpanelGlue : public QObject {
    Q_OBJECT

public:
    // window: the main window, which the panel stands beside and which
    // Always on top keeps up; display: its display, whose context menu this
    // is. The glue is a child of the window.
    CpanelGlue(QWidget& window, CcalcMach& mach, QWidget* display);
    ~CpanelGlue() override;

    // After every refresh of the window: the panel shows the new value.
    void Refresh();
    // Ctrl+B anywhere in the window; Ctrl+1 to Ctrl+5 (the word sizes 8,
    // 16, 32, 64 and 128 bits), Ctrl+R (SAR) and Ctrl+E (BSWAP) anywhere
    // too; the Menu key and Shift+F10 on the display (onDisplay). True when
    // the key was used.
    bool Key(int key, Qt::KeyboardModifiers mods, bool onDisplay);

    // The word size, as the panel, the menu and the keys choose it, and the
    // operations beside it ("SAR", "BSWAP", by their captions); then the
    // window is told (MachineChanged).
    void SetWordSize(WordBits word);
    void RunWordOperation(const QString& caption);

    // Shows or hides the bits panel (Ctrl+B, the display's menu). The
    // panel is made the first time it is shown.
    void SetBitsPanelShown(bool shown);
    bool BitsPanelShown() const { return bitsOpen_; }
    CbitsPanel* BitsPanel() const { return bitsPanel_; }  // null until first shown
    void SetAlwaysOnTop(bool on);
    bool AlwaysOnTop() const { return onTop_; }

    // The display's context menu, made on first use.
    QMenu* DisplayMenu();
    void ShowDisplayMenu(const QPoint& globalPos);
    // The value the display shows written as code writes it (CodeLiteral);
    // empty where the form does not apply (a float, the error value).
    QString CopyText(CodeForm form) const;

    // The panel and Always on top as the state file keeps them.
    WindowState SavedWindowState() const;
    void RestoreWindowState(const WindowState& window);

signals:
    // A bit was flipped into the entry: the window shows the new value.
    void ValueEdited();
    // The word size changed, or SAR or the byte swap ran: the window shows
    // the new value and the registers (shown as they would be recalled), as
    // after a keypad button.
    void MachineChanged();
    // A key the panel leaves unused, for the window to type.
    void KeyTyped(QKeyEvent* event);
    // The menu's Copy and Paste, which are the window's own.
    void CopyAsked();
    void PasteAsked();

protected:
    // The window shown and exposed: the panel that was open comes back.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Gives the panel the content for the shown value, unless it has it.
    void ShowBitsValue();
    void MakeBitsPanel();
    // An action of the display's menu: fn, then the focus back on the
    // display. keys: the window's shortcut, shown beside the text.
    QAction* AddMenuAction(const char* name, const QString& text, std::function<void()> fn,
                           const QKeySequence& keys = QKeySequence(), QMenu* menu = nullptr);
    void AddWordActions();
    void BringBitsPanelBack();

    QWidget& window_;
    CcalcMach& mach_;
    QWidget* display_;
    CbitsPanel* bitsPanel_ = nullptr;
    QMenu* displayMenu_ = nullptr;
    bool bitsOpen_ = false;  // what the user asked for; the panel hides with the window
    bool onTop_ = false;
    bool bitsAwaitWindow_ = false;     // the panel comes back once the window is exposed
    std::optional<QPoint> bitsPlace_;  // from the state file, until the panel first shows
    // What the panel was last given (defined in the .cpp).
    struct BitsShown;
    std::unique_ptr<BitsShown> bitsShown_;
};
