#include "ui/mrvforms.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

Qt::KeyboardModifiers ShortcutModifiers(Qt::KeyboardModifiers mods) {
    return mods & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
}

CmrvForm::CmrvForm(QWidget* parent) : QWidget(parent) {}

bool CmrvForm::ShortcutKey(QWidget* /*origin*/, int key, Qt::KeyboardModifiers mods) {
    mods = ShortcutModifiers(mods);
    const bool close = (key == Qt::Key_Q && mods == Qt::ControlModifier) ||
                       (key == Qt::Key_W && mods == Qt::ControlModifier) ||
                       (key == Qt::Key_Escape && mods == Qt::NoModifier);
    if (!close) return false;
    this->close();
    return true;
}

// A key the shortcuts leave goes on to the parent, as QWidget's own handler
// would send it.
void CmrvForm::keyPressEvent(QKeyEvent* event) {
    event->setAccepted(ShortcutKey(focusWidget(), event->key(), event->modifiers()));
}

CmrvDialog::CmrvDialog(QWidget* parent) : QDialog(parent) {}

void CmrvDialog::AfterCreate() {
    // Dialogs are laid out by hand in pixels, so they are never resizable.
    setSizeGripEnabled(false);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
}

void CmrvDialog::showEvent(QShowEvent* event) {
    setFixedSize(size());
    // A focused button clicks itself on Enter or Space whatever modifier is
    // held; in a dialog a key with a modifier does nothing. Installing
    // again on a later show is harmless.
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) b->installEventFilter(this);
    QDialog::showEvent(event);
}

bool CmrvDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space:
            case Qt::Key_Select:
                if (ShortcutModifiers(key->modifiers()) != Qt::NoModifier) {
                    event->accept();
                    return true;
                }
                break;
            default: break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool CmrvDialog::ShortcutKey(QWidget* /*origin*/, int key, Qt::KeyboardModifiers mods) {
    if (ShortcutModifiers(mods) != Qt::NoModifier) return false;
    if (key == Qt::Key_Escape) {
        if (CancelButton)
            CancelButton->click();
        else
            reject();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (DefaultButton)
            DefaultButton->click();
        else
            accept();
        return true;
    }
    return false;
}

void CmrvDialog::keyPressEvent(QKeyEvent* event) {
    // QDialog's own handling would act on Ctrl+Enter and the like; the
    // dialog's keys are exactly those of ShortcutKey.
    event->setAccepted(ShortcutKey(focusWidget(), event->key(), event->modifiers()));
}

CmrvDialog* CmrvDialog::CenterOnForm(QWidget* form) {
    if (!form) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
        return this;
    }
    // Client areas are centred on each other, so the result does not depend
    // on the window manager's frame sizes. Integer division truncates toward
    // zero, which a dialog larger than the form relies on.
    const QRect f = form->geometry();
    setGeometry(f.x() + (f.width() - width()) / 2, f.y() + (f.height() - height()) / 2, width(), height());
    return this;
}
