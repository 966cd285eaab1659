#include "geometryData/AirBuilder.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>

#include <BOPAlgo_BuilderSolid.hxx>
#include <BRepAlgoAPI_Common.hxx>
#include <BRepAlgoAPI_Cut.hxx>
#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepLib_MakeFace.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeHalfSpace.hxx>
#include <BRepTools_History.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GC_MakeSegment.hxx>
#include <GeomLib_IsPlanarSurface.hxx>
#include <Geom_Surface.hxx>
#include <Standard_Failure.hxx>
#include <TopAbs.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <NCollection_DataMap.hxx>
#include <TopTools_ShapeMapHasher.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopTools_MapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Iterator.hxx>
#include <gp.hxx>
#include <gp_Pln.hxx>

#include "geometryData/GeneralFuse.h"
#include "geometryData/ShapeList.h"
#include "topology/ShapeStatistics.h"
#include "geometryData/TopoEntity.h"
#include "misc/ParallelFor.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "misc/Utilities.h"
#include "vemra_exception.h"

namespace {

const char* const addingAirFailed = "Problem during adding air! Please check your input or contact support!";
const char* const terminalNotPlanar =
    "Input faces for air boundary (terminal) is not planar! Please check input boundaries!";

// The tolerance of the axisymmetric checks, applied to a hundredth of the
// coordinate as the model has always been checked.
constexpr double axisymmetricTolerance = 1e-7;
constexpr double axisymmetricScale = 0.01;
// Below this angle (radians) the terminal's normal points towards the model.
constexpr double towardsModelAngle = 1.57;

void requireSomething(const TopoDS_Shape& model)
{
    if (model.IsNull() || getMainShapeType(model) == TopAbs_VERTEX) {
        throw vemra_exception("Cannot add air: the model has no shape to surround.");
    }
}

// The fuse of the model's shapes; nothing to fuse leaves nothing to surround.
TopoDS_Shape fuseModel(ShapeList list)
{
    TopoDS_Shape fused;
    if (!list.getShapes().IsEmpty()) {
        fused = list.fuse();
    }
    requireSomething(fused);
    return fused;
}

// The model's shapes side by side. It has the fused model's extent and
// solids that fill the same space, which is all the box needs when no
// terminal asks for the model's centre of mass.
TopoDS_Shape gatherModel(const ShapeList& list)
{
    BRep_Builder builder;
    TopoDS_Compound compound;
    builder.MakeCompound(compound);
    for (const TopoDS_Shape& shape : list.getShapes()) {
        builder.Add(compound, shape);
    }
    requireSomething(compound);
    return compound;
}

ShapeStatistics statisticsOf(const TopoDS_Shape& shape)
{
    ShapeStatistics statistics;
    getShapeStatistics(shape, statistics);
    return statistics;
}

// The statistics' box alone, without integrating volumes and centres.
ShapeStatistics boxOf(const TopoDS_Shape& shape)
{
    ShapeStatistics statistics;
    getShapeBox(shape, statistics);
    return statistics;
}

bool sameBox(const ShapeStatistics& a, const ShapeStatistics& b)
{
    return a.minX == b.minX && a.minY == b.minY && a.minZ == b.minZ && a.maxX == b.maxX && a.maxY == b.maxY &&
           a.maxZ == b.maxZ;
}

// The padding asked for, or half the diagonal of the model's box.
double effectivePadding(double padding, const ShapeStatistics& box)
{
    if (padding > 0.0) {
        if (!std::isfinite(padding)) {
            throw vemra_exception("Invalid padding for the air: it must be a finite number.");
        }
        return padding;
    }
    const double dx = box.maxX - box.minX;
    const double dy = box.maxY - box.minY;
    const double dz = box.maxZ - box.minZ;
    return 0.5 * std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The region: the model's box widened by the padding on every side.
TopoDS_Shape paddedBox(const ShapeStatistics& box, double padding)
{
    const double p = effectivePadding(padding, box);
    return BRepPrimAPI_MakeBox(gp_Pnt(box.minX - p, box.minY - p, box.minZ - p), box.maxX - box.minX + 2.0 * p,
                               box.maxY - box.minY + 2.0 * p, box.maxZ - box.minZ + 2.0 * p)
        .Shape();
}

// Runs a cut or common. A failed run, or a result without a piece of the
// required kind (TopAbs_SHAPE: none required), is the builder's failure.
TopoDS_Shape runBoolean(BRepAlgoAPI_BooleanOperation& operation, const TopoDS_Shape& argument,
                        const TopTools_ListOfShape& tools, bool parallel, TopAbs_ShapeEnum required)
{
    TopTools_ListOfShape arguments;
    arguments.Append(argument);
    operation.SetArguments(arguments);
    operation.SetTools(tools);
    operation.SetRunParallel(parallel);
    // The tools are the model's own shapes: their tolerances must stay as they are.
    operation.SetNonDestructive(true);
    try {
        operation.Build();
    } catch (const Standard_Failure& failure) {
        LOG(ERROR) << "Adding air: Boolean operation raised " << kernelFailureText(failure);
        throw vemra_exception(addingAirFailed);
    }
    if (operation.HasErrors()) {
        std::ostringstream alerts;
        operation.DumpErrors(alerts);
        LOG(ERROR) << "Adding air: Boolean operation failed: " << alerts.str();
        throw vemra_exception(addingAirFailed);
    }
    const TopoDS_Shape result = operation.Shape();
    if (required != TopAbs_SHAPE && !holdsSubShape(result, required)) {
        LOG(ERROR) << "Adding air: the air region vanished in a Boolean operation";
        throw vemra_exception(addingAirFailed);
    }
    return result;
}

TopTools_ListOfShape listOf(const TopTools_IndexedMapOfShape& map)
{
    TopTools_ListOfShape list;
    for (int i = 1; i <= map.Extent(); ++i) {
        list.Append(map(i));
    }
    return list;
}

TopoDS_Shape fuseOf(const TopTools_ListOfShape& shapes)
{
    ShapeList list;
    for (const TopoDS_Shape& shape : shapes) {
        list.add(shape);
    }
    return list.fuse();
}

// The half-space beyond a terminal face's plane, on the side away from the
// model's centre.
TopoDS_Shape halfSpaceBeyond(const TopoDS_Shape& terminal, const gp_Pnt& modelCentre)
{
    // Anything but a face has no plane to cut at.
    if (terminal.IsNull() || terminal.ShapeType() != TopAbs_FACE) {
        throw vemra_exception(terminalNotPlanar);
    }
    const gp_Pnt centre = getCentreOfMass(terminal);
    const Handle(Geom_Surface) surface = BRep_Tool::Surface(TopoDS::Face(terminal));
    if (surface.IsNull()) {
        throw vemra_exception(terminalNotPlanar);
    }
    const GeomLib_IsPlanarSurface planarity(surface, 1e-7);
    if (!planarity.IsPlanar()) {
        throw vemra_exception(terminalNotPlanar);
    }
    // The plane found is exact even for a planar B-spline; its sense is set below.
    gp_Dir normal = planarity.Plan().Axis().Direction();

    const gp_Vec towardsModel(centre, modelCentre);
    if (towardsModel.Magnitude() <= gp::Resolution()) {
        throw vemra_exception("Cannot orient terminal face: its centre coincides with the centre of the model.");
    }
    if (normal.Angle(gp_Dir(towardsModel)) < towardsModelAngle) {
        normal.Reverse();
    }
    const gp_Pnt beyond = centre.Translated(gp_Vec(normal));
    const TopoDS_Face plane = BRepLib_MakeFace(gp_Pln(centre, normal)).Face();
    return BRepPrimAPI_MakeHalfSpace(plane, beyond).Solid();
}

// The rectangle [x0, x1] x [y0, y1] in z = 0 as one face.
TopoDS_Shape rectangleFace(double x0, double y0, double x1, double y1)
{
    const gp_Pnt corners[4] = {gp_Pnt(x0, y0, 0.0), gp_Pnt(x1, y0, 0.0), gp_Pnt(x1, y1, 0.0), gp_Pnt(x0, y1, 0.0)};
    BRepBuilderAPI_MakeWire wire;
    for (int i = 0; i < 4; ++i) {
        const GC_MakeSegment segment(corners[i], corners[(i + 1) % 4]);
        wire.Add(BRepBuilderAPI_MakeEdge(segment.Value()).Edge());
    }
    return BRepBuilderAPI_MakeFace(wire.Wire(), false).Face();
}

// The rectangle with every face of the model cut out of it in one cut; every
// face of the result is kept (a ring keeps the air outside and the disk inside).
TopoDS_Shape cutModelFaces(const TopoDS_Shape& rectangle, const TopoDS_Shape& model)
{
    BRepAlgoAPI_Cut cut;
    const TopoDS_Shape result =
        runBoolean(cut, rectangle, listOf(subShapeMap(model, TopAbs_FACE)), false, TopAbs_FACE);
    return fuseOf(listOf(subShapeMap(result, TopAbs_FACE)));
}

// Whether a z of the model is off the plane z = 0 by the axisymmetric checks' measure.
bool offPlane(double z)
{
    return std::fabs(axisymmetricScale * z) > axisymmetricTolerance;
}

// Extent of an edge's exact geometry.
Bnd_Box exactBox(const TopoDS_Shape& shape)
{
    Bnd_Box box;
    box.SetGap(0.0);
    BRepBndLib::AddOptimal(shape, box, false, false);
    return box;
}

} // namespace

AirBuilder::AirBuilder() = default;
AirBuilder::~AirBuilder() = default;

void AirBuilder::setEntities(std::vector<std::shared_ptr<TopoEntity>> newEntities)
{
    entities = std::move(newEntities);
}

void AirBuilder::setTerminalFaces(TopTools_ListOfShape faces)
{
    terminalFaces = std::move(faces);
}

void AirBuilder::setPadding(double value)
{
    padding = value;
}

void AirBuilder::setMode(AirMode value)
{
    mode = value;
}

void AirBuilder::create()
{
    guardKernel("Adding air", [this] {
        switch (mode) {
        case boxAir:
            createBoxAir();
            break;
        case planarAir:
            createPlanarAir();
            break;
        case axisymmetricAir:
            createAxisymmetricAir();
            break;
        default:
            break;
        }
    });
}

TopoDS_Shape AirBuilder::getAirShape() const
{
    return air;
}

TopoDS_Shape AirBuilder::getInfinityShape() const
{
    return infinityBoundary;
}

TopoDS_Shape AirBuilder::getAxisShape() const
{
    return axis;
}

TopoDS_Shape AirBuilder::getPartitionShape() const
{
    return partition;
}

TopTools_ListOfShape AirBuilder::getInfinityFaces() const
{
    return partition.IsNull() ? TopTools_ListOfShape() : infinityFaces;
}

void AirBuilder::createBoxAir()
{
    ShapeList list(entities);
    bool inactiveSolids = false;
    for (const auto& entity : entities) {
        if (entity->getDimensionType() == solidDimension && !entity->isActive()) {
            list.add(entity->getShape(), entity->getName());
            inactiveSolids = true;
        }
    }
    // With nothing to trim and nothing left out of the partition (inactive
    // solids are cut out of the air, yet stay out of the partition), the
    // model and the box fuse at once into the partition.
    if (terminalFaces.IsEmpty() && !inactiveSolids) {
        fuseWithBox(list, boxOf(gatherModel(list)));
        return;
    }
    const TopoDS_Shape model = fuseModel(list);
    // Terminals are oriented by the model's centre; without them the box is all.
    const ShapeStatistics box = terminalFaces.IsEmpty() ? boxOf(model) : statisticsOf(model);
    TopoDS_Shape region = paddedBox(box, padding);
    const gp_Pnt modelCentre(box.centreX, box.centreY, box.centreZ);
    for (const TopoDS_Shape& terminal : terminalFaces) {
        TopTools_ListOfShape halfSpace;
        halfSpace.Append(halfSpaceBeyond(terminal, modelCentre));
        BRepAlgoAPI_Cut cut;
        region = runBoolean(cut, region, halfSpace, false, TopAbs_SOLID);
    }
    const TopTools_IndexedMapOfShape outerFaces = subShapeMap(region, TopAbs_FACE);

    // Trimming at the terminal planes; without terminals the box holds every
    // solid whole, so the commons would only copy them.
    std::vector<std::pair<std::shared_ptr<TopoEntity>, TopoDS_Shape>> trimmed;
    if (!terminalFaces.IsEmpty()) {
        TopTools_ListOfShape regionTool;
        regionTool.Append(region);
        for (const auto& entity : entities) {
            if (entity->getDimensionType() != solidDimension) {
                continue;
            }
            BRepAlgoAPI_Common common;
            const TopoDS_Shape inside = runBoolean(common, entity->getShape(), regionTool, true, TopAbs_SHAPE);
            const TopTools_IndexedMapOfShape solids = subShapeMap(inside, TopAbs_SOLID);
            TopoDS_Shape kept;
            if (solids.Extent() == 1) {
                kept = solids(1);
            } else if (solids.Extent() > 1) {
                BRep_Builder builder;
                TopoDS_Compound compound;
                builder.MakeCompound(compound);
                for (int i = 1; i <= solids.Extent(); ++i) {
                    builder.Add(compound, solids(i));
                }
                kept = compound;
            }
            trimmed.emplace_back(entity, kept);
        }
    }

    // The model's solids leave cavities, all in one cut (which splits the
    // tools at one another as the fuse would).
    BRepAlgoAPI_Cut cavities;
    region = runBoolean(cavities, region, listOf(subShapeMap(model, TopAbs_SOLID)), true, TopAbs_SOLID);

    // The outer boundary is what the region's own faces became; the cavity
    // walls came from the model.
    TopTools_MapOfShape fromOuter;
    for (int i = 1; i <= outerFaces.Extent(); ++i) {
        for (const TopoDS_Shape& image : imagesOf(cavities.History(), outerFaces(i))) {
            fromOuter.Add(image);
        }
    }
    TopTools_ListOfShape outer;
    for (TopExp_Explorer explorer(region, TopAbs_FACE); explorer.More(); explorer.Next()) {
        if (fromOuter.Contains(explorer.Current())) {
            outer.Append(explorer.Current());
        }
    }
    if (outer.IsEmpty()) {
        LOG(ERROR) << "Adding air: the air kept no face of its outer boundary";
        throw vemra_exception(addingAirFailed);
    }
    const TopoDS_Shape infinity = fuseOf(outer);

    // Every check has passed: only now does the model see the trim.
    for (const auto& [entity, kept] : trimmed) {
        if (kept.IsNull()) {
            LOG(WARNING) << "Adding air: solid " << entity->getName()
                         << " lies wholly beyond the terminal planes and is left out of the model";
            entity->setActive(false);
        } else {
            entity->setShape(kept);
        }
    }
    infinityBoundary = infinity;
    air = region;
    // The partition is left to the fuse of the model and this air.
    partition.Nullify();
}

namespace {

// The model's solids that overlap one another by a fuse's history: a piece
// of the result made from two of them holds more than fuseImageTolerance of
// the smaller. Pieces within that (the slivers a fuse leaves where solids
// touch within their tolerances) and splits of one solid are no overlap. A
// fuse that went wrong can report overlaps that are none, so this only
// explains a refusal.
std::string overlappingSolids(const TopTools_ListOfShape& model, const std::vector<std::string>& labels,
                              const Handle(BRepTools_History) & history)
{
    std::vector<TopoDS_Shape> pieces(model.begin(), model.end());
    NCollection_DataMap<TopoDS_Shape, std::vector<std::size_t>, TopTools_ShapeMapHasher> origins;
    std::vector<TopoDS_Shape> shared;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].ShapeType() != TopAbs_SOLID) {
            continue;
        }
        for (const TopoDS_Shape& image : imagesOf(history, pieces[i])) {
            if (!origins.IsBound(image)) {
                origins.Bind(image, {});
            }
            origins(image).push_back(i);
            if (origins(image).size() == 2) {
                shared.push_back(image);
            }
        }
    }
    std::vector<std::string> named;
    for (const TopoDS_Shape& image : shared) {
        double smallest = -1.0;
        for (std::size_t i : origins(image)) {
            const double volume = preciseVolume(pieces[i]);
            smallest = smallest < 0.0 ? volume : std::min(smallest, volume);
        }
        if (preciseVolume(image) > fuseImageTolerance * smallest) {
            for (std::size_t i : origins(image)) {
                named.push_back(labels[i]);
            }
        }
    }
    std::sort(named.begin(), named.end());
    named.erase(std::unique(named.begin(), named.end()), named.end());
    return named.empty() ? std::string() : listText(named) + " overlap";
}

