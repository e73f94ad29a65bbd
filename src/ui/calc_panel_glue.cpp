// The bits panel, the display's context menu and Always on top.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include <cstring>

#include "calcmach/bits.h"
#include "calcmach/code_number.h"
#include "calcmach/keys.h"
#include "state/statefile.h"
#include "ui/application.h"
#include "ui/bitspanel.h"
#include "ui/calc_panel_glue.h"
#include "ui/display.h"
#include "ui/mrvforms.h"

namespace {

QString Latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QString Caption(const std::string& name) {
    QString caption = Latin1(name);
    // "ipv4", "ipv6 standard": the addresses' names as networks write them.
    if (caption.startsWith(QLatin1String("ipv"))) return caption.replace(0, 3, QStringLiteral("IPv"));
    if (!caption.isEmpty()) caption[0] = caption[0].toUpper();
    return caption;
}

bool SameValue(const CalcValue& a, const CalcValue& b) {
    return a.mode == b.mode && std::memcmp(a.payload, b.payload, sizeof a.payload) == 0;
}

// The content for v; lines whose texts have not changed since before reuse
// its strings.
BitsPanelContent PanelContent(const CalcValue& v, WordBits word, bool integerTools,
                              const std::vector<BitForm>& forms, const std::vector<BitForm>* beforeForms,
                              const BitsPanelContent* before) {
    BitsPanelContent c;
    c.lines.reserve(forms.size());
    for (std::size_t i = 0; i < forms.size(); ++i) {
        const BitForm& f = forms[i];
        const bool had = before && i < beforeForms->size() && i < before->lines.size();
        const BitForm* old = had ? &(*beforeForms)[i] : nullptr;
        BitsPanelLine line;
        if (old && old->name == f.name) {
            line.id = before->lines[i].id;
            line.name = before->lines[i].name;
        } else {
            line.id = Latin1(f.name).replace(QLatin1Char(' '), QLatin1Char('_'));
            line.name = Caption(f.name);
        }
        line.text = old && old->text == f.text ? before->lines[i].text : Latin1(f.text);
        line.copyText = old && old->plain == f.plain ? before->lines[i].copyText : Latin1(f.plain);
        line.dimmed = static_cast<int>(f.dim);
        c.lines.push_back(std::move(line));
    }
    c.bitCount = BitCount(v, word);
    // The error value has no bits to show: its payload, the top bit alone,
    // would read as the number -2^127.
    const Word128 w = v.mode == vmERR ? Word128{} : v.w();
    c.bits = {w.lo, w.hi};
    c.toggleable = BitsToggleable(v.mode);
    c.wordBits = static_cast<int>(BitsOf(word));
    c.integerTools = integerTools;
    return c;
}

// The lines for v. While the display shows the error value the panel says
// so, and shows none of the forms of its payload.
std::vector<BitForm> PanelForms(const CalcValue& v, WordBits word) {
    if (v.mode != vmERR) return BitForms(v, word);
    const std::string text = ValueText(v);
    return {BitForm{"value", text, text, 0}};
}

// Keys the panel leaves unused (it takes the arrows, Space, Escape and
// Ctrl+B) are typed into the calculator, so that after flipping a bit the
// user can go on with "+1=" without first clicking the main window.
class CkeyForwarder : public QObject {
public:
    CkeyForwarder(QObject* parent, std::function<void(QKeyEvent*)> forward)
        : QObject(parent), forward_(std::move(forward)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        if (CbitsPanel::ClosingKey(key->key(), key->modifiers()) || key->key() == Qt::Key_Menu) return false;
        forward_(key);
        key->accept();
        return true;
    }

private:
    std::function<void(QKeyEvent*)> forward_;
};

}  // namespace

// The panel is refreshed after every key, and many keys leave the value as
// it was; a new value mostly changes only some lines, and the rest keep
// their texts.
struct CpanelGlue::BitsShown {
    CalcValue value;
    WordBits word = WordBits::k128;
    bool integerTools = true;
    std::vector<BitForm> forms;
    BitsPanelContent content;
};

