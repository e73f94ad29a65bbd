#include "statefile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <thread>

#include "fdio/fdio.h"

namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::string_view kFileName = "qz.state";

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// A folder taken from the environment may end in separators; the callers
// append their own.
std::string WithoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// Every byte from 0 to 32 counts as blank, so CR, NUL and tabs go too.
std::string_view Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

std::string_view Cut(std::string_view s) { return s.substr(0, kMaxText); }

// "0" or "1"; anything else is damaged.
bool ReadFlag(std::string_view text, bool& out) {
    if (text != "0" && text != "1") return false;
    out = text == "1";
    return true;
}

// A window coordinate: a decimal integer of sane size, nothing around it.
bool ReadCoordinate(std::string_view text, int& out) {
    constexpr int kLimit = 1000000;
    int v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end || v < -kLimit || v > kLimit) return false;
    out = v;
    return true;
}

// ReprReg reads only the integer modes and vmFloat. Rejecting everything else
// up front keeps a damaged file from costing one exception per line.
bool MayBeRegisterText(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string_view name = text.substr(0, colon);
    for (int m = vmDec; m <= vmFloat; ++m)
        if (name == kModeNames[m]) return true;
    return false;
}

// The register text of a line, or false when it is not readable. Whatever
// ReprReg or the float parser throws only means "skip this line".
bool ReadValue(std::string_view text, CalcValue& out) {
    if (!MayBeRegisterText(text)) return false;
    CalcValue v = kZeroValue;
    try {
        ReprReg(text, v);
    } catch (const std::exception&) {
        return false;
    }
    out = v;
    return true;
}

// A tape row keeps the value the display showed when it was written, which
// may be the error value. Its line is the user's record of the calculation,
// so it comes back with that value (a register holding it does not).
bool ReadTapeValue(std::string_view text, CalcValue& out) {
    constexpr std::string_view kError = "vmERR:";
    if (text.substr(0, kError.size()) != kError) return ReadValue(text, out);
    const std::string_view digits = text.substr(kError.size());
    if (digits.empty() || digits.size() > 32) return false;
    for (char c : digits)
        if (DigitValue(c) < 0) return false;
    out = kErrorValue;
    return true;
}

// The loader proper, fed one raw line at a time so that a file can be read
// in chunks without holding it whole.
class Loader {
public:
    explicit Loader(StateSink& sink) : sink_(sink) {}

    void Line(std::string_view raw) {
        const std::string_view line = Trim(raw);
        sawText_ |= !line.empty();
        if (section_ == kNone) {
            Dispatch(line);
            return;
        }
        if (line.empty()) return;
        if (line.front() == '[') {
            EndSection();
            Dispatch(line);
            return;
        }
        switch (section_) {
            case kGlobals: GlobalsLine(line); break;
            case kRegisters: RegisterLine(line); break;
            case kTape: TapeLine(line); break;
            case kNone: break;
        }
    }

    void Finish() { EndSection(); }

    // Text, but no section header: not a state file, or one in an encoding
    // it is never written in (UTF-16).
    bool NoHeader() const { return sawText_ && !sawHeader_; }

    // The tape list is batched while a tape section is open; a failing sink
    // must not leave it so.
    void Abort() noexcept {
        if (section_ != kTape) return;
        section_ = kNone;
        try {
            sink_.EndTape();
        } catch (...) {
            // The original failure is the one worth reporting.
        }
    }

private:
    enum Section { kNone, kGlobals, kRegisters, kTape };

    void Dispatch(std::string_view line) {
        if (line == "[tape]") {
            section_ = kTape;
            sink_.BeginTape();
        } else if (line == "[registers]") {
            section_ = kRegisters;
            k_ = 0;
        } else if (line == "[globals]") {
            section_ = kGlobals;
        } else {
            return;
        }
        sawHeader_ = true;
    }

    void EndSection() {
        const Section ended = section_;
        section_ = kNone;
        if (ended == kGlobals && windowRead_) {
            windowRead_ = false;
            sink_.LoadWindow(window_);
        }
        if (ended == kRegisters) sink_.RegistersLoaded();
        if (ended == kTape) sink_.EndTape();
    }

