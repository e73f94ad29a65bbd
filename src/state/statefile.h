// The state file "qz.state": the calculator's mode, its sixteen registers and
// the tape (each row with its value), kept between runs. No Qt here: the
// window hands its state over as a StateSnapshot and receives a loaded file
// through a StateSink.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "calcmach/calcmach.h"
#include "state/tape_rows.h"

// Extras of the window kept beside the mode in [globals], each on a line
// of its own and only when it differs from the default, so that a session
// that never used them writes the file it always wrote. Readers that do not
// know a key skip its line. A damaged value leaves its field as it was.
struct WindowState {
    bool bitsPanel = false;     // "bits=1": the bits panel was open
    bool hasBitsPlace = false;  // "bitsx=" and "bitsy=": where the panel was
    int bitsX = 0, bitsY = 0;
    bool onTop = false;  // "ontop=1": the window stays above others

    bool operator==(const WindowState&) const = default;
};

// What the loader hands to its owner, line by line, in file order.
class StateSink {
public:
    virtual ~StateSink() = default;
    // A readable "mode=" line of the globals section.
    virtual void LoadMode(ValueMode mode) = 0;
    // A readable register line; k is the register's position, 0..15.
    virtual void LoadRegister(int k, const CalcValue& value) = 0;
    // A register section has ended (refresh the register list).
    virtual void RegistersLoaded() = 0;
    // A tape section starts / ends (batch the tape list's updates).
    virtual void BeginTape() = 0;
    virtual void EndTape() = 0;
    // A readable tape line: its value and its text (at most 255 bytes).
    virtual void LoadTapeRow(const CalcValue& value, std::string_view text) = 0;
    // The window's extra globals as read so far, at the end of each globals
    // section that held at least one readable one of them.
    virtual void LoadWindow(const WindowState& /*window*/) {}
};

struct TapeRow {
    CalcValue value;
    std::string text;
};

// Everything the file holds.
struct StateSnapshot {
    ValueMode mode = vmFloat;
    WindowState window;
    std::array<CalcValue, kRegisterCount> regs{};
    std::vector<TapeRow> tape;  // oldest first, at most 100 rows
};

// A sink that fills a StateSnapshot the way the window does: modes and
// registers overwrite, tape rows are added and only the newest 100 kept.
class SnapshotSink : public StateSink {
public:
    explicit SnapshotSink(StateSnapshot& target) : state_(target) {}
    void LoadMode(ValueMode mode) override { state_.mode = mode; }
    void LoadRegister(int k, const CalcValue& value) override;
    void RegistersLoaded() override {}
    void BeginTape() override {}
    void EndTape() override {}
    void LoadTapeRow(const CalcValue& value, std::string_view text) override;
    void LoadWindow(const WindowState& window) override { state_.window = window; }

private:
    StateSnapshot& state_;
};

// Folders. Each returns the folder without a trailing separator, or "" when
// it cannot be determined.
std::string AppDataDir();  // APPDATA, else XDG_CONFIG_HOME, else $HOME/.config
std::string DesktopDir();  // HOMEDRIVE+HOMEPATH joined, else $HOME; then "Desktop"
// AppDataDir() + "/qz.state", or "" with no folder.
std::string StatePath();

// Reads the file at path into the sink. A missing or unreadable file loads
// nothing; bad lines are skipped one by one. Never throws for bad content.
// Returns "" when the whole file was read (or there was none to read). When
// the disk fails part way, the whole lines read so far stay loaded and the
// warning for the user is returned ("Could not read all of the calculator
// state from <path>: <reason>. ..."); the caller then saves with
// OldStateFile::kKeepAsBad so that the unread rest is not overwritten.
std::string LoadStateFile(const std::string& path, StateSink& sink);

// The one call that takes the file's bytes from the disk, used like ::read
// (bytes read, 0 at the end, -1 with errno set). Empty: ::read itself.
// Replaceable so that tests can make the disk fail part way through.
extern std::function<long(int fd, char* buf, std::size_t size)> StateFileReadHook;
// The same, from text already in memory (the loader's core).
void LoadStateText(std::string_view text, StateSink& sink);

// The file's text, CR LF line ends, exactly as written to disk.
std::string FormatState(const StateSnapshot& state);

// What becomes of the file a save replaces.
enum class OldStateFile {
    kReplace,    // the usual case: it is simply replaced
    kKeepAsBad,  // it could not be read in full: kept as BadStatePath(path)
};

// path + ".bad": where a state file that could not be read in full is kept.
std::string BadStatePath(const std::string& path);

// Writes the file safely: a temporary file in the same folder, flushed to
// disk, then renamed over path. A missing folder is made first (mode 0700,
// missing parents too). On any failure the previous file is left as it was,
// no temporary file remains, and false is returned with a message ("Could
// not save the calculator state to <path>: <reason>"). An empty path (no
// folder known) saves nothing and returns true.
//
// With kKeepAsBad, once the new content is on disk the previous file is
// renamed to BadStatePath(path), replacing an older one, before the new one
// takes its name. If that rename fails, nothing is replaced, the new state is
// not saved, and the message says so.
bool SaveStateFile(const std::string& path, const StateSnapshot& state, std::string& error,
                   OldStateFile old = OldStateFile::kReplace);
