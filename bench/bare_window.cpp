// The floor for the calculator's start-up measurement (tools/bench-startup):
// a plain Qt window of the same size with the same widgets as the
// calculator's main window (two tables in a splitter on a panel, a display
// label with its counter, a group box of seven radio buttons and two picture
// buttons, 27 keypad buttons) and no logic at all. Whatever qz costs beyond
// this is the price of the calculator itself.
#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTableWidget>
#include <QWidget>

namespace {

QTableWidget* Table(QWidget* parent, int rows, int columns) {
    auto* table = new QTableWidget(rows, columns, parent);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            table->setItem(
                r, c,
                new QTableWidgetItem(c == 0 ? QStringLiteral("R%1").arg(r, 0, 16) : QStringLiteral("0")));
    return table;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(480, 272);

    auto* outputs = new QFrame(&window);
    outputs->setGeometry(8, 4, 464, 80);
    auto* split = new QSplitter(outputs);
    split->setGeometry(2, 2, 460, 76);
    split->addWidget(Table(split, 16, 2));
    split->addWidget(Table(split, 0, 1));

    auto* entry = new QLabel(QStringLiteral("0"), &window);
    entry->setGeometry(8, 88, 464, 32);
    entry->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    entry->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* parenCt = new QLabel(QStringLiteral("(0"), entry);
    parenCt->setGeometry(6, 6, 24, 20);
    parenCt->hide();

    auto* modes = new QGroupBox(&window);
    modes->setGeometry(8, 120, 464, 32);
    auto* group = new QButtonGroup(&window);
    const char* captions[] = {"IPv6", "IPv4", "16", "10", "8", "2", "Float"};
    int left = 8;
    for (const char* caption : captions) {
        auto* radio = new QRadioButton(QString::fromLatin1(caption), modes);
        radio->setGeometry(left, 9, 48, 20);
        group->addButton(radio);
        left += 48;
    }
    new QPushButton(modes);  // help
    new QPushButton(modes);  // about

    for (int k = 0; k < 27; ++k) {
        auto* key = new QPushButton(QStringLiteral("K%1").arg(k), &window);
        key->setGeometry(8 + (k % 9) * 53, 164 + (k / 9) * 36, 40, 24);
    }

    window.show();
    return app.exec();
}
