// Pasting through the real window: the text on the clipboard, Ctrl+V on the
// display, judged by what the user sees: the display, the mode buttons, the
// tape, the registers, and what the next keys do.
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QRadioButton>

#include "uitest.h"

using namespace uitest;

namespace {

bool Checked(Ccalc& w, const QString& radio) { return w.findChild<QRadioButton*>(radio)->isChecked(); }

void CtrlV(Ccalc& w, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
    QApplication::sendEvent(Entry(w), &press);
}

// Pasting as the window did before it knew numbers: byte by byte.
void TypeBytes(Ccalc& w, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    for (const char b : bytes) w.EntryKeyChar(std::string_view(&b, 1));
}

QStringList Registers(Ccalc& w) {
    QStringList r;
    for (const CalcValue& v : w.Mach().Registers()) r << QString::fromStdString(RegRepr(v));
    return r;
}

const QString k32F(32, 'F');

}  // namespace

class TestPaste : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // Each window saves its registers at the end; the next starts anew.
        QFile::remove(AppDataDir() + "/qz.state");
        Errors().clear();
        QGuiApplication::clipboard()->clear();
    }
    void cleanup() { QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n'))); }

    // One number: entered as that number, the mode switched as its button
    // would, as if typed: no tape line, and the pending "+" takes it.
    void aNumberIsEnteredInItsMode_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("display");
        const auto row = [](const char* name, const char* mode, const QString& text, const char* radio,
                            const QString& display) {
            QTest::newRow(name) << mode << text << radio << display;
        };
        // The texts that used to become another number.
        row("0x10;", "ModeDec", "0x10;", "ModeHex", "10");
        row("0xFFFFFFFFUL", "ModeDec", "0xFFFFFFFFUL", "ModeHex", "FFFFFFFF");
        row("0x1Fu", "ModeDec", "0x1Fu", "ModeHex", "1F");
        row("0xff,", "ModeDec", "0xff,", "ModeHex", "FF");
        row("(0x10)", "ModeDec", "(0x10)", "ModeHex", "10");
        row("192.168.1.1", "ModeDec", "192.168.1.1", "modeIPv4", "192.168.1.1");
        row("fe80::1", "ModeDec", "fe80::1", "modeIPv6", "fe80::1");
        // Code literals from any mode, Float included.
        row("0X from float", "ModeFlt", " 0Xff\r\n", "ModeHex", "FF");
        row("negative binary", "ModeDec", "-0b101", "ModeBin", QString(125, '1') + "011");
        row("b suffix", "ModeDec", "1010b", "ModeBin", "1010");
        row("0o from IPv6", "modeIPv6", "0o17", "ModeOct", "17");
        // Decimals, addresses, floats.
        row("signed decimal", "ModeDec", "-5", "ModeDec", "-5");
        row("IPv4 short form", "modeIPv4", "10.1", "modeIPv4", "10.1");
        row("float", "ModeDec", "1.5e3", "ModeFlt", "1500");
    }
    void aNumberIsEnteredInItsMode() {
        QFETCH(QString, mode);
        QFETCH(QString, text);
        QFETCH(QString, radio);
        QFETCH(QString, display);
        Ccalc w;
        Run(w, mode + " 7+");
        const QStringList tape = TapeLines(w);
        CtrlV(w, text);
        QVERIFY(Checked(w, radio));
        QCOMPARE(DisplayText(w), display);
        QCOMPARE(TapeLines(w), tape);
        Type(w, "=");
        QCOMPARE(TapeLines(w).size(), tape.size() + 2);
        QVERIFY(DisplayText(w) != "*** ERROR ***");
    }

    // The mode's keys: typed key by key exactly as before.
    void keysAreTypedAsBefore_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::newRow("sum with return") << "ModeDec"
                                         << "12+3\r";
        QTest::newRow("line feeds skipped") << "ModeDec"
                                            << "1\n2\r\n";
        QTest::newRow("parentheses") << "ModeDec"
                                     << "(1+2)*3=";
        QTest::newRow("trailing semicolon") << "ModeDec"
                                            << "12+3;";
        QTest::newRow("hex digits in either case") << "ModeHex"
                                                   << "ff+A";
        QTest::newRow("B is a digit") << "ModeHex"
                                      << "101B";
        QTest::newRow("minus is an operator in hex") << "ModeHex"
                                                     << "-5";
        QTest::newRow("float sum") << "ModeFlt"
                                   << "1.5*2";
        QTest::newRow("IPv4 sum") << "modeIPv4"
                                  << "10.0.0.255+1\r";
        QTest::newRow("IPv6 sum") << "modeIPv6"
                                  << "fe80::1+1\r";
    }
    void keysAreTypedAsBefore() {
        QFETCH(QString, mode);
        QFETCH(QString, text);
        Ccalc before;
        Run(before, mode);
        TypeBytes(before, text);
        Ccalc w;
        Run(w, mode);
        CtrlV(w, text);
        QVERIFY(DisplayText(w) != "*** ERROR ***");
        QCOMPARE(DisplayText(w), DisplayText(before));
        QCOMPARE(TapeLines(w), TapeLines(before));
        QCOMPARE(w.Mach().Mode(), before.Mach().Mode());
    }

    // Anything else: the error value, and nothing the user had changes: the
    // registers, the tape, the pending operation and the number typed, so
    // that "=" then gives what it would have without the paste.
    void anythingElseIsRefused_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("text");
        const QString dec = "ModeDec 5s1 7+2", hex = "ModeHex 5s1 7+2";
        QTest::newRow("2^128") << dec << "340282366920938463463374607431768211456";
        QTest::newRow("0x and 33 F") << dec << "0x" + k32F + "F";
        QTest::newRow("33 F in hex") << hex << k32F + "F";
        QTest::newRow("a sum past 128 bits") << hex << "1+" + k32F + "F";
        QTest::newRow("a letter that is no key") << dec << "5q3";
        QTest::newRow("register and clear keys") << dec << "8s2x";
        QTest::newRow("foreign characters") << dec << QString::fromUtf8("4\u00E9\u20AC5 ");
        QTest::newRow("a digit of another mode") << "ModeBin 101s1 11+10"
                                                 << "123";
        QTest::newRow("a comparison") << dec << "1<2";
        QTest::newRow("text") << dec << "x = 0x10";
        QTest::newRow("thousands separator") << dec << "1,000";
        QTest::newRow("version number") << dec << "1.5.3";
        QTest::newRow("time of day") << dec << "12:30";
        QTest::newRow("an IPv6 head that typing loses") << "modeIPv6 5s1 7+2"
                                                        << "0:1::2+1";
        QTest::newRow("float beyond the range") << "ModeFlt 5s1 7+2"
                                                << "1e5000";
        QTest::newRow("a second point in the number being typed") << "ModeFlt 5s1 7+2."
                                                                  << "5.5+1";
        QTest::newRow("digits the number being typed cannot take") << "ModeHex 5s1 7+" + k32F << "F";
    }
    void anythingElseIsRefused() {
        QFETCH(QString, setup);
        QFETCH(QString, text);
        Ccalc w, twin;
        Run(w, setup);
        Run(twin, setup);
        const QStringList tape = TapeLines(w), registers = Registers(w);
        const ValueMode mode = w.Mach().Mode();
        CtrlV(w, text);
        QCOMPARE(DisplayText(w), QString("*** ERROR ***"));
        QCOMPARE(w.Mach().Mode(), mode);
        QCOMPARE(TapeLines(w), tape);
        QCOMPARE(Registers(w), registers);
        Type(w, "=");
        Type(twin, "=");
        QCOMPARE(DisplayText(w), DisplayText(twin));
        QCOMPARE(TapeLines(w), TapeLines(twin));
    }

    // A paste is no register key: a store or recall waiting for its register
    // stays unused, whatever the text.
    void aPendingStoreIsNotTaken_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("number") << "3";
        QTest::newRow("keys") << "3+1";
        QTest::newRow("refused") << "3q";
    }
    void aPendingStoreIsNotTaken() {
        QFETCH(QString, text);
        Ccalc w;
        const QStringList registers = Registers(w);
        Type(w, "5s");
        CtrlV(w, text);
        Type(w, "3");
        QCOMPARE(Registers(w), registers);
    }

    void theDisplayMenuPastesByTheSameRule() {
        Ccalc w;
        Run(w, "ModeDec");
        QGuiApplication::clipboard()->setText("0x1F");
        w.Panel().DisplayMenu()->findChild<QAction*>(QStringLiteral("paste"))->trigger();
        QVERIFY(Checked(w, "ModeHex"));
        QCOMPARE(DisplayText(w), QString("1F"));
        QGuiApplication::clipboard()->setText("5q3");
        w.Panel().DisplayMenu()->findChild<QAction*>(QStringLiteral("paste"))->trigger();
        QCOMPARE(DisplayText(w), QString("*** ERROR ***"));
    }
};

QZ_UI_TEST_MAIN(TestPaste)
#include "test_paste.moc"
