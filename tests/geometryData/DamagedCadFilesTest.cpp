// Shapes that enter the model from a CAD file are checked once the reader has
// converted them to millimetres, before the repair and the fuse.

#include <gtest/gtest.h>

#include <filesystem>

#include <TopLoc_Location.hxx>
#include <gp_Trsf.hxx>

#include "geometryData/GeometryData.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
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
