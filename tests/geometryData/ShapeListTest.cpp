#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include <BRepCheck_Analyzer.hxx>
#include <TopExp_Explorer.hxx>

#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "support/Environment.h"
#include "support/Exceptions.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "topology/ShapeAlgorithms.h"

namespace {

std::vector<TopoDS_Shape> shapesOf(const ShapeList& list)
{
    return std::vector<TopoDS_Shape>(list.getShapes().begin(), list.getShapes().end());
}

std::vector<double> solidVolumes(const TopoDS_Shape& shape)
{
    std::vector<double> volumes;
    for (TopExp_Explorer explorer(shape, TopAbs_SOLID); explorer.More(); explorer.Next()) {
        volumes.push_back(volumeOf(explorer.Current()));
    }
    return volumes;
}

struct PiecesCase {
    const char* what;
    std::vector<TopoDS_Shape> input;
    int solids, faces, edges;
};

// Runs the operation on a list of each case's input and counts the distinct
// pieces of its result.
void expectPieces(const std::vector<PiecesCase>& cases, const std::function<TopoDS_Shape(ShapeList&)>& operation)
{
    for (const PiecesCase& c : cases) {
        SCOPED_TRACE(c.what);
        ShapeList list;
        for (const auto& shape : c.input) {
            list.add(shape);
        }
        const TopoDS_Shape result = operation(list);
        ASSERT_FALSE(result.IsNull());
        EXPECT_EQ(countOf(result, TopAbs_SOLID), c.solids);
        EXPECT_EQ(countOf(result, TopAbs_FACE), c.faces);
        EXPECT_EQ(countOf(result, TopAbs_EDGE), c.edges);
    }
}

} // namespace

TEST(ShapeList, EntitySelectionByApplicationKind)
{
    auto solid = std::make_shared<TopoEntity>(boxAt(0, 0, 0), "Solid_1", 1);
    auto inactiveSolid = std::make_shared<TopoEntity>(boxAt(3, 0, 0), "Solid_2", 2);
    inactiveSolid->setActive(false);
    auto faceA = std::make_shared<TopoEntity>(squareAt(0, 0, 5), "Face_1", 3);
    auto faceB = std::make_shared<TopoEntity>(squareAt(2, 0, 5), "Face_2", 4);
    auto inactiveFace = std::make_shared<TopoEntity>(squareAt(4, 0, 5), "Face_3", 5);
    inactiveFace->setActive(false);
    const std::vector<std::shared_ptr<TopoEntity>> model = {faceA, solid, inactiveSolid, inactiveFace, faceB};
    // Only inactive entities of the highest dimension: the highest still counts them.
    const std::vector<std::shared_ptr<TopoEntity>> topInactive = {faceA, inactiveSolid};
    const std::vector<std::shared_ptr<TopoEntity>> allInactive = {inactiveSolid, inactiveFace};

    struct Case {
        const char* app;
        std::vector<std::shared_ptr<TopoEntity>> entities;
        std::vector<std::shared_ptr<TopoEntity>> expected;
    };
    const Case cases[] = {
        {"ANTENNAS", model, {faceA, solid, faceB}},
        {nullptr, model, {solid}},
        {"INDUCTION", model, {solid}},
        {"antennas", model, {solid}},
        {"ANTENNAS", topInactive, {faceA}},
        {nullptr, topInactive, {}},
        {"ANTENNAS", allInactive, {}},
        {nullptr, allInactive, {}},
        {nullptr, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.app == nullptr ? "unset" : c.app);
        EnvironmentGuard app("VEMRA_APP", c.app);
        const std::vector<TopoDS_Shape> got = shapesOf(ShapeList(c.entities));
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_TRUE(got[i].IsSame(c.expected[i]->getShape())) << "position " << i;
        }
    }
}

