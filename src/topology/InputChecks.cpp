#include "topology/InputChecks.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <unordered_map>

#include <BRepBndLib.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <Geom2d_BSplineCurve.hxx>
#include <Geom2d_BezierCurve.hxx>
#include <Geom2d_OffsetCurve.hxx>
#include <Geom2d_TrimmedCurve.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Geom_BezierCurve.hxx>
#include <Geom_BezierSurface.hxx>
#include <Geom_ElementarySurface.hxx>
#include <Geom_OffsetCurve.hxx>
#include <Geom_OffsetSurface.hxx>
#include <Geom_RectangularTrimmedSurface.hxx>
#include <Geom_SurfaceOfRevolution.hxx>
#include <Geom_SweptSurface.hxx>
#include <Geom_TrimmedCurve.hxx>
#include <Interface_Check.hxx>
#include <Precision.hxx>
#include <StepBasic_ConversionBasedUnit.hxx>
#include <StepBasic_MeasureWithUnit.hxx>
#include <StepGeom_BSplineCurve.hxx>
#include <StepGeom_BSplineSurface.hxx>
#include <StepGeom_CartesianPoint.hxx>
#include <StepGeom_HArray1OfCartesianPoint.hxx>
#include <StepGeom_HArray2OfCartesianPoint.hxx>
#include <StepGeom_Axis2Placement.hxx>
#include <StepGeom_Conic.hxx>
#include <StepGeom_ElementarySurface.hxx>
#include <StepGeom_Line.hxx>
#include <StepGeom_OffsetCurve3d.hxx>
#include <StepGeom_Placement.hxx>
#include <StepGeom_Vector.hxx>
#include <StepShape_ClosedShell.hxx>
#include <StepShape_FaceBound.hxx>
#include <StepShape_FaceSurface.hxx>
#include <StepShape_HArray1OfFace.hxx>
#include <StepShape_HArray1OfFaceBound.hxx>
#include <StepShape_ManifoldSolidBrep.hxx>
#include <StepShape_OpenShell.hxx>
#include <StepShape_OrientedFace.hxx>
#include <StepGeom_OffsetSurface.hxx>
#include <StepGeom_Pcurve.hxx>
#include <StepGeom_RectangularTrimmedSurface.hxx>
#include <StepGeom_SweptSurface.hxx>
#include <StepGeom_TrimmedCurve.hxx>
#include <StepGeom_Polyline.hxx>
#include <StepGeom_SurfaceCurve.hxx>
#include <StepRepr_DefinitionalRepresentation.hxx>
#include <StepShape_EdgeCurve.hxx>
#include <StepShape_EdgeLoop.hxx>
#include <StepShape_HArray1OfOrientedEdge.hxx>
#include <StepShape_OrientedEdge.hxx>
#include <StepShape_VertexPoint.hxx>
#include <TCollection_HAsciiString.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Vertex.hxx>

#include "misc/StringViewStream.h"
#include "topology/KernelGuard.h"
#include "vemra_exception.h"

