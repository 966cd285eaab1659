#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <Standard_ConstructionError.hxx>

#include "support/CoutCapture.h"
#include "support/Environment.h"
#include "support/ScratchDirectory.h"
#include "tests/geometryData/CaseRunner.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

TEST(Verdict, ComparesProducedWithExpected)
{
    struct Case {
        const char* name;
        json produced;
        json expected;
        bool colours;
        std::string printed;
        int exitCode;
    };
    const json produced = {{"a", {{"b", 1}}}, {"c", {1, 2}}, {"name", "Face_1"}};
    const std::vector<Case> cases = {
        {"equal", produced, json::parse(R"({"name":"Face_1","c":[1,2],"a":{"b":1}})"), false, "TEST01 passed\n", 0},
        {"numbers by value", json::parse(R"({"id":7})"), json::parse(R"({"id":7.0})"), false, "TEST01 passed\n", 0},
        {"equal, coloured", produced, produced, true, "\x1b[32mTEST01 passed\n\x1b[0m", 0},
        {"one changed value", produced, json::parse(R"({"a":{"b":2},"c":[1,2],"name":"Face_1"})"), false,
         "TEST01 failed\n"
         "json diff :: [{\"op\":\"replace\",\"path\":\"/a/b\",\"value\":2}]\n"
         "\n"
         "{\"a\":{\"b\":1},\"c\":[1,2],\"name\":\"Face_1\"}\n",
         1},
        {"one changed value, coloured", json::parse(R"({"id":1})"), json::parse(R"({"id":2})"), true,
         "\x1b[91mTEST01 failed\n"
         "json diff :: [{\"op\":\"replace\",\"path\":\"/id\",\"value\":2}]\n"
         "\n"
         "{\"id\":1}\n\x1b[0m",
         1},
        {"same items in another order", json::parse(R"(["x","y"])"), json::parse(R"(["y","x"])"), false,
         "TEST01 failed\n"
         "json diff :: [{\"op\":\"replace\",\"path\":\"/0\",\"value\":\"y\"},"
         "{\"op\":\"replace\",\"path\":\"/1\",\"value\":\"x\"}]\n"
         "\n"
         "[\"x\",\"y\"]\n",
         1},
        {"non-ASCII text as it is", json::parse("{\"n\":\"Gr\xC3\xB6\xC3\x9F" "e\"}"), json::parse(R"({"n":"x"})"),
         false,
         "TEST01 failed\n"
         "json diff :: [{\"op\":\"replace\",\"path\":\"/n\",\"value\":\"x\"}]\n"
         "\n"
         "{\"n\":\"Gr\xC3\xB6\xC3\x9F" "e\"}\n",
         1},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        std::ostringstream out;
        EXPECT_EQ(reportVerdict(testCase.produced, testCase.expected, out, testCase.colours), testCase.exitCode);
        EXPECT_EQ(out.str(), testCase.printed);
    }
}

TEST(Verdict, InvalidTextRaisesBeforeAnythingIsPrinted)
{
    std::ostringstream out;
    EXPECT_THROW(reportVerdict(json{{"n", "bad\xFF"}}, json{{"n", "x"}}, out, false), json::type_error);
    EXPECT_EQ(out.str(), "");
}

TEST(CaseErrors, EveryErrorEndsInOneLineAndExitCodeOne)
{
    struct Case {
        const char* name;
        std::function<int()> body;
        std::string printed;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {"passed", [] { return 0; }, "", 0},
        {"failed verdict", [] { return 1; }, "", 1},
        {"standard error", []() -> int { throw std::runtime_error("Could not read file"); },
         "Exception  Could not read file\n", 1},
        {"JSON error", []() -> int { return json(1).at("x").get<int>(); },
         "Exception  [json.exception.type_error.304] cannot use at() with number\n", 1},
        {"CAD kernel failure", []() -> int { throw Standard_ConstructionError("no face"); },
         "Exception  CAD kernel failure: Standard_ConstructionError: no face\n", 1},
        {"anything else", []() -> int { throw 42; }, "Exception  unknown error\n", 1},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        std::ostringstream out;
        EXPECT_EQ(runReportingErrors(testCase.body, out), testCase.exitCode);
        EXPECT_EQ(out.str(), testCase.printed);
    }
}

// Runs the case on copies below a scratch directory; the source tree is never written.
class CaseRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy(std::string(VEMRA_SOURCE_DIR) + "/src/tests/geometryData/tests/test01", reference,
                 fs::copy_options::recursive);
    }

    int run(const std::string& referenceDirectory, const std::string& workingDirectory)
    {
        CoutCapture out;
        const int code = runCase(referenceDirectory, workingDirectory);
        printed = out.text();
        return code;
    }

    std::string lastLine() const
    {
        std::string text = printed;
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        return text.substr(text.rfind('\n') + 1);
    }

    EnvironmentGuard noColour{"NO_COLOR", std::string("1")};
    ScratchDirectory scratch;
    std::string reference = scratch.path() + "/test01";
    std::string working = scratch.path() + "/case/current";
    std::string printed;
};

