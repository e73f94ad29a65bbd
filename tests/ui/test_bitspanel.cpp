// The bits panel on its own, with a plain window as its owner: where the
// cells sit and which bit a click or a key flips, copying a line, the
// accessible reading, closing, and where the panel opens.
#include <QAccessible>
#include <QClipboard>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <set>
#include <stdexcept>

#include "ui/bitgrid.h"
#include "ui/bitspanel.h"
#include "uitest.h"

using namespace uitest;

namespace {

BitsPanelContent Content(int bitCount, std::array<std::uint64_t, 2> bits = {}, bool toggleable = true) {
    BitsPanelContent c;
    c.lines = {{"hex", "Hexadecimal", "0000 0000 0000 0000 0000 0000 0000 00FF",
                "000000000000000000000000000000FF", 35},
               {"udec", "Unsigned", "255", "255", 0}};
    c.bitCount = bitCount;
    c.bits = bits;
    c.toggleable = toggleable;
    return c;
}

// Row and column of a cell as drawn, counted from the top left, found from
// the distinct positions of all cells.
QPoint DrawnPlace(const CbitGrid& grid, int bit) {
    std::set<int> tops, lefts;
    for (int n = 0; n < grid.BitCount(); ++n) {
        tops.insert(grid.CellRect(n).top());
        lefts.insert(grid.CellRect(n).left());
    }
    const QRect r = grid.CellRect(bit);
    return {static_cast<int>(std::distance(lefts.begin(), lefts.find(r.left()))),
            static_cast<int>(std::distance(tops.begin(), tops.find(r.top())))};
}

struct Owner {
    QWidget window;
    CbitsPanel panel{&window};
    Owner() {
        window.setFixedSize(480, 272);
        panel.SetContent(Content(128));
    }
};

// Moves a window as the user does, by its frame through the window system.
void DragTo(QWidget* window, const QPoint& frameTopLeft) {
    window->windowHandle()->setFramePosition(frameTopLeft);
    QTRY_COMPARE(window->frameGeometry().topLeft(), frameTopLeft);
}

}  // namespace

