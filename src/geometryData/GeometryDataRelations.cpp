#include "geometryData/GeometryData.h"

#include "vemra_exception.h"

void GeometryData::buildRelations()
{
    throw vemra_exception("GeometryData::buildRelations: not built yet");
}

