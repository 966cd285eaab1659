#include <algorithm>
#include <cmath>
#include <sstream>

#include <BOPTools_AlgoTools3D.hxx>
#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepBuilderAPI_Transform.hxx>
#include <BRepExtrema_DistShapeShape.hxx>
#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeRevol.hxx>
#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <GeomLib_IsPlanarSurface.hxx>
#include <Geom_Surface.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopTools_MapOfShape.hxx>
#include <TopTools_SequenceOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Vertex.hxx>
#include <gp_Ax1.hxx>
#include <gp_Trsf.hxx>

#include "topology/FaceBoxes.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"

namespace {

GProp_GProps volumeProperties(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(shape, properties, false, false, false);
    return properties;
}

GProp_GProps surfaceProperties(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::SurfaceProperties(shape, properties, false, false);
    return properties;
}

GProp_GProps linearProperties(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::LinearProperties(shape, properties, false, false);
    return properties;
}

// Normal of the surface at (0, 0). Where the surface is singular there, the
// middle of the face's parameter range is used instead of a silent (1, 0, 0).
bool surfaceNormal(const TopoDS_Face& face, const Handle(Geom_Surface)& surface, gp_Dir& normal)
{
    if (BOPTools_AlgoTools3D::GetNormalToSurface(surface, 0.0, 0.0, normal)) {
        return true;
    }
    double umin, umax, vmin, vmax;
    BRepTools::UVBounds(face, umin, umax, vmin, vmax);
    return BOPTools_AlgoTools3D::GetNormalToSurface(surface, 0.5 * (umin + umax), 0.5 * (vmin + vmax), normal);
}

gp_Pnt firstVertexPoint(const TopoDS_Shape& shape, const char* function)
{
    TopExp_Explorer explorer(shape, TopAbs_VERTEX);
    if (!explorer.More()) {
        throw vemra_exception(std::string(function) + ": shape holds no vertex");
    }
    return BRep_Tool::Pnt(TopoDS::Vertex(explorer.Current()));
}

} // namespace

// --- Statistics -------------------------------------------------------------

namespace {
void fillBox(const TopoDS_Shape& shape, ShapeStatistics& statistics, const FaceBoxes* faceBoxes);
}

void getShapeStatistics(const TopoDS_Shape& shape, ShapeStatistics& statistics, const FaceBoxes* faceBoxes)
{
    requireShape(shape, "getShapeStatistics");
    // Statistics run beside comparisons in the model's parallel loops: the box
    // follows the triangulation and the properties read the edges'
    // representation lists, both of which meshing writes.
    std::shared_lock<std::shared_mutex> lock(shapeMeshMutex());
    const TopAbs_ShapeEnum type = getMainShapeType(shape);
    if (type == TopAbs_VERTEX) {
        // No box for a vertex; an empty compound keeps the record as it is.
        TopExp_Explorer explorer(shape, TopAbs_VERTEX);
        if (explorer.More()) {
            const gp_Pnt point = BRep_Tool::Pnt(TopoDS::Vertex(explorer.Current()));
            statistics.centreX = point.X();
            statistics.centreY = point.Y();
            statistics.centreZ = point.Z();
        }
        return;
    }
    guardKernel("getShapeStatistics", [&] {
        gp_Pnt centre;
        switch (type) {
        case TopAbs_EDGE: {
            const GProp_GProps properties = linearProperties(shape);
            centre = properties.CentreOfMass();
            statistics.length = properties.Mass();
            break;
        }
        case TopAbs_FACE: {
            const GProp_GProps properties = surfaceProperties(shape);
            centre = properties.CentreOfMass();
            statistics.area = properties.Mass();
            break;
        }
        default: {
            const GProp_GProps properties = volumeProperties(shape);
            centre = properties.CentreOfMass();
            statistics.volume = properties.Mass();
            break;
        }
        }
        statistics.centreX = centre.X();
        statistics.centreY = centre.Y();
        statistics.centreZ = centre.Z();
        if (type == TopAbs_FACE) {
            statistics.axialVolume = getAxialVolume(&shape, statistics.centreZ);
        }
    });

    fillBox(shape, statistics, faceBoxes);
}

