#include "geometryData/GeometryData.h"

#include "vemra_exception.h"

void GeometryData::readCADfiles(std::vector<std::string>)
{
    throw vemra_exception("GeometryData::readCADfiles: not built yet");
}

