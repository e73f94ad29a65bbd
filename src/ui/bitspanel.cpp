#include "ui/bitspanel.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QStaticText>
#include <QToolButton>
#include <QVarLengthArray>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <unordered_map>

#include "ui/application.h"
#include "ui/bitgrid.h"
#include "ui/calc_colours.h"
#include "ui/drawn_icons.h"
#include "ui/mrvforms.h"
#include "ui/wordtools.h"

namespace {

// The window's colours: a value box as the display, captions as the modes
// panel.
const QColor& kBackground = kWindowColour;
const QColor& kBox = kDisplayColour;
const QColor& kValue = kDisplayText;
const QColor kDimmed(0x90, 0x90, 0x48);
const QColor& kCaption = kModesColour;

constexpr int kMargin = 8;
constexpr int kLineGap = 2;
constexpr int kGridGap = 8;
// Columns of a line: caption, value box, copy button.
constexpr int kCaptionW = 78;
constexpr int kBoxX = kCaptionW + 4;
constexpr int kButtonW = 20;
constexpr int kBoxW = CbitGrid::kWidth - kBoxX - kButtonW - 4;
constexpr int kBoxPad = 5;
constexpr int kValuePixels = 12;
constexpr int kSmallestPixels = 7;

// Characters drawn once on the box's colour, one cell per character and
// colour, at one pixel size of the monospace font. A new value is then put
// together by copying cells, which costs a small fraction of rasterising
// its text, and painted by copying the changed stretch of the picture.
class CharCells {
public:
    struct Cell {
        QImage image;
        // The image's pixels, kept at hand for the copies.
        const uchar* bits = nullptr;
        qsizetype stride = 0;
        int width = 0;
        int inkTop = 0, inkEnd = 0;  // the rows that differ from the box; none for a blank
    };

    CharCells(int pixels, qreal dpr) : dpr_(dpr) {
        font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font_.setPixelSize(pixels);
        const QFontMetricsF fm(font_);
        // Whole-pixel steps keep every character on the pixel grid.
        advance_ = std::max(1, static_cast<int>(std::lround(fm.horizontalAdvance(QLatin1Char('0')))));
        baseline_ = static_cast<int>(std::lround((CbitsLine::kHeight + fm.ascent() - fm.descent()) / 2));
    }

    int Advance() const { return advance_; }

    const Cell& Get(char16_t c, bool dimmed) {
        if (c < 128) {
            Cell& cell = ascii_[c + (dimmed ? 128U : 0U)];
            if (!cell.bits) cell = Draw(c, dimmed);
            return cell;
        }
        const std::uint32_t key = c | (dimmed ? 0x10000U : 0U);
        auto it = others_.find(key);
        if (it == others_.end()) it = others_.emplace(key, Draw(c, dimmed)).first;
        return it->second;
    }

    int Physical(int logical) const {
        return dpr_ == 1 ? logical : static_cast<int>(std::lround(logical * dpr_));
    }

private:
    Cell Draw(char16_t c, bool dimmed) const {
        Cell cell;
        cell.image = QImage(Physical(advance_), Physical(CbitsLine::kHeight), QImage::Format_RGB32);
        cell.image.setDevicePixelRatio(dpr_);
        cell.image.fill(kBox);
        QPainter p(&cell.image);
        p.setFont(font_);
        p.setPen(dimmed ? kDimmed : kValue);
        p.drawText(QPointF(0, baseline_), QString(QChar(c)));
        p.end();
        const QRgb box = kBox.rgb();
        const auto inked = [&](int y) {
            const auto* row = reinterpret_cast<const QRgb*>(cell.image.constScanLine(y));
            return std::any_of(row, row + cell.image.width(), [box](QRgb px) { return px != box; });
        };
        int top = 0, end = cell.image.height();
        while (top < end && !inked(top)) ++top;
        while (end > top && !inked(end - 1)) --end;
        cell.inkTop = top;
        cell.inkEnd = end;
        cell.bits = cell.image.constBits();
        cell.stride = cell.image.bytesPerLine();
        cell.width = cell.image.width();
        return cell;
    }