TEST(ShapeList, FuseOfOverlappingBoxesSplitsThemInThree)
{
    ShapeList list;
    list.add(boxAt(0, 0, 0));
    list.add(boxAt(0.5, 0, 0));
    const TopoDS_Shape fused = list.fuse();
    ASSERT_FALSE(fused.IsNull());
    EXPECT_TRUE(BRepCheck_Analyzer(fused).IsValid());
    EXPECT_EQ(countOf(fused, TopAbs_SOLID), 3);
    EXPECT_EQ(countOf(fused, TopAbs_FACE), 16);
    EXPECT_EQ(countOf(fused, TopAbs_EDGE), 28);
    EXPECT_EQ(countOf(fused, TopAbs_VERTEX), 16);
    const std::vector<double> volumes = solidVolumes(fused);
    ASSERT_EQ(volumes.size(), 3u);
    for (double volume : volumes) {
        EXPECT_NEAR(volume, 0.5, 1e-9);
    }
}

TEST(ShapeList, GlueOfTouchingBoxesSharesTheContactFace)
{
    ShapeList list;
    list.add(boxAt(0, 0, 0));
    list.add(boxAt(1, 0, 0));
    const TopoDS_Shape glued = list.glue();
    ASSERT_FALSE(glued.IsNull());
    EXPECT_EQ(countOf(glued, TopAbs_SOLID), 2);
    EXPECT_EQ(countOf(glued, TopAbs_FACE), 11);
    EXPECT_EQ(countOf(glued, TopAbs_EDGE), 20);
    EXPECT_EQ(countOf(glued, TopAbs_VERTEX), 12);
    EXPECT_NEAR(volumeOf(glued), 2.0, 1e-9);
    // glue leaves the list as it was.
    EXPECT_EQ(list.getShapes().Extent(), 2);
}

TEST(ShapeList, CompoundsAndShellsTakePartInsteadOfBeingDropped)
{
    const TopoDS_Shape boxA = boxAt(0, 0, 0);
    const TopoDS_Shape boxB = boxAt(1, 0, 0);
    const TopoDS_Shape shellOfFarBox = firstOf(boxAt(5, 0, 0), TopAbs_SHELL);
    const std::vector<PiecesCase> cases = {
        // One compound of two touching boxes beside a separate box: the boxes are
        // separate arguments, so their contact face is still made one.
        {"compound entity and a solid", {compoundOf(boxA, boxB), boxAt(0, 5, 0)}, 3, 17, 32},
        {"overlapping compound and solid", {compoundOf(boxA), boxAt(0.5, 0, 0)}, 3, 16, 28},
        {"two compounds", {compoundOf(boxA), compoundOf(compoundOf(boxB))}, 2, 11, 20},
        {"a shell beside a solid", {boxA, shellOfFarBox}, 1, 12, 24},
    };
    expectPieces(cases, [](ShapeList& list) { return list.fuse(); });
}

TEST(ShapeList, SortByTypeOrdersPiecesAndOpensContainers)
{
    const TopoDS_Shape edge = segment(gp_Pnt(0, 0, 9), gp_Pnt(1, 0, 9));
    const TopoDS_Shape face = squareAt(0, 0, 5);
    const TopoDS_Shape solid = boxAt(0, 0, 0);
    const TopoDS_Shape nestedSolid = boxAt(3, 0, 0);
    ShapeList list;
    list.add(edge);
    list.add(compoundOf(face, compoundOf(nestedSolid)));
    list.add(solid);
    list.sortByType();
    const std::vector<TopoDS_Shape> sorted = shapesOf(list);
    ASSERT_EQ(sorted.size(), 4u);
    EXPECT_TRUE(sorted[0].IsSame(nestedSolid));
    EXPECT_TRUE(sorted[1].IsSame(solid));
    EXPECT_TRUE(sorted[2].IsSame(face));
    EXPECT_TRUE(sorted[3].IsSame(edge));
}

