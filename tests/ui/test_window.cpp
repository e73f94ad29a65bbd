// The main window as built: its widgets, their places, captions, colours,
// tab order, the mode-dependent keypad and the splitter's limit.
#include <QButtonGroup>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStyle>
#include <QTableWidget>

#include "uitest.h"

using namespace uitest;

namespace {

const char* const kFloatOnly[] = {"bSqrt", "bSin", "bCos", "bPi"};
const char* const kIntegerOnly[] = {"bAnd",   "bOr",  "bXor", "bNot", "bLBits",
                                    "bRBits", "bSHL", "bSHR", "bROL", "bROR"};

// Drags the splitter's handle sideways by dx pixels.
void DragSplitter(QSplitter* split, int dx) {
    QSplitterHandle* h = split->handle(1);
    const QPoint from(h->width() / 2, h->height() / 2);
    const QPoint to = from + QPoint(dx, 0);
    QMouseEvent press(QEvent::MouseButtonPress, from, h->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(h, &press);
    QMouseEvent move(QEvent::MouseMove, to, h->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, h->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(h, &release);
}

// Pixels of a button's image as shown at the button's icon size.
QImage ButtonImage(QPushButton* b) { return b->icon().pixmap(b->iconSize()).toImage(); }

int CountPixels(const QImage& img, bool (*match)(QRgb)) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += match(img.pixel(x, y)) ? 1 : 0;
    return n;
}

// An icon theme whose help and settings images are plain red squares; it is
// the search path and theme of QIcon while the object lives.
class LoudIconTheme {
public:
    LoudIconTheme() : oldPaths_(QIcon::themeSearchPaths()), oldName_(QIcon::themeName()) {
        const QString dir = root_.path() + "/loud/16x16/actions";
        QDir().mkpath(dir);
        QFile index(root_.path() + "/loud/index.theme");
        if (index.open(QIODevice::WriteOnly))
            index.write(
                "[Icon Theme]\nName=loud\nDirectories=16x16/actions\n\n"
                "[16x16/actions]\nSize=16\nType=Fixed\n");
        index.close();
        QImage red(16, 16, QImage::Format_ARGB32);
        red.fill(Qt::red);
        for (const char* name :
             {"help-contents", "help-browser", "help-about", "configure", "preferences-system"})
            red.save(dir + "/" + name + ".png");
        QIcon::setThemeSearchPaths({root_.path()});
        QIcon::setThemeName("loud");
    }
    ~LoudIconTheme() {
        QIcon::setThemeSearchPaths(oldPaths_);
        QIcon::setThemeName(oldName_);
    }

private:
    QTemporaryDir root_;
    QStringList oldPaths_;
    QString oldName_;
};

// The display's own drawing, without the controls that sit on it.
QImage DisplayDrawing(QLabel* entry) {
    QImage img(entry->size(), QImage::Format_RGB32);
    entry->render(&img, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return img;
}

// The yellow of the display's text, also where it is blended into the
// grey at a letter's edge; the frame and the background are grey.
bool IsInk(QRgb p) { return qRed(p) - qBlue(p) > 40 && qGreen(p) - qBlue(p) > 40; }

// The bounding boxes of the drawn lines of text, top to bottom: runs of
// pixel rows holding ink.
QList<QRect> InkLines(const QImage& img) {
    QList<QRect> lines;
    bool inLine = false;
    for (int y = 0; y < img.height(); ++y) {
        int left = img.width(), right = -1;
        for (int x = 0; x < img.width(); ++x)
            if (IsInk(img.pixel(x, y))) {
                left = std::min(left, x);
                right = x;
            }
        if (right < 0) {
            inLine = false;
            continue;
        }
        const QRect row(left, y, right - left + 1, 1);
        if (inLine)
            lines.back() |= row;
        else
            lines << row;
        inLine = true;
    }
    return lines;
}

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { QFile::remove(AppDataDir() + "/qz.state"); }

    void widgets_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        // The two lists sit inside the splitter; their places are checked
        // relative to "outputs", where the user sees them.
        QTest::newRow("outputs") << "outputs"
                                 << "calc" << QRect(8, 4, 464, 80) << "";
        QTest::newRow("registers") << "registers"
                                   << "outputs" << QRect(2, 2, 226, 76) << "";
        QTest::newRow("tape") << "tape"
                              << "outputs" << QRect(236, 2, 226, 76) << "";
        QTest::newRow("entry") << "entry"
                               << "calc" << QRect(8, 88, 464, 32) << "0";
        QTest::newRow("modes") << "modes"
                               << "calc" << QRect(8, 120, 464, 32) << "";
        QTest::newRow("modeIPv6") << "modeIPv6"
                                  << "modes" << QRect(8, 9, 52, 20) << "IPv6";
        QTest::newRow("modeIPv4") << "modeIPv4"
                                  << "modes" << QRect(60, 9, 52, 20) << "IPv4";
        QTest::newRow("ModeHex") << "ModeHex"
                                 << "modes" << QRect(112, 9, 40, 20) << "16";
        QTest::newRow("ModeDec") << "ModeDec"
                                 << "modes" << QRect(156, 9, 44, 20) << "10";
        QTest::newRow("ModeOct") << "ModeOct"
                                 << "modes" << QRect(200, 9, 32, 20) << "8";
        QTest::newRow("ModeBin") << "ModeBin"
                                 << "modes" << QRect(240, 9, 40, 20) << "2";
        QTest::newRow("ModeFlt") << "ModeFlt"
                                 << "modes" << QRect(280, 9, 56, 20) << "Float";
        QTest::newRow("bHelp") << "bHelp"
                               << "modes" << QRect(436, 5, 28, 27) << "";
        QTest::newRow("bAbout") << "bAbout"
                                << "modes" << QRect(407, 5, 28, 27) << "";

        const char* keypad[27][2] = {
            {"bLBits", "LBT"},   {"bSHL", "SHL"},   {"bSHR", "SHR"},    {"bROL", "ROL"},    {"bROR", "ROR"},
            {"bAnd", "AND"},     {"bOr", "OR"},     {"bXor", "XOR"},    {"bNot", "NOT"},    {"bRBits", "RBT"},
            {"bSgn", "SGN"},     {"bAbs", "ABS"},   {"bNeg", "\u00B1"}, {"bRound", "ROUN"}, {"bPow", "^"},
            {"bSqrt", "\u221A"}, {"bSin", "SIN"},   {"bCos", "COS"},    {"bPi", "\u03C0"},  {"bOPar", "("},
            {"bCPar", ")"},      {"bStore", "STO"}, {"bRecall", "RCL"}, {"bClr", "CLR"},    {"bClrA", "CLRA"},
            {"bPrt", "Save"},    {"bTape", "TAPE"},
        };
        const int lefts[9] = {8, 61, 114, 167, 220, 273, 326, 379, 432};
        const int tops[3] = {164, 200, 236};
        for (int i = 0; i < 27; ++i)
            QTest::newRow(keypad[i][0]) << keypad[i][0] << "calc" << QRect(lefts[i % 9], tops[i / 9], 40, 24)
                                        << QString::fromUtf8(keypad[i][1]);
    }

    void widgets() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QWidget* widget = w.findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QWidget* owner = parent == "calc" ? &w : w.findChild<QWidget*>(parent);
        QVERIFY(owner);
        QVERIFY(owner->isAncestorOf(widget));
        QCOMPARE(QRect(widget->mapTo(owner, QPoint(0, 0)), widget->size()), geometry);
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) QCOMPARE(b->text(), caption);
        if (auto* l = qobject_cast<QLabel*>(widget)) QCOMPARE(l->text(), caption);
        QVERIFY(widget->toolTip().isEmpty());
        if (widget->focusPolicy() != Qt::NoFocus)
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(name));
    }

    void imageButtons() {
        Ccalc w;
        QCOMPARE(Button(w, "bHelp")->accessibleName(), QString("Help"));
        QCOMPARE(Button(w, "bAbout")->accessibleName(), QString("About"));
        for (const char* name : {"bHelp", "bAbout"}) {
            QVERIFY(Button(w, name)->text().isEmpty());
            QVERIFY(!Button(w, name)->icon().isNull());
        }
    }

    // The help and settings images are the program's own drawings: whatever
    // the desktop's icon theme holds (here red squares) shows nowhere, and
    // each image exists at the button's icon size instead of being scaled
    // down, blurred, from a larger one.
    void imageButtonsIgnoreTheIconTheme() {
        LoudIconTheme theme;
        const QImage themed = QIcon::fromTheme("help-contents").pixmap(16, 16).toImage();
        QVERIFY2(!themed.isNull() && themed.pixel(8, 8) == qRgb(255, 0, 0), "the test theme is not in use");

        Ccalc w;
        for (const char* name : {"bHelp", "bAbout"}) {
            QPushButton* b = Button(w, name);
            QVERIFY2(b->icon().availableSizes().contains(b->iconSize()), name);
            const QImage img = ButtonImage(b);
            const int red = CountPixels(img, [](QRgb p) {
                return qAlpha(p) > 128 && qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
            });
            const int drawn = CountPixels(img, [](QRgb p) { return qAlpha(p) > 128; });
            QVERIFY2(red == 0, name);
            // A drawing, neither empty nor a filled square.
            QVERIFY2(drawn > img.width() * img.height() / 4, name);
            QVERIFY2(drawn < img.width() * img.height() * 9 / 10, name);
        }
    }

    // The help image is a disc with the question mark cut out of it: the
    // stem and the dot on the centre line let the button face through, the
    // disc around them does not.
    void helpImageIsAQuestionMark() {
        Ccalc w;
        QPushButton* b = Button(w, "bHelp");
        QCOMPARE(b->iconSize(), QSize(16, 16));
        const QImage img = ButtonImage(b);
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);     // outside the disc
        QCOMPARE(qAlpha(img.pixel(8, 1)), 255);   // disc, above the mark
        QCOMPARE(qAlpha(img.pixel(3, 8)), 255);   // disc, left of the mark
        QCOMPARE(qAlpha(img.pixel(8, 9)), 0);     // stem
        QCOMPARE(qAlpha(img.pixel(8, 12)), 0);    // dot
        QCOMPARE(qAlpha(img.pixel(8, 14)), 255);  // disc, below the dot
    }

    // No key caption runs into its key's edges: each keeps at least 4 px of
    // the 40 px face clear on either side in the label font.
    void keyCaptionsFit() {
        Ccalc w;
        const QList<QPushButton*> keys = w.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(keys.size(), 27);
        for (QPushButton* b : keys) {
            const int advance = QFontMetrics(b->font()).horizontalAdvance(b->text());
            QVERIFY2(advance <= b->width() - 8,
                     qPrintable(b->text() + " is " + QString::number(advance) + " px"));
            QCOMPARE(b->font().family(), QApplication::font("QLabel").family());
            QCOMPARE(b->font().pointSizeF(), QApplication::font("QLabel").pointSizeF());
        }
    }

    void tabOrder() {
        Ccalc w;
        QStringList expected{"entry",   "registers", "tape",    "modeIPv6", "modeIPv4", "ModeHex",
                             "ModeDec", "ModeOct",   "ModeBin", "ModeFlt",  "bHelp",    "bAbout"};
        for (const char* b :
             {"bLBits", "bSHL",  "bSHR",  "bROL",   "bROR",    "bAnd", "bOr",   "bXor", "bNot",
              "bRBits", "bSgn",  "bAbs",  "bNeg",   "bRound",  "bPow", "bSqrt", "bSin", "bCos",
              "bPi",    "bOPar", "bCPar", "bStore", "bRecall", "bClr", "bClrA", "bPrt", "bTape"})
            expected << b;
        QStringList chain;
        QWidget* at = Entry(w);
        do {
            if (at->focusPolicy() & Qt::TabFocus) chain << at->objectName();
            at = at->nextInFocusChain();
        } while (at != Entry(w));
        QCOMPARE(chain, expected);
    }

    void startsInFloatMode() {
        Ccalc w;
        QCOMPARE(w.windowTitle(), QString("Zentabula  v2.0"));
        QCOMPARE(w.minimumSize(), QSize(480, 272));
        QCOMPARE(w.maximumSize(), QSize(480, 272));
        QCOMPARE(DisplayText(w), QString("0"));
        QVERIFY(Entry(w)->alignment() & Qt::AlignRight);
        QVERIFY(w.findChild<QLabel*>("ParenCt")->isHidden());
        QVERIFY(w.findChild<QRadioButton*>("ModeFlt")->isChecked());
        for (const char* name : kIntegerOnly) QVERIFY2(!Button(w, name)->isEnabled(), name);
        for (const char* name : kFloatOnly) QVERIFY2(Button(w, name)->isEnabled(), name);
        QVERIFY(Button(w, "bNeg")->isEnabled());
        QCOMPARE(Button(w, "bPrt")->text(), QString("Save"));
        QCOMPARE(w.TapeRows().size(), std::size_t{0});
    }

    void registerList() {
        Ccalc w;
        auto* regs = w.findChild<QTableWidget*>("registers");
        QCOMPARE(regs->rowCount(), 16);
        QCOMPARE(regs->columnCount(), 2);
        QVERIFY(regs->horizontalHeader()->isHidden());
        QCOMPARE(regs->horizontalHeaderItem(0)->text(), QString("#"));
        QCOMPARE(regs->horizontalHeaderItem(1)->text(), QString("?"));
        QCOMPARE(regs->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(regs->showGrid());
        const char* names = "0123456789ABCDEF";
        for (int n = 0; n < 16; ++n) {
            QCOMPARE(regs->item(n, 0)->text(), QString("R") + QChar(names[n]));
            QCOMPARE(regs->item(n, 1)->text(), QString("0"));
            QVERIFY(regs->item(n, 1)->textAlignment() & Qt::AlignRight);
            QVERIFY(regs->rowHeight(n) >= regs->fontMetrics().height() + 2);
        }
        auto* tape = w.findChild<QTableWidget*>("tape");
        QVERIFY(tape->horizontalHeader()->isHidden());
        QCOMPARE(tape->horizontalHeaderItem(0)->text(), QString("Tape"));
        QCOMPARE(tape->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(!tape->showGrid());
    }

    void enabledPerMode_data() {
        QTest::addColumn<QString>("modeButton");
        QTest::addColumn<bool>("floatOnly");
        QTest::addColumn<bool>("integerOnly");
        QTest::addColumn<bool>("neg");
        QTest::newRow("hex") << "ModeHex" << false << true << false;
        QTest::newRow("dec") << "ModeDec" << false << true << true;
        QTest::newRow("oct") << "ModeOct" << false << true << false;
        QTest::newRow("bin") << "ModeBin" << false << true << false;
        QTest::newRow("ipv4") << "modeIPv4" << false << true << false;
        QTest::newRow("ipv6") << "modeIPv6" << false << true << false;
        QTest::newRow("float") << "ModeFlt" << true << false << true;
    }

    void enabledPerMode() {
        QFETCH(QString, modeButton);
        QFETCH(bool, floatOnly);
        QFETCH(bool, integerOnly);
        QFETCH(bool, neg);
        Ccalc w;
        // Start from another mode so the click really switches.
        w.findChild<QRadioButton*>(modeButton == "ModeDec" ? "ModeHex" : "ModeDec")->click();
        w.findChild<QRadioButton*>(modeButton)->click();
        QVERIFY(w.findChild<QRadioButton*>(modeButton)->isChecked());
        for (const char* name : kFloatOnly) QCOMPARE(Button(w, name)->isEnabled(), floatOnly);
        for (const char* name : kIntegerOnly) QCOMPARE(Button(w, name)->isEnabled(), integerOnly);
        QCOMPARE(Button(w, "bNeg")->isEnabled(), neg);
        for (const char* name : {"bSgn", "bAbs", "bRound", "bPow", "bOPar", "bCPar", "bStore", "bRecall",
                                 "bClr", "bClrA", "bPrt", "bTape"})
            QVERIFY2(Button(w, name)->isEnabled(), name);
    }

    void modeWithoutButtonKeepsSelection() {
        Ccalc w;
        w.findChild<QRadioButton*>("ModeOct")->click();
        Type(w, "5");
        w.Mach().LoadMode(vmTime);  // as a state file may have it
        w.UpdateDisplay();
        QVERIFY(w.findChild<QRadioButton*>("ModeOct")->isChecked());
        QCOMPARE(DisplayText(w), QString("*** NOT IMPLEMENTED ***"));
    }

    void parenthesisCounter() {
        Ccalc w;
        auto* counter = w.findChild<QLabel*>("ParenCt");
        QCOMPARE(counter->parentWidget(), Entry(w));
        QCOMPARE(counter->pos(), QPoint(6, 6));
        QCOMPARE(counter->height(), 20);
        for (int i = 0; i < 3; ++i) Button(w, "bOPar")->click();
        QVERIFY(!counter->isHidden());
        QCOMPARE(counter->text(), QString("(3"));
        Button(w, "bCPar")->click();
        QCOMPARE(counter->text(), QString("(2"));
        Button(w, "bCPar")->click();
        Button(w, "bCPar")->click();
        QVERIFY(counter->isHidden());
    }

    // Every count up to 254 is drawn whole: the counter shows the same ink
    // as a label wide enough for anything.
    void theCounterShowsEveryCountWhole() {
        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* counter = w.findChild<QLabel*>("ParenCt");
        const auto ink = [](QLabel* label) {
            QImage img(label->size(), QImage::Format_RGB32);
            label->render(&img);
            const QList<QRect> lines = InkLines(img);
            return lines.isEmpty() ? QRect() : lines.front();
        };
        for (int depth = 1; depth <= 254; ++depth) {
            Button(w, "bOPar")->click();
            if (depth != 1 && depth != 9 && depth != 10 && depth != 100 && depth < 188) continue;
            QCOMPARE(counter->text(), QString("(%1").arg(depth));
            QLabel wide(counter->text());
            wide.setFont(counter->font());
            wide.setPalette(counter->palette());
            wide.setAutoFillBackground(true);
            wide.resize(200, counter->height());
            const QRect whole = ink(&wide), shown = ink(counter);
            QVERIFY2(shown == whole && shown.right() < counter->width() - 1,
                     qPrintable(QString("%1: ink %2 px of %3, counter %4 px wide")
                                    .arg(counter->text())
                                    .arg(shown.width())
                                    .arg(whole.width())
                                    .arg(counter->width())));
        }
    }

    // The widest text of every mode is drawn in full inside the display,
    // clear of its frame and of the parenthesis counter: in a smaller font
    // where needed, and a binary number on two right-justified lines.
    void longTextsAreShownInFull_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("lines");
        const QString ones = "ModeHex FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF ";
        const QString top = "ModeHex 80000000000000000000000000000001 ";
        const QString bin = "1" + QString(126, '0') + "1";
        QTest::newRow("128 binary digits") << top + "ModeBin" << bin << 2;
        QTest::newRow("128 binary digits, parenthesis open") << "bOPar " + top + "ModeBin" << bin << 2;
        QTest::newRow("76 binary digits") << "ModeHex 8000000000000000001 ModeBin"
                                          << "1" + QString(74, '0') + "1" << 2;
        QTest::newRow("39 decimal digits and a sign")
            << "bOPar ModeHex 80000000000000000000000000000000 ModeDec"
            << "-170141183460469231731687303715884105728" << 1;
        QTest::newRow("39 decimal digits and a sign, 254 parentheses open")
            << QString("bOPar ").repeated(254) + "ModeHex 80000000000000000000000000000000 ModeDec"
            << "-170141183460469231731687303715884105728" << 1;
        QTest::newRow("43 octal digits") << "bOPar " + ones + "ModeOct"
                                         << "3" + QString(42, '7') << 1;
        QTest::newRow("32 hexadecimal digits") << "bOPar " + ones << QString(32, 'F') << 1;
        QTest::newRow("IPv4, sixteen parts")
            << "bOPar " + ones + "modeIPv4" << QStringList(16, "255").join('.') << 1;
        QTest::newRow("IPv6, eight groups")
            << "bOPar " + ones + "modeIPv6" << QStringList(8, "ffff").join(':') << 1;
        QTest::newRow("float, longest general text") << "ModeFlt 0.5 bPow 16000= bNeg"
                                                     << "-3.3118402219455016E-4817" << 1;
        QTest::newRow("float entry, 100 characters")
            << "bOPar ModeFlt 1." + QString(98, '0') << "1." + QString(98, '0') << 2;
    }

    void longTextsAreShownInFull() {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        QFETCH(int, lines);
        Ccalc w;
        Run(w, script);
        QCOMPARE(DisplayText(w), expected);
        QLabel* entry = Entry(w);
        const QList<QRect> ink = InkLines(DisplayDrawing(entry));
        QCOMPARE(ink.size(), lines);
        // Text cut off at an edge would reach it; a pixel stays clear.
        const QRect inside = entry->contentsRect().adjusted(1, 1, -1, -1);
        auto* counter = w.findChild<QLabel*>("ParenCt");
        for (const QRect& line : ink) {
            QVERIFY2(inside.contains(line), qPrintable(QString("line at %1,%2 %3x%4")
                                                           .arg(line.x())
                                                           .arg(line.y())
                                                           .arg(line.width())
                                                           .arg(line.height())));
            if (counter->isVisible() || !counter->isHidden())
                QVERIFY2(line.left() > counter->geometry().right(), "runs under the counter");
            QVERIFY2(line.height() >= 8, qPrintable(QString::number(line.height()) + " px high"));
        }
        if (lines == 2) QVERIFY(qAbs(ink[0].right() - ink[1].right()) <= 1);
    }

    // The lowest and the highest of 128 binary digits both show: changing
    // either changes the drawing.
    void bothEndsOfABinaryNumberShow() {
        QImage drawn[3];
        const char* values[3] = {"80000000000000000000000000000001", "80000000000000000000000000000000",
                                 "00000000000000000000000000000001"};
        for (int i = 0; i < 3; ++i) {
            Ccalc w;
            Run(w, QString("ModeHex ") + values[i] + " ModeBin");
            drawn[i] = DisplayDrawing(Entry(w));
        }
        const QRect bottomRight(drawn[0].width() * 3 / 4, drawn[0].height() / 2, drawn[0].width() / 4,
                                drawn[0].height() / 2);
        QVERIFY(drawn[0].copy(bottomRight) != drawn[1].copy(bottomRight));
        QVERIFY(drawn[0] != drawn[2]);
    }

    void messagesAreCentred() {
        Ccalc w;
        Button(w, "bCPar")->click();  // nothing open: the error value
        QCOMPARE(DisplayText(w), QString("*** ERROR ***"));
        QVERIFY(Entry(w)->alignment() & Qt::AlignHCenter);
        Type(w, "7");
        QCOMPARE(DisplayText(w), QString("7"));
        QVERIFY(Entry(w)->alignment() & Qt::AlignRight);
    }

    void splitterKeepsTapeVisible() {
        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* split = w.findChild<QSplitter*>("split");
        auto* regs = w.findChild<QTableWidget*>("registers");
        auto* tape = w.findChild<QTableWidget*>("tape");
        DragSplitter(split, 1000);
        QCOMPARE(tape->width(), 74);
        QCOMPARE(regs->width(), 460 - 8 - 74);
        // The columns follow the lists' new widths.
        const int bar = w.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, regs);
        // Column "#" keeps its width: 24, or what the names need.
        const int names = regs->columnWidth(0);
        QVERIFY(names >= 24 && names < 40);
        QCOMPARE(regs->columnWidth(1), regs->width() - bar - names - 6);
        QCOMPARE(tape->columnWidth(0), tape->width() - bar - 6);

        // Dragging back left is free until the register list's minimum; no
        // pane is ever snapped shut.
        DragSplitter(split, -1000);
        QVERIFY(regs->width() >= 30);
        QVERIFY(regs->width() < 100);
        QCOMPARE(regs->width() + tape->width(), 460 - 8);
    }
};

QZ_UI_TEST_MAIN(TestWindow)
#include "test_window.moc"
