// Unsound solids, faces and stored meshes are refused on both roads into the
// model: an entity's BREP file and a CAD file after its repair. The fixtures
// are unit boxes and squares taken apart by hand, so every expected volume,
// area and face number is known without the code under test.
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <BRepBuilderAPI_Copy.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepPrimAPI_MakePrism.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>
#include <TopoDS_Wire.hxx>
#include <gp.hxx>
#include <gp_Pln.hxx>
#include <nlohmann/json.hpp>

#include "geometryData/GeometryData.h"
#include "geometryData/TopoEntity.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "topology/ShapeAlgorithms.h"
#include "topology/SolidSoundness.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// A solid of one shell made of the unit cube's faces, each passed through
// `edit` (which may drop it by returning a null shape).
TopoDS_Shape cubeRebuilt(const std::function<TopoDS_Shape(int, const TopoDS_Shape&)>& edit)
{
    BRep_Builder builder;
    TopoDS_Shell shell;
    builder.MakeShell(shell);
    int index = 0;
    for (TopExp_Explorer faces(unitCube(), TopAbs_FACE); faces.More(); faces.Next()) {
        const TopoDS_Shape face = edit(index++, faces.Current());
        if (!face.IsNull()) {
            builder.Add(shell, face);
        }
    }
    TopoDS_Solid solid;
    builder.MakeSolid(solid);
    builder.Add(solid, shell);
    return solid;
}

TopoDS_Wire polygon(const std::vector<gp_Pnt>& points)
{
    BRepBuilderAPI_MakePolygon wire;
    for (const gp_Pnt& point : points) {
        wire.Add(point);
    }
    wire.Close();
    return wire.Wire();
}

// Two triangles of a square whose outline crosses itself at (0.5, 0.5).
TopoDS_Shape bowTie()
{
    return BRepBuilderAPI_MakeFace(polygon({gp_Pnt(0, 0, 0), gp_Pnt(1, 1, 0), gp_Pnt(1, 0, 0), gp_Pnt(0, 1, 0)}),
                                   true)
        .Shape();
}

// The unit square with a "hole" at [2, 3] x [0, 1], outside it.
TopoDS_Shape holeOutside()
{
    BRepBuilderAPI_MakeFace face(polygon({gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0), gp_Pnt(1, 1, 0), gp_Pnt(0, 1, 0)}), true);
    face.Add(TopoDS::Wire(
        polygon({gp_Pnt(2, 0, 0), gp_Pnt(2, 1, 0), gp_Pnt(3, 1, 0), gp_Pnt(3, 0, 0)}).Reversed()));
    return face.Shape();
}

// The unit square's plane bounded by a segment there and back: no area.
TopoDS_Shape zeroAreaFace()
{
    const TopoDS_Vertex a = BRepBuilderAPI_MakeVertex(gp_Pnt(0, 0, 0));
    const TopoDS_Vertex b = BRepBuilderAPI_MakeVertex(gp_Pnt(1, 0, 0));
    BRepBuilderAPI_MakeWire wire(BRepBuilderAPI_MakeEdge(a, b).Edge(), BRepBuilderAPI_MakeEdge(b, a).Edge());
    return BRepBuilderAPI_MakeFace(gp_Pln(gp::XOY()), wire.Wire()).Shape();
}

// A unit cube whose vertex at the origin claims a tolerance of 0.5.
TopoDS_Shape cubeWithWideVertex()
{
    const TopoDS_Shape cube = BRepBuilderAPI_Copy(unitCube()).Shape();
    for (TopExp_Explorer vertices(cube, TopAbs_VERTEX); vertices.More(); vertices.Next()) {
        const TopoDS_Vertex& vertex = TopoDS::Vertex(vertices.Current());
        if (BRep_Tool::Pnt(vertex).Distance(gp_Pnt(0, 0, 0)) < 1e-9) {
            BRep_Builder().UpdateVertex(vertex, 0.5);
        }
    }
    return cube;
}

