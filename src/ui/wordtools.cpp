#include "ui/wordtools.h"

#include <QLabel>
#include <QToolButton>

#include "ui/application.h"
#include "ui/bitgrid.h"
#include "ui/calc_colours.h"
#include "wide/word_size.h"

namespace {

// Lined up with the panel's lines: the caption in their caption column, the
// sizes where their value boxes start, the operations at the right edge.
constexpr int kCaptionW = 78;
constexpr int kSizesX = 82;
constexpr int kSizeW = 36;
constexpr int kGap = 2;
constexpr int kSarW = 40;
constexpr int kByteSwapW = 56;
constexpr int kButtonH = 20;

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QString& accessible,
                        int x, int width) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setAccessibleName(accessible);
    b->setGeometry(x, (CwordTools::kHeight - kButtonH) / 2, width, kButtonH);
    // A click leaves the keyboard where it was, so typing goes on.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

CwordTools::CwordTools(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("wordTools"));
    setFixedSize(CbitGrid::kWidth, kHeight);

    auto* caption = new QLabel(QStringLiteral("Word size"), this);
    caption->setGeometry(0, 0, kCaptionW, kHeight);
    SetColour(caption, QPalette::WindowText, kModesColour);

    int x = kSizesX;
    for (const WordBits word : kWordSizes) {
        const int bits = static_cast<int>(BitsOf(word));
        const QString text = QString::number(bits);
        QToolButton* b = MakeButton(this, "", text, text + QStringLiteral(" bits"), x, kSizeW);
        b->setObjectName(QStringLiteral("word") + text);
        b->setCheckable(true);
        b->setAutoExclusive(true);
        connect(b, &QToolButton::clicked, this,
                [this, bits] { WithErrorDialog([this, bits] { emit SizeChosen(bits); }); });
        sizes_.push_back(b);
        x += kSizeW + kGap;
    }

    const int right = CbitGrid::kWidth;
    byteSwap_ = MakeButton(this, "byteSwap", QStringLiteral("BSWAP"), QStringLiteral("Byte swap"),
                           right - kByteSwapW, kByteSwapW);
    sar_ = MakeButton(this, "sar", QStringLiteral("SAR"), QStringLiteral("Shift right arithmetic"),
                      right - kByteSwapW - kGap - kSarW, kSarW);
    for (QToolButton* b : {sar_, byteSwap_}) {
        connect(b, &QToolButton::clicked, this,
                [this, b] { WithErrorDialog([this, b] { emit OperationAsked(b->text()); }); });
    }
    SetState(128, true);
}

QToolButton* CwordTools::SizeButton(int bits) const {
    for (std::size_t i = 0; i < sizes_.size(); ++i)
        if (static_cast<int>(BitsOf(kWordSizes[i])) == bits) return sizes_[i];
    return nullptr;
}

void CwordTools::SetState(int bits, bool integerTools) {
    if (QToolButton* b = SizeButton(bits); b && !b->isChecked()) b->setChecked(true);
    sar_->setEnabled(integerTools);
    byteSwap_->setEnabled(integerTools);
}
