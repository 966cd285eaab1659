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

#include "misc/Utilities.h"

namespace {

// The one piece of process-wide state of the system's own code.
std::atomic<int> dumpCounter{0};

constexpr int maxFrames = 128;

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
// by this user. Anything else could hand our dump to someone else.
bool prepareDumpDirectory(std::string directory)
{
    // With a trailing "/" lstat would follow a symbolic link.
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat status {};
    if (::lstat(directory.c_str(), &status) != 0) {
        return false;
    }
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid();
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool writeText(int fd, const std::string& text)
{
    return writeAll(fd, text.data(), text.size());
}

bool copyFile(int fd, const char* source)
{
    const int in = ::open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return writeText(fd, "(unavailable)\n");
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
    if (!writeText(fd, header.str())) {
        return false;
    }
    if (!backtrace.empty()) {
        // Writes straight to the file: no allocation, also usable after a crash.
        ::backtrace_symbols_fd(const_cast<void* const*>(backtrace.data()), static_cast<int>(backtrace.size()), fd);
    }
    return writeText(fd, "maps:\n") && copyFile(fd, "/proc/self/maps");
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
        const std::string path = directory + narrowDumpFileName() + ".dmp";
        if (!prepareDumpDirectory(directory)) {
            return {};
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
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
