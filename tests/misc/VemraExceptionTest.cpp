#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <functional>
#include <regex>
#include <set>

#include "misc/DumpWriter.h"
#include "misc/ParallelFor.h"
#include "support/CoutCapture.h"
#include "support/Environment.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/ScratchDirectory.h"
#include "vemra_exception.h"

namespace fs = std::filesystem;

namespace {

const std::string dumpLinePrefix = "Exception dump written to ";

std::string dumpPathOf(const std::string& logLine)
{
    return logLine.rfind(dumpLinePrefix, 0) == 0 ? logLine.substr(dumpLinePrefix.size()) : std::string();
}

// Each test gets its own TEMP, so the dumps it finds are its own.
class ExceptionDump : public ::testing::Test {
protected:
    ScratchDirectory temp;
    EnvironmentGuard tempVariable{"TEMP", temp.path()};
    std::string dumpDirectory = temp.path() + "/vemra";
};

TEST_F(ExceptionDump, ExceptionLogsMessageThenWritesDumpWithThrowersBacktrace)
{
    LogCapture log;
    const vemra_exception error("Empty json object passed to GeometryData.");
    EXPECT_STREQ(error.what(), "Empty json object passed to GeometryData.");

    const auto errors = log.messages(el::Level::Error);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Empty json object passed to GeometryData.");
    const std::string path = dumpPathOf(errors[1]);
    ASSERT_FALSE(path.empty()) << errors[1];
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(dumpDirectory));
    EXPECT_TRUE(std::regex_match(fs::path(path).filename().string(),
                                 std::regex(R"(\d{4}-\d{2}-\d{2}-\d{6}-[0-9]\.dmp)")));

