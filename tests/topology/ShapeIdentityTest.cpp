#include <gtest/gtest.h>

#include <functional>

#include <BRepBuilderAPI_Copy.hxx>
#include <BRep_Tool.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Shell.hxx>

#include "support/Exceptions.h"
#include "support/ShapeBuilders.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

TopoDS_Shape shellOf(const TopoDS_Shape& solid) { return firstOf(solid, TopAbs_SHELL); }

using Comparison = std::function<bool(const TopoDS_Shape&, const TopoDS_Shape&)>;

struct ComparisonCase {
    const char* name;
    Comparison compare;
    TopoDS_Shape a;
    TopoDS_Shape b;
    bool expected;
};

} // namespace

TEST(ShapeIdentity, MainShapeType)
{
    const TopoDS_Shape cube = unitCube();
    const struct {
        const char* name;
        TopoDS_Shape shape;
        TopAbs_ShapeEnum expected;
    } cases[] = {
        {"solid", cube, TopAbs_SOLID},
        {"face", squareAt(0, 0, 0), TopAbs_FACE},
        {"edge", segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)), TopAbs_EDGE},
        {"vertex", vertexAt(1, 2, 3), TopAbs_VERTEX},
        {"shell is not classified by content", shellOf(cube), TopAbs_VERTEX},
        {"wire", firstOf(cube, TopAbs_WIRE), TopAbs_VERTEX},
        {"compound of face and edge", compoundOf(squareAt(0, 0, 0), segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0))),
         TopAbs_FACE},
        {"solid nested two compounds deep", compoundOf(compoundOf(cube), vertexAt(0, 0, 0)), TopAbs_SOLID},
        {"empty compound", compoundOf(), TopAbs_VERTEX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(getMainShapeType(c.shape), c.expected) << c.name;
    }
    EXPECT_TRUE(isSameMainShapeType(cube, compoundOf(boxAt(5, 5, 5, 1, 1, 1))));
    EXPECT_FALSE(isSameMainShapeType(cube, squareAt(0, 0, 0)));
}

TEST(ShapeIdentity, GeometricSameness)
{
    const Comparison solid = [](auto& a, auto& b) { return isSameSolid(a, b); };
    const Comparison face = [](auto& a, auto& b) { return isSameFace(a, b); };
    const Comparison edge = [](auto& a, auto& b) { return isSameEdge(a, b); };
    const Comparison vertex = [](auto& a, auto& b) { return isSameVertex(a, b); };
    const Comparison shape = [](auto& a, auto& b) { return isSameShape(a, b); };
    const Comparison basic = [](auto& a, auto& b) { return isSameBasicShape(a, b); };
    const Comparison boxes = [](auto& a, auto& b) { return boundingBoxesMatch(a, b); };

    const TopoDS_Shape cube10 = boxAt(0, 0, 0, 10, 10, 10);
    // |v1 - v2| = 0.9995 lies between 0.001 * v2 and 0.001 * v1; centres 0.005
    // apart (tolerance 0.01), box bounds 0.01 apart (tolerance 0.4).
    const TopoDS_Shape cube10Flat = boxAt(0, 0, 0, 10, 10, 9.990005);
    // Same volume, centre 0.02 away (tolerance 0.01), boxes within 0.4.
    const TopoDS_Shape cube10Shifted = boxAt(0.02, 0, 0, 10, 10, 10);
    const TopoDS_Shape cube10Copy = BRepBuilderAPI_Copy(cube10, true, false).Shape();

    const TopoDS_Shape cube = unitCube();
    const ComparisonCase cases[] = {
        {"independent equal solids", solid, cube10, boxAt(0, 0, 0, 10, 10, 10), true},
        {"copied solid", solid, cube10, cube10Copy, true},
        {"volume within the first shape's tolerance", solid, cube10, cube10Flat, true},
        {"same pair, tolerance of the smaller first shape", solid, cube10Flat, cube10, false},
        {"inside-out solids (negative volume)", solid, unitCube().Reversed(), unitCube().Reversed(), true},
        {"volume differs by more than 0.1 %", solid, cube10, boxAt(0, 0, 0, 10, 10, 10.2), false},
        {"equal volume, centre too far", solid, cube10, cube10Shifted, false},
        {"equal volume far away", solid, cube10, boxAt(100, 0, 0, 10, 10, 10), false},
        {"independent equal faces", face, squareAt(0, 0, 0), squareAt(0, 0, 0), true},
        {"face of a solid and an equal free face", face, firstOf(cube, TopAbs_FACE),
         quad(gp_Pnt(0, 0, 0), gp_Pnt(0, 0, 1), gp_Pnt(0, 1, 1), gp_Pnt(0, 1, 0)), true},
        {"faces in parallel planes", face, squareAt(0, 0, 0), squareAt(0, 0, 1), false},
        {"independent equal edges", edge, segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)),
         segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)), true},
        {"edges of different length", edge, segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)),
         segment(gp_Pnt(0, 0, 0), gp_Pnt(1.01, 0, 0)), false},
        {"vertices 0.5e-6 apart", vertex, vertexAt(1, 1, 1), vertexAt(1 + 0.5e-6, 1, 1), true},
        {"vertices 2e-6 apart", vertex, vertexAt(1, 1, 1), vertexAt(1 + 2e-6, 1, 1), false},
        {"one bound off by 0.03 L", boxes, cube10, boxAt(0, 0, 0, 10, 10, 10.3), true},
        {"one bound off by 0.05 L", boxes, cube10, boxAt(0, 0, 0, 10, 10, 10.5), false},
        {"compound holding the solid among others", shape,
         compoundOf(boxAt(50, 0, 0, 1, 1, 1), boxAt(0, 0, 0, 10, 10, 10), boxAt(80, 0, 0, 2, 2, 2)), cube10, true},
        {"solid found in a compound given second", shape, cube10,
         compoundOf(boxAt(50, 0, 0, 1, 1, 1), boxAt(0, 0, 0, 10, 10, 10)), true},
        {"compound without the solid", shape, compoundOf(boxAt(50, 0, 0, 1, 1, 1)), cube10, false},
        {"face against solid", shape, squareAt(0, 0, 0), cube, false},
        {"compound of faces against solid", shape, compoundOf(squareAt(0, 0, 0), squareAt(0, 0, 1)), cube, false},
        {"identical shells are never the same", shape, shellOf(unitCube()), shellOf(unitCube()), false},
        {"null shape", shape, TopoDS_Shape(), cube, false},
        {"basic: vertex against edge", basic, vertexAt(0, 0, 0), segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)), false},
        {"basic: equal vertices", basic, vertexAt(0, 0, 0), vertexAt(0, 0, 0), true},
        {"basic: null shape", basic, cube, TopoDS_Shape(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.compare(c.a, c.b), c.expected) << c.name;
    }

    TopTools_ListOfShape list;
    EXPECT_FALSE(isShapeInList(cube10, list));
    list.Append(cube);
    list.Append(boxAt(0, 0, 0, 10, 10, 10));
    EXPECT_TRUE(isShapeInList(cube10, list));
    EXPECT_TRUE(isBasicShapeInList(cube10, list));
    EXPECT_FALSE(isShapeInList(boxAt(0, 0, 0, 3, 3, 3), list));
}

