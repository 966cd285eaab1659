#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Geom_Line.hxx>
#include <TopoDS.hxx>

#include "support/Exceptions.h"
#include "support/LogCapture.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "topology/ShapeRepair.h"
#include "vemra_exception.h"

namespace {

struct RepairRun {
    TopoDS_Shape result;
    std::vector<std::string> info;
    std::string out;
};

// The logger echoes to standard output: silence it so that the capture holds
// only what the repair itself prints.
struct QuietConsoleLog {
    QuietConsoleLog() { el::Loggers::reconfigureLogger("default", el::ConfigurationType::ToStandardOutput, "false"); }
    ~QuietConsoleLog() { el::Loggers::reconfigureLogger("default", el::ConfigurationType::ToStandardOutput, "true"); }
};

RepairRun repair(const TopoDS_Shape& shape)
{
    const QuietConsoleLog quiet;
    const LogCapture info(el::Level::Info);
    testing::internal::CaptureStdout();
    RepairRun run;
    run.result = ShapeRepair::pre_process_cad(shape);
    run.out = testing::internal::GetCapturedStdout();
    run.info = info.messages(el::Level::Info);
    return run;
}

// Every repair message carries a line end of its own.
std::vector<std::string> logged(std::initializer_list<const char*> messages)
{
    std::vector<std::string> lines;
    for (const char* message : messages) {
        lines.push_back(std::string("pre_process_cad: ") + message + "\n");
    }
    return lines;
}

// A unit cube whose first vertex is moved off its edges, keeping a tiny tolerance.
TopoDS_Shape cubeWithMovedVertex()
{
    const TopoDS_Shape cube = unitCube();
    const TopoDS_Vertex vertex = TopoDS::Vertex(firstOf(cube, TopAbs_VERTEX));
    const gp_Pnt point = BRep_Tool::Pnt(vertex);
    BRep_Builder().UpdateVertex(vertex, gp_Pnt(point.X() + 1e-3, point.Y(), point.Z()), 1e-7);
    return cube;
}

// A straight edge wrongly flagged as degenerated.
TopoDS_Shape falselyDegeneratedEdge(double z)
{
    TopoDS_Edge edge = TopoDS::Edge(segment(gp_Pnt(0, 0, z), gp_Pnt(1, 0, z)));
    BRep_Builder().Degenerated(edge, true);
    return edge;
}

const char* const issuesLine = "Some issues have been detected for the imported geometry. See log for details\n";

} // namespace

TEST(ShapeRepair, ValidShapePassesUnchanged)
{
    const TopoDS_Shape cube = unitCube();
    const RepairRun run = repair(cube);
    EXPECT_TRUE(run.result.IsSame(cube));
    EXPECT_EQ(run.info, logged({"Shape is valid, it will not be modified"}));
    EXPECT_EQ(run.out, "");
}

TEST(ShapeRepair, InvalidShapesGoDownTheLadder)
{
    const struct {
        const char* name;
        TopoDS_Shape shape;
        std::vector<std::string> info;
        bool validAfter;
        int edgesAfter;
    } cases[] = {
        {"vertex off its edges", cubeWithMovedVertex(),
         logged({"Shape is invalid, beginning repair", "Shape after fix_basic is valid"}), true, 24},
        {"a good edge and a falsely degenerated one", compoundOf(falselyDegeneratedEdge(0), segment(gp_Pnt(0, 0, 1), gp_Pnt(1, 0, 1))),
         logged({"Shape is invalid, beginning repair", "resultShape after fix_basic is not valid",
                 "Shape after ShapeFix_Wireframe is not valid", "Shape after removing degenerated_edges is valid"}),
         true, 1},
    };
    for (const auto& c : cases) {
        const RepairRun run = repair(c.shape);
        EXPECT_EQ(run.out, issuesLine) << c.name;
        EXPECT_EQ(run.info, c.info) << c.name;
        ASSERT_FALSE(run.result.IsNull()) << c.name;
        EXPECT_EQ(ShapeRepair::is_valid(run.result), c.validAfter) << c.name;
        EXPECT_EQ(occurrencesOf(run.result, TopAbs_EDGE), c.edgesAfter) << c.name;
    }
}

// A step the kernel aborts, or one that leaves no shape, ends the repair with
// the system's exception naming the step, after the lines logged so far.
TEST(ShapeRepair, KernelFailuresReachTheCaller)
{
    // A straight edge whose parameter range runs backwards: invalid, and the
    // general healing raises a construction error on it.
    BRep_Builder builder;
    TopoDS_Edge backwards;
    builder.MakeEdge(backwards, new Geom_Line(gp_Pnt(0, 0, 0), gp_Dir(1, 0, 0)), 1e-7);
    builder.Range(backwards, 1.0, 0.0);

    const struct {
        const char* name;
        TopoDS_Shape shape;
        std::string message;
        std::vector<std::string> info;
    } cases[] = {
        {"healing raises", backwards, "pre_process_cad: fix_basic: CAD kernel failure: Standard_ConstructionError",
         logged({"Shape is invalid, beginning repair"})},
        // Removing the only edge leaves nothing to go on with.
        {"only a falsely degenerated edge", compoundOf(falselyDegeneratedEdge(0)),
         "pre_process_cad: remove_edges: CAD kernel failure: the step left a null shape",
         logged({"Shape is invalid, beginning repair", "resultShape after fix_basic is not valid",
                 "Shape after ShapeFix_Wireframe is not valid"})},
    };
    for (const auto& c : cases) {
        const QuietConsoleLog quiet;
        const LogCapture info(el::Level::Info);
        testing::internal::CaptureStdout();
        EXPECT_EQ(thrownMessage([&] { ShapeRepair::pre_process_cad(c.shape); }), c.message) << c.name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), issuesLine) << c.name;
        EXPECT_EQ(info.messages(el::Level::Info), c.info) << c.name;
    }
}

TEST(ShapeRepair, Steps)
{
    // A sphere has a degenerated edge at each pole.
    const TopoDS_Shape sphere = BRepPrimAPI_MakeSphere(1.0).Shape();
    EXPECT_EQ(ShapeRepair::find_degenerated_edges(sphere).size(), 2u);
    EXPECT_TRUE(ShapeRepair::find_degenerated_edges(unitCube()).empty());

    const TopoDS_Shape flagged = falselyDegeneratedEdge(0);
    const TopoDS_Shape pair = compoundOf(flagged, segment(gp_Pnt(0, 0, 1), gp_Pnt(1, 0, 1)));
    EXPECT_FALSE(ShapeRepair::is_valid(pair));
    const TopoDS_Shape cleaned = ShapeRepair::remove_edges(pair, ShapeRepair::find_degenerated_edges(pair));
    EXPECT_EQ(occurrencesOf(cleaned, TopAbs_EDGE), 1);
    EXPECT_TRUE(ShapeRepair::is_valid(cleaned));

    EXPECT_TRUE(ShapeRepair::is_valid(ShapeRepair::fix_basic(cubeWithMovedVertex())));
    EXPECT_TRUE(ShapeRepair::is_valid(ShapeRepair::fix_basic_wireframe(unitCube())));

    expectMessage([] { ShapeRepair::pre_process_cad(TopoDS_Shape()); }, "pre_process_cad: null shape");
}
