// The word size in the window: chosen by its keys, the display's menu or the
// bits panel, and what the user then sees: the display and its small size
// mark, the register list as each register would be recalled, the panel's
// lines, copies and grid cells.
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>

#include "ui/bitgrid.h"
#include "ui/bitspanel.h"
#include "ui/wordtools.h"
#include "uitest.h"

using namespace uitest;

namespace {

void Show(Ccalc& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

// A key with Ctrl as the keyboard sends it: a letter's character is its
// control code, a digit's is the digit.
void CtrlKey(Ccalc& w, char c) {
    const bool letter = c >= 'A' && c <= 'Z';
    const int key = letter ? Qt::Key_A + (c - 'A') : Qt::Key_0 + (c - '0');
    const QString text = letter ? QString(QChar(c - 'A' + 1)) : QString(QChar(c));
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier, text);
    QApplication::sendEvent(Entry(w), &press);
}

CbitsPanel* OpenPanel(Ccalc& w) {
    if (!w.Panel().BitsPanel() || !w.Panel().BitsPanel()->isVisible()) CtrlKey(w, 'B');
    return w.Panel().BitsPanel();
}

// Runs a script as uitest::Run does, with three more kinds of word:
// "^3" is Ctrl+3, "menu:word32" triggers an action of the display's menu
// and "panel:sar" clicks a button of the bits panel's word row.
void Script(Ccalc& w, const QString& script) {
    for (const QString& word : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word.startsWith(QLatin1Char('^'))) {
            CtrlKey(w, word[1].toLatin1());
        } else if (word.startsWith(QLatin1String("menu:"))) {
            QAction* a = w.Panel().DisplayMenu()->findChild<QAction*>(word.mid(5));
            QVERIFY2(a, qPrintable(word));
            a->trigger();
        } else if (word.startsWith(QLatin1String("panel:"))) {
            auto* b = OpenPanel(w)->WordTools()->findChild<QToolButton*>(word.mid(6));
            QVERIFY2(b && b->isEnabled(), qPrintable(word));
            b->click();
        } else {
            Run(w, word);
        }
    }
}

QString WordMark(Ccalc& w) {
    auto* mark = w.findChild<QLabel*>(QStringLiteral("wordSize"));
    return mark && mark->isVisible() ? mark->text() : QString();
}

QString Register(Ccalc& w, int n) { return w.findChild<QTableWidget*>("registers")->item(n, 1)->text(); }

QString LineText(CbitsPanel* panel, const QString& id) {
    auto* line = panel->findChild<CbitsLine*>(QStringLiteral("line_") + id);
    return line && line->isVisibleTo(panel) ? line->Line().text : QStringLiteral("<no line %1>").arg(id);
}

}  // namespace

