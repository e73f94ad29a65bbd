// Building the main window's widgets (calc_widgets.h).
#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStaticText>
#include <QStyle>
#include <QTableWidget>

#include <algorithm>
#include <cmath>
#include <string_view>

#include "ui/calc.h"
#include "ui/calc_colours.h"
#include "ui/calc_keypad.h"
#include "ui/calc_widgets.h"
#include "ui/display.h"
#include "ui/drawn_icons.h"
#include "ui/qzsplitter.h"

namespace {

struct ModeButton {
    const char* name;
    const char* caption;
    ValueMode mode;
    int left, width;
};

// In tab order.
constexpr ModeButton kModeButtons[] = {
    {"modeIPv6", "IPv6", vmIPv6, 8, 52},    {"modeIPv4", "IPv4", vmIPv4, 60, 52},
    {"ModeHex", "16", vmHex, 112, 40},      {"ModeDec", "10", vmDec, 156, 44},
    {"ModeOct", "8", vmOct, 200, 32},       {"ModeBin", "2", vmBin, 240, 40},
    {"ModeFlt", "Float", vmFloat, 280, 56},
};

// Row by row, left to right: the order of creation, of the layout and of
// the tab order.
constexpr KeypadKey kKeypad[] = {
    {.name = "bLBits", .caption = "LBT", .enable = KeyEnable::IntegerOnly},
    {.name = "bSHL", .caption = "SHL", .enable = KeyEnable::IntegerOnly},
    {.name = "bSHR", .caption = "SHR", .enable = KeyEnable::IntegerOnly},
    {.name = "bROL", .caption = "ROL", .enable = KeyEnable::IntegerOnly},
    {.name = "bROR", .caption = "ROR", .enable = KeyEnable::IntegerOnly},
    {.name = "bAnd", .caption = "AND", .enable = KeyEnable::IntegerOnly},
    {.name = "bOr", .caption = "OR", .enable = KeyEnable::IntegerOnly},
    {.name = "bXor", .caption = "XOR", .enable = KeyEnable::IntegerOnly},
    {.name = "bNot", .caption = "NOT", .enable = KeyEnable::IntegerOnly},

    {.name = "bRBits", .caption = "RBT", .enable = KeyEnable::IntegerOnly},
    {.name = "bSgn", .caption = "SGN", .enable = KeyEnable::Always},
    {.name = "bAbs", .caption = "ABS", .enable = KeyEnable::Always},
    {.name = "bNeg", .caption = "\u00B1", .enable = KeyEnable::DecOrFloat},
    {.name = "bRound", .caption = "ROUN", .enable = KeyEnable::Always},
    {.name = "bPow", .caption = "^", .enable = KeyEnable::Always},
    {.name = "bSqrt", .caption = "\u221A", .enable = KeyEnable::FloatOnly},
    {.name = "bSin", .caption = "SIN", .enable = KeyEnable::FloatOnly},
    {.name = "bCos", .caption = "COS", .enable = KeyEnable::FloatOnly},

    {.name = "bPi", .caption = "\u03C0", .enable = KeyEnable::FloatOnly},
    {.name = "bOPar", .caption = "(", .enable = KeyEnable::Always},
    {.name = "bCPar", .caption = ")", .enable = KeyEnable::Always},
    {.name = "bStore", .caption = "STO", .enable = KeyEnable::Always, .typed = "S"},
    {.name = "bRecall", .caption = "RCL", .enable = KeyEnable::Always, .typed = "R"},
    {.name = "bClr", .caption = "CLR", .enable = KeyEnable::Always, .typed = "x"},
    {.name = "bClrA", .caption = "CLRA", .enable = KeyEnable::Always, .registers = true},
    // Created as "PRT"; the window renames it once it is built.
    {.name = "bPrt", .caption = "PRT", .enable = KeyEnable::Always, .window = &Ccalc::ExportTape},
    {.name = "bTape", .caption = "TAPE", .enable = KeyEnable::Always, .window = &Ccalc::ClearTape},
};

// A caption wider than the key's face less 4 px on each side is set up to
// 2 px a letter tighter, instead of running into the key's edges ("ROUN" in
// the usual 9 pt sans is 36 px on a 40 px key).
QFont FittedFont(const QFont& font, const QString& caption, int keyWidth) {
    const int excess = QFontMetrics(font).horizontalAdvance(caption) - (keyWidth - 8);
    if (excess <= 0 || caption.isEmpty()) return font;
    QFont tight = font;
    const qreal perLetter = std::ceil(static_cast<qreal>(excess) / static_cast<qreal>(caption.size()));
    tight.setLetterSpacing(QFont::AbsoluteSpacing, -std::min<qreal>(perLetter, 2));
    return tight;
}

// The word size in the display. It lies over the display, which repaints
// it with every key; its text, which changes only with the word size, is
// laid out once instead of at each of those paints.
class CwordMark : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        if (laidOut_.text() != text()) {
            laidOut_.setText(text());
            laidOut_.prepare(QTransform(), font());
        }
        QPainter p(this);
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawStaticText(0, 0, laidOut_);
    }

