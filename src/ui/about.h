// The about dialog and the help launcher, the two services behind the
// "bAbout" and "bHelp" buttons of the main window.
#pragma once

#include "ui/mrvforms.h"

class QLabel;
class QPushButton;

class CfrmAbout : public CmrvDialog {
    Q_OBJECT

public:
    explicit CfrmAbout(QWidget* parent = nullptr);

    QLabel* lTitle = nullptr;
    QPushButton* bOK = nullptr;

protected:
    void AfterCreate() override;
};

// Shows the about dialog modally over mainWindow, titled with its window
// title, and returns when it closes.
void ShowAbout(QWidget* mainWindow);

// Starts the help viewer on the help file, without waiting for it. Throws
// "Failed to find the help viewer." when there is no viewer to start.
void OpenHelp();