TEST_F(CaseRun, StoredCaseReplacesAnOldWorkingCopyAndPasses)
{
    // A working copy left by an earlier run is replaced.
    fs::create_directories(working + "/old");
    std::ofstream(working + "/old/stale.txt") << "stale";

    EXPECT_EQ(run(reference, working), 0);
    EXPECT_NE(printed.find("\nTEST01 passed\n"), std::string::npos) << printed;
    EXPECT_TRUE(std::regex_search(printed, std::regex(R"((^|\n) Parsing json\. [0-9.e+-]+ s\.\n)"))) << printed;
    EXPECT_EQ(printed.find("could not"), std::string::npos) << printed;
    EXPECT_FALSE(fs::exists(working + "/old"));
    EXPECT_TRUE(fs::is_regular_file(working + "/geometry/raw/RawGeometryData.json"));
    EXPECT_TRUE(fs::is_regular_file(working + "/result.json"));
    EXPECT_TRUE(fs::is_regular_file(reference + "/result.json"));
}

TEST_F(CaseRun, BrokenSetUpEndsWithExitCodeOne)
{
    std::ofstream(scratch.path() + "/file") << "in the way";
    // A reference case holding a file that cannot be copied: a link to nothing, a FIFO.
    const std::string dangling = scratch.path() + "/dangling";
    fs::copy(reference, dangling, fs::copy_options::recursive);
    fs::create_symlink(scratch.path() + "/gone.brep", dangling + "/geometry/raw/gone.brep");
    const std::string withFifo = scratch.path() + "/fifo";
    fs::copy(reference, withFifo, fs::copy_options::recursive);
    ASSERT_EQ(::mkfifo((withFifo + "/geometry/pipe").c_str(), 0600), 0);
    struct Case {
        const char* name;
        std::string reference;
        std::string working;
        std::string lastLine;
    };
    const std::vector<Case> cases = {
        {"missing reference case", scratch.path() + "/missing", working,
         "Exception  filesystem error: cannot copy: No such file or directory [" + scratch.path() + "/missing] [" +
             working + "]"},
        {"link to nothing in the reference case", dangling, working,
         "Exception  filesystem error: cannot copy: No such file or directory [" + dangling +
             "/geometry/raw/gone.brep] [" + working + "/geometry/raw/gone.brep]"},
        {"FIFO in the reference case", withFifo, working,
         "Exception  filesystem error: cannot copy: Invalid argument [" + withFifo + "/geometry/pipe] [" +
             working + "/geometry/pipe]"},
        {"working directory below a file", reference, scratch.path() + "/file/current",
         "could not create directory " + scratch.path() + "/file/current: Not a directory"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        EXPECT_EQ(run(testCase.reference, testCase.working), 1);
        EXPECT_EQ(lastLine(), testCase.lastLine) << printed;
    }
}

// Side files that cannot be written end the run in the write's own message,
// also when the write runs on a worker thread of a parallel loop: the entity
// BREP files of the partition and the group previews.
TEST_F(CaseRun, SideFileThatCannotBeWrittenNamesThePathAndTheReason)
{
    struct Case {
        const char* name;
        std::string blocked; // made a directory in the reference case
    };
    const std::vector<Case> cases = {
        {"entity BREP file, written in parallel", "geometry/raw/Solid_2.brep"},
        {"group preview, written in parallel", "vtk/core.vtk"},
        {"partition shape", "geometry/raw/partitionShape.brep"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const std::string blockedCase = scratch.path() + "/blocked";
        fs::remove_all(blockedCase);
        fs::copy(reference, blockedCase, fs::copy_options::recursive);
        fs::create_directories(blockedCase + "/" + testCase.blocked + "/inside");
        EXPECT_EQ(run(blockedCase, working), 1);
        EXPECT_EQ(lastLine(),
                  "Exception  Could not write file " + working + "/" + testCase.blocked + ": Is a directory")
            << printed;
    }
}

// A second run on a case tree that a run holds is refused before it touches
// anything; once the tree is free it runs.
TEST_F(CaseRun, SecondRunOnALockedCaseTreeIsRefused)
{
    EXPECT_EQ(run(reference, working), 0) << printed;
    std::ofstream(working + "/first run.txt") << "still in use";
    const std::string tree = working;
    {
        // The first run's lock, taken as any other process would take it.
        const int held = ::open(tree.c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(held, 0);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(run(reference, working), 1);
        ::close(held);
    }
    EXPECT_EQ(printed, "Exception  The case tree " + tree + " is in use by another run; try again when it has ended\n");
    EXPECT_TRUE(fs::is_regular_file(working + "/first run.txt"));
    EXPECT_EQ(run(reference, working), 0) << printed;
    EXPECT_FALSE(fs::exists(working + "/first run.txt"));
}

TEST_F(CaseRun, MalformedRawDocumentEndsInTheParseError)
{
    std::ofstream(reference + "/geometry/raw/RawGeometryData.json") << "{";
    EXPECT_EQ(run(reference, working), 1);
    EXPECT_EQ(lastLine().rfind("Exception  [json.exception.parse_error.101]", 0), 0u) << printed;
    // The section never stopped, so it printed no line.
    EXPECT_EQ(printed.find("Parsing json."), std::string::npos) << printed;
}

} // namespace
