// Building the main window and refreshing it from the machine.
#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "state/session.h"
#include "ui/about.h"
#include "ui/application.h"
#include "ui/calc.h"
#include "ui/calc_colours.h"
#include "ui/calc_keypad.h"
#include "ui/calc_panel_glue.h"
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
    {.name = "bLBits", .caption = "LBT", .enable = KeyEnable::IntegerOnly, .op = opLBits},
    {.name = "bSHL", .caption = "SHL", .enable = KeyEnable::IntegerOnly, .op = opShl},
    {.name = "bSHR", .caption = "SHR", .enable = KeyEnable::IntegerOnly, .op = opShr},
    {.name = "bROL", .caption = "ROL", .enable = KeyEnable::IntegerOnly, .op = opRol},
    {.name = "bROR", .caption = "ROR", .enable = KeyEnable::IntegerOnly, .op = opRor},
    {.name = "bAnd", .caption = "AND", .enable = KeyEnable::IntegerOnly, .op = opAnd},
    {.name = "bOr", .caption = "OR", .enable = KeyEnable::IntegerOnly, .op = opOr},
    {.name = "bXor", .caption = "XOR", .enable = KeyEnable::IntegerOnly, .op = opXor},
    {.name = "bNot", .caption = "NOT", .enable = KeyEnable::IntegerOnly, .call = &CcalcMach::FnNot},

    {.name = "bRBits", .caption = "RBT", .enable = KeyEnable::IntegerOnly, .call = &CcalcMach::FnRBits},
    {.name = "bSgn", .caption = "SGN", .enable = KeyEnable::Always, .call = &CcalcMach::FnSgn},
    {.name = "bAbs", .caption = "ABS", .enable = KeyEnable::Always, .call = &CcalcMach::FnAbs},
    {.name = "bNeg", .caption = "\u00B1", .enable = KeyEnable::DecOrFloat, .call = &CcalcMach::FnNeg},
    {.name = "bRound", .caption = "ROUN", .enable = KeyEnable::Always, .op = opRound},
    {.name = "bPow", .caption = "^", .enable = KeyEnable::Always, .op = opPow},
    {.name = "bSqrt", .caption = "\u221A", .enable = KeyEnable::FloatOnly, .call = &CcalcMach::FnSqrt},
    {.name = "bSin", .caption = "SIN", .enable = KeyEnable::FloatOnly, .call = &CcalcMach::FnSin},
    {.name = "bCos", .caption = "COS", .enable = KeyEnable::FloatOnly, .call = &CcalcMach::FnCos},

    {.name = "bPi", .caption = "\u03C0", .enable = KeyEnable::FloatOnly, .value = &kPiValue},
    {.name = "bOPar", .caption = "(", .enable = KeyEnable::Always, .call = &CcalcMach::OpenParen},
    {.name = "bCPar", .caption = ")", .enable = KeyEnable::Always, .call = &CcalcMach::CloseParen},
    {.name = "bStore", .caption = "STO", .enable = KeyEnable::Always, .typed = "S"},
    {.name = "bRecall", .caption = "RCL", .enable = KeyEnable::Always, .typed = "R"},
    {.name = "bClr", .caption = "CLR", .enable = KeyEnable::Always, .typed = "x"},
    {.name = "bClrA",
     .caption = "CLRA",
     .enable = KeyEnable::Always,
     .call = &CcalcMach::ClearAll,
     .registers = true},
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

void SetBackground(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
}

void Fill(QWidget* w, const QColor& colour) {
    SetBackground(w, QPalette::Window, colour);
    w->setAutoFillBackground(true);
}

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
    SetBackground(grid, QPalette::Base, kListColour);
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

}  // namespace

Ccalc::Ccalc(QWidget* parent)
    : CmrvForm(parent), SaveDir(DefaultExportDir()), session_(std::make_unique<StateSession>(StatePath())) {
    AfterCreate();
}

Ccalc::~Ccalc() {
    SaveState();
    mach_.reset();
}

void Ccalc::AfterCreate() {
    mach_ = std::make_unique<CcalcMach>();
    mach_->SetTapeReceiver(
        [this](std::string_view line, const CalcValue& shown) { TapeAppend(line, shown); });
    mach_->SetMode(vmFloat);

    setObjectName(QStringLiteral("calc"));
    resize(480, 272);
    setWindowTitle(QString());
    // From a pixmap: a QIcon made from a file name first asks the MIME
    // database what the file is, which costs a noticeable part of start-up.
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/img_qz_icon"), "PNG")));
    Fill(this, kWindowColour);

    BuildWidgets();

    setWindowTitle(QStringLiteral("Zentabula  v2.0"));
    setFixedSize(480, 272);

    LoadState();

    for (int n = 0; n < kRegisterCount; ++n)
        registers_->item(n, 0)->setText(QStringLiteral("R%1").arg(n, 0, 16).toUpper());
    UpdateRegisters();
    bPrt_->setText(QStringLiteral("Save"));
    bPrt_->setAccessibleName(bPrt_->text());
    UpdateDisplay();
}