void getShapeBox(const TopoDS_Shape& shape, ShapeStatistics& statistics)
{
    requireShape(shape, "getShapeStatistics");
    if (getMainShapeType(shape) == TopAbs_VERTEX) {
        return;
    }
    std::shared_lock<std::shared_mutex> lock(shapeMeshMutex());
    fillBox(shape, statistics, nullptr);
}

namespace {

void fillBox(const TopoDS_Shape& shape, ShapeStatistics& statistics, const FaceBoxes* faceBoxes)
{
    try {
        Bnd_Box box;
        box.SetGap(0.0);
        // Follows a triangulation where the shape has one (left by the
        // comparisons of finalisation), from the exact geometry elsewhere.
        if (faceBoxes == nullptr || !faceBoxes->boxOf(shape, box)) {
            BRepBndLib::AddOptimal(shape, box, true, false);
        }
        const gp_Pnt max = box.CornerMax();
        const gp_Pnt min = box.CornerMin();
        statistics.maxX = max.X();
        statistics.maxY = max.Y();
        statistics.maxZ = max.Z();
        statistics.minX = min.X();
        statistics.minY = min.Y();
        statistics.minZ = min.Z();
    } catch (...) {
        throw vemra_exception("Could not compute bounding box for shape during getShapeStatistics");
    }
}

} // namespace

double getAxialVolume(const TopoDS_Shape* shape, const double z)
{
    if (shape == nullptr) {
        throw vemra_exception("getAxialVolume: null shape");
    }
    requireShape(*shape, "getAxialVolume");
    // Noise around 0 still counts as the symmetry plane.
    const bool onAxisPlane = std::fabs(z) <= 1e-7;
    const gp_Dir zDirection(0.0, 0.0, 1.0);
    double sum = 0.0;
    for (TopExp_Explorer explorer(*shape, TopAbs_FACE); explorer.More(); explorer.Next()) {
        const TopoDS_Face face = TopoDS::Face(explorer.Current());
        const Handle(Geom_Surface) surface = BRep_Tool::Surface(face);
        if (surface.IsNull()) {
            continue;
        }
        const bool planar = guardKernel("getAxialVolume", [&] {
            return GeomLib_IsPlanarSurface(surface, 1e-7).IsPlanar();
        });
        gp_Dir normal(1.0, 0.0, 0.0);
        guardKernel("getAxialVolume", [&] { return surfaceNormal(face, surface, normal); });
        const double angle = normal.Angle(zDirection);
        const bool alongZ = angle <= 0.05 || M_PI - angle <= 0.05;
        if (!(planar && onAxisPlane && alongZ)) {
            continue;
        }
        try {
            BRepPrimAPI_MakeRevol revolution(face, gp_Ax1(gp_Pnt(0.0, 0.0, 0.0), gp_Dir(0.0, 1.0, 0.0)), 2.0 * M_PI,
                                             false);
            sum += volumeProperties(revolution.Shape()).Mass();
        } catch (...) {
            LOG(ERROR) << "Could not compute axial volume for shape during getShapeStatistics";
        }
    }
    return sum;
}

// --- Measures and utilities ---------------------------------------------------

double getShapeVolume(const TopoDS_Shape& shape)
{
    requireShape(shape, "getShapeVolume");
    return guardKernel("getShapeVolume", [&] { return volumeProperties(shape).Mass(); });
}

double getShapeArea(const TopoDS_Shape& shape)
{
    requireShape(shape, "getShapeArea");
    return guardKernel("getShapeArea", [&] { return surfaceProperties(shape).Mass(); });
}

