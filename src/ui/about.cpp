#include "ui/about.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStyle>

#include <stdexcept>

#include "ui/application.h"

CfrmAbout::CfrmAbout(QWidget* parent) : CmrvDialog(parent) { AfterCreate(); }

void CfrmAbout::AfterCreate() {
    CmrvDialog::AfterCreate();
    setObjectName(QStringLiteral("about"));
    setGeometry(292, 98, 368, 137);
    setFixedSize(368, 137);
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));

    lTitle = new QLabel(this);
    lTitle->setObjectName(QStringLiteral("lTitle"));
    lTitle->setGeometry(0, 0, 368, 22);
    lTitle->setAlignment(Qt::AlignCenter);

    bOK = new QPushButton(QStringLiteral("OK"), this);
    bOK->setObjectName(QStringLiteral("bOK"));
    bOK->setGeometry(144, 104, 80, 24);
    bOK->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
    bOK->setAccessibleName(QStringLiteral("OK"));
    bOK->setDefault(true);
    connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
    DefaultButton = bOK;
}

void ShowAbout(QWidget* mainWindow) {
    CfrmAbout about;
    about.CenterOnForm(mainWindow);
    about.lTitle->setText(mainWindow ? mainWindow->windowTitle() : QString());
    about.exec();
}

void OpenHelp() {
    const CqzApplication* app = qzApp();
    const QString viewer = app ? app->HelpViewerPath() : QCoreApplication::applicationDirPath() + QStringLiteral("/docview");
    const QString helpFile = app ? app->HelpFile() : QStringLiteral("qz.inf");
    if (!QFileInfo(viewer).isFile())
        throw std::runtime_error("Failed to find the help viewer.");
    // A viewer that exists but cannot be started (not executable, for
    // example) is as much a failure for the user as a missing one.
    if (!QProcess::startDetached(viewer, {helpFile}))
        throw std::runtime_error("Failed to start the help viewer.");
}
