// Shared pieces of the window tests: a main() that gives every test program
// a fresh home and application-data folder (no test touches the user's real
// files), records error dialogs instead of showing them, and a few helpers.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "ui/application.h"
#include "ui/calc.h"
#include "ui/calc_panel_glue.h"

namespace uitest {

// Messages the error dialog would have shown, in order.
inline QStringList& Errors() {
    static QStringList errors;
    return errors;
}

inline QString& HomeDir() {
    static QString dir;
    return dir;
}

inline QString AppDataDir() { return HomeDir() + QStringLiteral("/appdata"); }

inline void RecordErrors() {
    CqzApplication::ErrorHook = [](const QString& message) { Errors().append(message); };
}

inline QLabel* Entry(Ccalc& w) { return w.findChild<QLabel*>(QStringLiteral("entry")); }
inline QString DisplayText(Ccalc& w) { return Entry(w)->text(); }

inline QPushButton* Button(QWidget& w, const char* name) {
    return w.findChild<QPushButton*>(QString::fromLatin1(name));
}

// Types text into the display as key presses with their characters.
inline void Type(Ccalc& w, const char* text) {
    for (const char* p = text; *p; ++p) QTest::keyClick(Entry(w), *p);
}

// Runs a short script on the window: each blank-separated word names a
// button to click ("bPow", "ModeBin") or is typed as it stands.
inline void Run(Ccalc& w, const QString& script) {
    for (const QString& word : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (auto* b = w.findChild<QAbstractButton*>(word))
            b->click();
        else
            Type(w, word.toLatin1().constData());
    }
}

// Calls fn with the first modal widget that shows up, from inside its loop.
inline void WhenModal(std::function<void(QWidget*)> fn) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            fn(modal);
        }
    });
    timer->start();
}

inline QStringList TapeLines(Ccalc& w) {
    QStringList lines;
    for (const TapeRow& row : w.TapeRows()) lines << QString::fromStdString(row.text);
    return lines;
}

}  // namespace uitest

#define QZ_UI_TEST_MAIN(TestClass)                                                                   \
    int main(int argc, char** argv) {                                                                \
        QTemporaryDir home;                                                                          \
        if (!home.isValid()) return 2;                                                               \
        uitest::HomeDir() = home.path();                                                             \
        QDir(home.path()).mkpath(QStringLiteral("appdata"));                                         \
        QDir(home.path()).mkpath(QStringLiteral("Desktop"));                                         \
        qputenv("HOME", home.path().toLocal8Bit());                                                  \
        qputenv("APPDATA", uitest::AppDataDir().toLocal8Bit());                                      \
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());                         \
        qunsetenv("HOMEDRIVE");                                                                      \
        qunsetenv("HOMEPATH");                                                                       \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
        CqzApplication app(argc, argv);                                                              \
        uitest::RecordErrors();                                                                      \
        TestClass tc;                                                                                \
        return QTest::qExec(&tc, argc, argv);                                                        \
    }
