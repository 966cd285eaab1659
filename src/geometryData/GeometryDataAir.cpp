#include "geometryData/GeometryData.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <BRepBndLib.hxx>
#include <Bnd_Box.hxx>
#include <Standard_Failure.hxx>
#include <TopAbs_ShapeEnum.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopTools_MapOfShape.hxx>

#include "geometryData/AirBuilder.h"
#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/ModelLimits.h"
#include "geometryData/PartitionPieces.h"
#include "geometryData/SameShapeSearch.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "geometryData/WorkingDirectory.h"
#include "misc/Utilities.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

// A new group of the entities found; its id becomes that of the last one. A
// group left empty fails here.
template <typename GroupType>
std::shared_ptr<GroupType> airGroup(const std::string& name, const std::string& label, const std::string& role,
                                    const std::vector<std::shared_ptr<TopoEntity>>& found)
{
    auto group = std::make_shared<GroupType>();
    group->setName(name);
    group->setLabel(label);
    group->setRole(role);
    for (const auto& entity : found) {
        group->setId(entity->getId());
        group->addEntity(entity);
    }
    if constexpr (std::is_same_v<GroupType, BoundaryGroup>) {
        group->setIndefinite(false);
    }
    group->buildShape();
    return group;
}

// The entities whose shapes are among the pieces (the very sub-shapes of the
// partition that the fuse's history gives), in entity order.
std::vector<std::shared_ptr<TopoEntity>> entitiesAmong(const std::vector<std::shared_ptr<TopoEntity>>& entities,
                                                       const TopTools_MapOfShape& pieces)
{
    std::vector<std::shared_ptr<TopoEntity>> found;
    for (const auto& entity : entities) {
        if (pieces.Contains(entity->getShape())) {
            found.push_back(entity);
        }
    }
    return found;
}

TopTools_MapOfShape piecesOf(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    TopTools_MapOfShape pieces;
    for (TopExp_Explorer explorer(shape, type); explorer.More(); explorer.Next()) {
        pieces.Add(explorer.Current());
    }
    return pieces;
}

TopTools_MapOfShape piecesOf(const TopTools_ListOfShape& shapes)
{
    TopTools_MapOfShape pieces;
    for (const TopoDS_Shape& shape : shapes) {
        pieces.Add(shape);
    }
    return pieces;
}

// The faces among the entities that share area with the face: the box test
// keeps the Boolean common to the faces near it.
std::vector<std::shared_ptr<TopoEntity>> facesSharingArea(const std::vector<std::shared_ptr<TopoEntity>>& entities,
                                                          const TopoDS_Shape& face)
{
    Bnd_Box bounds;
    BRepBndLib::Add(face, bounds, false);
    std::vector<std::shared_ptr<TopoEntity>> found;
    for (const auto& entity : entities) {
        if (entity->getDimensionType() != 2) {
            continue;
        }
        Bnd_Box candidate;
        BRepBndLib::Add(entity->getShape(), candidate, false);
        if (!bounds.IsOut(candidate) && shapesShareFace(face, entity->getShape())) {
            found.push_back(entity);
        }
    }
    return found;
}

// Why no face of the new partition is the terminal face: the group it would
// fill stays empty otherwise.
void requireTerminalMatch(const std::string& name, const TopoDS_Shape& face,
                          const std::vector<std::shared_ptr<TopoEntity>>& newEntities)
{
    const std::size_t sharing = facesSharingArea(newEntities, face).size();
    const std::string none = ": no face of the model with its air matches it.";
    if (sharing == 0) {
        throw vemra_exception("Terminal " + name + " lies on no face of the model" + none);
    }
    if (sharing == 1) {
        throw vemra_exception("Terminal " + name + " is smaller than the section of the model it lies on" + none);
    }
    throw vemra_exception("Terminal " + name + " spans " + std::to_string(sharing) +
                          " faces of the model, across more than one solid" + none);
}

// A document group must still name whole entities of the new partition: one
// whose entities all lie beyond the terminal planes would be left empty, and
// a face that a terminal plane cuts is no longer one face.
template <typename GroupList>
void requireGroupsInAir(const GroupList& groups, const SameShapeSearch& pieces, const SameShapeSearch& faces,
                        const std::vector<std::shared_ptr<TopoEntity>>& newEntities,
                        const std::set<const TopoEntity*>& changed)
{
    for (const auto& group : groups) {
        bool judged = false; // only solids and faces that were in the model are judged here
        bool anyFound = false;
        std::string cutFace;
        for (const auto& entity : group->getEntities()) {
            const TopoDS_Shape shape = entity->getShape();
            const int dimension = entity->getDimensionType();
            if ((dimension != 3 && dimension != 2) || shape.IsNull() ||
                (!entity->isActive() && changed.count(entity.get()) == 0)) {
                continue;
            }
            judged = true;
            if (!entity->isActive()) {
                continue; // left out of the model: it lies beyond the terminal planes
            }
            const SameShapeSearch& search = dimension == 2 ? faces : pieces;
            if (!search.sameAs(shape).empty()) {
                anyFound = true;
            } else if (cutFace.empty() && entity->getDimensionType() == 2 &&
                       !facesSharingArea(newEntities, shape).empty()) {
                cutFace = entity->getName();
            }
        }
        if (!cutFace.empty()) {
            throw vemra_exception("Group " + group->getName() + " names face " + cutFace +
                                  ", which a terminal plane cuts.");
        }
        if (judged && !anyFound) {
            throw vemra_exception("Group " + group->getName() + ": its entities lie wholly beyond the terminal planes.");
        }
    }
}

