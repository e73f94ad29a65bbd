// The bits panel's row of word tools: the word size (8, 16, 32, 64 or 128
// bits) and the two operations that go with it, SAR (the arithmetic shift
// right) and BSWAP (the byte swap). Like the panel, the row only shows what
// it is given and reports what the user asks for.
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QToolButton;

class CwordTools : public QWidget {
    Q_OBJECT

public:
    explicit CwordTools(QWidget* parent = nullptr);

    // The word size shown chosen, and whether SAR and BSWAP apply (they do
    // not to a float).
    void SetState(int bits, bool integerTools);

    QToolButton* SizeButton(int bits) const;  // null for a size the row has not
    QToolButton* SarButton() const { return sar_; }
    QToolButton* ByteSwapButton() const { return byteSwap_; }

    static constexpr int kHeight = 22;

signals:
    void SizeChosen(int bits);
    // "SAR" or "BSWAP": the caption of the button, as keys.h names it.
    void OperationAsked(const QString& caption);

private:
    std::vector<QToolButton*> sizes_;
    QToolButton* sar_ = nullptr;
    QToolButton* byteSwap_ = nullptr;
};
