// No fuse or glue loses geometry without a word: empty solids are dropped with
// a warning on every road, and a result that lost or inverted volume raises.

#include <gtest/gtest.h>

#include <BRepTools_History.hxx>
#include <BRep_Builder.hxx>
#include <TopoDS_Solid.hxx>

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
            EXPECT_NO_THROW(checkVolumeKept(arguments, c.result, GeneralFuseOptions()));
        } else {
            expectMessage([&] { checkVolumeKept(arguments, c.result, GeneralFuseOptions()); }, c.message);
        }
    }
    // Faces and edges hold no volume: nothing to keep.
    GeneralFuseOptions gluing;
    gluing.operation = "Gluing";
    EXPECT_NO_THROW(checkVolumeKept(listOf({squareAt(0, 0, 0), lineEdge(1)}), squareAt(0, 0, 0), gluing));
}

TEST(FuseVolume, TheHistoryShowsEverySolidThatVanishesShrinksOrFillsARegionTwice)
{
    // A 2 x 1 x 1 box and a unit cube, apart; the result and its history are
    // written by hand as the kernel could return them.
    const TopoDS_Shape large = boxAt(5, 0, 0, 2, 1, 1);
    const TopoDS_Shape small = unitCube();
    // A second solid bounded by the cube's very faces.
    TopoDS_Solid twin;
    BRep_Builder builder;
    builder.MakeSolid(twin);
    builder.Add(twin, firstOf(small, TopAbs_SHELL));
    const TopoDS_Shape half = boxAt(0, 0, 0, 0.5, 1, 1);
    const TopoDS_Shape nearlyWhole = boxAt(0, 0, 0, 0.995, 1, 1);
    const TopoDS_Shape grown = boxAt(5, 0, 0, 2 * (1 + 1e-5), 1, 1);
    const TopoDS_Shape inverted = large.Reversed();
    // A solid around the cube that holds the cube's faces inside it, as a
    // fuse of a housing and the part within it can leave: the cube's region
    // is then the housing's too.
    TopoDS_Solid housing;
    builder.MakeSolid(housing);
    builder.Add(housing, firstOf(boxAt(-1, -1, -1, 3, 3, 3), TopAbs_SHELL));
    builder.Add(housing, firstOf(small, TopAbs_SHELL).Oriented(TopAbs_INTERNAL));

    struct Image {
        TopoDS_Shape of;
        std::vector<TopoDS_Shape> images; // empty: removed
    };
    const struct {
        const char* name;
        std::vector<TopoDS_Shape> result;
        std::vector<Image> history;
        int exactArgument;
        std::string message; // empty: accepted
    } cases[] = {
        {"both kept as they were", {large, small}, {}, -1, ""},
        // The total (2) reaches the largest solid given: only the history shows the loss.
        {"the cube vanished", {large}, {{small, {}}}, -1,
         "General fuse failed: the pieces made from Solid_small (0 of its 1) do not hold that solid's volume"},
        {"the cube halved", {large, half}, {{small, {half}}}, -1,
         "General fuse failed: the pieces made from Solid_small (0.5 of its 1) do not hold that solid's volume"},
        {"the cube a half-hundredth short, within a solid's tolerance", {large, nearlyWhole}, {{small, {nearlyWhole}}},
         -1, ""},
        {"the box grown by 1e-5, which a solid may", {grown, small}, {{large, {grown}}}, -1, ""},
        {"the box grown by 1e-5, which the exact argument may not", {grown, small}, {{large, {grown}}}, 0,
         "General fuse failed: the pieces made from Solid_large (2.00002 of its 2) do not hold that solid's volume"},
        {"the cube's region filled twice", {large, small, twin}, {{small, {small, twin}}}, -1,
         "General fuse failed: the result holds two solids bounded by the same faces, one region filled twice, made "
         "from Solid_small"},
        {"the cube's faces inside the solid made from the box", {housing, small}, {{large, {housing}}}, -1,
         "General fuse failed: a solid made from Solid_large holds inside it a face of a solid made from Solid_small: "
         "one region is filled twice"},
        {"the box inverted", {inverted, small}, {{large, {inverted}}}, -1,
         "General fuse failed: the result holds a solid of non-positive volume -2, made from Solid_large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Handle(BRepTools_History) history = new BRepTools_History();
        for (const Image& image : c.history) {
            if (image.images.empty()) {
                history->Remove(image.of);
            }
            for (const TopoDS_Shape& shape : image.images) {
                history->AddModified(image.of, shape);
            }
        }
        GeneralFuseOptions options;
        options.argumentNames = {"Solid_large", "Solid_small"};
        options.exactArgument = c.exactArgument;
        const TopTools_ListOfShape arguments = listOf({large, small});
        const TopoDS_Shape result = compoundOf(c.result);
        if (c.message.empty()) {
            EXPECT_NO_THROW(checkVolumeKept(arguments, result, options, history));
        } else {
            expectMessage([&] { checkVolumeKept(arguments, result, options, history); }, c.message);
            EXPECT_EQ(volumeFault(arguments, result, options, history), c.message);
        }
    }
}

TEST(FuseVolume, KernelResultsThatLoseVolumeNeverBecomeTheShape)
{
    // Given an empty solid beside two overlapping unit cubes, the kernel
    // returns one inverted solid of volume -1.5 without an alert; the history
    // shows it was made from the empty solid.
    const TopTools_ListOfShape withEmpty = listOf({unitCube(), emptySolid(), boxAt(0.5, 0, 0)});
    GeneralFuseOptions plain;
    expectMessage([&] { runGeneralFuse(withEmpty, plain); },
                  "General fuse failed: the result holds a solid of non-positive volume -1.5, made from argument 2");
    GeneralFuseOptions glue;
    glue.glue = BOPAlgo_GlueShift;
    glue.operation = "Gluing";
    expectMessage([&] { runGeneralFuse(withEmpty, glue); },
                  "Gluing failed: the result holds a solid of non-positive volume -1.5, made from argument 2");
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
