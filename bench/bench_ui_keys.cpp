// Speed of the main window: one typed key with the machine call, any tape
// line and the display refresh; with "painted", also the repaint it causes;
// with the bits panel open, the panel's refresh and repaint as well; and a
// bit flipped in the panel with both windows repainted. startAndEnd times
// one window's life with a full state file.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_ui_keys
//
// Runs in a temporary home and application-data folder of its own, so the
// user's state file is never read or written.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QWindow>

#include <string>

#include "ui/application.h"
#include "ui/bitgrid.h"
#include "ui/bitspanel.h"
#include "ui/calc.h"
#include "ui/calc_panel_glue.h"

namespace {

QWidget* Entry(Ccalc& w) { return w.findChild<QWidget*>(QStringLiteral("entry")); }

void Key(QWidget* target, char c) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QLatin1Char(c)));
    QApplication::sendEvent(target, &press);
}

void Type(Ccalc& w, const std::string& text) {
    for (const char c : text) Key(Entry(w), c);
}

// Shows a window and waits (a bounded while) until it can be painted.
bool ShowExposed(QWidget& w) {
    w.show();
    for (int i = 0; i < 1000; ++i) {
        QCoreApplication::processEvents();
        if (w.windowHandle() && w.windowHandle()->isExposed()) return true;
    }
    return false;
}

// A window in a mode with a full tape, so every new line also drops the
// oldest, and the given keys typed.
struct Session {
    Ccalc w;
    Session(const char* mode, bool painted, bool panel, const std::string& before) {
        if (painted && !ShowExposed(w)) throw std::runtime_error("the window was not exposed");
        w.findChild<QRadioButton*>(QString::fromLatin1(mode))->click();
        for (int i = 0; i < 100; ++i) Type(w, "1=");
        Type(w, before);
        if (panel) {
            if (!painted) throw std::runtime_error("the panel needs the window shown");
            w.Panel().SetBitsPanelShown(true);
            if (!w.Panel().BitsPanel() || !ShowExposed(*w.Panel().BitsPanel()))
                throw std::runtime_error("no bits panel");
        }
        QCoreApplication::processEvents();
    }
};

void Keys(benchmark::State& state, const char* mode, const std::string& cycle, bool painted, bool panel,
          const std::string& before = {}) {
    Session s(mode, painted, panel, before);
    QWidget* display = Entry(s.w);
    std::size_t at = 0;
    for (auto _ : state) {
        Key(display, cycle[at]);
        at = (at + 1) % cycle.size();
        if (painted) QCoreApplication::processEvents();
    }
    if (s.w.TapeRows().size() != kMaxTapeRows) state.SkipWithError("the tape lost its rows");
}

// Hexadecimal keys with the bits panel open and both windows repainted, at
// each word size (the argument, in bits): the panel's grid has that many
// cells and the display its size mark. A key at 32 bits should cost no more
// than at 128.
void KeysAtWordSize(benchmark::State& state) {
    Session s("ModeHex", true, true, "");
    s.w.Panel().SetWordSize(wide::WordBitsOf(state.range(0)).value_or(WordBits::k128));
    QWidget* display = Entry(s.w);
    const std::string_view cycle = "123456789abcdefx";
    std::size_t at = 0;
    for (auto _ : state) {
        Key(display, cycle[at]);
        at = (at + 1) % cycle.size();
        QCoreApplication::processEvents();
    }
    if (s.w.Panel().BitsPanel()->Grid()->BitCount() != state.range(0))
        state.SkipWithError("the grid's cells");
}

// A click on a cell of the grid: the machine flips the bit, the display and
// the panel are refreshed and both windows repaint. Walking over the bits
// makes every click show a new value.
void BitToggle(benchmark::State& state, const char* mode) {
    Session s(mode, true, true, "");
    CbitGrid* grid = s.w.Panel().BitsPanel()->Grid();
    const int count = grid->BitCount();
    const auto click = [grid](int bit) {
        const QPointF at = grid->CellRect(bit).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, grid->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(grid, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, grid->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid, &release);
        QCoreApplication::processEvents();
    };
    // The upper bits only: a float's lowest fraction bits are below the 17
    // digits the display shows.
    const int low = count == CbitGrid::kFloatBits ? 40 : 0;
    const std::string before = s.w.Mach().DisplayText();
    click(count - 2);
    if (s.w.Mach().DisplayText() == before) state.SkipWithError("a click flipped nothing");
    int bit = 0;
    for (auto _ : state) {
        click(low + bit);
        bit = (bit + 37) % (count - low);
    }
}

void StartAndEnd(benchmark::State& state) {
    {
        Ccalc w;
        for (int i = 0; i < 100; ++i) Type(w, "1=");
    }
    for (auto _ : state) {
        Ccalc w;
        benchmark::DoNotOptimize(w.TapeRows().size());
    }
}

}  // namespace

BENCHMARK_CAPTURE(Keys, digits, "ModeDec", "123456789x", false, false);
BENCHMARK_CAPTURE(Keys, calculation, "ModeDec", "12+34=", false, false);
BENCHMARK_CAPTURE(Keys, floatCalculation, "ModeFlt", "1.5*2.25=", false, false);
BENCHMARK_CAPTURE(Keys, parentheses, "ModeHex", "2*(a+f)=", false, false);
BENCHMARK_CAPTURE(Keys, calculationPainted, "ModeDec", "12+34=", true, false);
// Backspace and a digit: every key shows a new text of 127 or 128 binary
// digits, the widest the display has to fit.
BENCHMARK_CAPTURE(Keys, binary128, "ModeBin", "\b1", false, false, std::string(128, '1'));
BENCHMARK_CAPTURE(Keys, binary128Painted, "ModeBin", "\b1", true, false, std::string(128, '1'));
// With the bits panel open: both windows refreshed and repainted per key.
BENCHMARK_CAPTURE(Keys, calculationPaintedWithPanel, "ModeDec", "12+34=", true, true);
BENCHMARK_CAPTURE(Keys, hexPaintedWithPanel, "ModeHex", "123456789abcdefx", true, true);
BENCHMARK_CAPTURE(Keys, floatPaintedWithPanel, "ModeFlt", "1.5*2.25=", true, true);
BENCHMARK(KeysAtWordSize)->Arg(8)->Arg(32)->Arg(64)->Arg(128);
BENCHMARK_CAPTURE(BitToggle, hex, "ModeHex");
BENCHMARK_CAPTURE(BitToggle, floating, "ModeFlt");
BENCHMARK(StartAndEnd)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) return 2;
    QDir(home.path()).mkpath(QStringLiteral("appdata"));
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("APPDATA", (home.path() + "/appdata").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qunsetenv("HOMEDRIVE");
    qunsetenv("HOMEPATH");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt takes its own options out of argv; the benchmark library the rest.
    int qtArgc = 1;
    CqzApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
