// The help viewer's window: a read-only Markdown page with a find bar.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;

// The anchor name a heading gets, so that a Markdown link such as
// [Registers](#8-registers) jumps to it: lower case, blanks as "-", and
// only letters, digits, "-" and "_" kept.
QString HeadingAnchor(const QString& heading);

class CdocViewer : public QWidget {
    Q_OBJECT

public:
    explicit CdocViewer(QWidget* parent = nullptr);

    // Shows the Markdown file at path. On a read error the window shows why
    // and false is returned.
    bool LoadFile(const QString& path);
    // Shows a plain message instead of a document; searching is switched off.
    void ShowMessage(const QString& title, const QString& text);

    // Look for the find bar's text after / before the current selection,
    // wrapping round the document once. True when a match is selected.
    bool FindNext();
    bool FindPrevious();
    void FocusFindBar();

    QTextBrowser* Browser() const { return browser_; }
    QLineEdit* FindField() const { return findField_; }
    QString FindStatus() const;

private:
    bool Find(bool backward, bool fromSelectionStart);
    void AnchorHeadings();
    void StyleTables();
    void SetFindEnabled(bool on);
    void MarkFindResult(bool found, const QString& status);

    QTextBrowser* browser_;
    QLineEdit* findField_;
    QPushButton* prevButton_;
    QPushButton* nextButton_;
    QLabel* findStatus_;
};
