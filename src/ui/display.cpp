#include "ui/display.h"

#include <QKeyEvent>

CdisplayPanel::CdisplayPanel(QWidget* parent) : QLabel(parent) { setFocusPolicy(Qt::StrongFocus); }

void CdisplayPanel::keyPressEvent(QKeyEvent* event) {
    if (OnKey) {
        event->accept();
        OnKey(event);
    } else {
        QLabel::keyPressEvent(event);
    }
}
