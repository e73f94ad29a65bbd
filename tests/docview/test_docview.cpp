// The help viewer: where it finds the help file, and its find bar and keys.
#include <memory>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "docview/helpfile.h"
#include "docview/viewer.h"

namespace {

void WriteFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(text);
}

const QByteArray kGuide =
    "# Guide Title\n\n"
    "Some *emphasised* text about an apple.\n\n"
    "## Second section\n\n"
    "Another apple here, and an APPLE in capitals.\n";

}  // namespace

class TestDocview : public QObject {
    Q_OBJECT

private slots:
    void init();

    void firstFolderThatHasTheFileWins_data();
    void firstFolderThatHasTheFileWins();
    void folderNamedLikeTheFileIsSkipped();
    void nameWithFolderIsUsedAsGiven();
    void searchFoldersStartHereThenBesideTheProgram();
    void missingFileMessageListsEveryPlace();

    void showsMarkdownRenderedWithHeadingAsTitle();
    void unreadableFileIsReportedInTheWindow();
    void findWalksForwardAndWraps();
    void findBackwardWrapsToTheEnd();
    void findWithoutMatchKeepsSelection();
    void keysDriveTheFindBar();
    void escapeClosesTheWindow();
    void messageSwitchesSearchOff();
    void headingAnchorNames_data();
    void headingAnchorNames();
    void linksJumpToHeadings();

private:
    // A fresh folder per test function, so files of one do not leak into the next.
    std::unique_ptr<QTemporaryDir> dir_;
    QString Path(const QString& name) const { return dir_->filePath(name); }
    QString guidePath_;
};

void TestDocview::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    guidePath_ = Path(QStringLiteral("guide.md"));
    WriteFile(guidePath_, kGuide);
}

void TestDocview::firstFolderThatHasTheFileWins_data() {
    // Which of the three folders a, b, c hold the file, and which must win.
    QTest::addColumn<QStringList>("holders");
    QTest::addColumn<QString>("winner");
    QTest::addColumn<int>("triedCount");
    QTest::newRow("only last") << QStringList{"c"} << "c" << 3;
    QTest::newRow("middle and last") << QStringList{"b", "c"} << "b" << 2;
    QTest::newRow("all") << QStringList{"a", "b", "c"} << "a" << 1;
    QTest::newRow("none") << QStringList{} << "" << 3;
}

void TestDocview::firstFolderThatHasTheFileWins() {
    QFETCH(QStringList, holders);
    QFETCH(QString, winner);
    QFETCH(int, triedCount);
    QStringList dirs;
    for (const QString& d : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        QVERIFY(QDir(dir_->path()).mkpath(d));
        dirs.append(Path(d));
        if (holders.contains(d)) WriteFile(Path(d + "/qz.inf"), "# " + d.toUtf8() + "\n");
    }
    const HelpLookup found = FindHelpFile(QStringLiteral("qz.inf"), dirs);
    QCOMPARE(found.path, winner.isEmpty() ? QString() : Path(winner + "/qz.inf"));
    QCOMPARE(found.tried.size(), triedCount);
    QCOMPARE(found.tried.first(), Path(QStringLiteral("a/qz.inf")));
}

void TestDocview::folderNamedLikeTheFileIsSkipped() {
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("a/qz.inf")));
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("b")));
    WriteFile(Path(QStringLiteral("b/qz.inf")), "x");
    const HelpLookup found =
        FindHelpFile(QStringLiteral("qz.inf"), {Path(QStringLiteral("a")), Path(QStringLiteral("b"))});
    QCOMPARE(found.path, Path(QStringLiteral("b/qz.inf")));
}

void TestDocview::nameWithFolderIsUsedAsGiven() {
    // The search folders hold a file of the same name, but a path was asked for.
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("dirs")));
    WriteFile(Path(QStringLiteral("dirs/guide.md")), "decoy");
    const QStringList dirs{Path(QStringLiteral("dirs"))};

    const HelpLookup found = FindHelpFile(guidePath_, dirs);
    QCOMPARE(found.path, guidePath_);

    const QString missing = Path(QStringLiteral("nowhere/guide.md"));
    const HelpLookup lost = FindHelpFile(missing, dirs);
    QVERIFY(lost.path.isEmpty());
    QCOMPARE(lost.tried, QStringList{missing});
}

