#include "topology/SolidSoundness.h"

#include <cmath>
#include <sstream>
#include <vector>

#include <BRepAdaptor_Curve.hxx>
#include <BRepBndLib.hxx>
#include <BRepCheck_Analyzer.hxx>
#include <BRepCheck_ListOfStatus.hxx>
#include <BRepCheck_Result.hxx>
#include <BRepGProp.hxx>
#include <BRepGProp_Domain.hxx>
#include <BRepGProp_Face.hxx>
#include <BRepGProp_Vinert.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <BndLib_Add3dCurve.hxx>
#include <GProp_GProps.hxx>
#include <Poly_Polygon3D.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <ShapeAnalysis_ShapeTolerance.hxx>
#include <ShapeAnalysis_Shell.hxx>
#include <Standard_Failure.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopLoc_Location.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Vertex.hxx>

#include "misc/ParallelFor.h"
#include "misc/Utilities.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

// A tolerance this share of a shape's size or more no longer describes the
// shape: the kernel widens tolerances until contradicting geometry (a surface
// far from its edges) checks valid. Sound files stay far below it.
constexpr double largestToleranceShare = 0.1;

// The diagonal of the box of a shape's edge curves, tolerances left out: its
// size as its boundary gives it, whatever its surfaces or tolerances claim.
double edgeExtent(const TopoDS_Shape& shape)
{
    Bnd_Box box;
    const TopTools_IndexedMapOfShape edges = subShapeMap(shape, TopAbs_EDGE);
    for (int i = 1; i <= edges.Extent(); ++i) {
        const TopoDS_Edge& edge = TopoDS::Edge(edges(i));
        if (!BRep_Tool::Degenerated(edge) && BRep_Tool::IsGeometric(edge)) {
            BndLib_Add3dCurve::Add(BRepAdaptor_Curve(edge), 0.0, box);
        }
    }
    return box.IsVoid() ? 0.0 : std::sqrt(box.SquareExtent());
}

std::string toleranceFault(const TopoDS_Shape& shape, double size)
{
    const double tolerance = ShapeAnalysis_ShapeTolerance().Tolerance(shape, 1);
    if (size > 0.0 && tolerance >= largestToleranceShare * size) {
        return "its tolerance " + numberText(tolerance) + " is comparable to its size " + numberText(size);
    }
    return "";
}

bool holds(const BRepCheck_ListOfStatus& statuses, BRepCheck_Status wanted)
{
    for (const BRepCheck_Status status : statuses) {
        if (status == wanted) {
            return true;
        }
    }
    return false;
}

// The fault of the kernel's full check that makes a face unsound. Its other
// complaints, self-intersecting wires among them (real helical and blended
// faces carry them within their tolerances), are what the repair tolerates;
// a wire that truly crosses itself leaves its face without area or its solid
// without volume, and is refused there.
std::string faceFault(const BRepCheck_Analyzer& analysis, const TopoDS_Face& face)
{
    const Handle(BRepCheck_Result)& result = analysis.Result(face);
    if (!result.IsNull() && result->IsStatusOnShape(face) &&
        holds(result->StatusOnShape(face), BRepCheck_InvalidImbricationOfWires)) {
        return "a hole lies outside it";
    }
    return "";
}

// The first unsound face of the shape, numbered in its own face map.
std::string facesFault(const TopoDS_Shape& shape)
{
    const BRepCheck_Analyzer analysis(shape, true, false);
    if (analysis.IsValid()) {
        return "";
    }
    const TopTools_IndexedMapOfShape faces = subShapeMap(shape, TopAbs_FACE);
    for (int i = 1; i <= faces.Extent(); ++i) {
        const std::string fault = faceFault(analysis, TopoDS::Face(faces(i)));
        if (!fault.empty()) {
            return shape.ShapeType() == TopAbs_FACE ? fault : "face " + std::to_string(i) + ": " + fault;
        }
    }
    return "";
}

