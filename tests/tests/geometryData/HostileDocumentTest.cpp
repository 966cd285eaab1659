// Hostile documents built here, run through the driver's case runner on
// scratch copies: each ends in its exact outcome, never a crash, and nothing
// is written outside the working copy.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <BRepPrimAPI_MakeBox.hxx>
#include <TopExp_Explorer.hxx>
#include <gp_Pnt.hxx>
#include <nlohmann/json.hpp>

#include "CaseSupport.h"
#include "support/DirectorySnapshot.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "topology/ShapeAlgorithms.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

const fs::path storedCase = storedCases / "test02";

void editExpected(const fs::path& reference, const std::function<void(json&)>& edit)
{
    editJson(reference / "result.json", edit);
}

json& entryNamed(json& list, const std::string& name)
{
    for (auto& entry : list) {
        if (entry.at("name") == name) {
            return entry;
        }
    }
    throw std::runtime_error("no entry " + name);
}

// `levels` arrays one inside the other, as text: such a value is never built
// as a document here, since copying it would recurse once per level.
std::string nestedArrays(int levels)
{
    return std::string(static_cast<std::size_t>(levels), '[') + std::string(static_cast<std::size_t>(levels), ']');
}

// Puts raw text in place of the member `key` (given as the placeholder "@key@").
void spliceText(const fs::path& file, const std::string& placeholder, const std::string& text)
{
    std::string content = contentOf(file);
    const std::string quoted = "\"" + placeholder + "\"";
    const auto at = content.find(quoted);
    ASSERT_NE(at, std::string::npos);
    content.replace(at, quoted.size(), text);
    writeText(file, content);
}

// A domain whose "mergedFrom" holds a group that holds one, `levels` deep.
std::string mergedChain(int levels)
{
    std::string text;
    for (int i = 0; i < levels; ++i) {
        text += R"({"name":"g)" + std::to_string(i) + R"(","entities":["small"],"mergedFrom":[)";
    }
    text += R"({"name":"last","entities":["small"]})";
    for (int i = 0; i < levels; ++i) {
        text += "]}";
    }
    return text;
}

struct Hostile {
    std::string name;
    std::function<void(const fs::path& reference)> build;
    std::string lastLine; // "TEST01 passed", or what follows "Exception  " (working copy as <wd>)
};

std::string replaceWorking(std::string text, const std::string& working)
{
    const auto at = text.find("<wd>");
    return at == std::string::npos ? text : text.replace(at, 4, working);
}

const std::string idRange = ": an id must be an integer from -2147483648 to 2147483647.";