void TestDocview::searchFoldersStartHereThenBesideTheProgram() {
    const QString viewerDir = QStringLiteral("/opt/qz/libexec/zentabula");
    const QStringList dirs = HelpSearchDirs(QStringLiteral("/work/here"), viewerDir);
    QVERIFY2(dirs.size() >= 3, qPrintable(dirs.join(',')));
    QCOMPARE(dirs.at(0), QStringLiteral("/work/here"));
    QCOMPARE(dirs.at(1), viewerDir);
    // A moved installation still finds its own share/zentabula.
    QCOMPARE(dirs.at(2), QStringLiteral("/opt/qz/share/zentabula"));

    // Running from the program's own folder does not look there twice.
    const QStringList same = HelpSearchDirs(viewerDir + QLatin1Char('/'), viewerDir);
    QCOMPARE(same.count(viewerDir), 1);
    QCOMPARE(same.size(), dirs.size() - 1);
}

void TestDocview::missingFileMessageListsEveryPlace() {
    const QStringList tried{QStringLiteral("/one/qz.inf"), QStringLiteral("/two/qz.inf")};
    const QString text = NotFoundText(QStringLiteral("qz.inf"), tried);
    QVERIFY2(text.startsWith(QStringLiteral("Help file qz.inf was not found.")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("/one/qz.inf")));
    QVERIFY(text.contains(QStringLiteral("/two/qz.inf")));
    QVERIFY(text.indexOf(QStringLiteral("/one/")) < text.indexOf(QStringLiteral("/two/")));
}

void TestDocview::showsMarkdownRenderedWithHeadingAsTitle() {
    CdocViewer viewer;
    QVERIFY(viewer.LoadFile(guidePath_));
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Guide Title"));
    const QString shown = viewer.Browser()->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("Some emphasised text")), qPrintable(shown));
    QVERIFY(!shown.contains(QLatin1Char('*')));
    QVERIFY(!shown.contains(QStringLiteral("## ")));
    QVERIFY(viewer.FindField()->isEnabled());
}

void TestDocview::unreadableFileIsReportedInTheWindow() {
    CdocViewer viewer;
    QVERIFY(!viewer.LoadFile(Path(QStringLiteral("absent.inf"))));
    QVERIFY(viewer.Browser()->toPlainText().contains(QStringLiteral("absent.inf")));
    QVERIFY(!viewer.FindField()->isEnabled());
}

void TestDocview::findWalksForwardAndWraps() {
    CdocViewer viewer;
    QVERIFY(viewer.LoadFile(guidePath_));
    viewer.FindField()->setText(QStringLiteral("apple"));

    const QString text = viewer.Browser()->toPlainText();
    const int first = text.indexOf(QStringLiteral("apple"));
    const int second = text.indexOf(QStringLiteral("apple"), first + 1);
    const int third = text.indexOf(QStringLiteral("APPLE"));
    QVERIFY(first >= 0 && second > first && third > second);

    // Matching ignores case, so the capitals are the third match.
    for (int expected : {first, second, third}) {
        QVERIFY(viewer.FindNext());
        QCOMPARE(viewer.Browser()->textCursor().selectionStart(), expected);
        QCOMPARE(viewer.FindStatus(), QString());
    }
    QVERIFY(viewer.FindNext());
    QCOMPARE(viewer.Browser()->textCursor().selectionStart(), first);
    QCOMPARE(viewer.FindStatus(), QStringLiteral("Wrapped to the top"));
}

void TestDocview::findBackwardWrapsToTheEnd() {
    CdocViewer viewer;
    QVERIFY(viewer.LoadFile(guidePath_));
    viewer.FindField()->setText(QStringLiteral("apple"));
    QVERIFY(viewer.FindPrevious());
    QCOMPARE(viewer.Browser()->textCursor().selectionStart(),
             viewer.Browser()->toPlainText().indexOf(QStringLiteral("APPLE")));
    QCOMPARE(viewer.FindStatus(), QStringLiteral("Wrapped to the end"));
}

