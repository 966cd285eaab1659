#include "geometryData/GeometryData.h"

#include "vemra_exception.h"

int GeometryData::nextEntityId() const
{
    throw vemra_exception("GeometryData::nextEntityId: not built yet");
}

std::shared_ptr<TopoEntity> GeometryData::getEntity(std::string) const
{
    throw vemra_exception("GeometryData::getEntity: not built yet");
}

void GeometryData::addEntity(std::shared_ptr<TopoEntity>)
{
    throw vemra_exception("GeometryData::addEntity: not built yet");
}

void GeometryData::exportRawGeometry()
{
    throw vemra_exception("GeometryData::exportRawGeometry: not built yet");
}

TopoDS_Shape GeometryData::getPartitionShape()
{
    throw vemra_exception("GeometryData::getPartitionShape: not built yet");
}

ShapeStatistics GeometryData::getStatistics()
{
    throw vemra_exception("GeometryData::getStatistics: not built yet");
}