const std::vector<Hostile> hostileDocuments = {
    // Nesting.
    {"raw document nested 100,000 deep",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { raw["variables"] = "@deep@"; });
         spliceText(rawFile(r), "@deep@", nestedArrays(100000));
     },
     "Exception  The JSON document <wd>/geometry/raw/RawGeometryData.json is nested deeper than 256 levels."},
    {"\"mergedFrom\" nested 4,000 deep",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { raw["domains"] = {"@chain@"}; });
         spliceText(rawFile(r), "@chain@", mergedChain(4000));
     },
     "Exception  The JSON document <wd>/geometry/raw/RawGeometryData.json is nested deeper than 256 levels."},
    {"expected result nested 100,000 deep",
     [](const fs::path& r) { writeText(r / "result.json", nestedArrays(100000)); },
     "Exception  The JSON document <wd>/result.json is nested deeper than 256 levels."},
    {"raw document and result nested 256 deep",
     [](const fs::path& r) {
         // The document's own object is the first level.
         json deep = 1;
         for (int i = 0; i < 255; ++i) {
             deep = json::array({deep});
         }
         editRaw(r, [&](json& raw) { raw["variables"] = deep; });
         editExpected(r, [&](json& expected) { expected["variables"] = deep; });
     },
     "TEST01 passed"},

    // Ids.
    {"entity id 2147483648",
     [](const fs::path& r) { editRaw(r, [](json& raw) { entryNamed(raw["solids"], "large")["id"] = 2147483648u; }); },
     "Exception  Invalid id 2147483648 of entity large" + idRange},
    {"entity id 4294967296",
     [](const fs::path& r) { editRaw(r, [](json& raw) { entryNamed(raw["solids"], "small")["id"] = 4294967296u; }); },
     "Exception  Invalid id 4294967296 of entity small" + idRange},
    {"entity id -0.5",
     [](const fs::path& r) { editRaw(r, [](json& raw) { entryNamed(raw["faces"], "contactFace")["id"] = -0.5; }); },
     "Exception  Invalid id -0.5 of entity contactFace" + idRange},
    {"group id 2147483648",
     [](const fs::path& r) { editRaw(r, [](json& raw) { entryNamed(raw["domains"], "pair")["id"] = 2147483648u; }); },
     "Exception  Invalid id 2147483648 of group pair" + idRange},
    {"\"mergedFrom\" group id -2147483649",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) {
             entryNamed(raw["domains"], "pair")["mergedFrom"] = {
                 {{"name", "part"}, {"entities", {"small"}}, {"id", -2147483649LL}}};
         });
     },
     "Exception  Invalid id -2147483649 of group part" + idRange},
    // contactFace 1, sideFace the largest id: small, without one, gets none.
    {"no entity id left",
     [](const fs::path& r) { editRaw(r, [](json& raw) { entryNamed(raw["faces"], "sideFace")["id"] = 2147483647; }); },
     "Exception  No id is left for a new entity: the ids in use reach 2147483647, the largest id there is."},
    // The default boundary of sideFace needs the id after contact's.
    {"no group id left",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { entryNamed(raw["boundaries"], "contact")["id"] = 2147483647; });
     },
     "Exception  No id is left for group sideFace: the ids in use reach 2147483647, the largest id there is."},
    // The extremes themselves are ids like any other: written back as they are.
    {"entity id 2147483647",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { entryNamed(raw["solids"], "large")["id"] = 2147483647; });
         editExpected(r, [](json& expected) { entryNamed(expected["solids"], "large")["id"] = 2147483647; });
     },
     "TEST01 passed"},
    {"entity id -2147483648",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { entryNamed(raw["solids"], "large")["id"] = -2147483648LL; });
         editExpected(r, [](json& expected) { entryNamed(expected["solids"], "large")["id"] = -2147483648LL; });
     },
     "TEST01 passed"},

    // NUL: the file system would see the text up to it, the file that exists.
    {"NUL in an entity path",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) {
             entryNamed(raw["solids"], "large")["path"] = std::string("geometry/raw/large.brep\0.txt", 28);
         });
     },
     "Exception  Invalid path \"geometry/raw/large.brep\\0.txt\" of entity large: a path must not contain NUL"},
    {"NUL in a CAD file name",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) {
             raw["operate"] = {{{"function", "readCADfiles"},
                                {"fileNames", {std::string("geometry/raw/large.brep\0.step", 29)}}}};
         });
     },
     "Exception  Invalid CAD file name \"geometry/raw/large.brep\\0.step\": a CAD file name must not contain NUL"},

    // Files only inside the working copy (the copy itself follows links and
    // refuses FIFOs: those are met below the driver, in the model's tests).
    {"entity path with ../",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { entryNamed(raw["solids"], "large")["path"] = "geometry/../../reference/large.brep"; });
     },
     "Exception  Invalid path \"geometry/../../reference/large.brep\" of entity large: the path must not contain "
     "\"..\""},
    {"absolute entity path",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { entryNamed(raw["solids"], "large")["path"] = "/etc/hostname"; });
     },
     "Exception  Invalid path \"/etc/hostname\" of entity large: the path is absolute; name the file "
     "relative to the working directory"},
    {"empty STEP file",
     [](const fs::path& r) {
         writeText(r / "model.step", "");
         editRaw(r, [](json& raw) { raw["operate"] = {{{"function", "readCADfiles"}, {"fileNames", {"model.step"}}}}; });
     },
     "Exception  STEP file <wd>/model.step is empty"},
    {"empty raw document", [](const fs::path& r) { writeText(rawFile(r), ""); },
     "Exception  JSON file <wd>/geometry/raw/RawGeometryData.json is empty"},
    {"no expected result", [](const fs::path& r) { fs::remove(r / "result.json"); },
     "Exception  Could not read JSON file <wd>/result.json: No such file or directory"},

    // "dimensions" and the lists agree.
    {"\"dimensions\" 2 over solids", [](const fs::path& r) { editRaw(r, [](json& raw) { raw["dimensions"] = 2; }); },
     "Exception  Invalid \"dimensions\" 2: the highest kind of entity listed is solids (entity small under "
     "\"solids\", dimension 3)."},
    {"\"dimensions\" 1.5", [](const fs::path& r) { editRaw(r, [](json& raw) { raw["dimensions"] = 1.5; }); },
     "Exception  Invalid \"dimensions\" 1.5: it must be a whole number from 1 to 3."},
    {"shell under \"solids\"",
     [](const fs::path& r) {
         const TopoDS_Shape box = BRepPrimAPI_MakeBox(gp_Pnt(5, 0, 0), 1, 1, 1).Shape();
         writeBrepFile(TopExp_Explorer(box, TopAbs_SHELL).Current(), (r / "geometry/raw/hull.brep").string());
         editRaw(r, [](json& raw) { raw["solids"].push_back({{"name", "hull"}, {"path", "geometry/raw/hull.brep"}}); });
     },
     "Exception  Entity hull listed under \"solids\" is not a solid: its file holds a shell."},

    // The library's errors name the value's place.
    {"wrong type for a nested key",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { raw["operate"] = {{{"function", "addAir"}, {"padding", "1"}}}; });
     },
     "Exception  [json.exception.type_error.302] (/operate/0/padding) type must be number, but is string"},
    {"wrong type deep in a group",
     [](const fs::path& r) { editRaw(r, [](json& raw) { entryNamed(raw["domains"], "pair")["entities"][1] = 7; }); },
     "Exception  [json.exception.type_error.302] (/domains/0/entities/1) type must be string, but is number"},

    // Values the kernel cannot hold; the model's box is [0,3]x[0,2]x[0,2].
    {"scale 1e300",
     [](const fs::path& r) { editRaw(r, [](json& raw) { raw["operate"] = {{{"function", "scale"}, {"scale", 1e300}}}; }); },
     "Exception  Invalid \"scale\" 1e+300: it would put the model's coordinates at 3e+300, beyond the kernel's "
     "range (1e+100)."},
    // Judged on the model as each factor meets it: the first already breaks it.
    {"scale 1e150 then 1e-150",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) {
             raw["operate"] = {{{"function", "scale"}, {"scale", 1e150}}, {{"function", "scale"}, {"scale", 1e-150}}};
         });
     },
     "Exception  Invalid \"scale\" 1e+150: it would put the model's coordinates at 3e+150, beyond the kernel's "
     "range (1e+100)."},
    // The smallest double, 4.94066e-324, times the box's side 3: 1.482197e-323, shown to six digits.
    {"scale 5e-324",
     [](const fs::path& r) { editRaw(r, [](json& raw) { raw["operate"] = {{{"function", "scale"}, {"scale", 5e-324}}}; }); },
     "Exception  Invalid \"scale\" 4.94066e-324: it would shrink the model to 1.4822e-323, below the kernel's "
     "confusion distance (1e-07)."},
    {"padding 1e200",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { raw["operate"] = {{{"function", "addAir"}, {"padding", 1e200}}}; });
     },
     "Exception  Invalid \"padding\" 1e+200 for addAir: the air would reach 1e+200, beyond the kernel's range "
     "(1e+100)."},

    // A duplicated group name is named.
    {"duplicated group name",
     [](const fs::path& r) {
         editRaw(r, [](json& raw) { raw["boundaries"].push_back({{"name", "pair"}, {"entities", {"sideFace"}}}); });
     },
     "Exception  Names of boundaries and domains are not unique! Please rename boundaries or domains! The name pair "
     "is used twice."},
};

