#include "geometryData/BoundaryGroup.h"

#include <algorithm>
#include <utility>

#include "geometryData/TopoEntity.h"

BoundaryGroup::BoundaryGroup() = default;

BoundaryGroup::BoundaryGroup(const nlohmann::json& entry, std::vector<std::shared_ptr<TopoEntity>> allEntities)
    : Group(entry, std::move(allEntities))
{
}

void BoundaryGroup::addDomain(std::shared_ptr<Group> domain)
{
    const std::string domainName = domain->getName();
    const bool linked = std::any_of(domains.begin(), domains.end(),
                                    [&](const auto& known) { return known->getName() == domainName; });
    if (!linked) {
        domains.push_back(std::move(domain));
    }
}

void BoundaryGroup::clearDomains() { domains.clear(); }
std::vector<std::shared_ptr<Group>> BoundaryGroup::getDomains() const { return domains; }
void BoundaryGroup::setIndefinite(bool value) { indefinite = value; }
bool BoundaryGroup::isIndefinite() const { return indefinite; }
void BoundaryGroup::setInDomain() { inDomain = true; }
void BoundaryGroup::clearInDomain() { inDomain = false; }
bool BoundaryGroup::isInDomain() const { return inDomain; }

bool BoundaryGroup::isPartOf(Group other) const
{
    const TopoEntity boundary(shape, "dummyboundary", 0);
    return boundary.isPartOf(other.getShape());
}

nlohmann::json BoundaryGroup::toJson() const
{
    nlohmann::json j = Group::toJson();
    auto names = nlohmann::json::array();
    for (const auto& domain : domains) {
        names.push_back(domain->getName());
    }
    j["domains"] = names;
    j["isInDomain"] = inDomain;
    return j;
}