void Ccalc::BuildWidgets() {
    BuildLists();
    BuildDisplay();
    BuildModes();
    BuildKeypad();
    BuildImageButtons();
    SetTabOrder();
    AdjustColumns();
}

void Ccalc::BuildLists() {
    outputs_ = new QFrame(this);
    outputs_->setObjectName(QStringLiteral("outputs"));
    outputs_->setGeometry(8, 4, 464, 80);
    outputs_->setFont(QApplication::font("QLabel"));
    Fill(outputs_, QApplication::palette().color(QPalette::Window));

    // The splitter holds both lists; its handle sits where the bar between
    // them belongs (228..236 of "outputs").
    split_ = new TqzSplitter(outputs_);
    split_->setObjectName(QStringLiteral("split"));
    split_->setGeometry(2, 2, 460, 76);
    split_->setHandleWidth(8);
    split_->setChildrenCollapsible(false);
    split_->setOpaqueResize(true);

    registers_ = MakeGrid(split_, "registers", 2);
    registers_->setAccessibleName(QStringLiteral("Registers"));
    registers_->setHorizontalHeaderLabels({QStringLiteral("#"), QStringLiteral("?")});
    registers_->setSelectionBehavior(QAbstractItemView::SelectItems);
    registers_->setShowGrid(true);
    registers_->setColumnWidth(0, NameColumnWidth(registers_));
    registers_->setColumnWidth(1, 180);
    registers_->setRowCount(kRegisterCount);
    for (int n = 0; n < kRegisterCount; ++n) {
        auto* name = new QTableWidgetItem;
        name->setTextAlignment(Qt::AlignCenter);
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        registers_->setItem(n, 0, name);
        auto* value = new QTableWidgetItem;
        value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        registers_->setItem(n, 1, value);
    }

    tapeList_ = MakeGrid(split_, "tape", 1);
    tapeList_->setAccessibleName(QStringLiteral("Tape"));
    tapeList_->setHorizontalHeaderLabels({QStringLiteral("Tape")});
    tapeList_->setColumnWidth(0, 204);
    SetBackground(tapeList_, QPalette::AlternateBase, kListColour);
    tapeList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tapeList_->setShowGrid(false);

    split_->addWidget(registers_);
    split_->addWidget(tapeList_);
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setSizes({226, 226});
    // The lists never take the focus from a click, and every click on them
    // is seen first (ListMouse): the keyboard stays with the display.
    for (QTableWidget* list : {registers_, tapeList_}) {
        list->setFocusPolicy(Qt::TabFocus);
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
        for (QScrollBar* bar : list->findChildren<QScrollBar*>()) bar->installEventFilter(this);
    }
    connect(registers_, &QAbstractItemView::clicked, this, [this] { Guarded([this] { RegistersClick(); }); });
    connect(tapeList_, &QAbstractItemView::clicked, this, [this] { Guarded([this] { TapeClick(); }); });
}

void Ccalc::BuildDisplay() {
    const QFont labelFont = QApplication::font("QLabel");
    entry_ = new CdisplayPanel(this);
    entry_->setObjectName(QStringLiteral("entry"));
    entry_->setAccessibleName(QStringLiteral("Display"));
    entry_->setGeometry(8, 88, 464, 32);
    entry_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    entry_->setFont(labelFont);
    entry_->setMargin(6);
    entry_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    entry_->setText(QStringLiteral("0"));
    Fill(entry_, kDisplayColour);
    SetBackground(entry_, QPalette::WindowText, kDisplayText);
    entry_->OnKey = [this](QKeyEvent* e) { OnDisplayKey(e); };
    panel_ = new CpanelGlue(*this, *mach_, entry_);

    parenCt_ = new QLabel(QStringLiteral("(0"), entry_);
    parenCt_->setObjectName(QStringLiteral("ParenCt"));
    parenCt_->setGeometry(6, 6, CounterWidth(labelFont), 20);
    parenCt_->setFont(labelFont);
    Fill(parenCt_, kDisplayColour);
    SetBackground(parenCt_, QPalette::WindowText, kDisplayText);
    parenCt_->hide();
    // Long texts stop short of the counter rather than run under it.
    entry_->SetReservedLeft(parenCt_->geometry().right() + 1);
}

void Ccalc::BuildModes() {
    const QFont labelFont = QApplication::font("QLabel");
    modes_ = new QGroupBox(QString(), this);
    modes_->setObjectName(QStringLiteral("modes"));
    modes_->setGeometry(8, 120, 464, 32);
    modes_->setFont(labelFont);
    Fill(modes_, kModesColour);

    modeGroup_ = new QButtonGroup(this);
    modeGroup_->setExclusive(true);
    for (const ModeButton& m : kModeButtons) {
        auto* b = new QRadioButton(QString::fromUtf8(m.caption), modes_);
        b->setObjectName(QString::fromLatin1(m.name));
        b->setAccessibleName(b->text());
        b->setGeometry(m.left, 9, m.width, 20);
        b->setFont(labelFont);
        modeGroup_->addButton(b, m.mode);
    }
    connect(modeGroup_, &QButtonGroup::idClicked, this, [this](int mode) {
        Guarded([this, mode] {
            mach_->SetMode(static_cast<ValueMode>(mode));
            UpdateDisplay();
        });
    });
}

