// The state file as the user meets it: what one run leaves, the next run
// finds again; a file that cannot be written or read in full is reported.
#include <QMessageBox>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "../state/failing_disk.h"
#include "state/statefile.h"

#include "uitest.h"

using namespace uitest;

namespace {

QString StateFile() { return uitest::AppDataDir() + "/qz.state"; }

QTableWidget* Tape(Ccalc& w) { return w.findChild<QTableWidget*>("tape"); }
QString Register(Ccalc& w, int n) { return w.findChild<QTableWidget*>("registers")->item(n, 1)->text(); }
bool Checked(Ccalc& w, const char* radio) { return w.findChild<QRadioButton*>(radio)->isChecked(); }

// Recalls tape row k as a click would.
QString RecallRow(Ccalc& w, int k) {
    Tape(w)->setCurrentCell(k, 0);
    emit Tape(w)->clicked(Tape(w)->currentIndex());
    return DisplayText(w);
}

QStringList& SaveFailures() {
    static QStringList failures;
    return failures;
}

}  // namespace

class TestState : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(StateFile());
        Errors().clear();
        SaveFailures().clear();
        Ccalc::SaveFailedHook = [](const QString& message) { SaveFailures().append(message); };
    }
    void cleanup() {
        QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n')));
        qputenv("APPDATA", uitest::AppDataDir().toLocal8Bit());
    }

    void restartRestoresRegistersTapeAndMode() {
        QStringList tape;
        {
            Ccalc w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.findChild<QRadioButton*>("ModeDec")->click();
            Type(w, "7s5");
            w.findChild<QRadioButton*>("ModeHex")->click();
            Type(w, "ff+1=sa");
            tape = TapeLines(w);
            QTest::keyClick(Entry(w), Qt::Key_Escape);
            QVERIFY(!w.isVisible());
        }
        QVERIFY(QFile::exists(StateFile()));
        QVERIFY(SaveFailures().isEmpty());

        Ccalc w;
        QVERIFY(Checked(w, "ModeHex"));
        QVERIFY(Button(w, "bAnd")->isEnabled());
        QCOMPARE(Register(w, 5), QString("7"));
        QCOMPARE(Register(w, 10), QString("100"));
        QCOMPARE(Register(w, 0), QString("0"));
        QCOMPARE(TapeLines(w), tape);
        QCOMPARE(DisplayText(w), QString("0"));
        QVERIFY(w.Mach().ShowsY());  // the loader gave the display back
        QCOMPARE(RecallRow(w, 0), QString("FF"));
        QCOMPARE(RecallRow(w, 2), QString("100"));
        // The restored entry is live: typing goes on from it.
        Type(w, "+1=");
        QCOMPARE(DisplayText(w), QString("101"));
    }

    void floatValuesBehindTheRows() {
        {
            Ccalc w;
            Type(w, "1.5*2=");
        }
        Ccalc w;
        QVERIFY(Checked(w, "ModeFlt"));
        QCOMPARE(TapeLines(w), (QStringList{"1.5", "* 2", "= 3"}));
        QCOMPARE(RecallRow(w, 0), QString("1.5"));
        QCOMPARE(RecallRow(w, 2), QString("3"));
    }

    void errorValueInARegister() {
        {
            Ccalc w;
            w.findChild<QRadioButton*>("ModeDec")->click();
            Type(w, "3s1)s7");
            QCOMPARE(Register(w, 7), QString("*** ERROR ***"));
            Type(w, "9s8");
        }
        QVERIFY(SaveFailures().isEmpty());
        Ccalc w;
        QCOMPARE(Register(w, 1), QString("3"));
        QCOMPARE(Register(w, 7), QString("0"));  // not restorable: keeps its start value
        QCOMPARE(Register(w, 8), QString("9"));
    }

    void longTapeFileKeepsTheLatestRows() {
        QFile f(StateFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[tape]\r\n");
        for (int i = 1; i <= 150; ++i)
            f.write(QString("vmDec:%1=line %2\r\n").arg(i, 32, 16, QChar('0')).arg(i).toLatin1());
        f.write("not a tape line\r\n[globals]\r\n mode = vmOct \r\n");
        f.close();

        Ccalc w;
        QVERIFY(Checked(w, "ModeOct"));
        QCOMPARE(w.TapeRowCount(), 100);
        QCOMPARE(QString::fromStdString(w.TapeText(0)), QString("line 51"));
        QCOMPARE(QString::fromStdString(w.TapeText(99)), QString("line 150"));
        QVERIFY(w.Mach().ShowsY());
        QCOMPARE(RecallRow(w, 0), QString("51"));
        QCOMPARE(RecallRow(w, 99), QString("150"));
    }

    void saveFailureIsReported() {
        // A missing folder is made; a plain file in its place cannot be.
        QFile plain(HomeDir() + "/plain file");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        qputenv("APPDATA", (HomeDir() + "/plain file/folder").toLocal8Bit());
        {
            Ccalc w;
            Type(w, "1=");
            QVERIFY(SaveFailures().isEmpty());
        }
        QCOMPARE(SaveFailures(), QStringList{"Could not save the calculator state to " + HomeDir() +
                                             "/plain file/folder/qz.state: Not a directory"});
    }

    // The disk fails part way through the file: the window starts with the
    // lines read, says so once, and at exit keeps the old file whole as
    // qz.state.bad beside the new one.
    void partlyReadFileIsReportedAndKept() {
        QByteArray original = "[globals]\r\nmode=vmHex\r\n\r\n[tape]\r\n";
        for (int i = 1; i <= 10; ++i)
            original += QString("vmHex:%1=+ %2\r\n").arg(i, 32, 16, QChar('0')).arg(i).toLatin1();
        const qsizetype cut = original.indexOf("+ 4") + 1;
        QFile f(StateFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
        f.close();

        auto disk = std::make_unique<FailingDisk>(static_cast<std::size_t>(cut));
        QStringList shown;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(10);
        QStringList tape;
        {
            Ccalc w;
            disk.reset();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_COMPARE(shown.size(), 1);
            QTest::qWait(100);
            QCOMPARE(shown.size(), 1);
            QCOMPARE(TapeLines(w), (QStringList{"+ 1", "+ 2", "+ 3"}));
            QVERIFY(Checked(w, "ModeHex"));
            Type(w, "A+1=");
            tape = TapeLines(w);
        }
        QCOMPARE(shown,
                 QStringList{"Could not read all of the calculator state from " + StateFile() +
                             ": Input/output error. The calculator starts with the part that was read. "
                             "When it closes, that file is kept as " +
                             StateFile() + ".bad and a new one is written."});
        QVERIFY(SaveFailures().isEmpty());

        QFile bad(StateFile() + ".bad");
        QVERIFY(bad.open(QIODevice::ReadOnly));
        QCOMPARE(bad.readAll(), original);
        Ccalc again;
        QCOMPARE(tape.mid(0, 4), (QStringList{"+ 1", "+ 2", "+ 3", "Ah"}));
        QCOMPARE(TapeLines(again), tape);
        QFile::remove(StateFile() + ".bad");
    }

    void savingHappensOnlyWhenTheWindowGoes() {
        auto w = std::make_unique<Ccalc>();
        Type(*w, "4=");
        w->show();
        QTest::keyClick(Entry(*w), Qt::Key_Q);
        QVERIFY(!w->isVisible());
        QVERIFY(!QFile::exists(StateFile()));
        w.reset();
        QVERIFY(QFile::exists(StateFile()));
    }
};

QZ_UI_TEST_MAIN(TestState)
#include "test_state.moc"
