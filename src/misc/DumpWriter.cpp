#include "misc/DumpWriter.h"

#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <sstream>

#include <easylogging++.h>

#include "misc/SignalSafeText.h"
#include "misc/Utilities.h"

namespace {

// The counter is shared by every dump, also those written from a signal
// handler: a lock-free atomic is safe there.
std::atomic<int> dumpCounter{0};
static_assert(std::atomic<int>::is_always_lock_free, "the dump counter is read from signal handlers");

constexpr int maxFrames = 128;
// One try per digit of the counter.
constexpr int dumpNameAttempts = 10;

int nextDumpDigit()
{
    int current = dumpCounter.load();
    int next = 0;
    do {
        next = (current + 1) % 10;
    } while (!dumpCounter.compare_exchange_weak(current, next));
    return next;
}

std::string narrowDumpDirectory()
{
    return tempBaseDirectory() + "/vemra/";
}

std::string narrowDumpFileName()
{
    const int digit = nextDumpDigit();
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    char stamp[128] = "";
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
    }
    return std::string(stamp) + "-" + std::to_string(digit);
}

// The directory is created by us or was: a real directory (not a link) owned
// by this user. Anything else could hand our dump to someone else. Allocates
// nothing, so a signal handler may call it.
bool prepareDumpDirectory(const char* given)
{
    char directory[4096];
    FixedText text(directory, sizeof directory);
    text.add(given);
    if (!text.fits()) {
        return false;
    }
    // With a trailing "/" lstat would follow a symbolic link.
    std::size_t length = text.size();
    while (length > 1 && directory[length - 1] == '/') {
        directory[--length] = '\0';
    }
    if (::mkdir(directory, 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat status {};
    if (::lstat(directory, &status) != 0) {
        return false;
    }
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid();
}

// Created, never reused: a name taken by another failure of the same second
// (in this process or another) moves on to the next digit. nameFor(attempt)
// gives the path to try, or null to give up. Allocates nothing itself, so a
// signal handler may use it with a name that allocates nothing either.
template <typename NameFor>
int createDumpFile(NameFor&& nameFor)
{
    for (int attempt = 0; attempt < dumpNameAttempts; ++attempt) {
        const char* path = nameFor(attempt);
        if (path == nullptr) {
            return -1;
        }
        const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool writeText(int fd, const std::string& text)
{
    return writeAll(fd, text.data(), text.size());
}

bool copyFile(int fd, const char* source)
{
    const int in = ::open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        static const char unavailable[] = "(unavailable)\n";
        return writeAll(fd, unavailable, sizeof unavailable - 1);
    }
    char buffer[8192];
    bool ok = true;
    for (;;) {
        const ssize_t count = ::read(in, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            ok = count == 0;
            break;
        }
        if (!writeAll(fd, buffer, static_cast<std::size_t>(count))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    return ok;
}

// The dump's tail, written straight to the file: no allocation, so also
// usable from a signal handler.
bool writeFramesAndMaps(int fd, void* const* frames, int count)
{
    if (count > 0) {
        ::backtrace_symbols_fd(frames, count, fd);
    }
    static const char maps[] = "maps:\n";
    return writeAll(fd, maps, sizeof maps - 1) && copyFile(fd, "/proc/self/maps");
}

std::string executablePath()
{
    char buffer[4096];
    const ssize_t size = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return size > 0 ? std::string(buffer, static_cast<std::size_t>(size)) : std::string("(unknown)");
}

std::string localTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    char text[128] = "";
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    }
    return text;
}

bool writeDumpBody(int fd, const std::string& exception, const std::vector<void*>& backtrace, pid_t threadId)
{
    std::ostringstream header;
    header << "vemra process dump 1\n"
           << "exception: " << exception << "\n"
           << "time: " << localTimeText() << "\n"
           << "pid: " << ::getpid() << "\n"
           << "thread: " << threadId << "\n"
           << "executable: " << executablePath() << "\n"
           << "backtrace:\n";
    return writeText(fd, header.str())
           && writeFramesAndMaps(fd, backtrace.data(), static_cast<int>(backtrace.size()));
}

std::string describeCrash(const DumpExceptionInfo* info)
{
    if (info == nullptr || info->crash == nullptr) {
        return "none";
    }
    std::ostringstream text;
    text << "signal " << info->crash->signal << " at address " << info->crash->address << " on thread "
         << info->crash->threadId;
    return text.str();
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// What a dump written from a signal handler needs, fixed beforehand: the
// handler may neither allocate nor read the time zone.
struct CrashDumpSetup {
    char directory[4096] = "";  // with its trailing "/"; empty: no dump
    char executable[4096] = "(unknown)";
    long utcOffset = 0;         // local time minus UTC, in seconds
};
CrashDumpSetup crashSetup;

struct CivilTime {
    long long year;
    unsigned month, day, hour, minute, second;
};

// Seconds since the epoch as a calendar date, by arithmetic only (the days
// to civil date conversion of the proleptic Gregorian calendar).
CivilTime civilTime(long long seconds)
{
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const long long year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {year,
            month,
            day,
            static_cast<unsigned>(rest / 3600),
            static_cast<unsigned>(rest / 60 % 60),
            static_cast<unsigned>(rest % 60)};
}

bool writeCrashDumpBody(int fd, const char* exception, const CivilTime& local)
{
    char header[16384];
    FixedText text(header, sizeof header);
    const long offset = crashSetup.utcOffset;
    const unsigned long offsetMinutes = static_cast<unsigned long>(offset < 0 ? -offset : offset) / 60;
    text.add("vemra process dump 1\nexception: ").add(exception).add("\ntime: ");
    text.addSigned(local.year).add("-").addNumber(local.month, 10, 2).add("-").addNumber(local.day, 10, 2);
    text.add(" ").addNumber(local.hour, 10, 2).add(":").addNumber(local.minute, 10, 2).add(":");
    text.addNumber(local.second, 10, 2).add(offset < 0 ? " -" : " +").addNumber(offsetMinutes / 60, 10, 2);
    text.addNumber(offsetMinutes % 60, 10, 2);
    text.add("\npid: ").addSigned(::getpid()).add("\nthread: ").addSigned(::gettid());
    text.add("\nexecutable: ").add(crashSetup.executable).add("\nbacktrace:\n");
    if (!writeAll(fd, text.text(), text.size())) {
        return false;
    }
    void* frames[maxFrames];
    return writeFramesAndMaps(fd, frames, ::backtrace(frames, maxFrames));
}

} // namespace

std::string toUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (const wchar_t wide : text) {
        const auto code = static_cast<char32_t>(wide);
        if (code >= 0xDC80 && code <= 0xDCFF) {
            out += static_cast<char>(code - 0xDC00); // a raw byte kept by fromUtf8
        } else if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, code);
        }
    }
    return out;
}

