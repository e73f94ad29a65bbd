// The state file "qz.state": the calculator's mode, its sixteen registers and
// the tape (each row with its value), kept between runs. No Qt here: the
// window hands its state over as a StateSnapshot and receives a loaded file
// through a StateSink.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "calcmach/calcmach.h"
#include "state/tape.h"

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
    // A readable "wordsize=" line of the globals section (8, 16, 32 or 64;
    // a file of a 128-bit session has none).
    virtual void LoadWordSize(WordBits /*word*/) {}
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

// Everything the file holds.
struct StateSnapshot {
    ValueMode mode = vmFloat;
    // "wordsize=" in [globals], written only when it is not 128, so that the
    // file of a 128-bit session is the file such a session always wrote,
    // and readers that do not know the key skip it. Like the mode it is
    // this calculator's when a save merges.
    WordBits word = WordBits::k128;
    WindowState window;
    std::array<CalcValue, kRegisterCount> regs{};
    Tape tape;
};

// A sink that fills a StateSnapshot: modes and registers overwrite, tape
// rows are appended to its tape.
class SnapshotSink : public StateSink {
public:
    explicit SnapshotSink(StateSnapshot& target) : state_(target) {}
    void LoadMode(ValueMode mode) override { state_.mode = mode; }
    void LoadWordSize(WordBits word) override { state_.word = word; }
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
// AppDataDir() + "/qz.state", or "" with no folder.
std::string StatePath();

// Which file a load read: a save that finds another one in its place knows
// that another calculator saved meanwhile.
struct StateFileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0, modifiedNs = 0, changedNs = 0;

    bool operator==(const StateFileStamp&) const = default;
};

// The bounds of a state file, which holds 16 registers and 100 tape lines
// of a few hundred bytes: what lies beyond them is not read.
constexpr std::size_t kMaxStateBytes = std::size_t{1024} * 1024;
constexpr std::size_t kMaxStateLine = 4096;

// Reads the file at path into the sink. Lines end in LF, CR LF or CR; a
// UTF-8 byte-order mark at the start is skipped. A missing file (or one
// that is not a regular file) loads nothing; bad lines are skipped one by
// one. Never throws for bad content.
// Returns "" when the whole file was read (or there was none to read).
// Otherwise the warning for the user is returned ("Could not read [all of]
// the calculator state from <path>: <reason>. ..."), the caller is to save
// with OldStateFile::kKeepAsBad so that what was not read is not
// overwritten, and the lines read so far stay loaded. That happens when the
// file cannot be opened, when the disk fails part way, when it is longer
// than kMaxStateBytes or has a line longer than kMaxStateLine (the rest is
// skipped), and when it holds text but no section header.
// stamp, when given, receives which file was read.
std::string LoadStateFile(const std::string& path, StateSink& sink, StateFileStamp* stamp = nullptr);

// The calls that open the file and take its bytes from the disk, used like
// ::open and ::read. Empty: the system calls themselves. Replaceable so that
// tests can make the disk fail.
extern std::function<int(const char* path, int flags)> StateFileOpenHook;
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

// What this calculator loaded, and what it did to the tape since: the base
// on which a save merges its changes into a file that another calculator
// saved after this one loaded it.
struct StateBase {
    StateFileStamp stamp;                          // the file loaded (exists: false, none)
    std::array<CalcValue, kRegisterCount> regs{};  // the registers right after loading
    std::vector<TapeRow> tape;                     // the tape right after loading
    std::size_t tapeAdded = 0;                     // rows at the end of the tape written since
    bool tapeCleared = false;                      // the tape was emptied since (TAPE)
};

// What a save writes when the file changed since the load (file: what it
// holds now, read on top of base.regs). The registers this calculator
// changed take its values, the others the file's; the tape is the file's
// lines, less the ones this calculator had loaded when it cleared its tape,
// then the lines it added, the newest 100 kept; [globals] are this
// calculator's.
StateSnapshot MergeState(const StateSnapshot& ours, const StateBase& base, const StateSnapshot& file);

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
//
// A path that is a symbolic link is followed: the file it names is replaced
// and the link stays. A new file gets mode 0600; a replaced one keeps its
// mode, with read and write for its owner added.
//
// Savers take turns by a lock on "<file>.lock" beside the file (the rename
// gives the file a new inode, which could not carry a lock); the lock file
// exists only while a save holds it. With a base, a file that is no longer
// the one loaded is read again and the state merged into it (MergeState);
// one that cannot be read in full is kept as BadStatePath instead, as with
// kKeepAsBad.
bool SaveStateFile(const std::string& path, const StateSnapshot& state, std::string& error,
                   OldStateFile old = OldStateFile::kReplace, const StateBase* base = nullptr);

// How long a save waits for another calculator's save to end before it
// goes ahead without the lock.
constexpr int kStateLockWaitMs = 5000;