class TestBitsPanel : public QObject {
    Q_OBJECT

private slots:
    void cellsSitWhereDrawnAndAClickFlipsThem_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("bit");
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::newRow("int 0 bottom right") << 128 << 0 << 31 << 3;
        QTest::newRow("int 31 bottom left") << 128 << 31 << 0 << 3;
        QTest::newRow("int 32 row above, right") << 128 << 32 << 31 << 2;
        QTest::newRow("int 5") << 128 << 5 << 26 << 3;
        QTest::newRow("int 96 top right") << 128 << 96 << 31 << 0;
        QTest::newRow("int 127 top left") << 128 << 127 << 0 << 0;
        QTest::newRow("float 0 bottom right") << 80 << 0 << 31 << 2;
        QTest::newRow("float 31 bottom left") << 80 << 31 << 0 << 2;
        QTest::newRow("float 32 middle right") << 80 << 32 << 31 << 1;
        QTest::newRow("float 63 integer bit") << 80 << 63 << 0 << 1;
        QTest::newRow("float 64 last exponent bit") << 80 << 64 << 15 << 0;
        QTest::newRow("float 79 sign top left") << 80 << 79 << 0 << 0;
    }
    void cellsSitWhereDrawnAndAClickFlipsThem() {
        QFETCH(int, count);
        QFETCH(int, bit);
        QFETCH(int, col);
        QFETCH(int, row);
        Owner o;
        o.panel.SetContent(Content(count));
        CbitGrid* grid = o.panel.findChild<CbitGrid*>("bitGrid");
        QVERIFY(grid);
        QCOMPARE(grid->BitCount(), count);
        QCOMPARE(DrawnPlace(*grid, bit), QPoint(col, row));
        QVERIFY(grid->rect().contains(grid->CellRect(bit)));
        QCOMPARE(grid->BitAt(grid->CellRect(bit).center()), bit);

        QSignalSpy toggled(&o.panel, &CbitsPanel::BitToggled);
        QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(bit).center());
        QCOMPARE(toggled.size(), 1);
        QCOMPARE(toggled.at(0).at(0).toInt(), bit);
        QCOMPARE(grid->FocusedBit(), bit);
        // The gap beside the cell and the bit numbers under it are no cell.
        QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(bit).bottomRight() + QPoint(1, 1));
        QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(bit).center() + QPoint(0, 20));
        QCOMPARE(toggled.size(), 1);
    }

    void everyCellIsDistinctAndInside() {
        for (const int count : {128, 80}) {
            Owner o;
            o.panel.SetContent(Content(count));
            const CbitGrid* grid = o.panel.Grid();
            std::set<std::pair<int, int>> seen;
            for (int n = 0; n < count; ++n) {
                const QRect r = grid->CellRect(n);
                QVERIFY2(grid->rect().contains(r), qPrintable(QString::number(n)));
                QCOMPARE(grid->BitAt(r.center()), n);
                seen.insert({r.left(), r.top()});
            }
            QCOMPARE(static_cast<int>(seen.size()), count);
            QVERIFY(grid->CellRect(count).isNull());
            QCOMPARE(grid->BitAt(QPoint(-1, 0)), -1);
        }
    }

    void arrowsMoveTheFocusAndSpaceFlips_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("focus");
        QTest::newRow("left goes up a bit") << 128 << 0 << int(Qt::Key_Left) << 1;
        QTest::newRow("right goes down a bit") << 128 << 1 << int(Qt::Key_Right) << 0;
        QTest::newRow("right stops at bit 0") << 128 << 0 << int(Qt::Key_Right) << 0;
        QTest::newRow("left stops at the row's end") << 128 << 31 << int(Qt::Key_Left) << 31;
        QTest::newRow("up goes 32 higher") << 128 << 5 << int(Qt::Key_Up) << 37;
        QTest::newRow("down goes 32 lower") << 128 << 100 << int(Qt::Key_Down) << 68;
        QTest::newRow("up stops at the top") << 128 << 127 << int(Qt::Key_Up) << 127;
        QTest::newRow("down stops at the bottom") << 128 << 3 << int(Qt::Key_Down) << 3;
        QTest::newRow("home") << 128 << 40 << int(Qt::Key_Home) << 63;
        QTest::newRow("end") << 128 << 40 << int(Qt::Key_End) << 32;
        QTest::newRow("float up into the short row") << 80 << 32 << int(Qt::Key_Up) << 64;
        QTest::newRow("float up from the integer bit") << 80 << 63 << int(Qt::Key_Up) << 79;
        QTest::newRow("float down from the sign") << 80 << 79 << int(Qt::Key_Down) << 63;
        QTest::newRow("float right stops at the exponent's end") << 80 << 64 << int(Qt::Key_Right) << 64;
        QTest::newRow("float left from the exponent's end") << 80 << 64 << int(Qt::Key_Left) << 65;
    }
    void arrowsMoveTheFocusAndSpaceFlips() {
        QFETCH(int, count);
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, focus);
        Owner o;
        o.panel.SetContent(Content(count));
        CbitGrid* grid = o.panel.Grid();
        grid->SetFocusedBit(start);
        QSignalSpy toggled(&o.panel, &CbitsPanel::BitToggled);
        QTest::keyClick(grid, Qt::Key(key));
        QCOMPARE(grid->FocusedBit(), focus);
        QCOMPARE(toggled.size(), 0);
        QTest::keyClick(grid, Qt::Key_Space);
        QCOMPARE(toggled.size(), 1);
        QCOMPARE(toggled.at(0).at(0).toInt(), focus);
        QTest::keyClick(grid, Qt::Key_Space, Qt::ShiftModifier);
        QCOMPARE(toggled.size(), 1);
    }

    void withTogglingOffTheBitsShowButNothingFlips() {
        Owner o;
        o.panel.SetContent(Content(128, {0, 1ULL << 63}, false));
        CbitGrid* grid = o.panel.Grid();
        QVERIFY(grid->Bit(127));
        QVERIFY(!grid->Toggleable());
        QSignalSpy toggled(&o.panel, &CbitsPanel::BitToggled);
        QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(127).center());
        QCOMPARE(grid->FocusedBit(), 127);  // still readable cell by cell
        QTest::keyClick(grid, Qt::Key_Space);
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_Space);
        QCOMPARE(toggled.size(), 0);
        QCOMPARE(grid->FocusedBit(), 126);

        o.panel.SetContent(Content(0));
        QVERIFY(grid->isHidden());
        QCOMPARE(grid->FocusedBit(), -1);
        QCOMPARE(o.panel.LineCount(), 2);
    }

    void aFailingReceiverIsReportedAndThePanelGoesOn() {
        Owner o;
        Errors().clear();
        connect(&o.panel, &CbitsPanel::BitToggled, &o.panel,
                [](int) { throw std::runtime_error("no such bit"); });
        QTest::mouseClick(o.panel.Grid(), Qt::LeftButton, {}, o.panel.Grid()->CellRect(3).center());
        QCOMPARE(Errors().size(), 1);
        QVERIFY2(Errors().at(0).contains("no such bit"), qPrintable(Errors().at(0)));
        QCOMPARE(o.panel.Grid()->FocusedBit(), 3);
    }

    // The panel repaints only what changed; after any sequence of contents
    // what is on screen must equal a fresh drawing of the last one, and set
    // cells must be the marked ones.
    void whatIsOnScreenMatchesTheContent() {
        Owner o;
        o.window.show();
        o.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.panel));
        BitsPanelContent typed = Content(128, {0x1234, 0});
        typed.lines[0].text = "0000 0000 0000 0000 0000 0000 0000 1234";
        typed.lines[0].dimmed = 34;
        typed.lines[1].text = "4660";
        BitsPanelContent flipped = typed;
        flipped.bits[0] ^= 1ULL << 5;
        flipped.lines[1].text = "4692";
        BitsPanelContent flt = Content(80, {0xC90FDAA22168C23CULL, 0x4000});
        flt.lines[0].text = "4000 C90F DAA2 2168 C23C";
        flt.lines[0].dimmed = 0;
        const BitsPanelContent steps[] = {typed, flipped, typed, flt, Content(128, {~0ULL, ~0ULL}, false),
                                          typed};
        for (const BitsPanelContent& c : steps) {
            o.panel.SetContent(c);
            QCoreApplication::processEvents();
            const QImage shown =
                o.panel.screen()->grabWindow(o.panel.winId()).toImage().convertToFormat(QImage::Format_RGB32);
            const QImage fresh = o.panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(shown.size(), fresh.size());
            QVERIFY(shown == fresh);
            const CbitGrid* grid = o.panel.Grid();
            for (int n = 0; n < grid->BitCount(); ++n) {
                const QPoint at = grid->mapTo(&o.panel, grid->CellRect(n).center());
                QCOMPARE(shown.pixel(at) == qRgb(0xFF, 0xFF, 0), grid->Bit(n));
            }
        }
    }

    void theGridShowsTheGivenBits() {
        Owner o;
        o.panel.SetContent(Content(128, {0x8000000000000021ULL, 0x4000000000000001ULL}));
        const CbitGrid* grid = o.panel.Grid();
        std::vector<int> set;
        for (int n = 0; n < 128; ++n)
            if (grid->Bit(n)) set.push_back(n);
        QCOMPARE(set, (std::vector<int>{0, 5, 63, 64, 126}));
        // Bits above the float's 80 are not part of it.
        o.panel.SetContent(Content(80, {1, ~0ULL}));
        int high = 0;
        for (int n = 64; n < 128; ++n) high += grid->Bit(n);
        QCOMPARE(high, 16);
        QVERIFY(grid->Bit(0));
    }

    // Change events cannot be watched here: without a platform accessibility
    // bridge (offscreen) Qt delivers none, not even to an update handler.
    void theFocusedCellReadsAloud() {
        Owner o;
        CbitGrid* grid = o.panel.Grid();
        QCOMPARE(grid->accessibleName(), QString("Bits"));
        o.panel.SetContent(Content(128, {1ULL << 5, 0}));
        grid->SetFocusedBit(5);
        QCOMPARE(grid->accessibleDescription(), QString("bit 5, set"));
        QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(grid->accessibleDescription(), QString("bit 6, clear"));
        o.panel.SetContent(Content(128, {1ULL << 6, 0}));
        QCOMPARE(grid->accessibleDescription(), QString("bit 6, set"));
        // What a screen reader is given, not merely the property.
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(grid);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Description), QString("bit 6, set"));
        CbitsLine* hex = o.panel.findChild<CbitsLine*>("line_hex");
        QVERIFY(hex);
        QCOMPARE(hex->accessibleName(), QString("Hexadecimal"));
        QCOMPARE(hex->CopyButton()->accessibleName(), QString("Copy Hexadecimal"));
    }

    void aLineCopiesItsTextWithoutBlanks() {
        Owner o;
        CbitsLine* hex = o.panel.findChild<CbitsLine*>("line_hex");
        QVERIFY(hex);
        QApplication::clipboard()->setText("before");
        hex->CopyButton()->click();
        QCOMPARE(QApplication::clipboard()->text(), QString("000000000000000000000000000000FF"));
        QApplication::clipboard()->setText("before");
        QVERIFY(hex->actions().contains(hex->CopyAction()));
        QCOMPARE(hex->contextMenuPolicy(), Qt::ActionsContextMenu);
        hex->CopyAction()->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("000000000000000000000000000000FF"));
        // Without a copy text the shown text is copied.
        BitsPanelContent c = Content(128);
        c.lines[1].copyText.clear();
        c.lines[1].text = "-1";
        o.panel.SetContent(c);
        o.panel.findChild<CbitsLine*>("line_udec")->CopyAction()->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("-1"));
    }

    // The values are painted over the lines, but a click on a caption or a
    // value reaches its line, whose menu holds Copy.
    void aClickOnALineReachesTheLine() {
        Owner o;
        o.window.show();
        o.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.panel));
        for (int i = 0; i < o.panel.LineCount(); ++i) {
            CbitsLine* line = o.panel.Line(i);
            for (const int x : {2, 100, 300, line->width() - 30}) {
                const QPoint at = line->mapTo(&o.panel, QPoint(x, CbitsLine::kHeight / 2));
                QCOMPARE(o.panel.childAt(at), static_cast<QWidget*>(line));
            }
            const QPoint button = line->CopyButton()->mapTo(&o.panel, line->CopyButton()->rect().center());
            QCOMPARE(o.panel.childAt(button), static_cast<QWidget*>(line->CopyButton()));
        }
    }

    void newContentReusesTheWidgets() {
        Owner o;
        CbitsLine* first = o.panel.Line(0);
        const int intHeight = o.panel.height();
        BitsPanelContent c = Content(80);
        c.lines.push_back({"class", "Class", "normal", "normal", 0});
        o.panel.SetContent(c);
        QCOMPARE(o.panel.LineCount(), 3);
        QCOMPARE(o.panel.Line(0), first);
        QCOMPARE(o.panel.Line(2)->Line().text, QString("normal"));
        QVERIFY(o.panel.height() != intHeight);
        o.panel.SetContent(Content(128));
        QCOMPARE(o.panel.LineCount(), 2);
        QVERIFY(!o.panel.Line(2));
        QCOMPARE(o.panel.height(), intHeight);
        QCOMPARE(o.panel.findChildren<CbitsLine*>().size(), 3);
        QCOMPARE(o.panel.width(), 480);
    }

    void closingHidesThePanelOnly_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Escape") << 0;
        QTest::newRow("Ctrl+B") << 1;
        QTest::newRow("close button") << 2;
    }
    void closingHidesThePanelOnly() {
        QFETCH(int, how);
        Owner o;
        o.window.show();
        o.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.panel));
        QSignalSpy closed(&o.panel, &CbitsPanel::Closed);
        if (how == 0) QTest::keyClick(o.panel.Grid(), Qt::Key_Escape);
        if (how == 1) QTest::keyClick(o.panel.Grid(), Qt::Key_B, Qt::ControlModifier);
        if (how == 2) o.panel.close();
        QVERIFY(o.panel.isHidden());
        QCOMPARE(closed.size(), 1);
        QVERIFY(o.window.isVisible());
        // Shown again, it has kept its content.
        o.panel.show();
        QCOMPARE(o.panel.LineCount(), 2);
        // Shift+Escape is not a close key.
        QTest::keyClick(o.panel.Grid(), Qt::Key_Escape, Qt::ShiftModifier);
        QVERIFY(o.panel.isVisible());
    }

    void thePanelGoesWithItsOwner() {
        Owner o;
        o.window.show();
        o.panel.show();
        o.window.hide();
        QVERIFY(o.panel.isHidden());
        auto* panel = new CbitsPanel(new QWidget);
        QPointer<CbitsPanel> watch(panel);
        delete panel->parentWidget();
        QVERIFY(watch.isNull());
    }

    void opensBelowOrAboveAndFollows() {
        Owner o;
        const QRect area = o.window.screen()->availableGeometry();
        o.window.move(area.left() + 40, area.top() + 30);
        o.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.window));
        o.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.panel));
        QTRY_COMPARE(o.panel.frameGeometry().topLeft(), o.window.frameGeometry().bottomLeft() + QPoint(0, 1));

        o.window.move(area.left() + 90, area.top() + 60);
        QTRY_COMPARE(o.panel.frameGeometry().topLeft(), o.window.frameGeometry().bottomLeft() + QPoint(0, 1));

        // At the bottom of the screen there is no room below.
        o.window.move(area.left() + 10, area.bottom() - o.window.frameGeometry().height() - 20);
        QTRY_COMPARE(o.panel.frameGeometry().bottomLeft(), o.window.frameGeometry().topLeft() - QPoint(0, 1));
        QVERIFY(area.contains(o.panel.frameGeometry()));

        // A taller layout keeps the panel's bottom against the owner.
        BitsPanelContent tall = Content(128);
        tall.lines.resize(6, tall.lines[1]);
        o.panel.SetContent(tall);
        QTRY_COMPARE(o.panel.frameGeometry().bottomLeft(), o.window.frameGeometry().topLeft() - QPoint(0, 1));

        // Shown again after the owner moved without it, it is placed anew.
        o.panel.hide();
        o.window.move(area.left() + 20, area.top() + 20);
        QTRY_COMPARE(o.window.frameGeometry().topLeft(), QPoint(area.left() + 20, area.top() + 20));
        o.panel.show();
        QTRY_COMPARE(o.panel.frameGeometry().topLeft(), o.window.frameGeometry().bottomLeft() + QPoint(0, 1));
    }

    // A screen too low for both: the panel takes the side with more room
    // and runs off the screen there, never over its owner.
    void withRoomOnNeitherSideItNeverCoversTheOwner_data() {
        QTest::addColumn<int>("shift");  // the owner's top from the middle of the screen
        QTest::addColumn<bool>("below");
        QTest::newRow("more room below") << -10 << true;
        QTest::newRow("more room above") << 10 << false;
    }
    void withRoomOnNeitherSideItNeverCoversTheOwner() {
        QFETCH(int, shift);
        QFETCH(bool, below);
        Owner o;
        BitsPanelContent tall = Content(128);
        tall.lines.resize(14, tall.lines[1]);
        o.panel.SetContent(tall);
        const QRect area = o.window.screen()->availableGeometry();
        o.window.move(area.left() + 10, area.center().y() - 136 + shift);
        o.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.window));
        const QRect owner = o.window.frameGeometry();
        const int panelHeight = o.panel.height() + owner.height() - o.window.height();
        QVERIFY2(owner.top() - area.top() < panelHeight && area.bottom() - owner.bottom() < panelHeight,
                 "the screen has room on one side");
        o.panel.show();
        if (below)
            QTRY_COMPARE(o.panel.frameGeometry().topLeft(), owner.bottomLeft() + QPoint(0, 1));
        else
            QTRY_COMPARE(o.panel.frameGeometry().bottomLeft(), owner.topLeft() - QPoint(0, 1));
        QVERIFY(!o.panel.frameGeometry().intersects(owner));
    }

    // Dragged away, the panel stays while its owner moves and when it is
    // shown again; dragged back against the owner's edge, it follows again,
    // keeping how far along the edge the user put it.
    void aPanelTheUserMovedStaysWhereItWasPut() {
        Owner o;
        const QRect area = o.window.screen()->availableGeometry();
        o.window.move(area.left() + 40, area.top() + 30);
        o.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.window));
        o.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.panel));
        QTRY_COMPARE(o.panel.frameGeometry().topLeft(), o.window.frameGeometry().bottomLeft() + QPoint(0, 1));
        QVERIFY(o.panel.FollowsOwner());
        QVERIFY(!o.panel.UserPlace());

        const QPoint away(area.left() + 300, area.bottom() - 250);
        DragTo(&o.panel, away);
        QVERIFY(!o.panel.FollowsOwner());
        QCOMPARE(o.panel.UserPlace(), std::optional<QPoint>(away));
        o.window.move(area.left() + 60, area.top() + 20);
        QTRY_COMPARE(o.window.pos(), QPoint(area.left() + 60, area.top() + 20));
        QTest::qWait(20);
        QCOMPARE(o.panel.frameGeometry().topLeft(), away);
        o.panel.hide();
        o.panel.show();
        QTRY_COMPARE(o.panel.frameGeometry().topLeft(), away);

        const QPoint docked = o.window.frameGeometry().bottomLeft() + QPoint(30, 5);
        DragTo(&o.panel, docked);
        QVERIFY(o.panel.FollowsOwner());
        o.window.move(area.left() + 10, area.top() + 40);
        QTRY_COMPARE(o.panel.frameGeometry().topLeft(),
                     o.window.frameGeometry().bottomLeft() + QPoint(30, 1));
    }

    // The place it is given to open at: kept when on a screen and clear of
    // the owner, else the panel opens against the owner.
    void aPlaceToOpenAt_data() {
        QTest::addColumn<QPoint>("offset");  // from the owner's frame's bottom left
        QTest::addColumn<bool>("kept");
        QTest::newRow("clear of the owner") << QPoint(0, 40) << true;
        QTest::newRow("over the owner") << QPoint(20, -100) << false;
        QTest::newRow("off every screen") << QPoint(40000, 0) << false;
    }
    void aPlaceToOpenAt() {
        QFETCH(QPoint, offset);
        QFETCH(bool, kept);
        Owner o;
        const QRect area = o.window.screen()->availableGeometry();
        o.window.move(area.left() + 40, area.top() + 30);
        o.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.window));
        const QPoint place = o.window.frameGeometry().bottomLeft() + offset;
        o.panel.PlaceAt(place);
        o.panel.show();
        const QPoint beside = o.window.frameGeometry().bottomLeft() + QPoint(0, 1);
        QTRY_COMPARE(o.panel.frameGeometry().topLeft(), kept ? place : beside);
        QCOMPARE(o.panel.FollowsOwner(), !kept);
    }
};

QZ_UI_TEST_MAIN(TestBitsPanel)
#include "test_bitspanel.moc"
