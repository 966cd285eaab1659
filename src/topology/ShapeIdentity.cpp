#include <algorithm>
#include <cmath>
#include <sstream>

#include <BRepAlgoAPI_Common.hxx>
#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <Message_Report.hxx>
#include <Precision.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Vertex.hxx>

#include "topology/BoundedMesh.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"

namespace {

// The pieces of a compound: its sub-shapes of its main type, each occurrence.
TopTools_ListOfShape piecesOf(const TopoDS_Shape& compound)
{
    TopTools_ListOfShape pieces;
    for (TopExp_Explorer explorer(compound, getMainShapeType(compound)); explorer.More(); explorer.Next()) {
        pieces.Append(explorer.Current());
    }
    return pieces;
}

// The bodies of boundingBoxesMatch and meshShape, for callers that already
// hold shapeMeshMutex() (it must never be taken twice on one thread).
bool boxesMatchUnlocked(const TopoDS_Shape& a, const TopoDS_Shape& b)
{
    return guardKernel("boundingBoxesMatch", [&] {
        Bnd_Box boxA;
        Bnd_Box boxB;
        BRepBndLib::Add(a, boxA, true);
        BRepBndLib::Add(b, boxB, true);
        if (boxA.IsVoid() || boxB.IsVoid()) {
            return false;
        }
        double minA[3];
        double maxA[3];
        double minB[3];
        double maxB[3];
        boxA.Get(minA[0], minA[1], minA[2], maxA[0], maxA[1], maxA[2]);
        boxB.Get(minB[0], minB[1], minB[2], maxB[0], maxB[1], maxB[2]);
        double largest = 0.0;
        for (int axis = 0; axis < 3; ++axis) {
            largest = std::max({largest, maxA[axis] - minA[axis], maxB[axis] - minB[axis]});
        }
        const double tolerance = 0.04 * largest;
        for (int axis = 0; axis < 3; ++axis) {
            if (!(std::fabs(minA[axis] - minB[axis]) < tolerance) ||
                !(std::fabs(maxA[axis] - maxB[axis]) < tolerance)) {
                return false;
            }
        }
        return true;
    });
}

void meshUnlocked(const TopoDS_Shape& shape)
{
    if (shape.ShapeType() == TopAbs_EDGE && BRep_Tool::Degenerated(TopoDS::Edge(shape))) {
        return;
    }
    guardKernel("meshShape", [&] {
        Bnd_Box box;
        BRepBndLib::Add(shape, box, true);
        if (box.IsVoid()) {
            return; // nothing with geometry to mesh
        }
        double xmin, ymin, zmin, xmax, ymax, zmax;
        box.Get(xmin, ymin, zmin, xmax, ymax, zmax);
        const double extent = std::max({xmax - xmin, ymax - ymin, zmax - zmin});
        if (!(extent > 0.0)) {
            return; // a shape without extent has nothing a triangulation could show
        }
        // The mesher refuses a deflection below the kernel's confusion distance.
        const double deflection = std::max(0.001 * extent, Precision::Confusion());
        // A triangulation at least this fine is one the mesher would keep as it
        // is; the check is far cheaper than building the mesher.
        if (BRepTools::Triangulation(shape, deflection, true)) {
            return;
        }
        // The comparisons read a triangulation only for the shape's box, which
        // its exact geometry gives too: a shape the mesher cannot finish is
        // compared without one.
        meshWithinLimit(shape, deflection, 0.5, "meshShape", TopoDS_Shape(), WhenNoneEnds::leaveUnmeshed);
    });
}

enum class Measure { volume, area, length };

// The identity test's relative tolerance, on the measure and on the centre of mass.
constexpr double identityTolerance = 0.001;

Measure measureOfDimension(int dimension)
{
    return dimension == 3 ? Measure::volume : dimension == 2 ? Measure::area : Measure::length;
}

// The length by which the centres of mass of shapes of this measure are compared.
double sizeOf(double mass, Measure measure)
{
    switch (measure) {
    case Measure::volume:
        return std::pow(mass, 0.3333333333333333);
    case Measure::area:
        return std::pow(mass, 0.5);
    case Measure::length:
        break;
    }
    return mass;
}

GProp_GProps propertiesOf(const TopoDS_Shape& shape, Measure measure)
{
    GProp_GProps properties;
    switch (measure) {
    case Measure::volume:
        BRepGProp::VolumeProperties(shape, properties, false, false, false);
        break;
    case Measure::area:
        BRepGProp::SurfaceProperties(shape, properties, false, false);
        break;
    case Measure::length:
        BRepGProp::LinearProperties(shape, properties, false, false);
        break;
    }
    return properties;
}

// The shared test of isSameSolid, isSameFace and isSameEdge. Tolerances come
// from the first shape, so the test is not symmetric.
bool sameByMeasure(const TopoDS_Shape& a, const TopoDS_Shape& b, Measure measure, const char* function)
{
    requireShape(a, function);
    requireShape(b, function);
    // Meshing writes triangulations that other copies of these shapes share;
    // the measures and boxes below must see the triangulations made here.
    std::unique_lock<std::shared_mutex> lock(shapeMeshMutex());
    return guardKernel(function, [&] {
        meshUnlocked(a);
        meshUnlocked(b);
        const GProp_GProps propertiesA = propertiesOf(a, measure);
        const GProp_GProps propertiesB = propertiesOf(b, measure);
        // The magnitude keeps an inside-out shape (negative measure) the same as itself.
        const double massA = std::fabs(propertiesA.Mass());
        if (std::fabs(propertiesA.Mass() - propertiesB.Mass()) > identityTolerance * massA) {
            return false;
        }
        const double centreTolerance = identityTolerance * sizeOf(massA, measure);
        if (propertiesA.CentreOfMass().Distance(propertiesB.CentreOfMass()) > centreTolerance) {
            return false;
        }
        return boxesMatchUnlocked(a, b);
    });
}

// Whether the Boolean common of a and b holds a sub-shape of the given type.
bool commonHolds(const TopoDS_Shape& a, const TopoDS_Shape& b, TopAbs_ShapeEnum type, const char* function)
{
    requireShape(a, function);
    requireShape(b, function);
    return guardKernel(function, [&] {
        BRepAlgoAPI_Common common;
        common.SetRunParallel(true);
        TopTools_ListOfShape arguments;
        arguments.Append(a);
        TopTools_ListOfShape tools;
        tools.Append(b);
        common.SetArguments(arguments);
        common.SetTools(tools);
        common.Build();
        if (common.HasErrors()) {
            // Still "no contact", but a failed common must not pass unnoticed.
            std::ostringstream alerts;
            common.DumpErrors(alerts);
            LOG(WARNING) << function << ": Boolean common failed: " << alerts.str();
            return false;
        }
        return holdsSubShape(common.Shape(), type);
    });
}

} // namespace

