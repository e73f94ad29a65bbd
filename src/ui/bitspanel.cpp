#include "ui/bitspanel.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "ui/application.h"
#include "ui/bitgrid.h"

namespace {

const QColor kBackground(0x2F, 0x21, 0x0C);  // the main window's colour
const QColor kBox(0x40, 0x40, 0x40);         // the display's background
const QColor kValue(0xFF, 0xFF, 0x00);       // the display's text
const QColor kDimmed(0x90, 0x90, 0x48);
const QColor kCaption(0xD5, 0xD2, 0xCD);

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
// its text, and painted with one image copy.
class CharCells {
public:
    struct Cell {
        QImage image;
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
            if (cell.image.isNull()) cell = Draw(c, dimmed);
            return cell;
        }
        const std::uint32_t key = c | (dimmed ? 0x10000U : 0U);
        auto it = others_.find(key);
        if (it == others_.end()) it = others_.emplace(key, Draw(c, dimmed)).first;
        return it->second;
    }

    int Physical(qreal logical) const { return static_cast<int>(std::lround(logical * dpr_)); }

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

// Copies the inked rows of a cell into dst (RGB32, already detached, filled
// with the box colour) with the cell's left edge at x (physical pixels),
// cutting what falls outside dst.
void Blit(uchar* dst, qsizetype dstStride, int dstWidth, int dstHeight, int x, const CharCells::Cell& cell) {
    const QImage& src = cell.image;
    const int from = std::max(0, -x);
    const int to = std::min(src.width(), dstWidth - x);
    if (from >= to) return;
    const int end = std::min(cell.inkEnd, dstHeight);
    const qsizetype srcStride = src.bytesPerLine();
    const uchar* s = src.constBits();
    const auto bytes = static_cast<std::size_t>(to - from) * sizeof(QRgb);
    for (int y = cell.inkTop; y < end; ++y)
        std::memcpy(dst + y * dstStride + (x + from) * qsizetype(sizeof(QRgb)),
                    s + y * srcStride + from * qsizetype(sizeof(QRgb)), bytes);
}

QIcon CopyIcon() {
    // Two overlapping sheets, drawn once and shared by every line.
    static const QIcon icon = [] {
        QIcon i;
        for (const int px : {16, 24, 32}) {
            QPixmap pm(px, px);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(px / 16.0, px / 16.0);
            p.setPen(QPen(kCaption, 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(5.5, 1.5, 8, 10), 1, 1);
            p.setBrush(kBackground);
            p.drawRoundedRect(QRectF(2.5, 4.5, 8, 10), 1, 1);
            p.end();
            i.addPixmap(pm);
        }
        return i;
    }();
    return icon;
}

void Fill(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

}  // namespace

CbitsLine::CbitsLine(QWidget* parent) : QWidget(parent) {
    setFixedSize(CbitGrid::kWidth, kHeight);
    // paintEvent covers every pixel outside the button.
    setAttribute(Qt::WA_OpaquePaintEvent);
    name_.setTextFormat(Qt::PlainText);

    copyAction_ = new QAction(QStringLiteral("Copy"), this);
    connect(copyAction_, &QAction::triggered, this, [this] { Copy(); });
    addAction(copyAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    copyButton_ = new QToolButton(this);
    copyButton_->setObjectName(QStringLiteral("copy"));
    copyButton_->setGeometry(CbitGrid::kWidth - kButtonW, 0, kButtonW, kHeight);
    copyButton_->setAutoRaise(true);
    copyButton_->setIcon(CopyIcon());
    copyButton_->setIconSize(QSize(16, 16));
    connect(copyButton_, &QToolButton::clicked, this, [this] { Copy(); });
}

void CbitsLine::Copy() const {
    QApplication::clipboard()->setText(line_.copyText.isEmpty() ? line_.text : line_.copyText);
}

void CbitsLine::Set(const BitsPanelLine& line) {
    if (line == line_) return;
    const bool nameChanged = line.name != line_.name;
    const bool valueChanged = line.text != line_.text || line.dimmed != line_.dimmed;
    if (line.id != line_.id) setObjectName(QStringLiteral("line_") + line.id);
    if (nameChanged) {
        name_.setText(line.name);
        setAccessibleName(line.name);
        copyButton_->setAccessibleName(QStringLiteral("Copy ") + line.name);
    }
    line_ = line;
    if (valueChanged) {
        setAccessibleDescription(line.text);
        LayOutValue();
    }
    if (nameChanged)
        update();
    else if (valueChanged)
        update(ValueBox());
}

QRect CbitsLine::ValueBox() const { return {kBoxX, 0, kBoxW, kHeight}; }

void CbitsLine::LayOutValue() {
    const QString& text = line_.text;
    const qreal dpr = devicePixelRatioF();
    // The whole text is always shown: a text too long for the box gets a
    // smaller size instead of being cut.
    const int room = kBoxW - 2 * kBoxPad;
    const auto n = static_cast<int>(std::min<qsizetype>(text.size(), 1000));
    int px = kValuePixels;
    while (px > kSmallestPixels && Cells(px, dpr).Advance() * n > room) --px;
    CharCells& cells = Cells(px, dpr);

    const QSize size(cells.Physical(kBoxW), cells.Physical(kHeight));
    if (value_.size() != size) value_ = QImage(size, QImage::Format_RGB32);
    value_.setDevicePixelRatio(dpr);
    value_.fill(kBox);
    // Right-justified like the display, so digits of equal weight line up.
    const int left = kBoxW - kBoxPad - cells.Advance() * n;
    uchar* bits = value_.bits();
    const qsizetype stride = value_.bytesPerLine();
    for (int i = 0; i < n; ++i) {
        const CharCells::Cell& cell = cells.Get(text[i].unicode(), i < line_.dimmed);
        Blit(bits, stride, size.width(), size.height(), cells.Physical(left + cells.Advance() * i), cell);
    }
}

void CbitsLine::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect box = ValueBox();
    // A new value repaints only the box; the caption is drawn when exposed.
    if (!box.contains(event->rect())) {
        p.fillRect(QRect(0, 0, kBoxX, kHeight), kBackground);
        p.fillRect(QRect(kBoxX + kBoxW, 0, width() - kBoxX - kBoxW, kHeight), kBackground);
        p.setFont(font());
        p.setPen(kCaption);
        p.drawStaticText(QPointF(0, (kHeight - name_.size().height()) / 2), name_);
    }
    // Moved to a screen of another pixel density: the value is put together anew.
    if (value_.isNull() || value_.devicePixelRatio() != devicePixelRatioF()) LayOutValue();
    p.drawImage(box.topLeft(), value_);
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
    while (static_cast<int>(lines_.size()) < count) lines_.push_back(new CbitsLine(this));
    for (int i = 0; i < count; ++i)
        lines_[static_cast<std::size_t>(i)]->Set(content.lines[static_cast<std::size_t>(i)]);

    if (!grid_) {
        grid_ = new CbitGrid(this);
        connect(grid_, &CbitGrid::BitToggled, this, &CbitsPanel::BitToggled);
    }
    grid_->SetBits(content.bitCount, content.bits, content.toggleable);

    if (reshape) {
        for (int i = 0; i < static_cast<int>(lines_.size()); ++i)
            lines_[static_cast<std::size_t>(i)]->setVisible(i < count);
        shownLines_ = count;
        gridBits_ = content.bitCount;
        LayOut();
    }
}

void CbitsPanel::LayOut() {
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
    y += kMargin;
    if (y == height()) return;
    setFixedSize(kWidth, y);
    // Above the owner the bottom edge is what must stay put.
    if (isVisible()) PlaceBesideOwner();
}

void CbitsPanel::PlaceBesideOwner() {
    if (!owner_) return;
    const QRect owner = owner_->frameGeometry();
    // The frame's share of the height: before the panel has been on screen
    // its own frame is unknown, and the owner's is the best guess.
    const bool framed = frameGeometry().size() != size();
    const QWidget* model = framed ? static_cast<const QWidget*>(this) : owner_;
    const int frameH = height() + model->frameGeometry().height() - model->height();
    const QScreen* screen = owner_->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(owner.topLeft(), QSize(kWidth, 1 << 20));

    int top = owner.bottom() + 1;
    if (top + frameH - 1 > area.bottom()) {
        const int above = owner.top() - frameH;
        // With no room on either side the larger side wins and the panel is
        // kept on the screen.
        if (above >= area.top() || owner.top() - area.top() > area.bottom() - owner.bottom())
            top = std::max(above, area.top());
        else
            top = std::min(top, area.bottom() + 1 - frameH);
    }
    move(owner.left(), top);
}

bool CbitsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
                if (isVisible()) PlaceBesideOwner();
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

void CbitsPanel::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    if ((event->key() == Qt::Key_Escape && mods == Qt::NoModifier) ||
        (event->key() == Qt::Key_B && mods == Qt::ControlModifier)) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CbitsPanel::closeEvent(QCloseEvent* event) {
    // Closing only hides: the panel keeps its widgets for the next time.
    event->accept();
    Guarded([this] { emit Closed(); });
}

void CbitsPanel::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) PlaceBesideOwner();
    QWidget::showEvent(event);
}