// A meshed copy of the shape whose first face's nodes are moved by `move`.
TopoDS_Shape meshedWithFirstFace(const TopoDS_Shape& shape, const std::function<gp_Pnt(const gp_Pnt&)>& move)
{
    const TopoDS_Shape copy = BRepBuilderAPI_Copy(shape).Shape();
    BRepMesh_IncrementalMesh(copy, 0.01);
    TopTools_IndexedMapOfShape faces;
    TopExp::MapShapes(copy, TopAbs_FACE, faces);
    TopLoc_Location location;
    const Handle(Poly_Triangulation) mesh = BRep_Tool::Triangulation(TopoDS::Face(faces(1)), location);
    for (int i = 1; i <= mesh->NbNodes(); ++i) {
        mesh->SetNode(i, move(mesh->Node(i)));
    }
    return copy;
}

// The entity road: the shape written as the stage writes entity files, then
// read back as an entity entry of a raw document.
std::string entityOutcome(const TopoDS_Shape& shape, const std::string& directory)
{
    BRepTools::Write(shape, (directory + "/Part.brep").c_str(), true, false, TopTools_FormatVersion_VERSION_3);
    return thrownMessage([&] { TopoEntity(json{{"name", "Part"}, {"path", "Part.brep"}}, directory); });
}

struct Unsound {
    const char* what;
    TopoDS_Shape shape;
    std::string fault; // after "<source>: "
};

std::vector<Unsound> unsoundShapes()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const TopoDS_Shape shifted = meshedWithFirstFace(unitCube(), [](const gp_Pnt& p) {
        return p.Translated(gp_Vec(1e6, 0, 0));
    });
    return {
        {"inside-out cube", unitCube().Reversed(), "solid 1: it is inside out (volume -1)"},
        {"cube missing its first face",
         cubeRebuilt([](int i, const TopoDS_Shape& f) { return i == 0 ? TopoDS_Shape() : f; }),
         "solid 1: its shell is open"},
        {"cube with three faces reversed",
         cubeRebuilt([](int i, const TopoDS_Shape& f) { return i < 3 ? f.Reversed() : f; }),
         "solid 1: its faces are not oriented alike"},
        {"bow-tie prism", BRepPrimAPI_MakePrism(bowTie(), gp_Vec(0, 0, 1)).Shape(),
         // Its two halves turn opposite ways.
         "solid 1: it encloses no volume"},
        {"square with its hole outside", holeOutside(), "face 1: a hole lies outside it"},
        {"bow-tie face", bowTie(), "face 1: it has no area"},
        {"face without area", zeroAreaFace(), "face 1: it has no area"},
        {"cube with a vertex tolerance of 0.5", cubeWithWideVertex(),
         "solid 1: its tolerance 0.5 is comparable to its size 1.73205"},
        {"cube whose stored triangulation is shifted by 1e6", shifted,
         // The box's first face is x = 0, its first node the corner at the origin.
         "face 1: damaged stored triangulation: the node (1e+06, 0, 0) lies outside the face"},
        {"cube whose stored triangulation is at 1e300",
         meshedWithFirstFace(unitCube(), [](const gp_Pnt& p) { return gp_Pnt(1e300, p.Y(), p.Z()); }),
         "face 1: damaged stored triangulation: the node (1e+300, 0, 0) lies outside the face"},
        {"cube with NaN nodes", meshedWithFirstFace(unitCube(), [&](const gp_Pnt&) { return gp_Pnt(nan, 0, 0); }),
         "face 1: damaged stored triangulation: a node is not a finite number"},
    };
}

} // namespace

TEST(SolidSoundness, UnsoundEntityFilesAreRefusedNamingTheEntityAndTheFault)
{
    const std::string directory = freshDirectory("solid-soundness-entities");
    for (const Unsound& c : unsoundShapes()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(entityOutcome(c.shape, directory),
                  "entity Part, BREP file " + directory + "/Part.brep: " + c.fault);
    }
}

