// The main window's programmer's tools: the bits panel beside it, the
// display's context menu with its copies in the forms code uses, pasting a
// number written as code writes it, and Always on top.
//
// None of this changes how the calculator itself behaves: the panel only
// shows the value the display shows, and a flipped bit goes into the entry
// exactly as a typed number would (CcalcMach::ToggleBit).
#include <QAction>
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
#include "state/statefile.h"
#include "ui/application.h"
#include "ui/bitspanel.h"
#include "ui/calc.h"
#include "ui/display.h"

namespace {

QString Latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QString Caption(const std::string& name) {
    if (name == "ipv4") return QStringLiteral("IPv4");
    if (name == "ipv6") return QStringLiteral("IPv6");
    QString caption = Latin1(name);
    if (!caption.isEmpty()) caption[0] = caption[0].toUpper();
    return caption;
}

bool SameValue(const CalcValue& a, const CalcValue& b) {
    return a.mode == b.mode && std::memcmp(a.payload, b.payload, sizeof a.payload) == 0;
}

// The content for v; lines whose texts have not changed since before reuse
// its strings.
BitsPanelContent PanelContent(const CalcValue& v, const std::vector<BitForm>& forms,
                              const std::vector<BitForm>* beforeForms, const BitsPanelContent* before) {
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
    c.bitCount = BitCount(v);
    // The error value has no bits to show: its payload, the top bit alone,
    // would read as the number -2^127.
    const Word128 w = v.mode == vmERR ? Word128{} : v.w();
    c.bits = {w.lo, w.hi};
    c.toggleable = BitsToggleable(v.mode);
    return c;
}

bool IsIntegerMode(ValueMode m) { return m >= vmDec && m <= vmIPv6; }

// The lines for v. While the display shows the error value the panel says
// so, and shows none of the forms of its payload.
std::vector<BitForm> PanelForms(const CalcValue& v) {
    if (v.mode != vmERR) return BitForms(v);
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
        const Qt::KeyboardModifiers mods = ShortcutModifiers(key->modifiers());
        const bool panelKey = (key->key() == Qt::Key_Escape && mods == Qt::NoModifier) ||
                              (key->key() == Qt::Key_B && mods == Qt::ControlModifier) ||
                              key->key() == Qt::Key_Menu;
        if (panelKey) return false;
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
struct Ccalc::BitsShown {
    CalcValue value;
    std::vector<BitForm> forms;
    BitsPanelContent content;
};

void Ccalc::BitsShownDeleter::operator()(BitsShown* shown) const { delete shown; }

void Ccalc::ShowBitsValue() {
    const CalcValue v = mach_->BitsValue();
    if (bitsShown_ && SameValue(bitsShown_->value, v)) return;
    std::vector<BitForm> forms = PanelForms(v);
    BitsPanelContent content = bitsShown_ ? PanelContent(v, forms, &bitsShown_->forms, &bitsShown_->content)
                                          : PanelContent(v, forms, nullptr, nullptr);
    bitsPanel_->SetContent(content);
    if (!bitsShown_) bitsShown_.reset(new BitsShown);
    bitsShown_->value = v;
    bitsShown_->forms = std::move(forms);
    bitsShown_->content = std::move(content);
}

QString Ccalc::CopyText(CopyForm form) const {
    const CalcValue v = mach_->BitsValue();
    if (!IsIntegerMode(v.mode)) return {};
    const Word128 w = v.w();
    switch (form) {
        case CopyForm::Hex: return Latin1("0x" + str(w, 16));
        case CopyForm::Signed: return Latin1(sstr(w, 10));
        case CopyForm::Unsigned: return Latin1(str(w, 10));
        case CopyForm::Octal: return Latin1("0o" + str(w, 8));
        case CopyForm::Binary: return Latin1("0b" + str(w, 2));
    }
    return {};
}

void Ccalc::CopyAs(CopyForm form) {
    const QString text = CopyText(form);
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

bool Ccalc::PasteCodeNumber(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const std::string typing = mach_->ShowsY() && mach_->EntryStarted() ? mach_->EntryText() : std::string();
    const PastePlan plan =
        PlanPaste(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), mach_->Mode(),
                  kWordBits, typing);
    if (plan.kind == PastePlan::kKeys) return false;
    // Like any other key, the paste cancels a pending store or recall.
    RegPending = raNone;
    if (plan.kind == PastePlan::kNumber)
        EnterReadNumber(*mach_, plan.value);
    else
        mach_->ShowError();  // and nothing the user had changes
    UpdateDisplay();
    return true;
}

void Ccalc::ToggleBitsPanel() { SetBitsPanelShown(!bitsOpen_); }

void Ccalc::SetBitsPanelShown(bool shown) {
    bitsOpen_ = shown;
    if (!shown) {
        if (bitsPanel_) bitsPanel_->hide();
        return;
    }
    // Before the window is up there is nothing to stand beside; showEvent
    // brings the panel then.
    if (!isVisible()) return;
    if (!bitsPanel_) {
        bitsPanel_ = new CbitsPanel(this);
        if (onTop_) bitsPanel_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        connect(bitsPanel_, &CbitsPanel::BitToggled, this, [this](int bit) { BitToggled(bit); });
        connect(bitsPanel_, &CbitsPanel::Closed, this, [this] { bitsOpen_ = false; });
        bitsPanel_->installEventFilter(new CkeyForwarder(bitsPanel_, [this](QKeyEvent* e) {
            Guarded([this, e] {
                if (EntryKeyPress(e->key(), e->modifiers())) return;
                const QByteArray text = e->text().toUtf8();
                if (!text.isEmpty())
                    EntryKeyChar(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
            });
        }));
    }
    if (bitsPanel_->isVisible()) return;
    // Content first: the panel takes its size from it.
    ShowBitsValue();
    // The place the user gave it last time; the panel itself checks that it
    // is still on a screen (a monitor may have gone since).
    if (bitsPlace_) bitsPanel_->PlaceAt(*bitsPlace_);
    bitsPlace_.reset();
    bitsPanel_->show();
}

void Ccalc::RefreshBitsPanel() {
    if (!bitsPanel_ || !bitsPanel_->isVisible()) return;
    ShowBitsValue();
}

void Ccalc::BitToggled(int bit) {
    if (mach_->ToggleBit(bit)) UpdateDisplay();
}

void Ccalc::SetAlwaysOnTop(bool on) {
    onTop_ = on;
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(bitsPanel_)}) {
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

bool Ccalc::BitsKey(int key, Qt::KeyboardModifiers mods, bool onDisplay) {
    mods = ShortcutModifiers(mods);
    if (key == Qt::Key_B && mods == Qt::ControlModifier) {
        ToggleBitsPanel();
        FocusDisplay();
        return true;
    }
    if (onDisplay && ((key == Qt::Key_Menu && mods == Qt::NoModifier) ||
                      (key == Qt::Key_F10 && mods == Qt::ShiftModifier))) {
        ShowDisplayMenu(entry_->mapToGlobal(QPoint(entry_->width() / 2, entry_->height())));
        return true;
    }
    return false;
}

void Ccalc::SetUpDisplayMenu() {
    // The menu itself is made on first use, not at start-up.
    entry_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(entry_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        Guarded([this, pos] { ShowDisplayMenu(entry_->mapToGlobal(pos)); });
    });
}

QMenu* Ccalc::DisplayMenu() {
    if (displayMenu_) return displayMenu_;
    displayMenu_ = new QMenu(this);
    displayMenu_->setObjectName(QStringLiteral("displayMenu"));
    const auto add = [this](const char* name, const QString& text, auto fn) {
        QAction* a = displayMenu_->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, fn] {
            Guarded([this, fn] {
                fn();
                FocusDisplay();
            });
        });
        return a;
    };
    // Shortcut texts for the reader; the keys themselves are the window's,
    // so the actions' shortcuts act only inside the menu.
    const auto shortcut = [](QAction* a, const QKeySequence& keys) {
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetShortcut);
    };
    shortcut(add("copy", QStringLiteral("Copy"), [this] { CopyToClipboard(); }),
             QKeySequence(Qt::CTRL | Qt::Key_C));
    displayMenu_->addSeparator();
    struct Form {
        const char* name;
        const char* text;
        CopyForm form;
    };
    static constexpr Form kForms[] = {
        {"copyHex", "Copy as 0x hexadecimal", CopyForm::Hex},
        {"copySigned", "Copy as signed decimal", CopyForm::Signed},
        {"copyUnsigned", "Copy as unsigned decimal", CopyForm::Unsigned},
        {"copyOctal", "Copy as 0o octal", CopyForm::Octal},
        {"copyBinary", "Copy as 0b binary", CopyForm::Binary},
    };
    std::vector<QAction*> integerCopies;
    for (const Form& f : kForms) {
        const CopyForm form = f.form;
        integerCopies.push_back(add(f.name, QString::fromLatin1(f.text), [this, form] { CopyAs(form); }));
    }
    displayMenu_->addSeparator();
    shortcut(add("paste", QStringLiteral("Paste"), [this] { PasteFromClipboard(); }),
             QKeySequence(Qt::CTRL | Qt::Key_V));
    displayMenu_->addSeparator();
    QAction* bits = add("bitsPanel", QStringLiteral("Bits panel"), [this] { ToggleBitsPanel(); });
    bits->setCheckable(true);
    shortcut(bits, QKeySequence(Qt::CTRL | Qt::Key_B));
    QAction* onTop = add("alwaysOnTop", QStringLiteral("Always on top"), [this] { SetAlwaysOnTop(!onTop_); });
    onTop->setCheckable(true);

    connect(displayMenu_, &QMenu::aboutToShow, this, [this, integerCopies, bits, onTop] {
        const bool integer = IsIntegerMode(mach_->BitsValue().mode);
        for (QAction* a : integerCopies) a->setEnabled(integer);
        bits->setChecked(bitsOpen_);
        onTop->setChecked(onTop_);
    });
    return displayMenu_;
}