void Ccalc::BuildKeypad() {
    const QFont labelFont = QApplication::font("QLabel");
    int index = 0;
    for (const KeypadKey& k : kKeypad) {
        auto* b = new QPushButton(QString::fromUtf8(k.caption), this);
        b->setObjectName(QString::fromLatin1(k.name));
        b->setAccessibleName(b->text());
        b->setGeometry(8 + 53 * (index % 9), 164 + 36 * (index / 9), 40, 24);
        b->setFont(FittedFont(labelFont, b->text(), 40));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, &k] { Guarded([this, &k] { KeypadClick(k); }); });
        switch (k.enable) {
            case KeyEnable::FloatOnly: floatOnly_.push_back(b); break;
            case KeyEnable::IntegerOnly: integerOnly_.push_back(b); break;
            case KeyEnable::DecOrFloat: bNeg_ = b; break;
            case KeyEnable::Always: break;
        }
        keypad_.push_back(b);
        ++index;
    }

    QPushButton* bAnd = findChild<QPushButton*>(QStringLiteral("bAnd"), Qt::FindDirectChildrenOnly);
    SetBackground(bAnd, QPalette::Button, kModesColour);
    bPrt_ = findChild<QPushButton*>(QStringLiteral("bPrt"), Qt::FindDirectChildrenOnly);
}

void Ccalc::BuildImageButtons() {
    const QFont labelFont = QApplication::font("QLabel");
    bHelp_ = new QPushButton(modes_);
    bHelp_->setObjectName(QStringLiteral("bHelp"));
    bHelp_->setAccessibleName(QStringLiteral("Help"));
    bHelp_->setGeometry(436, 5, 28, 27);
    bHelp_->setFont(labelFont);
    bHelp_->setIcon(HelpIcon(bHelp_->palette().color(QPalette::ButtonText)));
    connect(bHelp_, &QPushButton::clicked, this, [this] {
        Guarded([this] {
            OpenHelp();
            FocusDisplay();
        });
    });

    bAbout_ = new QPushButton(modes_);
    bAbout_->setObjectName(QStringLiteral("bAbout"));
    bAbout_->setAccessibleName(QStringLiteral("About"));
    bAbout_->setGeometry(407, 5, 28, 27);
    bAbout_->setFont(labelFont);
    bAbout_->setIcon(GearIcon(bAbout_->palette().color(QPalette::ButtonText)));
    connect(bAbout_, &QPushButton::clicked, this, [this] {
        Guarded([this] {
            ShowAbout(this);
            FocusDisplay();
        });
    });
}

// The display, the lists, the modes, the two image buttons, then the keypad:
// the keypad was created before the image buttons but comes after them.
void Ccalc::SetTabOrder() {
    std::vector<QWidget*> order{entry_, registers_, tapeList_};
    for (const ModeButton& m : kModeButtons) order.push_back(modeGroup_->button(m.mode));
    order.push_back(bHelp_);
    order.push_back(bAbout_);
    order.insert(order.end(), keypad_.begin(), keypad_.end());
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Ccalc::UpdateDisplay() {
    const CcalcMach& m = *mach_;
    if (m.ParenCount() == 0) {
        parenCt_->hide();
        // Long texts stop short of the counter rather than run under it.
        entry_->SetReservedLeft(parenCt_->geometry().right() + 1);
    } else {
        parenCt_->setText(QLatin1Char('(') + QString::number(m.ParenCount()));
        parenCt_->show();
    }

    const std::string text = m.DisplayText();
    const bool message = !text.empty() && text[0] == '*';
    entry_->setAlignment((message ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter);
    entry_->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    entry_->setFocus();

    const ValueMode mode = m.Mode();
    if (mode <= vmFloat) {
        if (QAbstractButton* b = modeGroup_->button(mode); b && !b->isChecked()) b->setChecked(true);
    }

    const bool isFloat = mode == vmFloat;
    for (QPushButton* b : floatOnly_) b->setEnabled(isFloat);
    for (QPushButton* b : integerOnly_) b->setEnabled(!isFloat);
    bNeg_->setEnabled(mode == vmDec || isFloat);
    panel_->Refresh();
}

void Ccalc::UpdateRegisters() {
    for (int n = 0; n < kRegisterCount; ++n) {
        const std::string text = ValueText(mach_->Register(n));
        registers_->item(n, 1)->setText(
            QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
}

void Ccalc::AdjustColumns() {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, registers_);
    const int value = registers_->width() - bar - registers_->columnWidth(0) - 6;
    if (value > 0) registers_->setColumnWidth(1, value);
    const int line = tapeList_->width() - bar - 6;
    if (line > 0) tapeList_->setColumnWidth(0, line);
}

bool Ccalc::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && (watched == registers_ || watched == tapeList_)) AdjustColumns();
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
    return CmrvForm::eventFilter(watched, event);
}

void Ccalc::FocusDisplay() { entry_->setFocus(); }
