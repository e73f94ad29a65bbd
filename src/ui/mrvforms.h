// The two window base classes. They give every window of the program the
// same keyboard conventions: a main form closes on Escape, Ctrl+Q and Ctrl+W;
// a dialog is fixed-size, cancels on Escape and confirms on Enter.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>

class QKeyEvent;
class QPushButton;

// Modifiers as the shortcuts compare them: the keypad flag says where a key
// sits, not what the user holds, so it never takes part.
Qt::KeyboardModifiers ShortcutModifiers(Qt::KeyboardModifiers mods);

class CmrvForm : public QWidget {
    Q_OBJECT

public:
    explicit CmrvForm(QWidget* parent = nullptr);

    // Called for every key press the focused control and its parents left
    // unhandled. Returns true when the key was used. Derived forms call the
    // base first and add their own keys when it returns false.
    virtual bool ShortcutKey(QWidget* origin, int key, Qt::KeyboardModifiers mods);

protected:
    // Builds the form's widgets; the most derived constructor calls it once.
    virtual void AfterCreate() {}
    void keyPressEvent(QKeyEvent* event) override;
};

class CmrvDialog : public QDialog {
    Q_OBJECT

public:
    explicit CmrvDialog(QWidget* parent = nullptr);

    virtual bool ShortcutKey(QWidget* origin, int key, Qt::KeyboardModifiers mods);

    // Places the dialog over the middle of form (or of the screen when form
    // is null). Returns the dialog.
    CmrvDialog* CenterOnForm(QWidget* form);

    // Clicked by Escape / by Enter; either may stay unset.
    QPointer<QPushButton> CancelButton;
    QPointer<QPushButton> DefaultButton;

protected:
    // Derived dialogs run this first, then build their widgets.
    virtual void AfterCreate();
    void keyPressEvent(QKeyEvent* event) override;
    // The size a dialog has when it is first shown becomes its only size.
    void showEvent(QShowEvent* event) override;
    // Keeps the dialog's buttons from acting on a key with a modifier.
    bool eventFilter(QObject* watched, QEvent* event) override;
};
