#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <yaml-cpp/yaml.h>

#include "misc/YamlReader.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;

namespace {

// The node in one line: "{key: value, ...}" for maps in file order, "~" for null.
std::string flow(const YAML::Node& node)
{
    if (node.IsNull()) {
        return "~";
    }
    if (!node.IsMap()) {
        return node.as<std::string>();
    }
    std::string text;
    for (const auto& member : node) {
        text += (text.empty() ? "" : ", ") + member.first.as<std::string>() + ": " + flow(member.second);
    }
    return "{" + text + "}";
}

TEST(ReadYaml, FirstLineIsSkippedOnlyWhenItStartsTheDocument)
{
    struct Case {
        std::string what;
        std::string text;
        std::string parsed;
    };
    const std::vector<Case> cases = {
        {"marker alone", "---\nsolver: getdp\ncores: 4\n", "{solver: getdp, cores: 4}"},
        {"marker and comment", "--- # case file\nsolver: getdp\n", "{solver: getdp}"},
        {"marker and blanks, DOS line ends", "---  \r\nsolver: getdp\r\n", "{solver: getdp}"},
        // A key that would be lost if the line were skipped.
        {"dashes inside a value", "title: a---b\nsolver: getdp\n", "{title: a---b, solver: getdp}"},
        {"marker followed by content", "--- {solver: getdp}\n", "{solver: getdp}"},
        {"no marker", "solver: getdp\ncores: 4\n", "{solver: getdp, cores: 4}"},
        {"marker without a line feed", "---", "~"},
        {"empty file", "", "~"},
    };
    ScratchDirectory directory;
    const fs::path file = fs::path(directory.path()) / "case.yaml";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeText(file, c.text);
        EXPECT_EQ(flow(readYaml(file.string())), c.parsed);
    }
}

// A second document would otherwise be dropped without a word.
TEST(ReadYaml, MoreThanOneDocumentIsRefused)
{
    struct Case {
        std::string what;
        std::string text;
        std::string parsed;  // empty: refused
        int documents;
    };
    const std::vector<Case> cases = {
        {"two documents", "solver: getdp\n---\ncores: 4\n", "", 2},
        // The skipped first marker does not hide the second one.
        {"marker, then two documents", "---\nsolver: getdp\n---\ncores: 4\n", "", 2},
        {"three documents, the last empty", "a: 1\n---\nb: 2\n---\n", "", 3},
        {"document end marker, then another", "a: 1\n...\nb: 2\n", "", 2},
        // One document, closed by its end marker.
        {"one document and its end marker", "---\nsolver: getdp\n...\n", "{solver: getdp}", 1},
        {"dashes inside a value of one document", "a: ---\nb: x---\n", "{a: ---, b: x---}", 1},
    };
    ScratchDirectory directory;
    const fs::path file = fs::path(directory.path()) / "case.yaml";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeText(file, c.text);
        if (c.parsed.empty()) {
            expectMessage([&] { readYaml(file.string()); },
                          "YAML file " + file.string() + " holds " + std::to_string(c.documents) +
                              " documents; only one is read");
        } else {
            EXPECT_EQ(flow(readYaml(file.string())), c.parsed);
        }
    }
}

TEST(ReadYaml, FilesThatCannotBeOpenedOrParsed)
{
    ScratchDirectory directory;
    // A FIFO without a writer: an open that waited for one would hang here.
    const std::string fifo = directory.path() + "/pipe.yaml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string path : {directory.path() + "/missing dir/../no such.yaml", directory.path(), fifo,
                                   std::string("/dev/zero"), std::string()}) {
        SCOPED_TRACE(path);
        expectMessage([&] { readYaml(path); }, "Could not open file: " + path);
    }

    const fs::path broken = fs::path(directory.path()) / "broken.yaml";
    writeText(broken, "---\nsolver: [getdp, \n");
    EXPECT_THROW(readYaml(broken.string()), YAML::ParserException);
}

} // namespace
