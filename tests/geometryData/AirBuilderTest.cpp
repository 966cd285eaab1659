// The air-region builder: box, planar rectangle and axisymmetric rectangle,
// checked against volumes, areas and lengths worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <BRepAdaptor_Surface.hxx>
#include <BRepAlgoAPI_Common.hxx>
#include <BRepAlgoAPI_Cut.hxx>
#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_Transform.hxx>
#include <BRepGProp.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <Geom_Plane.hxx>
#include <BRepTools_History.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>
#include <TopExp_Explorer.hxx>
#include <BRep_Builder.hxx>
#include <gp_Pln.hxx>

#include "AirValues.h"
#include "GroupFixtures.h"
#include "geometryData/AirBuilder.h"
#include "geometryData/GeneralFuse.h"
#include "topology/ShapeStatistics.h"
#include "geometryData/TopoEntity.h"
#include "support/Exceptions.h"
#include "support/LogCapture.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "topology/ShapeAlgorithms.h"

using namespace groupFixtures;

namespace {




using Entities = std::vector<std::shared_ptr<TopoEntity>>;

struct Built {
    TopoDS_Shape air;
    TopoDS_Shape infinity;
    TopoDS_Shape axis;
};

Built build(AirMode mode, const Entities& entities, double padding, const std::vector<TopoDS_Shape>& terminals = {})
{
    TopTools_ListOfShape terminalFaces;
    for (const auto& face : terminals) {
        terminalFaces.Append(face);
    }
    AirBuilder builder;
    builder.setTerminalFaces(terminalFaces);
    builder.setEntities(entities);
    builder.setPadding(padding);
    builder.setMode(mode);
    builder.create();
    return {builder.getAirShape(), builder.getInfinityShape(), builder.getAxisShape()};
}

// The sum of the measure over the sub-shapes of a type that lie in a plane.
double areaInPlane(const TopoDS_Shape& shape, int axis, double value)
{
    double sum = 0.0;
    TopTools_IndexedMapOfShape faces;
    TopExp::MapShapes(shape, TopAbs_FACE, faces);
    for (int i = 1; i <= faces.Extent(); ++i) {
        if (liesInPlane(faces(i), axis, value)) {
            sum += areaOf(faces(i));
        }
    }
    return sum;
}

// Whether every edge of the shape lies on one of the lines (axis, value).
bool edgesOnLines(const TopoDS_Shape& shape, const std::vector<std::pair<int, double>>& lines)
{
    TopTools_IndexedMapOfShape edges;
    TopExp::MapShapes(shape, TopAbs_EDGE, edges);
    for (int i = 1; i <= edges.Extent(); ++i) {
        bool on = false;
        for (const auto& [axis, value] : lines) {
            on = on || liesInPlane(edges(i), axis, value);
        }
        if (!on) {
            return false;
        }
    }
    return true;
}

TopoDS_Shape ring(double inner, double outer)
{
    return BRepAlgoAPI_Cut(disk(outer), disk(inner)).Shape();
}

// Square [y0, y0 + size] x [z0, z0 + size] in the plane x.
TopoDS_Shape xSquare(double x, double y0, double z0, double size)
{
    return quad(gp_Pnt(x, y0, z0), gp_Pnt(x, y0 + size, z0), gp_Pnt(x, y0 + size, z0 + size),
                gp_Pnt(x, y0, z0 + size));
}

// A unit square in the plane z = 0.5 beside the unit cube, centred on
// (0.5, 2.5, 0.5), whose surface has the given normal.
TopoDS_Shape planeFace(const gp_Dir& normal)
{
    return BRepBuilderAPI_MakeFace(gp_Pln(gp_Pnt(0.5, 2.5, 0.5), normal), -0.5, 0.5, -0.5, 0.5).Face();
}

} // namespace