namespace {

std::string numberText(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

// Raised with the first number that is not a kernel number.
class Fault {
public:
    Fault(const std::string& source, const char* what) : source(source), what(what) {}

    void number(double value) const
    {
        if (!isKernelNumber(value)) {
            throw vemra_exception(source + ": " + what + " holds the number " + numberText(value) +
                                  ", not a finite number within the kernel's range");
        }
    }
    void point(const gp_Pnt& p) const
    {
        number(p.X());
        number(p.Y());
        number(p.Z());
    }
    void point(const gp_Pnt2d& p) const
    {
        number(p.X());
        number(p.Y());
    }
    void direction(const gp_Dir& d) const { point(gp_Pnt(d.XYZ())); }
    template <typename Array> void points(const Array& array) const
    {
        for (auto it = array.cbegin(); it != array.cend(); ++it) {
            point(*it);
        }
    }
    template <typename Array> void numbers(const Array* array) const
    {
        if (array != nullptr) {
            for (auto it = array->cbegin(); it != array->cend(); ++it) {
                number(*it);
            }
        }
    }
    template <typename Item> void points(const NCollection_Array2<Item>& array) const
    {
        for (int row = array.LowerRow(); row <= array.UpperRow(); ++row) {
            for (int column = array.LowerCol(); column <= array.UpperCol(); ++column) {
                point(array(row, column));
            }
        }
    }
    void numbers(const NCollection_Array2<double>* array) const
    {
        if (array != nullptr) {
            for (int row = array->LowerRow(); row <= array->UpperRow(); ++row) {
                for (int column = array->LowerCol(); column <= array->UpperCol(); ++column) {
                    number((*array)(row, column));
                }
            }
        }
    }

private:
    const std::string& source;
    const char* what;
};

// Poles, weights, knots, offsets and positions first: evaluating a curve
// built on a non-finite number can spin. Then points on the used range.
void checkCurve(const Handle(Geom_Curve) & curve, const Fault& fault)
{
    if (curve.IsNull()) {
        return;
    }
    if (auto spline = Handle(Geom_BSplineCurve)::DownCast(curve)) {
        fault.points(spline->Poles());
        fault.numbers(spline->Weights());
        fault.numbers(&spline->Knots());
    } else if (auto bezier = Handle(Geom_BezierCurve)::DownCast(curve)) {
        fault.points(bezier->Poles());
        fault.numbers(bezier->Weights());
    } else if (auto trimmed = Handle(Geom_TrimmedCurve)::DownCast(curve)) {
        fault.number(trimmed->FirstParameter());
        fault.number(trimmed->LastParameter());
        checkCurve(trimmed->BasisCurve(), fault);
    } else if (auto offset = Handle(Geom_OffsetCurve)::DownCast(curve)) {
        fault.number(offset->Offset());
        fault.direction(offset->Direction());
        checkCurve(offset->BasisCurve(), fault);
    }
}

void checkCurve(const Handle(Geom2d_Curve) & curve, const Fault& fault)
{
    if (curve.IsNull()) {
        return;
    }
    if (auto spline = Handle(Geom2d_BSplineCurve)::DownCast(curve)) {
        fault.points(spline->Poles());
        fault.numbers(spline->Weights());
        fault.numbers(&spline->Knots());
    } else if (auto bezier = Handle(Geom2d_BezierCurve)::DownCast(curve)) {
        fault.points(bezier->Poles());
        fault.numbers(bezier->Weights());
    } else if (auto trimmed = Handle(Geom2d_TrimmedCurve)::DownCast(curve)) {
        fault.number(trimmed->FirstParameter());
        fault.number(trimmed->LastParameter());
        checkCurve(trimmed->BasisCurve(), fault);
    } else if (auto offset = Handle(Geom2d_OffsetCurve)::DownCast(curve)) {
        fault.number(offset->Offset());
        checkCurve(offset->BasisCurve(), fault);
    }
}

void checkSurface(const Handle(Geom_Surface) & surface, const Fault& fault)
{
    if (surface.IsNull()) {
        return;
    }
    if (auto spline = Handle(Geom_BSplineSurface)::DownCast(surface)) {
        fault.points(spline->Poles());
        fault.numbers(spline->Weights());
        fault.numbers(&spline->UKnots());
        fault.numbers(&spline->VKnots());
    } else if (auto bezier = Handle(Geom_BezierSurface)::DownCast(surface)) {
        fault.points(bezier->Poles());
        fault.numbers(bezier->Weights());
    } else if (auto trimmed = Handle(Geom_RectangularTrimmedSurface)::DownCast(surface)) {
        double u1 = 0.0, u2 = 0.0, v1 = 0.0, v2 = 0.0;
        trimmed->Bounds(u1, u2, v1, v2);
        for (double bound : {u1, u2, v1, v2}) {
            fault.number(bound);
        }
        checkSurface(trimmed->BasisSurface(), fault);
    } else if (auto offset = Handle(Geom_OffsetSurface)::DownCast(surface)) {
        fault.number(offset->Offset());
        checkSurface(offset->BasisSurface(), fault);
    } else if (auto swept = Handle(Geom_SweptSurface)::DownCast(surface)) {
        fault.direction(swept->Direction());
        if (auto revolution = Handle(Geom_SurfaceOfRevolution)::DownCast(surface)) {
            fault.point(revolution->Location());
        }
        checkCurve(swept->BasisCurve(), fault);
    } else if (auto elementary = Handle(Geom_ElementarySurface)::DownCast(surface)) {
        const gp_Ax3& position = elementary->Position();
        fault.point(position.Location());
        fault.direction(position.Direction());
        fault.direction(position.XDirection());
        // Radii and angles show in points away from the origin of the parameters.
        fault.point(surface->Value(0.0, 0.0));
        fault.point(surface->Value(1.0, 1.0));
    }
}

// Finite and neither void nor collapsed to a point (its box without the
// tolerance gap thinner than the kernel's precision in every direction).
void checkBox(const Bnd_Box& box, const std::string& source, const char* what)
{
    if (box.IsVoid() || box.IsOpen() || box.IsWhole()) {
        throw vemra_exception(source + ": " + what + " has a void or unbounded bounding box");
    }
    double xmin = 0.0, ymin = 0.0, zmin = 0.0, xmax = 0.0, ymax = 0.0, zmax = 0.0;
    box.Get(xmin, ymin, zmin, xmax, ymax, zmax);
    for (double value : {xmin, ymin, zmin, xmax, ymax, zmax}) {
        Fault(source, what).number(value);
    }
    if (box.IsThin(Precision::Confusion())) {
        throw vemra_exception(source + ": " + what + " has a bounding box collapsed to a point");
    }
}

Bnd_Box boxOf(const TopoDS_Shape& shape)
{
    Bnd_Box box;
    // From the geometry, not from a triangulation the file may carry.
    BRepBndLib::Add(shape, box, false);
    return box;
}

void checkVertices(const TopTools_IndexedMapOfShape& vertices, const std::string& source)
{
    const Fault fault(source, "a vertex");
    for (int i = 1; i <= vertices.Extent(); ++i) {
        const TopoDS_Vertex& vertex = TopoDS::Vertex(vertices(i));
        fault.number(BRep_Tool::Tolerance(vertex));
        fault.point(BRep_Tool::Pnt(vertex));
    }
}

void checkEdges(const TopTools_IndexedMapOfShape& edges, const std::string& source)
{
    const Fault fault(source, "an edge");
    for (int i = 1; i <= edges.Extent(); ++i) {
        const TopoDS_Edge& edge = TopoDS::Edge(edges(i));
        fault.number(BRep_Tool::Tolerance(edge));
        double first = 0.0, last = 0.0;
        const Handle(Geom_Curve) curve = BRep_Tool::Curve(edge, first, last);
        if (!curve.IsNull()) {
            fault.number(first);
            fault.number(last);
            checkCurve(curve, fault);
            fault.point(curve->Value(first));
            fault.point(curve->Value(last));
        }
        // A degenerated edge is a point by nature.
        if (BRep_Tool::Degenerated(edge)) {
            continue;
        }
        if (!BRep_Tool::IsGeometric(edge)) {
            throw vemra_exception(source + ": an edge has no curve");
        }
        checkBox(boxOf(edge), source, "an edge");
    }
}

// The faces' boxes, kept to make the solids' boxes from.
std::vector<Bnd_Box> checkFaces(const TopTools_IndexedMapOfShape& faces, const std::string& source)
{
    const Fault fault(source, "a face");
    std::vector<Bnd_Box> boxes;
    boxes.reserve(static_cast<std::size_t>(faces.Extent()));
    for (int i = 1; i <= faces.Extent(); ++i) {
        const TopoDS_Face& face = TopoDS::Face(faces(i));
        fault.number(BRep_Tool::Tolerance(face));
        const Handle(Geom_Surface) surface = BRep_Tool::Surface(face);
        if (surface.IsNull()) {
            throw vemra_exception(source + ": a face has no surface");
        }
        checkSurface(surface, fault);
        for (TopExp_Explorer explorer(face, TopAbs_EDGE); explorer.More(); explorer.Next()) {
            double first = 0.0, last = 0.0;
            const Handle(Geom2d_Curve) curve =
                BRep_Tool::CurveOnSurface(TopoDS::Edge(explorer.Current()), face, first, last);
            if (!curve.IsNull()) {
                fault.number(first);
                fault.number(last);
                checkCurve(curve, fault);
            }
        }
        boxes.push_back(boxOf(face));
        checkBox(boxes.back(), source, "a face");
    }
    return boxes;
}

void checkSolids(const TopoDS_Shape& shape, const TopTools_IndexedMapOfShape& faces,
                 const std::vector<Bnd_Box>& faceBoxes, const std::string& source)
{
    TopTools_IndexedMapOfShape solids;
    TopExp::MapShapes(shape, TopAbs_SOLID, solids);
    for (int i = 1; i <= solids.Extent(); ++i) {
        Bnd_Box box;
        bool hasFace = false;
        for (TopExp_Explorer explorer(solids(i), TopAbs_FACE); explorer.More(); explorer.Next()) {
            hasFace = true;
            box.Add(faceBoxes[static_cast<std::size_t>(faces.FindIndex(explorer.Current()) - 1)]);
        }
        if (hasFace) {
            checkBox(box, source, "a solid");
        }
    }
}

template <typename Array> bool holdsNull(const Handle(Array) & array)
{
    if (array.IsNull()) {
        return true;
    }
    for (auto it = array->cbegin(); it != array->cend(); ++it) {
        if (it->IsNull()) {
            return true;
        }
    }
    return false;
}

bool holdsNull(const Handle(StepGeom_HArray2OfCartesianPoint) & array)
{
    if (array.IsNull()) {
        return true;
    }
    for (int row = array->LowerRow(); row <= array->UpperRow(); ++row) {
        for (int column = array->LowerCol(); column <= array->UpperCol(); ++column) {
            if (array->Value(row, column).IsNull()) {
                return true;
            }
        }
    }
    return false;
}

// The part of a topological or geometric entity that the transfer follows
// without a test, when a damaged reference (to nothing or to an entity of
// another type) left it empty; nullptr when all is there.
const char* missingPart(const Handle(Standard_Transient) & entity)
{
    if (auto curve = Handle(StepGeom_BSplineCurve)::DownCast(entity)) {
        return holdsNull(curve->ControlPointsList()) ? "control points" : nullptr;
    }
    if (auto surface = Handle(StepGeom_BSplineSurface)::DownCast(entity)) {
        return holdsNull(surface->ControlPointsList()) ? "control points" : nullptr;
    }
    if (auto polyline = Handle(StepGeom_Polyline)::DownCast(entity)) {
        return holdsNull(polyline->Points()) ? "points" : nullptr;
    }
    if (auto oriented = Handle(StepShape_OrientedEdge)::DownCast(entity)) {
        return oriented->EdgeElement().IsNull() ? "edge element" : nullptr;
    }
    if (auto loop = Handle(StepShape_EdgeLoop)::DownCast(entity)) {
        return holdsNull(loop->EdgeList()) ? "edges" : nullptr;
    }
    if (auto edge = Handle(StepShape_EdgeCurve)::DownCast(entity)) {
        const bool missing = edge->EdgeStart().IsNull() || edge->EdgeEnd().IsNull() || edge->EdgeGeometry().IsNull();
        return missing ? "vertices or curve" : nullptr;
    }
    if (auto vertex = Handle(StepShape_VertexPoint)::DownCast(entity)) {
        return vertex->VertexGeometry().IsNull() ? "point" : nullptr;
    }
    if (auto pcurve = Handle(StepGeom_Pcurve)::DownCast(entity)) {
        const Handle(StepRepr_DefinitionalRepresentation) definition = pcurve->ReferenceToCurve();
        const bool missing = pcurve->BasisSurface().IsNull() || definition.IsNull() || holdsNull(definition->Items()) ||
                             definition->NbItems() < 1 ||
                             Handle(StepGeom_Curve)::DownCast(definition->ItemsValue(1)).IsNull();
        return missing ? "surface or curve" : nullptr;
    }
    if (auto line = Handle(StepGeom_Line)::DownCast(entity)) {
        return line->Pnt().IsNull() || line->Dir().IsNull() ? "point or direction" : nullptr;
    }
    if (auto vector = Handle(StepGeom_Vector)::DownCast(entity)) {
        return vector->Orientation().IsNull() ? "direction" : nullptr;
    }
    if (auto placement = Handle(StepGeom_Placement)::DownCast(entity)) {
        return placement->Location().IsNull() ? "location" : nullptr;
    }
    if (auto conic = Handle(StepGeom_Conic)::DownCast(entity)) {
        return conic->Position().Value().IsNull() ? "placement" : nullptr;
    }
    if (auto elementary = Handle(StepGeom_ElementarySurface)::DownCast(entity)) {
        return elementary->Position().IsNull() ? "placement" : nullptr;
    }
    if (auto bound = Handle(StepShape_FaceBound)::DownCast(entity)) {
        return bound->Bound().IsNull() ? "loop" : nullptr;
    }
    if (auto oriented = Handle(StepShape_OrientedFace)::DownCast(entity)) {
        return oriented->FaceElement().IsNull() ? "face element" : nullptr;
    }
    if (auto face = Handle(StepShape_FaceSurface)::DownCast(entity)) {
        return face->FaceGeometry().IsNull() || holdsNull(face->Bounds()) ? "surface or bounds" : nullptr;
    }
    // Oriented shells answer for the shell they orient: only plain ones here.
    if (entity->IsInstance(STANDARD_TYPE(StepShape_ClosedShell)) ||
        entity->IsInstance(STANDARD_TYPE(StepShape_OpenShell))) {
        return holdsNull(Handle(StepShape_ConnectedFaceSet)::DownCast(entity)->CfsFaces()) ? "faces" : nullptr;
    }
    if (auto brep = Handle(StepShape_ManifoldSolidBrep)::DownCast(entity)) {
        return brep->Outer().IsNull() ? "shell" : nullptr;
    }
    if (auto surfaceCurve = Handle(StepGeom_SurfaceCurve)::DownCast(entity)) {
        if (surfaceCurve->Curve3d().IsNull() || surfaceCurve->AssociatedGeometry().IsNull()) {
            return "curve or geometry";
        }
        for (int i = 1; i <= surfaceCurve->NbAssociatedGeometry(); ++i) {
            if (surfaceCurve->AssociatedGeometryValue(i).Value().IsNull()) {
                return "curve or geometry";
            }
        }
    }
    return nullptr;
}

// The curve or surface a curve or surface is built on, the edge or face an
// oriented one orients; null for the others.
Handle(Standard_Transient) basisOf(const Handle(Standard_Transient) & entity)
{
    if (auto oriented = Handle(StepShape_OrientedEdge)::DownCast(entity)) {
        return oriented->EdgeElement();
    }
    if (auto oriented = Handle(StepShape_OrientedFace)::DownCast(entity)) {
        return oriented->FaceElement();
    }
    if (auto surfaceCurve = Handle(StepGeom_SurfaceCurve)::DownCast(entity)) {
        return surfaceCurve->Curve3d();
    }
    if (auto trimmed = Handle(StepGeom_TrimmedCurve)::DownCast(entity)) {
        return trimmed->BasisCurve();
    }
    if (auto offset = Handle(StepGeom_OffsetCurve3d)::DownCast(entity)) {
        return offset->BasisCurve();
    }
    if (auto offset = Handle(StepGeom_OffsetSurface)::DownCast(entity)) {
        return offset->BasisSurface();
    }
    if (auto trimmed = Handle(StepGeom_RectangularTrimmedSurface)::DownCast(entity)) {
        return trimmed->BasisSurface();
    }
    if (auto swept = Handle(StepGeom_SweptSurface)::DownCast(entity)) {
        return swept->SweptCurve();
    }
    return nullptr;
}

// Whether following the bases from the entity comes back to one already met:
// the transfer would recurse without end.
bool basisChainLoops(const Handle(Standard_Transient) & entity)
{
    std::vector<const Standard_Transient*> met;
    for (Handle(Standard_Transient) current = entity; !current.IsNull(); current = basisOf(current)) {
        if (std::find(met.begin(), met.end(), current.get()) != met.end()) {
            return true;
        }
        met.push_back(current.get());
    }
    return false;
}

bool isLookedAt(const Handle(Standard_Type) & type)
{
    static const Handle(Standard_Type) lookedAt[] = {
        STANDARD_TYPE(StepGeom_CartesianPoint),     STANDARD_TYPE(StepBasic_ConversionBasedUnit),
        STANDARD_TYPE(StepGeom_BSplineCurve),       STANDARD_TYPE(StepGeom_BSplineSurface),
        STANDARD_TYPE(StepGeom_Polyline),           STANDARD_TYPE(StepShape_OrientedEdge),
        STANDARD_TYPE(StepShape_EdgeLoop),          STANDARD_TYPE(StepShape_EdgeCurve),
        STANDARD_TYPE(StepShape_VertexPoint),       STANDARD_TYPE(StepGeom_Pcurve),
        STANDARD_TYPE(StepGeom_SurfaceCurve),       STANDARD_TYPE(StepGeom_Line),
        STANDARD_TYPE(StepGeom_Vector),             STANDARD_TYPE(StepGeom_Placement),
        STANDARD_TYPE(StepGeom_Conic),              STANDARD_TYPE(StepGeom_ElementarySurface),
        STANDARD_TYPE(StepShape_FaceBound),         STANDARD_TYPE(StepShape_OrientedFace),
        STANDARD_TYPE(StepShape_FaceSurface),       STANDARD_TYPE(StepShape_ClosedShell),
        STANDARD_TYPE(StepShape_OpenShell),         STANDARD_TYPE(StepShape_ManifoldSolidBrep),
        STANDARD_TYPE(StepGeom_TrimmedCurve),       STANDARD_TYPE(StepGeom_OffsetCurve3d),
        STANDARD_TYPE(StepGeom_OffsetSurface),      STANDARD_TYPE(StepGeom_RectangularTrimmedSurface),
        STANDARD_TYPE(StepGeom_SweptSurface),
    };
    for (const Handle(Standard_Type) & candidate : lookedAt) {
        if (type->SubType(candidate)) {
            return true;
        }
    }
    return false;
}

// The geometry sections of a BREP text, read token by token as the kernel's
// reader does: the reader builds a composite curve or surface on a basis it
// could not read (a damaged type code or count) and crashes on the null.
class BrepGeometryGrammar {
public:
    BrepGeometryGrammar(const std::string& content, std::size_t start, const std::string& source)
        : tokens(content), source(source)
    {
        tokens.seekg(static_cast<std::streamoff>(start));
    }

    void curves(long count, int dimension)
    {
        for (long i = 0; i < count; ++i) {
            curve(dimension);
        }
    }
    void surfaces(long count)
    {
        for (long i = 0; i < count; ++i) {
            surface();
        }
    }

private:
    StringViewStream tokens;
    const std::string& source;

    [[noreturn]] void damaged(const std::string& what) const
    {
        throw vemra_exception(source + ": damaged geometry section (" + what + ")");
    }
    std::string token()
    {
        std::string text;
        if (!(tokens >> text)) {
            damaged("the section ends early");
        }
        return text;
    }
    void reals(long count)
    {
        for (long i = 0; i < count; ++i) {
            const std::string text = token();
            char* end = nullptr;
            std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0') {
                damaged("\"" + text + "\" is not a number");
            }
        }
    }
    long integer(long lowest, long highest, const char* what)
    {
        const std::string text = token();
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        if (end == text.c_str() || *end != '\0' || value < lowest || value > highest) {
            damaged(std::string(what) + " \"" + text + "\"");
        }
        return value;
    }
    // Counts of poles and knots are bounded by the tokens that hold them.
    long count(const char* what) { return integer(1, 1L << 24, what); }
    long degree() { return integer(1, 25, "degree"); }

    void knots(long number)
    {
        for (long i = 0; i < number; ++i) {
            reals(1);
            integer(1, 26, "knot multiplicity");
        }
    }
    void curve(int dimension)
    {
        const long axes = dimension == 3 ? 12 : 6;
        switch (integer(1, 9, "curve type")) {
        case 1: reals(2L * dimension); break;
        case 2: case 4: reals(axes + 1); break;
        case 3: case 5: reals(axes + 2); break;
        case 6: {
            const long rational = integer(0, 1, "rational flag");
            const long poles = degree() + 1;
            reals(poles * (dimension + rational));
            break;
        }
        case 7: {
            const long rational = integer(0, 1, "rational flag");
            integer(0, 1, "periodic flag");
            degree();
            const long poles = count("pole count");
            const long knotCount = count("knot count");
            reals(poles * (dimension + rational));
            knots(knotCount);
            break;
        }
        case 8: reals(2); curve(dimension); break;
        default: reals(dimension == 3 ? 4 : 1); curve(dimension); break;
        }
    }
    void surface()
    {
        switch (integer(1, 11, "surface type")) {
        case 1: reals(12); break;
        case 2: case 4: reals(13); break;
        case 3: case 5: reals(14); break;
        case 6: reals(3); curve(3); break;
        case 7: reals(6); curve(3); break;
        case 8: {
            const long rational = integer(0, 1, "rational flag") | integer(0, 1, "rational flag");
            const long poles = (degree() + 1) * (degree() + 1);
            reals(poles * (3 + rational));
            break;
        }
        case 9: {
            const long rational = integer(0, 1, "rational flag") | integer(0, 1, "rational flag");
            integer(0, 1, "periodic flag");
            integer(0, 1, "periodic flag");
            degree();
            degree();
            const long uPoles = count("pole count");
            const long vPoles = count("pole count");
            const long uKnots = count("knot count");
            const long vKnots = count("knot count");
            reals(uPoles * vPoles * (3 + rational));
            knots(uKnots);
            knots(vKnots);
            break;
        }
        case 10: reals(4); surface(); break;
        default: reals(1); surface(); break;
        }
    }
};

} // namespace

