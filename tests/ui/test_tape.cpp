// The tape list and the register list: their growth, clicks that bring
// values back, clearing, and the text file export.
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

#include "uitest.h"

using namespace uitest;

namespace {

QTableWidget* TapeList(Ccalc& w) { return w.findChild<QTableWidget*>("tape"); }
QTableWidget* Registers(Ccalc& w) { return w.findChild<QTableWidget*>("registers"); }

// A real mouse click on a row of a list.
void ClickRow(QTableWidget* list, int row, int column = 0) {
    QTableWidgetItem* item = list->item(row, column);
    QVERIFY(item);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

void Mode(Ccalc& w, const char* radio) { w.findChild<QRadioButton*>(radio)->click(); }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A cell as the list draws it.
QImage Cell(QTableWidget* list, int row, int column) {
    QTableWidgetItem* item = list->item(row, column);
    if (!item) return {};
    list->scrollToItem(item);
    return list->viewport()->grab(list->visualItemRect(item)).toImage();
}

// The part of an image that holds the dark text of a list cell.
QImage TextOnly(const QImage& img) {
    QRect ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128) ink |= QRect(x, y, 1, 1);
    return img.copy(ink);
}

QByteArray Blanks(int n) { return QByteArray(n, ' '); }

const QByteArray kRule = QByteArray(45, '-') + "\n";

}  // namespace