TEST(ShapeIdentity, ComparisonLeavesTriangulationOnSharedGeometry)
{
    const TopoDS_Shape cube = unitCube();
    const TopoDS_Shape copyOfHandle = cube;
    ASSERT_TRUE(isSameSolid(cube, unitCube()));
    TopLoc_Location location;
    EXPECT_FALSE(BRep_Tool::Triangulation(TopoDS::Face(firstOf(copyOfHandle, TopAbs_FACE)), location).IsNull());
}

TEST(ShapeIdentity, Contact)
{
    const TopoDS_Shape cube = unitCube();
    const TopoDS_Shape topSquare = squareAt(0, 0, 1);
    const TopoDS_Shape bottomEdge = segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0));
    const TopoDS_Shape byFace = boxAt(1, 0, 0, 1, 1, 1);
    const TopoDS_Shape byEdge = boxAt(1, 1, 0, 1, 1, 1);
    const TopoDS_Shape byCorner = boxAt(1, 1, 1, 1, 1, 1);
    const TopoDS_Shape overlapping = boxAt(0.5, 0.5, 0.5, 1, 1, 1);
    const Comparison solid = [](auto& a, auto& b) { return shapesShareSolid(a, b); };
    const Comparison face = [](auto& a, auto& b) { return shapesShareFace(a, b); };
    const Comparison edge = [](auto& a, auto& b) { return shapesShareEdge(a, b); };
    const Comparison overlap = [](auto& a, auto& b) { return shapesOverlap(a, b); };
    const Comparison vertex = [](auto& a, auto& b) { return haveCommonVertex(a, b); };

    const ComparisonCase cases[] = {
        {"solid and a face on its boundary", face, cube, topSquare, true},
        {"solid and a face of a separate box", face, cube, firstOf(boxAt(3, 0, 0, 1, 1, 1), TopAbs_FACE), false},
        {"face and an edge on its boundary", edge, squareAt(0, 0, 0), bottomEdge, true},
        {"face and an edge off it", edge, squareAt(0, 0, 0), segment(gp_Pnt(0, 0, 2), gp_Pnt(1, 0, 2)), false},
        {"solids touching by a face: solid", solid, cube, byFace, false},
        {"solids touching by a face: face", face, cube, byFace, false},
        {"solids touching by a face: edge", edge, cube, byFace, false},
        {"solids touching by an edge: solid", solid, cube, byEdge, false},
        {"solids touching by an edge: face", face, cube, byEdge, false},
        {"solids touching by an edge: edge", edge, cube, byEdge, false},
        {"solids touching by a corner: solid", solid, cube, byCorner, false},
        {"solids touching by a corner: face", face, cube, byCorner, false},
        {"solids touching by a corner: edge", edge, cube, byCorner, false},
        {"overlapping solids", solid, cube, overlapping, true},
        {"overlap of overlapping solids", overlap, cube, overlapping, true},
        {"overlap of a compound holding an overlapping solid", overlap,
         compoundOf(boxAt(5, 5, 5, 1, 1, 1), overlapping), cube, true},
        {"overlap of solids touching by a face", overlap, cube, byFace, false},
        {"overlap of a face lying on a solid's boundary", overlap, topSquare, cube, true},
        {"overlap with a vertex first", overlap, vertexAt(0.5, 0.5, 0.5), cube, false},
        {"overlap with a shell first", overlap, shellOf(cube), cube, false},
        {"overlap with a null shape", overlap, TopoDS_Shape(), cube, false},
        {"common vertex at a corner", vertex, cube, byCorner, true},
        {"no common vertex", vertex, cube, boxAt(3, 3, 3, 1, 1, 1), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.compare(c.a, c.b), c.expected) << c.name;
    }
}

