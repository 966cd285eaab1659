#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <regex>
#include <sstream>

#include "misc/Utilities.h"
#include "support/Environment.h"
#include "support/Exceptions.h"
#include "support/ScratchDirectory.h"
#include "vemra_exception.h"

namespace fs = std::filesystem;

namespace {

TEST(Utilities, PathPieces)
{
    struct Case {
        std::string path;
        std::string extension;
        std::string fileName;
    };
    const std::vector<Case> cases = {
        {"a.tar.gz", ".gz", "a.tar.gz"},
        {"noext", "", "noext"},
        {".hidden", "", ".hidden"},
        {"model.STEP", ".STEP", "model.STEP"},
        {"x.stp", ".stp", "x.stp"},
        {"cad/part.igs", ".igs", "part.igs"},
        // Paths written on other systems use a backslash.
        {"cad\\part.igs", ".igs", "part.igs"},
        {"C:\\cases\\model.step", ".step", "model.step"},
        {"dir.v2\\noext", "", "noext"},
        {"dir/", "", ""},
        {"dir\\", "", ""},
        {"", "", ""},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.path);
        EXPECT_EQ(extensionOf(testCase.path), testCase.extension);
        EXPECT_EQ(fileNameOf(testCase.path), testCase.fileName);
    }
}

TEST(Utilities, TempDirSuffix)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/tmp/vemra", "/"},     {"vemra", "/"},           {"/tmp", "/vemra/"}, {"/tmp/vemra/", "/vemra/"},
        {"vem", "/vemra/"},      {"/tmp/VEMRA", "/vemra/"}, {"", "/vemra/"},
    };
    for (const auto& [directory, suffix] : cases) {
        EXPECT_EQ(tempDirSuffix(directory), suffix) << directory;
    }
}

TEST(Utilities, TempBaseAndDatedPath)
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    std::ostringstream today;
    today << std::put_time(&local, "%Y-%m-%d");

    struct Case {
        std::optional<std::string> temp;
        std::optional<std::string> tmpdir;
        std::string base;
        std::string dated;
    };
    const std::vector<Case> cases = {
        {"/data/t", "/other", "/data/t", "/data/t/vemra/"},
        {"/data/vemra", std::nullopt, "/data/vemra", "/data/vemra/"},
        {std::nullopt, "/other", "/other", "/other/vemra/"},
        {"", "/other", "/other", "/other/vemra/"},
        {std::nullopt, std::nullopt, "/tmp", "/tmp/vemra/"},
    };
    EnvironmentGuard temp("TEMP");
    EnvironmentGuard tmpdir("TMPDIR");
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.base);
        temp.set(testCase.temp);
        tmpdir.set(testCase.tmpdir);
        EXPECT_EQ(tempBaseDirectory(), testCase.base);
        const std::string dated = datedTempPath();
        // A run across midnight may see the next day.
        EXPECT_EQ(dated.substr(0, testCase.dated.size()), testCase.dated);
        EXPECT_TRUE(dated == testCase.dated + today.str() ||
                    std::regex_match(dated.substr(testCase.dated.size()), std::regex(R"(\d{4}-\d{2}-\d{2})")))
            << dated;
    }
}

TEST(Utilities, DatedTempPathCreatesNothing)
{
    ScratchDirectory base;
    EnvironmentGuard temp("TEMP", base.path());
    const std::string dated = datedTempPath();
    EXPECT_EQ(dated.rfind(base.path() + "/vemra/", 0), 0u);
    EXPECT_TRUE(fs::is_empty(base.path()));
}

TEST(Utilities, FileExists)
{
    ScratchDirectory scratch;
    std::ofstream(scratch.path() + "/file") << "x";
    const std::vector<std::pair<std::string, bool>> cases = {
        {scratch.path(), true},
        {scratch.path() + "/file", true},
        {scratch.path() + "/missing", false},
        {"", false},
    };
    for (const auto& [path, exists] : cases) {
        EXPECT_EQ(fileExists(path), exists) << path;
    }
}

TEST(Utilities, CreateDirectory)
{
    ScratchDirectory scratch;
    const std::string file = scratch.path() + "/file";
    std::ofstream(file) << "keep me";

    createDirectory(scratch.path() + "/new");
    EXPECT_TRUE(fs::is_directory(scratch.path() + "/new"));
    createDirectory(scratch.path() + "/new"); // already there: nothing happens
    EXPECT_TRUE(fs::is_directory(scratch.path() + "/new"));

    // A file in the way would make every later write below it fail silently.
    expectMessage([&] { createDirectory(file); }, "Could not create directory " + file);
    std::ifstream kept(file);
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "keep me");

    // Only one level is created; the system's own error is not used for it.
    EXPECT_THROW(createDirectory(scratch.path() + "/missing/child"), std::filesystem::filesystem_error);
    EXPECT_FALSE(fs::exists(scratch.path() + "/missing"));
}