    void GlobalsLine(std::string_view line) {
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return;
        const std::string_view key = Trim(line.substr(0, eq));
        if (key == "wordsize") {
            // A damaged size leaves the word as it was.
            if (const std::optional<WordBits> word = wide::ParseWordBits(Trim(line.substr(eq + 1))))
                sink_.LoadWordSize(*word);
            return;
        }
        if (key != "mode") {
            WindowLine(key, Trim(line.substr(eq + 1)));
            return;
        }
        ValueMode mode;
        try {
            mode = str2mode(Trim(line.substr(eq + 1)));
        } catch (const std::exception&) {
            return;
        }
        sink_.LoadMode(mode);
    }

    void WindowLine(std::string_view key, std::string_view value) {
        bool read = false;
        if (key == "bits") {
            read = ReadFlag(value, window_.bitsPanel);
        } else if (key == "ontop") {
            read = ReadFlag(value, window_.onTop);
        } else if (key == "bitsx" || key == "bitsy") {
            const bool isX = key == "bitsx";
            read = ReadCoordinate(value, isX ? window_.bitsX : window_.bitsY);
            (isX ? haveX_ : haveY_) |= read;
            // A place is only a place with both of its coordinates.
            window_.hasBitsPlace = haveX_ && haveY_;
        }
        windowRead_ |= read;
    }

    void RegisterLine(std::string_view line) {
        CalcValue v;
        if (ReadValue(Cut(line), v)) sink_.LoadRegister(k_, v);
        // An unreadable line still holds its register's place.
        if (++k_ == kRegisterCount) EndSection();
    }

    void TapeLine(std::string_view line) {
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return;
        CalcValue v;
        if (ReadTapeValue(Cut(line.substr(0, eq)), v)) sink_.LoadTapeRow(v, Cut(line.substr(eq + 1)));
    }

    StateSink& sink_;
    Section section_ = kNone;
    int k_ = 0;
    // The window's globals, gathered over every globals section of the file.
    WindowState window_;
    bool windowRead_ = false, haveX_ = false, haveY_ = false;
    bool sawText_ = false, sawHeader_ = false;
};

// Cuts bytes into lines for the loader: at LF, at CR LF and at a CR alone,
// and at the end of the text. A UTF-8 byte-order mark at the very start is
// skipped, and the part of a line beyond kMaxStateLine is dropped. Bytes may
// come in pieces of any size (a CR LF pair split between two gives an empty
// line between, which every section skips); memory stays bounded by the
// line limit, not by the file.
class LineSplitter {
public:
    explicit LineSplitter(Loader& loader) : loader_(loader) {}

    void Feed(std::string_view data) {
        if (markSeen_ >= 0) data = SkipMark(data);
        while (!data.empty()) {
            const std::size_t lf = data.find('\n');
            std::string_view part = data.substr(0, lf);
            // Each CR in it ends a line too, but the one right before the LF
            // is part of that line end.
            for (std::size_t cr; (cr = part.find('\r')) != std::string_view::npos;) {
                if (cr + 1 == part.size() && lf != std::string_view::npos) {
                    part.remove_suffix(1);
                    break;
                }
                EndLine(part.substr(0, cr));
                part.remove_prefix(cr + 1);
            }
            if (lf == std::string_view::npos) {
                Keep(part);
                return;
            }
            EndLine(part);
            data.remove_prefix(lf + 1);
        }
    }

    // The last line, which has no line end.
    void End() {
        if (markSeen_ > 0) pending_.assign(kMark.substr(0, static_cast<std::size_t>(markSeen_)));
        markSeen_ = -1;
        if (!pending_.empty() || skipping_) EndLine({});
    }

    bool LineCut() const { return lineCut_; }

private:
    static constexpr std::string_view kMark = "\xEF\xBB\xBF";

    // The mark may itself come in pieces; bytes that turn out not to be one
    // are text.
    std::string_view SkipMark(std::string_view data) {
        while (!data.empty() && markSeen_ < 3 && data.front() == kMark[static_cast<std::size_t>(markSeen_)]) {
            ++markSeen_;
            data.remove_prefix(1);
        }
        if (markSeen_ == 3) {
            markSeen_ = -1;
        } else if (!data.empty()) {
            pending_.assign(kMark.substr(0, static_cast<std::size_t>(markSeen_)));
            markSeen_ = -1;
        }
        return data;
    }

    void Keep(std::string_view part) {
        if (skipping_) return;
        const std::size_t room = kMaxStateLine - pending_.size();
        if (part.size() > room) {
            part = part.substr(0, room);
            skipping_ = lineCut_ = true;
        }
        pending_.append(part);
    }