private:
    QStaticText laidOut_;
};

QTableWidget* MakeGrid(QWidget* parent, const char* name, int columns) {
    auto* grid = new QTableWidget(0, columns, parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setFont(QApplication::font("QTableView"));
    grid->horizontalHeader()->setFont(QApplication::font("QHeaderView"));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    grid->setMinimumWidth(30);
    grid->setTabKeyNavigation(false);
    // A long value keeps both its ends: its leading digits and its last
    // digits with the mode's suffix. Without word wrap, as a wrapped tape
    // line would lose everything after "= ".
    grid->setWordWrap(false);
    grid->setTextElideMode(Qt::ElideMiddle);
    SetColour(grid, QPalette::Base, kListColour);
    QHeaderView* rows = grid->verticalHeader();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(17, grid->fontMetrics().height() + 2));
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    return grid;
}

// Column "#" is 24 px wide unless the widest register name needs more in
// the grid's font: a name must never be elided.
int NameColumnWidth(QTableWidget* grid) {
    const QFontMetrics m(grid->font());
    int widest = 0;
    for (int n = 0; n < kRegisterCount; ++n)
        widest = std::max(widest, m.horizontalAdvance(QStringLiteral("R%1").arg(n, 0, 16).toUpper()));
    // The cell's text margin on both sides, as the item view draws it, and
    // the grid line.
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    return std::max(24, widest + 2 * margin + (grid->showGrid() ? 1 : 0));
}

// The parenthesis counter is 24 px wide unless its widest text, "(" and
// three digits (up to 254), needs more in the font: no count is ever cut.
// The 2 px spare are the room the glyphs may draw beyond their advances.
int CounterWidth(const QFont& font) {
    const QFontMetrics m(font);
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c) digit = std::max(digit, m.horizontalAdvance(QLatin1Char(c)));
    return std::max(24, m.horizontalAdvance(QLatin1Char('(')) + 3 * digit + 2);
}

// Sees every event of the two lists first. A resize fits their columns to
// their width; a press anywhere on them gives the keyboard back to the
// display; and on the rows themselves only a left click passes.
class ClistGuard : public QObject {
public:
    ClistGuard(QObject* parent, const CalcWidgets& w)
        : QObject(parent), registers_(w.registers), tapeList_(w.tapeList), display_(w.entry) {
        for (QTableWidget* list : {registers_, tapeList_}) {
            list->setFocusPolicy(Qt::TabFocus);
            list->installEventFilter(this);
            list->viewport()->installEventFilter(this);
            for (QScrollBar* bar : list->findChildren<QScrollBar*>()) bar->installEventFilter(this);
        }
        AdjustColumns();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && (watched == registers_ || watched == tapeList_))
            AdjustColumns();
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseMove:
                if (!watched->isWidgetType()) break;
                for (QTableWidget* list : {registers_, tapeList_})
                    if (watched == list || list->isAncestorOf(static_cast<QWidget*>(watched)))
                        return ListMouse(list, watched, static_cast<QMouseEvent*>(event));
                break;
            default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // Column "?" and column "Tape" fill what is left of their list beside
    // the scroll bar.
    void AdjustColumns() {
        const int bar = registers_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, registers_);
        const int value = registers_->width() - bar - registers_->columnWidth(0) - 6;
        if (value > 0) registers_->setColumnWidth(1, value);
        const int line = tapeList_->width() - bar - 6;
        if (line > 0) tapeList_->setColumnWidth(0, line);
    }

    // A mouse event on a list or one of its parts; true when it is used up.
    bool ListMouse(QTableWidget* list, QObject* part, QMouseEvent* event) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) display_->setFocus();
        // The frame and the scroll bars work as usual.
        if (part != list->viewport()) return false;
        switch (type) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: {
                const bool onRow =
                    event->button() == Qt::LeftButton && list->indexAt(event->position().toPoint()).isValid();
                if (event->button() == Qt::LeftButton) pressIgnored_ = !onRow;
                return !onRow;
            }
            case QEvent::MouseButtonRelease:
                if (event->button() != Qt::LeftButton) return true;
                if (pressIgnored_) {
                    pressIgnored_ = false;
                    return true;
                }
                return false;
            case QEvent::MouseMove: return pressIgnored_ && (event->buttons() & Qt::LeftButton);
            default: return false;
        }
    }

    QTableWidget* registers_;
    QTableWidget* tapeList_;
    QWidget* display_;
    // A left press on a list that was not on a row: its moves and its
    // release are used up as well.
    bool pressIgnored_ = false;
};

