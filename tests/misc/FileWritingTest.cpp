#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "misc/FileWriting.h"
#include "misc/ParallelFor.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;

namespace {

TEST(WriteFileContent, WritesTheBytesAndReplacesAnOlderFile)
{
    ScratchDirectory directory;
    const std::string path = directory.path() + "/side.txt";
    writeText(path, std::string(1000, 'x'));
    const std::string content("line\r\nNUL\0inside\n", 17);
    writeFileContent(path, content);
    EXPECT_EQ(contentOf(path), content);
    writeFileContent(path, "");
    EXPECT_EQ(contentOf(path), "");
}

// Each failure names the path and the system's reason, on whichever thread
// the write ran; the loop raises the lowest failing index's.
TEST(WriteFileContent, FailuresNameThePathAndTheReasonOnEveryThread)
{
    ScratchDirectory directory;
    writeText(directory.path() + "/file", "in the way");
    struct Case {
        std::string path;
        std::string reason; // empty: written
    };
    const std::vector<Case> cases = {
        {directory.path() + "/sound.txt", ""},
        {"/dev/full", "No space left on device"},
        {directory.path() + "/file/below", "Not a directory"},
        {directory.path() + "/missing/side.txt", "No such file or directory"},
        {directory.path(), "Is a directory"},
    };
    std::vector<std::string> messages(cases.size());
    parallelFor(static_cast<int>(cases.size()), [&](int i) {
        messages[static_cast<std::size_t>(i)] =
            thrownMessage([&] { writeFileContent(cases[static_cast<std::size_t>(i)].path, "text\n"); });
    });
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].path);
        EXPECT_EQ(messages[i], cases[i].reason.empty()
                                   ? "<no exception>"
                                   : "Could not write file " + cases[i].path + ": " + cases[i].reason);
    }
    EXPECT_EQ(contentOf(cases[0].path), "text\n");

    expectMessage(
        [&] {
            parallelFor(static_cast<int>(cases.size()),
                        [&](int i) { writeFileContent(cases[static_cast<std::size_t>(i)].path, "text\n"); });
        },
        "Could not write file /dev/full: No space left on device");
}

} // namespace
