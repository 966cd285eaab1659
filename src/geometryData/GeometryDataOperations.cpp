#include "geometryData/GeometryData.h"

#include "vemra_exception.h"

void GeometryData::partition()
{
    throw vemra_exception("GeometryData::partition: not built yet");
}

void GeometryData::scale(double)
{
    throw vemra_exception("GeometryData::scale: not built yet");
}

void GeometryData::computePartitionShape()
{
    throw vemra_exception("GeometryData::computePartitionShape: not built yet");
}

