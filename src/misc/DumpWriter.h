#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

// Process dumps: one text file per report under <temp base>/vemra/, named
// "%Y-%m-%d-%H%M%S-<digit>.dmp", created exclusively: a name already taken
// (two failures in one second) moves on to the next digit, ten tries at most,
// so no dump replaces another. A dump holds the failure, local time, pid,
// thread id, executable, a backtrace and a copy of /proc/self/maps. Nothing
// here throws: a dump that cannot be written yields the empty path.

// What a crash left behind; filled by whoever caught the signal.
struct CrashContext {
    int signal = 0;
    const void* address = nullptr;
    pid_t threadId = 0;
};

// The failure a dump describes.
struct DumpExceptionInfo {
    pid_t threadId = 0;
    const CrashContext* crash = nullptr;
    bool clientPointers = false;
};

// Return addresses of the calling thread's stack, innermost first.
std::vector<void*> captureBacktrace() noexcept;

// Writes a dump describing `exception` ("none" when there is none) with the
// given backtrace, taken on `threadId`. Returns the dump's path or "".
std::wstring write_dump_report(const std::string& exception, const std::vector<void*>& backtrace,
                               pid_t threadId) noexcept;

// Writes a dump with the calling thread's backtrace; info may be null.
std::wstring write_minidump(const DumpExceptionInfo* info) noexcept;
// Temp base + "/vemra/".
std::wstring get_dump_directory() noexcept;
// Time stamp + "-" + the next digit of the process-wide counter (1, 2, ..., 9, 0, 1, ...).
std::wstring make_dump_file_name() noexcept;
// Writes a dump for a crash and prints where it went; always returns 1.
// It allocates: the fatal-signal handler writes its dump with
// write_crash_dump instead.
long unhandled_exception_filter(const CrashContext* context) noexcept;

// Dumps from a signal handler, where only async-signal-safe calls may run.
// prepare_crash_dump fixes beforehand what such a dump needs (the directory,
// the executable, the local time's offset from UTC) and loads the unwinder;
// call it again when TEMP changes. write_crash_dump then creates a dump
// describing `exception` the same way as every other dump (exclusively, the
// counter's next digit) and puts its path into `path`, NUL-terminated, or
// the empty text when no dump was written. It never allocates.
void prepare_crash_dump() noexcept;
void write_crash_dump(const char* exception, char* path, std::size_t pathSize) noexcept;

// Logs the outcome of a dump at error level: "Exception dump written to <path>"
// or "Cannot write exception dump".
void log_dump_result(const std::wstring& path) noexcept;

// UTF-8 <-> wide text. Bytes that are not UTF-8 survive the round trip
// (they map to U+DC80..U+DCFF), so any file name converts back unchanged.
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
