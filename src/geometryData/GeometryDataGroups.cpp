#include "geometryData/GeometryData.h"

#include <utility>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/NamedLookup.h"
#include "misc/JsonLimits.h"

int GeometryData::nextGroupId() const
{
    // Domains and boundaries draw their ids from one sequence.
    return idAfter(highestId(domains, highestId(boundaries)), "a new group");
}

std::shared_ptr<DomainGroup> GeometryData::getDomain(std::string name) const
{
    return findByName(domains, name, "domain");
}

std::shared_ptr<BoundaryGroup> GeometryData::getBoundary(std::string name) const
{
    return findByName(boundaries, name, "boundary");
}

void GeometryData::addDomain(std::shared_ptr<DomainGroup> domain) { domains.push_back(std::move(domain)); }

void GeometryData::addBoundary(std::shared_ptr<BoundaryGroup> boundary)
{
    if (boundary->getId() == 0) {
        boundary->setId(nextGroupId());
    }
    boundaries.push_back(std::move(boundary));
}
