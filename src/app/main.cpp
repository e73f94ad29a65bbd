// The calculator program: the application object, the icon, the one main
// window and the event loop. The window saves the state file when the loop
// ends, or else when it is destroyed, so it is destroyed on every way out of
// the loop. The exit status is 1 when the state could not be saved.
#include <QIcon>
#include <QPixmap>
#include <QString>

#include <memory>

#include "ui/application.h"
#include "ui/calc.h"

int main(int argc, char** argv) {
    // Qt's own command-line options are taken here; the calculator has none.
    CqzApplication app(argc, argv);
    // Lets the desktop match the running window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zentabula.Zentabula"));
    // Decoded as the PNG it is: QIcon given a file name would first consult
    // the MIME database, a file scan that costs more than the decoding.
    QApplication::setWindowIcon(QIcon(QPixmap(QStringLiteral(":/img_qz_icon"), "PNG")));

    std::unique_ptr<Ccalc> calc;
    bool saved = false;
    try {
        calc = std::make_unique<Ccalc>();
        calc->show();
        QApplication::exec();
        // A session whose state could not be kept does not end as a success.
        saved = calc->SaveState();
    } catch (...) {
        // Whatever escaped, the registers and the tape of this session are
        // written before the error is shown and the program ends.
        calc.reset();
        CqzApplication::ReportCurrentException();
        return 1;
    }
    calc.reset();
    return saved ? 0 : 1;
}
