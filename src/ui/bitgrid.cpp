#include "ui/bitgrid.h"

#include <QAccessible>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <bit>

#include "ui/application.h"
#include "ui/calc_colours.h"
#include "ui/mrvforms.h"
#include "wide/word_size.h"

namespace {

// Pixel layout of one row: 32 cells of 12 by 16 with 1 pixel between cells,
// 5 between nibbles and 12 between bytes, which fills the 464 pixels of the
// grid exactly. Under the cells a 3-pixel band (the float's fields) and the
// bit numbers of each byte's first and last cell.
constexpr int kCols = 32;
constexpr int kCellW = 12;
constexpr int kCellH = 16;
constexpr int kRowPitch = 32;
constexpr int kBandTop = 17;
constexpr int kBandH = 3;
constexpr int kNumbersTop = 20;

constexpr int ColX(int col) { return col * (kCellW + 1) + (col / 4) * 4 + (col / 8) * 7; }
static_assert(ColX(kCols - 1) + kCellW == CbitGrid::kWidth, "the cells fill the grid's width");

// The window's colours: a clear cell as the display's background, a set one
// as its text, the bit numbers as the modes panel.
const QColor& kBackground = kWindowColour;
const QColor& kClearCell = kDisplayColour;
const QColor& kSetCell = kDisplayText;
const QColor& kNumbers = kModesColour;
const QColor kFocusMark(0xFF, 0xFF, 0xFF);

// The float's fields, high bit first.
struct Field {
    int high, low;
    const char* name;
    QColor colour;
};
const Field kFloatFields[] = {
    {79, 79, "sign", QColor(0xF0, 0x60, 0x50)},
    {78, 64, "exponent", QColor(0x50, 0xA8, 0xFF)},
    {63, 63, "integer", QColor(0x60, 0xD0, 0x60)},
    {62, 0, "fraction", QColor(0xE0, 0xA0, 0x40)},
};

QFont SmallFont(const QFont& base) {
    QFont f(base);
    f.setPointSizeF(7);
    return f;
}

}  // namespace

CbitGrid::CbitGrid(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("bitGrid"));
    setAccessibleName(QStringLiteral("Bits"));
    setFocusPolicy(Qt::StrongFocus);
    // Every pixel is painted from the cached background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(kWidth, HeightFor(0));
}

int CbitGrid::HeightFor(int count) {
    if (wide::WordBitsOf(count).has_value()) return (count + kCols - 1) / kCols * kRowPitch;
    if (count == kFloatBits) return 3 * kRowPitch;
    return 0;
}

int CbitGrid::Rows() const { return HeightFor(count_) / kRowPitch; }

bool CbitGrid::Bit(int n) const {
    if (n < 0 || n >= count_) return false;
    return (bits_[static_cast<std::size_t>(n / 64)] >> (n % 64)) & 1U;
}

CbitGrid::Cell CbitGrid::CellOf(int n) const {
    if (count_ == kFloatBits && n >= 64) return {0, 79 - n};
    return {Rows() - 1 - n / kCols, kCols - 1 - n % kCols};
}

int CbitGrid::BitOfCell(int row, int col) const {
    const int rows = Rows();
    if (row < 0 || row >= rows || col < 0 || col >= kCols) return -1;
    if (count_ == kFloatBits && row == 0) return col < 16 ? 79 - col : -1;
    const int n = (rows - 1 - row) * kCols + (kCols - 1 - col);
    return n < count_ ? n : -1;
}

QRect CbitGrid::CellRect(int n) const {
    if (n < 0 || n >= count_) return {};
    const Cell c = CellOf(n);
    return {ColX(c.col), c.row * kRowPitch, kCellW, kCellH};
}

int CbitGrid::BitAt(QPoint pos) const {
    if (count_ == 0 || pos.y() < 0) return -1;
    const int row = pos.y() / kRowPitch;
    if (pos.y() - row * kRowPitch >= kCellH) return -1;
    // Columns are few; a search is clearer than inverting ColX.
    for (int col = 0; col < kCols; ++col) {
        if (pos.x() >= ColX(col) && pos.x() < ColX(col) + kCellW) return BitOfCell(row, col);
    }
    return -1;
}

QString CbitGrid::Reading(int n) const {
    return QStringLiteral("bit %1, %2").arg(n).arg(Bit(n) ? QStringLiteral("set") : QStringLiteral("clear"));
}

