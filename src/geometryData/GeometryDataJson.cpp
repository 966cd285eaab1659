#include "geometryData/GeometryData.h"

#include "vemra_exception.h"

void GeometryData::readGeometryJson(nlohmann::json)
{
    throw vemra_exception("GeometryData::readGeometryJson: not built yet");
}

nlohmann::json GeometryData::toJson()
{
    throw vemra_exception("GeometryData::toJson: not built yet");
}

void GeometryData::checkInternalFaces()
{
    throw vemra_exception("GeometryData::checkInternalFaces: not built yet");
}

void GeometryData::parseOperations(nlohmann::json)
{
    // No operations are queued until the raw reader exists.
}