// The shapes and active flags of the entities, to put back when the air
// cannot be added after the builder has trimmed them.
class EntityStates {
public:
    explicit EntityStates(const std::vector<std::shared_ptr<TopoEntity>>& entities)
    {
        for (const auto& entity : entities) {
            saved.push_back({entity, entity->getShape(), entity->isActive()});
        }
    }

    void restore() const
    {
        for (const auto& state : saved) {
            state.entity->setShape(state.shape);
            state.entity->setActive(state.active);
        }
    }

    // The entities whose shape or active flag has changed since.
    std::set<const TopoEntity*> changed() const
    {
        std::set<const TopoEntity*> result;
        for (const auto& state : saved) {
            if (!state.entity->getShape().IsSame(state.shape) || state.entity->isActive() != state.active) {
                result.insert(state.entity.get());
            }
        }
        return result;
    }

private:
    struct State {
        std::shared_ptr<TopoEntity> entity;
        TopoDS_Shape shape;
        bool active;
    };
    std::vector<State> saved;
};

// A group's shape and id as they were before it was rebuilt.
struct FormerGroup {
    std::shared_ptr<Group> group;
    TopoDS_Shape shape;
    int id;
};

// Rebuilds the shape of every group holding a changed entity, keeping what
// each was in `former` first, to put back when the air cannot be added.
template <typename GroupList>
void rebuildGroupsHolding(const GroupList& groups, const std::set<const TopoEntity*>& changed,
                          std::vector<FormerGroup>& former)
{
    for (const auto& group : groups) {
        const auto members = group->getEntities();
        if (std::any_of(members.begin(), members.end(),
                        [&](const auto& entity) { return changed.count(entity.get()) != 0; })) {
            former.push_back({group, group->getShape(), group->getId()});
            group->buildShape();
        }
    }
}

} // namespace

