// The main window's life (construction, the after-create step, destruction)
// and its views: the display, the register list and the tape list, refreshed
// from the machine and the tape.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>

#include "state/session.h"
#include "state/statefile.h"
#include "ui/about.h"
#include "ui/application.h"
#include "ui/calc.h"
#include "ui/calc_colours.h"
#include "ui/calc_keypad.h"
#include "ui/calc_panel_glue.h"
#include "ui/calc_widgets.h"
#include "ui/display.h"

namespace {

QString Latin1(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// Shows tape row k in row k of the list.
void ShowTapeRow(QTableWidget* list, const Tape& tape, int k) {
    auto* item = new QTableWidgetItem(Latin1(tape[static_cast<std::size_t>(k)].text));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    list->setItem(k, 0, item);
}

// The whole tape, the newest row selected.
void ShowTape(QTableWidget* list, const Tape& tape) {
    list->setUpdatesEnabled(false);
    const int rows = static_cast<int>(tape.size());
    list->setRowCount(rows);
    for (int k = 0; k < rows; ++k) ShowTapeRow(list, tape, k);
    if (rows > 0) list->setCurrentCell(rows - 1, 0);
    list->setUpdatesEnabled(true);
}

}  // namespace

Ccalc::Ccalc(QWidget* parent) : CmrvForm(parent), session_(std::make_unique<StateSession>(StatePath())) {
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
    // From a pixmap: a QIcon made from a file name first asks the MIME
    // database what the file is, which costs a noticeable part of start-up.
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/img_qz_icon"), "PNG")));
    Fill(this, kWindowColour);

    ui_ = std::make_unique<CalcWidgets>(BuildCalcWidgets(this));
    panel_ = new CpanelGlue(*this, *mach_, ui_->entry);
    ConnectWidgets();

    setWindowTitle(QStringLiteral("Zentabula  v2.0"));
    setFixedSize(480, 272);

    LoadState();
    ShowTape(ui_->tapeList, tape_);

    for (int n = 0; n < kRegisterCount; ++n)
        ui_->registers->item(n, 0)->setText(QStringLiteral("R%1").arg(n, 0, 16).toUpper());
    UpdateRegisters();
    ui_->bPrt->setText(QStringLiteral("Save"));
    ui_->bPrt->setAccessibleName(ui_->bPrt->text());
    UpdateDisplay();
}

// What the controls do; each handler reports an exception it raises in the
// error dialog (WithErrorDialog).
void Ccalc::ConnectWidgets() {
    ui_->entry->OnKey = [this](QKeyEvent* e) { TypeKey(e, true); };
    connect(panel_, &CpanelGlue::KeyTyped, this, [this](QKeyEvent* e) { TypeKey(e, false); });
    connect(panel_, &CpanelGlue::ValueEdited, this, &Ccalc::UpdateDisplay);
    connect(panel_, &CpanelGlue::MachineChanged, this, [this] {
        regPending_ = raNone;
        UpdateRegisters();
        UpdateDisplay();
    });
    connect(panel_, &CpanelGlue::CopyAsked, this, &Ccalc::CopyToClipboard);
    connect(panel_, &CpanelGlue::PasteAsked, this, &Ccalc::PasteFromClipboard);
    connect(ui_->registers, &QAbstractItemView::clicked, this,
            [this] { WithErrorDialog([this] { RegistersClick(); }); });
    connect(ui_->tapeList, &QAbstractItemView::clicked, this,
            [this] { WithErrorDialog([this] { TapeClick(); }); });
    connect(ui_->modeGroup, &QButtonGroup::idClicked, this, [this](int mode) {
        WithErrorDialog([this, mode] {
            mach_->SetMode(static_cast<ValueMode>(mode));
            UpdateDisplay();
        });
    });
    for (const auto& [button, key] : ui_->keypad)
        connect(button, &QPushButton::clicked, this,
                [this, k = key] { WithErrorDialog([this, k] { KeypadClick(*k); }); });
    connect(ui_->bHelp, &QPushButton::clicked, this, [this] {
        WithErrorDialog([this] {
            OpenHelp();
            FocusDisplay();
        });
    });
    connect(ui_->bAbout, &QPushButton::clicked, this, [this] {
        WithErrorDialog([this] {
            ShowAbout(this);
            FocusDisplay();
        });
    });
}

void Ccalc::UpdateDisplay() {
    const CcalcMach& m = *mach_;
    CalcWidgets& w = *ui_;
    if (m.ParenCount() == 0) {
        w.parenCt->hide();
    } else {
        w.parenCt->setText(QLatin1Char('(') + QString::number(m.ParenCount()));
        w.parenCt->show();
    }
    const WordBits word = m.WordSize();
    if (word == WordBits::k128) {
        w.wordSize->hide();
        // Long texts stop short of the counter rather than run under it.
        w.entry->SetReservedLeft(w.parenCt->geometry().right() + 1);
    } else {
        const QString bits = QString::number(BitsOf(word));
        if (w.wordSize->text() != bits) {
            w.wordSize->setText(bits);
            w.wordSize->setAccessibleDescription(bits + QStringLiteral(" bits"));
        }
        w.wordSize->show();
        w.entry->SetReservedLeft(w.wordSize->geometry().right() + 1);
    }

    const std::string text = m.DisplayText();
    const bool message = !text.empty() && text[0] == '*';
    w.entry->setAlignment((message ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter);
    w.entry->setText(Latin1(text));
    w.entry->setFocus();

    const ValueMode mode = m.Mode();
    if (mode <= vmFloat) {
        if (QAbstractButton* b = w.modeGroup->button(mode); b && !b->isChecked()) b->setChecked(true);
    }

    const bool isFloat = mode == vmFloat;
    for (QPushButton* b : w.floatOnly) b->setEnabled(isFloat);
    for (QPushButton* b : w.integerOnly) b->setEnabled(!isFloat);
    w.bNeg->setEnabled(mode == vmDec || isFloat);
    panel_->Refresh();
}

void Ccalc::UpdateRegisters() {
    for (int n = 0; n < kRegisterCount; ++n)
        ui_->registers->item(n, 1)->setText(Latin1(ValueText(mach_->Register(n), mach_->WordSize())));
}

void Ccalc::TapeAppend(std::string_view text, const CalcValue& value) {
    QTableWidget* list = ui_->tapeList;
    const std::size_t before = tape_.size();
    tape_.Append(value, text);
    // A full tape dropped its oldest row.
    if (tape_.size() == before) list->removeRow(0);
    const int n = static_cast<int>(tape_.size()) - 1;
    list->setRowCount(n + 1);
    ShowTapeRow(list, tape_, n);
    list->setCurrentCell(n, 0);
}

void Ccalc::FocusDisplay() { ui_->entry->setFocus(); }
