// The calculator with its bits panel, the display's context menu, pasting
// numbers written as code writes them and what of it a restart keeps;
// checked by what the user sees: the display, the tape, the panel's lines,
// the clipboard and the state file.
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QWindow>

#include "ui/bitgrid.h"
#include "ui/bitspanel.h"
#include "uitest.h"

using namespace uitest;

namespace {

QString StateFile() { return AppDataDir() + "/qz.state"; }

void Show(Ccalc& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

// Ctrl+B as the keyboard sends it (the character is the control code).
void CtrlB(QWidget* target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::ControlModifier, QStringLiteral("\x02"));
    QApplication::sendEvent(target, &press);
}

CbitsPanel* OpenPanel(Ccalc& w) {
    CtrlB(Entry(w));
    CbitsPanel* panel = w.Panel().BitsPanel();
    return panel && panel->isVisible() ? panel : nullptr;
}

QString LineText(CbitsPanel* panel, const QString& id) {
    auto* line = panel->findChild<CbitsLine*>(QStringLiteral("line_") + id);
    return line && line->isVisibleTo(panel) ? line->Line().text : QStringLiteral("<no line %1>").arg(id);
}

void ClickBit(CbitsPanel* panel, int bit) {
    CbitGrid* grid = panel->Grid();
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(bit).center());
}

// Moves a window as the user does, by its frame through the window system.
void DragTo(QWidget* window, const QPoint& frameTopLeft) {
    window->windowHandle()->setFramePosition(frameTopLeft);
    QTRY_COMPARE(window->frameGeometry().topLeft(), frameTopLeft);
}

QAction* MenuAction(Ccalc& w, const char* name) {
    return w.Panel().DisplayMenu()->findChild<QAction*>(QString::fromLatin1(name));
}

}  // namespace

