#include "geometryData/GeometryData.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <BRepBuilderAPI_Sewing.hxx>
#include <BRepCheck_Analyzer.hxx>
#include <BRepGProp.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <ShapeFix_Solid.hxx>
#include <Standard_Failure.hxx>
#include <TopAbs_ShapeEnum.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>

#include "geometryData/CadReadTimes.h"
#include "geometryData/PartitionPieces.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "geometryData/WorkingDirectory.h"
#include "misc/CurrentStage.h"
#include "misc/JsonLimits.h"
#include "misc/Utilities.h"
#include "topology/InputChecks.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "topology/ShapeRepair.h"
#include "topology/SolidSoundness.h"
#include "vemra_exception.h"

namespace {

thread_local CadReadTimes lastTimes;

class PhaseClock {
public:
    // Adds the seconds since the last call (or construction) to the slot.
    void lap(double& slot)
    {
        const auto now = std::chrono::steady_clock::now();
        slot += std::chrono::duration<double>(now - start).count();
        start = now;
    }

private:
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// Only a-z change: bytes of multi-byte names must pass through untouched.
std::string upperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// Names may come from a Windows workstation.
std::string withForwardSlashes(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

TopoDS_Shape importCadFile(const std::string& path, const std::string& name, int& declaredSolids)
{
    const std::string extension = upperAscii(extensionOf(path));
    const bool step = extension == ".STP" || extension == ".STEP";
    const bool iges = extension == ".IGS" || extension == ".IGES";
    if (!step && !iges) {
        throw vemra_exception("File format " + extension + " is not supported. Please choose other CAD file!");
    }
    if (!fileExists(path)) {
        throw vemra_exception("CAD file " + name + " does not exist");
    }
    TopoDS_Shape shape = step ? readStepFile(path, declaredSolids) : readIgesFile(path, declaredSolids);
    if (shape.IsNull()) {
        throw vemra_exception("Could not read CAD file " + name);
    }
    // Before the repair: damaged geometry makes it and the fuse spin or crash.
    checkShapeSoundness(shape, "CAD file " + name);
    return shape;
}

// The solids sewn from the faces that lie in no solid, each kept only when
// sound: its shell closed, the solid valid (the kernel's full check, which the
// soundness check then relies on) and its volume positive.
std::vector<TopoDS_Shape> solidsFromLooseFaces(const TopoDS_Shape& shape)
{
    TopTools_IndexedMapOfShape inSolids;
    for (TopExp_Explorer solid(shape, TopAbs_SOLID); solid.More(); solid.Next()) {
        TopExp::MapShapes(solid.Current(), TopAbs_FACE, inSolids);
    }
    BRepBuilderAPI_Sewing sewing;
    int loose = 0;
    for (TopExp_Explorer face(shape, TopAbs_FACE); face.More(); face.Next()) {
        if (!inSolids.Contains(face.Current())) {
            sewing.Add(face.Current());
            ++loose;
        }
    }
    std::vector<TopoDS_Shape> solids;
    if (loose == 0) {
        return solids;
    }
    sewing.Perform();
    for (TopExp_Explorer shell(sewing.SewedShape(), TopAbs_SHELL); shell.More(); shell.Next()) {
        if (!BRep_Tool::IsClosed(shell.Current())) {
            continue;
        }
        ShapeFix_Solid fix;
        const TopoDS_Solid solid = fix.SolidFromShell(TopoDS::Shell(shell.Current()));
        GProp_GProps properties;
        BRepGProp::VolumeProperties(solid, properties);
        if (properties.Mass() > 0 && BRepCheck_Analyzer(solid).IsValid()) {
            solids.push_back(solid);
        }
    }
    return solids;
}

// A file that declares more solids than its shape holds has lost some in the
// transfer (a damaged shell, a face dropped): the faces they left are sewn
// back into solids when that gives every declared one, else the file is
// refused. Its solids never silently become faces.
TopoDS_Shape withDeclaredSolids(const TopoDS_Shape& shape, int declared, const std::string& name)
{
    const TopTools_IndexedMapOfShape solids = subShapeMap(shape, TopAbs_SOLID);
    if (solids.Extent() >= declared) {
        return shape;
    }
    const std::vector<TopoDS_Shape> rebuilt = solidsFromLooseFaces(shape);
    const std::string counts = "declares " + std::to_string(declared) + (declared == 1 ? " solid, " : " solids, ") +
                               std::to_string(solids.Extent()) + " could be read";
    if (solids.Extent() + static_cast<int>(rebuilt.size()) < declared) {
        throw vemra_exception("CAD file " + name + " " + counts +
                              (rebuilt.empty() ? std::string()
                                               : "; its loose faces close into " + std::to_string(rebuilt.size()) +
                                                     " sound solids"));
    }
    LOG(WARNING) << "readCADfiles: CAD file " << name << " " << counts << "; " << rebuilt.size()
                 << " were rebuilt from its faces";
    TopoDS_Compound result;
    BRep_Builder builder;
    builder.MakeCompound(result);
    for (int i = 1; i <= solids.Extent(); ++i) {
        builder.Add(result, solids(i));
    }
    for (const TopoDS_Shape& solid : rebuilt) {
        builder.Add(result, solid);
    }
    return result;
}

// The distinct sub-shapes of one type, in the kernel's map order.
std::vector<TopoDS_Shape> distinctSubShapes(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    const TopTools_IndexedMapOfShape map = subShapeMap(shape, type);
    std::vector<TopoDS_Shape> result;
    result.reserve(static_cast<std::size_t>(map.Extent()));
    for (int i = 1; i <= map.Extent(); ++i) {
        result.push_back(map(i));
    }
    return result;
}

// The pieces a file contributes: its solids, else its faces, else its edges.
// The main type decides first; roots such as a lone shell, wire or compsolid
// have none, so their content decides then. A solid without any face holds no
// geometry and would only make the fuse lose volume silently.
std::vector<TopoDS_Shape> piecesOf(const TopoDS_Shape& shape, const std::string& name)
{
    TopAbs_ShapeEnum kind = getMainShapeType(shape);
    if (kind != TopAbs_SOLID && kind != TopAbs_FACE && kind != TopAbs_EDGE) {
        kind = TopAbs_VERTEX;
        for (TopAbs_ShapeEnum candidate : {TopAbs_SOLID, TopAbs_FACE, TopAbs_EDGE}) {
            if (holdsSubShape(shape, candidate)) {
                kind = candidate;
                break;
            }
        }
    }
    std::vector<TopoDS_Shape> pieces;
    if (kind != TopAbs_VERTEX) {
        for (TopoDS_Shape& piece : distinctSubShapes(shape, kind)) {
            if (kind == TopAbs_SOLID && !holdsSubShape(piece, TopAbs_FACE)) {
                LOG(WARNING) << "readCADfiles: an empty solid of CAD file " << name << " is ignored";
                continue;
            }
            pieces.push_back(std::move(piece));
        }
    }
    if (pieces.empty()) {
        throw vemra_exception("CAD file " + name + " contains no solid, face or edge");
    }
    return pieces;
}

// How the fuse's errors name a piece read: "solid 3 of CAD file x.stp".
std::string pieceLabel(const TopoDS_Shape& piece, int number, const std::string& file)
{
    const char* kind = piece.ShapeType() == TopAbs_SOLID  ? "solid"
                       : piece.ShapeType() == TopAbs_FACE ? "face"
                       : piece.ShapeType() == TopAbs_EDGE ? "edge"
                                                          : "shape";
    return std::string(kind) + " " + std::to_string(number) + " of CAD file " + file;
}

int countEntitiesOfDimension(const std::vector<std::shared_ptr<TopoEntity>>& entities, int dimension)
{
    return static_cast<int>(std::count_if(entities.begin(), entities.end(), [dimension](const auto& entity) {
        return entity->getDimension() == dimension;
    }));
}

} // namespace

CadReadTimes lastCadReadTimes()
{
    return lastTimes;
}

void GeometryData::readCADfiles(std::vector<std::string> fileNames)
{
    lastTimes = CadReadTimes();
    // The files are read from and written below it.
    requireWorkingDirectory(workingDirectory);
    if (fileNames.empty()) {
        throw vemra_exception("readCADfiles: the list of CAD file names is empty");
    }
    // Every name is checked before the first file is read.
    std::vector<std::string> paths;
    for (const std::string& given : fileNames) {
        checkNoNul(given, "CAD file name", "");
        paths.push_back(fileInWorkingDirectory(workingDirectory, withForwardSlashes(given),
                                               "CAD file name \"" + given + "\" in \"fileNames\""));
    }
    try {
        PhaseClock clock;
        // Every file is read and repaired before the model changes, so a bad
        // file anywhere in the list leaves the model as it was.
        ShapeList pieces;
        for (std::size_t file = 0; file < fileNames.size(); ++file) {
            const std::string& given = fileNames[file];
            const CurrentFile reading(given);
            int declaredSolids = 0;
            const TopoDS_Shape imported = importCadFile(paths[file], given, declaredSolids);
            clock.lap(lastTimes.read);
            bool repairedValid = false;
            const TopoDS_Shape cleaned = ShapeRepair::pre_process_cad(imported, repairedValid);
            const TopoDS_Shape repaired = withDeclaredSolids(cleaned, declaredSolids, given);
            // The repair's verdict holds for the shape it checked and so for
            // each of its solids; a solid rebuilt from its loose faces passed
            // the same full check on its own, so no solid is analysed twice.
            checkSolidSoundness(repaired, "CAD file " + given, repairedValid);
            clock.lap(lastTimes.repair);
            int number = 0;
            for (const TopoDS_Shape& piece : piecesOf(repaired, given)) {
                const std::string label = pieceLabel(piece, ++number, given);
                pieces.add(piece, label, label);
            }
        }
        TopoDS_Shape fused = pieces.fuse();
        clock.lap(lastTimes.fuse);

        // A later call goes on after the entities already present, so that no
        // name (and so no BREP file or relation) is used twice.
        const PartitionPieces parts(fused, countEntitiesOfDimension(entities, edgeDimension),
                                    countEntitiesOfDimension(entities, faceDimension),
                                    countEntitiesOfDimension(entities, solidDimension));
        partitionShape = fused;
        const std::vector<std::shared_ptr<TopoEntity>> made = parts.makeEntities(nextEntityId());
        // Each entity remembers the part of the file it was read from, which
        // later messages name beside it.
        pieces.giveOriginsTo(made);
        for (const auto& entity : made) {
            addEntity(entity);
        }
        if (!parts.empty()) {
            dimension = parts.dimension();
        }
        parts.relate(relations, dimension);
        geometryChanged = true;
        clock.lap(lastTimes.entitiesAndRelations);

        exportRawGeometry();
        clock.lap(lastTimes.brepExport);
    } catch (const Standard_Failure& failure) {
        throw kernelFailure("readCADfiles", failure);
    }
}
