#include "misc/FatalSignals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "misc/CurrentStage.h"
#include "misc/DumpWriter.h"
#include "misc/SignalSafeText.h"

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
    FixedText text(description, sizeof description);
    text.add("Fatal signal ").add(name).add(" (").add(meaning).add(") while ").add(currentStage());
    if (const char* file = currentFile()) {
        text.add(" (file ").add(file).add(")");
    }

    char path[8192];
    write_crash_dump(description, path, sizeof path);
    char lines[10240];
    FixedText output(lines, sizeof lines);
    if (path[0] == '\0') {
        output.add("Cannot write dump\n");
    } else {
        output.add("Crash dump written to: ").add(path).add("\n");
    }
    output.add("Exception  ").add(description).add("\n");
    writeAll(STDOUT_FILENO, output.text(), output.size());
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
