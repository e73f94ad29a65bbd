#include "docview/viewer.h"

#include <functional>

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QVBoxLayout>

namespace {

// One shortcut object per action: two QShortcuts on the same key would be
// ambiguous and neither would fire.
void AddShortcut(QWidget* owner, const QList<QKeySequence>& keys, const std::function<void()>& slot) {
    QList<QKeySequence> unique;
    for (const QKeySequence& key : keys)
        if (!key.isEmpty() && !unique.contains(key)) unique.append(key);
    auto* shortcut = new QShortcut(owner);
    shortcut->setKeys(unique);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, owner, slot);
}

// The first "# " heading names the document in the title bar.
QString FirstHeading(const QString& markdown) {
    static const QRegularExpression heading(QStringLiteral("^#\\s+(.+?)\\s*#*\\s*$"),
                                            QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = heading.match(markdown);
    return m.hasMatch() ? m.captured(1) : QString();
}

}  // namespace

QString HeadingAnchor(const QString& heading) {
    QString anchor;
    for (const QChar c : heading.trimmed().toLower()) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            anchor += c;
        else if (c.isSpace())
            anchor += QLatin1Char('-');
    }
    return anchor;
}

CdocViewer::CdocViewer(QWidget* parent)
    : QWidget(parent),
      browser_(new QTextBrowser(this)),
      findField_(new QLineEdit(this)),
      prevButton_(new QPushButton(tr("&Previous"), this)),
      nextButton_(new QPushButton(tr("&Next"), this)),
      findStatus_(new QLabel(this)) {
    setWindowTitle(tr("Help"));
    setWindowIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));

    browser_->setOpenExternalLinks(true);
    browser_->document()->setDocumentMargin(18);

    auto* findLabel = new QLabel(tr("&Find:"), this);
    findLabel->setBuddy(findField_);
    findField_->setClearButtonEnabled(true);
    findField_->setPlaceholderText(tr("Search the help"));
    prevButton_->setToolTip(tr("Find previous (Shift+F3)"));
    nextButton_->setToolTip(tr("Find next (F3)"));
    prevButton_->setAutoDefault(false);
    nextButton_->setAutoDefault(false);
    findStatus_->setMinimumWidth(120);

    auto* findBar = new QHBoxLayout;
    findBar->setContentsMargins(8, 4, 8, 6);
    findBar->addWidget(findLabel);
    findBar->addWidget(findField_, 1);
    findBar->addWidget(prevButton_);
    findBar->addWidget(nextButton_);
    findBar->addWidget(findStatus_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(browser_, 1);
    layout->addLayout(findBar);

    // Typing extends the current match rather than jumping past it.
    connect(findField_, &QLineEdit::textEdited, this, [this] { Find(false, true); });
    connect(findField_, &QLineEdit::returnPressed, this, [this] {
        if (QApplication::keyboardModifiers() & Qt::ShiftModifier)
            FindPrevious();
        else
            FindNext();
    });
    connect(nextButton_, &QPushButton::clicked, this, &CdocViewer::FindNext);
    connect(prevButton_, &QPushButton::clicked, this, &CdocViewer::FindPrevious);

    AddShortcut(this, {QKeySequence::Find}, [this] { FocusFindBar(); });
    AddShortcut(this, {QKeySequence(Qt::Key_F3), QKeySequence::FindNext}, [this] { FindNext(); });
    AddShortcut(this, {QKeySequence(Qt::SHIFT | Qt::Key_F3), QKeySequence::FindPrevious},
                [this] { FindPrevious(); });
    AddShortcut(this, {QKeySequence(Qt::Key_Escape), QKeySequence::Close, QKeySequence::Quit},
                [this] { close(); });

    resize(760, 640);
    browser_->setFocus();
}

bool CdocViewer::LoadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage(
            tr("Help"),
            tr("Help file %1 could not be read: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    const QString markdown = QString::fromUtf8(file.readAll());
    browser_->setMarkdown(markdown);
    AnchorHeadings();
    StyleTables();
    const QString heading = FirstHeading(markdown);
    setWindowTitle(heading.isEmpty() ? QFileInfo(path).fileName() : heading);
    SetFindEnabled(true);
    MarkFindResult(true, QString());
    return true;
}

void CdocViewer::ShowMessage(const QString& title, const QString& text) {
    setWindowTitle(title);
    browser_->setPlainText(text);
    SetFindEnabled(false);
}

bool CdocViewer::FindNext() { return Find(false, false); }

bool CdocViewer::FindPrevious() { return Find(true, false); }

void CdocViewer::FocusFindBar() {
    if (!findField_->isEnabled()) return;
    findField_->setFocus(Qt::ShortcutFocusReason);
    findField_->selectAll();
}

QString CdocViewer::FindStatus() const { return findStatus_->text(); }

bool CdocViewer::Find(bool backward, bool fromSelectionStart) {
    const QString needle = findField_->text();
    if (needle.isEmpty() || !findField_->isEnabled()) {
        MarkFindResult(true, QString());
        return false;
    }
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor cursor = browser_->textCursor();
    if (fromSelectionStart) {
        cursor.setPosition(cursor.selectionStart());
        browser_->setTextCursor(cursor);
    }
    if (browser_->find(needle, flags)) {
        MarkFindResult(true, QString());
        return true;
    }
    // Wrap round once, from the other end of the document.
    QTextCursor restart(browser_->document());
    restart.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    browser_->setTextCursor(restart);
    if (browser_->find(needle, flags)) {
        MarkFindResult(true, backward ? tr("Wrapped to the end") : tr("Wrapped to the top"));
        return true;
    }
    browser_->setTextCursor(cursor);
    MarkFindResult(false, tr("Not found"));
    return false;
}

void CdocViewer::AnchorHeadings() {
    // Qt's Markdown reader gives headings no anchors of their own.
    QTextDocument* doc = browser_->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || block.length() <= 1) continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat anchor;
        anchor.setAnchor(true);
        anchor.setAnchorNames({HeadingAnchor(block.text())});
        cursor.mergeCharFormat(anchor);
    }
}

void CdocViewer::StyleTables() {
    // The reader's tables come with doubled, heavy borders; thin single
    // rules and a shaded header row read far more easily.
    const QList<QTextFrame*> frames = browser_->document()->rootFrame()->childFrames();
    for (QTextFrame* frame : frames) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) continue;
        QTextTableFormat format = table->format();
        format.setBorderCollapse(true);
        format.setBorder(1);
        format.setBorderBrush(QColor(0xC8, 0xC4, 0xBE));
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setCellSpacing(0);
        format.setCellPadding(4);
        table->setFormat(format);
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(0, column);
            QTextCharFormat shade = cell.format();
            shade.setBackground(QColor(0xEC, 0xE9, 0xE4));
            cell.setFormat(shade);
        }
    }
}

void CdocViewer::SetFindEnabled(bool on) {
    findField_->setEnabled(on);
    prevButton_->setEnabled(on);
    nextButton_->setEnabled(on);
}

void CdocViewer::MarkFindResult(bool found, const QString& status) {
    findStatus_->setText(status);
    // A tinted field tells "no match" at a glance, without reading the label.
    findField_->setStyleSheet(found ? QString() : QStringLiteral("QLineEdit { background: #f6d5d5; }"));
}