CpanelGlue::CpanelGlue(QWidget& window, CcalcMach& mach, QWidget* display)
    : QObject(&window), window_(window), mach_(mach), display_(display) {
    // The menu itself is made on first use, not at start-up.
    display_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(display_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        WithErrorDialog([this, pos] { ShowDisplayMenu(display_->mapToGlobal(pos)); });
    });
    window_.installEventFilter(this);
}

CpanelGlue::~CpanelGlue() = default;

void CpanelGlue::ShowBitsValue() {
    const CalcValue v = mach_.BitsValue();
    const WordBits word = mach_.WordSize();
    // SAR and the byte swap act on the entry, as NOT does: not in Float.
    const bool tools = mach_.Mode() != vmFloat;
    if (bitsShown_ && SameValue(bitsShown_->value, v) && bitsShown_->word == word &&
        bitsShown_->integerTools == tools)
        return;
    std::vector<BitForm> forms = PanelForms(v, word);
    BitsPanelContent content =
        bitsShown_ ? PanelContent(v, word, tools, forms, &bitsShown_->forms, &bitsShown_->content)
                   : PanelContent(v, word, tools, forms, nullptr, nullptr);
    bitsPanel_->SetContent(content);
    if (!bitsShown_) bitsShown_.reset(new BitsShown);
    bitsShown_->value = v;
    bitsShown_->word = word;
    bitsShown_->integerTools = tools;
    bitsShown_->forms = std::move(forms);
    bitsShown_->content = std::move(content);
}

QString CpanelGlue::CopyText(CodeForm form) const {
    const CalcValue v = mach_.BitsValue();
    if (!IsIntegerMode(v.mode)) return {};
    return Latin1(CodeLiteral(v.w(), form, mach_.WordSize()));
}

void CpanelGlue::MakeBitsPanel() {
    bitsPanel_ = new CbitsPanel(&window_);
    if (onTop_) bitsPanel_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    connect(bitsPanel_, &CbitsPanel::BitToggled, this, [this](int bit) {
        if (mach_.ToggleBit(bit)) emit ValueEdited();
    });
    connect(bitsPanel_, &CbitsPanel::Closed, this, [this] { bitsOpen_ = false; });
    connect(bitsPanel_, &CbitsPanel::WordSizeChosen, this, [this](int bits) {
        if (const std::optional<WordBits> word = wide::WordBitsOf(bits)) SetWordSize(*word);
    });
    connect(bitsPanel_, &CbitsPanel::OperationAsked, this, &CpanelGlue::RunWordOperation);
    bitsPanel_->installEventFilter(new CkeyForwarder(bitsPanel_, [this](QKeyEvent* e) { emit KeyTyped(e); }));
}

void CpanelGlue::SetBitsPanelShown(bool shown) {
    bitsOpen_ = shown;
    if (!shown) {
        if (bitsPanel_) bitsPanel_->hide();
        return;
    }
    // Before the window is up there is nothing to stand beside; the
    // window's show brings the panel then.
    if (!window_.isVisible()) return;
    if (!bitsPanel_) MakeBitsPanel();
    if (bitsPanel_->isVisible()) return;
    // Content first: the panel takes its size from it.
    ShowBitsValue();
    // The place the user gave it last time; the panel itself checks that it
    // is still on a screen (a monitor may have gone since).
    if (bitsPlace_) bitsPanel_->PlaceAt(*bitsPlace_);
    bitsPlace_.reset();
    bitsPanel_->show();
}

void CpanelGlue::Refresh() {
    if (!bitsPanel_ || !bitsPanel_->isVisible()) return;
    ShowBitsValue();
}

void CpanelGlue::SetAlwaysOnTop(bool on) {
    onTop_ = on;
    for (QWidget* w : {static_cast<QWidget*>(&window_), static_cast<QWidget*>(bitsPanel_)}) {
        if (!w || w->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) continue;
        // A new window flag may hide the window; it comes back where it was.
        // The panel, hidden with its owner, comes back through showEvent.
        const bool visible = w->isVisible();
        const QPoint place = w->pos();
        w->setWindowFlag(Qt::WindowStaysOnTopHint, on);
        if (visible && !w->isVisible()) {
            w->move(place);
            w->show();
        }
    }
}

void CpanelGlue::SetWordSize(WordBits word) {
    mach_.SetWordSize(word);
    emit MachineChanged();
}

