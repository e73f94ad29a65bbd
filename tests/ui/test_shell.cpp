// The program around the window: the error dialog, the help viewer, the
// about dialog and the dialog base class's keys.
#include <QDialog>
#include <QDir>
#include <QFileDevice>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <QWindow>

#include <stdexcept>

#include "ui/about.h"
#include "uitest.h"

using namespace uitest;

namespace {

// Raises from inside event handling, where only the application can catch.
class CThrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("thrown from an event handler");
        if (e->type() == QEvent::User + 1) throw 42;
        return QObject::event(e);
    }
};

QString WriteViewer(const QString& dir) {
    const QString path = dir + "/docview";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write("#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/calls.txt\"\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

QStringList ViewerCalls(const QString& dir) {
    QFile f(dir + "/calls.txt");
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

}  // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(AppDataDir() + "/qz.state");
        Errors().clear();
        RecordErrors();
        qzApp()->SetHelpViewerDir(QString());
    }

    void machineFaultIsReportedAndTheProgramGoesOn() {
        Ccalc w;
        w.findChild<QRadioButton*>("ModeDec")->click();
        Type(w, "5/0=");
        QCOMPARE(Errors(), QStringList{"Word128: divide by zero"});
        QCOMPARE(DisplayText(w), QString("0"));  // the failed refresh did not run
        Type(w, "=");                            // the division is still pending
        QCOMPARE(Errors().size(), 2);
        Type(w, "x2+2=");
        QCOMPARE(DisplayText(w), QString("4"));
        QCOMPARE(Errors().size(), 2);
    }

    void floatFaultFromAButton() {
        Ccalc w;
        Type(w, "1-2=");
        Button(w, "bSqrt")->click();
        QCOMPARE(Errors(), QStringList{"Invalid floating point operation"});
        Type(w, "x9");
        Button(w, "bSqrt")->click();
        QCOMPARE(DisplayText(w), QString("3"));
    }

    void realErrorDialog() {
        CqzApplication::ErrorHook = nullptr;
        Ccalc w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.findChild<QRadioButton*>("ModeDec")->click();
        QString text, info;
        int buttons = 0;
        QWindow* owner = nullptr;
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            text = box->text();
            info = box->informativeText();
            buttons = int(box->buttons().size());
            owner = box->windowHandle()->transientParent();
            box->button(QMessageBox::Ok)->click();
        });
        Type(w, "7/0=");
        QCOMPARE(text, QString("An unexpected error occurred."));
        QCOMPARE(info, QString("Word128: divide by zero"));
        QCOMPARE(buttons, 1);
        // Owned by the window, a window manager keeps it above the window.
        QCOMPARE(owner, w.windowHandle());
        Type(w, "x6*7=");
        QCOMPARE(DisplayText(w), QString("42"));
    }

    void exceptionsLeavingEventHandlersAreCaught() {
        CThrower thrower;
        QEvent first(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &first);
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::Type(QEvent::User + 1)));
        QCoreApplication::processEvents();
        QCOMPARE(Errors(), (QStringList{"thrown from an event handler", "Unknown error."}));
    }

    void helpViewerMissing() {
        QTemporaryDir dir;
        qzApp()->SetHelpViewerDir(dir.path());
        Ccalc w;
        Button(w, "bHelp")->click();
        QTest::keyClick(Entry(w), Qt::Key_F1);
        QCOMPARE(Errors(),
                 (QStringList{"Failed to find the help viewer.", "Failed to find the help viewer."}));
        Type(w, "2+2=");
        QCOMPARE(DisplayText(w), QString("4"));
    }

    void helpViewerStartsEachTime() {
        QTemporaryDir dir;
        QVERIFY(!WriteViewer(dir.path()).isEmpty());
        qzApp()->SetHelpViewerDir(dir.path());
        Ccalc w;
        QTest::keyClick(Entry(w), Qt::Key_F1);
        QTest::keyClick(Entry(w), Qt::Key_F1, Qt::ShiftModifier);
        Button(w, "bHelp")->click();
        QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n')));
        QTRY_COMPARE(ViewerCalls(dir.path()), (QStringList{"qz.inf", "qz.inf", "qz.inf"}));
        QCOMPARE(DisplayText(w), QString("0"));  // F1 is not typed
    }

    // An installation keeps the viewer in libexec, found relative to the
    // calculator's folder; a viewer beside the calculator comes first.
    void helpViewerInstalledPlace() {
        QTemporaryDir root;
        const QString bin = root.path() + "/bin";
        const QString libexec = QDir::cleanPath(bin + "/" QZ_VIEWER_RELDIR);
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(libexec));
        QVERIFY(!WriteViewer(libexec).isEmpty());
        qzApp()->SetHelpViewerDir(bin);
        {
            Ccalc w;
            QTest::keyClick(Entry(w), Qt::Key_F1);
            QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n')));
            QTRY_COMPARE(ViewerCalls(libexec), QStringList{"qz.inf"});
        }
        QVERIFY(!WriteViewer(bin).isEmpty());
        Ccalc w;
        Button(w, "bHelp")->click();
        QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join('\n')));
        QTRY_COMPARE(ViewerCalls(bin), QStringList{"qz.inf"});
        QCOMPARE(ViewerCalls(libexec), QStringList{"qz.inf"});
    }

    void aboutDialog() {
        Ccalc w;
        w.move(100, 60);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QString title, line, name;
        QRect where;
        QWindow* owner = nullptr;
        WhenModal([&](QWidget* modal) {
            auto* about = qobject_cast<CfrmAbout*>(modal);
            if (!about) return;
            owner = about->windowHandle()->transientParent();
            name = about->objectName();
            title = about->windowTitle();
            line = about->lTitle->text();
            where = about->geometry();
            QTest::keyClick(about, Qt::Key_Return);
        });
        Button(w, "bAbout")->click();
        QCOMPARE(name, QString("about"));
        QCOMPARE(title, QString("About"));
        QCOMPARE(line, QString("Zentabula  v2.0"));
        const QRect main = w.geometry();
        QCOMPARE(where, QRect(main.x() + 56, main.y() + 67, 368, 137));
        QCOMPARE(owner, w.windowHandle());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Between the title line and the OK button the dialog says what the
    // program is. What it adds stays in that band, clear of both, and the
    // OK button's tick exists at the button's icon size, so it is not a
    // larger image scaled down.
    void aboutContent() {
        CfrmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.lTitle->geometry(), QRect(0, 0, 368, 22));
        QCOMPARE(about.bOK->geometry(), QRect(144, 104, 80, 24));
        QCOMPARE(about.bOK->text(), QString("OK"));
        QVERIFY(about.bOK->icon().availableSizes().contains(about.bOK->iconSize()));

        auto* text = about.findChild<QLabel*>("lAbout");
        QVERIFY(text);
        QVERIFY(text->text().contains("A calculator for programmers"));
        QVERIFY(text->text().contains(QString::fromLatin1(qVersion())));
        QVERIFY(text->width() >= text->sizeHint().width());  // not cut off

        const QRect band(0, 22, 368, 104 - 22);
        for (QWidget* child : about.findChildren<QWidget*>()) {
            if (child == about.lTitle || child == about.bOK || !child->isVisible()) continue;
            const QRect r(child->mapTo(&about, QPoint(0, 0)), child->size());
            QVERIFY2(band.contains(r), qPrintable(child->objectName()));
        }
    }

    void dialogKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("result");  // -1: still open
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << int(QDialog::Accepted);
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << int(QDialog::Accepted);
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << int(QDialog::Rejected);
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << -1;
        QTest::newRow("Alt+Return") << int(Qt::Key_Return) << int(Qt::AltModifier) << -1;
        QTest::newRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << -1;
        QTest::newRow("Ctrl+keypad Enter")
            << int(Qt::Key_Enter) << int(Qt::ControlModifier | Qt::KeypadModifier) << -1;
        QTest::newRow("Ctrl+Space") << int(Qt::Key_Space) << int(Qt::ControlModifier) << -1;
        QTest::newRow("Shift+Escape") << int(Qt::Key_Escape) << int(Qt::ShiftModifier) << -1;
        QTest::newRow("other key") << int(Qt::Key_A) << int(Qt::NoModifier) << -1;
    }

    // Each key goes where a real key press goes: to the focused OK button,
    // and from there to the dialog when the button leaves it.
    void dialogKeys() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, result);
        CfrmAbout about;
        about.open();
        QApplication::setActiveWindow(&about);
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QCOMPARE(QApplication::focusWidget(), about.bOK);
        about.setResult(-1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(mods));
        QCOMPARE(about.result(), result);
        QCOMPARE(about.isVisible(), result == -1);
    }

    void escapeClicksTheCancelButton() {
        CmrvDialog dialog;
        auto* cancel = new QPushButton("Cancel", &dialog);
        dialog.CancelButton = cancel;
        int clicks = 0;
        QObject::connect(cancel, &QPushButton::clicked, [&] { ++clicks; });
        dialog.open();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(clicks, 1);
        QVERIFY(dialog.isVisible());  // the button decides, not the key
    }

    void centring_data() {
        QTest::addColumn<QRect>("form");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("main window at 100") << QRect(100, 40, 480, 272) << QPoint(156, 107);
        QTest::newRow("partly off screen") << QRect(-300, -200, 480, 272) << QPoint(-244, -133);
        QTest::newRow("dialog wider than form") << QRect(10, 10, 100, 50) << QPoint(-124, -33);
    }

    void centring() {
        QFETCH(QRect, form);
        QFETCH(QPoint, expected);
        QWidget owner;
        owner.setGeometry(form);
        CfrmAbout about;
        about.CenterOnForm(&owner);
        QCOMPARE(about.geometry().topLeft(), expected);
    }
};

QZ_UI_TEST_MAIN(TestShell)
#include "test_shell.moc"
