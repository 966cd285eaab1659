// Dumps are created, never reused: failures of the same second keep their
// dumps, whichever writer (the exception's or the signal handler's) made them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "misc/DumpWriter.h"
#include "support/Environment.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;

namespace {

// The moment in local time, in the strftime format.
std::string localTime(std::time_t when, const char* format)
{
    std::tm local {};
    localtime_r(&when, &local);
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

std::string localStamp(std::time_t when) { return localTime(when, "%Y-%m-%d-%H%M%S"); }

struct Writer {
    const char* name;
    std::function<std::string()> write; // the dump's path, or ""
};

const std::vector<Writer> writers = {
    {"exception dump", [] { return toUtf8(write_dump_report("taken names", captureBacktrace(), ::gettid())); }},
    {"crash dump",
     [] {
         prepare_crash_dump();
         char path[4096];
         write_crash_dump("taken names", path, sizeof path);
         return std::string(path);
     }},
};

class DumpCreation : public ::testing::Test {
protected:
    ScratchDirectory temp;
    EnvironmentGuard tempVariable{"TEMP", temp.path()};
    std::string directory = temp.path() + "/vemra";

    // Files for the given digits at every stamp from a second ago to a few
    // seconds ahead, so the writer meets them whenever it runs.
    std::map<std::string, std::string> occupy(const std::vector<int>& digits)
    {
        fs::create_directories(directory);
        std::map<std::string, std::string> placed;
        const std::time_t now = std::time(nullptr);
        for (std::time_t when = now - 1; when <= now + 5; ++when) {
            for (const int digit : digits) {
                const std::string name = localStamp(when) + "-" + std::to_string(digit) + ".dmp";
                writeText(directory + "/" + name, "earlier dump " + name);
                placed[name] = "earlier dump " + name;
            }
        }
        return placed;
    }

    void expectUntouched(const std::map<std::string, std::string>& placed)
    {
        for (const auto& [name, content] : placed) {
            EXPECT_EQ(contentOf(directory + "/" + name), content) << name;
        }
    }
};

TEST_F(DumpCreation, TakenNamesMoveOnToTheNextDigit)
{
    for (const auto& writer : writers) {
        SCOPED_TRACE(writer.name);
        // The counter's digit now; the next three names are taken.
        const std::string current = toUtf8(make_dump_file_name());
        const int digit = current.back() - '0';
        const std::vector<int> taken = {(digit + 1) % 10, (digit + 2) % 10, (digit + 3) % 10};
        const auto placed = occupy(taken);

        const std::string path = writer.write();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path[path.size() - 5] - '0', (digit + 4) % 10) << path;
        EXPECT_NE(contentOf(path).find("exception: taken names\n"), std::string::npos);
        expectUntouched(placed);
        fs::remove_all(directory);
    }
}

TEST_F(DumpCreation, TenTakenNamesGiveNoDump)
{
    for (const auto& writer : writers) {
        SCOPED_TRACE(writer.name);
        const auto placed = occupy({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        EXPECT_EQ(writer.write(), "");
        expectUntouched(placed);
        EXPECT_EQ(filesIn(directory).size(), placed.size());
        fs::remove_all(directory);
    }
}

// The handler's dump, written without allocating, carries what every dump does.
TEST_F(DumpCreation, CrashDumpHoldsTheFailureTimeAndProcess)
{
    // Its local time is worked out by hand: compared with the C library's,
    // east and west of UTC (zones given as rules, no time zone files needed).
    for (const char* zone : {"UTC0", "XYZ-5:30", "ABC+11", "DEF-14"}) {
        SCOPED_TRACE(zone);
        const EnvironmentGuard timeZone("TZ", zone);
        ::tzset();
        prepare_crash_dump();
        const std::time_t before = std::time(nullptr);
        char path[4096];
        write_crash_dump("zone", path, sizeof path);
        const std::time_t after = std::time(nullptr);
        ASSERT_NE(path[0], '\0');
        const std::string name = fs::path(path).filename().string();
        std::smatch match;
        ASSERT_TRUE(std::regex_match(name, match, std::regex(R"((\d{4}-\d{2}-\d{2}-\d{6})-[0-9]\.dmp)"))) << name;
        EXPECT_TRUE(match[1] == localStamp(before) || match[1] == localStamp(after)) << name;
        const std::string dump = contentOf(path);
        const char* const format = "%Y-%m-%d %H:%M:%S %z";
        EXPECT_TRUE(dump.find("\ntime: " + localTime(before, format) + "\n") != std::string::npos ||
                    dump.find("\ntime: " + localTime(after, format) + "\n") != std::string::npos)
            << dump.substr(0, 200);
    }
    ::tzset();

    prepare_crash_dump();
    char path[4096];
    write_crash_dump("Fatal signal SIGSEGV (invalid memory access) while testing", path, sizeof path);
    ASSERT_NE(path[0], '\0');
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(directory));
    const std::string dump = contentOf(path);
    EXPECT_EQ(dump.rfind("vemra process dump 1\nexception: Fatal signal SIGSEGV (invalid memory access) while "
                         "testing\n",
                         0),
              0u);
    EXPECT_NE(dump.find("pid: " + std::to_string(::getpid()) + "\n"), std::string::npos);
    EXPECT_NE(dump.find("thread: " + std::to_string(::gettid()) + "\n"), std::string::npos);
    EXPECT_NE(dump.find("executable: " + fs::read_symlink("/proc/self/exe").string() + "\n"), std::string::npos);
    const auto frames = dump.find("backtrace:\n");
    const auto maps = dump.find("maps:\n");
    ASSERT_NE(frames, std::string::npos);
    ASSERT_NE(maps, std::string::npos);
    EXPECT_NE(dump.substr(frames, maps - frames).find("test_misc"), std::string::npos);
    EXPECT_NE(dump.find("[stack]", maps), std::string::npos);
}

TEST_F(DumpCreation, CrashDumpWithoutADirectoryIsNone)
{
    fs::remove_all(temp.path());
    prepare_crash_dump();
    char path[4096] = "stale";
    write_crash_dump("Fatal signal SIGABRT (abort) while testing", path, sizeof path);
    EXPECT_STREQ(path, "");
    EXPECT_FALSE(fs::exists(temp.path()));
}

} // namespace
