// Speed of one typed key: the key event, the machine call, any tape line and
// the display refresh. Each benchmark iteration is exactly one key, so the
// reported time is the average per key. With "painted", every key is also
// followed by the repaint it causes. startAndEnd times one window's life.
//
//   QT_QPA_PLATFORM=offscreen ./bench_ui_keys
#include <QRadioButton>

#include "uitest.h"

using namespace uitest;

class BenchKeys : public QObject {
    Q_OBJECT

private slots:
    void perKey_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("cycle");
        QTest::addColumn<bool>("painted");
        QTest::addColumn<QByteArray>("before");  // typed once, untimed
        QTest::newRow("digits") << "ModeDec" << QByteArray("123456789x") << false << QByteArray();
        QTest::newRow("calculation") << "ModeDec" << QByteArray("12+34=") << false << QByteArray();
        QTest::newRow("float calculation") << "ModeFlt" << QByteArray("1.5*2.25=") << false << QByteArray();
        QTest::newRow("parentheses") << "ModeHex" << QByteArray("2*(a+f)=") << false << QByteArray();
        QTest::newRow("calculation, painted") << "ModeDec" << QByteArray("12+34=") << true << QByteArray();
        // Backspace and a digit: every key shows a new text of 127 or 128
        // binary digits, the widest the display has to fit.
        QTest::newRow("128 binary digits") << "ModeBin" << QByteArray("\b1") << false << QByteArray(128, '1');
        QTest::newRow("128 binary digits, painted")
            << "ModeBin" << QByteArray("\b1") << true << QByteArray(128, '1');
    }

    void perKey() {
        QFETCH(QString, mode);
        QFETCH(QByteArray, cycle);
        QFETCH(bool, painted);
        QFETCH(QByteArray, before);
        Ccalc w;
        if (painted) {
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
        }
        w.findChild<QRadioButton*>(mode)->click();
        // A full tape, so every new line also drops the oldest.
        for (int i = 0; i < 100; ++i) Type(w, "1=");
        QCOMPARE(w.TapeRowCount(), 100);
        Type(w, before.constData());
        if (!before.isEmpty()) QCOMPARE(DisplayText(w).size(), before.size());

        QWidget* display = Entry(w);
        qsizetype at = 0;
        QBENCHMARK {
            const char c = cycle[at];
            at = (at + 1) % cycle.size();
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QLatin1Char(c)));
            QApplication::sendEvent(display, &press);
            if (painted) QCoreApplication::processEvents();
        }
        QVERIFY(Errors().isEmpty());
        QCOMPARE(w.TapeRowCount(), 100);
    }

    // Building the window with a full state file to load, and letting it go
    // (which writes the file back): the cost of starting and ending a run.
    void startAndEnd() {
        {
            Ccalc w;
            for (int i = 0; i < 100; ++i) Type(w, "1=");
        }
        QBENCHMARK {
            Ccalc w;
            QCOMPARE(w.TapeRowCount(), 100);
        }
    }
};

QZ_UI_TEST_MAIN(BenchKeys)
#include "bench_keys.moc"
