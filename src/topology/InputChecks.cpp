#include "topology/InputChecks.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>
#include <sstream>
#include <type_traits>
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
#include <Interface_EntityIterator.hxx>
#include <Interface_Graph.hxx>
#include <Precision.hxx>
#include <StepBasic_ConversionBasedUnit.hxx>
#include <StepData_StepModel.hxx>
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
#include <StepBasic_ConversionBasedUnitAndLengthUnit.hxx>
#include <StepBasic_LengthUnit.hxx>
#include <StepBasic_SiUnitAndLengthUnit.hxx>
#include <StepGeom_CurveReplica.hxx>
#include <StepGeom_SurfaceReplica.hxx>
#include <StepRepr_MappedItem.hxx>
#include <StepRepr_RepresentationMap.hxx>
#include <StepRepr_RepresentationRelationship.hxx>
#include <StepShape_ContextDependentShapeRepresentation.hxx>
#include <StepShape_ShapeDefinitionRepresentation.hxx>
#include <XSControl_WorkSession.hxx>
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
#include "misc/Utilities.h"
#include "vemra_exception.h"

namespace {

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

// The curve types of the kernel's 3D and 2D geometry.
template <typename Curve> struct CurveKinds;
template <> struct CurveKinds<Geom_Curve> {
    using BSpline = Geom_BSplineCurve;
    using Bezier = Geom_BezierCurve;
    using Trimmed = Geom_TrimmedCurve;
    using Offset = Geom_OffsetCurve;
};
template <> struct CurveKinds<Geom2d_Curve> {
    using BSpline = Geom2d_BSplineCurve;
    using Bezier = Geom2d_BezierCurve;
    using Trimmed = Geom2d_TrimmedCurve;
    using Offset = Geom2d_OffsetCurve;
};

// Poles, weights, knots, offsets and positions first: evaluating a curve
// built on a non-finite number can spin. Then points on the used range.
template <typename Curve> void checkCurve(const opencascade::handle<Curve>& curve, const Fault& fault)
{
    using Kinds = CurveKinds<Curve>;
    if (curve.IsNull()) {
        return;
    }
    if (auto spline = opencascade::handle<typename Kinds::BSpline>::DownCast(curve)) {
        fault.points(spline->Poles());
        fault.numbers(spline->Weights());
        fault.numbers(&spline->Knots());
    } else if (auto bezier = opencascade::handle<typename Kinds::Bezier>::DownCast(curve)) {
        fault.points(bezier->Poles());
        fault.numbers(bezier->Weights());
    } else if (auto trimmed = opencascade::handle<typename Kinds::Trimmed>::DownCast(curve)) {
        fault.number(trimmed->FirstParameter());
        fault.number(trimmed->LastParameter());
        checkCurve(trimmed->BasisCurve(), fault);
    } else if (auto offset = opencascade::handle<typename Kinds::Offset>::DownCast(curve)) {
        fault.number(offset->Offset());
        // A 2D offset lies in its plane: no direction of its own.
        if constexpr (std::is_same_v<Curve, Geom_Curve>) {
            fault.direction(offset->Direction());
        }
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

// A fault of a STEP entity, raised naming it by its label (looked up only for
// a fault: the search by entity is not free).
class EntityFault {
public:
    EntityFault(const Handle(StepData_StepModel) & model, const Handle(Standard_Transient) & entity,
                const std::string& source, const std::string* recovered)
        : model(model), entity(entity), source(source), recovered(recovered)
    {
    }

    std::string label() const { return "#" + std::to_string(model->IdentLabel(entity)); }
    [[noreturn]] void fail(const std::string& what) const { throw vemra_exception(source + ": " + what); }
    // A part that the transfer follows without a test, left empty by a damaged
    // reference (to nothing or to an entity of another type).
    void require(bool present, const char* part) const
    {
        if (!present) {
            fail("entity " + label() + " lacks its " + part + " (a damaged reference)");
        }
    }

    // Items of a list (the faces of a shell, the edges of a loop) lost to the
    // syntax errors the reader recovered from: the transfer leaves them out,
    // as it does any item it cannot find, and reads the rest.
    void requireItems(bool present, const char* items) const
    {
        if (!present && recovered != nullptr) {
            LOG(WARNING) << *recovered << ": entity " << label() << " lacks " << items
                         << " that the reader could not read";
        } else {
            require(present, items);
        }
    }

private:
    const Handle(StepData_StepModel) & model;
    const Handle(Standard_Transient) & entity;
    const std::string& source;
    // The file's name for warnings, when the reader recovered from syntax errors.
    const std::string* recovered;
};

template <typename Entity> const Entity& as(const Standard_Transient& entity)
{
    return static_cast<const Entity&>(entity);
}

bool isLengthUnit(const Handle(StepBasic_NamedUnit) & unit)
{
    return unit->IsKind(STANDARD_TYPE(StepBasic_SiUnitAndLengthUnit)) ||
           unit->IsKind(STANDARD_TYPE(StepBasic_ConversionBasedUnitAndLengthUnit)) ||
           unit->IsKind(STANDARD_TYPE(StepBasic_LengthUnit));
}

// The STEP entity types that are looked at, each with its check; any other
// type (directions, contexts, names, products) is not.
struct LookedAtType {
    Handle(Standard_Type) type;
    // Only the type itself, not its subtypes.
    bool exactly;
    void (*check)(const Standard_Transient& entity, const EntityFault& fault);
};

const std::vector<LookedAtType>& lookedAtTypes()
{
    using Fault = EntityFault;
    using Entity = Standard_Transient;
    static const std::vector<LookedAtType> table = {
        {STANDARD_TYPE(StepGeom_CartesianPoint), false,
         [](const Entity& entity, const Fault& fault) {
             const auto& point = as<StepGeom_CartesianPoint>(entity);
             for (int k = 1; k <= point.NbCoordinates(); ++k) {
                 const double value = point.CoordinatesValue(k);
                 if (!isKernelNumber(value)) {
                     fault.fail("point " + fault.label() + " has the coordinate " + numberText(value) +
                                ", not a finite number within the kernel's range");
                 }
             }
         }},
        {STANDARD_TYPE(StepBasic_ConversionBasedUnit), false,
         [](const Entity& entity, const Fault& fault) {
             // A factor of 0 makes the transfer scale every length to nothing and spin.
             const auto& unit = as<StepBasic_ConversionBasedUnit>(entity);
             const Handle(StepBasic_MeasureWithUnit) factor = unit.ConversionFactor();
             const double value = factor.IsNull() ? 0.0 : factor->ValueComponent();
             const std::string name = unit.Name().IsNull() ? "" : unit.Name()->ToCString();
             if (!isKernelNumber(value) || value <= 0.0) {
                 fault.fail("unit " + fault.label() + " (" + name + ") has the conversion factor " + numberText(value) +
                            ", not a positive finite number");
             }
             // A length unit is a multiple of a length, whose own factor is checked in turn.
             const Handle(StepBasic_NamedUnit) base = factor->UnitComponent().NamedUnit();
             if (entity.IsKind(STANDARD_TYPE(StepBasic_ConversionBasedUnitAndLengthUnit)) &&
                 (base.IsNull() || !isLengthUnit(base))) {
                 fault.fail("length unit " + fault.label() + " (" + name +
                            ") is defined by a unit that is not a length");
             }
         }},
        {STANDARD_TYPE(StepBasic_SiUnitAndLengthUnit), false,
         [](const Entity& entity, const Fault& fault) {
             if (as<StepBasic_SiUnitAndLengthUnit>(entity).Name() != StepBasic_sunMetre) {
                 fault.fail("length unit " + fault.label() + " is not a length (an SI unit other than the metre)");
             }
         }},
        {STANDARD_TYPE(StepGeom_BSplineCurve), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!holdsNull(as<StepGeom_BSplineCurve>(entity).ControlPointsList()), "control points");
         }},
        {STANDARD_TYPE(StepGeom_BSplineSurface), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!holdsNull(as<StepGeom_BSplineSurface>(entity).ControlPointsList()), "control points");
         }},
        {STANDARD_TYPE(StepGeom_Polyline), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!holdsNull(as<StepGeom_Polyline>(entity).Points()), "points");
         }},
        {STANDARD_TYPE(StepShape_OrientedEdge), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepShape_OrientedEdge>(entity).EdgeElement().IsNull(), "edge element");
         }},
        {STANDARD_TYPE(StepShape_EdgeLoop), false,
         [](const Entity& entity, const Fault& fault) {
             fault.requireItems(!holdsNull(as<StepShape_EdgeLoop>(entity).EdgeList()), "edges");
         }},
        {STANDARD_TYPE(StepShape_EdgeCurve), false,
         [](const Entity& entity, const Fault& fault) {
             const auto& edge = as<StepShape_EdgeCurve>(entity);
             fault.require(!edge.EdgeStart().IsNull() && !edge.EdgeEnd().IsNull() && !edge.EdgeGeometry().IsNull(),
                           "vertices or curve");
         }},
        {STANDARD_TYPE(StepShape_VertexPoint), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepShape_VertexPoint>(entity).VertexGeometry().IsNull(), "point");
         }},
        {STANDARD_TYPE(StepGeom_Pcurve), false,
         [](const Entity& entity, const Fault& fault) {
             const auto& pcurve = as<StepGeom_Pcurve>(entity);
             const Handle(StepRepr_DefinitionalRepresentation) definition = pcurve.ReferenceToCurve();
             fault.require(!pcurve.BasisSurface().IsNull() && !definition.IsNull() &&
                               !holdsNull(definition->Items()) && definition->NbItems() >= 1 &&
                               !Handle(StepGeom_Curve)::DownCast(definition->ItemsValue(1)).IsNull(),
                           "surface or curve");
         }},
        {STANDARD_TYPE(StepGeom_SurfaceCurve), false,
         [](const Entity& entity, const Fault& fault) {
             const auto& curve = as<StepGeom_SurfaceCurve>(entity);
             fault.require(!curve.Curve3d().IsNull() && !curve.AssociatedGeometry().IsNull(), "curve or geometry");
             bool present = true;
             for (int i = 1; present && i <= curve.NbAssociatedGeometry(); ++i) {
                 present = !curve.AssociatedGeometryValue(i).Value().IsNull();
             }
             fault.requireItems(present, "curve or geometry");
         }},
        {STANDARD_TYPE(StepGeom_Line), false,
         [](const Entity& entity, const Fault& fault) {
             const auto& line = as<StepGeom_Line>(entity);
             fault.require(!line.Pnt().IsNull() && !line.Dir().IsNull(), "point or direction");
         }},
        {STANDARD_TYPE(StepGeom_Vector), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_Vector>(entity).Orientation().IsNull(), "direction");
         }},
        {STANDARD_TYPE(StepGeom_Placement), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_Placement>(entity).Location().IsNull(), "location");
         }},
        {STANDARD_TYPE(StepGeom_Conic), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_Conic>(entity).Position().Value().IsNull(), "placement");
         }},
        {STANDARD_TYPE(StepGeom_ElementarySurface), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_ElementarySurface>(entity).Position().IsNull(), "placement");
         }},
        {STANDARD_TYPE(StepGeom_TrimmedCurve), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_TrimmedCurve>(entity).BasisCurve().IsNull(), "basis curve");
         }},
        {STANDARD_TYPE(StepGeom_OffsetCurve3d), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_OffsetCurve3d>(entity).BasisCurve().IsNull(), "basis curve");
         }},
        {STANDARD_TYPE(StepGeom_CurveReplica), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_CurveReplica>(entity).ParentCurve().IsNull(), "parent curve");
         }},
        {STANDARD_TYPE(StepGeom_OffsetSurface), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_OffsetSurface>(entity).BasisSurface().IsNull(), "basis surface");
         }},
        {STANDARD_TYPE(StepGeom_RectangularTrimmedSurface), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_RectangularTrimmedSurface>(entity).BasisSurface().IsNull(), "basis surface");
         }},
        {STANDARD_TYPE(StepGeom_SweptSurface), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_SweptSurface>(entity).SweptCurve().IsNull(), "swept curve");
         }},
        {STANDARD_TYPE(StepGeom_SurfaceReplica), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepGeom_SurfaceReplica>(entity).ParentSurface().IsNull(), "parent surface");
         }},
        {STANDARD_TYPE(StepRepr_MappedItem), false,
         [](const Entity& entity, const Fault& fault) {
             const auto& item = as<StepRepr_MappedItem>(entity);
             const Handle(StepRepr_RepresentationMap) source = item.MappingSource();
             fault.require(!source.IsNull() && !source->MappedRepresentation().IsNull() &&
                               !item.MappingTarget().IsNull(),
                           "mapped representation or target");
         }},
        {STANDARD_TYPE(StepShape_FaceBound), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepShape_FaceBound>(entity).Bound().IsNull(), "loop");
         }},
        {STANDARD_TYPE(StepShape_OrientedFace), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepShape_OrientedFace>(entity).FaceElement().IsNull(), "face element");
         }},
        {STANDARD_TYPE(StepShape_FaceSurface), false,
         [](const Entity& entity, const Fault& fault) {
             const auto& face = as<StepShape_FaceSurface>(entity);
             fault.require(!face.FaceGeometry().IsNull() && !holdsNull(face.Bounds()), "surface or bounds");
         }},
        // Oriented shells answer for the shell they orient: only plain ones here.
        {STANDARD_TYPE(StepShape_ClosedShell), true,
         [](const Entity& entity, const Fault& fault) {
             fault.requireItems(!holdsNull(as<StepShape_ConnectedFaceSet>(entity).CfsFaces()), "faces");
         }},
        {STANDARD_TYPE(StepShape_OpenShell), true,
         [](const Entity& entity, const Fault& fault) {
             fault.requireItems(!holdsNull(as<StepShape_ConnectedFaceSet>(entity).CfsFaces()), "faces");
         }},
        {STANDARD_TYPE(StepShape_ManifoldSolidBrep), false,
         [](const Entity& entity, const Fault& fault) {
             fault.require(!as<StepShape_ManifoldSolidBrep>(entity).Outer().IsNull(), "shell");
         }},
    };
    return table;
}

