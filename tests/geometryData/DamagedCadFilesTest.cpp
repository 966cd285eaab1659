// Shapes that enter the model from a CAD file are checked once the reader has
// converted them to millimetres, before the repair and the fuse.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>

#include <TopLoc_Location.hxx>
#include <gp_Trsf.hxx>

#include "geometryData/GeometryData.h"
#include "geometryData/TopoEntity.h"
#include "ModelQueries.h"
#include "support/CadFiles.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/IgesText.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "topology/ShapeAlgorithms.h"

TEST(DamagedCadFiles, ShapesBeyondTheKernelsRangeAfterTheUnitAreRefused)
{
    const std::string directory = freshDirectory("damaged-cad-files");
    // A cube at x = 5e99 written in millimetres, the file's unit then turned
    // into metres: within range in the file, 5e102 once the reader has
    // converted it to millimetres.
    gp_Trsf far;
    far.SetTranslation(gp_Vec(5e99, 0, 0));
    writeStepFile(unitCube().Moved(TopLoc_Location(far)), directory + "/far.step");
    const std::string millimetres = "SI_UNIT(.MILLI.,.METRE.)";
    std::string text = contentOf(directory + "/far.step");
    const std::size_t unit = text.find(millimetres);
    ASSERT_NE(unit, std::string::npos);
    writeText(directory + "/far.step", text.replace(unit, millimetres.size(), "SI_UNIT($,.METRE.)"));
    writeStepFile(unitCube(), directory + "/cube.step");
    GeometryData model(directory);
    expectMessage([&] { model.readCADfiles({"cube.step", "far.step"}); },
                  "CAD file far.step: a vertex holds the number 5e+102, not a finite number within the kernel's range");
    EXPECT_TRUE(model.getEntities().empty());
    EXPECT_FALSE(std::filesystem::exists(directory + "/geometry/raw"));
}

// A file that declares solids its shape does not hold after the transfer:
// the faces they left are sewn back into sound solids, or the file is refused
// with the counts. It never becomes a model of loose faces.
TEST(DamagedCadFiles, DeclaredSolidsAreRebuiltFromTheirFacesOrTheFileIsRefused)
{
    const std::string directory = freshDirectory("damaged-cad-declared-solids");
    writeIges(unitCube(), directory + "/cube.igs", 1);
    const IgesText cube(contentOf(directory + "/cube.igs"));
    const int shell = cube.entityOfType(514);
    const int firstFace = cube.entityOfType(510);
    writeStepFile(unitCube(), directory + "/cube.step");
    const std::string step = contentOf(directory + "/cube.step");

    const struct {
        const char* name;
        std::function<std::string()> damaged;
        std::string message; // empty: read as one unit cube
    } cases[] = {
        // The face the shell no longer lists is read on its own: all six close.
        {"five.igs",
         [&] {
             IgesText t(cube);
             t.replaceInParameters(shell, "514,6,", "514,5,");
             return t.text();
         },
         ""},
        {"one face six times.igs",
         [&] {
             IgesText t(cube);
             const std::string f = std::to_string(firstFace);
             t.setParameters(shell, "514,6," + f + ",1," + f + ",1," + f + ",1," + f + ",1," + f + ",1," + f + ",1;");
             return t.text();
         },
         ""},
        // Five faces of a cube enclose nothing.
        {"missing face.step",
         [&] {
             std::smatch shellList;
             std::string text = step;
             const std::regex closedShell("CLOSED_SHELL\\('',\\((#[0-9]+),");
             EXPECT_TRUE(std::regex_search(text, shellList, closedShell));
             return text.replace(static_cast<std::size_t>(shellList.position(1)), shellList.length(1) + 1, "");
         },
         "CAD file missing face.step declares 1 solid, 0 could be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeText(directory + "/" + c.name, c.damaged());
        GeometryData model(directory);
        if (c.message.empty()) {
            model.readCADfiles({c.name});
            const auto solids = ofDimension(model, solidDimension);
            ASSERT_EQ(solids.size(), 1u);
            EXPECT_NEAR(volumeOf(solids[0]->getShape()), 1.0, 1e-7);
            EXPECT_EQ(ofDimension(model, faceDimension).size(), 6u);
        } else {
            expectMessage([&] { model.readCADfiles({c.name}); }, c.message);
            EXPECT_TRUE(model.getEntities().empty());
        }
    }
}
