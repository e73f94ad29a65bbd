// The grid of the bits panel: every bit of the shown value as one cell, all
// painted by one widget. It knows the shapes of the calculator's values
// (an integer word of 8, 16, 32, 64 or 128 bits; an 80-bit float, whose
// sign, exponent, integer bit and fraction it colours) but not the machine:
// it shows the bits it is given and reports which bit the user wants
// flipped.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

class CbitGrid : public QWidget {
    Q_OBJECT

public:
    // The shapes the grid takes. Integers: rows of 32, bit 0 at the right of
    // the bottom row, bit 127 at the top left of 4 rows; a word of 8 or 16
    // bits is one row with its cells at the right, where the low bits of
    // every word are. Floats (80 bits): the top row holds the sign and the
    // exponent (bits 79..64) from the left; the two rows below hold the
    // integer bit and the fraction (bits 63..0) exactly as an integer's low
    // 64 bits are drawn.
    static constexpr int kIntegerBits = 128;
    static constexpr int kFloatBits = 80;

    explicit CbitGrid(QWidget* parent = nullptr);

    // count is 8, 16, 32, 64 or 128 (an integer word), 80 (a float) or 0 (no
    // cells). bits: bit n is (bits[n / 64] >> (n % 64)) & 1; bits at or
    // above count are ignored. Repaints only when something changed.
    void SetBits(int count, const std::array<std::uint64_t, 2>& bits, bool toggleable);

    int BitCount() const { return count_; }
    bool Bit(int n) const;
    bool Toggleable() const { return toggleable_; }

    // The height the grid needs for a bit count, at the fixed width kWidth.
    static int HeightFor(int count);
    static constexpr int kWidth = 464;

    // The cell of bit n in the grid's own coordinates; empty when the grid
    // has no such bit.
    QRect CellRect(int n) const;
    // The bit whose cell holds pos, or -1.
    int BitAt(QPoint pos) const;

    // The keyboard's cell: arrows move it, Space flips it. -1 when there are
    // no cells.
    int FocusedBit() const { return focused_; }
    void SetFocusedBit(int n);

    // What a screen reader says for a cell: "bit 5, set" or "bit 5, clear".
    QString Reading(int n) const;

signals:
    // The user asked to flip bit n (only while toggling is on).
    void BitToggled(int n);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Cell {
        int row, col;
    };
    Cell CellOf(int n) const;
    int BitOfCell(int row, int col) const;  // -1 for a place without a cell
    int Rows() const;
    void MoveFocus(int dRow, int dCol);
    void Toggle(int n);
    void UpdateReading();
    // The whole grid as painted, less the focus mark.
    QImage PaintPicture(qreal dpr) const;
    void FillCell(int n, bool set);
    void DrawFocusMark(QPainter& p, qreal dpr);

    int count_ = 0;
    std::array<std::uint64_t, 2> bits_{};
    bool toggleable_ = false;
    int focused_ = -1;
    QImage picture_;
    QImage focusMark_;     // the mark around a cell at (3, 3), on nothing
    int readingBit_ = -2;  // what UpdateReading last read out
    bool readingSet_ = false;
};
