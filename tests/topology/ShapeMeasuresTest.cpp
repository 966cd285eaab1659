#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include <BRepBndLib.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>
#include <TopoDS_Wire.hxx>

#include "support/Exceptions.h"
#include "support/ShapeBuilders.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

TEST(ShapeStatistics, FieldsByMainType)
{
    // Square [1,2] x [0,1] at z = 0 sweeps a ring about Y: pi (2^2 - 1^2) * 1.
    const TopoDS_Shape square = squareAt(1, 0, 0);
    const struct {
        const char* name;
        TopoDS_Shape shape;
        // maxX maxY maxZ minX minY minZ cX cY cZ length area volume axialVolume
        double expected[13];
    } cases[] = {
        {"vertex: centre only", vertexAt(1, 2, 3), {0, 0, 0, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0}},
        {"wire: centre of its first vertex only",
         BRepBuilderAPI_MakePolygon(gp_Pnt(5, 6, 7), gp_Pnt(8, 6, 7), gp_Pnt(8, 9, 7)).Shape(),
         {0, 0, 0, 0, 0, 0, 5, 6, 7, 0, 0, 0, 0}},
        {"edge", segment(gp_Pnt(0, 0, 0), gp_Pnt(0, 4, 0)), {0, 4, 0, 0, 0, 0, 0, 2, 0, 4, 0, 0, 0}},
        {"square at z = 0", square, {2, 1, 0, 1, 0, 0, 1.5, 0.5, 0, 0, 1, 0, 3 * M_PI}},
        {"reversed square", square.Reversed(), {2, 1, 0, 1, 0, 0, 1.5, 0.5, 0, 0, 1, 0, 3 * M_PI}},
        {"square at z = 0.5", squareAt(1, 0, 0.5), {2, 1, 0.5, 1, 0, 0.5, 1.5, 0.5, 0.5, 0, 1, 0, 0}},
        {"square in the XZ plane", quad(gp_Pnt(1, 0, -0.5), gp_Pnt(2, 0, -0.5), gp_Pnt(2, 0, 0.5), gp_Pnt(1, 0, 0.5)),
         {2, 0, 0.5, 1, 0, -0.5, 1.5, 0, 0, 0, 1, 0, 0}},
        {"squares at z = 1 and z = -1", compoundOf(squareAt(1, 0, 1), squareAt(1, 0, -1)),
         {2, 1, 1, 1, 0, -1, 1.5, 0.5, 0, 0, 2, 0, 6 * M_PI}},
        {"box 1 x 2 x 3", boxAt(0, 0, 0, 1, 2, 3), {1, 2, 3, 0, 0, 0, 0.5, 1, 1.5, 0, 0, 6, 0}},
        {"cylinder r = 1, h = 2", cylinder(1, 2), {1, 1, 2, -1, -1, 0, 0, 0, 1, 0, 0, 2 * M_PI, 0}},
        {"empty compound keeps the record", compoundOf(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    const char* fields[] = {"maxX", "maxY", "maxZ", "minX", "minY", "minZ", "centreX",
                            "centreY", "centreZ", "length", "area", "volume", "axialVolume"};
    for (const auto& c : cases) {
        ShapeStatistics statistics;
        getShapeStatistics(c.shape, statistics);
        const double actual[13] = {statistics.maxX,    statistics.maxY,    statistics.maxZ,   statistics.minX,
                                   statistics.minY,    statistics.minZ,    statistics.centreX, statistics.centreY,
                                   statistics.centreZ, statistics.length,  statistics.area,   statistics.volume,
                                   statistics.axialVolume};
        for (int i = 0; i < 13; ++i) {
            EXPECT_NEAR(actual[i], c.expected[i], 1e-6 * std::max(1.0, std::fabs(c.expected[i])))
                << c.name << ": " << fields[i];
        }
    }
}

// The box follows a triangulation where there is one. A face's box is its
// nodes widened by the triangulation's deflection (0 for a plane, which its
// triangles represent exactly) plus the face tolerance (1e-7); an edge outside
// faces takes its polygon widened by the polygon's deflection alone.
// meshShape meshes with 0.001 x L, L the largest extent of the box with
// tolerances: 1 + 2e-7 for the unit cube, 4 + 2e-7 for the segment.
TEST(ShapeStatistics, BoxFollowsTheTriangulation)
{
    const double tolerance = 1e-7;
    const double segmentDeflection = 0.001 * (4 + 2 * tolerance);
    const struct {
        const char* name;
        TopoDS_Shape shape;
        bool meshed;
        gp_Pnt min;
        gp_Pnt max;
    } cases[] = {
        {"unit cube, exact", unitCube(), false, gp_Pnt(0, 0, 0), gp_Pnt(1, 1, 1)},
        {"unit cube, meshed", unitCube(), true, gp_Pnt(-tolerance, -tolerance, -tolerance),
         gp_Pnt(1 + tolerance, 1 + tolerance, 1 + tolerance)},
        {"segment, exact", segment(gp_Pnt(0, 0, 0), gp_Pnt(0, 4, 0)), false, gp_Pnt(0, 0, 0), gp_Pnt(0, 4, 0)},
        {"segment, meshed", segment(gp_Pnt(0, 0, 0), gp_Pnt(0, 4, 0)), true,
         gp_Pnt(-segmentDeflection, -segmentDeflection, -segmentDeflection),
         gp_Pnt(segmentDeflection, 4 + segmentDeflection, segmentDeflection)},
    };
    for (const auto& c : cases) {
        if (c.meshed) {
            meshShape(c.shape);
        }
        ShapeStatistics statistics;
        getShapeStatistics(c.shape, statistics);
        EXPECT_NEAR(statistics.minX, c.min.X(), 1e-12) << c.name;
        EXPECT_NEAR(statistics.minY, c.min.Y(), 1e-12) << c.name;
        EXPECT_NEAR(statistics.minZ, c.min.Z(), 1e-12) << c.name;
        EXPECT_NEAR(statistics.maxX, c.max.X(), 1e-12) << c.name;
        EXPECT_NEAR(statistics.maxY, c.max.Y(), 1e-12) << c.name;
        EXPECT_NEAR(statistics.maxZ, c.max.Z(), 1e-12) << c.name;
    }
}

TEST(ShapeStatistics, AxialVolumeNeedsTheSymmetryPlane)
{
    const TopoDS_Shape square = squareAt(1, 0, 0);
    const struct {
        double z;
        double expected;
    } cases[] = {{0.0, 3 * M_PI}, {1e-17, 3 * M_PI}, {-1e-7, 3 * M_PI}, {1e-6, 0.0}, {0.5, 0.0}};
    for (const auto& c : cases) {
        EXPECT_NEAR(getAxialVolume(&square, c.z), c.expected, 1e-9) << "z = " << c.z;
    }
    expectMessage([] { getAxialVolume(nullptr, 0.0); }, "getAxialVolume: null shape");
    const TopoDS_Shape null;
    expectMessage([&] { getAxialVolume(&null, 0.0); }, "getAxialVolume: null shape");
    expectMessage([&] {
        ShapeStatistics statistics;
        getShapeStatistics(null, statistics);
    }, "getShapeStatistics: null shape");
}

TEST(ShapeMeasures, Measures)
{
    const TopoDS_Shape cube = unitCube();
    const TopoDS_Shape cyl = cylinder(1, 2);
    EXPECT_NEAR(getShapeVolume(cube), 1.0, 1e-9);
    EXPECT_NEAR(getShapeArea(cube), 6.0, 1e-9);
    EXPECT_NEAR(getShapeLength(cube), 24.0, 1e-9); // each of the 12 edges twice
    EXPECT_NEAR(getShapeVolume(cyl), 2 * M_PI, 1e-9);
    EXPECT_NEAR(getShapeArea(cyl), 6 * M_PI, 1e-9);
    // The kernel widens the box by the shape tolerance (1e-7) on each side.
    EXPECT_NEAR(getBoundingBoxDiagonal(cube), std::sqrt(3.0), 1e-6);
    EXPECT_EQ(getBoundingBoxDiagonal(compoundOf()), 0.0);
    EXPECT_NEAR(getMinEdgeLength(boxAt(0, 0, 0, 1, 2, 3)), 1.0, 1e-9);
    EXPECT_EQ(getMinEdgeLength(vertexAt(0, 0, 0)), 1e20);

    const struct {
        const char* name;
        TopoDS_Shape shape;
        gp_Pnt expected;
    } centres[] = {
        {"solid", boxAt(0, 0, 0, 1, 2, 3), gp_Pnt(0.5, 1, 1.5)},
        {"face", squareAt(1, 0, 0), gp_Pnt(1.5, 0.5, 0)},
        {"edge", segment(gp_Pnt(0, 0, 0), gp_Pnt(2, 2, 2)), gp_Pnt(1, 1, 1)},
        {"vertex", vertexAt(1, 2, 3), gp_Pnt(1, 2, 3)},
    };
    for (const auto& c : centres) {
        EXPECT_LT(getCentreOfMass(c.shape).Distance(c.expected), 1e-9) << c.name;
    }

    const struct {
        const char* name;
        TopoDS_Shape shape;
        bool expected;
    } negligible[] = {
        {"edge of 5e-9", lineEdge(5e-9), true},
        {"edge of exactly 1e-8", lineEdge(1e-8), false},
        {"vertex", vertexAt(0, 0, 0), false},
        {"unit cube", cube, false},
        {"inside-out unit cube", unitCube().Reversed(), false},
    };
    for (const auto& c : negligible) {
        EXPECT_EQ(isNegligibleShape(c.shape), c.expected) << c.name;
    }
}

TEST(ShapeMeasures, MinDistance)
{
    const struct {
        const char* name;
        TopoDS_Shape other;
        double distance;
        gp_Vec direction;
    } cases[] = {
        {"cube shifted by 3 along X", boxAt(3, 0, 0, 1, 1, 1), 2.0, gp_Vec(2, 0, 0)},
        {"cube shifted diagonally", boxAt(2, 2, 0, 1, 1, 1), std::sqrt(2.0), gp_Vec(1, 1, 0)},
        {"touching cube", boxAt(1, 0, 0, 1, 1, 1), 0.0, gp_Vec(0, 0, 0)},
    };
    for (const auto& c : cases) {
        gp_Vec direction(9, 9, 9);
        EXPECT_NEAR(getMinDistance(unitCube(), c.other, direction), c.distance, 1e-9) << c.name;
        EXPECT_LT((direction - c.direction).Magnitude(), 1e-9) << c.name;
    }
}

TEST(ShapeMeasures, FaceNormal)
{
    const TopoDS_Shape up = squareAt(0, 0, 0);
    ASSERT_EQ(getFaceNormal(up).Z(), 1.0);
    // Orientation is ignored: the surface's normal is returned.
    const gp_Dir reversed = getFaceNormal(up.Reversed());
    EXPECT_NEAR(reversed.Z(), 1.0, 1e-12);
    const gp_Dir side = getFaceNormal(quad(gp_Pnt(0, 0, 0), gp_Pnt(0, 0, 1), gp_Pnt(0, 1, 1), gp_Pnt(0, 1, 0)));
    EXPECT_NEAR(std::fabs(side.X()), 1.0, 1e-12);
    expectMessage([] { getFaceNormal(unitCube()); }, "Face normal requested for shape that is not face");
    expectMessage([] { getFaceNormal(compoundOf(squareAt(0, 0, 0))); },
                  "Face normal requested for shape that is not face");
}

TEST(ShapeMeasures, ScaleAboutTheOrigin)
{
    const struct {
        const char* name;
        TopoDS_Shape shape;
        double factor;
        gp_Pnt min;
        gp_Pnt max;
    } cases[] = {
        {"unit cube by 2", unitCube(), 2.0, gp_Pnt(0, 0, 0), gp_Pnt(2, 2, 2)},
        {"cube at (1,1,1) by 2", boxAt(1, 1, 1, 1, 1, 1), 2.0, gp_Pnt(2, 2, 2), gp_Pnt(4, 4, 4)},
        {"cube at (1,1,1) by 0.001", boxAt(1, 1, 1, 1, 1, 1), 0.001, gp_Pnt(0.001, 0.001, 0.001),
         gp_Pnt(0.002, 0.002, 0.002)},
    };
    for (const auto& c : cases) {
        const TopoDS_Shape scaled = scaleShape(c.shape, c.factor);
        Bnd_Box box;
        box.SetGap(0.0);
        BRepBndLib::AddOptimal(scaled, box, false, false);
        EXPECT_LT(box.CornerMin().Distance(c.min), 1e-9) << c.name;
        EXPECT_LT(box.CornerMax().Distance(c.max), 1e-9) << c.name;
        EXPECT_NEAR(getShapeVolume(scaled), std::pow(c.factor, 3), 1e-12) << c.name;
    }
    expectMessage([] { scaleShape(TopoDS_Shape(), 2.0); }, "Empty shape passed to scaleShape()");
    const struct {
        double factor;
        const char* message;
    } invalid[] = {
        {0.0, "Invalid scale factor passed to scaleShape(): 0"},
        {-2.0, "Invalid scale factor passed to scaleShape(): -2"},
        {std::numeric_limits<double>::quiet_NaN(), "Invalid scale factor passed to scaleShape(): nan"},
        {std::numeric_limits<double>::infinity(), "Invalid scale factor passed to scaleShape(): inf"},
    };
    for (const auto& c : invalid) {
        expectMessage([&] { scaleShape(unitCube(), c.factor); }, c.message);
    }
}

TEST(ShapeMeasures, InternalFaces)
{
    // The unit cube's shell plus a mid-plane face marked INTERNAL.
    const TopoDS_Shape cube = unitCube();
    BRep_Builder builder;
    TopoDS_Shell shell;
    builder.MakeShell(shell);
    for (TopExp_Explorer explorer(cube, TopAbs_FACE); explorer.More(); explorer.Next()) {
        builder.Add(shell, explorer.Current());
    }
    builder.Add(shell, squareAt(0, 0, 0.5).Oriented(TopAbs_INTERNAL));
    TopoDS_Solid solid;
    builder.MakeSolid(solid);
    builder.Add(solid, shell);

    EXPECT_TRUE(hasInternalFaces(solid));
    EXPECT_FALSE(hasInternalFaces(cube));
    // Faces outside any shell are never looked at.
    EXPECT_FALSE(hasInternalFaces(compoundOf(squareAt(0, 0, 0).Oriented(TopAbs_INTERNAL))));
}

TEST(ShapeMeasures, EdgesToWires)
{
    // Square A(0,0) B(1,0) C(1,1) D(0,1), each edge's first vertex named first.
    const gp_Pnt a(0, 0, 0), b(1, 0, 0), c(1, 1, 0), d(0, 1, 0);
    const TopoDS_Shape bottom = segment(a, b), right = segment(b, c), top = segment(d, c), left = segment(a, d);
    const struct {
        const char* name;
        TopoDS_Shape shape;
        std::vector<int> edgesPerWire;
        std::vector<bool> closed;
    } cases[] = {
        {"bottom, right, top, left", compoundOf(bottom, right, top, left), {4}, {true}},
        // top touches no chain end when the first pass reaches it
        {"bottom, top, left, right", compoundOf(bottom, top, left, right), {3, 1}, {false, false}},
        {"two disjoint squares", compoundOf(bottom, right, top, left, squareAt(5, 5, 0)), {4, 4}, {true, true}},
        {"a face's edges each once", squareAt(0, 0, 0), {4}, {true}},
        {"no edges", compoundOf(vertexAt(0, 0, 0)), {}, {}},
    };
    for (const auto& c : cases) {
        const TopTools_ListOfShape wires = edgesToWires(c.shape);
        std::vector<int> edgesPerWire;
        std::vector<bool> closed;
        for (const TopoDS_Shape& wire : wires) {
            int edges = 0;
            for (TopExp_Explorer explorer(wire, TopAbs_EDGE); explorer.More(); explorer.Next()) {
                ++edges;
            }
            edgesPerWire.push_back(edges);
            closed.push_back(BRep_Tool::IsClosed(wire));
        }
        EXPECT_EQ(edgesPerWire, c.edgesPerWire) << c.name;
        EXPECT_EQ(closed, c.closed) << c.name;
    }
}

TEST(ShapeMeasures, NullShapesAreRefusedByName)
{
    const TopoDS_Shape null;
    gp_Vec direction;
    const struct {
        const char* message;
        std::function<void()> call;
    } cases[] = {
        {"getShapeVolume: null shape", [&] { getShapeVolume(null); }},
        {"getShapeArea: null shape", [&] { getShapeArea(null); }},
        {"getShapeLength: null shape", [&] { getShapeLength(null); }},
        {"isNegligibleShape: null shape", [&] { isNegligibleShape(null); }},
        {"getMinEdgeLength: null shape", [&] { getMinEdgeLength(null); }},
        {"getBoundingBoxDiagonal: null shape", [&] { getBoundingBoxDiagonal(null); }},
        {"getCentreOfMass: null shape", [&] { getCentreOfMass(null); }},
        {"getCentreOfMass: shape holds no vertex", [&] { getCentreOfMass(compoundOf()); }},
        {"getMinDistance: null shape", [&] { getMinDistance(unitCube(), null, direction); }},
        {"getFaceNormal: null shape", [&] { getFaceNormal(null); }},
        {"hasInternalFaces: null shape", [&] { hasInternalFaces(null); }},
        {"edgesToWires: null shape", [&] { edgesToWires(null); }},
    };
    for (const auto& c : cases) {
        expectMessage(c.call, c.message);
    }
}
