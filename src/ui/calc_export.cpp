// The tape export: a plain text file of the tape and the non-zero registers.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>
#include <stdexcept>

#include "fdio/fdio.h"
#include "ui/calc.h"

namespace {

// The desktop folder as the desktop environment names it, when it exists
// (now: it may have come or gone since the window opened); else the home
// folder.
QString ExportDir() {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return desktop;
    return QDir::homePath();
}

const QString kTextFilter = QStringLiteral("Text Files (*.txt)");

// name with ".txt" added when it has no extension and the dialog's text
// filter was chosen.
QString WithTextSuffix(const QString& name, const QString& filter) {
    if (filter != kTextFilter || name.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
    return name + (name.endsWith(QLatin1Char('.')) ? QStringLiteral("txt") : QStringLiteral(".txt"));
}

// The save dialog, in the desktop folder (or the home folder when there is
// none), proposing "tape.txt". An empty result cancels.
QString AskExportFile(QWidget* parent) {
    const QString dir = ExportDir();
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(kTextFilter);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setDirectory(dir);
    dialog.selectFile(QDir(dir).filePath(QStringLiteral("tape.txt")));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return {};
    // Not every platform's dialog adds the suffix itself.
    return WithTextSuffix(files.front(), dialog.selectedNameFilter());
}

}  // namespace

void Ccalc::ExportTape() {
    const QString name = chooseExportFile_ ? chooseExportFile_() : AskExportFile(this);
    if (name.isEmpty()) return;

    const std::string text = TapeExportText(tape_, mach_->Registers(), mach_->WordSize());

    // Written beside the old file and put in its place only when whole: a
    // full disk must not cost the previous export.
    bool failedToCreate = false;
    if (const int err = ReplaceFileContent(QFile::encodeName(name).toStdString(), text, failedToCreate))
        throw std::runtime_error(QStringLiteral("Cannot %1 \"%2\": %3")
                                     .arg(failedToCreate ? QStringLiteral("create") : QStringLiteral("write"),
                                          name, QString::fromLocal8Bit(std::strerror(err)))
                                     .toStdString());
    FocusDisplay();
}