// A solid's checks short of its volume; its size is kept for the volume's.
std::string solidFaultBeforeVolume(const TopoDS_Shape& solid, bool kernelCheckPassed, double& size)
{
    ShapeAnalysis_Shell shells;
    shells.LoadShells(solid);
    shells.CheckOrientedShells(solid, true);
    if (shells.HasFreeEdges()) {
        return "its shell is open";
    }
    if (shells.HasBadEdges()) {
        return "its faces are not oriented alike";
    }
    if (!kernelCheckPassed) {
        const std::string fault = facesFault(solid);
        if (!fault.empty()) {
            return fault;
        }
    }
    size = edgeExtent(solid);
    return toleranceFault(solid, size);
}

std::string volumeFault(double volume, double size)
{
    if (std::fabs(volume) <= 1e-12 * size * size * size) {
        return "it encloses no volume";
    }
    if (volume < 0.0) {
        return "it is inside out (volume " + numberText(volume) + ")";
    }
    return "";
}

std::string checkFailure(const Standard_Failure& failure)
{
    return "it cannot be checked: " + kernelFailureText(failure);
}

// The centre of the box of a solid's vertices: the point its faces' shares
// of the volume are integrated about, near the solid and found at once.
gp_Pnt vertexCentre(const TopoDS_Shape& solid)
{
    Bnd_Box box;
    for (TopExp_Explorer vertex(solid, TopAbs_VERTEX); vertex.More(); vertex.Next()) {
        box.Add(BRep_Tool::Pnt(TopoDS::Vertex(vertex.Current())));
    }
    return box.IsVoid() ? gp_Pnt() : gp_Pnt((box.CornerMin().XYZ() + box.CornerMax().XYZ()) / 2.0);
}

// One face's share of the volume its solid encloses.
struct VolumeShare {
    std::size_t solid = 0;
    TopoDS_Face face;
    double volume = 0.0;
    std::string failure;
};

// The solids' faults, in map order ("" for a sound solid). The volume a
// solid's faces enclose is needed to a percent only (its sign and whether it
// is nought are judged): each face's share is integrated on its own about one
// point of its solid. The solids' other checks and every face's share run in
// one parallel loop, so that one large solid spreads over the threads as well
// as many small ones do, and the threads meet once; the shares are added in
// face order, the same sum on any number of threads. A solid's volume is
// judged only when its other checks pass.
std::vector<std::string> solidFaults(const TopTools_IndexedMapOfShape& solids, bool kernelCheckPassed)
{
    const auto count = static_cast<std::size_t>(solids.Extent());
    std::vector<std::string> faults(count);
    std::vector<double> sizes(count, 0.0);
    std::vector<char> withFaces(count, 0);
    std::vector<gp_Pnt> centres(count);
    std::vector<VolumeShare> shares;
    for (std::size_t i = 0; i < count; ++i) {
        const TopoDS_Shape& solid = solids(static_cast<int>(i) + 1);
        centres[i] = vertexCentre(solid);
        for (TopExp_Explorer face(solid, TopAbs_FACE); face.More(); face.Next()) {
            shares.push_back({i, TopoDS::Face(face.Current()), 0.0, ""});
            withFaces[i] = 1;
        }
    }
    // The solids' checks first: they are handed out before the faces' shares.
    parallelForDynamic(static_cast<int>(count + shares.size()), [&](int task) {
        const auto index = static_cast<std::size_t>(task);
        if (index < count) {
            if (withFaces[index] == 0) {
                return; // no geometry: the fuse drops it with a warning
            }
            try {
                faults[index] = solidFaultBeforeVolume(solids(task + 1), kernelCheckPassed, sizes[index]);
            } catch (const Standard_Failure& failure) {
                faults[index] = checkFailure(failure);
            }
            return;
        }
        VolumeShare& share = shares[index - count];
        try {
            BRepGProp_Face face(share.face);
            BRepGProp_Domain domain(share.face);
            share.volume = BRepGProp_Vinert(face, domain, centres[share.solid], gp_Pnt(), 0.01).Mass();
        } catch (const Standard_Failure& failure) {
            share.failure = checkFailure(failure);
        }
    });

    std::vector<double> volumes(count, 0.0);
    std::vector<std::string> volumeFailures(count);
    for (const VolumeShare& share : shares) {
        if (!share.failure.empty() && volumeFailures[share.solid].empty()) {
            volumeFailures[share.solid] = share.failure; // the first face that fails names the fault
        }
        volumes[share.solid] += share.volume;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (withFaces[i] != 0 && faults[i].empty()) {
            faults[i] = !volumeFailures[i].empty() ? volumeFailures[i] : volumeFault(volumes[i], sizes[i]);
        }
    }
    return faults;
}