TEST(ShapeIdentity, NullShapesAreRefusedByName)
{
    const TopoDS_Shape cube = unitCube();
    const TopoDS_Shape null;
    const struct {
        const char* message;
        std::function<void()> call;
    } cases[] = {
        {"getMainShapeType: null shape", [&] { getMainShapeType(null); }},
        {"isSameMainShapeType: null shape", [&] { isSameMainShapeType(cube, null); }},
        {"isSameSolid: null shape", [&] { isSameSolid(null, cube); }},
        {"isSameFace: null shape", [&] { isSameFace(cube, null); }},
        {"isSameEdge: null shape", [&] { isSameEdge(null, cube); }},
        {"isSameVertex: null shape", [&] { isSameVertex(null, vertexAt(0, 0, 0)); }},
        {"isSameVertex: shape is not a vertex", [&] { isSameVertex(vertexAt(0, 0, 0), cube); }},
        {"boundingBoxesMatch: null shape", [&] { boundingBoxesMatch(cube, null); }},
        {"meshShape: null shape", [&] { meshShape(null); }},
        {"shapesShareSolid: null shape", [&] { shapesShareSolid(null, cube); }},
        {"shapesShareFace: null shape", [&] { shapesShareFace(cube, null); }},
        {"shapesShareEdge: null shape", [&] { shapesShareEdge(null, cube); }},
        {"haveCommonVertex: null shape", [&] { haveCommonVertex(cube, null); }},
    };
    for (const auto& c : cases) {
        expectMessage(c.call, c.message);
    }
}

// The pre-test over measures made once lets through everything the identity
// test accepts (it is a necessary condition), and turns away shapes far off.
TEST(ShapeIdentity, PreTestOverMeasuresNeverMissesAMatch)
{
    const struct {
        const char* name;
        TopoDS_Shape a;
        TopoDS_Shape b;
        int dimension;
        bool same;    // isSameShape, worked out from the test's tolerances (1e-3 relative)
        bool passes;  // the pre-test at twice them
    } cases[] = {
        {"cube and its copy", unitCube(), boxAt(0, 0, 0), 3, true, true},
        {"cube moved by 0.0009 (test's tolerance 0.001)", unitCube(), boxAt(0.0009, 0, 0), 3, true, true},
        {"cube moved by 0.0015: refused, yet within twice", unitCube(), boxAt(0.0015, 0, 0), 3, false, true},
        {"cube moved by 0.01", unitCube(), boxAt(0.01, 0, 0), 3, false, false},
        {"cube 0.5 % larger", unitCube(), boxAt(0, 0, 0, 1.005, 1, 1), 3, false, false},
        {"square moved by 0.0009", squareAt(0, 0, 0), squareAt(0.0009, 0, 0), 2, true, true},
        {"square of side 2 moved by 0.003 (tolerance 0.002)", squareAt(0, 0, 0, 2), squareAt(0.003, 0, 0, 2), 2, false, true},
        {"edge of length 4 moved by 0.003 (tolerance 0.004)", segment(gp_Pnt(0, 0, 0), gp_Pnt(4, 0, 0)),
         segment(gp_Pnt(0.003, 0, 0), gp_Pnt(4.003, 0, 0)), 1, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isSameShape(c.a, c.b), c.same);
        EXPECT_EQ(mayBeSameByMeasure(identityMeasureOf(c.a, c.dimension), identityMeasureOf(c.b, c.dimension),
                                     c.dimension),
                  c.passes);
    }
    // A compound stands for its pieces, in order.
    const auto pieces = identityPieces(compoundOf(unitCube(), boxAt(2, 0, 0)));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_NEAR(identityMeasureOf(pieces[1], 3).centre.X(), 2.5, 1e-9);
}
