#include "geometryData/GeometryData.h"

#include <algorithm>
#include <utility>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "vemra_exception.h"

int GeometryData::nextGroupId() const
{
    // Domains and boundaries draw their ids from one sequence.
    int highest = 0;
    for (const auto& boundary : boundaries) {
        highest = std::max(highest, boundary->getId());
    }
    for (const auto& domain : domains) {
        highest = std::max(highest, domain->getId());
    }
    return highest + 1;
}

std::shared_ptr<DomainGroup> GeometryData::getDomain(std::string name) const
{
    for (const auto& domain : domains) {
        if (domain->getName() == name) {
            return domain;
        }
    }
    throw vemra_exception("Error in geometry data: Could not find domain " + name + ". Check your geometry input!");
}

std::shared_ptr<BoundaryGroup> GeometryData::getBoundary(std::string name) const
{
    for (const auto& boundary : boundaries) {
        if (boundary->getName() == name) {
            return boundary;
        }
    }
    throw vemra_exception("Error in geometry data: Could not find boundary " + name +
                          ". Check your geometry input!");
}

void GeometryData::addDomain(std::shared_ptr<DomainGroup> domain) { domains.push_back(std::move(domain)); }

void GeometryData::addBoundary(std::shared_ptr<BoundaryGroup> boundary)
{
    if (boundary->getId() == 0) {
        boundary->setId(nextGroupId());
    }
    boundaries.push_back(std::move(boundary));
}