std::string looseFaceFault(const TopoDS_Face& face, bool kernelCheckPassed)
{
    if (!kernelCheckPassed) {
        const std::string fault = facesFault(face);
        if (!fault.empty()) {
            return fault;
        }
    }
    const double size = edgeExtent(face);
    const std::string fault = toleranceFault(face, size);
    if (!fault.empty()) {
        return fault;
    }
    GProp_GProps properties;
    BRepGProp::SurfaceProperties(face, properties, 0.01);
    if (std::fabs(properties.Mass()) <= 1e-12 * size * size) {
        return "it has no area";
    }
    return "";
}

std::string looseEdgeFault(const TopoDS_Edge& edge)
{
    if (BRep_Tool::Degenerated(edge)) {
        return "";
    }
    if (!BRep_Tool::IsGeometric(edge)) {
        return "it has no curve";
    }
    const double length = edgeExtent(edge);
    if (length <= 0.0) {
        return "it has no length";
    }
    return toleranceFault(edge, length);
}

bool finitePoint(const gp_Pnt& point)
{
    return std::isfinite(point.X()) && std::isfinite(point.Y()) && std::isfinite(point.Z());
}

std::string pointShown(const gp_Pnt& point)
{
    return "(" + numberText(point.X()) + ", " + numberText(point.Y()) + ", " + numberText(point.Z()) + ")";
}

// The box of the shape's exact geometry (a mesh stored with it left out),
// widened by the mesh's deflection and the shape's tolerance.
Bnd_Box geometryBox(const TopoDS_Shape& shape, double deflection)
{
    Bnd_Box box;
    BRepBndLib::Add(shape, box, false);
    const double slack = deflection + ShapeAnalysis_ShapeTolerance().Tolerance(shape, 1);
    box.Enlarge(slack + 1e-9 * (box.IsVoid() ? 0.0 : std::sqrt(box.SquareExtent())));
    return box;
}

std::string nodeFault(const gp_Pnt& node, const Bnd_Box& box, const char* shape)
{
    if (!finitePoint(node)) {
        return "a node is not a finite number";
    }
    if (box.IsOut(node)) {
        return "the node " + pointShown(node) + " lies outside the " + shape;
    }
    return "";
}

std::string triangulationFault(const TopoDS_Face& face)
{
    TopLoc_Location location;
    const Handle(Poly_Triangulation)& mesh = BRep_Tool::Triangulation(face, location);
    if (mesh.IsNull()) {
        return "";
    }
    const int nodes = mesh->NbNodes();
    for (int i = 1; i <= mesh->NbTriangles(); ++i) {
        int a = 0, b = 0, c = 0;
        mesh->Triangle(i).Get(a, b, c);
        if (a < 1 || b < 1 || c < 1 || a > nodes || b > nodes || c > nodes) {
            return "a triangle refers to a node it does not have";
        }
    }
    if (!std::isfinite(mesh->Deflection()) || mesh->Deflection() < 0.0) {
        return "its deflection is not a finite positive number";
    }
    const Bnd_Box box = geometryBox(face, mesh->Deflection());
    const gp_Trsf placement = location.Transformation();
    for (int i = 1; i <= nodes; ++i) {
        const std::string fault = nodeFault(mesh->Node(i).Transformed(placement), box, "face");
        if (!fault.empty()) {
            return fault;
        }
    }
    return "";
}

