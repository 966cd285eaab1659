#include <gtest/gtest.h>

#include <cmath>

#include <BRepPrimAPI_MakeTorus.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>

#include "topology/ShapeStatistics.h"
#include "support/Exceptions.h"
#include "support/ShapeBuilders.h"
#include "topology/FaceBoxes.h"
#include "topology/ShapeAlgorithms.h"

namespace {

std::vector<double> boxOf(const ShapeStatistics& s)
{
    return {s.minX, s.minY, s.minZ, s.maxX, s.maxY, s.maxZ};
}

std::vector<TopoDS_Shape> solidsOf(const TopoDS_Shape& shape)
{
    std::vector<TopoDS_Shape> solids;
    for (TopExp_Explorer explorer(shape, TopAbs_SOLID); explorer.More(); explorer.Next()) {
        solids.push_back(explorer.Current());
    }
    return solids;
}

} // namespace

// Boxes assembled from faces measured once must be the very doubles that
// measuring each shape whole gives: the statistics' boxes are stored output.
TEST(FaceBoxes, SameBoxesAsMeasuringEachShape)
{
    // Two unit cubes sharing the face x = 1, a quarter torus (its box is a
    // search over the surface) cut by a box, and a meshed cylinder (its box
    // follows the triangulation).
    const std::vector<TopoDS_Shape> cubes = solidsOf(fused({unitCube(), boxAt(1, 0, 0)}));
    ASSERT_EQ(cubes.size(), 2u);
    const TopoDS_Shape torus = BRepPrimAPI_MakeTorus(3.0, 1.0, M_PI / 2).Shape();
    const std::vector<TopoDS_Shape> torusPieces = solidsOf(fused({torus, boxAt(0, 0, -1, 2, 5, 2)}));
    ASSERT_GE(torusPieces.size(), 2u);
    const TopoDS_Shape meshed = cylinder(1, 2);
    meshShape(meshed);

    std::vector<TopoDS_Shape> shapes = cubes;
    shapes.insert(shapes.end(), torusPieces.begin(), torusPieces.end());
    shapes.push_back(meshed);
    shapes.push_back(compoundOf(shapes));
    FaceBoxes faceBoxes;
    faceBoxes.measure(shapes);
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        ShapeStatistics whole;
        ShapeStatistics assembled;
        getShapeStatistics(shapes[i], whole);
        getShapeStatistics(shapes[i], assembled, &faceBoxes);
        Bnd_Box box;
        EXPECT_TRUE(faceBoxes.boxOf(shapes[i], box)) << i;
        EXPECT_EQ(boxOf(assembled), boxOf(whole)) << i;
        EXPECT_EQ(assembled.volume, whole.volume) << i;
    }
    // Worked out by hand: the cubes, and the quarter torus of radii 3 and 1
    // in the quadrant x, y >= 0 (from z = -1 to 1, out to 4).
    ShapeStatistics right;
    getShapeStatistics(cubes[1], right, &faceBoxes);
    EXPECT_EQ(boxOf(right), (std::vector<double>{1, 0, 0, 2, 1, 1}));
    ShapeStatistics all;
    getShapeStatistics(shapes.back(), all, &faceBoxes);
    EXPECT_NEAR(all.maxX, 4.0, 1e-6);
    EXPECT_NEAR(all.maxY, 5.0, 1e-6); // the cutting box
    EXPECT_NEAR(all.minZ, -1.0, 1e-6);
    // The meshed cylinder's box is its triangulation's, widened by the mesh's
    // deflection: at most 0.001 times its largest extent of 2.
    EXPECT_LE(all.minX, -1.0);
    EXPECT_GE(all.minX, -1.002);
    EXPECT_GE(all.maxZ, 2.0);
    EXPECT_LE(all.maxZ, 2.002);
}

// Shapes the faces alone do not describe are measured whole, and so fail
// as they always did.
TEST(FaceBoxes, OtherShapesAreMeasuredWhole)
{
    const TopoDS_Shape cube = unitCube();
    const TopoDS_Shape withFreeEdge = compoundOf(cube, segment(gp_Pnt(0, 0, 0), gp_Pnt(0, 0, 5)));
    const TopoDS_Shape withFreeVertex = compoundOf(cube, vertexAt(7, 0, 0));
    const TopoDS_Shape empty = emptySolid();
    const TopoDS_Shape notMeasured = boxAt(5, 5, 5);

    FaceBoxes faceBoxes;
    faceBoxes.measure({withFreeEdge, withFreeVertex, empty});
    Bnd_Box box;
    for (const TopoDS_Shape& shape : std::vector<TopoDS_Shape>{withFreeEdge, withFreeVertex, empty, notMeasured}) {
        EXPECT_FALSE(faceBoxes.boxOf(shape, box));
    }
    ShapeStatistics statistics;
    getShapeStatistics(withFreeEdge, statistics, &faceBoxes);
    EXPECT_EQ(boxOf(statistics), (std::vector<double>{0, 0, 0, 1, 1, 5}));
    getShapeStatistics(withFreeVertex, statistics, &faceBoxes);
    EXPECT_EQ(statistics.maxX, 7.0);
    expectMessage([&] { getShapeStatistics(empty, statistics, &faceBoxes); },
                  "Could not compute bounding box for shape during getShapeStatistics");
}