TEST(Utilities, EnvironmentIsReadOnEveryCall)
{
    EnvironmentGuard app("VEMRA_APP");
    EnvironmentGuard config("VEMRA_CONFIG");
    struct Case {
        std::optional<std::string> value;
        std::string appName;
        std::optional<std::string> configPath;
    };
    const std::vector<Case> cases = {
        {"ANTENNAS", "ANTENNAS", "ANTENNAS"},
        {std::nullopt, "", std::nullopt},
        {"", "", ""},
        {"INDUCTION", "INDUCTION", "INDUCTION"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.value.value_or("(unset)"));
        app.set(testCase.value);
        config.set(testCase.value);
        EXPECT_EQ(getAppName(), testCase.appName);
        EXPECT_EQ(getConfigPath(), testCase.configPath);
    }
}

} // namespace

// What a document names is read only when it is a regular file, never beyond
// its size; a FIFO (no writer: an open that waited would hang here) and a
// device (endless) are refused before anything blocks or is allocated.
TEST(Utilities, InputFilesAreRegularFilesReadUpToTheirSize)
{
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    std::ofstream(dir + "/text.step") << "ISO-10303-21;";
    std::ofstream(dir + "/empty.step").flush();
    fs::create_directory(dir + "/folder.step");
    ASSERT_EQ(::mkfifo((dir + "/pipe.step").c_str(), 0600), 0);
    fs::create_symlink(dir + "/text.step", dir + "/link.step");

    struct Case {
        std::string path;
        std::optional<std::string> content; // readFileContent
        std::string refusal;                // readInputFile; "" when read
    };
    const std::vector<Case> cases = {
        {dir + "/text.step", "ISO-10303-21;", ""},
        {dir + "/link.step", "ISO-10303-21;", ""},
        {dir + "/empty.step", "", "STEP file " + dir + "/empty.step is empty"},
        {dir + "/missing.step", std::nullopt,
         "Could not read STEP file " + dir + "/missing.step: No such file or directory"},
        {dir + "/folder.step", std::nullopt,
         "Could not read STEP file " + dir + "/folder.step: it is a directory, not a regular file"},
        {dir + "/pipe.step", std::nullopt,
         "Could not read STEP file " + dir + "/pipe.step: it is a FIFO, not a regular file"},
        {"/dev/zero", std::nullopt, "Could not read STEP file /dev/zero: it is a device, not a regular file"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.path);
        EXPECT_EQ(readFileContent(testCase.path), testCase.content);
        if (testCase.refusal.empty()) {
            EXPECT_EQ(readInputFile(testCase.path, "STEP"), *testCase.content);
        } else {
            expectMessage([&] { readInputFile(testCase.path, "STEP"); }, testCase.refusal);
        }
    }
}

TEST(Utilities, FilesNamedByADocumentStayInTheWorkingDirectory)
{
    ScratchDirectory scratch;
    const std::string outside = scratch.path() + "/outside.brep";
    std::ofstream(outside) << "x";
    const std::string wd = scratch.path() + "/case";
    fs::create_directories(wd + "/geometry/raw");
    fs::create_directories(wd + "/sub");
    std::ofstream(wd + "/geometry/raw/a.brep") << "x";
    fs::create_symlink(outside, wd + "/geometry/raw/out.brep");
    fs::create_symlink(wd + "/geometry/raw/a.brep", wd + "/geometry/raw/in.brep");
    fs::create_symlink(scratch.path(), wd + "/up");
    const std::string real = fs::canonical(scratch.path()).string();
    const std::string base = fs::canonical(wd).string();

    struct Case {
        std::string relative;
        std::string refusal; // after "Invalid path \"<relative>\" of entity a: "; "" when accepted
    };
    const std::vector<Case> cases = {
        {"geometry/raw/a.brep", ""},
        {"geometry/raw/in.brep", ""},
        {"geometry\\raw\\a.brep", ""},
        // The stage's own form of a path below the working directory.
        {"/geometry/raw/a.brep", ""},
        {"C:\\models\\a.brep", "the path is absolute; name the file relative to the working directory"},
        {"sub/../geometry/raw/a.brep", "the path must not contain \"..\""},
        {"../outside.brep", "the path must not contain \"..\""},
        {"..\\outside.brep", "the path must not contain \"..\""},
        {"geometry/raw/..", "the path must not contain \"..\""},
        {outside, "the path is absolute; name the file relative to the working directory"},
        {"\\\\server\\share\\a.brep", "the path is absolute; name the file relative to the working directory"},
        {"geometry/raw/out.brep", "it leads to " + real + "/outside.brep, outside the working directory " + base},
        {"up/outside.brep", "it leads to " + real + "/outside.brep, outside the working directory " + base},
        // Missing below a link that leads out: still outside.
        {"up/missing.brep", "it leads to " + real + "/missing.brep, outside the working directory " + base},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.relative);
        const std::string subject = "path \"" + testCase.relative + "\" of entity a";
        if (testCase.refusal.empty()) {
            EXPECT_EQ(fileInWorkingDirectory(wd, testCase.relative, subject), wd + "/" + testCase.relative);
        } else {
            expectMessage([&] { fileInWorkingDirectory(wd, testCase.relative, subject); },
                          "Invalid " + subject + ": " + testCase.refusal);
        }
    }
}