// The model's solids that hold both sub-shapes of a pair the kernel found
// interfering within one argument, as "A and B are self-interfering".
std::string selfInterferingSolids(const TopTools_ListOfShape& model, const std::vector<std::string>& labels,
                                  const TopTools_ListOfShape& interferences)
{
    if (interferences.IsEmpty()) {
        return std::string();
    }
    std::vector<std::string> named;
    std::size_t position = 0;
    for (const TopoDS_Shape& piece : model) {
        TopTools_IndexedMapOfShape parts;
        TopExp::MapShapes(piece, parts);
        for (const TopoDS_Shape& pair : interferences) {
            bool holdsAll = true;
            for (TopoDS_Iterator iterator(pair); iterator.More() && holdsAll; iterator.Next()) {
                holdsAll = parts.Contains(iterator.Value());
            }
            if (holdsAll) {
                named.push_back(labels[position]);
                break;
            }
        }
        ++position;
    }
    if (named.empty()) {
        return std::string();
    }
    return listText(named) + (named.size() == 1 ? " is" : " are") +
           " self-interfering (the kernel finds faces, edges or vertices of one solid crossing one another)";
}

} // namespace

FusedModel fusedModelOf(const TopTools_ListOfShape& model, const std::vector<std::string>& labels,
                        const Handle(BRepTools_History) & history)
{
    FusedModel fused;
    NCollection_DataMap<TopoDS_Shape, std::size_t, TopTools_ShapeMapHasher> index;
    std::vector<std::vector<std::string>> origins;
    std::size_t position = 0;
    for (const TopoDS_Shape& piece : model) {
        const std::string& label = labels[position++];
        for (const TopoDS_Shape& image : imagesOf(history, piece)) {
            if (!index.IsBound(image)) {
                index.Bind(image, origins.size());
                origins.emplace_back();
                fused.pieces.Append(image);
            }
            origins[index(image)].push_back(label);
        }
    }
    for (const auto& names : origins) {
        fused.labels.push_back(names.size() == 1 ? names.front() : "the part that " + listText(names) + " share");
    }
    GeneralFuseOptions options;
    options.operation = "Adding air";
    options.argumentNames = labels;
    BRep_Builder builder;
    TopoDS_Compound pieces;
    builder.MakeCompound(pieces);
    for (const TopoDS_Shape& piece : fused.pieces) {
        builder.Add(pieces, piece);
    }
    // Told after the fault of the fuse that gave the history.
    const std::string fault = volumeFault(model, pieces, options, history);
    const std::string failed = options.operation + " failed: ";
    fused.fault = fault.compare(0, failed.size(), failed) == 0 ? fault.substr(failed.size()) : fault;
    return fused;
}