    QFont font_;
    qreal dpr_;
    int advance_ = 1;
    int baseline_ = 0;
    std::array<Cell, 256> ascii_;  // 128 plain, then 128 dimmed
    std::unordered_map<std::uint32_t, Cell> others_;
};

// Cells by pixel size and device pixel ratio; a handful at most, as only
// long texts shrink and they shrink in whole pixels.
CharCells& Cells(int pixels, qreal dpr) {
    static std::map<std::pair<int, int>, CharCells> all;
    const std::pair<int, int> key(pixels, static_cast<int>(std::lround(dpr * 100)));
    auto it = all.find(key);
    if (it == all.end()) it = all.emplace(key, CharCells(pixels, dpr)).first;
    return it->second;
}

// Device pixels of an RGB32 picture, for the copies.
struct Pixels {
    uchar* bits;
    qsizetype stride;
    QRgb* Row(int y) const { return reinterpret_cast<QRgb*>(bits + y * stride); }
};

// Copies w pixels. Characters are 4 to 8 pixels wide at the usual sizes,
// which two overlapping fixed-size copies cover without a library call.
inline void CopyPixels(QRgb* dst, const QRgb* src, int w) {
    if (w >= 4 && w <= 8) {
        std::memcpy(dst, src, 4 * sizeof(QRgb));
        std::memcpy(dst + w - 4, src + w - 4, 4 * sizeof(QRgb));
    } else {
        std::memcpy(dst, src, static_cast<std::size_t>(w) * sizeof(QRgb));
    }
}

// Copies the rows top to end (exclusive) of a cell into dst with the cell's
// top left corner at (x, y), cutting what falls outside clip.
void Blit(const Pixels& dst, const QRect& clip, int x, int y, const CharCells::Cell& cell, int top, int end) {
    const int from = std::max(0, clip.left() - x);
    const int to = std::min(cell.width, clip.right() + 1 - x);
    if (from >= to) return;
    top = std::max(top, clip.top() - y);
    end = std::min(end, clip.bottom() + 1 - y);
    if (top >= end) return;
    auto* d = reinterpret_cast<uchar*>(dst.Row(y + top) + x + from);
    const uchar* s = cell.bits + top * cell.stride + from * qsizetype(sizeof(QRgb));
    for (int row = top; row < end; ++row, d += dst.stride, s += cell.stride)
        CopyPixels(reinterpret_cast<QRgb*>(d), reinterpret_cast<const QRgb*>(s), to - from);
}

void FillRect(const Pixels& dst, const QRect& r, QRgb colour) {
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::fill(dst.Row(y) + r.left(), dst.Row(y) + r.right() + 1, colour);
}

// Fills the part of r that lies outside keep.
void FillOutside(const Pixels& dst, const QRect& r, const QRect& keep, QRgb colour) {
    const QRect both = r & keep;
    if (both.isEmpty()) {
        FillRect(dst, r, colour);
        return;
    }
    FillRect(dst, QRect(QPoint(r.left(), r.top()), QPoint(r.right(), both.top() - 1)), colour);
    FillRect(dst, QRect(QPoint(r.left(), both.bottom() + 1), QPoint(r.right(), r.bottom())), colour);
    FillRect(dst, QRect(QPoint(r.left(), both.top()), QPoint(both.left() - 1, both.bottom())), colour);
    FillRect(dst, QRect(QPoint(both.right() + 1, both.top()), QPoint(r.right(), both.bottom())), colour);
}

// How far the window system's frame reaches beyond the client area on each
// side; null while it is not known (before the window manager has framed the
// window, or with none).
QMargins FrameOf(const QWidget* w) {
    const QRect f = w->frameGeometry(), g = w->geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

// A panel dropped this close to the owner's top or bottom edge sits against
// it (window managers let a dragged window snap to an edge from about as far).
constexpr int kDockReach = 10;

}  // namespace

// The captions and value boxes of all lines, painted from one picture kept
// at device resolution. A new value is put together in the picture from
// character cells, and the repaint copies only the stretch that changed.
// It lies over the lines and lets the mouse through to them.
class CbitsSheet : public QWidget {
public:
    explicit CbitsSheet(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        // paintEvent covers every pixel; the lines below are never painted.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    static constexpr int kWidth = kBoxX + kBoxW;

    void SetLineCount(int count) {
        count_ = count;
        if (static_cast<int>(rows_.size()) < count) rows_.resize(static_cast<std::size_t>(count));
        setFixedSize(kWidth, std::max(0, count * (CbitsLine::kHeight + kLineGap) - kLineGap));
        stale_ = true;
        update();
    }

    void SetLine(int index, const BitsPanelLine& line) {
        Row& row = rows_[static_cast<std::size_t>(index)];
        const bool nameChanged = row.name.text() != line.name;
        const bool valueChanged = row.text != line.text || row.dimmed != line.dimmed;
        if (nameChanged) row.name.setText(line.name);
        const QString before = row.text;
        const int beforeDimmed = row.dimmed;
        if (valueChanged) {
            row.text = line.text;
            row.dimmed = line.dimmed;
        }
        // A stale picture is drawn whole before the next paint.
        if (stale_ || index >= count_) return;
        if (nameChanged) {
            DrawName(index);
            update(QRect(0, Top(index), kBoxX, CbitsLine::kHeight));
        }
        if (valueChanged) {
            const QRect changed = DrawValue(index, &before, beforeDimmed);
            const qreal dpr = picture_.devicePixelRatio();
            if (!changed.isEmpty())
                update(QRectF(changed.x() / dpr, changed.y() / dpr, changed.width() / dpr,
                              changed.height() / dpr)
                           .toAlignedRect());
        }
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        const qreal dpr = devicePixelRatioF();
        // Also after a move to a screen of another pixel density.
        if (stale_ || picture_.devicePixelRatio() != dpr) DrawAll(dpr);
        QPainter p(this);
        for (const QRect& r : event->region())
            p.drawImage(r, picture_, QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr));
    }

    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::FontChange) {
            stale_ = true;
            update();
        }
        QWidget::changeEvent(event);
    }

