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
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class CbitGrid;
class CbitsSheet;
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
    int bitCount = 128;                   // 128 (integer grid), 80 (float grid) or 0 (no grid)
    std::array<std::uint64_t, 2> bits{};  // bit n is (bits[n / 64] >> (n % 64)) & 1
    bool toggleable = true;               // false: the bits are shown, clicks do nothing
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
    // it: it opens beside it and follows its moves, and it goes away with
    // it. The constructor builds only the window itself; lines and the grid
    // come with the first content.
    explicit CbitsPanel(QWidget* owner);

    void SetContent(const BitsPanelContent& content);

    // Directly below the owner, or directly above when the owner's screen has
    // no room below; left edges aligned. Runs on every show and owner move.
    void PlaceBesideOwner();

    CbitGrid* Grid() const { return grid_; }
    int LineCount() const { return shownLines_; }
    CbitsLine* Line(int index) const;

    static constexpr int kWidth = 480;

signals:
    // The user asked to flip this bit of the shown value.
    void BitToggled(int bit);
    // Escape, Ctrl+B or the close button hid the panel. The owner stays.
    void Closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LayOut();

    QWidget* owner_;
    CbitGrid* grid_ = nullptr;
    CbitsSheet* sheet_ = nullptr;
    std::vector<CbitsLine*> lines_;  // grows, never shrinks; extras hidden
    int shownLines_ = 0;
    int gridBits_ = -1;
};
