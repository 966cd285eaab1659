#pragma once

#include <unistd.h>

#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <easylogging++.h>

#include "misc/DumpWriter.h"

// The system's one exception type. Constructing it is the error report: the
// message is logged at error level, then a dump holding the message and the
// thrower's backtrace is written and its outcome logged, all before the throw
// proceeds. Copies (made by the exception machinery) report nothing.
class vemra_exception : public std::domain_error {
public:
    explicit vemra_exception(const std::string& message) : std::domain_error(message)
    {
        LOG(ERROR) << message;
        // Taken here: the worker's own stack would not show where the error arose.
        const std::vector<void*> backtrace = captureBacktrace();
        const pid_t thread = ::gettid();
        const auto report = [&]() noexcept { log_dump_result(write_dump_report(message, backtrace, thread)); };
        try {
            std::thread(report).join();
        } catch (const std::system_error&) {
            // No thread to be had: write it here rather than replace the user's error.
            report();
        }
    }

    vemra_exception(const vemra_exception&) = default;
    vemra_exception& operator=(const vemra_exception&) = default;
    ~vemra_exception() override = default;

    // Writes a dump of the calling thread without an exception and logs its outcome.
    static void write_dump() { log_dump_result(write_minidump(nullptr)); }
};