// The check of an entity type, nullptr when the type is not looked at.
const LookedAtType* lookedAtEntry(const Handle(Standard_Type) & type)
{
    for (const LookedAtType& entry : lookedAtTypes()) {
        if (entry.exactly ? type == entry.type : type->SubType(entry.type)) {
            return &entry;
        }
    }
    return nullptr;
}

// The entities a transfer of the reader's roots can reach: from the roots,
// the shapes' definitions and the relations between representations down
// through every reference.
std::vector<bool> transferReach(STEPControl_Reader& reader)
{
    const Handle(StepData_StepModel) model = reader.StepModel();
    const Interface_Graph& graph = reader.WS()->Graph();
    std::vector<bool> reached(static_cast<std::size_t>(model->NbEntities()) + 1, false);
    std::vector<int> pending;
    const auto reach = [&](const Handle(Standard_Transient) & entity) {
        const int number = model->Number(entity);
        if (number > 0 && !reached[static_cast<std::size_t>(number)]) {
            reached[static_cast<std::size_t>(number)] = true;
            pending.push_back(number);
        }
    };
    for (int i = 1; i <= reader.NbRootsForTransfer(); ++i) {
        reach(reader.RootForTransfer(i));
    }
    for (int i = 1; i <= model->NbEntities(); ++i) {
        const Handle(Standard_Transient) & entity = model->Value(i);
        if (entity->IsKind(STANDARD_TYPE(StepShape_ShapeDefinitionRepresentation)) ||
            entity->IsKind(STANDARD_TYPE(StepShape_ContextDependentShapeRepresentation)) ||
            entity->IsKind(STANDARD_TYPE(StepRepr_RepresentationRelationship))) {
            reach(entity);
        }
    }
    while (!pending.empty()) {
        const int number = pending.back();
        pending.pop_back();
        for (Interface_EntityIterator shared = graph.Shareds(model->Value(number)); shared.More(); shared.Next()) {
            reach(shared.Value());
        }
    }
    return reached;
}