std::shared_mutex& shapeMeshMutex()
{
    static std::shared_mutex mutex;
    return mutex;
}

TopAbs_ShapeEnum getMainShapeType(const TopoDS_Shape& shape)
{
    requireShape(shape, "getMainShapeType");
    switch (shape.ShapeType()) {
    case TopAbs_SOLID:
    case TopAbs_FACE:
    case TopAbs_EDGE:
        return shape.ShapeType();
    case TopAbs_COMPOUND:
        for (const TopAbs_ShapeEnum type : {TopAbs_SOLID, TopAbs_FACE, TopAbs_EDGE}) {
            if (holdsSubShape(shape, type)) {
                return type;
            }
        }
        return TopAbs_VERTEX;
    default:
        return TopAbs_VERTEX;
    }
}

bool isSameMainShapeType(TopoDS_Shape a, TopoDS_Shape b)
{
    requireShape(a, "isSameMainShapeType");
    requireShape(b, "isSameMainShapeType");
    return getMainShapeType(a) == getMainShapeType(b);
}

bool isSameShape(const TopoDS_Shape& a, const TopoDS_Shape& b)
{
    if (a.IsNull() || b.IsNull()) {
        return false;
    }
    if (a.ShapeType() == TopAbs_COMPOUND) {
        return isShapeInList(b, piecesOf(a));
    }
    if (b.ShapeType() == TopAbs_COMPOUND) {
        return isShapeInList(a, piecesOf(b));
    }
    if (a.ShapeType() != b.ShapeType()) {
        return false;
    }
    switch (a.ShapeType()) {
    case TopAbs_SOLID:
        return isSameSolid(a, b);
    case TopAbs_FACE:
        return isSameFace(a, b);
    case TopAbs_VERTEX:
        return isSameVertex(a, b);
    case TopAbs_EDGE:
        return isSameEdge(a, b);
    default:
        return false;
    }
}

bool isShapeInList(const TopoDS_Shape& shape, const TopTools_ListOfShape& list)
{
    return std::any_of(list.begin(), list.end(), [&](const TopoDS_Shape& item) { return isSameShape(shape, item); });
}

bool isSameBasicShape(const TopoDS_Shape& a, const TopoDS_Shape& b)
{
    if (a.IsNull() || b.IsNull()) {
        return false;
    }
    switch (a.ShapeType()) {
    case TopAbs_SOLID:
        return isSameSolid(a, b);
    case TopAbs_FACE:
        return isSameFace(a, b);
    case TopAbs_VERTEX:
        // A vertex is never the same as a shape of another type.
        return b.ShapeType() == TopAbs_VERTEX && isSameVertex(a, b);
    case TopAbs_EDGE:
        return isSameEdge(a, b);
    default:
        return false;
    }
}

bool isBasicShapeInList(const TopoDS_Shape& shape, const TopTools_ListOfShape& list)
{
    return std::any_of(list.begin(), list.end(), [&](const TopoDS_Shape& item) { return isSameBasicShape(shape, item); });
}

std::vector<TopoDS_Shape> identityPieces(const TopoDS_Shape& target)
{
    std::vector<TopoDS_Shape> pieces;
    if (!target.IsNull() && target.ShapeType() == TopAbs_COMPOUND) {
        for (const TopoDS_Shape& piece : piecesOf(target)) {
            pieces.push_back(piece);
        }
    } else {
        pieces.push_back(target);
    }
    return pieces;
}

