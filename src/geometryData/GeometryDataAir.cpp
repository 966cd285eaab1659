#include "geometryData/GeometryData.h"

#include "vemra_exception.h"

void GeometryData::addAir(double, std::vector<std::string>)
{
    throw vemra_exception("GeometryData::addAir: not built yet");
}

