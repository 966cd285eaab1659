#include "geometryData/GeometryData.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <Standard_Failure.hxx>
#include <TopAbs_ShapeEnum.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>

#include "geometryData/CadReadTimes.h"
#include "geometryData/PartitionPieces.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "geometryData/WorkingDirectory.h"
#include "misc/JsonLimits.h"
#include "misc/Utilities.h"
#include "topology/InputChecks.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "topology/ShapeRepair.h"
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

TopoDS_Shape importCadFile(const std::string& path, const std::string& name)
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
    TopoDS_Shape shape = step ? readStepFile(path) : readIgesFile(path);
    if (shape.IsNull()) {
        throw vemra_exception("Could not read CAD file " + name);
    }
    // Before the repair: damaged geometry makes it and the fuse spin or crash.
    checkShapeSoundness(shape, "CAD file " + name);
    return shape;
}

// The distinct sub-shapes of one type, in the kernel's map order.
std::vector<TopoDS_Shape> distinctSubShapes(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    TopTools_IndexedMapOfShape map;
    TopExp::MapShapes(shape, type, map);
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
    for (const std::string& given : fileNames) {
        checkNoNul(given, "CAD file name", "");
    }
    try {
        PhaseClock clock;
        // Every file is read and repaired before the model changes, so a bad
        // file anywhere in the list leaves the model as it was.
        ShapeList pieces;
        for (const std::string& given : fileNames) {
            const std::string name = withForwardSlashes(given);
            const TopoDS_Shape imported = importCadFile(workingDirectory + "/" + name, given);
            clock.lap(lastTimes.read);
            const TopoDS_Shape repaired = ShapeRepair::pre_process_cad(imported);
            clock.lap(lastTimes.repair);
            int number = 0;
            for (const TopoDS_Shape& piece : piecesOf(repaired, given)) {
                pieces.add(piece, pieceLabel(piece, ++number, given));
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
        for (const auto& entity : parts.makeEntities(nextEntityId())) {
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