bool isKernelNumber(double value)
{
    return std::isfinite(value) && !Precision::IsInfinite(value);
}

void checkStepModel(const Handle(StepData_StepModel) & model, const std::string& source)
{
    const Handle(Interface_Check) & global = model->GlobalCheck();
    if (global->HasFailed()) {
        std::string message = source + ": " + global->CFail(1);
        if (global->NbFails() > 1) {
            message += " (and " + std::to_string(global->NbFails() - 1) + " more faults)";
        }
        throw vemra_exception(message);
    }
    // Whether an entity type is one of those looked at, decided once per type:
    // most entities (directions, contexts, names) are not.
    std::unordered_map<const Standard_Type*, bool> lookedAt;
    for (int i = 1; i <= model->NbEntities(); ++i) {
        const Handle(Standard_Transient) & entity = model->Value(i);
        const auto known = lookedAt.emplace(entity->DynamicType().get(), false);
        if (known.second) {
            known.first->second = isLookedAt(entity->DynamicType());
        }
        if (!known.first->second) {
            continue;
        }
        // Looked up only for a fault: the search by entity is not free.
        const auto label = [&] { return "#" + std::to_string(model->IdentLabel(entity)); };
        if (auto point = Handle(StepGeom_CartesianPoint)::DownCast(entity)) {
            for (int k = 1; k <= point->NbCoordinates(); ++k) {
                const double value = point->CoordinatesValue(k);
                if (!isKernelNumber(value)) {
                    throw vemra_exception(source + ": point " + label() + " has the coordinate " + numberText(value) +
                                          ", not a finite number within the kernel's range");
                }
            }
        } else if (const char* missing = missingPart(entity)) {
            throw vemra_exception(source + ": entity " + label() + " lacks its " + missing +
                                  " (a damaged reference)");
        } else if (basisChainLoops(entity)) {
            throw vemra_exception(source + ": entity " + label() + " refers back to itself (a damaged reference)");
        } else if (auto unit = Handle(StepBasic_ConversionBasedUnit)::DownCast(entity)) {
            // A factor of 0 makes the transfer scale every length to nothing and spin.
            const Handle(StepBasic_MeasureWithUnit) factor = unit->ConversionFactor();
            const double value = factor.IsNull() ? 0.0 : factor->ValueComponent();
            if (!isKernelNumber(value) || value <= 0.0) {
                const std::string name = unit->Name().IsNull() ? "" : unit->Name()->ToCString();
                throw vemra_exception(source + ": unit " + label() + " (" + name + ") has the conversion factor " +
                                      numberText(value) + ", not a positive finite number");
            }
        }
    }
}