void AirBuilder::fuseWithBox(const ShapeList& model, ShapeStatistics bounds)
{
    // The box is sized from the model's shapes as given; the fused model can
    // be larger or smaller (a triangulation bounds a face that the fuse
    // splits by its exact geometry instead), and then the box is sized again
    // from the fused model and the fuse run once more.
    for (int run = 1;; ++run) {
        const TopoDS_Shape box = paddedBox(bounds, padding);
        ShapeList withBox = model;
        withBox.add(box, "the air's box");
        // As the shape list fuses: the same pieces in the same order, so the
        // partition is numbered as the fuse of the model and the air would be.
        withBox.sortByType();
        const TopTools_ListOfShape& pieces = withBox.getShapes();
        GeneralFuseOptions options;
        options.operation = "Adding air";
        options.argumentNames = withBox.getLabels();
        options.raiseOnVolumeFault = false;
        for (const TopoDS_Shape& piece : pieces) {
            if (piece.IsSame(box)) {
                break;
            }
            ++options.exactArgument;
        }
        ++options.exactArgument;
        options.exactArgumentHoldsAll = true;
        const GeneralFuseResult fuse = runGeneralFuse(pieces, options);
        std::string fault = fuse.failed() ? "Adding air failed: the fuse of the model and the box failed: " + fuse.errors
                                          : fuse.volumeFault;
        if (!fault.empty()) {
            LOG(WARNING) << fault << "; the air is built around the model's outer faces instead";
            TopTools_ListOfShape modelPieces;
            std::vector<std::string> modelLabels;
            std::size_t index = 0;
            for (const TopoDS_Shape& piece : pieces) {
                if (!piece.IsSame(box)) {
                    modelPieces.Append(piece);
                    modelLabels.push_back(withBox.getLabels()[index]);
                }
                ++index;
            }
            const AirAroundModel around = airAroundWrongFuse(modelPieces, modelLabels, box, fuse);
            if (!around.refusal.empty()) {
                throw vemra_exception(fault + "; " + around.refusal + "; the air was not added");
            }
            infinityBoundary = around.infinity;
            infinityFaces = around.infinityFaces;
            air = around.air;
            partition = around.partition;
            return;
        }

        // The pieces of the box are the air, but for those that are the model's.
        const Handle(BRepTools_History)& history = fuse.history;
        BRep_Builder builder;
        TopoDS_Compound fusedModel;
        builder.MakeCompound(fusedModel);
        TopTools_MapOfShape modelImages;
        for (const TopoDS_Shape& piece : pieces) {
            if (piece.IsSame(box)) {
                continue;
            }
            for (const TopoDS_Shape& image : imagesOf(history, piece)) {
                if (modelImages.Add(image)) {
                    builder.Add(fusedModel, image);
                }
            }
        }
        const ShapeStatistics fusedBounds = boxOf(fusedModel);
        if (run == 1 && !sameBox(bounds, fusedBounds)) {
            bounds = fusedBounds;
            continue;
        }
        TopTools_MapOfShape boxPieces;
        for (const TopoDS_Shape& image : imagesOf(history, box)) {
            boxPieces.Add(image);
        }
        TopoDS_Compound airSolids;
        builder.MakeCompound(airSolids);
        bool holdsAir = false;
        for (TopExp_Explorer explorer(fuse.shape, TopAbs_SOLID); explorer.More(); explorer.Next()) {
            if (boxPieces.Contains(explorer.Current()) && !modelImages.Contains(explorer.Current())) {
                builder.Add(airSolids, explorer.Current());
                holdsAir = true;
            }
        }
        TopTools_ListOfShape outer;
        for (TopExp_Explorer explorer(box, TopAbs_FACE); explorer.More(); explorer.Next()) {
            TopTools_ListOfShape faces = imagesOf(history, explorer.Current());
            outer.Append(faces);
        }
        if (!holdsAir || outer.IsEmpty()) {
            LOG(ERROR) << "Adding air: the fuse of the model and the box left no air";
            throw vemra_exception(addingAirFailed);
        }
        const TopoDS_Shape infinity = fuseOf(outer);
        infinityBoundary = infinity;
        infinityFaces = outer;
        air = airSolids;
        partition = fuse.shape;
        return;
    }
}

