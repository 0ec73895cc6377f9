// The log module for Linux: every log appends to one size-limited file in
// the user's state folder, $XDG_STATE_HOME/orvexsystem1/orvexlog.log (or
// ~/.local/state/... when the variable is unset or not absolute). When a
// write would take the file past the maximum size, the file is renamed to
// orvexlog.log.1 (replacing an older one) and a new file is begun. Each line
// starts with the local time and the process id; texts keep their own line
// ends, and bytes that would upset a terminal are written as \xNN.
//
// Writes are serialised within the process by one mutex and between
// processes by an advisory lock on orvexlog.lock beside the file; the file
// is opened for each write, so a rotation by one process is seen by all.

#include <orvexsystem/orvexlog.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int32_t DefaultMaximumSize = 1024 * 1024;
const char *const Folder = "orvexsystem1";
const char *const FileName = "orvexlog.log";
const char *const OldFileName = "orvexlog.log.1";
const char *const LockFileName = "orvexlog.lock";

struct Log
{
    std::string folder;
    int32_t level = 0;
    int32_t maximumSize = DefaultMaximumSize;
    bool atLineStart = true;
};

// Every open log; handles are checked against it so that a stale or made-up
// handle is refused instead of followed. Logs still open when the module is
// unloaded are freed then.
struct Registry : std::set<Log *>
{
    ~Registry()
    {
        for (Log *log : *this)
            delete log;
    }
};
std::mutex g_mutex;
Registry g_logs;

Log *find(intptr_t handle)
{
    Log *log = reinterpret_cast<Log *>(handle);
    return g_logs.count(log) ? log : nullptr;
}

std::string homeFolder()
{
    if (const char *home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    struct passwd entry;
    struct passwd *result = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &result) == 0 && result
        && result->pw_dir && result->pw_dir[0] == '/')
        return result->pw_dir;
    return std::string();
}

std::string stateFolder()
{
    if (const char *state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return state;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.local/state";
}

// Creates every missing folder of an absolute path, private to the user.
bool makeFolders(const std::string &path)
{
    for (size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/')
            continue;
        const std::string part = path.substr(0, end);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

intptr_t create(int32_t level)
{
    const std::string state = stateFolder();
    if (state.empty())
        return 0;
    auto *log = new Log;
    log->folder = state + "/" + Folder;
    log->level = level;
    if (!makeFolders(log->folder)) {
        delete log;
        return 0;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_logs.insert(log);
    return reinterpret_cast<intptr_t>(log);
}

void appendEscaped(std::string &out, unsigned char c)
{
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    out += hex;
}

std::string linePrefix()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    char text[64];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03ld [%ld] ", long(now.tv_nsec / 1000000),
                  long(getpid()));
    return text;
}

// The bytes as they go into the file: a prefix at the start of every line;
// in text, control characters other than line feed and tab escaped; in
// binary data, everything but printable ASCII escaped (and the backslash
// doubled, so the escapes stay readable).
std::string render(Log *log, const unsigned char *data, size_t count, bool binary)
{
    std::string out;
    out.reserve(count + 32);
    for (size_t i = 0; i < count; ++i) {
        if (log->atLineStart) {
            out += linePrefix();
            log->atLineStart = false;
        }
        const unsigned char c = data[i];
        if (binary) {
            if (c == '\\')
                out += "\\\\";
            else if (c >= 0x20 && c < 0x7F)
                out += char(c);
            else
                appendEscaped(out, c);
        } else if (c == '\n') {
            out += '\n';
            log->atLineStart = true;
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            appendEscaped(out, c);
        } else {
            out += char(c);
        }
    }
    return out;
}

bool writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Appends to the log's file, rotating first when the file would outgrow the
// maximum size. Called under g_mutex.
bool append(Log *log, const std::string &bytes)
{
    if (bytes.empty())
        return true;
    const std::string path = log->folder + "/" + FileName;
    const std::string lockPath = log->folder + "/" + LockFileName;
    const int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd >= 0)
        while (flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
        }
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && info.st_size > 0
        && info.st_size + off_t(bytes.size()) > off_t(log->maximumSize)) {
        const std::string oldPath = log->folder + "/" + OldFileName;
        std::rename(path.c_str(), oldPath.c_str());
    }
    bool ok = false;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ok = writeAll(fd, bytes);
        close(fd);
    }
    if (lockFd >= 0)
        close(lockFd); // releases the lock
    return ok;
}

int32_t write(intptr_t handle, const unsigned char *data, size_t count, int32_t level,
              bool binary)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Log *log = find(handle);
    if (!log || !data || level > log->level)
        return 0;
    return append(log, render(log, data, count, binary)) ? 1 : 0;
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(const uint16_t *text)
{
    std::string out;
    for (size_t i = 0; text[i]; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

extern "C" {

intptr_t log_createA(intptr_t, intptr_t, intptr_t, int32_t level)
{
    return create(level);
}

intptr_t log_createW(intptr_t, intptr_t, intptr_t, int32_t level)
{
    return create(level);
}

int32_t log_logTextA(intptr_t log, const char *text, int32_t level)
{
    if (!text)
        return 0;
    return write(log, reinterpret_cast<const unsigned char *>(text), std::strlen(text), level,
                 false);
}

int32_t log_logTextW(intptr_t log, const uint16_t *text, int32_t level)
{
    if (!text)
        return 0;
    const std::string utf8 = toUtf8(text);
    return write(log, reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size(), level,
                 false);
}

int32_t log_logBinary(intptr_t log, const uint8_t *data, int32_t count, int32_t level)
{
    if (count < 0)
        return 0;
    return write(log, data, size_t(count), level, true);
}

int32_t log_close(intptr_t handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Log *log = find(handle);
    if (!log)
        return 0;
    g_logs.erase(log);
    delete log;
    return 1;
}

int32_t log_isOpen(intptr_t handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return find(handle) ? 1 : 0;
}

int32_t log_setLevel(intptr_t handle, int32_t level)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Log *log = find(handle);
    if (!log)
        return 0;
    log->level = level;
    return 1;
}

int32_t log_setMaximumSize(intptr_t handle, int32_t bytes)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Log *log = find(handle);
    if (!log || bytes <= 0)
        return 0;
    log->maximumSize = bytes;
    return 1;
}

} // extern "C"
