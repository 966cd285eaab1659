#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "misc/JsonLimits.h"
#include "support/Environment.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

using nlohmann::json;

namespace {

// `levels` arrays, or objects under the key "k", one inside the other.
std::string nested(int levels, bool objects)
{
    std::string text;
    for (int i = 0; i < levels; ++i) {
        text += objects ? "{\"k\":" : "[";
    }
    text += "1";
    for (int i = 0; i < levels; ++i) {
        text += objects ? "}" : "]";
    }
    return text;
}

// Dumps go to a scratch TEMP of their own.
class JsonLimits : public ::testing::Test {
protected:
    ScratchDirectory temp;
    EnvironmentGuard tempVariable{"TEMP", temp.path()};
};

TEST_F(JsonLimits, DocumentsDeeperThan256LevelsAreRefused)
{
    struct Case {
        const char* name;
        std::string text;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"scalar", "7", true},
        {"256 arrays", nested(256, false), true},
        {"256 objects", nested(256, true), true},
        {"257 arrays", nested(257, false), false},
        {"257 objects", nested(257, true), false},
        {"deep inside a wide document", "{\"a\":[1,2,3],\"b\":" + nested(256, true) + "}", false},
        // 200 KB of brackets: refused at level 257, never built.
        {"100,000 arrays", nested(100000, false), false},
        {"100,000 arrays, not closed", std::string(100000, '['), false},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        std::istringstream stream(testCase.text);
        if (testCase.accepted) {
            json document;
            ASSERT_NO_THROW(document = parseJsonLimited(stream, "doc.json"));
            // What the depth limit protects: copying, comparing and writing recurse.
            const json copy = document;
            EXPECT_EQ(copy, json::parse(testCase.text));
            EXPECT_EQ(copy.dump(), testCase.text);
        } else {
            expectMessage([&] { parseJsonLimited(stream, "/case/doc.json"); },
                          "The JSON document /case/doc.json is nested deeper than 256 levels.");
        }
    }
}

TEST_F(JsonLimits, SyntaxErrorsStayTheLibrarysOwn)
{
    for (const std::string& text : std::vector<std::string>{"", "{", "[1,]", nested(10, false) + "]"}) {
        SCOPED_TRACE(text);
        std::istringstream stream(text);
        EXPECT_THROW(parseJsonLimited(stream, "doc.json"), json::parse_error);
    }
}

TEST_F(JsonLimits, IdsMustBeIntegersWithinTheRangeOfInt)
{
    struct Case {
        const char* entry;
        int id;                 // when accepted
        const char* refused;    // the message, or null
    };
    const std::string range = ": an id must be an integer from -2147483648 to 2147483647.";
    const std::vector<Case> cases = {
        {R"({})", 0, nullptr},
        {R"({"id":7})", 7, nullptr},
        {R"({"id":0})", 0, nullptr},
        {R"({"id":2147483647})", 2147483647, nullptr},
        {R"({"id":-2147483648})", std::numeric_limits<int>::min(), nullptr},
        {R"({"id":3.0})", 3, nullptr},
        {R"({"id":-2e3})", -2000, nullptr},
        {R"({"id":2147483648})", 0, "Invalid id 2147483648 of entity Solid_1"},
        {R"({"id":4294967296})", 0, "Invalid id 4294967296 of entity Solid_1"},
        {R"({"id":-2147483649})", 0, "Invalid id -2147483649 of entity Solid_1"},
        {R"({"id":18446744073709551615})", 0, "Invalid id 18446744073709551615 of entity Solid_1"},
        {R"({"id":-0.5})", 0, "Invalid id -0.5 of entity Solid_1"},
        {R"({"id":2147483647.5})", 0, "Invalid id 2147483647.5 of entity Solid_1"},
        {R"({"id":1e300})", 0, "Invalid id 1e+300 of entity Solid_1"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.entry);
        const json entry = json::parse(testCase.entry);
        if (testCase.refused == nullptr) {
            EXPECT_EQ(readId(entry, "entity Solid_1"), testCase.id);
            continue;
        }
        expectMessage([&] { readId(entry, "entity Solid_1"); }, std::string(testCase.refused) + range);
    }
    // Not a number at all: the library's type error, a boolean included.
    for (const char* entry : {R"({"id":true})", R"({"id":"5"})", R"({"id":null})", R"({"id":[1]})"}) {
        SCOPED_TRACE(entry);
        EXPECT_THROW(readId(json::parse(entry), "group g"), json::type_error);
    }
}