IdentityMeasure identityMeasureOf(const TopoDS_Shape& shape, int dimension)
{
    requireShape(shape, "identityMeasureOf");
    return guardKernel("identityMeasureOf", [&] {
        const GProp_GProps properties = propertiesOf(shape, measureOfDimension(dimension));
        return IdentityMeasure{properties.Mass(), properties.CentreOfMass()};
    });
}

bool mayBeSameByMeasure(const IdentityMeasure& entity, const IdentityMeasure& piece, int dimension)
{
    // Twice the test's tolerances: rounding never makes this refuse what the test accepts.
    constexpr double slack = 2.0 * identityTolerance;
    const double mass = std::fabs(entity.mass);
    if (std::fabs(entity.mass - piece.mass) > slack * mass + 1e-12) {
        return false;
    }
    return entity.centre.Distance(piece.centre) <= slack * sizeOf(mass, measureOfDimension(dimension)) + 1e-12;
}

void meshAsIdentityTestWould(const TopoDS_Shape& shape, const std::vector<TopoDS_Shape>& pieces)
{
    const TopAbs_ShapeEnum type = shape.ShapeType();
    if (type != TopAbs_SOLID && type != TopAbs_FACE && type != TopAbs_EDGE) {
        return;
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].ShapeType() == type) {
            meshShape(shape);
            const MeshSubject subject("piece " + std::to_string(i + 1) + " of " + std::to_string(pieces.size()) +
                                      " it is compared with");
            meshShape(pieces[i]);
        }
    }
}

bool isSameSolid(TopoDS_Shape a, TopoDS_Shape b)
{
    return sameByMeasure(a, b, Measure::volume, "isSameSolid");
}

bool isSameFace(TopoDS_Shape a, TopoDS_Shape b)
{
    return sameByMeasure(a, b, Measure::area, "isSameFace");
}

bool isSameEdge(TopoDS_Shape a, TopoDS_Shape b)
{
    return sameByMeasure(a, b, Measure::length, "isSameEdge");
}

bool isSameVertex(TopoDS_Shape a, TopoDS_Shape b)
{
    requireShape(a, "isSameVertex");
    requireShape(b, "isSameVertex");
    if (a.ShapeType() != TopAbs_VERTEX || b.ShapeType() != TopAbs_VERTEX) {
        throw vemra_exception("isSameVertex: shape is not a vertex");
    }
    return BRep_Tool::Pnt(TopoDS::Vertex(a)).Distance(BRep_Tool::Pnt(TopoDS::Vertex(b))) <= 1e-6;
}

bool boundingBoxesMatch(TopoDS_Shape a, TopoDS_Shape b)
{
    requireShape(a, "boundingBoxesMatch");
    requireShape(b, "boundingBoxesMatch");
    // The boxes follow the triangulation, which meshing on another thread may be writing.
    std::shared_lock<std::shared_mutex> lock(shapeMeshMutex());
    return boxesMatchUnlocked(a, b);
}

void meshShape(TopoDS_Shape shape)
{
    requireShape(shape, "meshShape");
    std::unique_lock<std::shared_mutex> lock(shapeMeshMutex());
    meshUnlocked(shape);
}

bool shapesOverlap(const TopoDS_Shape& a, const TopoDS_Shape& b)
{
    if (a.IsNull() || b.IsNull()) {
        return false;
    }
    switch (a.ShapeType()) {
    case TopAbs_COMPOUND:
        return overlapsShapeInList(b, piecesOf(a));
    case TopAbs_SOLID:
        return shapesShareSolid(a, b);
    case TopAbs_FACE:
        return shapesShareFace(a, b);
    case TopAbs_EDGE:
        return shapesShareEdge(a, b);
    default:
        return false;
    }
}

bool overlapsShapeInList(const TopoDS_Shape& shape, const TopTools_ListOfShape& list)
{
    return std::any_of(list.begin(), list.end(), [&](const TopoDS_Shape& item) { return shapesOverlap(shape, item); });
}

bool shapesShareSolid(TopoDS_Shape a, TopoDS_Shape b)
{
    return commonHolds(a, b, TopAbs_SOLID, "shapesShareSolid");
}

bool shapesShareFace(TopoDS_Shape a, TopoDS_Shape b)
{
    return commonHolds(a, b, TopAbs_FACE, "shapesShareFace");
}

bool shapesShareEdge(TopoDS_Shape a, TopoDS_Shape b)
{
    return commonHolds(a, b, TopAbs_EDGE, "shapesShareEdge");
}

bool haveCommonVertex(const TopoDS_Shape& a, const TopoDS_Shape& b)
{
    requireShape(a, "haveCommonVertex");
    requireShape(b, "haveCommonVertex");
    for (TopExp_Explorer vertexA(a, TopAbs_VERTEX); vertexA.More(); vertexA.Next()) {
        for (TopExp_Explorer vertexB(b, TopAbs_VERTEX); vertexB.More(); vertexB.Next()) {
            if (isSameVertex(vertexA.Current(), vertexB.Current())) {
                return true;
            }
        }
    }
    return false;
}
