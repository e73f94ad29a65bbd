#include "ui/application.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <exception>

std::function<void(const QString&)> CqzApplication::ErrorHook;

CqzApplication::CqzApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool CqzApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
    }
    return false;
}

QString CqzApplication::HelpViewerDir() const {
    return helpViewerDir_.isEmpty() ? QCoreApplication::applicationDirPath() : helpViewerDir_;
}

#ifndef QZ_VIEWER_RELDIR
#define QZ_VIEWER_RELDIR "../libexec/zentabula"
#endif

QString CqzApplication::HelpViewerPath() const {
    QString name = QStringLiteral("docview");
    const QString ext = QFileInfo(QCoreApplication::applicationFilePath()).suffix();
    if (!ext.isEmpty()) name += QLatin1Char('.') + ext;
    const QDir dir(HelpViewerDir());
    // Beside the calculator first: that is where a build tree has it. An
    // installation keeps it out of bin, in libexec, which is found relative
    // to the calculator so that a moved installation works as well.
    QString beside = dir.filePath(name);
    if (QFileInfo(beside).isFile()) return beside;
    QString installed = QDir::cleanPath(dir.filePath(QStringLiteral(QZ_VIEWER_RELDIR "/") + name));
    if (QFileInfo(installed).isFile()) return installed;
    return beside;
}

void CqzApplication::ReportCurrentException() {
    QString message;
    try {
        throw;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        // Nothing more is known about a foreign exception; the dialog still
        // tells the user that the action did not complete.
        message = QStringLiteral("Unknown error.");
    }
    ReportError(message);
}

void CqzApplication::ReportError(const QString& message) {
    if (ErrorHook) {
        ErrorHook(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                    QStringLiteral("An unexpected error occurred."), QMessageBox::Ok, DialogOwner());
    box.setInformativeText(message);
    box.exec();
}

QWidget* CqzApplication::DialogOwner() {
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
    if (!owner) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->windowType() == Qt::Window) {
                owner = w;
                break;
            }
        }
    }
    // A tool window (the bits panel) belongs to a main window: the dialog
    // goes to that, and so above both.
    while (owner && owner->windowType() == Qt::Tool && owner->parentWidget())
        owner = owner->parentWidget()->window();
    return owner;
}

CqzApplication* qzApp() { return qobject_cast<CqzApplication*>(QCoreApplication::instance()); }
