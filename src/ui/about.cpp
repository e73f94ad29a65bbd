#include "ui/about.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QtGlobal>

#include <stdexcept>

#include "ui/application.h"
#include "ui/drawn_icons.h"

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
    // The style's "yes" image is a shaded ball that reads as a grey blob at
    // button size; a drawn tick says "confirm" at a glance.
    bOK->setIcon(TickIcon(QColor(0x2E, 0x7D, 0x32)));
    bOK->setAccessibleName(QStringLiteral("OK"));
    bOK->setDefault(true);
    connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
    DefaultButton = bOK;

    // Between the title and the button: the program's icon and what the
    // program is, centred as one block, 17 px clear of the title and of the
    // button.
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    content->setGeometry(0, 39, 368, 48);
    auto* icon = new QLabel(content);
    icon->setObjectName(QStringLiteral("lIcon"));
    icon->setPixmap(QPixmap(QStringLiteral(":/img_qz_icon"), "PNG"));
    icon->setFixedSize(48, 48);
    auto* about = new QLabel(content);
    about->setObjectName(QStringLiteral("lAbout"));
    about->setText(QStringLiteral("A calculator for programmers\nBuilt with Qt %1")
                       .arg(QString::fromLatin1(qVersion())));
    about->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addStretch();
    row->addWidget(icon);
    row->addWidget(about);
    row->addStretch();
}

void ShowAbout(QWidget* mainWindow) {
    // Owned by the window, so that it opens above it, also while the window
    // stays on top of all others.
    CfrmAbout about(mainWindow);
    about.CenterOnForm(mainWindow);
    about.lTitle->setText(mainWindow ? mainWindow->windowTitle() : QString());
    about.exec();
}

void OpenHelp() {
    const CqzApplication* app = qzApp();
    const QString viewer =
        app ? app->HelpViewerPath() : QCoreApplication::applicationDirPath() + QStringLiteral("/docview");
    const QString helpFile = app ? app->HelpFile() : QStringLiteral("qz.inf");
    if (!QFileInfo(viewer).isFile()) throw std::runtime_error("Failed to find the help viewer.");
    // A viewer that exists but cannot be started (not executable, for
    // example) is as much a failure for the user as a missing one.
    if (!QProcess::startDetached(viewer, {helpFile}))
        throw std::runtime_error("Failed to start the help viewer.");
}