std::wstring fromUtf8(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = byteAt(i);
        std::size_t length = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1, code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, minimum = 0x10000;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = byteAt(i + k);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        valid = valid && code >= minimum && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        if (valid) {
            out += static_cast<wchar_t>(code);
            i += length;
        } else {
            out += static_cast<wchar_t>(0xDC00 + lead);
            i += 1;
        }
    }
    return out;
}

std::vector<void*> captureBacktrace() noexcept
{
    try {
        std::vector<void*> frames(maxFrames);
        const int count = ::backtrace(frames.data(), maxFrames);
        frames.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        return frames;
    } catch (...) {
        return {};
    }
}

std::wstring write_dump_report(const std::string& exception, const std::vector<void*>& backtrace,
                               pid_t threadId) noexcept
{
    try {
        const std::string directory = narrowDumpDirectory();
        // The counter advances on every attempt, also when no dump results.
        std::string path = directory + narrowDumpFileName() + ".dmp";
        if (!prepareDumpDirectory(directory.c_str())) {
            return {};
        }
        const int fd = createDumpFile([&](int attempt) {
            if (attempt > 0) {
                path = directory + narrowDumpFileName() + ".dmp";
            }
            return path.c_str();
        });
        if (fd < 0) {
            return {};
        }
        bool ok = ::fchmod(fd, 0600) == 0 && writeDumpBody(fd, exception, backtrace, threadId);
        ok = ::close(fd) == 0 && ok;
        if (!ok) {
            // A partial dump would look like a complete one.
            ::unlink(path.c_str());
            return {};
        }
        return fromUtf8(path);
    } catch (...) {
        return {};
    }
}