double getShapeLength(const TopoDS_Shape& shape)
{
    requireShape(shape, "getShapeLength");
    return guardKernel("getShapeLength", [&] { return linearProperties(shape).Mass(); });
}

TopTools_IndexedMapOfShape subShapeMap(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    TopTools_IndexedMapOfShape map;
    TopExp::MapShapes(shape, type, map);
    return map;
}

bool holdsSubShape(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    return !shape.IsNull() && TopExp_Explorer(shape, type).More();
}

bool isNegligibleShape(const TopoDS_Shape& shape)
{
    requireShape(shape, "isNegligibleShape");
    // A negative measure (an inside-out shape) counts as negligible.
    switch (getMainShapeType(shape)) {
    case TopAbs_EDGE:
        return getShapeLength(shape) < 1e-8;
    case TopAbs_FACE:
        return getShapeArea(shape) < 1e-8;
    case TopAbs_SOLID:
        return getShapeVolume(shape) < 1e-8;
    default:
        return false;
    }
}

double getMinEdgeLength(const TopoDS_Shape& shape)
{
    requireShape(shape, "getMinEdgeLength");
    double smallest = 1e20;
    for (TopExp_Explorer explorer(shape, TopAbs_EDGE); explorer.More(); explorer.Next()) {
        smallest = std::min(smallest, getShapeLength(explorer.Current()));
    }
    return smallest;
}

double getBoundingBoxDiagonal(const TopoDS_Shape& shape)
{
    requireShape(shape, "getBoundingBoxDiagonal");
    std::shared_lock<std::shared_mutex> lock(shapeMeshMutex());
    return guardKernel("getBoundingBoxDiagonal", [&] {
        Bnd_Box box;
        box.SetGap(0.0);
        BRepBndLib::Add(shape, box, true);
        if (box.IsVoid()) {
            return 0.0;
        }
        double xmin, ymin, zmin, xmax, ymax, zmax;
        box.Get(xmin, ymin, zmin, xmax, ymax, zmax);
        return std::sqrt((xmax - xmin) * (xmax - xmin) + (ymax - ymin) * (ymax - ymin) + (zmax - zmin) * (zmax - zmin));
    });
}

gp_Pnt getCentreOfMass(const TopoDS_Shape& shape)
{
    requireShape(shape, "getCentreOfMass");
    const TopAbs_ShapeEnum type = getMainShapeType(shape);
    return guardKernel("getCentreOfMass", [&] {
        switch (type) {
        case TopAbs_SOLID:
            return volumeProperties(shape).CentreOfMass();
        case TopAbs_FACE:
            return surfaceProperties(shape).CentreOfMass();
        case TopAbs_EDGE:
            return linearProperties(shape).CentreOfMass();
        default:
            return firstVertexPoint(shape, "getCentreOfMass");
        }
    });
}

double getMinDistance(TopoDS_Shape a, TopoDS_Shape b, gp_Vec& direction)
{
    requireShape(a, "getMinDistance");
    requireShape(b, "getMinDistance");
    return guardKernel("getMinDistance", [&] {
        BRepExtrema_DistShapeShape search(a, b, Extrema_ExtFlag_MINMAX, Extrema_ExtAlgo_Grad, Message_ProgressRange());
        double best = 1e20;
        gp_Vec vector(0.0, 0.0, 0.0);
        // An unfinished search is no error: callers recognise the zero direction.
        for (int i = 1; search.IsDone() && i <= search.NbSolution(); ++i) {
            const gp_Pnt p1 = search.PointOnShape1(i);
            const gp_Pnt p2 = search.PointOnShape2(i);
            const double distance = p1.Distance(p2);
            if (best > distance) {
                best = distance;
                vector = gp_Vec(p1, p2);
            }
        }
        direction = vector;
        return best;
    });
}

