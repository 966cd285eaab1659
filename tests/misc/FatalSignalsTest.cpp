// Faults provoked on purpose in a child process: the handler must turn each
// into the driver's "Exception  " line and exit code 1, with the dump line.

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "misc/CurrentStage.h"
#include "misc/FatalSignals.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;

namespace {

void writeToProtectedPage()
{
    void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int*>(page) = 1;
}

// Each frame holds a page, so the stack runs out after a few thousand calls.
int recurseWithoutEnd(volatile int depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    if (depth == -1) {
        return frame[0];
    }
    return recurseWithoutEnd(depth + 1) + frame[0];
}

struct Fault {
    const char* id;
    std::function<void()> provoke;
    const char* signal; // as the line names it
};

const std::vector<Fault> faults = {
    {"ProtectedPage", writeToProtectedPage, "SIGSEGV \\(invalid memory access\\)"},
    {"StackOverflow", [] { recurseWithoutEnd(0); }, "SIGSEGV \\(invalid memory access\\)"},
    {"BusError", [] { std::raise(SIGBUS); }, "SIGBUS \\(bus error\\)"},
    {"ArithmeticFault", [] { std::raise(SIGFPE); }, "SIGFPE \\(arithmetic fault\\)"},
    {"IllegalInstruction", [] { std::raise(SIGILL); }, "SIGILL \\(illegal instruction\\)"},
    {"Abort", [] { std::abort(); }, "SIGABRT \\(abort\\)"},
};

// Names the case in gtest's messages.
void PrintTo(const Fault& fault, std::ostream* out)
{
    *out << fault.id;
}

// The child prints on standard error, where the death test reads.
void provokeInChild(const std::string& temp, const std::function<void()>& provoke)
{
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    ::setenv("TEMP", temp.c_str(), 1);
    if (!installFatalSignalHandlers()) {
        std::_Exit(3);
    }
    setCurrentStage("testing the handler");
    provoke();
    std::_Exit(4);
}

// One death test per test: the child runs the test again up to its death
// statement, so nothing after it may be a check the child cannot pass.
class FatalSignals : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

    // Fixed per test, so the child uses the same one.
    std::string temp = freshDirectory("fatal-signals-" + testName());

    static std::string testName()
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) {
            c = c == '/' ? '-' : c;
        }
        return name;
    }
};

class EachFault : public FatalSignals, public ::testing::WithParamInterface<Fault> {
};

TEST_P(EachFault, EndsInTheDumpLineTheExceptionLineAndExitCodeOne)
{
    const Fault& fault = GetParam();
    const std::string dumps = temp + "/vemra";
    EXPECT_EXIT(provokeInChild(temp, fault.provoke), ::testing::ExitedWithCode(1),
                std::string("Crash dump written to: ") + dumps +
                    "/[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{6}-[0-9]\\.dmp\nException  Fatal signal " + fault.signal +
                    " while testing the handler\n$");
    const auto written = filesIn(dumps);
    ASSERT_EQ(written.size(), 1u);
    const std::string dump = contentOf(dumps + "/" + *written.begin());
    EXPECT_TRUE(std::regex_search(dump, std::regex(std::string("\nexception: Fatal signal ") + fault.signal +
                                                   " while testing the handler\n")))
        << dump;
    EXPECT_NE(dump.find("maps:\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Faults, EachFault, ::testing::ValuesIn(faults),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.id); });

TEST_F(FatalSignals, TheLineNamesTheFileBeingRead)
{
    EXPECT_EXIT(provokeInChild(temp,
                               [] {
                                   {
                                       const CurrentFile done("done.igs");
                                   }
                                   const CurrentFile reading("parts/bracket 2.igs");
                                   writeToProtectedPage();
                               }),
                ::testing::ExitedWithCode(1),
                "\nException  Fatal signal SIGSEGV \\(invalid memory access\\) while testing the handler "
                "\\(file parts/bracket 2\\.igs\\)\n$");
}

TEST(CurrentFile, NamesTheFileOnlyWhileItLives)
{
    EXPECT_EQ(currentFile(), nullptr);
    {
        const CurrentFile reading("box.step");
        EXPECT_STREQ(currentFile(), "box.step");
    }
    EXPECT_EQ(currentFile(), nullptr);
    // A name longer than the buffer is cut visibly, not silently.
    const std::string longName(5000, 'a');
    const CurrentFile reading(longName);
    const std::string named = currentFile();
    EXPECT_EQ(named.size(), 4095u);
    EXPECT_EQ(named.substr(named.size() - 4), "a...");
}

TEST_F(FatalSignals, WithoutADumpDirectoryTheLineSaysSo)
{
    const std::string missing = temp + "/missing";
    EXPECT_EXIT(provokeInChild(missing, writeToProtectedPage), ::testing::ExitedWithCode(1),
                "Cannot write dump\nException  Fatal signal SIGSEGV \\(invalid memory access\\) while testing the "
                "handler\n$");
    EXPECT_FALSE(fs::exists(missing));
}

} // namespace
