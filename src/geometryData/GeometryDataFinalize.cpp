#include "geometryData/GeometryData.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include <Standard_Failure.hxx>
#include <TopAbs_Orientation.hxx>
#include <gp_Dir.hxx>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/NamedLookup.h"
#include "geometryData/SameShapeSearch.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "geometryData/WorkingDirectory.h"
#include "misc/JsonLimits.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

constexpr double oppositeToZTolerance = 0.05;
const double pi = std::acos(-1.0);

template <typename GroupList> void collectNames(const GroupList& groups, std::vector<std::string>& names)
{
    for (const auto& group : groups) {
        names.push_back(group->getName());
    }
}

// Two previews of one name would overwrite each other's file.
void checkNamesUnique(const std::vector<std::shared_ptr<DomainGroup>>& domains,
                      const std::vector<std::shared_ptr<BoundaryGroup>>& boundaries)
{
    std::vector<std::string> names;
    collectNames(domains, names);
    collectNames(boundaries, names);
    std::sort(names.begin(), names.end());
    const auto twice = std::adjacent_find(names.begin(), names.end());
    if (twice != names.end()) {
        throw vemra_exception("Names of boundaries and domains are not unique! Please rename boundaries or domains! "
                              "The name " + *twice + " is used twice.");
    }
}

// Whether a group's members are the ones its region holds: an operation's
// history gave them and they are still the model's entities.
template <typename GroupPtr>
bool keepsItsMembers(const GroupPtr& group, const std::set<const TopoEntity*>& current)
{
    const auto members = group->getEntities();
    return group->hasMembersFromHistory() && !members.empty() &&
           std::all_of(members.begin(), members.end(),
                       [&](const auto& entity) { return current.count(entity.get()) != 0; });
}

// Refills a group with the current entities of one dimension that match its
// former shape, unless it keeps its members. Run serially and in model
// order: the comparison triangulates shapes whose geometry the groups and
// entities share, which must not happen on two threads at once, and the
// statistics boxes follow those triangulations, so they must come out the
// same on every run. The search is built only when a group needs it: it
// measures every entity of its dimension.
template <typename GroupList>
void refillGroups(const GroupList& groups, const std::vector<std::shared_ptr<TopoEntity>>& entities, int dimension,
                  const std::set<const TopoEntity*>& current)
{
    std::unique_ptr<SameShapeSearch> candidates;
    for (const auto& group : groups) {
        if (keepsItsMembers(group, current)) {
            // The boxes of the statistics follow the triangulations that the
            // search would have left.
            SameShapeSearch::meshAsSearchWould(entities, dimension, group->getShape());
        } else {
            if (!candidates) {
                candidates = std::make_unique<SameShapeSearch>(entities, dimension);
            }
            const TopoDS_Shape formerShape = group->getShape();
            group->clearEntities();
            for (const auto& entity : candidates->sameAs(formerShape)) {
                group->addEntity(entity);
            }
        }
        group->setId(0);
        group->buildShape();
    }
}

template <typename GroupList> std::set<std::string> memberNames(const GroupList& groups)
{
    std::set<std::string> names;
    for (const auto& group : groups) {
        for (const auto& entity : group->getEntities()) {
            names.insert(entity->getName());
        }
    }
    return names;
}

} // namespace

void GeometryData::finalize()
{
    validate();
    if (dimension == 0) {
        computeDimension();
    }
    if (dimension == 2) {
        orientFaces2D();
    }
    if (geometryChanged) {
        try {
            std::set<const TopoEntity*> current;
            for (const auto& entity : entities) {
                current.insert(entity.get());
            }
            for (const auto& domain : domains) {
                domain->clearBoundaries();
            }
            refillGroups(domains, entities, dimension, current);
            for (const auto& boundary : boundaries) {
                boundary->clearDomains();
            }
            refillGroups(boundaries, entities, dimension - 1, current);
        } catch (const Standard_Failure& failure) {
            throw kernelFailure("Refilling the groups", failure);
        }
        geometryChanged = false;
    }
    if (partitionShape.IsNull()) {
        partitionShape = ShapeList(entities).fuse();
    }

    // Each new group takes the next id above every id in use, boundaries
    // first; the ids run out only when a group needs one.
    int groupId = highestId(domains, highestId(boundaries));
    const auto grouped = memberNames(boundaries);
    for (const auto& entity : entities) {
        const int entityDimension = entity->getDimensionType();
        if (entityDimension == dimension || entityDimension == dimension - 2 ||
            grouped.count(entity->getName()) != 0) {
            continue;
        }
        auto boundary = std::make_shared<BoundaryGroup>();
        boundary->setName(entity->getName());
        boundary->setLabel(entity->getName());
        boundary->setId(groupId = idAfter(groupId, "group " + entity->getName()));
        const bool fromPreprocessor = groupMode == groupsFromPreprocessor;
        boundary->setRole(fromPreprocessor ? "indefinite" : "");
        boundary->setIndefinite(fromPreprocessor);
        boundary->addEntity(entity);
        boundary->buildShape();
        boundaries.push_back(boundary);
    }

    const auto inDomains = memberNames(domains);
    for (const auto& entity : entities) {
        if (entity->getDimensionType() != dimension || inDomains.count(entity->getName()) != 0) {
            continue;
        }
        auto domain = std::make_shared<DomainGroup>();
        domain->setName(entity->getName());
        domain->setLabel(entity->getName());
        domain->setRole("");
        domain->setId(groupId = idAfter(groupId, "group " + entity->getName()));
        domain->addEntity(entity);
        domain->buildShape();
        domains.push_back(domain);
    }
    // A default group may carry the name of a group of the input.
    checkNamesUnique(domains, boundaries);

    buildRelations();
}

void GeometryData::validate()
{
    requireWorkingDirectory(workingDirectory);
    checkNamesUnique(domains, boundaries);
}

void GeometryData::computeDimension()
{
    dimension = 0;
    for (const auto& entity : entities) {
        const int entityDimension = entity->getDimensionType();
        if (entityDimension == 3) {
            dimension = 3;
            return;
        }
        if (entityDimension == 1 || entityDimension == 2) {
            dimension = std::max(dimension, entityDimension);
        }
    }
}

void GeometryData::orientFaces2D()
{
    bool changed = false;
    const gp_Dir up(0.0, 0.0, 1.0);
    for (const auto& entity : entities) {
        if (entity->getDimensionType() != 2) {
            continue;
        }
        TopoDS_Shape face = entity->getShape();
        if (face.ShapeType() != TopAbs_FACE) {
            LOG(WARNING) << "Orienting 2D faces: entity " << entity->getName() << " is not a single face, skipped";
            continue;
        }
        try {
            const gp_Dir normal = getFaceNormal(face);
            if (face.Orientation() == TopAbs_REVERSED) {
                face.Orientation(TopAbs_FORWARD);
            }
            if (oppositeToZTolerance >= pi - normal.Angle(up)) {
                entity->setShape(face.Reversed());
                changed = true;
            }
        } catch (const Standard_Failure& failure) {
            throw kernelFailure("Orienting face " + entity->getName(), failure);
        }
    }
    if (changed) {
        computePartitionShape();
    }
}