TEST(ShapeList, OneShapeIsReturnedUnchangedAndNoneGivesNull)
{
    for (const TopoDS_Shape& single : {boxAt(0, 0, 0), compoundOf(boxAt(0, 0, 0), boxAt(0.5, 0, 0))}) {
        ShapeList list;
        list.add(single);
        EXPECT_TRUE(list.fuse().IsSame(single));
        EXPECT_TRUE(list.glue().IsSame(single));
        ASSERT_EQ(list.getShapes().Extent(), 1);
        EXPECT_TRUE(list.getShapes().First().IsSame(single));
    }
    ShapeList empty;
    EXPECT_TRUE(empty.fuse().IsNull());
    EXPECT_TRUE(empty.glue().IsNull());
    // Nothing fuses out of shapes that hold no piece at all.
    ShapeList hollow;
    hollow.add(compoundOf());
    hollow.add(compoundOf(compoundOf()));
    EXPECT_TRUE(hollow.fuse().IsNull());
}

TEST(ShapeList, GlueKeepsOnlyTheMostComplexKind)
{
    const std::vector<PiecesCase> cases = {
        {"two solids and a face", {boxAt(0, 0, 0), squareAt(0, 0, 7), boxAt(1, 0, 0)}, 2, 11, 20},
        // Two unit squares sharing the edge x=1: 7 edges; the separate edge takes no part.
        {"two faces and an edge", {squareAt(0, 0, 0), segment(gp_Pnt(0, 0, 3), gp_Pnt(1, 0, 3)), squareAt(1, 0, 0)},
         0, 2, 7},
        {"a compound of two solids and a face", {compoundOf(boxAt(0, 0, 0), boxAt(1, 0, 0)), squareAt(0, 0, 7)}, 2, 11, 20},
    };
    expectPieces(cases, [](ShapeList& list) { return list.glue(); });
}

TEST(ShapeList, AddBrepFile)
{
    const std::string directory = freshDirectory("geometryData/shapeListBrep");
    const std::string file = directory + "/box.brep";
    writeBrepFile(boxAt(0, 0, 0, 1, 2, 3), file);
    std::ofstream(directory + "/empty.brep").close();

    ShapeList list;
    list.addBrepFile(file);
    ASSERT_EQ(list.getShapes().Extent(), 1);
    EXPECT_NEAR(volumeOf(list.getShapes().First()), 6.0, 1e-9);
    const std::vector<std::pair<std::string, std::string>> refusals = {
        {directory + "/missing.brep", "Could not read BREP file " + directory + "/missing.brep: No such file or directory"},
        {directory + "/empty.brep", "BREP file " + directory + "/empty.brep is empty"},
        {directory, "Could not read BREP file " + directory + ": it is a directory, not a regular file"},
    };
    for (const auto& [bad, message] : refusals) {
        EXPECT_EQ(thrownMessage([&] { list.addBrepFile(bad); }), message);
        EXPECT_EQ(list.getShapes().Extent(), 1);
    }
}

TEST(ShapeList, FuseAndWriteStep)
{
    const std::string directory = freshDirectory("geometryData/shapeListStep");

    ShapeList empty;
    testing::internal::CaptureStdout();
    empty.fuseAndWriteStep(directory + "/empty.step");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "shape is null\n");
    EXPECT_FALSE(std::filesystem::exists(directory + "/empty.step"));

    // A single piece is written unfused.
    ShapeList single;
    single.add(boxAt(0, 0, 0));
    single.fuseAndWriteStep(directory + "/single.step");
    EXPECT_EQ(countOf(readStepFile(directory + "/single.step"), TopAbs_SOLID), 1);

    ShapeList two;
    two.add(boxAt(0, 0, 0));
    two.add(boxAt(0.5, 0, 0));
    two.fuseAndWriteStep(directory + "/fused.step");
    const TopoDS_Shape read = readStepFile(directory + "/fused.step");
    // STEP keeps each solid's faces of its own, so only the solids are compared.
    const std::vector<double> volumes = solidVolumes(read);
    ASSERT_EQ(volumes.size(), 3u);
    for (double volume : volumes) {
        EXPECT_NEAR(volume, 0.5, 1e-6);
    }

    const std::string unwritable = directory + "/no/such/dir/fused.step";
    EXPECT_EQ(thrownMessage([&] { two.fuseAndWriteStep(unwritable); }), "Could not write file " + unwritable);
}
