#include "geometryData/GeometryData.h"

#include <set>

#include "geometryData/NamedLookup.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "geometryData/WorkingDirectory.h"
#include "misc/JsonLimits.h"
#include "misc/ParallelFor.h"
#include "misc/Utilities.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

int GeometryData::nextEntityId() const
{
    return idAfter(highestId(entities), "a new entity");
}

std::shared_ptr<TopoEntity> GeometryData::getEntity(std::string name) const
{
    return findByName(entities, name, "entity");
}

void GeometryData::addEntity(std::shared_ptr<TopoEntity> entity)
{
    if (entity->getId() == 0) {
        entity->setId(nextEntityId());
    }
    entities.push_back(std::move(entity));
}

void GeometryData::exportRawGeometry()
{
    requireWorkingDirectory(workingDirectory);
    // Two entities of one name would write one file from two threads at once.
    std::set<std::string> names;
    for (const auto& entity : entities) {
        if (!names.insert(entity->getName()).second) {
            throw vemra_exception("Entity names are not unique: " + entity->getName());
        }
    }
    createDirectory(workingDirectory + "/geometry");
    createDirectory(workingDirectory + "/geometry/raw/");
    parallelFor(static_cast<int>(entities.size()),
                [this](int i) { entities[static_cast<std::size_t>(i)]->writeBrep(workingDirectory); });
}

TopoDS_Shape GeometryData::getPartitionShape()
{
    if (partitionShape.IsNull()) {
        partitionShape = ShapeList(entities).fuse();
    }
    return partitionShape;
}

ShapeStatistics GeometryData::getStatistics()
{
    ShapeStatistics statistics;
    getShapeStatistics(getPartitionShape(), statistics);
    return statistics;
}