// A unit cube at the origin: the box runs p beyond it on every side.
TEST(AirBuilderBox, CubeInThePaddedBox)
{
    const struct {
        const char* name;
        double padding;
        double p; // worked out by hand
    } cases[] = {
        {"automatic padding", 0.0, 0.5 * sqrt3},
        {"padding 2", 2.0, 2.0},
        {"negative padding asks for the automatic one", -1.0, 0.5 * sqrt3},
        {"so does a padding that is not a number", std::nan(""), 0.5 * sqrt3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TopoDS_Shape cube = unitCube();
        const Entities entities = {entity(cube, "Cube")};
        const Built result = build(boxAir, entities, c.padding);
        const double side = 1.0 + 2.0 * c.p;

        ASSERT_EQ(countOf(result.air, TopAbs_SOLID), 1);
        expectClose(volumeOf(result.air), side * side * side - 1.0, "air volume");
        EXPECT_EQ(countOf(result.air, TopAbs_FACE), 12); // six outer faces, six cavity walls
        const Extent box = extentOf(result.air);
        for (double low : {box.xmin, box.ymin, box.zmin}) {
            EXPECT_NEAR(low, -c.p, 1e-6);
        }
        for (double high : {box.xmax, box.ymax, box.zmax}) {
            EXPECT_NEAR(high, 1.0 + c.p, 1e-6);
        }

        EXPECT_EQ(countOf(result.infinity, TopAbs_FACE), 6);
        expectClose(areaOf(result.infinity), 6.0 * side * side, "infinity area");
        for (int axis = 0; axis < 3; ++axis) {
            expectClose(areaInPlane(result.infinity, axis, -c.p), side * side, "low side");
            expectClose(areaInPlane(result.infinity, axis, 1.0 + c.p), side * side, "high side");
        }
        EXPECT_TRUE(result.axis.IsNull());
        // Nothing to trim: the cube keeps its very shape.
        EXPECT_TRUE(entities[0]->getShape().IsSame(cube));
    }
    // The first case's numbers, written out.
    const Built automatic = build(boxAir, {entity(unitCube(), "Cube")}, 0.0);
    expectClose(volumeOf(automatic.air), 19.392305, "air volume");
    expectClose(areaOf(automatic.infinity), 44.784610, "infinity area");
    // A box without end is no box.
    expectMessage([] { build(boxAir, {entity(unitCube(), "Cube")}, INFINITY); },
                  "Invalid padding for the air: it must be a finite number.");
}

// The box ends at the plane of the cube's top face, whichever way that face points.
TEST(AirBuilderBox, TerminalFaceCutsTheBoxOff)
{
    const TopoDS_Shape top = planarFace(unitCube(), 2, 1.0);
    ASSERT_FALSE(top.IsNull());
    for (const TopoDS_Shape& terminal : {top, top.Reversed()}) {
        SCOPED_TRACE(terminal.IsEqual(top) ? "the face as in the cube" : "the face reversed");
        const Entities entities = {entity(unitCube(), "Cube")};
        const Built result = build(boxAir, entities, 2.0, {terminal});

        // Box [-2, 3] x [-2, 3] x [-2, 1] less the cube.
        expectClose(volumeOf(result.air), 74.0, "air volume");
        EXPECT_NEAR(extentOf(result.air).zmax, 1.0, 1e-6);
        EXPECT_EQ(countOf(result.infinity, TopAbs_FACE), 6);
        expectClose(areaOf(result.infinity), 109.0, "infinity area");
        expectClose(areaInPlane(result.infinity, 2, -2.0), 25.0, "bottom");
        expectClose(areaInPlane(result.infinity, 2, 1.0), 24.0, "top around the cube's top");
        double sides = 0.0;
        for (int axis = 0; axis < 2; ++axis) {
            sides += areaInPlane(result.infinity, axis, -2.0) + areaInPlane(result.infinity, axis, 3.0);
        }
        expectClose(sides, 60.0, "four sides");
        expectClose(volumeOf(entities[0]->getShape()), 1.0, "cube");
        const gp_Pnt centre = centreOf(entities[0]->getShape());
        EXPECT_NEAR(centre.Distance(gp_Pnt(0.5, 0.5, 0.5)), 0.0, 1e-9);
    }
    {
        SCOPED_TRACE("one builder, first without the terminal, then with it");
        AirBuilder builder;
        builder.setEntities({entity(unitCube(), "Cube")});
        builder.setPadding(2.0);
        builder.create();
        expectClose(volumeOf(builder.getAirShape()), 124.0, "air volume");
        // Without terminals the model and the box are fused at once.
        EXPECT_EQ(countOf(builder.getPartitionShape(), TopAbs_SOLID), 2);
        TopTools_ListOfShape terminals;
        terminals.Append(top);
        builder.setTerminalFaces(terminals);
        builder.create();
        expectClose(volumeOf(builder.getAirShape()), 74.0, "air volume");
        expectClose(areaOf(builder.getInfinityShape()), 109.0, "infinity area");
        EXPECT_TRUE(builder.getPartitionShape().IsNull());
    }
}

// Solids reaching beyond a terminal plane are trimmed to their part inside it.
TEST(AirBuilderBox, SolidsAreTrimmedAtTerminalPlanes)
{
    {
        SCOPED_TRACE("a rod through the plane x = 1.5");
        const double p = 0.5 * std::sqrt(6.0); // model box [0, 2] x [0, 1] x [0, 1]
        const Entities entities = {entity(unitCube(), "Cube"), entity(box(1, 0.25, 0.25, 2, 0.75, 0.75), "Rod")};
        const TopoDS_Shape section = quad(gp_Pnt(1.5, 0.25, 0.25), gp_Pnt(1.5, 0.75, 0.25),
                                          gp_Pnt(1.5, 0.75, 0.75), gp_Pnt(1.5, 0.25, 0.75));
        const Built result = build(boxAir, entities, 0.0, {section});
        expectClose(volumeOf(entities[0]->getShape()), 1.0, "cube");
        expectClose(volumeOf(entities[1]->getShape()), 0.125, "rod");
        EXPECT_NEAR(extentOf(entities[1]->getShape()).xmax, 1.5, 1e-6);
        const double cross = (1.0 + 2.0 * p) * (1.0 + 2.0 * p);
        expectClose(volumeOf(result.air), (1.5 + p) * cross - 1.125, "air volume");
        expectClose(areaOf(result.infinity), 2.0 * cross - 0.25 + 4.0 * (1.5 + p) * (1.0 + 2.0 * p),
                    "infinity area");
    }
    {
        SCOPED_TRACE("a box wholly beyond the plane is left out");
        const double p = 0.5 * std::sqrt(8.25); // model box [0, 2.5] x [0, 1] x [0, 1]
        const TopoDS_Shape far = box(2, 0, 0, 2.5, 1, 1);
        const Entities entities = {entity(unitCube(), "Cube"), entity(far, "Far")};
        LogCapture log(el::Level::Warning);
        const Built result = build(boxAir, entities, 0.0, {xSquare(1.5, 0, 0, 1)});
        EXPECT_FALSE(entities[1]->isActive());
        EXPECT_TRUE(entities[1]->getShape().IsSame(far));
        EXPECT_EQ(log.containing("solid Far lies wholly beyond the terminal planes").size(), 1u);
        EXPECT_TRUE(entities[0]->isActive());
        expectClose(volumeOf(entities[0]->getShape()), 1.0, "cube");
        expectClose(volumeOf(result.air), (1.5 + p) * (1.0 + 2.0 * p) * (1.0 + 2.0 * p) - 1.0, "air volume");
    }
    {
        SCOPED_TRACE("an arch keeps both legs below the plane z = 1");
        // Top [0, 3] x [0, 1] x [1, 2] on legs [0, 1] and [2, 3] x [0, 1] x [-3, 1]:
        // volume 11, centre of mass at z = (4.5 - 8) / 11, below the plane.
        const TopoDS_Shape arch = BRepAlgoAPI_Fuse(BRepAlgoAPI_Fuse(box(0, 0, 1, 3, 1, 2), box(0, 0, -3, 1, 1, 1)).Shape(),
                                                   box(2, 0, -3, 3, 1, 1))
                                      .Shape();
        ASSERT_EQ(countOf(arch, TopAbs_SOLID), 1);
        const double p = 0.5 * std::sqrt(35.0); // model box [0, 3] x [0, 1] x [-3, 2]
        const Entities entities = {entity(arch, "Arch")};
        const Built result = build(boxAir, entities, 0.0, {rectangleAt(0, 0, 3, 1, 1.0)});
        EXPECT_EQ(countOf(entities[0]->getShape(), TopAbs_SOLID), 2);
        EXPECT_EQ(entities[0]->getShape().ShapeType(), TopAbs_COMPOUND);
        expectClose(volumeOf(entities[0]->getShape()), 8.0, "both legs");
        expectClose(volumeOf(result.air), (3.0 + 2.0 * p) * (1.0 + 2.0 * p) * (4.0 + p) - 8.0, "air volume");
    }
    {
        SCOPED_TRACE("a plane through the model's centre keeps the plane's own normal");
        // The face lies beside the cube: the direction to the model's centre
        // is at pi/2 from the normal, not below 1.57, so the normal is kept
        // and the cube's half on its side is cut away.
        const TopoDS_Shape beside = rectangleAt(0, 2, 1, 3, 0.5);
        const double normalZ =
            Handle(Geom_Plane)::DownCast(BRep_Tool::Surface(TopoDS::Face(beside)))->Pln().Axis().Direction().Z();
        ASSERT_NEAR(std::fabs(normalZ), 1.0, 1e-12);
        const double p = 0.5 * sqrt3;
        const Entities entities = {entity(unitCube(), "Cube")};
        const Built result = build(boxAir, entities, 0.0, {beside});
        expectClose(volumeOf(entities[0]->getShape()), 0.5, "half cube");
        EXPECT_NEAR(centreOf(entities[0]->getShape()).Z(), normalZ > 0 ? 0.25 : 0.75, 1e-9);
        const double side = 1.0 + 2.0 * p;
        expectClose(volumeOf(result.air), side * side * (0.5 + p) - 0.5, "air volume");
    }
}

// Every error leaves the entities and the results as they were.
TEST(AirBuilderBox, BadTerminalsRaiseAndChangeNothing)
{
    TopoDS_Shape curved;
    for (TopExp_Explorer explorer(cylinder(1, 2), TopAbs_FACE); explorer.More(); explorer.Next()) {
        if (BRepAdaptor_Surface(TopoDS::Face(explorer.Current())).GetType() != GeomAbs_Plane) {
            curved = explorer.Current();
        }
    }
    ASSERT_FALSE(curved.IsNull());
    const TopoDS_Shape top = planarFace(unitCube(), 2, 1.0);
    const std::string notPlanar = "Input faces for air boundary (terminal) is not planar! Please check input boundaries!";
    const struct {
        const char* name;
        std::vector<TopoDS_Shape> terminals;
        std::string message;
    } cases[] = {
        {"a face cut from a cylinder", {curved}, notPlanar},
        {"a good terminal, then a curved one", {top, curved}, notPlanar},
        {"an edge", {segment(gp_Pnt(0, 0, 1), gp_Pnt(1, 0, 1))}, notPlanar},
        {"a face centred on the model's centre", {rectangleAt(0, 0, 1, 1, 0.5)},
         "Cannot orient terminal face: its centre coincides with the centre of the model."},
        // Two planes through the model's centre, beside the cube, at pi/2 from
        // the direction to it: each keeps its own normal, and between them they
        // cut the whole box away.
        {"two opposite planes through the centre", {planeFace(gp_Dir(0, 0, 1)), planeFace(gp_Dir(0, 0, -1))},
         "Problem during adding air! Please check your input or contact support!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TopoDS_Shape cube = unitCube();
        const Entities entities = {entity(cube, "Cube")};
        TopTools_ListOfShape terminals;
        for (const auto& face : c.terminals) {
            terminals.Append(face);
        }
        AirBuilder builder;
        builder.setEntities(entities);
        builder.setTerminalFaces(terminals);
        builder.setPadding(2.0);
        builder.setMode(boxAir);
        expectMessage([&] { builder.create(); }, c.message);
        EXPECT_TRUE(builder.getAirShape().IsNull());
        EXPECT_TRUE(builder.getInfinityShape().IsNull());
        EXPECT_TRUE(entities[0]->getShape().IsSame(cube));
        EXPECT_TRUE(entities[0]->isActive());
    }
}

// One cut with every solid as a tool, and no trimming without terminals, give
// what the cut per solid and the commons give.
TEST(AirBuilderBox, OneCutMatchesTheCutPerSolid)
{
    const struct {
        const char* name;
        std::vector<TopoDS_Shape> solids;
        double padding;
        std::vector<TopoDS_Shape> terminals;
        TopoDS_Shape region; // the box after the terminal cuts, built by hand
    } cases[] = {
        {"four touching cubes", {boxAt(0, 0, 0), boxAt(1, 0, 0), boxAt(0, 1, 0), boxAt(1, 1, 0)}, 1.0, {},
         box(-1, -1, -1, 3, 3, 2)},
        // Not partitioned: the cut's tools overlap.
        {"two overlapping cubes", {boxAt(0, 0, 0), boxAt(0.5, 0, 0)}, 1.0, {}, box(-1, -1, -1, 2.5, 2, 2)},
        {"cube and rod, two terminals",
         {unitCube(), box(1, 0.25, 0.25, 2, 0.75, 0.75)},
         1.0,
         {planarFace(unitCube(), 0, 0.0),
          quad(gp_Pnt(1.5, 0.25, 0.25), gp_Pnt(1.5, 0.75, 0.25), gp_Pnt(1.5, 0.75, 0.75), gp_Pnt(1.5, 0.25, 0.75))},
         box(0, -1, -1, 1.5, 2, 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Entities entities;
        for (std::size_t i = 0; i < c.solids.size(); ++i) {
            entities.push_back(entity(c.solids[i], "S" + std::to_string(i)));
        }
        const Built result = build(boxAir, entities, c.padding, c.terminals);

        // The loop: one cut per distinct solid of the model's fuse, then the
        // faces that share a face with the region's faces before the cuts.
        const TopoDS_Shape model = fused(c.solids);
        TopoDS_Shape region = c.region;
        TopTools_IndexedMapOfShape solids;
        TopExp::MapShapes(model, TopAbs_SOLID, solids);
        for (int i = 1; i <= solids.Extent(); ++i) {
            region = BRepAlgoAPI_Cut(region, solids(i)).Shape();
        }
        std::vector<TopoDS_Shape> outerFaces;
        for (TopExp_Explorer explorer(c.region, TopAbs_FACE); explorer.More(); explorer.Next()) {
            outerFaces.push_back(explorer.Current());
        }
        const TopoDS_Shape outer = fused(outerFaces);
        double infinityArea = 0.0;
        int infinityFaces = 0;
        for (TopExp_Explorer explorer(region, TopAbs_FACE); explorer.More(); explorer.Next()) {
            if (shapesShareFace(explorer.Current(), outer)) {
                infinityArea += areaOf(explorer.Current());
                ++infinityFaces;
            }
        }
        expectClose(volumeOf(result.air), volumeOf(region), "air volume");
        EXPECT_EQ(countOf(result.air, TopAbs_FACE), countOf(region, TopAbs_FACE));
        EXPECT_EQ(countOf(result.infinity, TopAbs_FACE), infinityFaces);
        expectClose(areaOf(result.infinity), infinityArea, "infinity area");

        // The commons of the per-solid trimming keep each solid's volume and centre.
        for (std::size_t i = 0; i < c.solids.size(); ++i) {
            const TopoDS_Shape inside = BRepAlgoAPI_Common(c.solids[i], c.region).Shape();
            expectClose(volumeOf(entities[i]->getShape()), volumeOf(inside), "solid volume");
            EXPECT_NEAR(centreOf(entities[i]->getShape()).Distance(centreOf(inside)), 0.0, 1e-9);
        }
    }
}

TEST(AirBuilderPlanar, RectangleAroundTheModel)
{
    const double p = 0.5 * sqrt2;
    const double side = 1.0 + 2.0 * p; // 1 + sqrt(2)
    {
        SCOPED_TRACE("unit square");
        const Built result = build(planarAir, {entity(squareAt(0, 0, 0), "Square")}, 0.0);
        expectClose(areaOf(result.air), 2.0 + 2.0 * sqrt2, "air area");
        expectClose(areaOf(result.air), 4.828427, "air area");
        EXPECT_EQ(countOf(result.air, TopAbs_FACE), 1);
        EXPECT_EQ(countOf(result.infinity, TopAbs_EDGE), 4);
        expectClose(lengthOf(result.infinity), 4.0 * side, "infinity length");
        expectClose(lengthOf(result.infinity), 9.656854, "infinity length");
        EXPECT_TRUE(edgesOnLines(result.infinity, {{0, -p}, {0, 1 + p}, {1, -p}, {1, 1 + p}}));
        EXPECT_TRUE(result.axis.IsNull());
    }
    {
        SCOPED_TRACE("a square in z = 5");
        LogCapture log(el::Level::Warning);
        const Built result = build(planarAir, {entity(squareAt(0, 0, 5), "Square")}, 0.0);
        EXPECT_TRUE(liesInPlane(result.air, 2, 0.0));
        EXPECT_EQ(countOf(result.air, TopAbs_FACE), 1);
        expectClose(areaOf(result.air), side * side, "whole rectangle");
        expectClose(areaOf(result.air), 5.828427, "whole rectangle");
        EXPECT_EQ(log.containing("the air surrounds nothing").size(), 1u);
    }
    {
        SCOPED_TRACE("a ring keeps the air outside and the disk inside");
        const double ringSide = 4.0 + 4.0 * sqrt2; // box [-2, 2]^2, p = 2 sqrt(2)
        const Built result = build(planarAir, {entity(ring(1, 2), "Ring")}, 0.0);
        EXPECT_EQ(countOf(result.air, TopAbs_FACE), 2);
        expectClose(areaOf(result.air), ringSide * ringSide - 3.0 * pi, "air area");
        expectClose(areaOf(result.air), 83.830056, "air area");
        expectClose(lengthOf(result.infinity), 4.0 * ringSide, "infinity length");
    }
    {
        SCOPED_TRACE("one cut matches the cut per face");
        const Entities entities = {entity(squareAt(0, 0, 0), "A"), entity(squareAt(2, 0, 0), "B")};
        const Built result = build(planarAir, entities, 1.0);
        TopoDS_Shape region = rectangleAt(-1, -1, 4, 2);
        for (const auto& e : entities) {
            region = firstOf(BRepAlgoAPI_Cut(region, e->getShape()).Shape(), TopAbs_FACE);
        }
        expectClose(areaOf(result.air), areaOf(region), "air area");
        expectClose(areaOf(result.air), 13.0, "air area");
        EXPECT_EQ(countOf(result.air, TopAbs_FACE), 1);
        EXPECT_EQ(countOf(result.air, TopAbs_EDGE), countOf(region, TopAbs_EDGE));
    }
}

TEST(AirBuilderAxisymmetric, RectangleFromTheAxis)
{
    const struct {
        const char* name;
        TopoDS_Shape square;
        double airArea;
        int axisEdges;
        double axisLength;
        double infinityLength;
        double x1, y0, y1; // the rectangle's sides off the axis
    } cases[] = {
        // [0, 2.5] x [-0.5, 1.5] less the square.
        {"square off the axis", rectangleAt(1, 0, 2, 1), 4.0, 1, 2.0, 7.0, 2.5, -0.5, 1.5},
        // [0, 1.5] x [-0.5, 1.5]: the square splits the axis in two.
        {"square on the axis", rectangleAt(0, 0, 1, 1), 2.0, 2, 1.0, 5.0, 1.5, -0.5, 1.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Built result = build(axisymmetricAir, {entity(c.square, "Square")}, 0.5);
        expectClose(areaOf(result.air), c.airArea, "air area");
        EXPECT_EQ(countOf(result.axis, TopAbs_EDGE), c.axisEdges);
        expectClose(lengthOf(result.axis), c.axisLength, "axis length");
        EXPECT_TRUE(edgesOnLines(result.axis, {{0, 0.0}}));
        EXPECT_EQ(countOf(result.infinity, TopAbs_EDGE), 3);
        expectClose(lengthOf(result.infinity), c.infinityLength, "infinity length");
        EXPECT_TRUE(edgesOnLines(result.infinity, {{0, c.x1}, {1, c.y0}, {1, c.y1}}));
    }
}

TEST(AirBuilderAxisymmetric, ModelMustLieInTheXYPlaneAtPositiveX)
{
    const std::string positiveX =
        "Error during creating of air. Axysimmetric geometry should be in XY plane with positive X";
    const std::string nonPlanar = "Error during creating of air. Could not create air for non-planar geometry.";
    const struct {
        const char* name;
        TopoDS_Shape square;
        std::string message; // empty: accepted
    } cases[] = {
        {"minX = -0.001", rectangleAt(-0.001, 0, 1, 1), positiveX},
        {"minX = -1e-6 is within the tolerance", rectangleAt(-1e-6, 0, 1, 1), ""},
        {"z = 0.001", rectangleAt(1, 0, 2, 1, 0.001), nonPlanar},
        {"both: the axis is tested first", rectangleAt(-0.001, 0, 1, 1, 0.001), positiveX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AirBuilder builder;
        builder.setEntities({entity(c.square, "Square")});
        builder.setPadding(0.5);
        builder.setMode(axisymmetricAir);
        if (c.message.empty()) {
            // [0, 1.5] x [-0.5, 1.5] less the square's part at x >= 0.
            builder.create();
            expectClose(areaOf(builder.getAirShape()), 2.0, "air area");
        } else {
            expectMessage([&] { builder.create(); }, c.message);
            EXPECT_TRUE(builder.getAirShape().IsNull());
            EXPECT_TRUE(builder.getAxisShape().IsNull());
        }
    }
}

TEST(AirBuilder, NothingToBuild)
{
    {
        SCOPED_TRACE("a mode outside the three does nothing");
        AirBuilder builder;
        builder.setEntities({entity(unitCube(), "Cube")});
        builder.setMode(static_cast<AirMode>(3));
        builder.create();
        EXPECT_TRUE(builder.getAirShape().IsNull());
        EXPECT_TRUE(builder.getInfinityShape().IsNull());
        EXPECT_TRUE(builder.getAxisShape().IsNull());
    }
    const std::string nothing = "Cannot add air: the model has no shape to surround.";
    auto inactive = entity(squareAt(0, 0, 0), "Square");
    inactive->setActive(false);
    for (const AirMode mode : {boxAir, planarAir, axisymmetricAir}) {
        SCOPED_TRACE(mode);
        AirBuilder builder;
        builder.setEntities(mode == boxAir ? Entities{} : Entities{inactive});
        builder.setMode(mode);
        expectMessage([&] { builder.create(); }, nothing);
        EXPECT_TRUE(builder.getAirShape().IsNull());
    }
}

namespace {

// A cube [0, 4]^3 holding two unit voids: one solid of three shells, 62 of volume.
TopoDS_Shape cubeWithTwoVoids()
{
    return firstOf(BRepAlgoAPI_Cut(box(0, 0, 0, 4, 4, 4), compoundOf(boxAt(1, 1, 1), boxAt(2.5, 1, 1))).Shape(),
                   TopAbs_SOLID);
}

TopTools_ListOfShape solidsOf(const TopoDS_Shape& shape)
{
    TopTools_ListOfShape solids;
    TopTools_IndexedMapOfShape map;
    TopExp::MapShapes(shape, TopAbs_SOLID, map);
    for (int i = 1; i <= map.Extent(); ++i) {
        solids.Append(map(i));
    }
    return solids;
}

} // namespace

// A solid with inner voids in the padded box: the voids are air too, and the
// model and the air fill the box once.
TEST(AirBuilderBox, SolidWithInnerVoids)
{
    const TopoDS_Shape model = cubeWithTwoVoids();
    ASSERT_EQ(countOf(model, TopAbs_SHELL), 3);
    const Built result = build(boxAir, {entity(model, "Hollow")}, 1.0);
    // The box [-1, 5]^3 holds 216: 152 outside the cube, 1 in each void.
    ASSERT_EQ(countOf(result.air, TopAbs_SOLID), 3);
    expectClose(volumeOf(result.air), 216.0 - 62.0, "air volume");
    EXPECT_EQ(countOf(result.infinity, TopAbs_FACE), 6);
}

// The air around a model's outer faces, the road when the model's fuse with
// the box comes out wrong: the model's solids are kept, the air's solids fill
// the rest of the box, or the model is refused naming what is wrong.
TEST(AirBuilderBox, AirAroundTheModelsOuterFaces)
{
    const TopoDS_Shape hollow = cubeWithTwoVoids();
    // Two cubes sharing the face x = 1, as a fuse leaves them.
    const TopoDS_Shape touching = fused({unitCube(), boxAt(1, 0, 0)});
    const struct {
        const char* name;
        TopTools_ListOfShape model;
        TopoDS_Shape box;
        int airSolids;
        double airVolume; // worked out by hand
        std::string refusal;
    } cases[] = {
        {"a solid with two voids", solidsOf(hollow), box(-1, -1, -1, 5, 5, 5), 3, 216.0 - 62.0, ""},
        {"two cubes sharing a face", solidsOf(touching), box(-1, -1, -1, 3, 2, 2), 1, 36.0 - 2.0, ""},
        {"an inverted cube", solidsOf(compoundOf(unitCube().Reversed())), box(-1, -1, -1, 2, 2, 2), 0, 0.0,
         "Solid_1 is inverted (volume -1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> labels;
        for (int i = 1; i <= c.model.Extent(); ++i) {
            labels.push_back("Solid_" + std::to_string(i));
        }
        const AirAroundModel made = airAroundModel(c.model, labels, c.box);
        EXPECT_EQ(made.refusal, c.refusal);
        if (!c.refusal.empty()) {
            EXPECT_TRUE(made.air.IsNull());
            continue;
        }
        EXPECT_EQ(countOf(made.air, TopAbs_SOLID), c.airSolids);
        expectClose(volumeOf(made.air), c.airVolume, "air volume");
        EXPECT_EQ(countOf(made.partition, TopAbs_SOLID), c.model.Extent() + c.airSolids);
        expectClose(volumeOf(made.partition), volumeOf(c.box), "model and air");
        EXPECT_EQ(countOf(made.infinity, TopAbs_FACE), 6);
        // The model's solids are the partition's, untouched.
        TopTools_IndexedMapOfShape partitionSolids;
        TopExp::MapShapes(made.partition, TopAbs_SOLID, partitionSolids);
        for (const TopoDS_Shape& solid : c.model) {
            EXPECT_TRUE(partitionSolids.Contains(solid));
        }
    }
}

// Solids that overlap after the read (a fuse that left one solid whole where
// another lies in it): the air around their outer faces cannot fill the box,
// but the pieces a fuse splits them into can be surrounded, once they hold
// the solids' volumes.
TEST(AirBuilderBox, AirAroundTheFusedPiecesOfOverlappingSolids)
{
    // The bar [0, 2] x [0, 1] x [0, 1] left whole around the cube [0, 1]^3,
    // sharing the cube's five faces on its boundary: the faces of two fused
    // cubes but the one between them.
    const TopoDS_Shape halves = fused({unitCube(), boxAt(1, 0, 0)});
    const TopTools_ListOfShape both = solidsOf(halves);
    const TopoDS_Shape cube = both.First();
    ASSERT_NEAR(centreOf(cube).X(), 0.5, 1e-9);
    BRep_Builder builder;
    TopoDS_Shell shell;
    builder.MakeShell(shell);
    TopTools_IndexedDataMapOfShapeListOfShape solidsOfFaces;
    TopExp::MapShapesAndAncestors(halves, TopAbs_FACE, TopAbs_SOLID, solidsOfFaces);
    for (TopExp_Explorer explorer(halves, TopAbs_FACE); explorer.More(); explorer.Next()) {
        if (solidsOfFaces.FindFromKey(explorer.Current()).Extent() == 1) {
            builder.Add(shell, explorer.Current());
        }
    }
    TopoDS_Solid bar;
    builder.MakeSolid(bar);
    builder.Add(bar, shell);
    ASSERT_NEAR(volumeOf(bar), 2.0, 1e-9);
    const TopoDS_Shape region = box(-1, -1, -1, 3, 2, 2); // 36
    TopTools_ListOfShape model;
    model.Append(bar);
    model.Append(cube);
    const std::vector<std::string> labels = {"Bar", "Cube"};
    // Around the outer faces as they are (the bar's far five and the cube's
    // face x = 1), the air leaves out only the bar's far half: 2 + 1 + 35.
    EXPECT_EQ(airAroundModel(model, labels, region).refusal,
              "neither do the model's solids and the air around their outer faces fill the box (38 of 36): the "
              "model's solids overlap");
    TopTools_ListOfShape arguments = model;
    arguments.Append(region);
    const GeneralFuseResult fuse = runGeneralFuse(arguments, GeneralFuseOptions());
    ASSERT_FALSE(fuse.failed());
    const FusedModel fusedModel = fusedModelOf(model, labels, fuse.history);
    EXPECT_EQ(fusedModel.fault, "");
    // The bar beyond the cube (1) and the cube the two share (1).
    ASSERT_EQ(fusedModel.pieces.Extent(), 2);
    std::map<std::string, double> volumes;
    std::size_t position = 0;
    for (const TopoDS_Shape& piece : fusedModel.pieces) {
        volumes[fusedModel.labels[position++]] = volumeOf(piece);
    }
    ASSERT_EQ(volumes.size(), 2u);
    expectClose(volumes["Bar"], 1.0, "the bar beyond the cube");
    expectClose(volumes["the part that Bar and Cube share"], 1.0, "the cube");

    // The road for a wrong fuse of the model and the box takes those pieces.
    const LogCapture warnings(el::Level::Warning);
    const AirAroundModel around = airAroundWrongFuse(model, labels, region, fuse);
    EXPECT_EQ(around.refusal, "");
    EXPECT_EQ(countOf(around.air, TopAbs_SOLID), 1);
    expectClose(volumeOf(around.air), 36.0 - 2.0, "air volume");
    EXPECT_EQ(countOf(around.partition, TopAbs_SOLID), 3);
    expectClose(volumeOf(around.partition), 36.0, "model and air");
    EXPECT_EQ(countOf(around.infinity, TopAbs_FACE), 6);
    EXPECT_EQ(warnings.containing("Adding air: Bar and Cube overlap; the air is built around the pieces the fuse "
                                  "splits them into")
                  .size(),
              1u);

    // A history whose images do not hold a solid is no model to surround.
    Handle(BRepTools_History) shrunk = new BRepTools_History;
    shrunk->AddModified(bar, box(0, 0, 0, 0.5, 1, 1));
    EXPECT_EQ(fusedModelOf(model, labels, shrunk).fault,
              "the pieces made from Bar (0.5 of its 2) do not hold that solid's volume");

    // Solids that only touch keep their own shapes.
    const TopoDS_Shape touching = fused({unitCube(), boxAt(1, 0, 0)});
    TopTools_ListOfShape touchingArguments = solidsOf(touching);
    touchingArguments.Append(region);
    const AirAroundModel beside =
        airAroundWrongFuse(solidsOf(touching), labels, region, runGeneralFuse(touchingArguments, GeneralFuseOptions()));
    EXPECT_EQ(beside.refusal, "");
    expectClose(volumeOf(beside.air), 36.0 - 2.0, "air beside touching cubes");
    TopTools_IndexedMapOfShape partitionSolids;
    TopExp::MapShapes(beside.partition, TopAbs_SOLID, partitionSolids);
    for (const TopoDS_Shape& solid : solidsOf(touching)) {
        EXPECT_TRUE(partitionSolids.Contains(solid));
    }
}

// A refusal names the solids that hold a pair of sub-shapes the kernel found
// interfering within one argument (its alert's compound, given here: two
// vertices at one point in a solid of two cubes that touch at a corner).
TEST(AirBuilderBox, RefusalNamesTheSelfInterferingSolids)
{
    BRep_Builder builder;
    TopoDS_Shell shell;
    builder.MakeShell(shell);
    for (const TopoDS_Shape& part : {unitCube(), boxAt(1, 1, 1)}) {
        for (TopExp_Explorer explorer(part, TopAbs_FACE); explorer.More(); explorer.Next()) {
            builder.Add(shell, explorer.Current());
        }
    }
    TopoDS_Solid corner;
    builder.MakeSolid(corner);
    builder.Add(corner, shell);
    TopoDS_Compound pair;
    builder.MakeCompound(pair);
    for (TopExp_Explorer explorer(corner, TopAbs_VERTEX); explorer.More(); explorer.Next()) {
        if (BRep_Tool::Pnt(TopoDS::Vertex(explorer.Current())).Distance(gp_Pnt(1, 1, 1)) < 1e-9) {
            builder.Add(pair, explorer.Current());
        }
    }
    ASSERT_EQ(countOf(pair, TopAbs_VERTEX), 2);

    // A face beside the solid: the air around the model's outer faces is refused.
    const TopoDS_Shape region = box(-1, -1, -1, 7, 3, 3);
    TopTools_ListOfShape model;
    model.Append(squareAt(4, 0, 0));
    model.Append(corner);
    TopTools_ListOfShape arguments = model;
    arguments.Append(region);
    GeneralFuseOptions options;
    options.raiseOnVolumeFault = false;
    GeneralFuseResult fuse = runGeneralFuse(arguments, options);
    ASSERT_FALSE(fuse.failed());
    fuse.selfInterferences.Append(pair);
    EXPECT_EQ(airAroundWrongFuse(model, {"Square", "Corner"}, region, fuse).refusal,
              "the model holds a piece that is not a solid but a FACE; Corner is self-interfering (the kernel finds faces, edges or vertices "
              "of one solid crossing one another)");
}

// The box follows the fused model: with meshed entities the model's shapes as
// given bound their faces by the triangulation, the fused model its split
// faces by their exact geometry.
TEST(AirBuilderBox, MeshedInputIsBoxedAsItsFuse)
{
    const TopoDS_Shape left = cylinder(1.0, 1.0);
    gp_Trsf shift;
    shift.SetTranslation(gp_Vec(1.2, 0.0, 0.0));
    const TopoDS_Shape right = BRepBuilderAPI_Transform(cylinder(1.0, 1.0), shift, true).Shape();
    meshShape(left);
    meshShape(right);

    // The route computed here: fuse, statistics of the fuse, padded box, cut.
    const TopoDS_Shape model = fused({left, right});
    ShapeStatistics bounds;
    getShapeStatistics(model, bounds);
    const double dx = bounds.maxX - bounds.minX;
    const double dy = bounds.maxY - bounds.minY;
    const double dz = bounds.maxZ - bounds.minZ;
    const double p = 0.5 * std::sqrt(dx * dx + dy * dy + dz * dz);
    const TopoDS_Shape region =
        box(bounds.minX - p, bounds.minY - p, bounds.minZ - p, bounds.maxX + p, bounds.maxY + p, bounds.maxZ + p);
    const double expected = volumeOf(BRepAlgoAPI_Cut(region, model).Shape());
    // The box of the shapes as given differs.
    ShapeStatistics given;
    getShapeStatistics(compoundOf(left, right), given);
    EXPECT_NE(given.maxY, bounds.maxY);

    const Built result = build(boxAir, {entity(left, "Left"), entity(right, "Right")}, 0.0);
    EXPECT_NEAR(volumeOf(result.air), expected, 1e-9 * expected);
    EXPECT_EQ(countOf(result.infinity, TopAbs_FACE), 6);
}
