// Damaged CAD and BREP input in a copy of a stored case, end to end: the run
// ends in the driver's one "Exception  " line naming the file, with exit code
// 1, and the reference copy is left as it was.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CaseSupport.h"
#include "support/DirectorySnapshot.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "topology/ShapeAlgorithms.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

const fs::path test02 = storedCases / "test02";

fs::path scratch(const std::string& name) { return clearedPath("damaged-case-" + name); }

// The file with the first match of the pattern's group 1 replaced.
void replaceIn(const fs::path& file, const std::string& pattern, const std::string& replacement)
{
    const auto replaced = replacedGroup(contentOf(file), std::regex(pattern), replacement);
    ASSERT_TRUE(replaced) << pattern;
    writeText(file, *replaced);
}

// Adds a STEP box to the case, read by the document's "operate".
void readStepBox(const fs::path& reference, const std::string& pattern, const std::string& replacement)
{
    writeStepFile(boxAt(0, 0, 0, 1, 2, 3), (reference / "part.step").string());
    replaceIn(reference / "part.step", pattern, replacement);
    editRaw(reference, [](json& raw) {
        raw["operate"] = {{{"function", "readCADfiles"}, {"fileNames", {"part.step"}}}};
    });
}

} // namespace

TEST(DamagedInputCase, EndsInOneExceptionLineAndExitCodeOne)
{
    const fs::path working = scratch("working");
    const std::string large = working.string() + "/geometry/raw/large.brep";
    const std::string step = working.string() + "/part.step";
    const fs::path largeOf = "geometry/raw/large.brep";
    const std::string outOfRange = ", not a finite number within the kernel's range";
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> spoil;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"BREP cut short",
         [&](const fs::path& r) {
             const std::string text = contentOf(r / largeOf);
             writeText(r / largeOf, text.substr(0, text.size() * 97 / 100));
         },
         "Could not read BREP file " + large + ": the file ends before the shape is complete"},
        {"BREP announcing a billion curves",
         [&](const fs::path& r) { replaceIn(r / largeOf, R"(\nCurves (\d+)\n)", "999999999"); },
         "Could not read BREP file " + large + ": the section \"Curves 999999999\" announces more items than the "},
        {"BREP with changed digits",
         [&](const fs::path& r) { replaceIn(r / largeOf, R"(\nCurve2ds \d+\n(1 0 0 1 0) \n)", "9 0 -2 1 0"); },
         "Could not read BREP file " + large + ": damaged geometry section (curve type \"-2\")"},
        {"BREP vertex far out",
         [&](const fs::path& r) { replaceIn(r / largeOf, R"(\nVe\n[^\n]+\n([^\n]+)\n)", "1 1e300 2"); },
         "BREP file " + large + ": a vertex holds the number 1e+300" + outOfRange},
        // The first line runs along z through (1, 0, 0): its direction is read as (nan, 0, 1).
        {"BREP curve holding NaN",
         [&](const fs::path& r) { replaceIn(r / largeOf, R"(\nCurves \d+\n1 1 0 0 (0) 0 1 \n)", "nan"); },
         "BREP file " + large + ": an edge holds the number "},
        {"BREP curve holding 1e300",
         [&](const fs::path& r) { replaceIn(r / largeOf, R"(\nCurves \d+\n1 1 (0) 0 0 0 1 \n)", "1e300"); },
         "BREP file " + large + ": an edge holds the number 1e+300" + outOfRange},
        {"STEP reference to nothing",
         [&](const fs::path& r) { readStepBox(r, R"(#\d+ = VERTEX_POINT\('',(#\d+)\);)", "#999999"); },
         "Could not read STEP file " + step + ": Unresolved Reference, Ent.Id.#"},
        {"STEP point at 1e308",
         [&](const fs::path& r) {
             readStepBox(r, R"(#\d+ = CARTESIAN_POINT\('',\([^,()]+,[^,()]+,([^,()]+)\)\);)", "1.E308");
         },
         "Could not read STEP file " + step + ": point #"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path reference = scratch("reference");
        fs::copy(test02, reference, fs::copy_options::recursive);
        c.spoil(reference);
        const auto before = directorySnapshot(reference);

        const RunResult result = run(reference, working);

        EXPECT_EQ(result.exitCode, 1);
        const auto line = exceptionLine(result.output);
        ASSERT_TRUE(line) << result.output;
        EXPECT_EQ(line->rfind("Exception  " + c.message, 0), 0u) << *line;
        EXPECT_EQ(result.output.find("TEST01"), std::string::npos) << result.output;
        EXPECT_EQ(directorySnapshot(reference), before);
        fs::remove_all(reference);
    }
    fs::remove_all(working);
}
