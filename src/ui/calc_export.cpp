// The tape export: a plain text file of the tape and the non-zero registers.
#include <QFile>
#include <QFileDialog>
#include <QTableWidget>

#include <stdexcept>

#include "ui/calc.h"

namespace {

constexpr std::size_t kColumn = 45;

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

void Ccalc::ExportTape() {
    const QString name =
        ChooseExportFile
            ? ChooseExportFile()
            : QFileDialog::getSaveFileName(this, QString(), SaveDir, QStringLiteral("Text Files (*.txt)"));
    if (name.isEmpty()) return;

    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(TapeRowCount()));
    for (int k = 0; k < TapeRowCount(); ++k) rows.push_back(TapeText(k));
    std::vector<std::pair<std::string, std::string>> regs;
    for (int n = 0; n < kRegisterCount; ++n)
        regs.emplace_back(registers_->item(n, 0)->text().toLatin1().toStdString(),
                          registers_->item(n, 1)->text().toLatin1().toStdString());
    const std::string text = FormatTapeExport(rows, regs);

    // Text mode gives the platform's line end.
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        throw std::runtime_error(
            QStringLiteral("Cannot create \"%1\": %2").arg(name, file.errorString()).toStdString());
    const qint64 written = file.write(text.data(), static_cast<qint64>(text.size()));
    file.close();
    if (written != static_cast<qint64>(text.size()) || file.error() != QFileDevice::NoError)
        throw std::runtime_error(
            QStringLiteral("Cannot write \"%1\": %2").arg(name, file.errorString()).toStdString());
    FocusDisplay();
}
