#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>

#include <sys/wait.h>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <Geom_Line.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Vertex.hxx>
#include <TopoDS_Wire.hxx>
#include <gp.hxx>
#include <gp_Circ.hxx>
#include <gp_Pln.hxx>

#include "support/ShapeBuilders.h"
#include "topology/BoundedMesh.h"
#include "topology/ShapeAlgorithms.h"
#include "topology/ShapePreview.h"

namespace {

bool triangulated(const TopoDS_Shape& shape, double deflection)
{
    return BRepTools::Triangulation(shape, deflection, true);
}

// A planar face bounded by a bow tie: its wire crosses itself, so the shape
// check finds the face invalid (the mesher still ends on it).
TopoDS_Shape bowTie()
{
    return quad(gp_Pnt(0, 0, 0), gp_Pnt(1, 1, 0), gp_Pnt(1, 0, 0), gp_Pnt(0, 1, 0));
}

// No child left behind: every child process has been reaped.
bool noChildLeft()
{
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

} // namespace

TEST(BoundedMesh, ProbeEndsOrIsStoppedAndLeavesTheShape)
{
    const TopoDS_Shape cube = unitCube();
    EXPECT_TRUE(meshingEnds(cube, 0.01, 0.5));
    EXPECT_FALSE(triangulated(cube, 1.0)) << "the probe meshes the child's memory only";

    // Millions of triangles: far more than 50 ms of meshing. The probe is
    // stopped at its limit and the child is gone when it returns.
    const TopoDS_Shape sphere = BRepPrimAPI_MakeSphere(1.0).Shape();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(meshingEnds(sphere, 1e-6, 0.01, 0.05));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_FALSE(triangulated(sphere, 1.0));
    EXPECT_TRUE(noChildLeft());
}

TEST(BoundedMesh, MeshesInPlaceAtTheDeflectionAsked)
{
    const struct {
        const char* name;
        TopoDS_Shape shape;
        bool triangulated; // the mesher leaves a face whose wire crosses itself bare
    } cases[] = {
        {"valid cube", unitCube(), true},
        {"face whose wire crosses itself, on which the mesher ends", bowTie(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(meshWithinLimit(c.shape, 0.01, 0.5, "test"), 0.01);
        EXPECT_EQ(triangulated(c.shape, 0.01), c.triangulated);
        EXPECT_TRUE(noChildLeft());
    }
}

// A shape whose box has no extent (an edge of zero length and tolerance)
// never reaches the mesher with a deflection of zero: meshing and previews
// pass over it.
TEST(BoundedMesh, ShapeWithoutExtentIsNotMeshed)
{
    BRep_Builder builder;
    TopoDS_Edge edge;
    builder.MakeEdge(edge, new Geom_Line(gp_Pnt(1, 2, 3), gp_Dir(1, 0, 0)), 0.0);
    TopoDS_Vertex vertex;
    builder.MakeVertex(vertex, gp_Pnt(1, 2, 3), 0.0);
    builder.Add(edge, vertex.Oriented(TopAbs_FORWARD));
    builder.Add(edge, vertex.Oriented(TopAbs_REVERSED));
    builder.Range(edge, 0.0, 0.0);
    EXPECT_NO_THROW(meshShape(edge));
    EXPECT_NO_THROW(previewPolyData(edge));
}

namespace {

// A face of no area whose boundary goes out along a half circle and back along
// it in two arcs, as a general fuse can leave on a hole's rim: the shape check
// finds it valid, yet in a solid's context the mesher's frontier can loop on it.
TopoDS_Shape retracedHalfCircle()
{
    const gp_Circ circle(gp_Ax2(gp_Pnt(0, 0, 0), gp_Dir(0, 0, 1)), 1.0);
    const TopoDS_Vertex start = BRepBuilderAPI_MakeVertex(gp_Pnt(1, 0, 0));
    const TopoDS_Vertex top = BRepBuilderAPI_MakeVertex(gp_Pnt(0, 1, 0));
    const TopoDS_Vertex end = BRepBuilderAPI_MakeVertex(gp_Pnt(-1, 0, 0));
    const TopoDS_Edge out = BRepBuilderAPI_MakeEdge(circle, start, end);
    const TopoDS_Edge backFirst = BRepBuilderAPI_MakeEdge(circle, top, end);
    const TopoDS_Edge backSecond = BRepBuilderAPI_MakeEdge(circle, start, top);
    BRep_Builder builder;
    TopoDS_Wire wire;
    builder.MakeWire(wire);
    builder.Add(wire, out);
    builder.Add(wire, backFirst.Reversed());
    builder.Add(wire, backSecond.Reversed());
    wire.Closed(true);
    return BRepBuilderAPI_MakeFace(gp_Pln(gp::XOY()), wire, true).Shape();
}

} // namespace

// The faces meshed in a child first: a wire that crosses itself, two edges
// along each other (retraced, or closer than the deflection), and nothing on
// sound shapes, whose seams and split circles are not taken for either.
TEST(BoundedMesh, FacesWhereMeshingMayStall)
{
    const TopoDS_Shape drilled = BRepAlgoAPI_Cut(unitCube(), BRepPrimAPI_MakeCylinder(
        gp_Ax2(gp_Pnt(0.5, 0.5, -1), gp_Dir(0, 0, 1)), 0.25, 3).Shape()).Shape();
    const struct {
        const char* name;
        TopoDS_Shape shape;
        double deflection;
        std::vector<int> faces;
    } cases[] = {
        {"unit cube", unitCube(), 0.01, {}},
        {"cylinder, with its seam", cylinder(1.0, 2.0), 0.01, {}},
        {"cube with a round hole", drilled, 0.01, {}},
        {"bow tie", bowTie(), 0.01, {1}},
        {"half circle retraced", retracedHalfCircle(), 0.01, {1}},
        {"strip narrower than the deflection", rectangleAt(0, 0, 1, 0.005), 0.01, {1}},
        {"strip wider than the deflection", rectangleAt(0, 0, 1, 0.05), 0.01, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(facesWhereMeshingMayStall(c.shape, c.deflection), c.faces);
    }
    // The retraced face is meshed in a child first, and in place after it ends there.
    const TopoDS_Shape retraced = retracedHalfCircle();
    EXPECT_DOUBLE_EQ(meshWithinLimit(retraced, 0.01, 0.5, "test"), 0.01);
    EXPECT_TRUE(noChildLeft());
}

// The limit holds for each face, not for the whole shape: many faces that
// each end are meshed however long they take together.
TEST(BoundedMesh, LimitHoldsForEachFace)
{
#ifdef __SANITIZE_ADDRESS__
    // The instrumented child spends seconds without progress in the
    // allocator's own work, so no limit drawn from one sphere's time holds.
    GTEST_SKIP() << "timing does not hold in an instrumented build";
#endif
    // One sphere's meshing in a child, timed with what the child costs (its
    // start and the copies of the pages it writes, large in an instrumented
    // build), sets the limit at six times its length, so that twelve spheres
    // take about twice the limit together. The mesher's last stage, after the
    // faces, runs without progress for a time that grows with the shape,
    // which a larger factor leaves room for.
    const double deflection = 1e-3;
    const auto secondsInChild = [&](const TopoDS_Shape& shape, double limit) {
        const auto start = std::chrono::steady_clock::now();
        const bool ended = meshingEnds(shape, deflection, 0.5, limit);
        return std::make_pair(ended, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    };
    const auto [oneEnded, one] = secondsInChild(BRepPrimAPI_MakeSphere(1.0).Shape(), 60.0);
    ASSERT_TRUE(oneEnded);
    const double limit = 6.0 * one;
    // Distinct spheres: the mesher meshes a face shared by copies once.
    BRep_Builder builder;
    TopoDS_Compound spheres;
    builder.MakeCompound(spheres);
    for (int i = 0; i < 12; ++i) {
        builder.Add(spheres, BRepPrimAPI_MakeSphere(gp_Pnt(3.0 * i, 0, 0), 1.0).Shape());
    }
    const auto [ended, together] = secondsInChild(spheres, limit);
    EXPECT_TRUE(ended) << "limit " << limit << " s, " << together << " s together";
    EXPECT_TRUE(noChildLeft());
}
