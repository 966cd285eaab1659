#include "geometryData/DomainGroup.h"

#include <algorithm>
#include <utility>

#include "geometryData/BoundaryGroup.h"

DomainGroup::DomainGroup() = default;

DomainGroup::DomainGroup(const nlohmann::json& entry, std::vector<std::shared_ptr<TopoEntity>> allEntities)
    : Group(entry, std::move(allEntities))
{
}

void DomainGroup::addBoundary(std::shared_ptr<BoundaryGroup> boundary)
{
    const std::string boundaryName = boundary->getName();
    const bool linked = std::any_of(boundaries.begin(), boundaries.end(),
                                    [&](const auto& known) { return known->getName() == boundaryName; });
    if (!linked) {
        boundaries.push_back(std::move(boundary));
    }
}

void DomainGroup::clearBoundaries() { boundaries.clear(); }
std::vector<std::shared_ptr<BoundaryGroup>> DomainGroup::getBoundaries() const { return boundaries; }
void DomainGroup::setGroup(std::string newGroup) { group = std::move(newGroup); }
std::string DomainGroup::getGroup() const { return group; }

nlohmann::json DomainGroup::toJson() const
{
    return toJson(getStatistics());
}

nlohmann::json DomainGroup::toJson(const ShapeStatistics& statistics) const
{
    nlohmann::json j = Group::toJson();
    j["statistics"] = statistics.toJson();
    auto names = nlohmann::json::array();
    for (const auto& boundary : boundaries) {
        names.push_back(boundary->getName());
    }
    j["boundaries"] = names;
    j["group"] = group;
    return j;
}
