#include "geometryData/GeometryData.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

#include <Standard_Failure.hxx>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/ModelLimits.h"
#include "geometryData/PartitionPieces.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "geometryData/WorkingDirectory.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

// A group whose entities are all the model's is rebuilt from their scaled
// shapes. One that still holds entities a partition replaced (finalisation
// refills it later) would be rebuilt unscaled and then match nothing: its
// own shape is scaled by the same factor instead.
template <typename GroupList>
void rescaleGroups(const GroupList& groups, const std::set<const TopoEntity*>& modelEntities, double factor)
{
    for (const auto& group : groups) {
        const auto members = group->getEntities();
        const bool current = std::all_of(members.begin(), members.end(), [&](const auto& entity) {
            return modelEntities.count(entity.get()) != 0;
        });
        if (current) {
            group->buildShape();
        } else {
            try {
                group->setShape(scaleShape(group->getShape(), factor));
            } catch (const Standard_Failure& failure) {
                throw kernelFailure("Scale", failure);
            }
        }
    }
}

} // namespace

void GeometryData::partition()
{
    // Checked before the model changes: the operation ends by writing files.
    requireWorkingDirectory(workingDirectory);
    TopoDS_Shape fused;
    ShapeList list(entities);
    try {
        fused = list.fuse();
    } catch (const Standard_Failure& failure) {
        throw kernelFailure("Partition", failure);
    }
    const PartitionPieces pieces(fused);
    // An empty fuse would silently wipe the model.
    if (pieces.empty()) {
        throw vemra_exception("Partition failed: the fuse of the entities produced no shape.");
    }

    const std::vector<std::shared_ptr<TopoEntity>> made = pieces.makeEntities(1);
    // A piece of an entity read from a CAD file still names the file's part.
    list.giveOriginsTo(made);
    entities.clear();
    for (const auto& entity : made) {
        addEntity(entity);
    }

    // Entries under the old names would describe entities that are gone.
    relations.clear();
    pieces.relate(relations, dimension == 2 ? 2 : 3);
    geometryChanged = true;
    exportRawGeometry();
}

void GeometryData::scale(double factor)
{
    requireWorkingDirectory(workingDirectory);
    if (!std::isfinite(factor) || factor <= 0.0) {
        std::ostringstream text;
        text << "Invalid scale factor " << factor << ". The factor must be a positive number.";
        throw vemra_exception(text.str());
    }
    checkScaleLimits(entities, factor);
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
    std::set<const TopoEntity*> modelEntities;
    for (const auto& entity : entities) {
        modelEntities.insert(entity.get());
    }
    rescaleGroups(boundaries, modelEntities, factor);
    rescaleGroups(domains, modelEntities, factor);
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
