// The bits panel: a companion window of the calculator's main window that
// shows the displayed value in every text form at once and as a grid of its
// bits, where a click flips a bit.
//
// The panel only shows what it is given and reports what the user asks for;
// it knows nothing of the calculator machine. Its owner builds a
// BitsPanelContent from the shown value after every change and hands it to
// SetContent, and answers BitToggled by flipping the bit in the machine and
// handing over the new content. SetContent is meant to run after every key:
// it reuses its widgets and repaints only what changed.
#pragma once

#include <QAction>
#include <QMargins>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class CbitGrid;
class CbitsSheet;
class CwordTools;
class QToolButton;

struct BitsPanelLine {
    QString id;        // names the line's widget "line_<id>" (e.g. "line_hex")
    QString name;      // caption at the left; also the accessible name
    QString text;      // shown in full, never elided
    QString copyText;  // what Copy puts on the clipboard (the text without group blanks)
    int dimmed = 0;    // this many leading characters of text are drawn dimmed

    bool operator==(const BitsPanelLine&) const = default;
};

struct BitsPanelContent {
    std::vector<BitsPanelLine> lines;     // top to bottom
    int bitCount = 128;                   // 8 ... 128 (an integer word), 80 (float grid) or 0 (no grid)
    std::array<std::uint64_t, 2> bits{};  // bit n is (bits[n / 64] >> (n % 64)) & 1
    bool toggleable = true;               // false: the bits are shown, clicks do nothing
    int wordBits = 128;                   // the word size the word tools show chosen
    bool integerTools = true;             // SAR and BSWAP apply (not in Float)
};

// One line of the panel: caption, the value in a dark box, and a copy
// button. The line's context menu holds the same Copy action.
//
// The line carries what the user and a screen reader meet: its names, the
// copy button and the menu. Its caption and value are painted by the
// panel's sheet of lines, which lies over all lines, so that a new value
// costs one repaint for the whole panel instead of one per line.
class CbitsLine : public QWidget {
    Q_OBJECT

public:
    explicit CbitsLine(QWidget* parent = nullptr);

    void Set(const BitsPanelLine& line);
    const BitsPanelLine& Line() const { return line_; }
    QToolButton* CopyButton() const { return copyButton_; }
    QAction* CopyAction() const { return copyAction_; }
    // Puts the copy text on the clipboard.
    void Copy() const;

    static constexpr int kHeight = 20;

private:
    BitsPanelLine line_;
    QToolButton* copyButton_ = nullptr;
    QAction* copyAction_ = nullptr;
};

class CbitsPanel : public QWidget {
    Q_OBJECT

public:
    // owner is the main window (may be null). The panel is a tool window of
    // it: it opens against it and follows its moves until the user drags it
    // elsewhere, and it goes away with it. The constructor builds only the window itself; lines and the grid
    // come with the first content.
    explicit CbitsPanel(QWidget* owner);

    void SetContent(const BitsPanelContent& content);

    // Puts the panel against the owner, where it then follows the owner's
    // moves: directly below it, or directly above when the screen has no
    // room below; with room on neither side, on the side with more room,
    // running off the screen rather than over the owner. Left edges aligned,
    // unless the user docked the panel further along.
    void PlaceBesideOwner();
    // Puts the panel's frame at topLeft, a place the user chose, where it
    // stays while the owner moves. Before the panel is shown: the place it
    // opens at. A place off every screen or over the owner gives way to the
    // place beside the owner.
    void PlaceAt(const QPoint& topLeft);
    // Whether the panel sits against the owner and follows it. A panel the
    // user drags away stops following; dragged back against the owner, it
    // follows again.
    bool FollowsOwner() const { return docked_; }
    // The place of a panel that does not follow the owner: the top left of
    // its frame on the screen.
    std::optional<QPoint> UserPlace() const;

    CbitGrid* Grid() const { return grid_; }
    // The row below the grid: the word size, SAR and BSWAP.
    CwordTools* WordTools() const { return tools_; }
    int LineCount() const { return shownLines_; }
    CbitsLine* Line(int index) const;

    static constexpr int kWidth = 480;
    // Escape and Ctrl+B, which close the panel.
    static bool ClosingKey(int key, Qt::KeyboardModifiers mods);

signals:
    // The user asked to flip this bit of the shown value.
    void BitToggled(int bit);
    // The user chose a word size (8 ... 128) or an operation of the word
    // tools ("SAR", "BSWAP").
    void WordSizeChosen(int bits);
    void OperationAsked(const QString& caption);
    // Escape, Ctrl+B or the close button hid the panel. The owner stays.
    void Closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void LayOut();
    // The owner's frame; until the window manager has reported it, its
    // client area with the frame the panel has (or none).
    QRect OwnerFrame() const;
    // The panel's frame around its client area, or the owner's until the
    // panel's is known.
    QMargins Frame() const;
    // Where the frame of a docked panel goes.
    QRect DockedFrame() const;
    void MoveFrameTo(const QPoint& topLeft);
    bool AgainstOwner(const QRect& frame) const;
    // A place the panel may open at: on a screen and clear of the owner.
    bool Usable(const QPoint& topLeft) const;

    QWidget* owner_;
    CbitGrid* grid_ = nullptr;
    CbitsSheet* sheet_ = nullptr;
    CwordTools* tools_ = nullptr;
    std::vector<CbitsLine*> lines_;  // grows, never shrinks; extras hidden
    int shownLines_ = 0;
    int gridBits_ = -1;

    bool docked_ = true;
    int dockOffset_ = 0;  // a docked panel's left edge relative to the owner's
    QPoint place_;        // the frame's top left of a panel that does not follow
    // Where the client area was last sent: a move the window system reports
    // elsewhere is the user's.
    std::optional<QPoint> sentTo_;
};
