#include "ui/application.h"

#include <QCoreApplication>
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

QString CqzApplication::HelpViewerPath() const {
    QString path = HelpViewerDir() + QStringLiteral("/docview");
    const QString ext = QFileInfo(QCoreApplication::applicationFilePath()).suffix();
    if (!ext.isEmpty()) path += QLatin1Char('.') + ext;
    return path;
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
                    QStringLiteral("An unexpected error occurred."), QMessageBox::Ok);
    box.setInformativeText(message);
    box.exec();
}

CqzApplication* qzApp() { return qobject_cast<CqzApplication*>(QCoreApplication::instance()); }
