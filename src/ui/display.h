// The calculator's display: a lowered panel that shows the machine's text
// and takes the keyboard. It does nothing with a key itself; its owner
// decides, so the window keeps all key rules in one place.
#pragma once

#include <QLabel>

#include <functional>

class CdisplayPanel : public QLabel {
    Q_OBJECT

public:
    explicit CdisplayPanel(QWidget* parent = nullptr);

    // Receives every key press that reaches the display.
    std::function<void(QKeyEvent*)> OnKey;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