TEST(HostileDocuments, EachEndsInItsExactOutcome)
{
    for (const auto& hostile : hostileDocuments) {
        SCOPED_TRACE(hostile.name);
        const ScratchDirectory scratch;
        const fs::path reference = fs::path(scratch.path()) / "reference";
        const fs::path working = fs::path(scratch.path()) / "current";
        fs::copy(storedCase, reference, fs::copy_options::recursive);
        hostile.build(reference);
        const auto before = directorySnapshot(reference);

        const RunResult result = run(reference, working);
        const std::string& output = result.output;

        const std::string expected = replaceWorking(hostile.lastLine, working.string());
        const bool passes = expected == "TEST01 passed";
        EXPECT_EQ(result.exitCode, passes ? 0 : 1) << output;
        if (passes) {
            // The timer's scope line is logged after the verdict.
            EXPECT_NE(output.find("\nTEST01 passed\n"), std::string::npos) << output;
        } else {
            const std::string trimmed = output.substr(0, output.find_last_not_of('\n') + 1);
            EXPECT_EQ(trimmed.substr(trimmed.rfind('\n') + 1), expected) << output;
            EXPECT_EQ(output.find("TEST01"), std::string::npos) << output;
        }
        EXPECT_EQ(directorySnapshot(reference), before);
        EXPECT_EQ(filesIn(scratch.path()), (std::set<std::string>{"current", "reference"}));
    }
}

// The expected document is read last: the model was built and converted.
TEST(HostileDocuments, DeepExpectedResultIsFoundAfterBothSections)
{
    const ScratchDirectory scratch;
    const fs::path reference = fs::path(scratch.path()) / "reference";
    fs::copy(storedCase, reference, fs::copy_options::recursive);
    writeText(reference / "result.json", nestedArrays(100000));
    const RunResult result = run(reference, scratch.path() + "/current");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find(" Parsing json. "), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("\nConstructing geometryData.json. "), std::string::npos) << result.output;
}

} // namespace