bool isSyntaxFault(const char* fault)
{
    return std::strncmp(fault, "Undefined Parsing", std::strlen("Undefined Parsing")) == 0;
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

// The instances "#<id> = ...;" of a STEP text and the instances each refers
// to, read in one pass: quotes enclose texts (in which '' stands for a quote),
// "/*" opens a comment. Enough of each instance is kept to check what the
// kernel's reader and transfer take for granted: references without a
// cycle (the reader and the transfer recurse along them without end) and
// points with as many coordinates as their model has dimensions.
class StepInstanceGraph {
public:
    StepInstanceGraph(const std::string& content, const std::string& source)
    {
        read(content, source);
        resolve();
    }

    // One depth-first search over all instances; a reference back to an
    // instance on the search's path closes a cycle.
    void checkCycles(const std::string& source) const
    {
        enum : std::uint8_t { unseen, onPath, done };
        std::vector<std::uint8_t> state(ids.size(), unseen);
        // The path: an instance and the position of its next reference.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> path;
        for (std::uint32_t root = 0; root < ids.size(); ++root) {
            if (state[root] != unseen) {
                continue;
            }
            state[root] = onPath;
            path.emplace_back(root, firstReference[root]);
            while (!path.empty()) {
                auto& [instance, next] = path.back();
                if (next == firstReference[instance + 1]) {
                    state[instance] = done;
                    path.pop_back();
                    continue;
                }
                const std::uint32_t target = references[next++];
                if (target == unresolved || state[target] == done) {
                    continue;
                }
                if (state[target] == onPath) {
                    throw vemra_exception(source + ": " + cycleText(path, target) + " (a damaged reference)");
                }
                state[target] = onPath;
                path.emplace_back(target, firstReference[target]);
            }
        }
    }

    // Points in a representation of a two-dimensional context (the curves of
    // faces in their surfaces' parameters) have two coordinates; every other
    // point has as many as the model has dimensions.
    void checkPointDimensions(const std::string& source) const
    {
        int modelDimension = 0;
        for (const std::uint8_t dimension : contextDimension) {
            modelDimension = std::max<int>(modelDimension, dimension);
        }
        if (points.empty() || modelDimension == 0) {
            return;
        }
        // The instances below a two-dimensional representation.
        std::vector<bool> planar(ids.size(), false);
        std::vector<std::uint32_t> pending;
        for (std::uint32_t instance = 0; instance < ids.size(); ++instance) {
            for (std::uint32_t at = firstReference[instance]; at < firstReference[instance + 1]; ++at) {
                const std::uint32_t target = references[at];
                if (target != unresolved && contextDimension[target] == 2 && !planar[instance]) {
                    planar[instance] = true;
                    pending.push_back(instance);
                }
            }
        }
        while (!pending.empty()) {
            const std::uint32_t instance = pending.back();
            pending.pop_back();
            for (std::uint32_t at = firstReference[instance]; at < firstReference[instance + 1]; ++at) {
                const std::uint32_t target = references[at];
                if (target != unresolved && !planar[target]) {
                    planar[target] = true;
                    pending.push_back(target);
                }
            }
        }
        for (const auto& [instance, coordinates] : points) {
            const int needed = planar[instance] ? 2 : modelDimension;
            if (coordinates < needed) {
                throw vemra_exception(source + ": point #" + std::to_string(ids[instance]) + " has " +
                                      std::to_string(coordinates) + " coordinates, fewer than the " +
                                      std::to_string(needed) + " dimensions of its model");
            }
        }
    }

private:
    static constexpr std::uint32_t unresolved = std::numeric_limits<std::uint32_t>::max();

    std::vector<std::uint32_t> ids;
    // The references of instance i: references[firstReference[i]] up to
    // references[firstReference[i + 1]], as identifiers until resolved into
    // instance positions.
    std::vector<std::uint32_t> firstReference{0};
    std::vector<std::uint32_t> references;
    // The dimension of an instance that is a geometric context, else 0.
    std::vector<std::uint8_t> contextDimension;
    // Simple CARTESIAN_POINT instances and their numbers of coordinates.
    std::vector<std::pair<std::uint32_t, int>> points;

    static bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
    static bool isWordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

    // The identifier of digits from the position on, moving past them; an
    // identifier beyond the kernel's integers is one no instance has.
    static std::uint32_t identifier(const std::string& content, std::size_t& at)
    {
        std::uint64_t value = 0;
        for (; at < content.size() && isDigit(content[at]); ++at) {
            value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(content[at] - '0'), unresolved);
        }
        return value > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) ? unresolved
                                                                                    : static_cast<std::uint32_t>(value);
    }

    void read(const std::string& content, const std::string& source)
    {
        const std::size_t size = content.size();
        bool inInstance = false;
        int depth = 0;
        // Of a simple CARTESIAN_POINT: the items of its coordinate list.
        bool isPoint = false;
        int items = 0;
        bool listEmpty = true;
        for (std::size_t at = 0; at < size; ++at) {
            const char c = content[at];
            if (c == '\'') {
                const std::size_t close = content.find('\'', at + 1);
                at = close == std::string::npos ? size : close;
                if (isPoint && depth == 2) {
                    listEmpty = false;
                }
                continue;
            }
            if (c == '/' && at + 1 < size && content[at + 1] == '*') {
                const std::size_t close = content.find("*/", at + 2);
                at = close == std::string::npos ? size : close + 1;
                continue;
            }
            if (c == '#' && !(inInstance && depth > 0)) {
                // At the top level: a new instance, or one whose ';' is missing.
                std::size_t next = at + 1;
                const std::uint32_t id = identifier(content, next);
                const std::size_t afterDigits = next;
                while (next < size && std::isspace(static_cast<unsigned char>(content[next]))) {
                    ++next;
                }
                if (afterDigits > at + 1 && next < size && content[next] == '=') {
                    if (inInstance) {
                        closeInstance(isPoint, items, listEmpty);
                    }
                    inInstance = true;
                    depth = 0;
                    ids.push_back(id);
                    contextDimension.push_back(0);
                    ++next;
                    while (next < size && std::isspace(static_cast<unsigned char>(content[next]))) {
                        ++next;
                    }
                    isPoint = content.compare(next, 15, "CARTESIAN_POINT") == 0 && next + 15 < size &&
                              !isWordCharacter(content[next + 15]);
                    items = 0;
                    listEmpty = true;
                    at = next - 1;
                    continue;
                }
                if (!inInstance) {
                    at = afterDigits - 1;
                    continue;
                }
            }
            if (!inInstance) {
                continue;
            }
            switch (c) {
            case ';':
                closeInstance(isPoint, items, listEmpty);
                inInstance = false;
                break;
            case '#': {
                std::size_t next = at + 1;
                if (next < size && isDigit(content[next])) {
                    references.push_back(identifier(content, next));
                    at = next - 1;
                }
                if (isPoint && depth == 2) {
                    listEmpty = false;
                }
                break;
            }
            case '(': ++depth; break;
            case ')': --depth; break;
            case ',':
                if (isPoint && depth == 2) {
                    ++items;
                }
                break;
            default:
                if (isPoint && depth == 2 && !std::isspace(static_cast<unsigned char>(c))) {
                    listEmpty = false;
                }
                if (std::isalpha(static_cast<unsigned char>(c)) && !isWordCharacter(content[at - 1])) {
                    readWord(content, at, source);
                }
                break;
            }
        }
        if (inInstance) {
            // An instance the text cuts short: kept, for the reader to report.
            closeInstance(isPoint, items, listEmpty);
        }
    }

    void closeInstance(bool& isPoint, int items, bool listEmpty)
    {
        if (isPoint) {
            points.emplace_back(static_cast<std::uint32_t>(ids.size() - 1), listEmpty ? 0 : items + 1);
            isPoint = false;
        }
        firstReference.push_back(static_cast<std::uint32_t>(references.size()));
    }

    // A word inside an instance: a type, of which a geometric context tells
    // its dimension, or a word that stands for a number which is not finite
    // (the reader takes it for a syntax error and reads 0 in its place).
    void readWord(const std::string& content, std::size_t& at, const std::string& source)
    {
        std::size_t end = at;
        while (end < content.size() && isWordCharacter(content[end])) {
            ++end;
        }
        static const char keyword[] = "GEOMETRIC_REPRESENTATION_CONTEXT";
        const std::size_t length = sizeof keyword - 1;
        if (end - at == length && content.compare(at, length, keyword) == 0) {
            readContextDimension(content, end);
        } else if (end - at <= 8 && content[at - 1] != '.' && (end == content.size() || content[end] != '(')) {
            std::string word = content.substr(at, end - at);
            for (char& letter : word) {
                letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
            }
            if (word == "nan" || word == "inf" || word == "infinity") {
                throw vemra_exception(source + ": entity #" + std::to_string(ids.back()) + " holds the number " +
                                      content.substr(at, end - at) + ", not a finite number");
            }
        }
        at = end - 1;
    }

    // "(<dimension>)" after GEOMETRIC_REPRESENTATION_CONTEXT, alone or in a
    // complex instance.
    void readContextDimension(const std::string& content, std::size_t at)
    {
        std::size_t next = at;
        while (next < content.size() && std::isspace(static_cast<unsigned char>(content[next]))) {
            ++next;
        }
        if (next >= content.size() || content[next] != '(') {
            return;
        }
        ++next;
        while (next < content.size() && std::isspace(static_cast<unsigned char>(content[next]))) {
            ++next;
        }
        const std::uint32_t dimension = identifier(content, next);
        contextDimension.back() = static_cast<std::uint8_t>(std::min<std::uint32_t>(dimension, 3));
    }

    // Identifiers into positions; the first instance of an identifier counts.
    void resolve()
    {
        std::uint32_t largest = 0;
        for (const std::uint32_t id : ids) {
            if (id != unresolved) {
                largest = std::max(largest, id);
            }
        }
        const auto count = static_cast<std::uint32_t>(ids.size());
        if (largest <= 4 * static_cast<std::uint64_t>(count) + 1024) {
            std::vector<std::uint32_t> position(static_cast<std::size_t>(largest) + 1, unresolved);
            for (std::uint32_t i = count; i-- > 0;) {
                if (ids[i] != unresolved) {
                    position[ids[i]] = i;
                }
            }
            for (std::uint32_t& reference : references) {
                reference = reference <= largest ? position[reference] : unresolved;
            }
            return;
        }
        std::unordered_map<std::uint32_t, std::uint32_t> position;
        position.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            position.emplace(ids[i], i);
        }
        for (std::uint32_t& reference : references) {
            const auto found = position.find(reference);
            reference = found == position.end() ? unresolved : found->second;
        }
    }

    // The cycle from the target on the path back to it, begun at the instance
    // that comes first in the file, so that it reads the same whichever
    // instance the search entered it by.
    std::string cycleText(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& path, std::uint32_t target) const
    {
        std::vector<std::uint32_t> cycle;
        bool onCycle = false;
        for (const auto& step : path) {
            onCycle = onCycle || step.first == target;
            if (onCycle) {
                cycle.push_back(step.first);
            }
        }
        if (cycle.size() == 1) {
            return "entity #" + std::to_string(ids[target]) + " refers to itself";
        }
        std::rotate(cycle.begin(), std::min_element(cycle.begin(), cycle.end()), cycle.end());
        std::string text = "entities";
        for (std::size_t i = 0; i < cycle.size(); ++i) {
            text += (i == 0 ? " #" : ", #") + std::to_string(ids[cycle[i]]);
        }
        return text + " refer to one another in a cycle";
    }
};

} // namespace

