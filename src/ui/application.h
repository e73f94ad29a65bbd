// The application object: holds the help settings and turns every exception
// that leaves an event handler into the error dialog, so one failed action
// never ends the program.
#pragma once

#include <QApplication>
#include <QString>

#include <functional>

class CqzApplication : public QApplication {
    Q_OBJECT

public:
    CqzApplication(int& argc, char** argv);

    // Qt's widget code is built without exception support, so an exception
    // must never unwind through it: this is the last line of defence for
    // anything a handler did not catch itself.
    bool notify(QObject* receiver, QEvent* event) override;

    // The help file handed to the viewer: "qz.inf".
    QString HelpFile() const { return helpFile_; }

    // The folder the help viewer is looked for in; the executable's own
    // folder unless set (tests point it elsewhere).
    QString HelpViewerDir() const;
    void SetHelpViewerDir(const QString& dir) { helpViewerDir_ = dir; }
    // Full path of the viewer: "docview" with the executable's extension,
    // in that folder or else in the installed libexec folder relative to it
    // (bin/../libexec/zentabula). The path beside the executable when
    // neither exists.
    QString HelpViewerPath() const;

    // Shows the error dialog for the exception being handled. Call only from
    // inside a catch block.
    static void ReportCurrentException();
    // Shows "An unexpected error occurred." with the message and one OK
    // button, modally; or hands the message to ErrorHook when one is set.
    static void ReportError(const QString& message);

    // The window a dialog of the program belongs to: the modal dialog that
    // is up, else the active window, else the first main window shown; a
    // tool window gives way to the window it belongs to. A dialog given it
    // as its parent opens above it, also while that window stays on top of
    // all others. Null when no window is up.
    static QWidget* DialogOwner();

    // Replaces the modal error dialog (tests record the messages here).
    static std::function<void(const QString& message)> ErrorHook;

private:
    QString helpFile_ = QStringLiteral("qz.inf");
    QString helpViewerDir_;
};

// The application object if it is a CqzApplication, else nullptr.
CqzApplication* qzApp();

// Runs one event handler's work; an exception it raises ends that work and
// is shown in the error dialog. Handlers use this instead of letting the
// exception travel through Qt's frames.
template <typename Fn>
void WithErrorDialog(Fn&& fn) {
    try {
        fn();
    } catch (...) {
        CqzApplication::ReportCurrentException();
    }
}