    // Ends the line with its last part; a line that came whole in one piece
    // goes to the loader without a copy.
    void EndLine(std::string_view last) {
        if (pending_.empty() && !skipping_ && last.size() <= kMaxStateLine) {
            loader_.Line(last);
            return;
        }
        Keep(last);
        loader_.Line(pending_);
        pending_.clear();
        skipping_ = false;
    }

    Loader& loader_;
    std::string pending_;
    int markSeen_ = 0;  // bytes of the mark seen at the start; -1 past it
    bool skipping_ = false, lineCut_ = false;
};

void AppendRegisterText(std::string& out, const CalcValue& v) {
    if (IsIntegerMode(v.mode) || v.mode == vmFloat) {
        out += RegRepr(v);
        return;
    }
    // No register text form: a line of its own that the loader rejects, so
    // the lines after it keep their positions.
    const std::string_view name = ModeName(v.mode);
    out += name.empty() ? std::string_view("vmERR") : name;
    out += ':';
    out += hexstr(v.w());
}

void AppendTapeText(std::string& out, std::string_view text) {
    // A line break inside a text would turn the rest of it into lines of
    // their own.
    for (char c : Cut(text)) out += (c == '\r' || c == '\n') ? ' ' : c;
}

std::string SystemMessage(const std::string& path, int err) {
    return "Could not save the calculator state to " + path + ": " + std::strerror(err);
}

// Where a file that could not be read is kept: beside the file a link names.
std::string KeptAs(const std::string& path) {
    std::string target;
    return BadStatePath(FollowLinks(path, target) == 0 ? target : path);
}

std::string ReadFailureMessage(const std::string& path, const std::string& reason) {
    return "Could not read all of the calculator state from " + path + ": " + reason +
           ". The calculator starts with the part that was read. When it closes, that file is kept as " +
           KeptAs(path) + " and a new one is written.";
}

std::string UnreadMessage(const std::string& path, const std::string& reason) {
    return "Could not read the calculator state from " + path + ": " + reason +
           ". The calculator starts without it. When it closes, that file is kept as " + KeptAs(path) +
           " and a new one is written.";
}

std::string KeepFailureMessage(const std::string& path, const std::string& bad, int err) {
    return "Could not keep the partly read calculator state " + path + " as " + bad + ": " +
           std::strerror(err) + ". The state of this session was not saved, so that file is left as it was.";
}

// O_NONBLOCK: a FIFO in the file's place must not hang the start-up.
int OpenForReading(const char* path) {
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    return StateFileOpenHook ? StateFileOpenHook(path, kFlags) : ::open(path, kFlags);
}

long ReadSome(int fd, char* buf, std::size_t size) {
    if (StateFileReadHook) return StateFileReadHook(fd, buf, size);
    return ::read(fd, buf, size);
}

StateFileStamp StampOf(const struct stat& st) {
    StateFileStamp s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.modifiedNs = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    s.changedNs = st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    return s;
}

StateFileStamp StampOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? StampOf(st) : StateFileStamp{};
}

// A new account may have no configuration folder yet. It is made as the XDG
// base-directory rules ask: private to the user, missing parents included;
// folders that exist keep their permissions. Returns 0 or the errno.
int MakeFolders(const std::string& folder) {
    struct stat st {};
    // Something in the way that is not a folder shows when the file is made.
    if (::stat(folder.c_str(), &st) == 0) return 0;
    if (errno != ENOENT) return errno;
    const std::string parent = FolderOf(folder);
    if (parent != folder)
        if (const int err = MakeFolders(parent); err != 0) return err;
    if (::mkdir(folder.c_str(), 0700) != 0) return errno == EEXIST ? 0 : errno;
    SyncFolder(parent);
    return 0;
}

// Savers of one state file take turns. The lock file lives only while a
// save holds it: the holder removes it before letting go, and a saver that
// gets the lock of a file removed meanwhile tries again with the new one.
// The lock is only about ordering: a lock file that cannot be made (the
// save will say why) or a saver that holds it too long does not stop this
// save.
class SaveLock {
public:
    explicit SaveLock(std::string path) : path_(std::move(path)) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStateLockWaitMs);
        for (;;) {
            fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd_ < 0) return;
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                struct stat held {
                }, named{};
                if (::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &named) == 0 &&
                    held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                    held_ = true;
                    return;
                }
            } else if (errno != EWOULDBLOCK && errno != EINTR) {
                break;
            }
            ::close(fd_);
            fd_ = -1;
            if (std::chrono::steady_clock::now() >= until) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::close(fd_);
        fd_ = -1;
    }
    ~SaveLock() {
        if (held_) ::unlink(path_.c_str());
        if (fd_ >= 0) ::close(fd_);
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

private:
    std::string path_;
    int fd_ = -1;
    bool held_ = false;
};

