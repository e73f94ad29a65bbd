// Typed keys, keypad buttons, window shortcuts and the clipboard, checked by
// what the user sees: the display, the tape and the register list.
#include <QClipboard>
#include <QRadioButton>
#include <QTableWidget>

#include "uitest.h"

using namespace uitest;

namespace {

void Mode(Ccalc& w, const QString& radio) { w.findChild<QRadioButton*>(radio)->click(); }

// A key press as a keyboard sends it: with Ctrl held a letter's character is
// its control code, which Qt Test's own key clicks do not imitate.
void Press(QWidget* target, int key, int mods) {
    QString text;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        text = (mods & Qt::ControlModifier) ? QString(QChar(key - Qt::Key_A + 1))
               : (mods & Qt::ShiftModifier) ? QString(QChar(key))
                                            : QString(QChar(key)).toLower();
    else if (key == Qt::Key_Escape)
        text = QStringLiteral("\x1b");
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(mods), text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::KeyboardModifiers(mods), text);
    QApplication::sendEvent(target, &release);
}

QString Register(Ccalc& w, int n) { return w.findChild<QTableWidget*>("registers")->item(n, 1)->text(); }

}  // namespace

class TestKeys : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(AppDataDir() + "/qz.state");
        Errors().clear();
    }
    void cleanup() { QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n'))); }

    void typing_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QStringList>("tape");
        QTest::newRow("enter is equals") << "ModeFlt"
                                         << "2+3\r"
                                         << "5" << QStringList{"2", "+ 3", "= 5"};
        QTest::newRow("equals key") << "ModeFlt"
                                    << "2+3="
                                    << "5" << QStringList{"2", "+ 3", "= 5"};
        QTest::newRow("left to right") << "ModeDec"
                                       << "2+3*4="
                                       << "20" << QStringList{"2", "+ 3", "* 4", "= 20"};
        QTest::newRow("hex digits folded") << "ModeHex"
                                           << "ff+1="
                                           << "100" << QStringList{"FFh", "+ 1h", "= 100h"};
        QTest::newRow("x clears") << "ModeFlt"
                                  << "5x"
                                  << "0" << QStringList{"0"};
        QTest::newRow("capital X ignored") << "ModeFlt"
                                           << "5X"
                                           << "5" << QStringList{};
        QTest::newRow("backspace") << "ModeDec"
                                   << "123\b"
                                   << "12" << QStringList{};
        QTest::newRow("keys outside the set") << "ModeDec"
                                              << "1#2!3 4_"
                                              << "1234" << QStringList{};
        QTest::newRow("letters only in hex") << "ModeDec"
                                             << "1a2"
                                             << "12" << QStringList{};
        QTest::newRow("float point") << "ModeFlt"
                                     << "1.50"
                                     << "1.50" << QStringList{};
        QTest::newRow("parentheses typed")
            << "ModeDec"
            << "2*(3+4)="
            << "14" << QStringList{"2", "* ( 3", "+ 4", ") * 7", "* 7", "= 14"};
        QTest::newRow("xor key") << "ModeHex"
                                 << "c%a="
                                 << "6" << QStringList{"Ch", "% Ah", "= 6h"};
        QTest::newRow("ipv4 dots") << "modeIPv4"
                                   << "10..1"
                                   << "10.0.1" << QStringList{};
    }

    void typing() {
        QFETCH(QString, mode);
        QFETCH(QString, keys);
        QFETCH(QString, display);
        QFETCH(QStringList, tape);
        Ccalc w;
        Mode(w, mode);
        Type(w, keys.toLatin1().constData());
        QCOMPARE(DisplayText(w), display);
        QCOMPARE(TapeLines(w), tape);
    }

    void registerKeys_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("display");
        QTest::newRow("s then 3 stores") << "42s3" << 3 << "42"
                                         << "42";
        QTest::newRow("capital S") << "42S3" << 3 << "42"
                                   << "42";
        QTest::newRow("letter register") << "7sf" << 15 << "7"
                                         << "7";
        QTest::newRow("S twice still stores") << "9SS4" << 4 << "9"
                                              << "9";
        QTest::newRow("s then + cancels") << "5s+2=" << 2 << "0"
                                          << "7";
        QTest::newRow("r then a recalls RA") << "6sax8ra" << 10 << "6"
                                             << "6";
        QTest::newRow("recall then digit") << "6s1x1r1" << 1 << "6"
                                           << "6";
        QTest::newRow("r then x cancels and clears") << "6rx" << 0 << "0"
                                                     << "0";
    }

    void registerKeys() {
        QFETCH(QString, keys);
        QFETCH(int, reg);
        QFETCH(QString, value);
        QFETCH(QString, display);
        Ccalc w;
        Mode(w, "ModeDec");
        Type(w, keys.toLatin1().constData());
        QCOMPARE(Register(w, reg), value);
        QCOMPARE(DisplayText(w), display);
        QCOMPARE(w.RegPending(), Ccalc::raNone);
    }

    void keypad_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("lastTape");
        const QString top = "80000000000000000000000000000000";
        QTest::newRow("LBT") << "ModeHex"
                             << "20"
                             << "bLBits"
                             << "8="
                             << "FF000000"
                             << "= FF000000h";
        QTest::newRow("SHL") << "ModeHex"
                             << "1"
                             << "bSHL"
                             << "4="
                             << "10"
                             << "= 10h";
        QTest::newRow("SHR") << "ModeHex"
                             << "100"
                             << "bSHR"
                             << "4="
                             << "10"
                             << "= 10h";
        QTest::newRow("ROL") << "ModeHex" << top << "bROL"
                             << "1="
                             << "1"
                             << "= 1h";
        QTest::newRow("ROR") << "ModeHex"
                             << "1"
                             << "bROR"
                             << "1=" << top << "= " + top + "h";
        QTest::newRow("AND") << "ModeHex"
                             << "C"
                             << "bAnd"
                             << "A="
                             << "8"
                             << "= 8h";
        QTest::newRow("OR") << "ModeHex"
                            << "C"
                            << "bOr"
                            << "A="
                            << "E"
                            << "= Eh";
        QTest::newRow("XOR") << "ModeHex"
                             << "C"
                             << "bXor"
                             << "A="
                             << "6"
                             << "= 6h";
        QTest::newRow("NOT") << "ModeHex"
                             << "0"
                             << "bNot"
                             << ""
                             << "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                             << "NOT 0h";
        QTest::newRow("RBT") << "ModeHex"
                             << "8"
                             << "bRBits"
                             << ""
                             << "FF"
                             << "RBits 8h";
        QTest::newRow("SGN") << "ModeDec"
                             << "0-5="
                             << "bSgn"
                             << ""
                             << "-1"
                             << "SGN -1";
        QTest::newRow("ABS") << "ModeDec"
                             << "0-7="
                             << "bAbs"
                             << ""
                             << "7"
                             << "ABS 7";
        QTest::newRow("sign change") << "ModeDec"
                                     << "12"
                                     << "bNeg"
                                     << ""
                                     << "-12"
                                     << "";
        QTest::newRow("ROUN") << "ModeDec"
                              << "1249"
                              << "bRound"
                              << "100="
                              << "1249"
                              << "= 1249";
        QTest::newRow("power") << "ModeDec"
                               << "2"
                               << "bPow"
                               << "10="
                               << "1024"
                               << "= 1024";
        QTest::newRow("square root") << "ModeFlt"
                                     << "16"
                                     << "bSqrt"
                                     << ""
                                     << "4"
                                     << "SQRT 16";
        QTest::newRow("sine") << "ModeFlt"
                              << "0"
                              << "bSin"
                              << ""
                              << "0"
                              << "SIN 0";
        QTest::newRow("cosine") << "ModeFlt"
                                << "0"
                                << "bCos"
                                << ""
                                << "1"
                                << "COS 0";
        QTest::newRow("pi") << "ModeFlt"
                            << ""
                            << "bPi"
                            << ""
                            << "3.1415926535897932"
                            << "";
        QTest::newRow("open parenthesis") << "ModeDec"
                                          << "2*"
                                          << "bOPar"
                                          << "3+4)="
                                          << "14"
                                          << "= 14";
        QTest::newRow("close parenthesis") << "ModeDec"
                                           << "2*(3+4"
                                           << "bCPar"
                                           << "="
                                           << "14"
                                           << "= 14";
        QTest::newRow("STO") << "ModeDec"
                             << "7"
                             << "bStore"
                             << "5x"
                             << "0"
                             << "0";
        QTest::newRow("RCL") << "ModeDec"
                             << "9s2x"
                             << "bRecall"
                             << "2"
                             << "9"
                             << "0";
        QTest::newRow("CLR") << "ModeDec"
                             << "5+3"
                             << "bClr"
                             << ""
                             << "0"
                             << "0";
    }

    void keypad() {
        QFETCH(QString, mode);
        QFETCH(QString, before);
        QFETCH(QString, button);
        QFETCH(QString, after);
        QFETCH(QString, display);
        QFETCH(QString, lastTape);
        Ccalc w;
        Mode(w, mode);
        Type(w, before.toLatin1().constData());
        QPushButton* b = Button(w, button.toLatin1().constData());
        QVERIFY(b->isEnabled());
        b->click();
        Type(w, after.toLatin1().constData());
        QCOMPARE(DisplayText(w), display);
        const QStringList tape = TapeLines(w);
        QCOMPARE(tape.isEmpty() ? QString() : tape.last(), lastTape);
        if (button == "bStore") QCOMPARE(Register(w, 5), QString("7"));
    }

    void roundToHundreds() {
        Ccalc w;
        Mode(w, "ModeDec");
        Type(w, "1249");
        Button(w, "bRound")->click();
        Type(w, "2");
        Button(w, "bNeg")->click();
        Type(w, "=");
        QCOMPARE(DisplayText(w), QString("1200"));
    }

    void clearAllKeepsTape() {
        Ccalc w;
        Mode(w, "ModeDec");
        Type(w, "9s1+1=");
        QCOMPARE(Register(w, 1), QString("9"));
        const int rows = static_cast<int>(w.TapeRows().size());
        Button(w, "bClrA")->click();
        QCOMPARE(Register(w, 1), QString("0"));
        QCOMPARE(DisplayText(w), QString("0"));
        QCOMPARE(static_cast<int>(w.TapeRows().size()), rows + 1);  // the cleared entry's line
    }

    // Every key that calls the machine cancels a pending store, so the next
    // digit is typed; "TAPE" and "Save" leave it pending.
    void keypadAndPendingStore_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("cancels");
        for (const char* b :
             {"bLBits", "bSHL", "bSHR", "bROL", "bROR", "bAnd", "bOr", "bXor", "bNot", "bRBits"})
            QTest::newRow(b) << "ModeHex" << b << true;
        for (const char* b : {"bSgn", "bAbs", "bNeg", "bRound", "bPow", "bOPar", "bCPar", "bClrA"})
            QTest::newRow(b) << "ModeDec" << b << true;
        for (const char* b : {"bSqrt", "bSin", "bCos", "bPi"}) QTest::newRow(b) << "ModeFlt" << b << true;
        for (const char* b : {"bTape", "bPrt"}) QTest::newRow(b) << "ModeDec" << b << false;
    }

    void keypadAndPendingStore() {
        QFETCH(QString, mode);
        QFETCH(QString, button);
        QFETCH(bool, cancels);
        Ccalc w;
        w.SetExportFileChooser([] { return QString(); });  // "Save" is cancelled
        Mode(w, mode);
        Type(w, "5s");
        QPushButton* b = Button(w, button.toLatin1().constData());
        QVERIFY(b->isEnabled());
        b->click();
        QCOMPARE(w.RegPending(), cancels ? Ccalc::raNone : Ccalc::raStore);
        Type(w, "3");
        QCOMPARE(Register(w, 3), cancels ? QString("0") : QString("5"));
    }

    void machineButtonsCancelPendingRegister() {
        Ccalc w;
        Mode(w, "ModeDec");
        Type(w, "5s");
        Button(w, "bSgn")->click();
        Type(w, "3");
        QCOMPARE(DisplayText(w), QString("3"));
        // A mode button leaves a pending store alone.
        Type(w, "s");
        Mode(w, "ModeHex");
        Type(w, "4");
        QCOMPARE(Register(w, 4), QString("3"));
    }

    void focusReturnsToDisplay() {
        Ccalc w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        for (const char* name : {"bStore", "bSgn", "bTape", "ModeHex", "ModeFlt", "bAbs"}) {
            QWidget* b = w.findChild<QWidget*>(name);
            b->setFocus();
            QTest::mouseClick(b, Qt::LeftButton);
            QVERIFY2(QApplication::focusWidget() == Entry(w), name);
        }
        // Keys sent to whatever has the focus now reach the calculator.
        for (char c : QByteArray("6*7\r")) QTest::keyClick(static_cast<QWidget*>(nullptr), c);
        QCOMPARE(DisplayText(w), QString("42"));
    }

    void closingKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << true;
        QTest::newRow("Ctrl+Q") << int(Qt::Key_Q) << int(Qt::ControlModifier) << true;
        QTest::newRow("Ctrl+W") << int(Qt::Key_W) << int(Qt::ControlModifier) << true;
        QTest::newRow("Q") << int(Qt::Key_Q) << int(Qt::NoModifier) << true;
        QTest::newRow("keypad Ctrl+Q")
            << int(Qt::Key_Q) << int(Qt::ControlModifier | Qt::KeypadModifier) << true;
        QTest::newRow("Shift+Escape") << int(Qt::Key_Escape) << int(Qt::ShiftModifier) << false;
        QTest::newRow("Ctrl+Shift+Q")
            << int(Qt::Key_Q) << int(Qt::ControlModifier | Qt::ShiftModifier) << false;
        QTest::newRow("Alt+Q") << int(Qt::Key_Q) << int(Qt::AltModifier) << false;
        QTest::newRow("Ctrl+Alt+W") << int(Qt::Key_W) << int(Qt::ControlModifier | Qt::AltModifier) << false;
        QTest::newRow("W") << int(Qt::Key_W) << int(Qt::NoModifier) << false;
    }

    void closingKeys() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(bool, closes);
        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Press(Entry(w), key, mods);
        QCOMPARE(w.isVisible(), !closes);
        QCOMPARE(DisplayText(w), QString("0"));
    }

    void escapeFromAnotherControlCloses() {
        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(Button(w, "bSgn"), Qt::Key_Escape);
        QVERIFY(!w.isVisible());
    }

    void exportShortcuts_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<bool>("exports");
        QTest::newRow("Ctrl+P") << int(Qt::Key_P) << int(Qt::ControlModifier) << true;
        QTest::newRow("Ctrl+S") << int(Qt::Key_S) << int(Qt::ControlModifier) << true;
        QTest::newRow("Ctrl+Shift+S")
            << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::ShiftModifier) << false;
        QTest::newRow("P") << int(Qt::Key_P) << int(Qt::NoModifier) << false;
    }

    void exportShortcuts() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(bool, exports);
        Ccalc w;
        int asked = 0;
        w.SetExportFileChooser([&asked] {
            ++asked;
            return QString();
        });
        Press(Entry(w), key, mods);
        QCOMPARE(asked, exports ? 1 : 0);
        QCOMPARE(w.RegPending(), Ccalc::raNone);  // Ctrl+S is not the register key "s"
    }

    void copy_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Ctrl+C") << int(Qt::Key_C);
        QTest::newRow("Ctrl+X") << int(Qt::Key_X);
    }

    void copy() {
        QFETCH(int, key);
        Ccalc w;
        Type(w, "3.25");
        QGuiApplication::clipboard()->setText("nothing");
        Press(Entry(w), key, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("3.25"));
        QCOMPARE(DisplayText(w), QString("3.25"));  // Ctrl+X does not cut
    }

    void paste_data() {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QStringList>("tape");
        QTest::newRow("sum with return") << "12+3\r"
                                         << "15" << QStringList{"12", "+ 3", "= 15"};
        QTest::newRow("line feeds ignored") << "1\n2\r\n"
                                            << "12" << QStringList{"= 12"};
        QTest::newRow("empty") << ""
                               << "0" << QStringList{};
    }

    void paste() {
        QFETCH(QString, clipboard);
        QFETCH(QString, display);
        QFETCH(QStringList, tape);
        Ccalc w;
        Mode(w, "ModeDec");
        QGuiApplication::clipboard()->setText(clipboard);
        Press(Entry(w), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(DisplayText(w), display);
        QCOMPARE(TapeLines(w), tape);
    }

    void pasteOfEveryByteDoesNotCrash() {
        Ccalc w;
        QByteArray all;
        for (int i = 1; i < 256; ++i) all.append(char(i));
        QGuiApplication::clipboard()->setText(QString::fromLatin1(all));
        w.PasteFromClipboard();
        QVERIFY(!DisplayText(w).isEmpty());
        Errors().clear();  // whatever that typed may fault; only survival counts
        Type(w, "x2+2=");
        QCOMPARE(DisplayText(w), QString("4"));
    }
};

QZ_UI_TEST_MAIN(TestKeys)
#include "test_keys.moc"