class TestWordWindow : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(AppDataDir() + "/qz.state");
        Errors().clear();
    }
    void cleanup() { QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n'))); }

    void whatTheDisplayShows_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("mark");  // the small word size in the display; "" for none
        QTest::newRow("NOT 0, Ctrl+3") << "^3 ModeDec 0 bNot"
                                       << "-1"
                                       << "32";
        QTest::newRow("NOT 0 in hex, the panel") << "panel:word32 ModeHex 0 bNot"
                                                 << "FFFFFFFF"
                                                 << "32";
        QTest::newRow("NOT of a mask, the menu") << "menu:word32 modeIPv4 255.255.255.0 bNot"
                                                 << "0.0.0.255"
                                                 << "32";
        QTest::newRow("SHR is logical at 8 bits") << "^1 ModeDec 8 bNeg bSHR 1="
                                                  << "124"
                                                  << "8";
        QTest::newRow("SAR, Ctrl+R") << "^3 ModeDec 8 bNeg ^R 1="
                                     << "-4"
                                     << "32";
        QTest::newRow("SAR, the panel") << "^3 ModeDec 8 bNeg panel:sar 1="
                                        << "-4"
                                        << "32";
        QTest::newRow("byte swap, Ctrl+E") << "^3 ModeHex 12345678 ^E"
                                           << "78563412"
                                           << "32";
        QTest::newRow("byte swap, the menu") << "^2 ModeHex 1234 menu:byteSwap"
                                             << "3412"
                                             << "16";
        QTest::newRow("no byte swap of a float") << "^3 ModeFlt 1.5 ^E ^R"
                                                 << "1.5"
                                                 << "32";
        QTest::newRow("the add wraps at 16 bits") << "^2 ModeDec 32767+1="
                                                  << "-32768"
                                                  << "16";
        QTest::newRow("64 bits") << "^4 ModeHex 0 bNot"
                                 << "FFFFFFFFFFFFFFFF"
                                 << "64";
        QTest::newRow("back to 128 bits, Ctrl+5") << "^3 ^5 ModeHex 0 bNot" << QString(32, 'F') << "";
        QTest::newRow("a change reduces the shown value") << "ModeHex 123456789 ^3"
                                                          << "23456789"
                                                          << "32";
        QTest::newRow("and ends a half-typed entry") << "ModeDec 12 ^3 3"
                                                     << "3"
                                                     << "32";
        QTest::newRow("the pending operand too") << "ModeDec 4294967294/ ^3 2="
                                                 << "-1"
                                                 << "32";
        QTest::newRow("and the values in parentheses") << "ModeDec 4294967294/( ^3 2)="
                                                       << "-1"
                                                       << "32";
    }
    void whatTheDisplayShows() {
        QFETCH(QString, script);
        QFETCH(QString, display);
        QFETCH(QString, mark);
        Ccalc w;
        Show(w);
        Script(w, script);
        QCOMPARE(DisplayText(w), display);
        QCOMPARE(WordMark(w), mark);
        // Wherever it was chosen, the panel and the menu show the size chosen.
        const QString bits = mark.isEmpty() ? QStringLiteral("128") : mark;
        QVERIFY(OpenPanel(w)->WordTools()->SizeButton(bits.toInt())->isChecked());
        QMenu* menu = w.Panel().DisplayMenu();
        w.Panel().ShowDisplayMenu(w.mapToGlobal(QPoint(10, 100)));
        QVERIFY(menu->findChild<QAction*>(QStringLiteral("word") + bits)->isChecked());
        menu->hide();
    }

    // The size stays clear of the parenthesis counter, and the longest
    // value of its word clear of both.
    void theSizeDoesNotCrowdTheDisplay() {
        Ccalc w;
        Show(w);
        Script(w, "^3 ModeBin 1+( 0 bNot");
        auto* counter = w.findChild<QLabel*>(QStringLiteral("ParenCt"));
        auto* mark = w.findChild<QLabel*>(QStringLiteral("wordSize"));
        QCOMPARE(counter->text(), QString("(1"));
        QCOMPARE(WordMark(w), QString("32"));
        QCOMPARE(DisplayText(w), QString(32, '1'));
        QVERIFY(counter->isVisible());
        QVERIFY(!counter->geometry().intersects(mark->geometry()));
        QLabel* entry = Entry(w);
        const int textLeft =
            entry->contentsRect().right() - QFontMetrics(entry->font()).horizontalAdvance(DisplayText(w));
        QVERIFY2(textLeft > mark->geometry().right(), qPrintable(QString::number(textLeft)));
    }

    // A register shows what recalling it gives at the word size; a change
    // of size destroys nothing stored.
    void theRegistersShowWhatARecallGives() {
        Ccalc w;
        Show(w);
        Script(w, "ModeHex FFFFFFFFFFs1 ModeDec 5 bNeg s2");
        QCOMPARE(Register(w, 1), QString("FFFFFFFFFF"));
        Script(w, "^3");
        QCOMPARE(Register(w, 1), QString("FFFFFFFF"));
        QCOMPARE(Register(w, 2), QString("-5"));
        Script(w, "ModeHex r1");
        QCOMPARE(DisplayText(w), QString("FFFFFFFF"));
        Script(w, "ModeDec");
        QCOMPARE(DisplayText(w), QString("-1"));
        Script(w, "^1");
        QCOMPARE(Register(w, 1), QString("FF"));
        // Stored at 32 bits as FFFFFFFF, read at 128 as -1: all bits set.
        Script(w, "^3 ModeHex 0 bNot s4 menu:word128");
        QCOMPARE(Register(w, 1), QString("FFFFFFFFFF"));
        QCOMPARE(Register(w, 4), QString(32, 'F'));
    }

    void thePanelShowsTheWord_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("cells");
        QTest::addColumn<QStringList>("lines");  // id=text, the copy of each standard address its text
        QTest::newRow("8 bits") << "^1 ModeDec 128 bNeg" << 8
                                << QStringList{"hex=80", "signed=-128", "unsigned=128", "highest_bit=7",
                                               "ipv4_standard=0.0.0.128"};
        QTest::newRow("32 bits") << "^3 ModeHex 0 bNot" << 32
                                 << QStringList{"hex=FFFF FFFF",
                                                "signed=-1",
                                                "unsigned=4 294 967 295",
                                                "ipv4=255.255.255.255",
                                                "ipv4_standard=255.255.255.255",
                                                "ipv6_standard=::ffff:ffff"};
        QTest::newRow("128 bits, the standard forms")
            << "ModeHex C00000000000001BB000000000000" << 128
            << QStringList{"ipv6=c:0:0:0:1bb::", "ipv6_standard=c::1bb:0:0:0", "ipv4_standard=none"};
        QTest::newRow("a 32-bit address at 128")
            << "ModeHex 64F2" << 128 << QStringList{"ipv4=100.242", "ipv4_standard=0.0.100.242"};
    }
    void thePanelShowsTheWord() {
        QFETCH(QString, script);
        QFETCH(int, cells);
        QFETCH(QStringList, lines);
        Ccalc w;
        Show(w);
        CbitsPanel* panel = OpenPanel(w);
        Script(w, script);
        CbitGrid* grid = panel->Grid();
        QCOMPARE(grid->BitCount(), cells);
        QVERIFY(!grid->CellRect(cells - 1).isEmpty());
        QVERIFY(grid->CellRect(cells).isEmpty());
        QVERIFY(panel->geometry().contains(grid->geometry().bottomLeft() + panel->pos()));
        for (const QString& pair : lines) {
            const QString id = pair.section('=', 0, 0);
            const QString text = pair.section('=', 1);
            QCOMPARE(LineText(panel, id), text);
            if (!id.endsWith(QLatin1String("_standard")) || text == QLatin1String("none")) continue;
            auto* line = panel->findChild<CbitsLine*>(QStringLiteral("line_") + id);
            QVERIFY(line->CopyButton()->isVisible());
            QCOMPARE(line->CopyButton()->accessibleName(),
                     QStringLiteral("Copy IPv") + id.at(3) + QStringLiteral(" standard"));
            QGuiApplication::clipboard()->clear();
            line->CopyButton()->click();
            QCOMPARE(QGuiApplication::clipboard()->text(), text);
        }
    }
};

QZ_UI_TEST_MAIN(TestWordWindow)
#include "test_word_window.moc"
