// The tape export: a plain text file of the tape and the non-zero registers.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTableWidget>

#include <cstring>
#include <stdexcept>

#include "fdio/fdio.h"
#include "ui/calc.h"

namespace {

constexpr std::size_t kColumn = 45;
const QString kTextFilter = QStringLiteral("Text Files (*.txt)");

void RightAligned(std::string& out, std::string_view left, std::string_view right) {
    const std::size_t used = left.size() + right.size();
    out += left;
    if (used < kColumn) out.append(kColumn - used, ' ');
    out += right;
    out += '\n';
}

}  // namespace

std::string FormatTapeExport(const std::vector<std::string>& tapeRows,
                             const std::vector<std::pair<std::string, std::string>>& registers) {
    std::string out;
    for (const std::string& row : tapeRows) RightAligned(out, {}, row);
    out += "\n\n";
    out.append(kColumn, '-');
    out += '\n';
    for (const auto& [name, value] : registers)
        if (value != "0") RightAligned(out, name, value);
    return out;
}

QString DefaultExportDir() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return desktop;
    return QDir::homePath();
}

QString WithTextSuffix(const QString& name, const QString& filter) {
    if (filter != kTextFilter || name.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
    return name + (name.endsWith(QLatin1Char('.')) ? QStringLiteral("txt") : QStringLiteral(".txt"));
}

QString Ccalc::AskExportFile() {
    // The folder may have gone since the window opened.
    const QString dir = QFileInfo(SaveDir).isDir() ? SaveDir : DefaultExportDir();
    QFileDialog dialog(this);
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

void Ccalc::ExportTape() {
    const QString name = ChooseExportFile ? ChooseExportFile() : AskExportFile();
    if (name.isEmpty()) return;

    std::vector<std::string> rows;
    rows.reserve(tape_.size());
    for (const TapeRow& row : tape_.Rows()) rows.push_back(row.text);
    std::vector<std::pair<std::string, std::string>> regs;
    for (int n = 0; n < kRegisterCount; ++n)
        regs.emplace_back(registers_->item(n, 0)->text().toLatin1().toStdString(),
                          registers_->item(n, 1)->text().toLatin1().toStdString());
    const std::string text = FormatTapeExport(rows, regs);

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