private:
    struct Row {
        QStaticText name;
        QString text;
        int dimmed = 0;
        QRect ink;  // the picture's pixels the value's characters cover
        Row() { name.setTextFormat(Qt::PlainText); }
    };

    static int Top(int index) { return index * (CbitsLine::kHeight + kLineGap); }
    static int Physical(int logical, qreal dpr) {
        return dpr == 1 ? logical : static_cast<int>(std::lround(logical * dpr));
    }

    void DrawAll(qreal dpr) {
        picture_ = QImage(Physical(width(), dpr), Physical(height(), dpr), QImage::Format_RGB32);
        picture_.setDevicePixelRatio(dpr);
        picture_.fill(kBackground);
        stale_ = false;
        for (int i = 0; i < count_; ++i) {
            Row& row = rows_[static_cast<std::size_t>(i)];
            DrawName(i);
            FillRect(Pixels{picture_.bits(), picture_.bytesPerLine()}, BoxIn(i), kBox.rgb());
            row.ink = QRect();
            DrawValue(i);
        }
    }

    void DrawName(int index) {
        const QRect caption(0, Top(index), kBoxX, CbitsLine::kHeight);
        const QStaticText& name = rows_[static_cast<std::size_t>(index)].name;
        QPainter p(&picture_);
        p.fillRect(caption, kBackground);
        // A caption too long for its column ("IPv6 standard" in some fonts)
        // is set up to a pixel a letter tighter, and what still does not fit
        // is cut at the box.
        p.setClipRect(caption);
        QFont f = font();
        const qreal excess = QFontMetricsF(f).horizontalAdvance(name.text()) - kCaptionW;
        if (excess > 0 && !name.text().isEmpty())
            f.setLetterSpacing(QFont::AbsoluteSpacing,
                               -std::min<qreal>(excess / static_cast<qreal>(name.text().size()), 1));
        p.setFont(f);
        p.setPen(kCaption);
        p.drawStaticText(QPointF(0, caption.top() + (CbitsLine::kHeight - name.size().height()) / 2), name);
    }

    // The value box of a line in the picture's pixels.
    QRect BoxIn(int index) const {
        const qreal dpr = picture_.devicePixelRatio();
        return QRect(Physical(kBoxX, dpr), Physical(Top(index), dpr), Physical(kBoxW, dpr),
                     Physical(CbitsLine::kHeight, dpr)) &
               picture_.rect();
    }

    // How a value's characters lie in its box (in the picture's pixels):
    // their cells, where the first starts, and the rows any of them inks.
    struct Layout {
        CharCells* cells = nullptr;
        int n = 0, advance = 1, left = 0;
        QVarLengthArray<const CharCells::Cell*, 64> glyphs;
        int inkTop = std::numeric_limits<int>::max(), inkEnd = 0;
        QRect ink;
        // The cells meet without gaps (tiled), and without overlapping
        // (exact), which a pixel density that is not whole may spoil.
        bool tiled = true, exact = true;

        int X(const QRect& box, int i) const { return box.left() + cells->Physical(left + advance * i); }
    };

    Layout LayOutValue(const Row& row, const QRect& box) const {
        Layout l;
        const qreal dpr = picture_.devicePixelRatio();
        const QString& text = row.text;
        l.n = static_cast<int>(std::min<qsizetype>(text.size(), 1000));
        // The whole text is always shown: a text too long for the box gets a
        // smaller size instead of being cut.
        const int room = kBoxW - 2 * kBoxPad;
        int px = kValuePixels;
        while (px > kSmallestPixels && Cells(px, dpr).Advance() * l.n > room) --px;
        l.cells = &Cells(px, dpr);
        l.advance = l.cells->Advance();
        // Right-justified like the display, so digits of equal weight line up.
        l.left = kBoxW - kBoxPad - l.advance * l.n;
        l.glyphs.resize(l.n);
        for (int i = 0; i < l.n; ++i) {
            const CharCells::Cell& cell = l.cells->Get(text[i].unicode(), i < row.dimmed);
            l.glyphs[i] = &cell;
            if (cell.inkTop < cell.inkEnd) {
                l.inkTop = std::min(l.inkTop, cell.inkTop);
                l.inkEnd = std::max(l.inkEnd, cell.inkEnd);
            }
        }
        if (l.inkTop < l.inkEnd) {
            const int x = l.X(box, 0);
            const int right = l.X(box, l.n - 1) + l.cells->Physical(l.advance);
            l.ink = QRect(x, box.top() + l.inkTop, right - x, l.inkEnd - l.inkTop) & box;
        }
        for (int i = 0; i + 1 < l.n; ++i) {
            const int end = l.X(box, i) + l.glyphs[i]->width;
            const int next = l.X(box, i + 1);
            l.tiled = l.tiled && end >= next;
            l.exact = l.exact && end == next;
        }
        return l;
    }

    // Puts the value of a line into the picture; returns the pixels that
    // changed. Given the text that was there, a text of the same length
    // redraws only the characters that differ.
    QRect DrawValue(int index, const QString* before = nullptr, int beforeDimmed = 0) {
        Row& row = rows_[static_cast<std::size_t>(index)];
        const QRect box = BoxIn(index);
        const Layout l = LayOutValue(row, box);
        const Pixels pixels{picture_.bits(), picture_.bytesPerLine()};
        // The cells are copied whole over the rows that any of them inks,
        // so they cover the new characters' room.
        if (l.exact && before && l.ink == row.ink && std::min<qsizetype>(before->size(), 1000) == l.n) {
            QRect changed;
            for (int i = 0; i < l.n && !l.ink.isEmpty(); ++i) {
                if (row.text[i] == before->at(i) && (i < row.dimmed) == (i < beforeDimmed)) continue;
                Blit(pixels, l.ink, l.X(box, i), box.top(), *l.glyphs[i], l.inkTop, l.inkEnd);
                changed |= QRect(l.X(box, i), l.ink.top(), l.glyphs[i]->width, l.ink.height()) & l.ink;
            }
            return changed;
        }
        // What else the old characters covered is cleared.
        const QRect changed = (row.ink | l.ink) & box;
        if (l.tiled)
            FillOutside(pixels, changed, l.ink, kBox.rgb());
        else
            FillRect(pixels, changed, kBox.rgb());
        for (int i = 0; i < l.n && !l.ink.isEmpty(); ++i)
            Blit(pixels, l.ink, l.X(box, i), box.top(), *l.glyphs[i], l.inkTop, l.inkEnd);
        row.ink = l.ink;
        return changed;
    }

    std::vector<Row> rows_;  // grows, never shrinks, like the panel's lines
    int count_ = 0;
    QImage picture_;
    bool stale_ = true;
};