// The first rows of file that are the last rows of loaded: the lines a
// calculator had loaded, as far as other saves since have kept them.
std::size_t LoadedRowsAtStart(const std::vector<TapeRow>& loaded, const std::vector<TapeRow>& file) {
    const auto same = [](const TapeRow& a, const TapeRow& b) {
        return a.value == b.value && a.text == b.text;
    };
    for (std::size_t n = std::min(loaded.size(), file.size()); n > 0; --n)
        if (std::equal(loaded.end() - static_cast<std::ptrdiff_t>(n), loaded.end(), file.begin(), same))
            return n;
    return 0;
}

}  // namespace

std::function<int(const char* path, int flags)> StateFileOpenHook;
std::function<long(int fd, char* buf, std::size_t size)> StateFileReadHook;

std::string BadStatePath(const std::string& path) { return path + ".bad"; }

void SnapshotSink::LoadRegister(int k, const CalcValue& value) {
    if (k >= 0 && k < kRegisterCount) state_.regs[static_cast<std::size_t>(k)] = value;
}

void SnapshotSink::LoadTapeRow(const CalcValue& value, std::string_view text) {
    state_.tape.Append(value, text);
}

std::string AppDataDir() {
    std::string dir = Env("APPDATA");
    if (!dir.empty()) return WithoutTrailingSlashes(dir);
    // A relative XDG_CONFIG_HOME is invalid by its own rules and is ignored.
    dir = Env("XDG_CONFIG_HOME");
    if (!dir.empty() && dir.front() == '/') return WithoutTrailingSlashes(dir);
    dir = Env("HOME");
    if (!dir.empty()) return WithoutTrailingSlashes(dir) + "/.config";
    return {};
}

std::string StatePath() {
    std::string dir = AppDataDir();
    if (dir.empty()) return {};
    if (dir.back() != '/') dir += '/';
    return dir + std::string(kFileName);
}

void LoadStateText(std::string_view text, StateSink& sink) {
    Loader loader(sink);
    LineSplitter lines(loader);
    try {
        lines.Feed(text);
        lines.End();
        loader.Finish();
    } catch (...) {
        loader.Abort();
        throw;
    }
}

std::string LoadStateFile(const std::string& path, StateSink& sink, StateFileStamp* stamp) {
    if (stamp) *stamp = {};
    if (path.empty()) return {};
    const int fd = OpenForReading(path.c_str());
    if (fd < 0) {
        const int err = errno;
        // No file is the usual first start. One that is there but cannot be
        // opened holds state all the same, which the next save must not
        // wipe.
        if (err == ENOENT || err == ENOTDIR) return {};
        if (stamp) *stamp = StampOf(path);
        return UnreadMessage(path, std::strerror(err));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {};
    }
    if (stamp) *stamp = StampOf(st);
    Loader loader(sink);
    LineSplitter lines(loader);
    std::string chunk(std::size_t{64} * 1024, '\0');
    std::size_t total = 0;
    int readError = 0;
    bool tooLong = false;
    try {
        for (;;) {
            // One byte beyond the bound tells a file of exactly its size
            // from a longer one.
            const long n = ReadSome(fd, chunk.data(), std::min(chunk.size(), kMaxStateBytes + 1 - total));
            if (n < 0 && errno == EINTR) continue;
            // A read error ends the file here: the whole lines read so far
            // stay loaded, a line cut short by the error does not.
            if (n < 0) readError = errno != 0 ? errno : EIO;
            if (n <= 0) break;
            std::size_t used = static_cast<std::size_t>(n);
            tooLong = total + used > kMaxStateBytes;
            if (tooLong) used = kMaxStateBytes - total;
            total += used;
            lines.Feed(std::string_view(chunk.data(), used));
            if (tooLong) break;
        }
        // A line cut short by an error or by the bound is not handed over:
        // cut, a value's digits would read as another number.
        if (readError == 0 && !tooLong) lines.End();
        loader.Finish();
    } catch (...) {
        loader.Abort();
        ::close(fd);
        throw;
    }
    ::close(fd);
    if (readError != 0) return ReadFailureMessage(path, std::strerror(readError));
    if (loader.NoHeader()) return UnreadMessage(path, "it holds no section [globals], [registers] or [tape]");
    if (tooLong || lines.LineCut())
        return ReadFailureMessage(path, "it is longer than a state file can be (" +
                                            std::to_string(kMaxStateBytes >> 20) + " MiB, or " +
                                            std::to_string(kMaxStateLine) + " bytes in one line)");
    return {};
}

