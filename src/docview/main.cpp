// docview: shows one help file. Started by the calculator beside which it is
// installed, with the file's bare name as its only argument.
//
//     docview FILE           show FILE (Markdown) in a window
//     docview --where FILE   print where FILE would be read from, or why not
#include <QApplication>
#include <QDir>
#include <QTextBrowser>
#include <QTextStream>

#include "docview/helpfile.h"
#include "docview/viewer.h"

namespace {

HelpLookup Locate(const QString& name) {
    return FindHelpFile(name, HelpSearchDirs(QDir::currentPath(), QCoreApplication::applicationDirPath()));
}

int PrintLocation(const QString& name) {
    const HelpLookup found = Locate(name);
    if (found.path.isEmpty()) {
        QTextStream(stderr) << NotFoundText(name, found.tried);
        return 1;
    }
    QTextStream(stdout) << QDir::toNativeSeparators(found.path) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Looking a file up needs no display, so it is done without one.
    if (argc == 3 && QByteArray(argv[1]) == "--where") {
        QCoreApplication app(argc, argv);
        return PrintLocation(QCoreApplication::arguments().at(2));
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("docview"));
    const QStringList args = QApplication::arguments();  // Qt's own options removed
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: docview FILE\n";
        return 2;
    }

    const QString& name = args.at(1);
    CdocViewer viewer;
    const HelpLookup found = Locate(name);
    bool shown = false;
    if (found.path.isEmpty())
        viewer.ShowMessage(QStringLiteral("Help"), NotFoundText(name, found.tried));
    else
        shown = viewer.LoadFile(found.path);
    if (!shown) QTextStream(stderr) << viewer.Browser()->toPlainText() << '\n';
    viewer.show();
    const int rc = QApplication::exec();
    return shown ? rc : 1;
}
