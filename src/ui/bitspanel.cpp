#include "ui/bitspanel.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>

#include <algorithm>

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
constexpr qreal kValuePoints = 9;
constexpr qreal kSmallestPoints = 5;

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
    dim_.setTextFormat(Qt::PlainText);
    rest_.setTextFormat(Qt::PlainText);
    valueFont_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    valueFont_.setPointSizeF(kValuePoints);

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
    if (line.id != line_.id) setObjectName(QStringLiteral("line_") + line.id);
    if (line.name != line_.name) {
        name_.setText(line.name);
        setAccessibleName(line.name);
        copyButton_->setAccessibleName(QStringLiteral("Copy ") + line.name);
    }
    const bool valueChanged = line.text != line_.text || line.dimmed != line_.dimmed;
    line_ = line;
    if (valueChanged) {
        setAccessibleDescription(line.text);
        LayOutValue();
    }
    update();
}

void CbitsLine::LayOutValue() {
    const qsizetype dimmed = std::clamp<qsizetype>(line_.dimmed, 0, line_.text.size());
    dim_.setText(line_.text.left(dimmed));
    rest_.setText(line_.text.mid(dimmed));
    // The whole text is always shown: a text too long for the box gets a
    // smaller font instead of being cut.
    QFont font = valueFont_;
    font.setPointSizeF(kValuePoints);
    const int room = kBoxW - 2 * kBoxPad;
    for (;;) {
        dim_.prepare(QTransform(), font);
        rest_.prepare(QTransform(), font);
        const qreal width = dim_.size().width() + rest_.size().width();
        if (width <= room || font.pointSizeF() <= kSmallestPoints) break;
        font.setPointSizeF(std::max(kSmallestPoints, std::floor(font.pointSizeF() * room / width * 4) / 4));
    }
    valueFont_ = font;
}

void CbitsLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(QRect(0, 0, kBoxX, kHeight), kBackground);
    p.fillRect(QRect(kBoxX + kBoxW, 0, width() - kBoxX - kBoxW, kHeight), kBackground);
    const QRect box(kBoxX, 0, kBoxW, kHeight);
    p.fillRect(box, kBox);

    p.setFont(font());
    p.setPen(kCaption);
    p.drawStaticText(QPointF(0, (kHeight - name_.size().height()) / 2), name_);

    // Right-justified like the display, so digits of equal weight line up.
    p.setFont(valueFont_);
    const qreal restW = rest_.size().width();
    const qreal x = box.right() + 1 - kBoxPad - restW - dim_.size().width();
    const qreal y = (kHeight - rest_.size().height()) / 2;
    if (!dim_.text().isEmpty()) {
        p.setPen(kDimmed);
        p.drawStaticText(QPointF(x, y), dim_);
    }
    p.setPen(kValue);
    p.drawStaticText(QPointF(x + dim_.size().width(), y), rest_);
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
