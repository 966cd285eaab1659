#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>

#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "topology/ShapeAlgorithms.h"
#include "topology/ShapePreview.h"

namespace {

// Two unit cubes fused along x = 1: the two solids share one face, and that
// face is itself one of the shapes compared, as entities of a model are. The
// independent counterparts are shared by all threads as well.
struct SharedModel {
    TopoDS_Shape left;
    TopoDS_Shape right;
    TopoDS_Shape sharedFace;
    TopoDS_Shape leftCounterpart = unitCube();
    TopoDS_Shape faceCounterpart = quad(gp_Pnt(1, 0, 0), gp_Pnt(1, 1, 0), gp_Pnt(1, 1, 1), gp_Pnt(1, 0, 1));
    TopoDS_Shape cylinder = ::cylinder(1, 2);
    TopoDS_Shape cylinderCounterpart = ::cylinder(1, 2);

    SharedModel()
    {
        TopTools_IndexedMapOfShape solids;
        TopExp::MapShapes(fused({unitCube(), boxAt(1, 0, 0, 1, 1, 1)}), TopAbs_SOLID, solids);
        left = solids(1);
        right = solids(2);
        TopTools_IndexedMapOfShape leftFaces;
        TopExp::MapShapes(left, TopAbs_FACE, leftFaces);
        TopTools_IndexedMapOfShape rightFaces;
        TopExp::MapShapes(right, TopAbs_FACE, rightFaces);
        for (int i = 1; i <= leftFaces.Extent(); ++i) {
            if (rightFaces.Contains(leftFaces(i))) {
                sharedFace = leftFaces(i);
            }
        }
    }
};

// One round of comparisons, in both directions where the shapes share faces.
std::vector<bool> compareRound(const SharedModel& model)
{
    return {
        isSameShape(model.left, model.leftCounterpart),
        isSameShape(model.right, model.left),
        isSameShape(model.sharedFace, model.faceCounterpart),
        isSameShape(model.faceCounterpart, model.sharedFace),
        isSameShape(model.cylinder, model.cylinderCounterpart),
        isSameShape(model.cylinder, model.left),
    };
}

// The statistics read the triangulations the comparisons write: every
// field, so that any difference shows.
std::vector<double> statisticsRound(const SharedModel& model)
{
    std::vector<double> values;
    for (const TopoDS_Shape& shape : {model.left, model.sharedFace, model.cylinder}) {
        ShapeStatistics record;
        getShapeStatistics(shape, record);
        for (const double value : {record.minX, record.minY, record.minZ, record.maxX, record.maxY, record.maxZ,
                                   record.volume, record.area, record.centreX, record.centreY, record.centreZ}) {
            values.push_back(value);
        }
    }
    return values;
}

} // namespace

TEST(ShapeConcurrency, ComparingMeasuringAndPreviewingSharedShapesFromManyThreads)
{
    const std::string directory = freshDirectory("concurrency");
    const SharedModel model;
    ASSERT_FALSE(model.sharedFace.IsNull());

    // Single-thread answers first.
    const std::vector<bool> expected = compareRound(model);
    ASSERT_EQ(expected, (std::vector<bool>{true, false, true, true, true, false}));
    const std::vector<double> expectedStatistics = statisticsRound(model);
    // The cylinder of radius 1 and height 2: volume 2 pi.
    EXPECT_NEAR(expectedStatistics[2 * 11 + 6], 2.0 * M_PI, 1e-6);
    writeShapeVtk(model.sharedFace, directory + "/face.vtk");
    writeShapeVtk(model.left, directory + "/solid.vtk");
    const std::string expectedFace = contentOf(directory + "/face.vtk");
    const std::string expectedSolid = contentOf(directory + "/solid.vtk");

    constexpr int threadCount = 8;
    constexpr int rounds = 200;
    // Meshing for a preview costs far more than a comparison of meshed shapes,
    // so previews run in every tenth round, still among the comparisons.
    constexpr int previewEvery = 10;
    std::vector<std::string> problems(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            try {
                const std::string face = directory + "/face-" + std::to_string(t) + ".vtk";
                const std::string solid = directory + "/solid-" + std::to_string(t) + ".vtk";
                for (int round = 0; round < rounds && problems[t].empty(); ++round) {
                    if (compareRound(model) != expected) {
                        problems[t] = "comparison differs in round " + std::to_string(round);
                    }
                    if (statisticsRound(model) != expectedStatistics) {
                        problems[t] = "statistics differ in round " + std::to_string(round);
                    }
                    if (round % previewEvery != t % previewEvery) {
                        continue;
                    }
                    writeShapeVtk(model.sharedFace, face);
                    writeShapeVtk(model.left, solid);
                    if (contentOf(face) != expectedFace || contentOf(solid) != expectedSolid) {
                        problems[t] = "preview differs in round " + std::to_string(round);
                    }
                }
            } catch (const std::exception& error) {
                problems[t] = error.what();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < threadCount; ++t) {
        EXPECT_EQ(problems[t], "") << "thread " << t;
    }
}
