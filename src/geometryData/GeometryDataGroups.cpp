#include "geometryData/GeometryData.h"

#include "vemra_exception.h"

int GeometryData::nextGroupId() const
{
    throw vemra_exception("GeometryData::nextGroupId: not built yet");
}

std::shared_ptr<DomainGroup> GeometryData::getDomain(std::string) const
{
    throw vemra_exception("GeometryData::getDomain: not built yet");
}

std::shared_ptr<BoundaryGroup> GeometryData::getBoundary(std::string) const
{
    throw vemra_exception("GeometryData::getBoundary: not built yet");
}

void GeometryData::addDomain(std::shared_ptr<DomainGroup>)
{
    throw vemra_exception("GeometryData::addDomain: not built yet");
}

void GeometryData::addBoundary(std::shared_ptr<BoundaryGroup>)
{
    throw vemra_exception("GeometryData::addBoundary: not built yet");
}

