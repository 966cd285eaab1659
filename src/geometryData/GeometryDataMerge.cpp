#include "geometryData/GeometryData.h"

#include <algorithm>
#include <cstddef>
#include <set>
#include <utility>

#include <Standard_Failure.hxx>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/TopoEntity.h"
#include "topology/KernelGuard.h"
#include "vemra_exception.h"

namespace {

bool isOneOf(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isOneOf(const std::vector<std::shared_ptr<Group>>& groups, const Group* group)
{
    return std::any_of(groups.begin(), groups.end(), [&](const auto& known) { return known.get() == group; });
}

// Whether a group of the lists, other than those skipped, bears the name.
template <typename Skip>
bool nameIsBorne(const std::vector<std::shared_ptr<DomainGroup>>& domains,
                 const std::vector<std::shared_ptr<BoundaryGroup>>& boundaries, const std::string& name, Skip skip)
{
    const auto bears = [&](const auto& group) { return !skip(group.get()) && group->getName() == name; };
    return std::any_of(domains.begin(), domains.end(), bears) ||
           std::any_of(boundaries.begin(), boundaries.end(), bears);
}

// Builds a group of the given kind from an entry and the model's entities.
template <typename GroupType>
std::shared_ptr<GroupType> buildGroup(const nlohmann::json& entry,
                                      const std::vector<std::shared_ptr<TopoEntity>>& entities, const char* step)
{
    try {
        return std::make_shared<GroupType>(entry, entities);
    } catch (const Standard_Failure& failure) {
        throw kernelFailure(step, failure);
    }
}

// Puts the new groups before the first element that is the old one, or the
// first of the old ones, then drops every old one from the list.
template <typename GroupType, typename IsOld>
void replaceInList(std::vector<std::shared_ptr<GroupType>>& list,
                   const std::vector<std::shared_ptr<GroupType>>& newGroups, IsOld isOld)
{
    const auto first = std::find_if(list.begin(), list.end(), [&](const auto& group) { return isOld(group.get()); });
    if (first == list.end()) {
        return;
    }
    list.insert(first, newGroups.begin(), newGroups.end());
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& group) { return isOld(group.get()); }),
               list.end());
}

// The first group of the name; every group visited on the way, the match
// included, has its preview switched off.
template <typename GroupType>
std::shared_ptr<GroupType> findSwitchingOff(const std::vector<std::shared_ptr<GroupType>>& list,
                                            const std::string& name)
{
    for (const auto& group : list) {
        group->setPreviewEnabled(false);
        if (group->getName() == name) {
            return group;
        }
    }
    return nullptr;
}

// Replaces the merged group of the list by the groups it was merged from,
// built from their objects and the model's entities. A name that a restored
// group would share with a group staying in the model is refused.
template <typename GroupType, typename NameTaken>
void restoreSources(std::vector<std::shared_ptr<GroupType>>& list, const std::shared_ptr<GroupType>& merged,
                    const std::vector<std::shared_ptr<TopoEntity>>& entities, NameTaken nameTaken)
{
    std::vector<std::shared_ptr<GroupType>> restored;
    std::set<std::string> restoredNames;
    for (const auto& source : merged->getMergedFrom()) {
        auto group = buildGroup<GroupType>(source->toJson(), entities, "unmergeGroups");
        const std::string name = group->getName();
        if (!restoredNames.insert(name).second || nameTaken(name)) {
            throw vemra_exception("Cannot unmerge " + merged->getName() + ": the name " + name + " is taken.");
        }
        restored.push_back(std::move(group));
    }
    replaceInList(list, restored, [&](const Group* group) { return group == merged.get(); });
}

void clearLinks(const std::vector<std::shared_ptr<DomainGroup>>& domains,
                const std::vector<std::shared_ptr<BoundaryGroup>>& boundaries)
{
    for (const auto& boundary : boundaries) {
        boundary->clearDomains();
    }
    for (const auto& domain : domains) {
        domain->clearBoundaries();
    }
}

} // namespace

void GeometryData::mergeGroups(std::vector<std::string> names, std::string label)
{
    // Sources in the order of the model's lists, boundaries first.
    std::vector<std::shared_ptr<Group>> sources;
    for (const auto& boundary : boundaries) {
        boundary->setPreviewEnabled(false);
        if (isOneOf(names, boundary->getName())) {
            sources.push_back(boundary);
        }
    }
    const std::size_t boundarySources = sources.size();
    for (const auto& domain : domains) {
        domain->setPreviewEnabled(false);
        if (isOneOf(names, domain->getName())) {
            sources.push_back(domain);
        }
    }
    if (sources.empty()) {
        throw vemra_exception("Cannot merge groups: none of the given names names a group.");
    }
    const bool boundaryChosen = boundarySources > 0;

    // The sources of the target list give their names up; listed domains
    // merged into a boundary keep theirs.
    const std::vector<std::shared_ptr<Group>> leaving(
        sources.begin(), boundaryChosen ? sources.begin() + static_cast<std::ptrdiff_t>(boundarySources)
                                        : sources.end());
    const auto isLeaving = [&](const Group* group) { return isOneOf(leaving, group); };
    const std::string mergedName = "Merged_" + sources.front()->getName();
    if (nameIsBorne(domains, boundaries, mergedName, isLeaving)) {
        throw vemra_exception("Cannot merge groups: the name " + mergedName + " is taken.");
    }

    nlohmann::json entry = nlohmann::json::object();
    entry["name"] = mergedName;
    entry["label"] = label;
    entry["mergedFrom"] = nlohmann::json::array();
    entry["entities"] = nlohmann::json::array();
    for (const auto& source : sources) {
        entry["mergedFrom"].push_back(source->toJson());
        for (const auto& entity : source->getEntities()) {
            entry["entities"].push_back(entity->getName());
        }
    }
    entry["role"] = "";
    entry["id"] = nextGroupId();

    // Built before any list changes, so that a failed build leaves the model as it was.
    if (boundaryChosen) {
        const auto merged = buildGroup<BoundaryGroup>(entry, entities, "mergeGroups");
        replaceInList(boundaries, {merged}, isLeaving);
    } else {
        const auto merged = buildGroup<DomainGroup>(entry, entities, "mergeGroups");
        replaceInList(domains, {merged}, isLeaving);
    }

    clearLinks(domains, boundaries);
    buildRelations();
}

void GeometryData::unmergeGroups(std::vector<std::string> names)
{
    // Every name is resolved against the lists as the names before it left
    // them; the model takes the result only when all names succeeded.
    auto newBoundaries = boundaries;
    auto newDomains = domains;
    for (const auto& name : names) {
        const auto boundary = findSwitchingOff(newBoundaries, name);
        const auto domain = findSwitchingOff(newDomains, name);
        if (boundary && domain) {
            // The domain is the group found, yet the boundaries are the list
            // searched for it: neither list changes.
            continue;
        }
        const Group* target = boundary ? static_cast<const Group*>(boundary.get()) : domain.get();
        const auto nameTaken = [&](const std::string& restoredName) {
            return nameIsBorne(newDomains, newBoundaries, restoredName,
                               [&](const Group* group) { return group == target; });
        };
        if (boundary) {
            restoreSources(newBoundaries, boundary, entities, nameTaken);
        } else if (domain) {
            restoreSources(newDomains, domain, entities, nameTaken);
        }
    }

    boundaries = std::move(newBoundaries);
    domains = std::move(newDomains);
    clearLinks(domains, boundaries);
    buildRelations();
}
