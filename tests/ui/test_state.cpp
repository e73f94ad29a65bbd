// The state file as the user meets it: what one run leaves, the next run
// finds again; a file that cannot be written or read in full is reported.
#include <QMessageBox>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "../fdio/full_disk.h"
#include "../state/failing_disk.h"
#include "fdio/fdio.h"
#include "state/statefile.h"

#include "uitest.h"

using namespace uitest;

namespace {

QString StateFile() { return uitest::AppDataDir() + "/qz.state"; }

QTableWidget* TapeList(Ccalc& w) { return w.findChild<QTableWidget*>("tape"); }
QString Register(Ccalc& w, int n) { return w.findChild<QTableWidget*>("registers")->item(n, 1)->text(); }
bool Checked(Ccalc& w, const char* radio) { return w.findChild<QRadioButton*>(radio)->isChecked(); }

// Recalls tape row k as a click would.
QString RecallRow(Ccalc& w, int k) {
    TapeList(w)->setCurrentCell(k, 0);
    emit TapeList(w)->clicked(TapeList(w)->currentIndex());
    return DisplayText(w);
}

QStringList& SaveFailures() {
    static QStringList failures;
    return failures;
}

QStringList& Warnings() {
    static QStringList warnings;
    return warnings;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

int Mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

// A file in hexadecimal mode with R1 = FF and the tape of FF+1=, in the
// line ends given.
QByteArray HexState(const QByteArray& eol) {
    QByteArray text = "[globals]" + eol + "mode=vmHex" + eol + eol + "[registers]" + eol;
    for (int k = 0; k < 16; ++k)
        text += (k == 1 ? "vmHex:000000000000000000000000000000FF" : "vmDec:0") + eol;
    text += eol + "[tape]" + eol + "vmHex:000000000000000000000000000000FF=FFh" + eol +
            "vmHex:00000000000000000000000000000001=+ 1h" + eol +
            "vmHex:00000000000000000000000000000100== 100h" + eol;
    return text;
}

// The open of one file fails as it does for a user who may not read it.
struct UnopenableFile {
    explicit UnopenableFile(const QString& path) {
        StateFileOpenHook = [name = QFile::encodeName(path).toStdString()](const char* p, int flags) {
            if (name == p) {
                errno = EACCES;
                return -1;
            }
            return ::open(p, flags);
        };
    }
    ~UnopenableFile() { StateFileOpenHook = nullptr; }
};

}  // namespace

class TestState : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(StateFile());
        Errors().clear();
        SaveFailures().clear();
        Warnings().clear();
        Ccalc::SetStateMessageHooks([](const QString& message) { Warnings().append(message); },
                                    [](const QString& message) { SaveFailures().append(message); });
    }
    void cleanup() {
        QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n')));
        qputenv("APPDATA", uitest::AppDataDir().toLocal8Bit());
        for (const char* kept : {"qz.state.bad", "tape.txt", "dots"}) {
            QFile::remove(uitest::AppDataDir() + "/" + kept);
            QFile::remove(HomeDir() + "/" + kept);
        }
        QDir(HomeDir() + "/dots").removeRecursively();
    }

    void restartRestoresRegistersTapeAndMode() {
        QStringList tape;
        {
            Ccalc w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.findChild<QRadioButton*>("ModeDec")->click();
            Type(w, "7s5");
            w.findChild<QRadioButton*>("ModeHex")->click();
            Type(w, "ff+1=sa");
            tape = TapeLines(w);
            QTest::keyClick(Entry(w), Qt::Key_Escape);
            QVERIFY(!w.isVisible());
        }
        QVERIFY(QFile::exists(StateFile()));
        QVERIFY(SaveFailures().isEmpty());

        Ccalc w;
        QVERIFY(Checked(w, "ModeHex"));
        QVERIFY(Button(w, "bAnd")->isEnabled());
        QCOMPARE(Register(w, 5), QString("7"));
        QCOMPARE(Register(w, 10), QString("100"));
        QCOMPARE(Register(w, 0), QString("0"));
        QCOMPARE(TapeLines(w), tape);
        QCOMPARE(DisplayText(w), QString("0"));
        QVERIFY(w.Mach().ShowsY());  // the loader gave the display back
        QCOMPARE(RecallRow(w, 0), QString("FF"));
        QCOMPARE(RecallRow(w, 2), QString("100"));
        // The restored entry is live: typing goes on from it.
        Type(w, "+1=");
        QCOMPARE(DisplayText(w), QString("101"));
    }

    void floatValuesBehindTheRows() {
        {
            Ccalc w;
            Type(w, "1.5*2=");
        }
        Ccalc w;
        QVERIFY(Checked(w, "ModeFlt"));
        QCOMPARE(TapeLines(w), (QStringList{"1.5", "* 2", "= 3"}));
        QCOMPARE(RecallRow(w, 0), QString("1.5"));
        QCOMPARE(RecallRow(w, 2), QString("3"));
    }

    void errorValueInARegister() {
        {
            Ccalc w;
            w.findChild<QRadioButton*>("ModeDec")->click();
            Type(w, "3s1)s7");
            QCOMPARE(Register(w, 7), QString("*** ERROR ***"));
            Type(w, "9s8");
        }
        QVERIFY(SaveFailures().isEmpty());
        Ccalc w;
        QCOMPARE(Register(w, 1), QString("3"));
        QCOMPARE(Register(w, 7), QString("0"));  // not restorable: keeps its start value
        QCOMPARE(Register(w, 8), QString("9"));
    }

    void longTapeFileKeepsTheLatestRows() {
        QFile f(StateFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[tape]\r\n");
        for (int i = 1; i <= 150; ++i)
            f.write(QString("vmDec:%1=line %2\r\n").arg(i, 32, 16, QChar('0')).arg(i).toLatin1());
        f.write("not a tape line\r\n[globals]\r\n mode = vmOct \r\n");
        f.close();

        Ccalc w;
        QVERIFY(Checked(w, "ModeOct"));
        QCOMPARE(w.TapeRows().size(), std::size_t{100});
        QCOMPARE(QString::fromStdString(w.TapeRows()[0].text), QString("line 51"));
        QCOMPARE(QString::fromStdString(w.TapeRows()[99].text), QString("line 150"));
        QVERIFY(w.Mach().ShowsY());
        QCOMPARE(RecallRow(w, 0), QString("51"));
        QCOMPARE(RecallRow(w, 99), QString("150"));
    }

    void saveFailureIsReported() {
        // A missing folder is made; a plain file in its place cannot be.
        QFile plain(HomeDir() + "/plain file");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        qputenv("APPDATA", (HomeDir() + "/plain file/folder").toLocal8Bit());
        {
            Ccalc w;
            Type(w, "1=");
            QVERIFY(SaveFailures().isEmpty());
        }
        QCOMPARE(SaveFailures(), QStringList{"Could not save the calculator state to " + HomeDir() +
                                             "/plain file/folder/qz.state: Not a directory"});
    }

    // The disk fails part way through the file: the window starts with the
    // lines read, says so once, and at exit keeps the old file whole as
    // qz.state.bad beside the new one.
    void partlyReadFileIsReportedAndKept() {
        QByteArray original = "[globals]\r\nmode=vmHex\r\n\r\n[tape]\r\n";
        for (int i = 1; i <= 10; ++i)
            original += QString("vmHex:%1=+ %2\r\n").arg(i, 32, 16, QChar('0')).arg(i).toLatin1();
        const qsizetype cut = original.indexOf("+ 4") + 1;
        QFile f(StateFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
        f.close();

        // The real dialog, over the window.
        Ccalc::SetStateMessageHooks(nullptr, [](const QString& message) { SaveFailures().append(message); });
        auto disk = std::make_unique<FailingDisk>(static_cast<std::size_t>(cut));
        QStringList shown;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(10);
        QStringList tape;
        {
            Ccalc w;
            disk.reset();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_COMPARE(shown.size(), 1);
            QTest::qWait(100);
            QCOMPARE(shown.size(), 1);
            QCOMPARE(TapeLines(w), (QStringList{"+ 1", "+ 2", "+ 3"}));
            QVERIFY(Checked(w, "ModeHex"));
            Type(w, "A+1=");
            tape = TapeLines(w);
        }
        QCOMPARE(shown,
                 QStringList{"Could not read all of the calculator state from " + StateFile() +
                             ": Input/output error. The calculator starts with the part that was read. "
                             "When it closes, that file is kept as " +
                             StateFile() + ".bad and a new one is written."});
        QVERIFY(SaveFailures().isEmpty());

        QFile bad(StateFile() + ".bad");
        QVERIFY(bad.open(QIODevice::ReadOnly));
        QCOMPARE(bad.readAll(), original);
        Ccalc again;
        QCOMPARE(tape.mid(0, 4), (QStringList{"+ 1", "+ 2", "+ 3", "Ah"}));
        QCOMPARE(TapeLines(again), tape);
        QFile::remove(StateFile() + ".bad");
    }

    void savingHappensOnlyWhenTheWindowGoes() {
        auto w = std::make_unique<Ccalc>();
        Type(*w, "4=");
        w->show();
        QTest::keyClick(Entry(*w), Qt::Key_Q);
        QVERIFY(!w->isVisible());
        QVERIFY(!QFile::exists(StateFile()));
        w.reset();
        QVERIFY(QFile::exists(StateFile()));
    }

    // As a user who may not read the file (mode 000): one warning at start
    // with the file and the reason, the session starts empty, and its exit
    // keeps the old file as qz.state.bad beside a new one the user can read.
    void unreadableFileIsReportedAndKept() {
        const QByteArray original = HexState("\r\n");
        WriteAll(StateFile(), original);
        QVERIFY(QFile::setPermissions(StateFile(), {}));
        {
            const UnopenableFile locked(StateFile());
            Ccalc w;
            QCOMPARE(Warnings(), QStringList{"Could not read the calculator state from " + StateFile() +
                                             ": Permission denied. The calculator starts without it. When it "
                                             "closes, that file is kept as " +
                                             StateFile() + ".bad and a new one is written."});
            QCOMPARE(w.TapeRows().size(), std::size_t{0});
            QVERIFY(Checked(w, "ModeFlt"));
            Type(w, "77s1");
        }
        QVERIFY(SaveFailures().isEmpty());
        QCOMPARE(Mode(StateFile() + ".bad"), 0);
        QCOMPARE(ReadAll(StateFile() + ".bad"), original);
        QCOMPARE(Mode(StateFile()), 0600);
        Ccalc again;
        QCOMPARE(Register(again, 1), QString("77"));
        QCOMPARE(Warnings().size(), 1);
    }

    // A file saved by an editor with a byte-order mark or CR line ends
    // reads as the text it is; one in UTF-16 (no section to be found) is
    // reported and kept.
    void encodings_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("readable");
        QTest::newRow("BOM, CR LF") << "\xEF\xBB\xBF" + HexState("\r\n") << true;
        QTest::newRow("CR") << HexState("\r") << true;
        QTest::newRow("BOM, CR") << "\xEF\xBB\xBF" + HexState("\r") << true;
        QByteArray utf16 = "\xFF\xFE";
        for (char c : HexState("\r\n")) utf16 += QByteArray(1, c) + QByteArray(1, '\0');
        QTest::newRow("UTF-16") << utf16 << false;
    }
    void encodings() {
        QFETCH(QByteArray, content);
        QFETCH(bool, readable);
        WriteAll(StateFile(), content);
        {
            Ccalc w;
            QCOMPARE(Checked(w, "ModeHex"), readable);
            QCOMPARE(Register(w, 1), QString(readable ? "FF" : "0"));
            QCOMPARE(TapeLines(w), readable ? (QStringList{"FFh", "+ 1h", "= 100h"}) : QStringList());
            QCOMPARE(Warnings().size(), readable ? 0 : 1);
            if (!readable)
                QVERIFY2(Warnings().first().contains(": it holds no section"),
                         qPrintable(Warnings().first()));
        }
        QCOMPARE(ReadAll(StateFile() + ".bad"), readable ? QByteArray("(missing)") : content);
        QVERIFY(ReadAll(StateFile())
                    .startsWith("[globals]\r\nmode=" + QByteArray(readable ? "vmHex" : "vmFloat")));
    }

    // The tape keeps a line that holds the error value: it shows its text
    // again and recalls the error. A register holding it comes back as 0.
    void errorValueOnTheTapeComesBack() {
        QStringList tape;
        int errorRow = -1;
        {
            Ccalc w;
            w.findChild<QRadioButton*>("ModeDec")->click();
            Type(w, "5+)s7");
            QCOMPARE(DisplayText(w), QString("*** ERROR ***"));
            Type(w, "=");
            tape = TapeLines(w);
            for (std::size_t k = 0; k < w.TapeRows().size(); ++k)
                if (w.TapeRows()[k].value == kErrorValue) errorRow = static_cast<int>(k);
        }
        QVERIFY2(errorRow >= 0, qPrintable(tape.join(" | ")));
        Ccalc w;
        QCOMPARE(TapeLines(w), tape);
        QCOMPARE(RecallRow(w, errorRow), QString("*** ERROR ***"));
        QCOMPARE(Register(w, 7), QString("0"));
    }

    // With no folder to keep the state in, the exit says so.
    void noFolderKnownIsReported() {
        const QByteArray home = qgetenv("HOME"), xdg = qgetenv("XDG_CONFIG_HOME");
        qunsetenv("APPDATA");
        qunsetenv("HOME");
        qunsetenv("XDG_CONFIG_HOME");
        bool saved = true;
        {
            Ccalc w;
            Type(w, "1=");
            saved = w.SaveState();
            QCOMPARE(w.SaveState(), saved);  // once only
        }
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", xdg);
        QVERIFY(!saved);
        QCOMPARE(SaveFailures(),
                 QStringList{"Could not save the calculator state: none of APPDATA, "
                             "XDG_CONFIG_HOME and HOME is set, so there is no folder to keep it in."});
    }

    // Two windows on one file, as two calculators started one after the
    // other: each keeps the other's changes, and a cleared tape drops only
    // the lines it had loaded.
    void twoCalculatorsKeepEachOthersChanges() {
        WriteAll(StateFile(), HexState("\r\n"));
        auto a = std::make_unique<Ccalc>();
        auto b = std::make_unique<Ccalc>();
        Type(*a, "111s5");
        Type(*a, "+1=");
        Button(*b, "bTape")->click();
        Type(*b, "222s6");
        Type(*b, "=");
        const QStringList tapeA = TapeLines(*a).mid(3), tapeB = TapeLines(*b);
        a.reset();
        b.reset();
        QVERIFY(SaveFailures().isEmpty());
        Ccalc w;
        QCOMPARE(Register(w, 1), QString("FF"));
        QCOMPARE(Register(w, 5), QString("111"));
        QCOMPARE(Register(w, 6), QString("222"));
        QCOMPARE(TapeLines(w), tapeA + tapeB);
        QVERIFY(!tapeA.isEmpty() && !tapeB.isEmpty());
    }

    // The export on a full disk leaves the previous one whole and names the
    // real reason; through a link, the file it names is written.
    void exportNeverLosesThePreviousOne() {
        const QString path = HomeDir() + "/tape.txt";
        const QByteArray old = "the previous export\n";
        WriteAll(path, old);
        Ccalc w;
        Type(w, "1234567890*9876543210=");
        for (int i = 0; i < 200; ++i) Type(w, "1+");
        w.SetExportFileChooser([&] { return path; });
        FileWriteHook = full_disk::WritesFailAfter(4096);
        Button(w, "bPrt")->click();
        FileWriteHook = nullptr;
        QCOMPARE(Errors(), QStringList{"Cannot write \"" + path + "\": No space left on device"});
        Errors().clear();
        QCOMPARE(ReadAll(path), old);
        QCOMPARE(QDir(HomeDir()).entryList({"tape.txt*"}, QDir::Files), QStringList{"tape.txt"});

        const QString direct = HomeDir() + "/direct.txt";
        w.SetExportFileChooser([&] { return direct; });
        Button(w, "bPrt")->click();
        QDir(HomeDir()).mkpath("dots");
        QVERIFY(QFile::rename(path, HomeDir() + "/dots/tape.txt"));
        QVERIFY(QFile::link("dots/tape.txt", path));
        w.SetExportFileChooser([&] { return path; });
        Button(w, "bPrt")->click();
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(ReadAll(HomeDir() + "/dots/tape.txt"), ReadAll(direct));
        QVERIFY(ReadAll(direct).size() > 4096);
        QFile::remove(direct);
    }
};

QZ_UI_TEST_MAIN(TestState)
#include "test_state.moc"