void CpanelGlue::RunWordOperation(const QString& caption) {
    if (const MachineAction* action = ButtonAction(caption.toStdString())) action->Run(mach_);
    emit MachineChanged();
}

bool CpanelGlue::Key(int key, Qt::KeyboardModifiers mods, bool onDisplay) {
    mods = ShortcutModifiers(mods);
    if (key == Qt::Key_B && mods == Qt::ControlModifier) {
        SetBitsPanelShown(!bitsOpen_);
        display_->setFocus();
        return true;
    }
    if (mods == Qt::ControlModifier && key >= Qt::Key_1 &&
        key < Qt::Key_1 + static_cast<int>(std::size(kWordSizes))) {
        SetWordSize(kWordSizes[key - Qt::Key_1]);
        return true;
    }
    if (mods == Qt::ControlModifier && (key == Qt::Key_R || key == Qt::Key_E)) {
        // In Float the keys do nothing, as their buttons are disabled there.
        if (mach_.Mode() != vmFloat)
            RunWordOperation(key == Qt::Key_R ? QStringLiteral("SAR") : QStringLiteral("BSWAP"));
        return true;
    }
    if (onDisplay && ((key == Qt::Key_Menu && mods == Qt::NoModifier) ||
                      (key == Qt::Key_F10 && mods == Qt::ShiftModifier))) {
        ShowDisplayMenu(display_->mapToGlobal(QPoint(display_->width() / 2, display_->height())));
        return true;
    }
    return false;
}

QAction* CpanelGlue::AddMenuAction(const char* name, const QString& text, std::function<void()> fn,
                                   const QKeySequence& keys, QMenu* menu) {
    QAction* a = (menu ? menu : displayMenu_)->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    // Shortcut texts for the reader; the keys themselves are the window's,
    // so the actions' shortcuts act only inside the menu.
    if (!keys.isEmpty()) {
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetShortcut);
    }
    connect(a, &QAction::triggered, this, [this, fn = std::move(fn)] {
        WithErrorDialog([this, &fn] {
            fn();
            display_->setFocus();
        });
    });
    return a;
}

QMenu* CpanelGlue::DisplayMenu() {
    if (displayMenu_) return displayMenu_;
    displayMenu_ = new QMenu(&window_);
    displayMenu_->setObjectName(QStringLiteral("displayMenu"));
    AddMenuAction(
        "copy", QStringLiteral("Copy"), [this] { emit CopyAsked(); }, QKeySequence(Qt::CTRL | Qt::Key_C));
    displayMenu_->addSeparator();
    struct Form {
        const char* name;
        const char* text;
        CodeForm form;
    };
    static constexpr Form kForms[] = {
        {"copyHex", "Copy as 0x hexadecimal", CodeForm::Hex},
        {"copySigned", "Copy as signed decimal", CodeForm::Signed},
        {"copyUnsigned", "Copy as unsigned decimal", CodeForm::Unsigned},
        {"copyOctal", "Copy as 0o octal", CodeForm::Octal},
        {"copyBinary", "Copy as 0b binary", CodeForm::Binary},
    };
    std::vector<QAction*> integerCopies;
    for (const Form& f : kForms) {
        const CodeForm form = f.form;
        integerCopies.push_back(AddMenuAction(f.name, QString::fromLatin1(f.text), [this, form] {
            const QString text = CopyText(form);
            if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
        }));
    }
    displayMenu_->addSeparator();
    AddMenuAction(
        "paste", QStringLiteral("Paste"), [this] { emit PasteAsked(); }, QKeySequence(Qt::CTRL | Qt::Key_V));
    displayMenu_->addSeparator();
    AddWordActions();
    displayMenu_->addSeparator();
    QAction* bits = AddMenuAction(
        "bitsPanel", QStringLiteral("Bits panel"), [this] { SetBitsPanelShown(!bitsOpen_); },
        QKeySequence(Qt::CTRL | Qt::Key_B));
    bits->setCheckable(true);
    QAction* onTop =
        AddMenuAction("alwaysOnTop", QStringLiteral("Always on top"), [this] { SetAlwaysOnTop(!onTop_); });
    onTop->setCheckable(true);

    connect(displayMenu_, &QMenu::aboutToShow, this, [this, integerCopies, bits, onTop] {
        const bool integer = IsIntegerMode(mach_.BitsValue().mode);
        for (QAction* a : integerCopies) a->setEnabled(integer);
        bits->setChecked(bitsOpen_);
        onTop->setChecked(onTop_);
    });
    return displayMenu_;
}