    struct stat status {};
    ASSERT_EQ(::stat(dumpDirectory.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    const std::string dump = contentOf(path);
    EXPECT_NE(dump.find("exception: Empty json object passed to GeometryData.\n"), std::string::npos);
    EXPECT_NE(dump.find("pid: " + std::to_string(::getpid()) + "\n"), std::string::npos);
    // The thread that raised the error, not the worker that wrote the file.
    EXPECT_NE(dump.find("thread: " + std::to_string(::gettid()) + "\n"), std::string::npos);
    const auto backtrace = dump.find("backtrace:\n");
    const auto maps = dump.find("maps:\n");
    ASSERT_NE(backtrace, std::string::npos);
    ASSERT_NE(maps, std::string::npos);
    const std::string frames = dump.substr(backtrace, maps - backtrace);
    EXPECT_NE(frames.find("test_misc"), std::string::npos) << frames;
    EXPECT_NE(dump.find("[stack]", maps), std::string::npos);
}

TEST_F(ExceptionDump, CopyReportsNothingAndWriteDumpHasNoException)
{
    const vemra_exception original("first");
    const auto before = filesIn(dumpDirectory);
    {
        LogCapture log;
        const vemra_exception copy(original);
        EXPECT_STREQ(copy.what(), "first");
        EXPECT_TRUE(log.lines().empty());
    }
    EXPECT_EQ(filesIn(dumpDirectory), before);

    LogCapture log;
    vemra_exception::write_dump();
    const auto errors = log.messages(el::Level::Error);
    ASSERT_EQ(errors.size(), 1u);
    const std::string path = dumpPathOf(errors[0]);
    ASSERT_FALSE(path.empty()) << errors[0];
    EXPECT_NE(contentOf(path).find("exception: none\n"), std::string::npos);
}

TEST_F(ExceptionDump, CounterDigitRunsOneToNineThenZero)
{
    LogCapture log;
    for (int i = 0; i < 11; ++i) {
        vemra_exception("again");
    }
    std::vector<int> digits;
    std::set<std::string> paths;
    for (const auto& message : log.messages(el::Level::Error)) {
        const std::string path = dumpPathOf(message);
        if (!path.empty()) {
            digits.push_back(path[path.size() - 5] - '0');
            paths.insert(path);
        }
    }
    ASSERT_GE(digits.size(), 10u);
    for (std::size_t i = 1; i < 10; ++i) {
        EXPECT_EQ(digits[i], (digits[i - 1] + 1) % 10);
    }
    // The eleventh comes back to the first digit. Within the same second all
    // ten names are taken and it gets no dump; it never replaces one.
    EXPECT_EQ(paths.size(), digits.size());
    EXPECT_EQ(filesIn(dumpDirectory).size(), digits.size());
}

TEST_F(ExceptionDump, UnsafeOrMissingDumpDirectoryGetsNoDump)
{
    struct Case {
        const char* name;
        // Prepares TEMP and returns false when the case cannot be set up here.
        std::function<bool(const std::string& base, const std::string& elsewhere)> prepare;
    };
    const std::vector<Case> cases = {
        {"symlink to another directory",
         [](const std::string& base, const std::string& elsewhere) {
             fs::create_directory_symlink(elsewhere, base + "/vemra");
             return true;
         }},
        {"directory of another user",
         [](const std::string& base, const std::string&) {
             const std::string directory = base + "/vemra";
             fs::create_directory(directory);
             return ::chown(directory.c_str(), 65534, 65534) == 0;
         }},
        {"regular file", [](const std::string& base, const std::string&) {
             std::ofstream(base + "/vemra") << "not a directory";
             return true;
         }},
        {"TEMP names a missing directory", [](const std::string& base, const std::string&) {
             fs::remove_all(base);
             return true;
         }},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        ScratchDirectory base;
        ScratchDirectory elsewhere;
        if (!testCase.prepare(base.path(), elsewhere.path())) {
            std::cout << "skipped (needs root): " << testCase.name << std::endl;
            continue;
        }
        EnvironmentGuard variable("TEMP", base.path());
        LogCapture log;
        vemra_exception("unsafe");
        const auto errors = log.messages(el::Level::Error);
        ASSERT_EQ(errors.size(), 2u);
        EXPECT_EQ(errors[1], "Cannot write exception dump");
        EXPECT_TRUE(filesIn(elsewhere.path()).empty());
        if (fs::is_directory(base.path() + "/vemra") && !fs::is_symlink(base.path() + "/vemra")) {
            EXPECT_TRUE(filesIn(base.path() + "/vemra").empty());
        }
        EXPECT_EQ(fs::exists(base.path()), testCase.name != std::string("TEMP names a missing directory"));
    }
}

TEST_F(ExceptionDump, PartlyWrittenDumpIsRemoved)
{
    // The file size limit makes the dump's writes fail part way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::wstring path = write_dump_report("too long to fit", captureBacktrace(), ::gettid());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_TRUE(path.empty());
    EXPECT_TRUE(filesIn(dumpDirectory).empty());
}

TEST_F(ExceptionDump, ErrorsRaisedOnManyThreadsLeaveOneCompleteDumpEach)
{
    constexpr int count = 8;
    LogCapture log;
    try {
        parallelFor(count, [](int i) { throw vemra_exception("failure " + std::to_string(i)); });
        FAIL() << "nothing rethrown";
    } catch (const vemra_exception& error) {
        EXPECT_STREQ(error.what(), "failure 0");
    }
    const auto files = filesIn(dumpDirectory);
    ASSERT_EQ(files.size(), static_cast<std::size_t>(count));
    std::set<std::string> messages;
    for (const auto& name : files) {
        const std::string dump = contentOf(dumpDirectory + "/" + name);
        std::smatch match;
        ASSERT_TRUE(std::regex_search(dump, match, std::regex("exception: (failure \\d)\n"))) << dump;
        messages.insert(match[1]);
        EXPECT_EQ(dump.find("vemra process dump 1"), dump.rfind("vemra process dump 1"));
        EXPECT_NE(dump.find("maps:\n"), std::string::npos);
    }
    EXPECT_EQ(messages.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(log.messages(el::Level::Error).size(), 2u * count);
}

TEST_F(ExceptionDump, CrashFilterAlwaysReturnsOne)
{
    CrashContext crash;
    crash.signal = SIGSEGV;
    crash.address = reinterpret_cast<const void*>(0x10);
    crash.threadId = 4242;

    long written = 0;
    long notWritten = 0;
    std::string text;
    {
        const CoutCapture printed;
        written = unhandled_exception_filter(&crash);
        fs::remove_all(temp.path());
        notWritten = unhandled_exception_filter(&crash);
        text = printed.text();
    }

    EXPECT_EQ(written, 1);
    EXPECT_EQ(notWritten, 1);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, std::regex("Crash dump written to: (\\S+)\nCannot write dump\n"))) << text;
    EXPECT_EQ(fs::path(match[1].str()).parent_path(), fs::path(dumpDirectory));
}

TEST(DumpText, WideTextRoundTripsThroughUtf8)
{
    struct Case {
        std::string utf8;
        std::wstring wide;
    };
    const std::vector<Case> cases = {
        {"/tmp/vemra/", L"/tmp/vemra/"},
        {"Gr\xC3\xB6\xC3\x9F" "e", L"Gr\u00F6\u00DFe"},
        {"\xE2\x82\xAC", L"\u20AC"},
        {"\xF0\x9F\x99\x82", L"\U0001F642"},
        // Bytes that are no UTF-8 still name the same file after the round trip.
        {"bad\xFF\xC3", std::wstring(L"bad") + wchar_t(0xDCFF) + wchar_t(0xDCC3)},
        {"", L""},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.utf8);
        EXPECT_EQ(fromUtf8(testCase.utf8), testCase.wide);
        EXPECT_EQ(toUtf8(testCase.wide), testCase.utf8);
    }
    // A lone surrogate has no UTF-8 form.
    EXPECT_EQ(toUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
}

} // namespace
