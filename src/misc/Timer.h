#pragma once

#include <chrono>
#include <iostream>
#include <string>
#include <utility>

#include <easylogging++.h>

// Times a scope and, inside it, one named section at a time. stop() prints the
// section's seconds on standard output; the destructor logs the scope's
// seconds at INFO level.
class Timer {
public:
    using Clock = std::chrono::steady_clock;

    Timer() { scopeStart = Clock::now(); }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    ~Timer() noexcept
    {
        try {
            scopeEnd = Clock::now();
            LOG(INFO) << scopeMessage << " " << seconds(scopeStart, scopeEnd) << " s.\n";
        } catch (...) {
        }
    }

    // Names the scope line; the scope's start time stays where it was.
    void setScopeMessage(std::string message) { scopeMessage = std::move(message); }

    void start(std::string message)
    {
        sectionMessage = std::move(message);
        sectionStart = Clock::now();
    }

    void stop()
    {
        sectionEnd = Clock::now();
        std::cout << sectionMessage << " " << seconds(sectionStart, sectionEnd) << " s." << std::endl;
    }

private:
    // Seconds as a float, computed in single precision.
    static float seconds(Clock::time_point from, Clock::time_point to)
    {
        const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
        return static_cast<float>(nanoseconds) / 1e9f;
    }

    Clock::time_point scopeStart;
    Clock::time_point sectionStart;
    Clock::time_point scopeEnd;
    Clock::time_point sectionEnd;
    std::string scopeMessage = "Scope execution time : ";
    std::string sectionMessage;
};