void checkStepText(const std::string& content, const std::string& source)
{
    // Instances "#<id> = ...;" of the data section; quotes enclose texts, in
    // which '' stands for a quote.
    std::size_t at = 0;
    const std::size_t size = content.size();
    while (at < size) {
        const std::size_t hash = content.find('#', at);
        if (hash == std::string::npos) {
            return;
        }
        std::size_t end = hash + 1;
        while (end < size && std::isdigit(static_cast<unsigned char>(content[end]))) {
            ++end;
        }
        const std::string id = content.substr(hash + 1, end - hash - 1);
        std::size_t next = end;
        while (next < size && std::isspace(static_cast<unsigned char>(content[next]))) {
            ++next;
        }
        if (id.empty() || next >= size || content[next] != '=') {
            at = end;
            continue;
        }
        // The instance's parameters, up to the ';' outside any text.
        bool inText = false;
        std::size_t position = next + 1;
        for (; position < size; ++position) {
            const char c = content[position];
            if (c == '\'') {
                inText = !inText;
            } else if (!inText && c == ';') {
                break;
            } else if (!inText && c == '#' && content.compare(position + 1, id.size(), id) == 0 &&
                       (position + 1 + id.size() >= size ||
                        !std::isdigit(static_cast<unsigned char>(content[position + 1 + id.size()])))) {
                // The reader itself recurses without end on such an instance.
                throw vemra_exception(source + ": entity #" + id + " refers to itself (a damaged reference)");
            }
        }
        at = position + 1;
    }
}