void BuildLists(CalcWidgets& w, QWidget* window) {
    w.outputs = new QFrame(window);
    w.outputs->setObjectName(QStringLiteral("outputs"));
    w.outputs->setGeometry(8, 4, 464, 80);
    w.outputs->setFont(QApplication::font("QLabel"));
    Fill(w.outputs, QApplication::palette().color(QPalette::Window));

    // The splitter holds both lists; its handle sits where the bar between
    // them belongs (228..236 of "outputs").
    w.split = new TqzSplitter(w.outputs);
    w.split->setObjectName(QStringLiteral("split"));
    w.split->setGeometry(2, 2, 460, 76);
    w.split->setHandleWidth(8);
    w.split->setChildrenCollapsible(false);
    w.split->setOpaqueResize(true);

    w.registers = MakeGrid(w.split, "registers", 2);
    w.registers->setAccessibleName(QStringLiteral("Registers"));
    w.registers->setHorizontalHeaderLabels({QStringLiteral("#"), QStringLiteral("?")});
    w.registers->setSelectionBehavior(QAbstractItemView::SelectItems);
    w.registers->setShowGrid(true);
    w.registers->setColumnWidth(0, NameColumnWidth(w.registers));
    w.registers->setColumnWidth(1, 180);
    w.registers->setRowCount(kRegisterCount);
    for (int n = 0; n < kRegisterCount; ++n) {
        for (int column : {0, 1}) {
            auto* cell = new QTableWidgetItem;
            cell->setTextAlignment(column == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
            cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            w.registers->setItem(n, column, cell);
        }
    }

    w.tapeList = MakeGrid(w.split, "tape", 1);
    w.tapeList->setAccessibleName(QStringLiteral("Tape"));
    w.tapeList->setHorizontalHeaderLabels({QStringLiteral("Tape")});
    w.tapeList->setColumnWidth(0, 204);
    SetColour(w.tapeList, QPalette::AlternateBase, kListColour);
    w.tapeList->setSelectionBehavior(QAbstractItemView::SelectRows);
    w.tapeList->setShowGrid(false);

    w.split->addWidget(w.registers);
    w.split->addWidget(w.tapeList);
    w.split->setStretchFactor(0, 0);
    w.split->setStretchFactor(1, 1);
    w.split->setSizes({226, 226});
}

void BuildDisplay(CalcWidgets& w, QWidget* window) {
    const QFont labelFont = QApplication::font("QLabel");
    w.entry = new CdisplayPanel(window);
    w.entry->setObjectName(QStringLiteral("entry"));
    w.entry->setAccessibleName(QStringLiteral("Display"));
    w.entry->setGeometry(8, 88, 464, 32);
    w.entry->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    w.entry->setFont(labelFont);
    w.entry->setMargin(6);
    w.entry->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    w.entry->setText(QStringLiteral("0"));
    Fill(w.entry, kDisplayColour);
    SetColour(w.entry, QPalette::WindowText, kDisplayText);

    w.parenCt = new QLabel(QStringLiteral("(0"), w.entry);
    w.parenCt->setObjectName(QStringLiteral("ParenCt"));
    w.parenCt->setGeometry(6, 6, CounterWidth(labelFont), 20);
    w.parenCt->setFont(labelFont);
    Fill(w.parenCt, kDisplayColour);
    SetColour(w.parenCt, QPalette::WindowText, kDisplayText);
    w.parenCt->hide();

    // The word size, when it is not 128 bits: small, like an exponent,
    // right of the counter's place, so that it moves neither the counter
    // nor the value, and dimmer than the value.
    QFont small = labelFont;
    small.setPixelSize(std::max(7, QFontInfo(labelFont).pixelSize() * 2 / 3));
    w.wordSize = new CwordMark(w.entry);
    w.wordSize->setObjectName(QStringLiteral("wordSize"));
    w.wordSize->setAccessibleName(QStringLiteral("Word size"));
    w.wordSize->setFont(small);
    // Measured in the display's font, which is loaded already: the small
    // one is loaded only when a word size first shows.
    w.wordSize->setGeometry(w.parenCt->geometry().right() + 3, 4,
                            QFontMetrics(labelFont).horizontalAdvance(QStringLiteral("64")) * 2 / 3 + 3, 14);
    Fill(w.wordSize, kDisplayColour);
    SetColour(w.wordSize, QPalette::WindowText, kDisplayText.darker(130));
    w.wordSize->hide();
    // Long texts stop short of the counter rather than run under it.
    w.entry->SetReservedLeft(w.parenCt->geometry().right() + 1);
}

void BuildModes(CalcWidgets& w, QWidget* window) {
    const QFont labelFont = QApplication::font("QLabel");
    w.modes = new QGroupBox(QString(), window);
    w.modes->setObjectName(QStringLiteral("modes"));
    w.modes->setGeometry(8, 120, 464, 32);
    w.modes->setFont(labelFont);
    Fill(w.modes, kModesColour);

    w.modeGroup = new QButtonGroup(window);
    w.modeGroup->setExclusive(true);
    for (const ModeButton& m : kModeButtons) {
        auto* b = new QRadioButton(QString::fromUtf8(m.caption), w.modes);
        b->setObjectName(QString::fromLatin1(m.name));
        b->setAccessibleName(b->text());
        b->setGeometry(m.left, 9, m.width, 20);
        b->setFont(labelFont);
        w.modeGroup->addButton(b, m.mode);
    }
}

void BuildKeypad(CalcWidgets& w, QWidget* window) {
    const QFont labelFont = QApplication::font("QLabel");
    int index = 0;
    for (const KeypadKey& k : kKeypad) {
        auto* b = new QPushButton(QString::fromUtf8(k.caption), window);
        b->setObjectName(QString::fromLatin1(k.name));
        b->setAccessibleName(b->text());
        b->setGeometry(8 + 53 * (index % 9), 164 + 36 * (index / 9), 40, 24);
        b->setFont(FittedFont(labelFont, b->text(), 40));
        b->setAutoDefault(false);
        switch (k.enable) {
            case KeyEnable::FloatOnly: w.floatOnly.push_back(b); break;
            case KeyEnable::IntegerOnly: w.integerOnly.push_back(b); break;
            case KeyEnable::DecOrFloat: w.bNeg = b; break;
            case KeyEnable::Always: break;
        }
        if (k.name == std::string_view("bAnd")) SetColour(b, QPalette::Button, kModesColour);
        if (k.name == std::string_view("bPrt")) w.bPrt = b;
        w.keypad.emplace_back(b, &k);
        ++index;
    }
}

// An image-only button of the modes panel, at its right end.
QPushButton* ImageButton(QWidget* modes, const char* name, const char* accessibleName, int left,
                         QIcon (*icon)(const QColor&)) {
    auto* b = new QPushButton(modes);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(QString::fromLatin1(accessibleName));
    b->setGeometry(left, 5, 28, 27);
    b->setFont(QApplication::font("QLabel"));
    b->setIcon(icon(b->palette().color(QPalette::ButtonText)));
    return b;
}

// The display, the lists, the modes, the two image buttons, then the keypad:
// the keypad was created before the image buttons but comes after them.
void SetTabOrder(const CalcWidgets& w) {
    std::vector<QWidget*> order{w.entry, w.registers, w.tapeList};
    for (const ModeButton& m : kModeButtons) order.push_back(w.modeGroup->button(m.mode));
    order.push_back(w.bHelp);
    order.push_back(w.bAbout);
    for (const auto& [button, key] : w.keypad) order.push_back(button);
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

}  // namespace

CalcWidgets BuildCalcWidgets(QWidget* window) {
    CalcWidgets w;
    BuildLists(w, window);
    BuildDisplay(w, window);
    BuildModes(w, window);
    BuildKeypad(w, window);
    w.bHelp = ImageButton(w.modes, "bHelp", "Help", 436, HelpIcon);
    w.bAbout = ImageButton(w.modes, "bAbout", "About", 407, GearIcon);
    SetTabOrder(w);
    new ClistGuard(window, w);
    return w;
}