AirAroundModel airAroundWrongFuse(const TopTools_ListOfShape& model, const std::vector<std::string>& labels,
                                  const TopoDS_Shape& box, const GeneralFuseResult& fuse)
{
    AirAroundModel around = airAroundModel(model, labels, box);
    // A fuse that went wrong can show overlaps that are none, so its history
    // is asked only when the model's solids as they are cannot be surrounded
    // (and without a result there is no history).
    const std::string overlapping = fuse.failed() || around.refusal.empty()
                                        ? std::string()
                                        : overlappingSolids(model, labels, fuse.history);
    if (!overlapping.empty()) {
        // Solids that overlap come out of the fuse split where they overlap,
        // even when the box's pieces went wrong.
        const FusedModel fused = fusedModelOf(model, labels, fuse.history);
        if (fused.fault.empty()) {
            around = airAroundModel(fused.pieces, fused.labels, box);
        } else {
            around.refusal = fused.fault;
        }
        if (around.refusal.empty()) {
            LOG(WARNING) << "Adding air: " << overlapping
                         << "; the air is built around the pieces the fuse splits them into";
        } else {
            around.refusal += " (in the fuse, " + overlapping + ")";
        }
    }
    const std::string selfInterfering = selfInterferingSolids(model, labels, fuse.selfInterferences);
    if (!around.refusal.empty() && !selfInterfering.empty()) {
        around.refusal += "; " + selfInterfering;
    }
    return around;
}