void checkShapeSoundness(const TopoDS_Shape& shape, const std::string& source)
{
    requireShape(shape, "checkShapeSoundness");
    try {
        TopTools_IndexedMapOfShape vertices, edges, faces;
        TopExp::MapShapes(shape, TopAbs_VERTEX, vertices);
        TopExp::MapShapes(shape, TopAbs_EDGE, edges);
        TopExp::MapShapes(shape, TopAbs_FACE, faces);
        checkVertices(vertices, source);
        checkEdges(edges, source);
        const std::vector<Bnd_Box> faceBoxes = checkFaces(faces, source);
        checkSolids(shape, faces, faceBoxes, source);
    } catch (const Standard_Failure& failure) {
        throw kernelFailure(source + ": the shape cannot be checked", failure);
    }
}

void checkBrepSections(const std::string& content, const std::string& source)
{
    static const char* const sections[] = {"Locations",      "Curve2ds",  "Curves",         "Polygon3D",
                                           "Polygon2D",      "Surfaces",  "Triangulations", "PolygonOnTriangulations",
                                           "TShapes"};
    StringViewStream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        for (const char* section : sections) {
            // The section's name and a blank open its header line.
            const std::size_t length = std::strlen(section);
            if (line.size() <= length || line.compare(0, length, section) != 0 || line[length] != ' ') {
                continue;
            }
            const std::string countText = line.substr(length + 1);
            std::size_t parsed = 0;
            long long count = -1;
            try {
                count = std::stoll(countText, &parsed);
            } catch (const std::exception&) {
                count = -1;
            }
            const std::streamoff position = lines.tellg();
            const std::uint64_t rest = position < 0 ? 0 : content.size() - static_cast<std::size_t>(position);
            if (count < 0 || static_cast<std::uint64_t>(count) > rest / 2) {
                throw vemra_exception(source + ": the section \"" + line + "\" announces more items than the " +
                                      std::to_string(rest) + " bytes after it can hold");
            }
            const std::string name = section;
            if (name == "Curve2ds" || name == "Curves" || name == "Surfaces") {
                BrepGeometryGrammar grammar(content, static_cast<std::size_t>(position), source);
                if (name == "Surfaces") {
                    grammar.surfaces(static_cast<long>(count));
                } else {
                    grammar.curves(static_cast<long>(count), name == "Curves" ? 3 : 2);
                }
            }
        }
    }
}
