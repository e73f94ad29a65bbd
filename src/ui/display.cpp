#include "ui/display.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Below this cap height digits stop being easy to tell apart.
constexpr qreal kMinCapHeight = 8.0;
// A binary number too long for one line is split after this many low digits.
constexpr qsizetype kBinaryLineDigits = 64;
// Before a font gets smaller still, its letters may move closer together by
// up to this fraction of its pixel size: a few pixels gained over a long
// line, while the digits stay clear of each other.
constexpr qreal kMaxSqueeze = 0.05;
// Two lines use the panel's height down to this many pixels from its frame.
constexpr int kTwoLineMargin = 2;

QFont SizedFont(const QFont& base, int pixels, qreal spacing = 0) {
    QFont f = base;
    f.setPixelSize(pixels);
    if (spacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return f;
}

qreal Widest(const QFontMetricsF& m, const QStringList& lines) {
    qreal w = 0;
    for (const QString& line : lines) w = std::max(w, m.horizontalAdvance(line));
    return w;
}

// Baseline to baseline of two lines: the digits carry no descenders, so a
// gap of 40% of their height keeps the lines apart.
qreal LinePitch(const QFontMetricsF& m) { return std::ceil(m.capHeight() * 1.4); }

bool IsBinary(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == u'0' || c == u'1'; });
}

// The lower line takes the low 64 digits of a binary number, so bit k sits
// at the same place on screen whatever the number's length; any other text
// is halved.
QStringList TwoLines(const QString& text) {
    const qsizetype low = IsBinary(text) ? kBinaryLineDigits : (text.size() + 1) / 2;
    return {text.left(text.size() - low), text.right(low)};
}

// The smallest pixel size whose cap height is still the minimum.
int MinPixels(const QFont& base, int basePixels) {
    const qreal cap = QFontMetricsF(base).capHeight();
    int px = cap > 0 ? static_cast<int>(std::ceil(kMinCapHeight * basePixels / cap)) : basePixels;
    px = std::clamp(px, 1, basePixels);
    while (px < basePixels && QFontMetricsF(SizedFont(base, px)).capHeight() < kMinCapHeight - 0.25) ++px;
    while (px > 1 && QFontMetricsF(SizedFont(base, px - 1)).capHeight() >= kMinCapHeight) --px;
    return px;
}

// The lines set at the given pixel size, if they fit the room; squeezing
// lets the letters move closer by up to kMaxSqueeze.
std::optional<CdisplayPanel::Fit> FitAt(const QFont& base, const QStringList& lines, int px, qreal width,
                                        qreal twoLineHeight, bool squeeze) {
    QFont f = SizedFont(base, px);
    const QFontMetricsF m(f);
    if (lines.size() == 2 && m.capHeight() + LinePitch(m) > twoLineHeight) return std::nullopt;
    const qreal w = Widest(m, lines);
    if (w <= width) return CdisplayPanel::Fit{f, lines, true};
    if (!squeeze) return std::nullopt;
    qsizetype letters = 0;
    for (const QString& line : lines) letters = std::max(letters, line.size());
    // Whole 1/64 pixels, which is what the text layout works in.
    const qreal spacing = -std::ceil((w - width) / static_cast<qreal>(letters) * 64) / 64;
    if (-spacing > kMaxSqueeze * px) return std::nullopt;
    f = SizedFont(base, px, spacing);
    if (Widest(QFontMetricsF(f), lines) > width) return std::nullopt;
    return CdisplayPanel::Fit{f, lines, true};
}

// Sets text in a room `width` wide: the panel's font if the text fits,
// else one smaller line, else two lines, each as large as fits, and below
// the minimum size only when nothing else does.
CdisplayPanel::Fit FitText(const QString& text, const QFont& base, qreal width, qreal twoLineHeight) {
    const QFontMetricsF baseMetrics(base);
    const qreal natural = baseMetrics.horizontalAdvance(text);
    if (natural <= width || text.size() < 2) return {base, {text}, false};

    const int basePx = std::max(1, QFontInfo(base).pixelSize());
    const int minPx = MinPixels(base, basePx);
    // Digits scale with the font, so the first guess is usually the answer.
    const auto guess = [&](qreal w) {
        return std::clamp(static_cast<int>(std::floor(basePx * width / w)), 1, basePx);
    };

    const QStringList one{text};
    for (int px = std::min(guess(natural), basePx - 1); px >= minPx; --px)
        if (auto fit = FitAt(base, one, px, width, twoLineHeight, false)) return *fit;
    if (auto fit = FitAt(base, one, minPx, width, twoLineHeight, true)) return *fit;

    const QStringList two = TwoLines(text);
    for (int px = guess(Widest(baseMetrics, two)); px >= minPx; --px)
        if (auto fit = FitAt(base, two, px, width, twoLineHeight, false)) return *fit;
    for (int px = minPx; px > 1; --px)
        if (auto fit = FitAt(base, two, px, width, twoLineHeight, true)) return *fit;
    return {SizedFont(base, 1), two, true};
}

}  // namespace

