// The calculator's display: a lowered panel that shows the machine's text
// and takes the keyboard. It does nothing with a key itself; its owner
// decides, so the window keeps all key rules in one place.
//
// Every text is shown in full. A text too wide for the panel is set in a
// smaller font, down to about 8 px of cap height; a binary number that
// still does not fit is broken into two right-justified lines of 64 digits,
// the low digits below, so each bit keeps its column.
#pragma once

#include <QFont>
#include <QLabel>
#include <QStringList>

#include <array>
#include <functional>

class CdisplayPanel : public QLabel {
    Q_OBJECT

public:
    explicit CdisplayPanel(QWidget* parent = nullptr);

    // Receives every key press that reaches the display.
    std::function<void(QKeyEvent*)> OnKey;

    // Pixels at the panel's left edge that a long text keeps clear of, for a
    // control that sits there (the parenthesis counter).
    void SetReservedLeft(int pixels);

    // How a text is set in the panel: the font and one or two lines.
    struct Fit {
        QFont font;
        QStringList lines;
        bool shrunk = false;  // false: the panel's own font, one line
    };

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    const Fit& CurrentFit();
    bool SurelyFits(const QString& text, qreal width);

    int reservedLeft_ = 0;
    // The last fit and what it was made for; a paint with the same text in
    // the same place reuses it.
    Fit fit_;
    QString fitText_;
    QRect fitArea_;
    Qt::Alignment fitAlign_;
    bool fitValid_ = false;
    // Advances of the printable ASCII characters in the panel's font.
    std::array<qreal, 128> advances_{};
    qreal allowance_ = 0;  // for kerning, per character
    bool advancesValid_ = false;
};