void Ccalc::ShowDisplayMenu(const QPoint& globalPos) { DisplayMenu()->popup(globalPos); }

void Ccalc::showEvent(QShowEvent* event) {
    CmrvForm::showEvent(event);
    // The panel comes back with the window: at start when it was open at
    // the last end, and after the window was hidden (a new window flag).
    // Not before the window is on the screen: until then a window manager
    // has neither placed nor framed it, and the panel could not keep clear
    // of it.
    if (bitsOpen_ && !(bitsPanel_ && bitsPanel_->isVisible())) {
        bitsAwaitWindow_ = true;
        if (QWindow* window = windowHandle()) window->installEventFilter(this);
        QTimer::singleShot(0, this, [this] { BringBitsPanelBack(); });
    }
}

void Ccalc::BringBitsPanelBack() {
    if (!bitsAwaitWindow_ || !isVisible()) return;
    if (const QWindow* window = windowHandle(); window && !window->isExposed()) return;
    bitsAwaitWindow_ = false;
    if (bitsOpen_) Guarded([this] { SetBitsPanelShown(true); });
}

WindowState Ccalc::SavedWindowState() const {
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

void Ccalc::RestoreWindowState(const WindowState& window) {
    bitsOpen_ = window.bitsPanel;
    if (window.hasBitsPlace) bitsPlace_ = QPoint(window.bitsX, window.bitsY);
    SetAlwaysOnTop(window.onTop);
}