gp_Dir getFaceNormal(TopoDS_Shape face)
{
    requireShape(face, "getFaceNormal");
    // A compound of faces has no single normal either.
    if (getMainShapeType(face) != TopAbs_FACE || face.ShapeType() != TopAbs_FACE) {
        throw vemra_exception("Face normal requested for shape that is not face");
    }
    return guardKernel("getFaceNormal", [&] {
        const TopoDS_Face& aFace = TopoDS::Face(face);
        const Handle(Geom_Surface) surface = BRep_Tool::Surface(aFace);
        gp_Dir normal(1.0, 0.0, 0.0);
        if (surface.IsNull() || !surfaceNormal(aFace, surface, normal)) {
            throw vemra_exception("getFaceNormal: the face normal could not be computed");
        }
        return normal;
    });
}

TopoDS_Shape scaleShape(TopoDS_Shape shape, double factor)
{
    if (shape.IsNull()) {
        throw vemra_exception("Empty shape passed to scaleShape()");
    }
    // A zero, negative or non-finite factor is never a change of unit, and NaN
    // would corrupt every file written afterwards.
    if (!std::isfinite(factor) || factor <= 0.0) {
        std::ostringstream text;
        text << factor;
        throw vemra_exception("Invalid scale factor passed to scaleShape(): " + text.str());
    }
    return guardKernel("scaleShape", [&] {
        gp_Trsf transformation;
        transformation.SetScale(gp_Pnt(0.0, 0.0, 0.0), factor);
        BRepBuilderAPI_Transform transform(shape, transformation, false);
        return transform.Shape();
    });
}

bool hasInternalFaces(const TopoDS_Shape& shape)
{
    requireShape(shape, "hasInternalFaces");
    TopTools_IndexedMapOfShape shells;
    TopExp::MapShapes(shape, TopAbs_SHELL, shells);
    TopTools_IndexedMapOfShape faces;
    for (int s = 1; s <= shells.Extent(); ++s) {
        TopExp::MapShapes(shells(s), TopAbs_FACE, faces);
        for (int f = 1; f <= faces.Extent(); ++f) {
            if (faces(f).Orientation() == TopAbs_INTERNAL) {
                return true;
            }
        }
    }
    return false;
}

TopTools_ListOfShape edgesToWires(const TopoDS_Shape& shape)
{
    requireShape(shape, "edgesToWires");
    return guardKernel("edgesToWires", [&] {
        // Each edge once: a shared edge met twice would be added to a wire twice.
        TopTools_SequenceOfShape edges;
        TopTools_MapOfShape seen;
        for (TopExp_Explorer explorer(shape, TopAbs_EDGE); explorer.More(); explorer.Next()) {
            if (seen.Add(explorer.Current())) {
                edges.Append(explorer.Current());
            }
        }
        TopTools_ListOfShape wires;
        while (!edges.IsEmpty()) {
            TopoDS_Vertex chainStart = TopExp::FirstVertex(TopoDS::Edge(edges.First()));
            TopoDS_Vertex chainEnd = chainStart;
            BRepBuilderAPI_MakeWire wire;
            int index = 1;
            while (index <= edges.Length()) {
                const TopoDS_Edge edge = TopoDS::Edge(edges(index));
                const TopoDS_Vertex first = TopExp::FirstVertex(edge);
                const TopoDS_Vertex last = TopExp::LastVertex(edge);
                bool taken = true;
                if (isSameVertex(chainStart, first)) {
                    chainStart = last;
                } else if (isSameVertex(chainStart, last)) {
                    chainStart = first;
                } else if (isSameVertex(chainEnd, first)) {
                    chainEnd = last;
                } else if (isSameVertex(chainEnd, last)) {
                    chainEnd = first;
                } else {
                    taken = false;
                }
                if (taken) {
                    wire.Add(edge);
                    edges.Remove(index);
                } else {
                    ++index;
                }
            }
            if (!wire.IsDone()) {
                throw vemra_exception("edgesToWires: the chained edges do not form a wire");
            }
            wires.Append(wire.Wire());
        }
        return wires;
    });
}