bool isKernelNumber(double value)
{
    return std::isfinite(value) && !Precision::IsInfinite(value);
}

bool checkStepModel(STEPControl_Reader& reader, const std::string& path)
{
    const std::string file = "STEP file " + path;
    const std::string source = "Could not read " + file;
    const Handle(StepData_StepModel) model = reader.StepModel();
    const Handle(Interface_Check) & global = model->GlobalCheck();
    int syntaxFaults = 0;
    for (int i = 1; i <= global->NbFails(); ++i) {
        syntaxFaults += isSyntaxFault(global->CFail(i)) ? 1 : 0;
    }
    // Without a syntax fault every fault (an unresolved reference) is a damaged file.
    if (global->HasFailed() && syntaxFaults == 0) {
        std::string message = source + ": " + global->CFail(1);
        if (global->NbFails() > 1) {
            message += " (and " + std::to_string(global->NbFails() - 1) + " more faults)";
        }
        throw vemra_exception(message);
    }
    // The reader skips an instance it cannot parse, and the references to it
    // stay unresolved. That is harmless where the transfer does not go: the
    // entities it reaches are checked as in a sound file, and the faults are
    // warnings.
    std::vector<bool> reached;
    if (syntaxFaults > 0) {
        reached = transferReach(reader);
    }
    // The check of each entity type, looked up once per type: most entities
    // (directions, contexts, names) are not looked at.
    std::unordered_map<const Standard_Type*, const LookedAtType*> entries;
    for (int i = 1; i <= model->NbEntities(); ++i) {
        if (!reached.empty() && !reached[static_cast<std::size_t>(i)]) {
            continue;
        }
        const Handle(Standard_Transient) & entity = model->Value(i);
        const auto known = entries.emplace(entity->DynamicType().get(), nullptr);
        if (known.second) {
            known.first->second = lookedAtEntry(entity->DynamicType());
        }
        if (known.first->second != nullptr) {
            known.first->second->check(*entity, EntityFault(model, entity, source, syntaxFaults > 0 ? &file : nullptr));
        }
    }
    // The syntax faults name their lines; the references they left
    // unresolved are counted.
    int unresolved = 0;
    const char* firstUnresolved = nullptr;
    for (int i = 1; i <= global->NbFails(); ++i) {
        if (isSyntaxFault(global->CFail(i))) {
            LOG(WARNING) << file << ": the reader recovered from a syntax error: " << global->CFail(i);
        } else if (unresolved++ == 0) {
            firstUnresolved = global->CFail(i);
        }
    }
    if (unresolved > 0) {
        LOG(WARNING) << file << ": " << unresolved << " references to instances the reader could not read are "
                     << "left out (the first: " << firstUnresolved << ")";
    }
    return syntaxFaults > 0;
}

void checkStepText(const std::string& content, const std::string& source)
{
    const StepInstanceGraph graph(content, source);
    graph.checkCycles(source);
    graph.checkPointDimensions(source);
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