// The word size as a submenu of five sizes, and SAR and the byte swap, each
// with its key.
void CpanelGlue::AddWordActions() {
    QMenu* sizes = displayMenu_->addMenu(QStringLiteral("Word size"));
    sizes->setObjectName(QStringLiteral("wordSizeMenu"));
    auto* group = new QActionGroup(sizes);
    std::vector<std::pair<QAction*, WordBits>> sizeActions;
    for (std::size_t i = 0; i < std::size(kWordSizes); ++i) {
        const WordBits word = kWordSizes[i];
        const QString bits = QString::number(BitsOf(word));
        const std::string name = "word" + bits.toStdString();
        QAction* a = AddMenuAction(
            name.c_str(), bits + QStringLiteral(" bits"), [this, word] { SetWordSize(word); },
            QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + static_cast<int>(i))), sizes);
        a->setCheckable(true);
        group->addAction(a);
        sizeActions.emplace_back(a, word);
    }
    QAction* sar = AddMenuAction(
        "sar", QStringLiteral("Shift right arithmetic (SAR)"),
        [this] { RunWordOperation(QStringLiteral("SAR")); }, QKeySequence(Qt::CTRL | Qt::Key_R));
    QAction* swap = AddMenuAction(
        "byteSwap", QStringLiteral("Byte swap (BSWAP)"),
        [this] { RunWordOperation(QStringLiteral("BSWAP")); }, QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(displayMenu_, &QMenu::aboutToShow, this, [this, sizeActions, sar, swap] {
        for (const auto& [a, word] : sizeActions) a->setChecked(word == mach_.WordSize());
        const bool integer = mach_.Mode() != vmFloat;
        sar->setEnabled(integer);
        swap->setEnabled(integer);
    });
}

void CpanelGlue::ShowDisplayMenu(const QPoint& globalPos) { DisplayMenu()->popup(globalPos); }

bool CpanelGlue::eventFilter(QObject* watched, QEvent* event) {
    // The panel comes back with the window: at start when it was open at
    // the last end, and after the window was hidden (a new window flag).
    // Not before the window is on the screen: until then a window manager
    // has neither placed nor framed it, and the panel could not keep clear
    // of it.
    if (watched == &window_ && event->type() == QEvent::Show && bitsOpen_ &&
        !(bitsPanel_ && bitsPanel_->isVisible())) {
        bitsAwaitWindow_ = true;
        if (QWindow* window = window_.windowHandle()) window->installEventFilter(this);
        QTimer::singleShot(0, this, [this] { BringBitsPanelBack(); });
    }
    if (event->type() == QEvent::Expose && watched == window_.windowHandle() && bitsAwaitWindow_)
        QTimer::singleShot(0, this, [this] { BringBitsPanelBack(); });
    return QObject::eventFilter(watched, event);
}

void CpanelGlue::BringBitsPanelBack() {
    if (!bitsAwaitWindow_ || !window_.isVisible()) return;
    if (const QWindow* window = window_.windowHandle(); window && !window->isExposed()) return;
    bitsAwaitWindow_ = false;
    if (bitsOpen_) WithErrorDialog([this] { SetBitsPanelShown(true); });
}

WindowState CpanelGlue::SavedWindowState() const {
    WindowState w;
    w.bitsPanel = bitsOpen_;
    w.onTop = onTop_;
    // A panel against the window has no place of its own: it comes back
    // against the window, wherever that opens.
    std::optional<QPoint> place = bitsPlace_;
    if (bitsPanel_) place = bitsPanel_->UserPlace();
    if (place) {
        w.hasBitsPlace = true;
        w.bitsX = place->x();
        w.bitsY = place->y();
    }
    return w;
}

void CpanelGlue::RestoreWindowState(const WindowState& window) {
    bitsOpen_ = window.bitsPanel;
    if (window.hasBitsPlace) bitsPlace_ = QPoint(window.bitsX, window.bitsY);
    SetAlwaysOnTop(window.onTop);
}