TEST_F(JsonLimits, TheNextIdNeverOverflows)
{
    EXPECT_EQ(idAfter(0, "a new entity"), 1);
    EXPECT_EQ(idAfter(-1, "a new entity"), 0);
    EXPECT_EQ(idAfter(2147483646, "a new entity"), 2147483647);
    expectMessage([] { idAfter(2147483647, "group sideFace"); },
                  "No id is left for group sideFace: the ids in use reach 2147483647, the largest id there is.");
}

TEST_F(JsonLimits, PathsHoldingNulAreRefused)
{
    EXPECT_NO_THROW(checkNoNul("geometry/raw/a b.brep", "path", "entity a"));
    EXPECT_NO_THROW(checkNoNul("", "path", "entity a"));
    struct Case {
        std::string text;
        const char* owner;
        const char* message;
    };
    const std::vector<Case> cases = {
        {std::string("geometry/raw/large.brep\0.txt", 28), "entity large",
         "Invalid path \"geometry/raw/large.brep\\0.txt\" of entity large: a path must not contain NUL"},
        {std::string("\0", 1), "entity e", "Invalid path \"\\0\" of entity e: a path must not contain NUL"},
        {std::string("a\0b\0", 4), "", "Invalid path \"a\\0b\\0\": a path must not contain NUL"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.message);
        expectMessage([&] { checkNoNul(testCase.text, "path", testCase.owner); }, testCase.message);
    }
}

} // namespace

// A document file that cannot be read or parsed is named in the refusal; a
// syntax error stays the library's parse error with its position.
TEST_F(JsonLimits, DocumentFilesAreNamedInEveryRefusal)
{
    const std::string dir = temp.path();
    writeText(dir + "/good.json", "{\"a\": [1, 2]}");
    writeText(dir + "/empty.json", "");
    writeText(dir + "/bad.json", "[1,\n2,]");
    writeText(dir + "/deep.json", nested(300, false));
    std::filesystem::create_directory(dir + "/folder.json");

    EXPECT_EQ(parseJsonFile(dir + "/good.json"), json::parse("{\"a\": [1, 2]}"));
    const std::vector<std::pair<std::string, std::string>> refusals = {
        {"missing.json", "Could not read JSON file " + dir + "/missing.json: No such file or directory"},
        {"empty.json", "JSON file " + dir + "/empty.json is empty"},
        {"folder.json", "Could not read JSON file " + dir + "/folder.json: it is a directory, not a regular file"},
        {"deep.json", "The JSON document " + dir + "/deep.json is nested deeper than 256 levels."},
    };
    for (const auto& [file, message] : refusals) {
        SCOPED_TRACE(file);
        expectMessage([&] { parseJsonFile(dir + "/" + file); }, message);
    }
    try {
        parseJsonFile(dir + "/bad.json");
        ADD_FAILURE() << "no exception";
    } catch (const json::parse_error& error) {
        EXPECT_EQ(error.id, 101);
        EXPECT_EQ(error.byte, 7u);
        EXPECT_EQ(std::string(error.what()), "[json.exception.parse_error.101] parse error at line 2, column 3: " + dir +
                                                 "/bad.json: syntax error while parsing value - unexpected ']'; "
                                                 "expected '[', '{', or a literal");
    }
}