class TestTape : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(AppDataDir() + "/qz.state");
        Errors().clear();
    }

    void keepsTheLatestHundredLines() {
        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Mode(w, "ModeDec");
        for (int i = 1; i <= 101; ++i) Type(w, (QByteArray::number(i) + "=").constData());
        QCOMPARE(w.TapeRows().size(), std::size_t{100});
        QCOMPARE(QString::fromStdString(w.TapeRows()[0].text), QString("= 2"));
        QCOMPARE(QString::fromStdString(w.TapeRows()[99].text), QString("= 101"));
        QCOMPARE(TapeList(w)->currentRow(), 99);  // the newest line is selected

        ClickRow(TapeList(w), 0);
        QCOMPARE(DisplayText(w), QString("2"));
        ClickRow(TapeList(w), 57);
        QCOMPARE(DisplayText(w), QString("59"));
        QVERIFY(Errors().isEmpty());
    }

    void clickBringsBackValueAndMode() {
        Ccalc w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        Mode(w, "ModeHex");
        Type(w, "ff+1=");
        QCOMPARE(TapeLines(w), (QStringList{"FFh", "+ 1h", "= 100h"}));
        Mode(w, "ModeFlt");
        Type(w, "2.5");
        ClickRow(TapeList(w), 0);
        QCOMPARE(DisplayText(w), QString("FF"));
        QVERIFY(w.findChild<QRadioButton*>("ModeHex")->isChecked());
        ClickRow(TapeList(w), 2);
        QCOMPARE(DisplayText(w), QString("100"));
        // The recalled value is the entry: an operator continues from it.
        Type(w, "+1=");
        QCOMPARE(DisplayText(w), QString("101"));
        QCOMPARE(QApplication::focusWidget(), Entry(w));
    }

    void clickWithoutRowDoesNothing() {
        Ccalc w;
        Type(w, "7");
        emit TapeList(w)->clicked(QModelIndex());
        QCOMPARE(DisplayText(w), QString("7"));
        QVERIFY(Errors().isEmpty());
    }

    // A 128-bit value in the tape and in the register list keeps both ends
    // readable: a change of its lowest digit and of its second-highest
    // digit each change what the rows show. Every register name is shown
    // whole, exactly as it is drawn with room to spare.
    void longValuesKeepBothEnds() {
        QImage tape[3], reg[3];
        const char* values[3] = {"80000000000000000000000000000001", "80000000000000000000000000000000",
                                 "C0000000000000000000000000000001"};
        for (int i = 0; i < 3; ++i) {
            QFile::remove(AppDataDir() + "/qz.state");
            Ccalc w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            Run(w, QString("ModeHex ") + values[i] + " ModeBin +0= s0");
            QCOMPARE(w.TapeRows().size(), std::size_t{3});
            QVERIFY(TapeLines(w)[2].startsWith("= 1"));
            QCOMPARE(Registers(w)->item(0, 1)->text().size(), 128);
            tape[i] = Cell(TapeList(w), 2, 0);
            reg[i] = Cell(Registers(w), 0, 1);
        }
        QVERIFY2(tape[0] != tape[1], "the tape hides the lowest digit");
        QVERIFY2(tape[0] != tape[2], "the tape hides the highest digits");
        QVERIFY2(reg[0] != reg[1], "the register list hides the lowest digit");
        QVERIFY2(reg[0] != reg[2], "the register list hides the highest digits");

        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTableWidget* regs = Registers(w);
        QList<QImage> names;
        for (int n = 0; n < 16; ++n) names << TextOnly(Cell(regs, n, 0));
        // An even change keeps the centred names on the same pixels.
        regs->setColumnWidth(0, regs->columnWidth(0) + 40);
        for (int n = 0; n < 16; ++n)
            QVERIFY2(TextOnly(Cell(regs, n, 0)) == names[n], qPrintable(regs->item(n, 0)->text()));
    }

    // A click anywhere on either list, with any button, leaves the keyboard
    // with the display; a click beside the rows changes nothing else.
    void clicksBesideTheRowsKeepTheKeyboard_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("shown");  // the display after the click
        for (int button : {int(Qt::LeftButton), int(Qt::RightButton), int(Qt::MiddleButton)}) {
            const QString b = QString::number(button);
            QTest::newRow(qPrintable("below the tape rows, button " + b)) << "tape"
                                                                          << "below" << button << "3";
            QTest::newRow(qPrintable("right of the register columns, button " + b))
                << "registers"
                << "right" << button << "3";
            QTest::newRow(qPrintable("tape scroll bar, button " + b)) << "tape"
                                                                      << "bar" << button << "3";
        }
        QTest::newRow("register row, right button") << "registers"
                                                    << "row" << int(Qt::RightButton) << "3";
        QTest::newRow("register row, left button") << "registers"
                                                   << "row" << int(Qt::LeftButton) << "4";
        QTest::newRow("tape row, left button") << "tape"
                                               << "row" << int(Qt::LeftButton) << "1";
    }

    void clicksBesideTheRowsKeepTheKeyboard() {
        QFETCH(QString, list);
        QFETCH(QString, where);
        QFETCH(int, button);
        QFETCH(QString, shown);
        Ccalc w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        Mode(w, "ModeDec");
        Type(w, "4s0x1+2=");
        QCOMPARE(TapeLines(w), (QStringList{"0", "1", "+ 2", "= 3"}));
        QTableWidget* target = w.findChild<QTableWidget*>(list);
        const int current = target->currentRow();
        const QList<QModelIndex> selected = target->selectionModel()->selectedIndexes();

        QWidget* part = target->viewport();
        QPoint at;
        if (where == "below") {
            at = QPoint(part->width() / 2, part->height() - 2);
            QVERIFY(target->rowViewportPosition(target->rowCount() - 1) + target->rowHeight(0) < at.y());
        } else if (where == "right") {
            at = QPoint(part->width() - 1, 5);
        } else if (where == "bar") {
            part = target->verticalScrollBar();
            at = QPoint(part->width() / 2, part->height() / 2);
        } else {
            // R0 holds 4; tape row 1 holds 1.
            const int row = list == "tape" ? 1 : 0;
            at = target->visualRect(target->model()->index(row, target->columnCount() - 1)).center();
        }
        if (where != "row" && where != "bar") QVERIFY(!target->indexAt(at).isValid());
        QTest::mouseClick(part, Qt::MouseButton(button), {}, at);

        QCOMPARE(QApplication::focusWidget(), Entry(w));
        QCOMPARE(DisplayText(w), shown);
        if (shown == "3") {
            QCOMPARE(target->currentRow(), current);
            QCOMPARE(target->selectionModel()->selectedIndexes(), selected);
        }
        // Keys reach the calculator, as typed by the user.
        QTest::keyClicks(QApplication::focusWidget(), "x5+5=");
        QCOMPARE(DisplayText(w), QString("10"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::NoModifier);
        QVERIFY(!w.isVisible());
        QVERIFY(Errors().isEmpty());
    }

    void tapeButtonClearsOnlyTheTape() {
        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Mode(w, "ModeDec");
        Type(w, "3+4=s2");
        Button(w, "bTape")->click();
        QVERIFY(w.TapeRows().empty());
        QCOMPARE(TapeList(w)->rowCount(), 0);
        QCOMPARE(Registers(w)->item(2, 1)->text(), QString("7"));
        QCOMPARE(DisplayText(w), QString("7"));
        Type(w, "9=");
        QCOMPARE(TapeLines(w), QStringList{"= 9"});
        Type(w, "x");
        ClickRow(TapeList(w), 0);
        QCOMPARE(DisplayText(w), QString("9"));
    }

    void registerClicks() {
        Ccalc w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        Mode(w, "ModeDec");
        Type(w, "5s3x");
        ClickRow(Registers(w), 3, 1);
        QCOMPARE(DisplayText(w), QString("5"));
        QCOMPARE(QApplication::focusWidget(), Entry(w));

        Type(w, "8");
        Button(w, "bStore")->click();
        ClickRow(Registers(w), 12, 0);
        QCOMPARE(Registers(w)->item(12, 1)->text(), QString("8"));
        QCOMPARE(w.RegPending(), Ccalc::raNone);
        // The next click recalls again.
        Type(w, "x");
        ClickRow(Registers(w), 3, 1);
        QCOMPARE(DisplayText(w), QString("5"));
    }

    // A click that reaches the register list while no row is focused used to
    // ask the machine for register -1 and pop an error dialog.
    void registerClickWithoutRowDoesNothing() {
        Ccalc w;
        Mode(w, "ModeDec");
        Type(w, "4");
        for (const char* pending : {"", "S"}) {
            Type(w, pending);  // nothing, or the store key
            Registers(w)->setCurrentIndex(QModelIndex());
            QCOMPARE(Registers(w)->currentRow(), -1);
            emit Registers(w)->clicked(QModelIndex());
            QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n')));
            QCOMPARE(DisplayText(w), QString("4"));
            for (int n = 0; n < 16; ++n) QCOMPARE(Registers(w)->item(n, 1)->text(), QString("0"));
        }
    }

    void exportEmpty() {
        Ccalc w;
        const QString path = HomeDir() + "/empty.txt";
        w.SetExportFileChooser([&] { return path; });
        Button(w, "bPrt")->click();
        QCOMPARE(ReadAll(path), QByteArray("\n\n") + kRule);
    }

    void exportTapeAndRegisters() {
        Ccalc w;
        Mode(w, "ModeDec");
        Type(w, "12+34=s1");
        Mode(w, "ModeHex");
        Type(w, "ff");
        Type(w, "sf");
        const QString path = HomeDir() + "/tape.txt";
        QFile::remove(path);
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(500, 'x'));  // an old, longer file is replaced
        stale.close();
        w.SetExportFileChooser([&] { return path; });
        Button(w, "bPrt")->click();
        const QByteArray expected = Blanks(43) + "12\n" + Blanks(41) + "+ 34\n" + Blanks(41) + "= 46\n" +
                                    "\n\n" + kRule + "R1" + Blanks(41) + "46\n" + "RF" + Blanks(41) + "FF\n";
        QCOMPARE(ReadAll(path), expected);
    }

    void exportLongLines() {
        Ccalc w;
        Mode(w, "ModeBin");
        Type(w, "1");
        Button(w, "bSHL")->click();
        Type(w, "1111111=s2");
        const QByteArray top = "1" + QByteArray(127, '0');
        QCOMPARE(TapeLines(w).last(), QString("= " + top + "b"));
        const QString path = HomeDir() + "/long.txt";
        w.SetExportFileChooser([&] { return path; });
        QTest::keyClick(Entry(w), Qt::Key_P, Qt::ControlModifier);
        const QByteArray expected = Blanks(43) + "1b\n" + Blanks(34) + "|< 1111111b\n" + "= " + top + "b\n" +
                                    "\n\n" + kRule + "R2" + top + "\n";
        QCOMPARE(ReadAll(path), expected);
    }

    void exportCancelledWritesNothing() {
        Ccalc w;
        Type(w, "1=");
        bool asked = false;
        w.SetExportFileChooser([&] {
            asked = true;
            return QString();
        });
        const QStringList before = QDir(HomeDir()).entryList(QDir::Files);
        Button(w, "bPrt")->click();
        QVERIFY(asked);
        QCOMPARE(QDir(HomeDir()).entryList(QDir::Files), before);
        QVERIFY(Errors().isEmpty());
    }

    void exportFailureIsReported() {
        Ccalc w;
        Type(w, "1=");
        const QString path = HomeDir() + "/no such folder/tape.txt";
        w.SetExportFileChooser([&] { return path; });
        Button(w, "bPrt")->click();
        QCOMPARE(Errors().size(), 1);
        QVERIFY2(Errors().first().contains("no such folder/tape.txt"), qPrintable(Errors().first()));
        Type(w, "+2=");
        QCOMPARE(DisplayText(w), QString("3"));
    }

    // The save dialog opens in the desktop folder the desktop environment
    // names, or in the home folder when there is none, and proposes
    // "tape.txt"; a typed name without an extension gets ".txt". Enter
    // writes the file there.
    void exportDialogFolderAndName_data() {
        QTest::addColumn<QString>("desktop");  // the folder made; "" none
        QTest::addColumn<bool>("named");       // named in user-dirs.dirs
        QTest::addColumn<QString>("typed");    // "" keeps the proposal
        QTest::addColumn<QString>("written");
        QTest::newRow("no desktop folder") << "" << false << ""
                                           << "tape.txt";
        QTest::newRow("no desktop folder, name typed") << "" << false << "mytape"
                                                       << "mytape.txt";
        QTest::newRow("Desktop") << "Desktop" << false << ""
                                 << "Desktop/tape.txt";
        QTest::newRow("Desktop, name with extension") << "Desktop" << false << "notes.log"
                                                      << "Desktop/notes.log";
        QTest::newRow("desktop named by the user folders") << "Schreibtisch" << true << ""
                                                           << "Schreibtisch/tape.txt";
    }

    void exportDialogFolderAndName() {
        QFETCH(QString, desktop);
        QFETCH(bool, named);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        const QString home = HomeDir();
        const QString userDirs = home + "/config/user-dirs.dirs";
        QDir(home).rmdir("Desktop");
        QFile::remove(userDirs);
        QFile::remove(home + "/" + written);  // an earlier test's export
        if (!desktop.isEmpty()) QDir(home).mkpath(desktop);
        if (named) {
            QDir(home).mkpath("config");
            QFile f(userDirs);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(("XDG_DESKTOP_DIR=\"$HOME/" + desktop + "\"\n").toUtf8());
        }

        // The other tests find the folders as the test program made them.
        const auto restore = qScopeGuard([&] {
            QFile::remove(home + "/" + written);
            QFile::remove(userDirs);
            if (!desktop.isEmpty() && desktop != "Desktop") QDir(home).rmdir(desktop);
            QDir(home).mkpath("Desktop");
        });

        Ccalc w;
        Mode(w, "ModeDec");
        Type(w, "1+2=");
        QString folder, proposed;
        QStringList filters;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            folder = dialog->directory().absolutePath();
            filters = dialog->nameFilters();
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (!edit) {
                dialog->reject();
                return;
            }
            proposed = edit->text();
            if (!typed.isEmpty()) {
                edit->selectAll();
                QTest::keyClicks(edit, typed);
            }
            // A question the dialog asks (a file to replace, say), and a
            // name it did not take, would leave the test waiting for good.
            auto* answer = new QTimer(dialog);
            QObject::connect(answer, &QTimer::timeout, [dialog] {
                QWidget* modal = QApplication::activeModalWidget();
                if (modal && modal != dialog) modal->close();
            });
            answer->start(5);
            QTest::keyClick(edit, Qt::Key_Return);
            if (dialog->isVisible()) dialog->reject();
        });
        Button(w, "bPrt")->click();

        const QString expectedFolder = desktop.isEmpty() ? home : home + "/" + desktop;
        QCOMPARE(folder, QDir(expectedFolder).absolutePath());
        QCOMPARE(filters, QStringList{"Text Files (*.txt)"});
        QCOMPARE(proposed, QString("tape.txt"));
        QVERIFY(ReadAll(home + "/" + written).contains("= 3"));
        QVERIFY(!QFileInfo(home + "/Desktop").isFile());
        QVERIFY(Errors().isEmpty());
    }
};

QZ_UI_TEST_MAIN(TestTape)
#include "test_tape.moc"
