#include "misc/FatalSignals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "misc/CurrentStage.h"
#include "misc/DumpWriter.h"

namespace {

struct FatalSignal {
    int number;
    const char* name;
    const char* meaning;
};

constexpr FatalSignal fatalSignals[] = {
    {SIGSEGV, "SIGSEGV", "invalid memory access"},
    {SIGBUS, "SIGBUS", "bus error"},
    {SIGFPE, "SIGFPE", "arithmetic fault"},
    {SIGILL, "SIGILL", "illegal instruction"},
    {SIGABRT, "SIGABRT", "abort"},
};

// Large enough for the unwinder and the dump writer's header buffer.
constexpr std::size_t alternateStackSize = 256 * 1024;
alignas(16) char alternateStack[alternateStackSize];

std::atomic<bool> handling{false};

void append(char* buffer, std::size_t capacity, std::size_t& length, const char* text)
{
    while (*text != '\0' && length + 1 < capacity) {
        buffer[length++] = *text++;
    }
    buffer[length] = '\0';
}

void writeAll(int fd, const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, text, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

void handleFatalSignal(int number, siginfo_t*, void*)
{
    // A second thread that faults meanwhile waits: the first one ends the run.
    if (handling.exchange(true)) {
        for (;;) {
            ::pause();
        }
    }
    // A dump that cannot finish (the fault may have left a lock of the C
    // library held) must not hold the run for ever: the alarm ends it.
    ::alarm(30);
    const char* name = "fatal signal";
    const char* meaning = "unknown";
    for (const FatalSignal& signal : fatalSignals) {
        if (signal.number == number) {
            name = signal.name;
            meaning = signal.meaning;
        }
    }
    char description[1024];
    std::size_t length = 0;
    append(description, sizeof description, length, "Fatal signal ");
    append(description, sizeof description, length, name);
    append(description, sizeof description, length, " (");
    append(description, sizeof description, length, meaning);
    append(description, sizeof description, length, ") while ");
    append(description, sizeof description, length, currentStage());

    char path[8192];
    write_crash_dump(description, path, sizeof path);
    char lines[10240];
    std::size_t size = 0;
    if (path[0] == '\0') {
        append(lines, sizeof lines, size, "Cannot write dump\n");
    } else {
        append(lines, sizeof lines, size, "Crash dump written to: ");
        append(lines, sizeof lines, size, path);
        append(lines, sizeof lines, size, "\n");
    }
    append(lines, sizeof lines, size, "Exception  ");
    append(lines, sizeof lines, size, description);
    append(lines, sizeof lines, size, "\n");
    writeAll(STDOUT_FILENO, lines, size);
    ::_exit(1);
}

} // namespace

bool installFatalSignalHandlers() noexcept
{
    prepare_crash_dump();
    stack_t stack {};
    stack.ss_sp = alternateStack;
    stack.ss_size = alternateStackSize;
    stack.ss_flags = 0;
    if (::sigaltstack(&stack, nullptr) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_sigaction = handleFatalSignal;
    // No SA_RESETHAND: a fault on another thread must not end the run by the
    // default action while the first one is being reported.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const FatalSignal& signal : fatalSignals) {
        sigaddset(&action.sa_mask, signal.number);
    }
    bool installed = true;
    for (const FatalSignal& signal : fatalSignals) {
        installed = ::sigaction(signal.number, &action, nullptr) == 0 && installed;
    }
    return installed;
}