AirAroundModel airAroundModel(const TopTools_ListOfShape& model, const std::vector<std::string>& labels,
                              const TopoDS_Shape& box)
{
    AirAroundModel made;
    const auto refuse = [&made](const std::string& why) {
        made.refusal = why;
        return made;
    };
    // The model's outer faces are those that bound one solid once; a face
    // two solids share lies inside. The model is taken as it is: its solids
    // already share the faces where they touch.
    TopTools_IndexedDataMapOfShapeListOfShape bounding;
    std::vector<TopoDS_Shape> solids;
    std::vector<std::string> solidLabels;
    std::size_t position = 0;
    for (const TopoDS_Shape& piece : model) {
        const std::string label = position < labels.size() ? labels[position] : "a solid";
        ++position;
        // A vertex inside a solid bounds nothing.
        if (piece.ShapeType() == TopAbs_VERTEX) {
            continue;
        }
        if (piece.ShapeType() != TopAbs_SOLID) {
            return refuse(std::string("the model holds a piece that is not a solid but a ") +
                          TopAbs::ShapeTypeToString(piece.ShapeType()));
        }
        solids.push_back(piece);
        solidLabels.push_back(label);
        for (TopExp_Explorer explorer(piece, TopAbs_FACE); explorer.More(); explorer.Next()) {
            const TopoDS_Shape& face = explorer.Current();
            if (face.Orientation() != TopAbs_FORWARD && face.Orientation() != TopAbs_REVERSED) {
                continue;
            }
            const int index = bounding.FindIndex(face);
            if (index == 0) {
                TopTools_ListOfShape occurrences;
                occurrences.Append(face);
                bounding.Add(face, occurrences);
            } else {
                bounding(index).Append(face);
            }
        }
    }
    // The air's faces: the box's, and the model's outer faces turned to face the air.
    TopTools_ListOfShape faces;
    for (TopExp_Explorer explorer(box, TopAbs_FACE); explorer.More(); explorer.Next()) {
        faces.Append(explorer.Current());
    }
    for (int i = 1; i <= bounding.Extent(); ++i) {
        if (bounding(i).Extent() == 1) {
            faces.Append(bounding(i).First().Reversed());
        }
    }
    BOPAlgo_BuilderSolid builder;
    builder.SetShapes(faces);
    builder.SetAvoidInternalShapes(true);
    builder.SetRunParallel(true);
    builder.Perform();
    if (builder.HasErrors() || builder.HasWarnings()) {
        return refuse("neither does the air close around the model's outer faces");
    }
    for (const TopoDS_Shape& area : builder.Areas()) {
        solids.push_back(area);
    }
    const std::size_t modelSolids = solidLabels.size();
    std::vector<double> volumes(solids.size());
    parallelFor(static_cast<int>(solids.size()), [&](int i) {
        const auto index = static_cast<std::size_t>(i);
        volumes[index] = preciseVolume(solids[index]);
    });
    double total = 0.0;
    for (std::size_t i = 0; i < solids.size(); ++i) {
        if (!(volumes[i] > 0.0)) {
            return refuse(i < modelSolids
                              ? solidLabels[i] + " is inverted (volume " +
                                    numberText(volumes[i], 10) + ")"
                              : "neither does the air close around the model's outer faces");
        }
        total += volumes[i];
    }
    const double boxVolume = preciseVolume(box);
    if (std::fabs(total - boxVolume) > fuseVolumeTolerance * boxVolume) {
        return refuse("neither do the model's solids and the air around their outer faces fill the box (" +
                      numberText(total, 10) + " of " + numberText(boxVolume, 10) + "): " +
                      (total > boxVolume ? "the model's solids overlap" : "part of the box is left in neither"));
    }
    BRep_Builder compounds;
    TopoDS_Compound airSolids;
    compounds.MakeCompound(airSolids);
    TopoDS_Compound whole;
    compounds.MakeCompound(whole);
    for (std::size_t i = 0; i < solids.size(); ++i) {
        compounds.Add(i < modelSolids ? whole : airSolids, solids[i]);
    }
    compounds.Add(whole, airSolids);
    TopTools_ListOfShape outer;
    for (TopExp_Explorer explorer(box, TopAbs_FACE); explorer.More(); explorer.Next()) {
        outer.Append(explorer.Current());
    }
    made.infinity = fuseOf(outer);
    made.infinityFaces = outer;
    made.air = airSolids;
    made.partition = whole;
    return made;
}