void CbitGrid::SetBits(int count, const std::array<std::uint64_t, 2>& bits, bool toggleable) {
    if (!wide::WordBitsOf(count).has_value() && count != kFloatBits) count = 0;
    std::array<std::uint64_t, 2> masked = bits;
    if (count == kFloatBits) masked[1] &= 0xFFFFU;
    if (count <= 64) masked[1] = 0;
    if (count < 64) masked[0] &= (std::uint64_t{1} << count) - 1;

    if (count != count_) {
        count_ = count;
        setFixedSize(kWidth, HeightFor(count));
        if (focused_ >= count_) focused_ = count_ - 1;
        if (focused_ < 0 && count_ > 0) focused_ = 0;
        if (count_ == 0) focused_ = -1;
        // The picture no longer fits; paintEvent makes a new one.
        picture_ = QImage();
        update();
    }
    if (masked != bits_) {
        const std::array<std::uint64_t, 2> before = bits_;
        bits_ = masked;
        // The changed cells are filled in the picture, and only the changed
        // stretch of each row is repainted: after a toggle that is one cell.
        for (int low = 0; low < count_; low += kCols) {
            const std::uint64_t changed = ((masked[low / 64] ^ before[low / 64]) >> (low % 64)) & 0xFFFFFFFFU;
            if (changed == 0) continue;
            if (!picture_.isNull()) {
                for (std::uint64_t rest = changed; rest != 0; rest &= rest - 1) {
                    const int n = low + std::countr_zero(rest);
                    FillCell(n, Bit(n));
                }
            }
            const QRect high = CellRect(std::min(count_ - 1, low + 63 - std::countl_zero(changed)));
            const QRect lowest = CellRect(low + std::countr_zero(changed));
            update(QRect(high.topLeft(), lowest.bottomRight()).adjusted(-2, -2, 2, 2));
        }
    }
    if (toggleable != toggleable_) {
        toggleable_ = toggleable;
        setCursor(toggleable ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
    UpdateReading();
}

void CbitGrid::SetFocusedBit(int n) {
    if (n < 0 || n >= count_ || n == focused_) return;
    const QRect old = CellRect(focused_);
    focused_ = n;
    update(old.adjusted(-3, -3, 3, 3));
    update(CellRect(n).adjusted(-3, -3, 3, 3));
    UpdateReading();
}

void CbitGrid::UpdateReading() {
    // Runs after every new value; the text is made only when the focused
    // cell or its bit changed.
    const bool set = Bit(focused_);
    if (focused_ == readingBit_ && set == readingSet_) return;
    readingBit_ = focused_;
    readingSet_ = set;
    const QString reading = focused_ >= 0 ? Reading(focused_) : QString();
    if (reading == accessibleDescription()) return;
    setAccessibleDescription(reading);
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void CbitGrid::Toggle(int n) {
    if (!toggleable_ || n < 0 || n >= count_) return;
    // The receiver runs the machine, which may raise; that must not unwind
    // through Qt's event delivery.
    WithErrorDialog([this, n] { emit BitToggled(n); });
}

void CbitGrid::MoveFocus(int dRow, int dCol) {
    if (focused_ < 0) return;
    const Cell c = CellOf(focused_);
    const int row = std::clamp(c.row + dRow, 0, Rows() - 1);
    const int col = std::clamp(c.col + dCol, 0, kCols - 1);
    // A short row (the float's top one, a word of 8 or 16 bits) takes the
    // nearest cell it has.
    for (int d = 0; d < kCols; ++d) {
        for (const int near : {col - d, col + d}) {
            if (const int n = near >= 0 && near < kCols ? BitOfCell(row, near) : -1; n >= 0) {
                SetFocusedBit(n);
                return;
            }
        }
    }
}

void CbitGrid::keyPressEvent(QKeyEvent* event) {
    if (focused_ < 0 || ShortcutModifiers(event->modifiers()) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        // Left goes toward the higher bits, as the cells are drawn.
        case Qt::Key_Left: MoveFocus(0, -1); break;
        case Qt::Key_Right: MoveFocus(0, 1); break;
        case Qt::Key_Up: MoveFocus(-1, 0); break;
        case Qt::Key_Down: MoveFocus(1, 0); break;
        case Qt::Key_Home: MoveFocus(0, -kCols); break;
        case Qt::Key_End: MoveFocus(0, kCols); break;
        case Qt::Key_Space: Toggle(focused_); break;
        default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void CbitGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int n = BitAt(event->position().toPoint());
    if (n < 0) return;
    setFocus(Qt::MouseFocusReason);
    SetFocusedBit(n);
    Toggle(n);
}

void CbitGrid::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update(CellRect(focused_).adjusted(-3, -3, 3, 3));
}

void CbitGrid::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update(CellRect(focused_).adjusted(-3, -3, 3, 3));
}

// The whole grid but the focus mark: empty and set cells, field bands, bit
// numbers and the float's legend. It is painted once per layout; a new
// value fills the changed cells in it, and a repaint is one copy.
QImage CbitGrid::PaintPicture(qreal dpr) const {
    QImage pm(size() * dpr, QImage::Format_RGB32);
    pm.setDevicePixelRatio(dpr);
    pm.fill(kBackground);
    QPainter p(&pm);
    const int count = count_;
    for (int n = 0; n < count; ++n) p.fillRect(CellRect(n), kClearCell);

    const QFont small = SmallFont(font());
    p.setFont(small);
    const QFontMetrics fm(small);
    if (count == kFloatBits) {
        // A field's band runs unbroken under its cells within one row.
        for (const Field& f : kFloatFields) {
            for (int n = f.high; n >= f.low;) {
                const QRect first = CellRect(n);
                int m = n;
                while (m > f.low && CellRect(m - 1).top() == first.top()) --m;
                const QRect last = CellRect(m);
                p.fillRect(
                    QRect(first.left(), first.top() + kBandTop, last.right() - first.left() + 1, kBandH),
                    f.colour);
                n = m - 1;
            }
        }
        // The legend takes the free right part of the top row.
        int x = ColX(17) + 4;
        const int y = CellRect(79).top();
        for (const Field& f : kFloatFields) {
            p.fillRect(QRect(x, y + (kCellH - 8) / 2, 8, 8), f.colour);
            x += 11;
            const QString name = QString::fromLatin1(f.name);
            p.setPen(kNumbers);
            p.drawText(QRect(x, y, fm.horizontalAdvance(name), kCellH), Qt::AlignLeft | Qt::AlignVCenter,
                       name);
            x += fm.horizontalAdvance(name) + 10;
        }
    }
    p.setPen(kNumbers);
    for (int n = 0; n < count; ++n) {
        const QRect cell = CellRect(n);
        // The first and the last cell of a byte carry their numbers, flush
        // with the byte's outer edges so that three digits never reach past
        // the grid or into the next byte.
        const int inByte = CellOf(n).col % 8;
        if (inByte != 0 && inByte != 7) continue;
        const QRect text(inByte == 0 ? cell.left() : cell.right() + 1 - 4 * kCellW, cell.top() + kNumbersTop,
                         4 * kCellW, kRowPitch - kNumbersTop);
        const Qt::Alignment align = (inByte == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop;
        p.drawText(text, static_cast<int>(align), QString::number(n));
    }
    std::array<QRect, kIntegerBits> set;
    int setCount = 0;
    for (int n = 0; n < count; ++n)
        if (Bit(n)) set[static_cast<std::size_t>(setCount++)] = CellRect(n);
    p.setPen(Qt::NoPen);
    p.setBrush(kSetCell);
    p.drawRects(set.data(), setCount);
    return pm;
}

void CbitGrid::FillCell(int n, bool set) {
    const QRect cell = CellRect(n);
    const QColor& colour = set ? kSetCell : kClearCell;
    if (picture_.devicePixelRatio() != 1) {
        QPainter p(&picture_);
        p.fillRect(cell, colour);
        return;
    }
    const QRect r = cell & picture_.rect();
    const QRgb rgb = colour.rgb();
    const qsizetype stride = picture_.bytesPerLine();
    uchar* line = picture_.bits() + r.top() * stride;
    for (int y = r.top(); y <= r.bottom(); ++y, line += stride)
        std::fill(reinterpret_cast<QRgb*>(line) + r.left(), reinterpret_cast<QRgb*>(line) + r.right() + 1,
                  rgb);
}

void CbitGrid::DrawFocusMark(QPainter& p, qreal dpr) {
    const auto draw = [](QPainter& on, const QRect& cell) {
        on.setBrush(Qt::NoBrush);
        on.setPen(QPen(kFocusMark, 2));
        on.drawRect(QRectF(cell).adjusted(-1, -1, 1, 1));
    };
    const QRect cell = CellRect(focused_);
    // The stroke is the costly part of a repaint after a click; at whole
    // pixels it is drawn once and copied.
    if (dpr != 1) {
        draw(p, cell);
        return;
    }
    if (focusMark_.isNull()) {
        focusMark_ = QImage(kCellW + 6, kCellH + 6, QImage::Format_ARGB32_Premultiplied);
        focusMark_.fill(Qt::transparent);
        QPainter m(&focusMark_);
        draw(m, QRect(3, 3, kCellW, kCellH));
    }
    p.drawImage(cell.topLeft() - QPoint(3, 3), focusMark_);
}

void CbitGrid::paintEvent(QPaintEvent* event) {
    const qreal dpr = devicePixelRatioF();
    if (picture_.isNull() || picture_.devicePixelRatio() != dpr || picture_.size() != size() * dpr)
        picture_ = PaintPicture(dpr);
    QPainter p(this);
    for (const QRect& r : event->region())
        p.drawImage(r, picture_, QRectF(r.topLeft() * dpr, r.size() * dpr));
    if (hasFocus() && focused_ >= 0 && event->region().intersects(CellRect(focused_).adjusted(-3, -3, 3, 3)))
        DrawFocusMark(p, dpr);
}