CbitsLine::CbitsLine(QWidget* parent) : QWidget(parent) {
    setFixedSize(CbitGrid::kWidth, kHeight);

    copyAction_ = new QAction(QStringLiteral("Copy"), this);
    connect(copyAction_, &QAction::triggered, this, [this] { Copy(); });
    addAction(copyAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    copyButton_ = new QToolButton(this);
    copyButton_->setObjectName(QStringLiteral("copy"));
    copyButton_->setGeometry(CbitGrid::kWidth - kButtonW, 0, kButtonW, kHeight);
    copyButton_->setAutoRaise(true);
    // Drawn once and shared by every line.
    static const QIcon copyIcon = CopyIcon(kCaption);
    copyButton_->setIcon(copyIcon);
    copyButton_->setIconSize(QSize(16, 16));
    connect(copyButton_, &QToolButton::clicked, this, [this] { Copy(); });
}

void CbitsLine::Copy() const {
    QApplication::clipboard()->setText(line_.copyText.isEmpty() ? line_.text : line_.copyText);
}

void CbitsLine::Set(const BitsPanelLine& line) {
    if (line == line_) return;
    if (line.id != line_.id) setObjectName(QStringLiteral("line_") + line.id);
    if (line.name != line_.name) {
        setAccessibleName(line.name);
        copyButton_->setAccessibleName(QStringLiteral("Copy ") + line.name);
    }
    if (line.text != line_.text) setAccessibleDescription(line.text);
    line_ = line;
}

CbitsPanel::CbitsPanel(QWidget* owner) : QWidget(owner, Qt::Tool), owner_(owner) {
    setObjectName(QStringLiteral("bits"));
    setWindowTitle(QStringLiteral("Zentabula bits"));
    if (owner) setWindowIcon(owner->windowIcon());
    // Opening the panel leaves the keyboard where it was, so typing into the
    // calculator goes on.
    setAttribute(Qt::WA_ShowWithoutActivating);
    Fill(this, kBackground);
    setFixedSize(kWidth, 2 * kMargin);
    if (owner) owner->installEventFilter(this);
}

CbitsLine* CbitsPanel::Line(int index) const {
    if (index < 0 || index >= shownLines_) return nullptr;
    return lines_[static_cast<std::size_t>(index)];
}

void CbitsPanel::SetContent(const BitsPanelContent& content) {
    const int count = static_cast<int>(content.lines.size());
    const bool reshape = count != shownLines_ || content.bitCount != gridBits_;
    if (!sheet_) {
        sheet_ = new CbitsSheet(this);
        sheet_->move(kMargin, kMargin);
    }
    if (static_cast<int>(lines_.size()) < count) {
        while (static_cast<int>(lines_.size()) < count) lines_.push_back(new CbitsLine(this));
        sheet_->raise();
    }
    if (count != shownLines_) sheet_->SetLineCount(count);
    for (int i = 0; i < count; ++i) {
        const BitsPanelLine& line = content.lines[static_cast<std::size_t>(i)];
        CbitsLine* widget = lines_[static_cast<std::size_t>(i)];
        if (line == widget->Line()) continue;
        widget->Set(line);
        sheet_->SetLine(i, line);
    }

    if (!grid_) {
        grid_ = new CbitGrid(this);
        connect(grid_, &CbitGrid::BitToggled, this, &CbitsPanel::BitToggled);
        tools_ = new CwordTools(this);
        connect(tools_, &CwordTools::SizeChosen, this, &CbitsPanel::WordSizeChosen);
        connect(tools_, &CwordTools::OperationAsked, this, &CbitsPanel::OperationAsked);
    }
    grid_->SetBits(content.bitCount, content.bits, content.toggleable);
    tools_->SetState(content.wordBits, content.integerTools);

    if (reshape) {
        for (int i = 0; i < static_cast<int>(lines_.size()); ++i)
            lines_[static_cast<std::size_t>(i)]->setVisible(i < count);
        shownLines_ = count;
        gridBits_ = content.bitCount;
        LayOut();
    }
}

void CbitsPanel::LayOut() {
    sheet_->setVisible(shownLines_ > 0);
    int y = kMargin;
    for (int i = 0; i < shownLines_; ++i) {
        lines_[static_cast<std::size_t>(i)]->move(kMargin, y);
        y += CbitsLine::kHeight + kLineGap;
    }
    const int gridH = CbitGrid::HeightFor(grid_->BitCount());
    grid_->setVisible(gridH > 0);
    if (gridH > 0) {
        y += kGridGap - kLineGap;
        grid_->move(kMargin, y);
        y += gridH;
    }
    tools_->move(kMargin, y + kLineGap);
    y += kLineGap + CwordTools::kHeight;
    y += kMargin;
    if (y == height()) return;
    setFixedSize(kWidth, y);
    // Above the owner the bottom edge is what must stay put.
    if (isVisible() && docked_) PlaceBesideOwner();
}

QRect CbitsPanel::OwnerFrame() const {
    const QMargins owner = FrameOf(owner_);
    if (!owner.isNull()) return owner_->frameGeometry();
    // One window manager frames both windows alike.
    return owner_->geometry().marginsAdded(FrameOf(this));
}

QMargins CbitsPanel::Frame() const {
    const QMargins own = FrameOf(this);
    return own.isNull() && owner_ ? FrameOf(owner_) : own;
}

QRect CbitsPanel::DockedFrame() const {
    const QRect owner = OwnerFrame();
    const QSize size = this->size().grownBy(Frame());
    const QScreen* screen = owner_->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(owner.topLeft(), QSize(kWidth, 1 << 20));

    const int below = owner.bottom() + 1;
    const int above = owner.top() - size.height();
    int top = below;
    if (below + size.height() - 1 > area.bottom()) {
        // With room on neither side the panel still never covers the owner:
        // it takes the side with more room and runs off the screen there.
        if (above >= area.top() || owner.top() - area.top() > area.bottom() - owner.bottom()) top = above;
    }
    return {QPoint(owner.left() + dockOffset_, top), size};
}

void CbitsPanel::MoveFrameTo(const QPoint& topLeft) {
    // Until the window manager has framed the panel, its client area is
    // placed and the frame then put around it: placed where the frame
    // belongs, the title bar would end up above the place, over the owner.
    // The owner's frame is the best guess of the panel's.
    const QMargins frame = Frame();
    move(FrameOf(this).isNull() && testAttribute(Qt::WA_WState_Created)
             ? topLeft + QPoint(frame.left(), frame.top())
             : topLeft);
    sentTo_ = geometry().topLeft();
}

void CbitsPanel::PlaceBesideOwner() {
    if (!owner_) return;
    docked_ = true;
    MoveFrameTo(DockedFrame().topLeft());
}

void CbitsPanel::PlaceAt(const QPoint& topLeft) {
    docked_ = false;
    place_ = topLeft;
    if (!isVisible()) return;
    if (Usable(topLeft))
        MoveFrameTo(topLeft);
    else
        PlaceBesideOwner();
}

std::optional<QPoint> CbitsPanel::UserPlace() const {
    if (docked_) return std::nullopt;
    return place_;
}

bool CbitsPanel::AgainstOwner(const QRect& frame) const {
    if (!owner_) return false;
    const QRect owner = OwnerFrame();
    if (frame.right() < owner.left() || frame.left() > owner.right()) return false;
    return std::abs(frame.top() - (owner.bottom() + 1)) <= kDockReach ||
           std::abs(frame.bottom() + 1 - owner.top()) <= kDockReach;
}

bool CbitsPanel::Usable(const QPoint& topLeft) const {
    // The middle of the title bar on a screen: the user can reach it there.
    if (!QGuiApplication::screenAt(topLeft + QPoint(width() / 2, 10))) return false;
    return !owner_ || !QRect(topLeft, size().grownBy(Frame())).intersects(OwnerFrame());
}

bool CbitsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
                if (isVisible() && docked_) PlaceBesideOwner();
                break;
            // The owner closed or was hidden by the program (not minimised).
            case QEvent::Hide:
                if (!event->spontaneous()) hide();
                break;
            default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool CbitsPanel::ClosingKey(int key, Qt::KeyboardModifiers mods) {
    mods = ShortcutModifiers(mods);
    return (key == Qt::Key_Escape && mods == Qt::NoModifier) ||
           (key == Qt::Key_B && mods == Qt::ControlModifier);
}

void CbitsPanel::keyPressEvent(QKeyEvent* event) {
    if (ClosingKey(event->key(), event->modifiers())) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CbitsPanel::closeEvent(QCloseEvent* event) {
    // Closing only hides: the panel keeps its widgets for the next time.
    event->accept();
    WithErrorDialog([this] { emit Closed(); });
}

void CbitsPanel::showEvent(QShowEvent* event) {
    if (!event->spontaneous() && owner_) {
        if (!docked_ && Usable(place_))
            MoveFrameTo(place_);
        else
            PlaceBesideOwner();
    }
    QWidget::showEvent(event);
}

void CbitsPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Only what the window system reports: the panel's own moves are known.
    if (!event->spontaneous() || !isVisible() || !owner_) return;
    if (sentTo_ && geometry().topLeft() == *sentTo_) return;
    // The user moved it (or the window manager did).
    sentTo_.reset();
    const QRect frame = geometry().marginsAdded(Frame());
    docked_ = AgainstOwner(frame);
    if (docked_)
        dockOffset_ = frame.left() - OwnerFrame().left();
    else
        place_ = frame.topLeft();
}