void AirBuilder::createPlanarAir()
{
    const TopoDS_Shape model = fuseModel(ShapeList(entities));
    const ShapeStatistics box = statisticsOf(model);
    const double p = effectivePadding(padding, box);
    if (offPlane(box.minZ) || offPlane(box.maxZ)) {
        LOG(WARNING) << "Adding air: the model does not lie in z = 0, where the air rectangle is made; "
                        "the air surrounds nothing";
    }
    const TopoDS_Shape rectangle = rectangleFace(box.minX - p, box.minY - p, box.maxX + p, box.maxY + p);
    const TopoDS_Shape infinity = fuseOf(listOf(subShapeMap(rectangle, TopAbs_EDGE)));
    const TopoDS_Shape region = cutModelFaces(rectangle, model);
    infinityBoundary = infinity;
    air = region;
    // The partition is left to the fuse of the model and this air.
    partition.Nullify();
}

void AirBuilder::createAxisymmetricAir()
{
    const TopoDS_Shape model = fuseModel(ShapeList(entities));
    const ShapeStatistics box = statisticsOf(model);
    // Clients match these texts as they stand, spelling included.
    if (axisymmetricScale * box.minX < -axisymmetricTolerance) {
        throw vemra_exception(
            "Error during creating of air. Axysimmetric geometry should be in XY plane with positive X");
    }
    if (offPlane(box.minZ) || offPlane(box.maxZ)) {
        throw vemra_exception("Error during creating of air. Could not create air for non-planar geometry.");
    }
    const double p = effectivePadding(padding, box);
    const double x1 = box.maxX + p;
    const double y0 = box.minY - p;
    const double y1 = box.maxY + p;
    const TopoDS_Shape region = cutModelFaces(rectangleFace(0.0, y0, x1, y1), model);

    // Sorted by where they lie: whatever the cut rebuilt, the axis holds the
    // air's edges on x = 0, the infinity those on the three other sides, and
    // an edge of the model is in neither.
    const double tolerance = 1e-7 * std::max({1.0, std::fabs(x1), std::fabs(y0), std::fabs(y1)});
    const auto along = [tolerance](double low, double high, double value) {
        return std::fabs(low - value) <= tolerance && std::fabs(high - value) <= tolerance;
    };
    const TopTools_IndexedMapOfShape modelEdges = subShapeMap(model, TopAbs_EDGE);
    const TopTools_IndexedMapOfShape regionEdges = subShapeMap(region, TopAbs_EDGE);
    TopTools_ListOfShape axisEdges;
    TopTools_ListOfShape outerEdges;
    for (int i = 1; i <= regionEdges.Extent(); ++i) {
        const TopoDS_Shape& edge = regionEdges(i);
        if (modelEdges.Contains(edge)) {
            continue;
        }
        const Bnd_Box bounds = exactBox(edge);
        if (bounds.IsVoid()) {
            continue;
        }
        double xmin, ymin, zmin, xmax, ymax, zmax;
        bounds.Get(xmin, ymin, zmin, xmax, ymax, zmax);
        if (along(xmin, xmax, 0.0)) {
            axisEdges.Append(edge);
        } else if (along(xmin, xmax, x1) || along(ymin, ymax, y0) || along(ymin, ymax, y1)) {
            outerEdges.Append(edge);
        }
    }
    infinityBoundary = fuseOf(outerEdges);
    axis = fuseOf(axisEdges);
    air = region;
    // The partition is left to the fuse of the model and this air.
    partition.Nullify();
}