void prepare_crash_dump() noexcept
{
    try {
        const std::string directory = narrowDumpDirectory();
        FixedText text(crashSetup.directory, sizeof crashSetup.directory);
        text.add(directory.c_str());
        if (!text.fits()) {
            crashSetup.directory[0] = '\0';
        }
        const std::string executable = executablePath();
        FixedText(crashSetup.executable, sizeof crashSetup.executable).add(executable.c_str());
        const std::time_t now = std::time(nullptr);
        std::tm local {};
        crashSetup.utcOffset = localtime_r(&now, &local) != nullptr ? local.tm_gmtoff : 0;
        // The first call loads the unwinder, which allocates: never in a handler.
        void* frame[1];
        ::backtrace(frame, 1);
    } catch (...) {
        crashSetup.directory[0] = '\0';
    }
}

void write_crash_dump(const char* exception, char* path, std::size_t pathSize) noexcept
{
    if (pathSize == 0) {
        return;
    }
    path[0] = '\0';
    if (crashSetup.directory[0] == '\0' || !prepareDumpDirectory(crashSetup.directory)) {
        return;
    }
    const CivilTime local = civilTime(static_cast<long long>(std::time(nullptr)) + crashSetup.utcOffset);
    const int fd = createDumpFile([&](int) -> const char* {
        FixedText name(path, pathSize);
        name.add(crashSetup.directory).addSigned(local.year).add("-").addNumber(local.month, 10, 2).add("-");
        name.addNumber(local.day, 10, 2).add("-").addNumber(local.hour, 10, 2).addNumber(local.minute, 10, 2);
        name.addNumber(local.second, 10, 2).add("-").addNumber(static_cast<unsigned>(nextDumpDigit())).add(".dmp");
        return name.fits() ? path : nullptr;
    });
    if (fd < 0) {
        path[0] = '\0';
        return;
    }
    bool ok = writeCrashDumpBody(fd, exception, local);
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(path);
        path[0] = '\0';
    }
}

std::wstring write_minidump(const DumpExceptionInfo* info) noexcept
{
    try {
        const pid_t thread = info != nullptr && info->threadId != 0 ? info->threadId : ::gettid();
        return write_dump_report(describeCrash(info), captureBacktrace(), thread);
    } catch (...) {
        return {};
    }
}

std::wstring get_dump_directory() noexcept
{
    try {
        return fromUtf8(narrowDumpDirectory());
    } catch (...) {
        return {};
    }
}

std::wstring make_dump_file_name() noexcept
{
    try {
        return fromUtf8(narrowDumpFileName());
    } catch (...) {
        return {};
    }
}

long unhandled_exception_filter(const CrashContext* context) noexcept
{
    try {
        DumpExceptionInfo info;
        info.threadId = ::gettid();
        info.crash = context;
        info.clientPointers = true;
        const std::wstring path = write_minidump(&info);
        // Narrow output: a wide write to a stream that already carried narrow
        // text is dropped on this platform.
        if (path.empty()) {
            std::cout << "Cannot write dump\n" << std::flush;
        } else {
            std::cout << "Crash dump written to: " << toUtf8(path) << "\n" << std::flush;
        }
    } catch (...) {
    }
    return 1;
}

void log_dump_result(const std::wstring& path) noexcept
{
    try {
        if (path.empty()) {
            LOG(ERROR) << "Cannot write exception dump";
        } else {
            LOG(ERROR) << "Exception dump written to " << toUtf8(path);
        }
    } catch (...) {
    }
}