void TestDocview::findWithoutMatchKeepsSelection() {
    CdocViewer viewer;
    QVERIFY(viewer.LoadFile(guidePath_));
    viewer.FindField()->setText(QStringLiteral("apple"));
    QVERIFY(viewer.FindNext());
    const int at = viewer.Browser()->textCursor().selectionStart();

    viewer.FindField()->setText(QStringLiteral("pear"));
    QVERIFY(!viewer.FindNext());
    QCOMPARE(viewer.FindStatus(), QStringLiteral("Not found"));
    QCOMPARE(viewer.Browser()->textCursor().selectionStart(), at);
}

void TestDocview::keysDriveTheFindBar() {
    CdocViewer viewer;
    QVERIFY(viewer.LoadFile(guidePath_));
    viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&viewer));

    const QString text = viewer.Browser()->toPlainText();
    const int first = text.indexOf(QStringLiteral("apple"));
    const int second = text.indexOf(QStringLiteral("apple"), first + 1);

    QTest::keyClick(&viewer, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(viewer.FindField()->hasFocus());

    // Typing searches as it goes.
    QTest::keyClicks(viewer.FindField(), QStringLiteral("appl"));
    QCOMPARE(viewer.Browser()->textCursor().selectionStart(), first);
    QCOMPARE(viewer.Browser()->textCursor().selectedText(), QStringLiteral("appl"));

    QTest::keyClick(viewer.FindField(), Qt::Key_F3);
    QCOMPARE(viewer.Browser()->textCursor().selectionStart(), second);
    QTest::keyClick(viewer.FindField(), Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(viewer.Browser()->textCursor().selectionStart(), first);
    QTest::keyClick(viewer.FindField(), Qt::Key_Return);
    QCOMPARE(viewer.Browser()->textCursor().selectionStart(), second);

    // F3 works from the page too, not only from the find field.
    viewer.Browser()->setFocus();
    QTest::keyClick(viewer.Browser(), Qt::Key_F3);
    QVERIFY(viewer.Browser()->textCursor().selectionStart() > second);
}

void TestDocview::escapeClosesTheWindow() {
    CdocViewer viewer;
    QVERIFY(viewer.LoadFile(guidePath_));
    viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&viewer));
    // Also from the find field, where Escape could have been swallowed.
    viewer.FocusFindBar();
    QTest::keyClick(viewer.FindField(), Qt::Key_Escape);
    QVERIFY(!viewer.isVisible());
}

void TestDocview::messageSwitchesSearchOff() {
    CdocViewer viewer;
    QVERIFY(viewer.LoadFile(guidePath_));
    viewer.ShowMessage(QStringLiteral("Help"), QStringLiteral("Help file qz.inf was not found."));
    QCOMPARE(viewer.Browser()->toPlainText(), QStringLiteral("Help file qz.inf was not found."));
    QVERIFY(!viewer.FindField()->isEnabled());
    viewer.FindField()->setText(QStringLiteral("found"));
    QVERIFY(!viewer.FindNext());
}

void TestDocview::headingAnchorNames_data() {
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("anchor");
    QTest::newRow("numbered") << "8. Registers"
                              << "8-registers";
    QTest::newRow("colon") << "2. Calculating: strictly left to right"
                           << "2-calculating-strictly-left-to-right";
    QTest::newRow("comma") << "Modes, and how values change"
                           << "modes-and-how-values-change";
    QTest::newRow("hyphen kept") << "The command-line calculator"
                                 << "the-command-line-calculator";
}

void TestDocview::headingAnchorNames() {
    QFETCH(QString, heading);
    QFETCH(QString, anchor);
    QCOMPARE(HeadingAnchor(heading), anchor);
}

void TestDocview::linksJumpToHeadings() {
    QByteArray text = "# Long\n\n[Go to the end](#far-away)\n\n";
    for (int i = 0; i < 200; ++i) text += "Filler paragraph " + QByteArray::number(i) + ".\n\n";
    text += "## Far away\n\nThe end.\n";
    WriteFile(guidePath_, text);

    CdocViewer viewer;
    QVERIFY(viewer.LoadFile(guidePath_));
    viewer.resize(400, 300);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QScrollBar* bar = viewer.Browser()->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    viewer.Browser()->scrollToAnchor(QStringLiteral("far-away"));
    QVERIFY(bar->value() > bar->maximum() / 2);
}

QTEST_MAIN(TestDocview)
#include "test_docview.moc"