std::string FormatState(const StateSnapshot& state) {
    std::string out;
    out.reserve(1024 + state.tape.size() * 80);
    out += "[globals]";
    out += kEol;
    out += "mode=";
    out += ModeName(state.mode);
    out += kEol;
    if (state.word != WordBits::k128) {
        out += "wordsize=" + std::to_string(BitsOf(state.word));
        out += kEol;
    }
    const WindowState& w = state.window;
    if (w.bitsPanel) {
        out += "bits=1";
        out += kEol;
    }
    if (w.hasBitsPlace) {
        out += "bitsx=" + std::to_string(w.bitsX);
        out += kEol;
        out += "bitsy=" + std::to_string(w.bitsY);
        out += kEol;
    }
    if (w.onTop) {
        out += "ontop=1";
        out += kEol;
    }
    out += kEol;
    out += "[registers]";
    out += kEol;
    for (const CalcValue& r : state.regs) {
        AppendRegisterText(out, r);
        out += kEol;
    }
    out += kEol;
    out += "[tape]";
    out += kEol;
    for (const TapeRow& row : state.tape) {
        AppendRegisterText(out, row.value);
        out += '=';
        AppendTapeText(out, row.text);
        out += kEol;
    }
    return out;
}

StateSnapshot MergeState(const StateSnapshot& ours, const StateBase& base, const StateSnapshot& file) {
    StateSnapshot merged = ours;
    for (std::size_t k = 0; k < merged.regs.size(); ++k)
        if (ours.regs[k] == base.regs[k]) merged.regs[k] = file.regs[k];

    const std::size_t added = std::min(base.tapeAdded, ours.tape.size());
    const std::size_t dropped = base.tapeCleared ? LoadedRowsAtStart(base.tape, file.tape.Rows()) : 0;
    Tape tape;
    for (std::size_t i = dropped; i < file.tape.size(); ++i)
        tape.Append(file.tape[i].value, file.tape[i].text);
    for (std::size_t i = ours.tape.size() - added; i < ours.tape.size(); ++i)
        tape.Append(ours.tape[i].value, ours.tape[i].text);
    merged.tape = std::move(tape);
    return merged;
}

bool SaveStateFile(const std::string& path, const StateSnapshot& state, std::string& error, OldStateFile old,
                   const StateBase* base) {
    error.clear();
    if (path.empty()) return true;
    std::string target;
    if (const int err = FollowLinks(path, target); err != 0) {
        error = SystemMessage(path, err);
        return false;
    }
    if (const int err = MakeFolders(FolderOf(target)); err != 0) {
        error = SystemMessage(path, err);
        return false;
    }
    const SaveLock lock(target + ".lock");

    // Under the lock, the file is what the last save left. If that is not
    // the file this calculator loaded, another one saved meanwhile.
    bool keepOld = old == OldStateFile::kKeepAsBad;
    std::string content;
    const StateFileStamp now = base ? StampOf(target) : StateFileStamp{};
    if (base && now != base->stamp && now.exists) {
        StateSnapshot file;
        file.regs = base->regs;
        SnapshotSink sink(file);
        if (LoadStateFile(target, sink).empty()) {
            content = FormatState(MergeState(state, *base, file));
            keepOld = false;
        } else {
            // Whatever stands there now cannot be read in full either: it
            // is kept, not merged into.
            keepOld = true;
        }
    }
    if (content.empty()) content = FormatState(state);

    FileReplacement file;
    int err = file.Begin(target, 0600, 0600);
    if (err == 0) err = file.Write(content);
    if (err == 0) err = file.Finish();
    // Only now, with the new content safely on disk, does the old file move
    // aside; had the write failed, it would still be where the next start
    // reads it. One that is gone already has nothing left to keep.
    const std::string bad = BadStatePath(target);
    if (err == 0 && keepOld && ::rename(target.c_str(), bad.c_str()) != 0 && errno != ENOENT) {
        error = KeepFailureMessage(path, bad, errno);
        return false;
    }
    if (err == 0) err = file.Commit();
    if (err != 0) {
        error = SystemMessage(path, err);
        return false;
    }
    return true;
}