class TestBitsWindow : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(StateFile());
        Errors().clear();
        QGuiApplication::clipboard()->clear();
    }
    void cleanup() { QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n'))); }

    void thePanelIsMadeOnlyWhenFirstShown() {
        Ccalc w;
        Show(w);
        QVERIFY(!w.Panel().BitsPanel());
        QVERIFY(!w.findChild<CbitsPanel*>());
        Type(w, "12+3=");
        QVERIFY(!w.Panel().BitsPanel());
    }

    // A flipped bit is the entry as if typed: shown at once, used by the next
    // operator, and on the tape only once it takes part in a calculation.
    void aFlippedBitIsTheEntryAsIfTyped_data() {
        QTest::addColumn<QString>("before");  // a script for Run()
        QTest::addColumn<QList<int>>("bits");
        QTest::addColumn<bool>("space");  // Space on the focused cell instead of a click
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("after");  // typed into the panel next
        QTest::addColumn<QStringList>("tape");
        QTest::newRow("hex 0, bit 4, +1=") << "ModeHex" << QList<int>{4} << false << "10"
                                           << "+1\r" << QStringList{"10h", "+ 1h", "= 11h"};
        QTest::newRow("space on the cell") << "ModeHex" << QList<int>{4} << true << "10"
                                           << "+1\r" << QStringList{"10h", "+ 1h", "= 11h"};
        QTest::newRow("decimal, a bit of a typed number") << "ModeDec 40" << QList<int>{0, 1} << false << "43"
                                                          << "*2\r" << QStringList{"43", "* 2", "= 86"};
        QTest::newRow("the sign bit in decimal")
            << "ModeDec 0" << QList<int>{127} << false << "-170141183460469231731687303715884105728"
            << "" << QStringList{};
        QTest::newRow("float sign") << "ModeFlt 1.5" << QList<int>{79} << false << "-1.5"
                                    << "+2\r" << QStringList{"-1.5", "+ 2", "= 0.5"};
        QTest::newRow("a result, then the next operator")
            << "ModeHex f+1=" << QList<int>{0} << false << "11"
            << "-1\r" << QStringList{"Fh", "+ 1h", "= 10h", "11h", "- 1h", "= 10h"};
    }
    void aFlippedBitIsTheEntryAsIfTyped() {
        QFETCH(QString, before);
        QFETCH(QList<int>, bits);
        QFETCH(bool, space);
        QFETCH(QString, shown);
        QFETCH(QString, after);
        QFETCH(QStringList, tape);
        Ccalc w;
        Show(w);
        Run(w, before);
        const QStringList tapeBefore = TapeLines(w);
        CbitsPanel* panel = OpenPanel(w);
        QVERIFY(panel);
        for (const int bit : bits) {
            if (space) {
                panel->Grid()->SetFocusedBit(bit);
                QTest::keyClick(panel->Grid(), Qt::Key_Space);
            } else {
                ClickBit(panel, bit);
            }
        }
        QCOMPARE(DisplayText(w), shown);
        QCOMPARE(TapeLines(w), tapeBefore);
        for (const QChar c : after) QTest::keyClick(panel->Grid(), c.toLatin1());
        QCOMPARE(TapeLines(w), tapeBefore.isEmpty() ? tape : tapeBefore + tape.mid(tapeBefore.size()));
    }

    // The panel shows what the display shows, after whatever changed it.
    // While the display shows the error value, the panel says so and shows
    // no forms and no lit bits: the error value's payload (the top bit
    // alone) is not a number.
    void thePanelFollowsTheDisplay_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("gridBits");
        QTest::addColumn<int>("lit");
        QTest::addColumn<bool>("toggleable");
        QTest::newRow("typed") << "ModeDec 255"
                               << "unsigned"
                               << "255" << 10 << 128 << 8 << true;
        QTest::newRow("keypad") << "ModeHex ff bNot"
                                << "hex"
                                << "FFFF FFFF FFFF FFFF FFFF FFFF FFFF FF00" << 10 << 128 << 120 << true;
        QTest::newRow("mode change to float") << "ModeDec 3 ModeFlt"
                                              << "class"
                                              << "normal" << 10 << 80 << 3 << true;
        QTest::newRow("mode change to hex") << "ModeFlt 2.5 ModeHex"
                                            << "unsigned"
                                            << "2" << 10 << 128 << 1 << true;
        QTest::newRow("recall by keys") << "ModeDec 77 s3 x r3"
                                        << "unsigned"
                                        << "77" << 10 << 128 << 4 << true;
        QTest::newRow("error value") << "ModeDec )"
                                     << "value"
                                     << "*** ERROR ***" << 1 << 128 << 0 << false;
        QTest::newRow("error value in hex") << "ModeHex ff )"
                                            << "value"
                                            << "*** ERROR ***" << 1 << 128 << 0 << false;
        QTest::newRow("error value left in the entry by =") << "ModeDec 2 bPow 1 bNeg = 5"
                                                            << "value"
                                                            << "*** ERROR ***" << 1 << 128 << 0 << false;
        QTest::newRow("after the error, a number") << "ModeDec ) 6"
                                                   << "signed"
                                                   << "6" << 10 << 128 << 2 << true;
        QTest::newRow("IPv4") << "modeIPv4 10.0.0.1"
                              << "ipv4"
                              << "10.0.0.1" << 10 << 128 << 3 << true;
    }
    void thePanelFollowsTheDisplay() {
        QFETCH(QString, script);
        QFETCH(QString, line);
        QFETCH(QString, text);
        QFETCH(int, lines);
        QFETCH(int, gridBits);
        QFETCH(int, lit);
        QFETCH(bool, toggleable);
        Ccalc w;
        Show(w);
        CbitsPanel* panel = OpenPanel(w);
        QVERIFY(panel);
        Run(w, script);
        QCOMPARE(LineText(panel, line), text);
        QCOMPARE(panel->LineCount(), lines);
        CbitGrid* grid = panel->Grid();
        QCOMPARE(grid->BitCount(), gridBits);
        int set = 0;
        for (int n = 0; n < grid->BitCount(); ++n) set += grid->Bit(n) ? 1 : 0;
        QCOMPARE(set, lit);
        QCOMPARE(grid->Toggleable(), toggleable);

        // Where toggling is off a click changes nothing.
        const QString display = DisplayText(w);
        ClickBit(panel, 0);
        if (!toggleable) QCOMPARE(DisplayText(w), display);
    }

    // Values that changed while the panel was closed, values it showed
    // before, and two windows with a panel each.
    void thePanelShowsTheValueOfItsOwnWindow() {
        Ccalc w;
        Show(w);
        Run(w, "ModeDec 5");
        CbitsPanel* panel = OpenPanel(w);
        QVERIFY(panel);
        QCOMPARE(LineText(panel, "unsigned"), QString("5"));
        CtrlB(Entry(w));
        Type(w, "7");
        QVERIFY(OpenPanel(w));
        QCOMPARE(LineText(panel, "unsigned"), QString("57"));
        // Closed on 57, changed and back to 57 before it opens again.
        CtrlB(Entry(w));
        Type(w, "+1=");
        Type(w, "-1=");
        QCOMPARE(DisplayText(w), QString("57"));
        QVERIFY(OpenPanel(w));
        QCOMPARE(LineText(panel, "unsigned"), QString("57"));
        Type(w, "+");
        QCOMPARE(LineText(panel, "unsigned"), QString("57"));
        Type(w, "2");
        QCOMPARE(LineText(panel, "unsigned"), QString("2"));
        QCOMPARE(LineText(panel, "highest_bit"), QString("1"));

        Ccalc other;
        Show(other);
        Run(other, "ModeHex 2");
        CbitsPanel* otherPanel = OpenPanel(other);
        QVERIFY(otherPanel);
        QCOMPARE(LineText(otherPanel, "unsigned"), QString("2"));
        Type(other, "0");
        Type(w, "=");
        QCOMPARE(LineText(otherPanel, "unsigned"), QString("32"));
        QCOMPARE(LineText(panel, "unsigned"), QString("59"));
        QCOMPARE(LineText(otherPanel, "hex"), QString("0000 0000 0000 0000 0000 0000 0000 0020"));
        QCOMPARE(LineText(panel, "hex"), QString("0000 0000 0000 0000 0000 0000 0000 003B"));
    }

    void aRegisterClickAndAPasteRefreshThePanel() {
        Ccalc w;
        Show(w);
        Run(w, "ModeDec 41 s5 x");
        CbitsPanel* panel = OpenPanel(w);
        QVERIFY(panel);
        QCOMPARE(LineText(panel, "unsigned"), QString("0"));
        auto* registers = w.findChild<QTableWidget*>("registers");
        QTest::mouseClick(registers->viewport(), Qt::LeftButton, {},
                          registers->visualItemRect(registers->item(5, 1)).center());
        QCOMPARE(DisplayText(w), QString("41"));
        QCOMPARE(LineText(panel, "unsigned"), QString("41"));
        QGuiApplication::clipboard()->setText("0b1010");
        w.PasteFromClipboard();
        QCOMPARE(LineText(panel, "unsigned"), QString("10"));
    }

    // A rejected float encoding shows its class; using it faults with the
    // usual message, and the calculator goes on.
    void aRejectedFloatEncodingFaultsInACalculation() {
        Ccalc w;
        Show(w);
        Run(w, "ModeFlt 1");
        CbitsPanel* panel = OpenPanel(w);
        QVERIFY(panel);
        ClickBit(panel, 63);  // the integer bit: an unnormal
        QCOMPARE(LineText(panel, "class"), QString("unnormal"));
        Type(w, "+1=");
        QCOMPARE(Errors(), QStringList{"Invalid floating point operation"});
        Errors().clear();
        Type(w, "x2+2=");
        QCOMPARE(DisplayText(w), QString("4"));
        QCOMPARE(LineText(panel, "class"), QString("normal"));
    }

    // A fault from keys typed into the panel opens the error dialog as the
    // window's, above the window and the panel.
    void anErrorFromThePanelBelongsToTheWindow() {
        Ccalc w;
        Show(w);
        CbitsPanel* panel = OpenPanel(w);
        QVERIFY(panel);
        panel->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), panel);
        CqzApplication::ErrorHook = nullptr;
        QString info;
        QWindow* owner = nullptr;
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            info = box->informativeText();
            owner = box->windowHandle()->transientParent();
            box->button(QMessageBox::Ok)->click();
        });
        for (const char c : std::string("1/0=")) QTest::keyClick(panel->Grid(), c);
        RecordErrors();
        QCOMPARE(info, QString("Division by zero"));
        QCOMPARE(owner, w.windowHandle());
    }

    void ctrlBAndTheMenuShowAndHideThePanel() {
        Ccalc w;
        Show(w);
        QVERIFY(OpenPanel(w));
        CtrlB(Entry(w));
        QVERIFY(!w.Panel().BitsPanel()->isVisible());
        QVERIFY(!w.Panel().BitsPanelShown());
        // Ctrl+B works wherever the focus is in the window.
        CtrlB(w.findChild<QRadioButton*>("ModeHex"));
        QVERIFY(w.Panel().BitsPanel()->isVisible());
        // In the panel, Ctrl+B and Escape close it, not the calculator.
        CtrlB(w.Panel().BitsPanel()->Grid());
        QVERIFY(!w.Panel().BitsPanel()->isVisible());
        QVERIFY(w.isVisible());
        w.Panel().SetBitsPanelShown(true);
        QTest::keyClick(w.Panel().BitsPanel()->Grid(), Qt::Key_Escape);
        QVERIFY(!w.Panel().BitsPanel()->isVisible());
        QVERIFY(w.isVisible());
        QVERIFY(!w.Panel().BitsPanelShown());

        QAction* bits = MenuAction(w, "bitsPanel");
        w.Panel().ShowDisplayMenu(w.mapToGlobal(QPoint(10, 100)));
        QVERIFY(!bits->isChecked());
        bits->trigger();
        w.Panel().DisplayMenu()->hide();
        QVERIFY(w.Panel().BitsPanel()->isVisible());
        w.Panel().ShowDisplayMenu(w.mapToGlobal(QPoint(10, 100)));
        QVERIFY(bits->isChecked());
        w.Panel().DisplayMenu()->hide();
        QVERIFY(w.isVisible());
    }

    void aRightClickOrTheMenuKeyOpensTheMenu_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("right click") << 0;
        QTest::newRow("Menu key") << 1;
        QTest::newRow("Shift+F10") << 2;
    }
    void aRightClickOrTheMenuKeyOpensTheMenu() {
        QFETCH(int, how);
        Ccalc w;
        Show(w);
        QLabel* entry = Entry(w);
        if (how == 0) {
            // What the windowing system makes of a right click.
            QContextMenuEvent click(QContextMenuEvent::Mouse, entry->rect().center(),
                                    entry->mapToGlobal(entry->rect().center()));
            QApplication::sendEvent(entry, &click);
        }
        if (how == 1) QTest::keyClick(entry, Qt::Key_Menu);
        if (how == 2) QTest::keyClick(entry, Qt::Key_F10, Qt::ShiftModifier);
        QMenu* menu = w.findChild<QMenu*>("displayMenu");
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->text();
        QCOMPARE(texts, (QStringList{"Copy", "Copy as 0x hexadecimal", "Copy as signed decimal",
                                     "Copy as unsigned decimal", "Copy as 0o octal", "Copy as 0b binary",
                                     "Paste", "Word size", "Shift right arithmetic (SAR)",
                                     "Byte swap (BSWAP)", "Bits panel", "Always on top"}));
        menu->hide();
    }

    void theMenuCopiesTheShownValue_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("clipboard");  // "" : disabled, the clipboard unchanged
        const QString neg5 = "ModeDec 5 bNeg";
        QTest::newRow("copy") << neg5 << "copy"
                              << "-5";
        QTest::newRow("hex") << neg5 << "copyHex"
                             << "0xFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFB";
        QTest::newRow("signed") << neg5 << "copySigned"
                                << "-5";
        QTest::newRow("unsigned") << neg5 << "copyUnsigned"
                                  << "340282366920938463463374607431768211451";
        QTest::newRow("octal") << neg5 << "copyOctal"
                               << "0o3777777777777777777777777777777777777777773";
        QTest::newRow("binary") << neg5 << "copyBinary"
                                << "0b" + QString(125, '1') + "011";
        QTest::newRow("hex of a small hex") << "ModeHex 1f"
                                            << "copyHex"
                                            << "0x1F";
        QTest::newRow("zero in binary") << "ModeBin 0"
                                        << "copyBinary"
                                        << "0b0";
        QTest::newRow("IPv4 as unsigned") << "modeIPv4 10.0.0.1"
                                          << "copyUnsigned"
                                          << "167772161";
        QTest::newRow("float copy") << "ModeFlt 2.5"
                                    << "copy"
                                    << "2.5";
        for (const char* a : {"copyHex", "copySigned", "copyUnsigned", "copyOctal", "copyBinary"}) {
            QTest::newRow(qPrintable(QStringLiteral("float %1 off").arg(a))) << "ModeFlt 2.5" << a << "";
            QTest::newRow(qPrintable(QStringLiteral("error %1 off").arg(a))) << "ModeDec )" << a << "";
        }
    }
    void theMenuCopiesTheShownValue() {
        QFETCH(QString, script);
        QFETCH(QString, action);
        QFETCH(QString, clipboard);
        Ccalc w;
        Show(w);
        Run(w, script);
        QGuiApplication::clipboard()->setText("before");
        w.Panel().ShowDisplayMenu(w.mapToGlobal(QPoint(10, 100)));
        QAction* a = MenuAction(w, action.toLatin1().constData());
        QVERIFY(a);
        QCOMPARE(a->isEnabled(), !clipboard.isEmpty());
        a->trigger();
        w.Panel().DisplayMenu()->hide();
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard.isEmpty() ? QString("before") : clipboard);
        // What a copy puts on the clipboard pastes back as the same bits.
        if (!clipboard.isEmpty() && clipboard.startsWith("0")) {
            const CalcValue v = w.Mach().BitsValue();
            w.PasteFromClipboard();
            QCOMPARE(w.Mach().BitsValue().w(), v.w());
        }
    }

    // Both windows stay up, and a panel the user moved stays where it was.
    void alwaysOnTopKeepsBothWindowsUp() {
        Ccalc w;
        Show(w);
        CbitsPanel* panel = OpenPanel(w);
        QVERIFY(panel);
        const QPoint place = w.frameGeometry().bottomRight() + QPoint(-100, 30);
        DragTo(panel, place);
        w.Panel().ShowDisplayMenu(w.mapToGlobal(QPoint(10, 100)));
        MenuAction(w, "alwaysOnTop")->trigger();
        w.Panel().DisplayMenu()->hide();
        QVERIFY(w.Panel().AlwaysOnTop());
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w.isVisible());
        QTRY_VERIFY(panel->isVisible());
        QVERIFY(panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTRY_COMPARE(panel->frameGeometry().topLeft(), place);
        w.Panel().SetAlwaysOnTop(false);
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w.isVisible());
        QTRY_VERIFY(panel->isVisible());
        QTRY_COMPARE(panel->frameGeometry().topLeft(), place);
        QVERIFY(!panel->FollowsOwner());
    }

    // The panel, its place and Always on top come back after a restart; a
    // place no longer on any screen gives way to the usual one.
    void aRestartBringsThePanelBack_data() {
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<bool>("kept");
        QTest::newRow("on the screen") << QPoint(40, 330) << true;
        QTest::newRow("off every screen") << QPoint(30000, -30000) << false;
    }
    void aRestartBringsThePanelBack() {
        QFETCH(QPoint, place);
        QFETCH(bool, kept);
        {
            Ccalc w;
            Show(w);
            Type(w, "5");
            CbitsPanel* panel = OpenPanel(w);
            QVERIFY(panel);
            DragTo(panel, place);
            w.Panel().SetAlwaysOnTop(true);
            QTest::keyClick(Entry(w), Qt::Key_Escape);  // closes the calculator
            QVERIFY(!w.isVisible());
        }
        QFile file(StateFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray state = file.readAll();
        file.close();
        QVERIFY(
            state.startsWith(QStringLiteral("[globals]\r\nmode=vmFloat\r\nbits=1\r\nbitsx=%1\r\nbitsy=%2\r\n"
                                            "ontop=1\r\n\r\n[registers]")
                                 .arg(place.x())
                                 .arg(place.y())
                                 .toLatin1()));

        {
            Ccalc w;
            QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QVERIFY(!w.Panel().BitsPanel());
            Show(w);
            QTRY_VERIFY(w.Panel().BitsPanel() && w.Panel().BitsPanel()->isVisible());
            if (kept) {
                QCOMPARE(w.Panel().BitsPanel()->pos(), place);
            } else {
                QVERIFY(
                    w.Panel().BitsPanel()->screen()->geometry().contains(w.Panel().BitsPanel()->geometry()));
                QCOMPARE(w.Panel().BitsPanel()->x(), w.frameGeometry().left());
            }
            // Closed at the end, it stays closed; a place of its own is kept,
            // one against the window is not.
            CtrlB(Entry(w));
            w.Panel().SetAlwaysOnTop(false);
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray closed = file.readAll();
        QVERIFY(!closed.contains("bits=1") && !closed.contains("ontop"));
        QCOMPARE(closed.contains("bitsx="), kept);
        Ccalc again;
        Show(again);
        QTest::qWait(20);
        QVERIFY(!again.Panel().BitsPanel());
        QVERIFY(!again.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void aSessionWithoutThePanelWritesTheFileAsBefore() {
        {
            Ccalc w;
            Show(w);
            Type(w, "5");
        }
        QFile file(StateFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("[globals]\r\nmode=vmFloat\r\n\r\n[registers]\r\n"));
    }
};

QZ_UI_TEST_MAIN(TestBitsWindow)
#include "test_bits_window.moc"
