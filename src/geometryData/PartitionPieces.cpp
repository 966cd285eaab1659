#include "geometryData/PartitionPieces.h"

#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>

#include "geometryData/TopoEntity.h"
#include "misc/JsonLimits.h"

namespace {

std::vector<std::string> numberedNames(const std::string& prefix, int first, int count)
{
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        names.push_back(prefix + std::to_string(first + i));
    }
    return names;
}

// Relates every shape of the upper map to the lower shapes met when exploring
// it, each occurrence in turn, and the lower shapes back; an indexed map finds
// each occurrence (IsSame: orientation ignored) without comparing all pairs.
void relateByExploration(std::map<std::string, std::vector<std::string>>& relations,
                         const TopTools_IndexedMapOfShape& upper, const std::vector<std::string>& upperNames,
                         const TopTools_IndexedMapOfShape& lower, const std::vector<std::string>& lowerNames,
                         TopAbs_ShapeEnum lowerType)
{
    for (const std::string& name : lowerNames) {
        relations[name].clear();
    }
    for (const std::string& name : upperNames) {
        relations[name].clear();
    }
    for (int i = 1; i <= upper.Extent(); ++i) {
        std::vector<std::string>& upperList = relations[upperNames[static_cast<std::size_t>(i - 1)]];
        for (TopExp_Explorer explorer(upper(i), lowerType); explorer.More(); explorer.Next()) {
            const int j = lower.FindIndex(explorer.Current());
            if (j == 0) {
                continue;
            }
            const std::string& lowerName = lowerNames[static_cast<std::size_t>(j - 1)];
            upperList.push_back(lowerName);
            relations[lowerName].push_back(upperNames[static_cast<std::size_t>(i - 1)]);
        }
    }
}

} // namespace

PartitionPieces::PartitionPieces(const TopoDS_Shape& shape, int edgesBefore, int facesBefore, int solidsBefore)
{
    if (!shape.IsNull()) {
        TopExp::MapShapes(shape, TopAbs_EDGE, edges);
        TopExp::MapShapes(shape, TopAbs_FACE, faces);
        TopExp::MapShapes(shape, TopAbs_SOLID, solids);
    }
    edgeNames = numberedNames("Edge_", edgesBefore + 1, edges.Extent());
    faceNames = numberedNames("Face_", facesBefore + 1, faces.Extent());
    solidNames = numberedNames("Solid_", solidsBefore + 1, solids.Extent());
}

bool PartitionPieces::empty() const
{
    return edges.IsEmpty() && faces.IsEmpty() && solids.IsEmpty();
}

int PartitionPieces::dimension() const
{
    return !solids.IsEmpty() ? 3 : !faces.IsEmpty() ? 2 : !edges.IsEmpty() ? 1 : 0;
}

std::vector<std::shared_ptr<TopoEntity>> PartitionPieces::makeEntities(int firstId) const
{
    std::vector<std::shared_ptr<TopoEntity>> made;
    // Counted on only when another piece needs an id: firstId may be the largest int.
    int id = firstId;
    const auto addAll = [&](const TopTools_IndexedMapOfShape& map, const std::vector<std::string>& names) {
        for (int i = 1; i <= map.Extent(); ++i) {
            const std::string& name = names[static_cast<std::size_t>(i - 1)];
            if (!made.empty()) {
                id = idAfter(id, "entity " + name);
            }
            made.push_back(std::make_shared<TopoEntity>(map(i), name, id));
        }
    };
    addAll(edges, edgeNames);
    addAll(faces, faceNames);
    addAll(solids, solidNames);
    return made;
}

void PartitionPieces::relate(std::map<std::string, std::vector<std::string>>& relations, int upperDimension) const
{
    if (upperDimension == 2) {
        relateByExploration(relations, faces, faceNames, edges, edgeNames, TopAbs_EDGE);
    } else if (upperDimension == 3) {
        relateByExploration(relations, solids, solidNames, faces, faceNames, TopAbs_FACE);
    }
}
