// The state file as the user meets it: what one run leaves, the next run
// finds again; a file that cannot be written is reported.
#include <QRadioButton>
#include <QTableWidget>

#include <memory>

#include "uitest.h"

using namespace uitest;

namespace {

QString StateFile() { return AppDataDir() + "/qz.state"; }

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
        qputenv("APPDATA", AppDataDir().toLocal8Bit());
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
        qputenv("APPDATA", (HomeDir() + "/missing folder").toLocal8Bit());
        {
            Ccalc w;
            Type(w, "1=");
            QVERIFY(SaveFailures().isEmpty());
        }
        QCOMPARE(SaveFailures().size(), 1);
        QVERIFY2(SaveFailures().first().contains("missing folder/qz.state"),
                 qPrintable(SaveFailures().first()));
        QVERIFY(!QFile::exists(HomeDir() + "/missing folder"));
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