CdisplayPanel::CdisplayPanel(QWidget* parent) : QLabel(parent) { setFocusPolicy(Qt::StrongFocus); }

void CdisplayPanel::SetReservedLeft(int pixels) {
    // The window sets it after every key; only a change needs a repaint.
    if (pixels == reservedLeft_) return;
    reservedLeft_ = pixels;
    fitValid_ = false;
    update(contentsRect());
}

void CdisplayPanel::keyPressEvent(QKeyEvent* event) {
    if (OnKey) {
        event->accept();
        OnKey(event);
    } else {
        QLabel::keyPressEvent(event);
    }
}

void CdisplayPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        fitValid_ = false;
        advancesValid_ = false;
    }
    QLabel::changeEvent(event);
}

const CdisplayPanel::Fit& CdisplayPanel::CurrentFit() {
    const QString t = text();
    const int m = margin();
    const QRect area = contentsRect().adjusted(m, m, -m, -m);
    const Qt::Alignment align = alignment();
    if (fitValid_ && t == fitText_ && area == fitArea_ && align == fitAlign_) return fit_;

    // A right-justified text may reach the reserved strip's edge; a centred
    // one keeps clear of it on both sides.
    const int intrusion = std::max(0, reservedLeft_ - area.left());
    const int width = (align & Qt::AlignHCenter) ? area.width() - 2 * intrusion : area.width() - intrusion;
    if (SurelyFits(t, width))
        fit_ = Fit{font(), {t}, false};
    else
        fit_ = FitText(t, font(), std::max(width, 1), contentsRect().height() - 2 * kTwoLineMargin);
    fitText_ = t;
    fitArea_ = area;
    fitAlign_ = align;
    fitValid_ = true;
    return fit_;
}

// Whether the text fits the width in the panel's own font, known without
// laying it out: the sum of its characters' advances is what the layout
// gives but for kerning and ligatures, which move letters by far less than
// the allowance. Most texts are far shorter than the panel; only those near
// its width, or with other characters, are measured in full.
bool CdisplayPanel::SurelyFits(const QString& text, qreal width) {
    if (!advancesValid_) {
        const QFontMetricsF m(font());
        for (char16_t c = 32; c < 127; ++c) advances_[c] = m.horizontalAdvance(QChar(c));
        allowance_ = 0.05 * QFontInfo(font()).pixelSize();
        advancesValid_ = true;
    }
    qreal sum = 0;
    for (const QChar c : text) {
        if (c.unicode() < 32 || c.unicode() >= 127) return false;
        sum += advances_[c.unicode()];
    }
    return sum + 1 + allowance_ * static_cast<qreal>(text.size()) <= width;
}

void CdisplayPanel::paintEvent(QPaintEvent* event) {
    const Fit& fit = CurrentFit();
    // Every text is drawn here, not by QLabel: a label that takes the focus
    // lays its text out through a whole text document on every change,
    // which cost more than the rest of a key's work.
    QPainter p(this);
    // A new text repaints only the contents; the style draws the sunken
    // frame line by line, which took nearly half of such a repaint. At a
    // pixel density that is not whole the contents share device pixels with
    // the frame, which must then be drawn again.
    const qreal dpr = devicePixelRatioF();
    if (!contentsRect().contains(event->rect()) || dpr != std::floor(dpr)) drawFrame(&p);
    p.setPen(palette().color(foregroundRole()));
    p.setFont(fit.font);
    if (fit.lines.size() == 1) {
        p.drawText(fitArea_, static_cast<int>(fitAlign_), fit.lines.front());
        return;
    }
    // Both lines end at the right edge; the pair sits in the middle of the
    // panel's height.
    const QFontMetricsF m(fit.font);
    const qreal cap = m.capHeight(), pitch = LinePitch(m);
    const QRectF inner = contentsRect();
    qreal baseline = std::round(inner.center().y() - (cap + pitch) / 2 + cap);
    // The layout puts letter spacing after the last letter too; the ink
    // ends before it.
    const qreal right = fitArea_.x() + fitArea_.width() + fit.font.letterSpacing();
    for (const QString& line : fit.lines) {
        p.drawText(QPointF(right - m.horizontalAdvance(line), baseline), line);
        baseline += pitch;
    }
}