TEST(SolidSoundness, SoundShapesWithStoredMeshesAreAccepted)
{
    const std::string directory = freshDirectory("solid-soundness-sound");
    const TopoDS_Shape cylinderMeshed = meshedWithFirstFace(cylinder(0.5, 1), [](const gp_Pnt& p) { return p; });
    const TopoDS_Shape cubeMeshed = meshedWithFirstFace(unitCube(), [](const gp_Pnt& p) { return p; });
    const struct {
        const char* what;
        TopoDS_Shape shape;
        double measure;
    } cases[] = {
        {"meshed cylinder", cylinderMeshed, M_PI * 0.25},
        {"meshed cube", cubeMeshed, 1.0},
        {"two meshed cubes", compoundOf(cubeMeshed, boxAt(2, 0, 0)), 2.0},
        {"square", squareAt(0, 0, 0), 1.0},
        {"segment", lineEdge(2.0), 2.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BRepTools::Write(c.shape, (directory + "/Part.brep").c_str(), true, false, TopTools_FormatVersion_VERSION_3);
        const TopoEntity entity(json{{"name", "Part"}, {"path", "Part.brep"}}, directory);
        ShapeStatistics statistics;
        getShapeStatistics(entity.getShape(), statistics);
        // Only the measure of the shape's own dimension is written.
        EXPECT_NEAR(statistics.volume + statistics.area + statistics.length, c.measure, 1e-3 * c.measure);
    }
}

// On the CAD road the translator and the repair come first: what they make
// sound is taken, what stays unsound is refused (the cylinder below).
TEST(SolidSoundness, CadFilesOfUnsoundShapesGiveSoundModels)
{
    const std::string directory = freshDirectory("solid-soundness-cad");
    const struct {
        const char* what;
        TopoDS_Shape shape;
        int solids;
        int faces;
        double volume; // of the solids
        double area;   // of the faces
    } cases[] = {
        // The reader turns the solid the right way out.
        {"inside-out cube", unitCube().Reversed(), 1, 6, 1.0, 6.0},
        // The repair gives the wire outside the square a face of its own.
        {"square with its hole outside", holeOutside(), 0, 2, 0.0, 2.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeStepFile(c.shape, directory + "/part.step");
        GeometryData model(directory);
        model.readCADfiles({"part.step"});
        int solids = 0, faces = 0;
        double volume = 0.0, area = 0.0;
        for (const auto& entity : model.getEntities()) {
            ShapeStatistics statistics;
            getShapeStatistics(entity->getShape(), statistics);
            if (entity->getDimension() == 3) {
                ++solids;
                volume += statistics.volume;
            } else if (entity->getDimension() == 2) {
                ++faces;
                area += statistics.area;
            }
        }
        EXPECT_EQ(solids, c.solids);
        EXPECT_EQ(faces, c.faces);
        EXPECT_NEAR(volume, c.volume, 1e-6);
        EXPECT_NEAR(area, c.area, 1e-6);
    }
    // An open shell is no solid, and the file declares one: refused rather
    // than read as its five faces.
    writeStepFile(cubeRebuilt([](int i, const TopoDS_Shape& f) { return i == 0 ? TopoDS_Shape() : f; }),
                  directory + "/part.step");
    EXPECT_EQ(thrownMessage([&] { GeometryData(directory).readCADfiles({"part.step"}); }),
              "CAD file part.step declares 1 solid, 0 could be read");
}

TEST(SolidSoundness, CylinderWhoseCirclesDisagreeWithItsSurfaceIsRefused)
{
    const std::string directory = freshDirectory("solid-soundness-cylinder");
    writeStepFile(cylinder(0.5, 1), directory + "/part.step");
    const std::optional<std::string> edited = replacedGroup(
        contentOf(directory + "/part.step"), std::regex(R"(CYLINDRICAL_SURFACE\('',#\d+,(0\.5)\))"), "7.");
    ASSERT_TRUE(edited);
    writeText(directory + "/part.step", *edited);
    const std::string message = thrownMessage([&] { GeometryData(directory).readCADfiles({"part.step"}); });
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(message, parts,
                                 std::regex(R"(CAD file part\.step: solid 1: its tolerance (\S+) is comparable )"
                                            R"(to its size (\S+))")))
        << message;
    // The circles of radius 0.5 lie 6.5 from the surface of radius 7; the
    // edges span a box of 1 x 1 x 1.
    EXPECT_NEAR(std::stod(parts[1]), 6.5, 0.1);
    EXPECT_NEAR(std::stod(parts[2]), std::sqrt(3.0), 1e-6);
}
