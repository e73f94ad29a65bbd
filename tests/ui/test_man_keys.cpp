// The keys the manual page qz(1) lists are the keys the calculator has: each
// entry of its KEYS section is tried here on a real window, and a listed key
// no test tries, or a tried key the page no longer lists, fails.
#include <QClipboard>
#include <QFile>
#include <QFileDevice>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

#include <functional>

#include "ui/bitspanel.h"
#include "uitest.h"

using namespace uitest;

namespace {

// The text a roff line shows, for the font macros and escapes the page uses
// in its tags: .B and .I join their words with blanks, .BR and the other
// alternating macros join them without; \(en is an en dash, \- a hyphen.
QString RoffText(const QString& line) {
    static const QRegularExpression macro(QStringLiteral("^\\.(B|I|BR|RB|IR|RI|BI|IB)\\s+(.*)$"));
    static const QRegularExpression arg(QStringLiteral("\"([^\"]*)\"|(\\S+)"));
    QString text = line;
    if (const QRegularExpressionMatch m = macro.match(line); m.hasMatch()) {
        QStringList args;
        for (auto it = arg.globalMatch(m.captured(2)); it.hasNext();) {
            const QRegularExpressionMatch a = it.next();
            args << (a.hasCaptured(1) ? a.captured(1) : a.captured(2));
        }
        text = args.join(m.captured(1).size() == 1 ? QStringLiteral(" ") : QString());
    }
    text.replace(QRegularExpression(QStringLiteral("\\\\f[BIRP]")), QString());
    text.replace(QStringLiteral("\\(en"), QStringLiteral("\u2013"));
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    return text;
}

// The tags of the KEYS section: the line after each .TP.
QStringList PageKeys() {
    QFile page(QStringLiteral(QZ_MAN_PAGE));
    if (!page.open(QIODevice::ReadOnly)) return {};
    const QStringList lines = QString::fromUtf8(page.readAll()).split(QLatin1Char('\n'));
    QStringList keys;
    bool inKeys = false;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QStringLiteral(".SH ")))
            inKeys = lines[i].trimmed() == QStringLiteral(".SH KEYS");
        if (inKeys && lines[i].trimmed() == QStringLiteral(".TP") && i + 1 < lines.size())
            keys << RoffText(lines[i + 1]);
    }
    return keys;
}

// A key press as a keyboard sends it: with Ctrl held a letter's character is
// its control code.
void Press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QString text;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        text =
            mods & Qt::ControlModifier ? QString(QChar(key - Qt::Key_A + 1)) : QString(QChar(key)).toLower();
    else if (key == Qt::Key_Escape)
        text = QStringLiteral("\x1b");
    else if (key == Qt::Key_Return)
        text = QStringLiteral("\r");
    else if (key == Qt::Key_Backspace)
        text = QStringLiteral("\b");
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(target, &release);
}

void Mode(Ccalc& w, const char* radio) { w.findChild<QRadioButton*>(QString::fromLatin1(radio))->click(); }

// Typed into a fresh calculation in the mode, what the display shows.
QString Shows(Ccalc& w, const char* radio, const char* keys) {
    Mode(w, radio);
    Type(w, "x");
    Type(w, keys);
    return DisplayText(w);
}

