#include "geometryData/GeometryData.h"

#include <cmath>
#include <sstream>

#include <Standard_Failure.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

// Relates every piece of the higher kind with the pieces of the lower kind
// that bound it, each occurrence in the exploration counted.
void relatePieces(std::map<std::string, std::vector<std::string>>& relations, const TopTools_IndexedMapOfShape& upper,
                  const std::string& upperPrefix, const TopTools_IndexedMapOfShape& lower,
                  const std::string& lowerPrefix, TopAbs_ShapeEnum lowerType)
{
    for (int j = 1; j <= lower.Extent(); ++j) {
        relations[lowerPrefix + std::to_string(j)].clear();
    }
    for (int i = 1; i <= upper.Extent(); ++i) {
        const std::string upperName = upperPrefix + std::to_string(i);
        auto& upperList = relations[upperName];
        upperList.clear();
        for (TopExp_Explorer explorer(upper(i), lowerType); explorer.More(); explorer.Next()) {
            // The indexed map finds the piece that IsSame as the occurrence.
            const int j = lower.FindIndex(explorer.Current());
            if (j > 0) {
                const std::string lowerName = lowerPrefix + std::to_string(j);
                upperList.push_back(lowerName);
                relations[lowerName].push_back(upperName);
            }
        }
    }
}

} // namespace

void GeometryData::partition()
{
    TopoDS_Shape fused;
    TopTools_IndexedMapOfShape edges;
    TopTools_IndexedMapOfShape faces;
    TopTools_IndexedMapOfShape solids;
    try {
        fused = ShapeList(entities).fuse();
        if (!fused.IsNull()) {
            TopExp::MapShapes(fused, TopAbs_EDGE, edges);
            TopExp::MapShapes(fused, TopAbs_FACE, faces);
            TopExp::MapShapes(fused, TopAbs_SOLID, solids);
        }
    } catch (const Standard_Failure& failure) {
        throw kernelFailure("Partition", failure);
    }
    // An empty fuse would silently wipe the model.
    if (edges.IsEmpty() && faces.IsEmpty() && solids.IsEmpty()) {
        throw vemra_exception("Partition failed: the fuse of the entities produced no shape.");
    }

    std::vector<std::shared_ptr<TopoEntity>> pieces;
    const int edgeCount = edges.Extent();
    const int faceCount = faces.Extent();
    for (int i = 1; i <= edgeCount; ++i) {
        pieces.push_back(std::make_shared<TopoEntity>(edges(i), "Edge_" + std::to_string(i), i));
    }
    for (int i = 1; i <= faceCount; ++i) {
        pieces.push_back(std::make_shared<TopoEntity>(faces(i), "Face_" + std::to_string(i), edgeCount + i));
    }
    for (int i = 1; i <= solids.Extent(); ++i) {
        pieces.push_back(
            std::make_shared<TopoEntity>(solids(i), "Solid_" + std::to_string(i), edgeCount + faceCount + i));
    }
    entities.clear();
    for (const auto& piece : pieces) {
        addEntity(piece);
    }

    // Entries under the old names would describe entities that are gone.
    relations.clear();
    if (dimension == 2) {
        relatePieces(relations, faces, "Face_", edges, "Edge_", TopAbs_EDGE);
    } else {
        relatePieces(relations, solids, "Solid_", faces, "Face_", TopAbs_FACE);
    }
    geometryChanged = true;
    exportRawGeometry();
}

void GeometryData::scale(double factor)
{
    if (!std::isfinite(factor) || factor <= 0.0) {
        std::ostringstream text;
        text << "Invalid scale factor " << factor << ". The factor must be a positive number.";
        throw vemra_exception(text.str());
    }
    try {
        for (const auto& entity : entities) {
            if (entity->isActive()) {
                entity->setShape(scaleShape(entity->getShape(), factor));
            }
        }
    } catch (const Standard_Failure& failure) {
        throw kernelFailure("Scale", failure);
    }
    exportRawGeometry();
    for (const auto& boundary : boundaries) {
        boundary->buildShape();
    }
    for (const auto& domain : domains) {
        domain->buildShape();
    }
    computePartitionShape();
}

void GeometryData::computePartitionShape()
{
    if (dimension != 2 && dimension != 3) {
        throw vemra_exception("Cannot calculate partition for geometryData with dimension other than 2 or 3.");
    }
    try {
        ShapeList list(entities);
        partitionShape = dimension == 3 ? list.glue() : list.fuse();
    } catch (const Standard_Failure& failure) {
        throw kernelFailure("Partition shape", failure);
    }
}