std::string polygonFault(const TopoDS_Edge& edge)
{
    TopLoc_Location location;
    const Handle(Poly_Polygon3D)& polygon = BRep_Tool::Polygon3D(edge, location);
    if (!polygon.IsNull()) {
        if (!std::isfinite(polygon->Deflection()) || polygon->Deflection() < 0.0) {
            return "its deflection is not a finite positive number";
        }
        const Bnd_Box box = geometryBox(edge, polygon->Deflection());
        const gp_Trsf placement = location.Transformation();
        const TColgp_Array1OfPnt& nodes = polygon->Nodes();
        for (int i = nodes.Lower(); i <= nodes.Upper(); ++i) {
            const std::string fault = nodeFault(nodes(i).Transformed(placement), box, "edge");
            if (!fault.empty()) {
                return fault;
            }
        }
    }
    // A polygon on a triangulation holds indices into the face's nodes.
    Handle(Poly_PolygonOnTriangulation) onMesh;
    Handle(Poly_Triangulation) mesh;
    for (int i = 1;; ++i) {
        BRep_Tool::PolygonOnTriangulation(edge, onMesh, mesh, location, i);
        if (onMesh.IsNull() || mesh.IsNull()) {
            break;
        }
        for (int k = 1; k <= onMesh->NbNodes(); ++k) {
            if (onMesh->Node(k) < 1 || onMesh->Node(k) > mesh->NbNodes()) {
                return "its polygon refers to a node the triangulation does not have";
            }
        }
    }
    return "";
}

// Whether a face holds a triangulation or an edge a polygon of its own (a
// polygon on a triangulation needs a face's triangulation).
bool holdsStoredMesh(const TopTools_IndexedMapOfShape& faces, const TopTools_IndexedMapOfShape& edges)
{
    TopLoc_Location location;
    for (int i = 1; i <= faces.Extent(); ++i) {
        if (!BRep_Tool::Triangulation(TopoDS::Face(faces(i)), location).IsNull()) {
            return true;
        }
    }
    for (int i = 1; i <= edges.Extent(); ++i) {
        if (!BRep_Tool::Polygon3D(TopoDS::Edge(edges(i)), location).IsNull()) {
            return true;
        }
    }
    return false;
}

// The one form of a fault found in a shape: "<source>: <kind> <n>: <fault>".
[[noreturn]] void raiseFault(const std::string& source, const char* kind, std::size_t number, const std::string& fault)
{
    throw vemra_exception(source + ": " + kind + " " + std::to_string(number) + ": " + fault);
}

// Runs the check on every member of the map in parallel; the first fault in
// map order is raised, so the message does not depend on the thread count.
template <typename Check>
void checkEach(const TopTools_IndexedMapOfShape& map, const std::string& source, const char* kind,
               const char* what, Check&& check)
{
    parallelForDynamic(map.Extent(), [&](int index) {
        std::string fault;
        try {
            fault = check(map(index + 1));
        } catch (const Standard_Failure& failure) {
            fault = checkFailure(failure);
        }
        if (!fault.empty()) {
            raiseFault(source, kind, static_cast<std::size_t>(index) + 1, what + fault);
        }
    });
}

} // namespace

void checkSolidSoundness(const TopoDS_Shape& shape, const std::string& source, bool kernelCheckPassed)
{
    requireShape(shape, "checkSolidSoundness");
    const TopTools_IndexedMapOfShape faces = subShapeMap(shape, TopAbs_FACE);
    const TopTools_IndexedMapOfShape edges = subShapeMap(shape, TopAbs_EDGE);
    // Most shapes carry no mesh: a parallel loop over nothing still costs.
    if (holdsStoredMesh(faces, edges)) {
        checkEach(faces, source, "face", "damaged stored triangulation: ",
                  [](const TopoDS_Shape& face) { return triangulationFault(TopoDS::Face(face)); });
        checkEach(edges, source, "edge", "damaged stored polygon: ",
                  [](const TopoDS_Shape& edge) { return polygonFault(TopoDS::Edge(edge)); });
    }

    const TopTools_IndexedMapOfShape solids = subShapeMap(shape, TopAbs_SOLID);
    if (!solids.IsEmpty()) {
        const std::vector<std::string> faults = solidFaults(solids, kernelCheckPassed);
        for (std::size_t i = 0; i < faults.size(); ++i) {
            if (!faults[i].empty()) {
                raiseFault(source, "solid", i + 1, faults[i]);
            }
        }
    } else if (!faces.IsEmpty()) {
        checkEach(faces, source, "face", "",
                  [&](const TopoDS_Shape& face) { return looseFaceFault(TopoDS::Face(face), kernelCheckPassed); });
    } else {
        checkEach(edges, source, "edge", "",
                  [](const TopoDS_Shape& edge) { return looseEdgeFault(TopoDS::Edge(edge)); });
    }
}