void GeometryData::addAir(double padding, std::vector<std::string> terminals)
{
    requireWorkingDirectory(workingDirectory);
    checkPaddingLimits(entities, padding);
    if (dimension == 0) {
        computeDimension();
    }
    const int modelDimension = dimension;
    AirMode mode = boxAir;
    if (modelDimension == 2) {
        mode = axisymmetric ? axisymmetricAir : planarAir;
    } else if (modelDimension != 3) {
        // Clients match this text as it stands, the missing blank included.
        throw vemra_exception("Dimension of GeometryData is " + std::to_string(modelDimension) + "is not supported");
    }

    // Terminals in entity order; names that match nothing are ignored.
    const std::set<std::string> terminalNames(terminals.begin(), terminals.end());
    TopTools_ListOfShape terminalFaces;
    std::vector<std::string> terminalEntityNames;
    for (const auto& entity : entities) {
        if (terminalNames.count(entity->getName()) == 0) {
            continue;
        }
        const TopoDS_Shape shape = entity->getShape();
        // Only the box is cut at terminal planes and the rectangles ignore
        // terminals, yet a terminal that is not a face is refused in every mode.
        if (shape.IsNull() || shape.ShapeType() != TopAbs_FACE) {
            throw vemra_exception("Terminal " + entity->getName() + " is not a face.");
        }
        terminalFaces.Append(shape);
        terminalEntityNames.push_back(entity->getName());
    }

    const EntityStates before(entities);
    TopoDS_Shape newPartition;
    std::vector<std::shared_ptr<TopoEntity>> newEntities;
    std::vector<std::shared_ptr<DomainGroup>> newDomains;
    std::vector<std::shared_ptr<BoundaryGroup>> newBoundaries;
    std::map<std::string, std::vector<std::string>> newRelations;
    std::vector<FormerGroup> formerGroups;
    const auto undo = [&] {
        before.restore();
        for (const auto& former : formerGroups) {
            former.group->setShape(former.shape);
            former.group->setId(former.id);
        }
    };
    try {
        AirBuilder builder;
        builder.setTerminalFaces(terminalFaces);
        builder.setEntities(entities);
        builder.setPadding(padding);
        builder.setMode(mode);
        builder.create();
        const TopoDS_Shape infinity = builder.getInfinityShape();
        const TopoDS_Shape airShape = builder.getAirShape();
        const TopoDS_Shape axisShape = builder.getAxisShape();

        // The model (now trimmed) and the air become one partition, unless
        // the builder has made it already.
        newPartition = builder.getPartitionShape();
        if (newPartition.IsNull()) {
            ShapeList list(entities);
            for (TopExp_Explorer explorer(airShape, modelDimension == 3 ? TopAbs_SOLID : TopAbs_FACE);
                 explorer.More(); explorer.Next()) {
                list.add(explorer.Current());
            }
            newPartition = list.fuse();
        }
        const PartitionPieces pieces(newPartition);
        newEntities = pieces.makeEntities(1);

        // Where the builder made the partition, its history says which pieces
        // are the air and its outer boundary; elsewhere the air's shapes are
        // found among the new entities by shape.
        const bool fromHistory = !builder.getPartitionShape().IsNull();
        const bool searched = !fromHistory || !terminalFaces.IsEmpty() || !axisShape.IsNull();
        const std::vector<std::shared_ptr<TopoEntity>> none;
        const SameShapeSearch pieceCandidates(searched ? newEntities : none, modelDimension);
        const SameShapeSearch boundaryCandidates(searched ? newEntities : none, modelDimension - 1);
        if (fromHistory) {
            // The boxes of the statistics follow the triangulations that the
            // search would have left.
            SameShapeSearch::meshAsSearchWould(newEntities, modelDimension, airShape);
            SameShapeSearch::meshAsSearchWould(newEntities, modelDimension - 1, infinity);
        }
        newDomains.push_back(airGroup<DomainGroup>(
            "air", "Air", "air",
            fromHistory ? entitiesAmong(newEntities, piecesOf(airShape, TopAbs_SOLID)) : pieceCandidates.sameAs(airShape)));
        newDomains.back()->setMembersFromHistory(fromHistory);
        if (!infinity.IsNull()) {
            newBoundaries.push_back(airGroup<BoundaryGroup>(
                "air_infinity", "Infinity", "infinity",
                fromHistory ? entitiesAmong(newEntities, piecesOf(builder.getInfinityFaces()))
                            : boundaryCandidates.sameAs(infinity)));
            newBoundaries.back()->setMembersFromHistory(fromHistory);
        }
        if (getAppName() == "INDUCTION" && modelDimension == 3) {
            // Every terminal is a face here: anything else is refused above.
            // With terminals the partition is never the builder's.
            int n = 1;
            for (const TopoDS_Shape& face : terminalFaces) {
                const auto found = boundaryCandidates.sameAs(face);
                if (found.empty()) {
                    requireTerminalMatch(terminalEntityNames[static_cast<std::size_t>(n - 1)], face, newEntities);
                }
                const std::string name = "Terminal" + std::to_string(n);
                newBoundaries.push_back(
                    airGroup<BoundaryGroup>(name, name, n % 2 == 1 ? "terminal" : "terminal2", found));
                ++n;
            }
        }
        if (!axisShape.IsNull()) {
            newBoundaries.push_back(airGroup<BoundaryGroup>("air_axis", "Symmetry Axis", "axis",
                                                            boundaryCandidates.sameAs(axisShape)));
        }
        pieces.relate(newRelations, modelDimension);
        // The document's groups still hold the old entities until the
        // finalisation refills them from their shapes, which must show the trim.
        if (groupMode != groupsFromAllEntities) {
            const std::set<const TopoEntity*> trimmed = before.changed();
            if (mode == boxAir && !terminalFaces.IsEmpty()) {
                requireGroupsInAir(domains, pieceCandidates, boundaryCandidates, newEntities, trimmed);
                requireGroupsInAir(boundaries, pieceCandidates, boundaryCandidates, newEntities, trimmed);
            }
            rebuildGroupsHolding(domains, trimmed, formerGroups);
            rebuildGroupsHolding(boundaries, trimmed, formerGroups);
        }
    } catch (const Standard_Failure& failure) {
        undo();
        throw kernelFailure("addAir", failure);
    } catch (...) {
        undo();
        throw;
    }

    partitionShape = newPartition;
    entities.clear();
    if (groupMode == groupsFromAllEntities) {
        domains.clear();
        boundaries.clear();
    }
    relations = std::move(newRelations);
    for (const auto& entity : newEntities) {
        addEntity(entity);
    }
    domains.insert(domains.end(), newDomains.begin(), newDomains.end());
    boundaries.insert(boundaries.end(), newBoundaries.begin(), newBoundaries.end());
    geometryChanged = true;
    exportRawGeometry();
}
