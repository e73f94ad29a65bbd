#include "statefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <random>

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

// The loader proper, fed one raw line at a time so that a file can be read
// in chunks without holding it whole.
class Loader {
public:
    explicit Loader(StateSink& sink) : sink_(sink) {}

    void Line(std::string_view raw) {
        const std::string_view line = Trim(raw);
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
        }
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
        if (ReadValue(Cut(line.substr(0, eq)), v)) sink_.LoadTapeRow(v, Cut(line.substr(eq + 1)));
    }

    StateSink& sink_;
    Section section_ = kNone;
    int k_ = 0;
    // The window's globals, gathered over every globals section of the file.
    WindowState window_;
    bool windowRead_ = false, haveX_ = false, haveY_ = false;
};

void AppendRegisterText(std::string& out, const CalcValue& v) {
    if (v.mode >= vmDec && v.mode <= vmFloat) {
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

std::string ReadFailureMessage(const std::string& path, int err) {
    return "Could not read all of the calculator state from " + path + ": " + std::strerror(err) +
           ". The calculator starts with the part that was read. When it closes, that file is kept as " +
           BadStatePath(path) + " and a new one is written.";
}

std::string KeepFailureMessage(const std::string& path, int err) {
    return "Could not keep the partly read calculator state " + path + " as " + BadStatePath(path) + ": " +
           std::strerror(err) + ". The state of this session was not saved, so that file is left as it was.";
}

long ReadSome(int fd, char* buf, std::size_t size) {
    if (StateFileReadHook) return StateFileReadHook(fd, buf, size);
    return ::read(fd, buf, size);
}

// A new file beside the target, named after it, that nobody else has. The
// permissions asked for (0666) pass through the umask like any new file's.
int CreateTemporary(const std::string& path, std::string& tmpPath) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device rd;
    std::mt19937 gen(rd() ^ static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<int> pick(0, sizeof(kChars) - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = path + ".";
        for (int i = 0; i < 6; ++i) tmpPath += kChars[pick(gen)];
        const int fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes a rename or a new entry in the folder durable. Some file systems
// cannot sync a folder; the content is already on disk then, so a failure
// here is not one.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
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

}  // namespace

std::function<long(int fd, char* buf, std::size_t size)> StateFileReadHook;

std::string BadStatePath(const std::string& path) { return path + ".bad"; }

void SnapshotSink::LoadRegister(int k, const CalcValue& value) {
    if (k >= 0 && k < kRegisterCount) state_.regs[static_cast<std::size_t>(k)] = value;
}

void SnapshotSink::LoadTapeRow(const CalcValue& value, std::string_view text) {
    if (state_.tape.size() >= kMaxTapeRows)
        state_.tape.erase(state_.tape.begin(), state_.tape.end() - (kMaxTapeRows - 1));
    state_.tape.push_back(TapeRow{value, std::string(text)});
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

std::string DesktopDir() {
    const std::string drive = Env("HOMEDRIVE"), homePath = Env("HOMEPATH");
    std::string home = (!drive.empty() && !homePath.empty()) ? drive + homePath : Env("HOME");
    if (home.empty()) return {};
    while (!home.empty() && (home.back() == '/' || home.back() == '\\')) home.pop_back();
    return home + "/Desktop";
}

std::string StatePath() {
    std::string dir = AppDataDir();
    if (dir.empty()) return {};
    if (dir.back() != '/') dir += '/';
    return dir + std::string(kFileName);
}

void LoadStateText(std::string_view text, StateSink& sink) {
    Loader loader(sink);
    try {
        while (!text.empty()) {
            const std::size_t nl = text.find('\n');
            if (nl == std::string_view::npos) {
                loader.Line(text);
                break;
            }
            loader.Line(text.substr(0, nl));
            text.remove_prefix(nl + 1);
        }
        loader.Finish();
    } catch (...) {
        loader.Abort();
        throw;
    }
}

std::string LoadStateFile(const std::string& path, StateSink& sink) {
    if (path.empty()) return {};
    // O_NONBLOCK: a FIFO in the file's place must not hang the start-up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {};
    }
    // Read in chunks and hand over whole lines: memory stays bounded by the
    // longest line, not by the file.
    Loader loader(sink);
    std::string pending;
    std::string chunk(64 * 1024, '\0');
    int readError = 0;
    try {
        for (;;) {
            const long n = ReadSome(fd, chunk.data(), chunk.size());
            if (n < 0 && errno == EINTR) continue;
            // A read error ends the file here: the whole lines read so far
            // stay loaded, a line cut short by the error does not.
            if (n < 0) readError = errno != 0 ? errno : EIO;
            if (n <= 0) break;
            std::string_view data(chunk.data(), static_cast<std::size_t>(n));
            for (std::size_t nl; (nl = data.find('\n')) != std::string_view::npos;) {
                if (pending.empty()) {
                    loader.Line(data.substr(0, nl));
                } else {
                    pending.append(data.substr(0, nl));
                    loader.Line(pending);
                    pending.clear();
                }
                data.remove_prefix(nl + 1);
            }
            pending.append(data);
        }
        if (readError == 0 && !pending.empty()) loader.Line(pending);
        loader.Finish();
    } catch (...) {
        loader.Abort();
        ::close(fd);
        throw;
    }
    ::close(fd);
    return readError == 0 ? std::string() : ReadFailureMessage(path, readError);
}

std::string FormatState(const StateSnapshot& state) {
    std::string out;
    out.reserve(1024 + state.tape.size() * 80);
    out += "[globals]";
    out += kEol;
    out += "mode=";
    out += ModeName(state.mode);
    out += kEol;
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
    const std::size_t first = state.tape.size() > kMaxTapeRows ? state.tape.size() - kMaxTapeRows : 0;
    for (std::size_t i = first; i < state.tape.size(); ++i) {
        AppendRegisterText(out, state.tape[i].value);
        out += '=';
        AppendTapeText(out, state.tape[i].text);
        out += kEol;
    }
    return out;
}

bool SaveStateFile(const std::string& path, const StateSnapshot& state, std::string& error,
                   OldStateFile old) {
    error.clear();
    if (path.empty()) return true;
    const std::string content = FormatState(state);

    if (const int err = MakeFolders(FolderOf(path)); err != 0) {
        error = SystemMessage(path, err);
        return false;
    }
    std::string tmpPath;
    const int fd = CreateTemporary(path, tmpPath);
    if (fd < 0) {
        error = SystemMessage(path, errno);
        return false;
    }
    // Replacing the file must not change who may read it.
    struct stat previous {};
    if (::stat(path.c_str(), &previous) == 0 && S_ISREG(previous.st_mode))
        ::fchmod(fd, previous.st_mode & 07777);

    int err = 0;
    err = WriteAll(fd, content);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    // Only now, with the new content safely on disk, does the old file move
    // aside; had the write failed, it would still be where the next start
    // reads it. One that is gone already has nothing left to keep.
    if (err == 0 && old == OldStateFile::kKeepAsBad &&
        ::rename(path.c_str(), BadStatePath(path).c_str()) != 0 && errno != ENOENT) {
        const int keepErr = errno;
        ::unlink(tmpPath.c_str());
        error = KeepFailureMessage(path, keepErr);
        return false;
    }
    if (err == 0 && ::rename(tmpPath.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(tmpPath.c_str());
        error = SystemMessage(path, err);
        return false;
    }
    SyncFolder(FolderOf(path));
    return true;
}
