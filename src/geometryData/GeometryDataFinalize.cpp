#include "geometryData/GeometryData.h"

#include "vemra_exception.h"

void GeometryData::finalize()
{
    throw vemra_exception("GeometryData::finalize: not built yet");
}

void GeometryData::validate()
{
    throw vemra_exception("GeometryData::validate: not built yet");
}

void GeometryData::computeDimension()
{
    throw vemra_exception("GeometryData::computeDimension: not built yet");
}

void GeometryData::orientFaces2D()
{
    throw vemra_exception("GeometryData::orientFaces2D: not built yet");
}

