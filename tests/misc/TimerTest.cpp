#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <stdexcept>
#include <thread>

#include "misc/Timer.h"
#include "support/CoutCapture.h"
#include "support/LogCapture.h"

namespace {

using namespace std::chrono_literals;

// Default float formatting: up to six significant digits, maybe an exponent.
const std::string number = R"(([0-9]+(?:\.[0-9]+)?(?:e[-+][0-9]+)?))";

std::vector<double> secondsOf(const std::string& text, const std::string& message, const std::string& ending)
{
    std::vector<double> values;
    const std::regex line(std::regex_replace(message, std::regex(R"([.])"), R"(\.)") + " " + number + ending);
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        values.push_back(std::stod((*it)[1]));
    }
    return values;
}

TEST(Timer, SectionLinesMeasureFromTheirStart)
{
    Timer timer; // outlives the capture: its scope line goes to the console too
    std::string text;
    {
        CoutCapture out;
        timer.start(" Parsing json.");
        std::this_thread::sleep_for(30ms);
        timer.stop();
        std::this_thread::sleep_for(30ms);
        timer.stop();
        text = out.text();
    }
    // The leading blank of the message is kept.
    EXPECT_TRUE(std::regex_match(text, std::regex("( Parsing json\\. " + number + " s\\.\n){2}"))) << text;
    const auto values = secondsOf(text, " Parsing json.", " s\\.\n");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_GE(values[0], 0.03);
    EXPECT_LT(values[0], 5.0);
    EXPECT_GE(values[1], values[0] + 0.03);
}

TEST(Timer, StopWithoutStartPrintsEmptyMessage)
{
    Timer timer;
    std::string text;
    {
        CoutCapture out;
        timer.stop();
        text = out.text();
    }
    EXPECT_TRUE(std::regex_match(text, std::regex(" " + number + " s\\.\n"))) << text;
}

TEST(Timer, ScopeLineIsLoggedOnDestructionFromConstruction)
{
    struct Case {
        const char* name;
        bool rename;
        bool unwind;
        std::string expectedMessage;
    };
    const std::vector<Case> cases = {
        {"default message", false, false, "Scope execution time : "},
        {"renamed late", true, false, "Testing Quillmark."},
        {"destroyed while unwinding", true, true, "Testing Quillmark."},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        LogCapture log;
        try {
            Timer timer;
            std::this_thread::sleep_for(30ms);
            if (testCase.rename) {
                timer.setScopeMessage("Testing Quillmark.");
            }
            if (testCase.unwind) {
                throw std::runtime_error("unwinding");
            }
        } catch (const std::runtime_error&) {
        }
        const auto lines = log.messages(el::Level::Info);
        ASSERT_EQ(lines.size(), 1u);
        // The message ends with its own line end.
        const auto values = secondsOf(lines[0], testCase.expectedMessage, " s\\.\n");
        ASSERT_EQ(values.size(), 1u) << lines[0];
        EXPECT_EQ(lines[0].rfind(testCase.expectedMessage + " ", 0), 0u) << lines[0];
        EXPECT_GE(values[0], 0.03);
    }
}

} // namespace