void Show(Ccalc& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

// Each entry of the page, tried: the keys and what they do.
const QMap<QString, std::function<void(Ccalc&)>>& Tries() {
    static const QMap<QString, std::function<void(Ccalc&)>> tries{
        {QStringLiteral("0\u20139, A\u2013F"),
         [](Ccalc& w) {
             QCOMPARE(Shows(w, "ModeDec", "9876543210ABCDEF"), QString("9876543210"));
             QCOMPARE(Shows(w, "ModeHex", "Ab9"), QString("AB9"));
             QCOMPARE(Shows(w, "modeIPv6", "fe80"), QString("::fe80"));
         }},
        {QStringLiteral("+ - * /"),
         [](Ccalc& w) {
             QCOMPARE(Shows(w, "ModeDec", "8+2="), QString("10"));
             QCOMPARE(Shows(w, "ModeDec", "8-2="), QString("6"));
             QCOMPARE(Shows(w, "ModeDec", "8*2="), QString("16"));
             QCOMPARE(Shows(w, "ModeDec", "8/2="), QString("4"));
         }},
        {QStringLiteral("^ & | %"),
         [](Ccalc& w) {
             QCOMPARE(Shows(w, "ModeDec", "2^10="), QString("1024"));
             QCOMPARE(Shows(w, "ModeDec", "12&10="), QString("8"));
             QCOMPARE(Shows(w, "ModeDec", "12|10="), QString("14"));
             QCOMPARE(Shows(w, "ModeDec", "12%10="), QString("6"));
         }},
        {QStringLiteral("( )"),
         [](Ccalc& w) {
             QCOMPARE(Shows(w, "ModeDec", "2*(3+4"), QString("4"));
             QCOMPARE(w.findChild<QLabel*>("ParenCt")->text(), QString("(1"));
             Type(w, ")=");
             QCOMPARE(DisplayText(w), QString("14"));
         }},
        {QStringLiteral(". :"),
         [](Ccalc& w) {
             QCOMPARE(Shows(w, "ModeFlt", "1.5*2="), QString("3"));
             QCOMPARE(Shows(w, "modeIPv4", "10.0.0.1"), QString("10.0.0.1"));
             QCOMPARE(Shows(w, "modeIPv6", "fe80::1"), QString("fe80::1"));
         }},
        {QStringLiteral("= or Enter"),
         [](Ccalc& w) {
             QCOMPARE(Shows(w, "ModeDec", "5+3="), QString("8"));
             Shows(w, "ModeDec", "5+4");
             Press(Entry(w), Qt::Key_Return);
             QCOMPARE(DisplayText(w), QString("9"));
         }},
        {QStringLiteral("Backspace"),
         [](Ccalc& w) {
             Shows(w, "ModeDec", "123");
             Press(Entry(w), Qt::Key_Backspace);
             QCOMPARE(DisplayText(w), QString("12"));
             Type(w, "+");
             Press(Entry(w), Qt::Key_Backspace);  // nothing to remove: clears
             Type(w, "5=");
             QCOMPARE(DisplayText(w), QString("5"));
         }},
        {QStringLiteral("x"),
         [](Ccalc& w) {
             QCOMPARE(Shows(w, "ModeDec", "5+3x"), QString("0"));
             Type(w, "2=");
             QCOMPARE(DisplayText(w), QString("2"));
         }},
        {QStringLiteral("s or r, then a register 0\u20139 or A\u2013F"),
         [](Ccalc& w) {
             Shows(w, "ModeDec", "7s3x9sax");
             auto* registers = w.findChild<QTableWidget*>("registers");
             QCOMPARE(registers->item(3, 1)->text(), QString("7"));
             QCOMPARE(registers->item(10, 1)->text(), QString("9"));
             Type(w, "r3+ra=");
             QCOMPARE(DisplayText(w), QString("16"));
         }},
        {QStringLiteral("Ctrl+C, Ctrl+X, Ctrl+V"),
         [](Ccalc& w) {
             Shows(w, "ModeDec", "42");
             for (const Qt::Key key : {Qt::Key_C, Qt::Key_X}) {
                 QGuiApplication::clipboard()->setText("before");
                 Press(Entry(w), key, Qt::ControlModifier);
                 QCOMPARE(QGuiApplication::clipboard()->text(), QString("42"));
                 QCOMPARE(DisplayText(w), QString("42"));
             }
             Type(w, "+");
             QGuiApplication::clipboard()->setText("7");
             Press(Entry(w), Qt::Key_V, Qt::ControlModifier);
             Type(w, "=");
             QCOMPARE(DisplayText(w), QString("49"));
         }},
        {QStringLiteral("Ctrl+B"),
         [](Ccalc& w) {
             Show(w);
             Press(Entry(w), Qt::Key_B, Qt::ControlModifier);
             QVERIFY(w.Panel().BitsPanel() && w.Panel().BitsPanel()->isVisible());
             Press(Entry(w), Qt::Key_B, Qt::ControlModifier);
             QVERIFY(!w.Panel().BitsPanel()->isVisible());
         }},
        {QStringLiteral("Ctrl+1, Ctrl+2, Ctrl+3, Ctrl+4, Ctrl+5"),
         [](Ccalc& w) {
             const std::pair<Qt::Key, const char*> sizes[] = {{Qt::Key_1, "FF"},
                                                              {Qt::Key_2, "FFFF"},
                                                              {Qt::Key_3, "FFFFFFFF"},
                                                              {Qt::Key_4, "FFFFFFFFFFFFFFFF"}};
             for (const auto& [key, allOnes] : sizes) {
                 Press(Entry(w), key, Qt::ControlModifier);
                 QCOMPARE(Shows(w, "ModeHex", "0"), QString("0"));
                 w.findChild<QPushButton*>("bNot")->click();
                 QCOMPARE(DisplayText(w), QString(allOnes));
             }
             Press(Entry(w), Qt::Key_5, Qt::ControlModifier);
             Shows(w, "ModeHex", "0");
             w.findChild<QPushButton*>("bNot")->click();
             QCOMPARE(DisplayText(w), QString(32, 'F'));
         }},
        {QStringLiteral("Ctrl+R"),
         [](Ccalc& w) {
             Press(Entry(w), Qt::Key_3, Qt::ControlModifier);
             Shows(w, "ModeHex", "80000000");
             Press(Entry(w), Qt::Key_R, Qt::ControlModifier);
             Type(w, "4=");
             QCOMPARE(DisplayText(w), QString("F8000000"));
         }},
        {QStringLiteral("Ctrl+E"),
         [](Ccalc& w) {
             Press(Entry(w), Qt::Key_3, Qt::ControlModifier);
             Shows(w, "ModeHex", "12345678");
             Press(Entry(w), Qt::Key_E, Qt::ControlModifier);
             QCOMPARE(DisplayText(w), QString("78563412"));
         }},
        {QStringLiteral("Menu, Shift+F10"),
         [](Ccalc& w) {
             Show(w);
             for (const auto& [key, mods] :
                  {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                   std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
                 Press(Entry(w), key, mods);
                 QMenu* menu = w.findChild<QMenu*>("displayMenu");
                 QVERIFY(menu);
                 QTRY_VERIFY(menu->isVisible());
                 menu->hide();
             }
         }},
        {QStringLiteral("Ctrl+S, Ctrl+P"),
         [](Ccalc& w) {
             QTemporaryDir dir;
             const QString file = dir.filePath("tape.txt");
             w.SetExportFileChooser([file] { return file; });
             Shows(w, "ModeDec", "5+3=");
             for (const Qt::Key key : {Qt::Key_S, Qt::Key_P}) {
                 QFile::remove(file);
                 Press(Entry(w), key, Qt::ControlModifier);
                 QFile written(file);
                 QVERIFY(written.open(QIODevice::ReadOnly));
                 QVERIFY(written.readAll().contains("= 8"));
             }
         }},
        {QStringLiteral("F1"),
         [](Ccalc& w) {
             QTemporaryDir dir;
             QFile viewer(dir.filePath("docview"));
             QVERIFY(viewer.open(QIODevice::WriteOnly));
             viewer.write("#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/called\"\n");
             viewer.close();
             viewer.setPermissions(viewer.permissions() | QFileDevice::ExeOwner);
             const QString before = qzApp()->HelpViewerDir();
             qzApp()->SetHelpViewerDir(dir.path());
             Press(Entry(w), Qt::Key_F1);
             qzApp()->SetHelpViewerDir(before);
             QTRY_VERIFY(QFile::exists(dir.filePath("called")));
         }},
        {QStringLiteral("Escape, Ctrl+Q, Ctrl+W, q"),
         [](Ccalc&) {
             const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {{Qt::Key_Escape, Qt::NoModifier},
                                                                       {Qt::Key_Q, Qt::ControlModifier},
                                                                       {Qt::Key_W, Qt::ControlModifier},
                                                                       {Qt::Key_Q, Qt::NoModifier}};
             for (const auto& [key, mods] : keys) {
                 Ccalc w;
                 Show(w);
                 Press(Entry(w), key, mods);
                 QVERIFY(!w.isVisible());
             }
         }},
    };
    return tries;
}

}  // namespace

class TestManKeys : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(AppDataDir() + "/qz.state");
        Errors().clear();
    }
    void cleanup() { QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n'))); }

    void everyListedKeyIsTried_data() {
        QTest::addColumn<QString>("key");
        const QStringList keys = PageKeys();
        // A reader that finds nothing would let every page pass.
        QVERIFY2(keys.size() >= 10, qPrintable(QStringLiteral("found only: ") + keys.join(" | ")));
        for (const QString& key : keys) QTest::newRow(qPrintable(key)) << key;
    }
    void everyListedKeyIsTried() {
        QFETCH(QString, key);
        const auto tried = Tries().find(key);
        QVERIFY2(tried != Tries().end(),
                 qPrintable("the manual page lists \"" + key + "\", which no test tries"));
        Ccalc w;
        (*tried)(w);
    }

    void everyTriedKeyIsListed() {
        const QStringList keys = PageKeys();
        for (const QString& key : Tries().keys())
            QVERIFY2(keys.contains(key),
                     qPrintable("\"" + key + "\" is tried but no longer on the manual page"));
    }
};

QZ_UI_TEST_MAIN(TestManKeys)
#include "test_man_keys.moc"
