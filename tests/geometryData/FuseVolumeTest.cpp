// No fuse or glue loses geometry without a word: empty solids are dropped with
// a warning on every road, and a result that lost or inverted volume raises.

#include <gtest/gtest.h>

#include "GroupFixtures.h"
#include "geometryData/GeneralFuse.h"
#include "geometryData/GeometryData.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "support/Exceptions.h"
#include "support/LogCapture.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"

using groupFixtures::entity;

namespace {

const std::string dropped = "An empty solid (without faces) takes no part in the fuse and is dropped";

TopTools_ListOfShape listOf(const std::vector<TopoDS_Shape>& shapes)
{
    TopTools_ListOfShape list;
    for (const TopoDS_Shape& shape : shapes) {
        list.Append(shape);
    }
    return list;
}

} // namespace

TEST(FuseVolume, ResultsThatInvertOrLoseVolumeRaise)
{
    // Arguments: a unit cube and a 2 x 1 x 1 box; the largest solid holds 2.
    const TopTools_ListOfShape arguments = listOf({unitCube(), boxAt(5, 0, 0, 2, 1, 1)});
    const struct {
        const char* name;
        TopoDS_Shape result;
        std::string message; // empty: accepted
    } cases[] = {
        {"both kept", compoundOf(unitCube(), boxAt(5, 0, 0, 2, 1, 1)), ""},
        {"the largest alone", boxAt(5, 0, 0, 2, 1, 1), ""},
        {"within the tolerance", boxAt(5, 0, 0, 2 * (1 - 5e-7), 1, 1), ""},
        {"a cube lost", compoundOf(unitCube(), boxAt(5, 0, 0, 0.5, 1, 1)),
         "General fuse failed: the solids of the result hold a volume of 1.5, less than the largest solid given (2)"},
        {"just beyond the tolerance", boxAt(5, 0, 0, 2 * (1 - 2e-6), 1, 1),
         "General fuse failed: the solids of the result hold a volume of 1.999996, less than the largest solid given "
         "(2)"},
        {"an inverted solid", compoundOf(boxAt(5, 0, 0, 3, 1, 1), unitCube().Reversed()),
         "General fuse failed: the result holds a solid of non-positive volume -1"},
        {"a solid of no volume", compoundOf(boxAt(5, 0, 0, 3, 1, 1), emptySolid()),
         "General fuse failed: the result holds a solid of non-positive volume 0"},
        {"nothing", TopoDS_Shape(),
         "General fuse failed: the solids of the result hold a volume of 0, less than the largest solid given (2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.message.empty()) {
            EXPECT_NO_THROW(checkVolumeKept(arguments, c.result, "General fuse"));
        } else {
            expectMessage([&] { checkVolumeKept(arguments, c.result, "General fuse"); }, c.message);
        }
    }
    // Faces and edges hold no volume: nothing to keep.
    EXPECT_NO_THROW(checkVolumeKept(listOf({squareAt(0, 0, 0), lineEdge(1)}), squareAt(0, 0, 0), "Gluing"));
}

TEST(FuseVolume, KernelResultsThatLoseVolumeNeverBecomeTheShape)
{
    // Given an empty solid beside two overlapping unit cubes, the kernel
    // returns one inverted solid of volume -1.5 without an alert.
    const TopTools_ListOfShape withEmpty = listOf({unitCube(), emptySolid(), boxAt(0.5, 0, 0)});
    GeneralFuseOptions plain;
    expectMessage([&] { runGeneralFuse(withEmpty, plain); },
                  "General fuse failed: the result holds a solid of non-positive volume -1.5");
    GeneralFuseOptions glue;
    glue.glue = BOPAlgo_GlueShift;
    glue.operation = "Gluing";
    expectMessage([&] { runGeneralFuse(withEmpty, glue); },
                  "Gluing failed: the result holds a solid of non-positive volume -1.5");
}

TEST(FuseVolume, EmptySolidsAreDroppedWithAWarningOnEveryRoad)
{
    // Two unit cubes overlapping by half: three pieces of 0.5, 1.5 in all.
    const std::vector<TopoDS_Shape> shapes = {unitCube(), emptySolid(), compoundOf(boxAt(0.5, 0, 0), emptySolid())};
    const auto roads = std::vector<std::pair<const char*, std::function<TopoDS_Shape(ShapeList&)>>>{
        {"fuse", [](ShapeList& list) { return list.fuse(); }},
        {"glue", [](ShapeList& list) { return list.glue(); }},
    };
    for (const auto& [name, road] : roads) {
        SCOPED_TRACE(name);
        ShapeList list;
        for (const TopoDS_Shape& shape : shapes) {
            list.add(shape);
        }
        const LogCapture warnings(el::Level::Warning);
        const TopoDS_Shape result = road(list);
        EXPECT_EQ(countOf(result, TopAbs_SOLID), 3);
        EXPECT_NEAR(volumeOf(result), 1.5, 1e-9);
        EXPECT_EQ(warnings.containing(dropped).size(), 2u);
    }

    // The partition of entities, one of them an empty solid.
    const std::string directory = freshDirectory("fuse-volume/partition");
    GeometryData model(directory);
    model.addEntity(entity(unitCube(), "left"));
    model.addEntity(entity(emptySolid(), "hollow"));
    model.addEntity(entity(boxAt(0.5, 0, 0), "right"));
    {
        const LogCapture warnings(el::Level::Warning);
        model.partition();
        EXPECT_EQ(warnings.containing(dropped).size(), 1u);
    }
    double total = 0.0;
    int solids = 0;
    for (const auto& piece : model.getEntities()) {
        if (piece->getDimension() == 3) {
            ++solids;
            EXPECT_NEAR(volumeOf(piece->getShape()), 0.5, 1e-9) << piece->getName();
            total += volumeOf(piece->getShape());
        }
    }
    EXPECT_EQ(solids, 3);
    EXPECT_NEAR(total, 1.5, 1e-9);

    // The finalisation's partition shape, made from the entities as given.
    const std::string finalDirectory = freshDirectory("fuse-volume/finalisation");
    GeometryData unpartitioned(finalDirectory);
    unpartitioned.addEntity(entity(unitCube(), "left"));
    unpartitioned.addEntity(entity(emptySolid(), "hollow"));
    unpartitioned.addEntity(entity(boxAt(0.5, 0, 0), "right"));
    {
        const LogCapture warnings(el::Level::Warning);
        unpartitioned.finalize();
        EXPECT_GE(warnings.containing(dropped).size(), 1u);
    }
    EXPECT_EQ(countOf(unpartitioned.getPartitionShape(), TopAbs_SOLID), 3);
    EXPECT_NEAR(volumeOf(unpartitioned.getPartitionShape()), 1.5, 1e-9);
}
