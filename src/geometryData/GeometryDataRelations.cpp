#include "geometryData/GeometryData.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include <BRepBndLib.hxx>
#include <Bnd_Box.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/TopoEntity.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

Bnd_Box contactBox(const TopoDS_Shape& shape)
{
    Bnd_Box box;
    BRepBndLib::Add(shape, box);
    box.Enlarge(Precision::Confusion());
    return box;
}

// Which entity of the model dimension touches which entity one dimension lower.
// Each lower entity is related to at most the first two that touch it.
std::map<std::string, std::vector<std::string>> findContacts(const std::vector<std::shared_ptr<TopoEntity>>& entities,
                                                             int dimension)
{
    std::map<std::string, std::vector<std::string>> contacts;
    for (const auto& entity : entities) {
        contacts[entity->getName()].clear();
    }
    if (dimension != 3 && dimension != 2) {
        return contacts;
    }
    std::vector<Bnd_Box> boxes;
    boxes.reserve(entities.size());
    for (const auto& entity : entities) {
        const int entityDimension = entity->getDimensionType();
        boxes.push_back(entityDimension == dimension || entityDimension == dimension - 1
                            ? contactBox(entity->getShape())
                            : Bnd_Box());
    }
    for (std::size_t i = 0; i < entities.size(); ++i) {
        const auto& a = entities[i];
        if (a->getDimensionType() != dimension) {
            continue;
        }
        for (std::size_t k = 0; k < entities.size(); ++k) {
            const auto& b = entities[k];
            if (b->getDimensionType() != dimension - 1) {
                continue;
            }
            auto& related = contacts[b->getName()];
            // Disjoint boxes cannot share a face or an edge: spare the Boolean operation.
            if (related.size() >= 2 || boxes[i].IsOut(boxes[k])) {
                continue;
            }
            const bool touch = dimension == 3 ? shapesShareFace(a->getShape(), b->getShape())
                                              : shapesShareEdge(a->getShape(), b->getShape());
            if (touch) {
                contacts[a->getName()].push_back(b->getName());
                related.push_back(a->getName());
            }
        }
    }
    return contacts;
}

} // namespace

void GeometryData::buildRelations()
{
    if (relations.empty()) {
        try {
            // Built aside, so that a failing contact test leaves the relations as they were.
            relations = findContacts(entities, dimension);
        } catch (const Standard_Failure& failure) {
            throw kernelFailure("Could not compute the relations between entities", failure);
        }
    }

    for (const auto& boundary : boundaries) {
        boundary->clearInDomain();
        for (const auto& entity : boundary->getEntities()) {
            entity->clearMarked();
        }
    }

    // Links through indices: which boundaries hold each face, which faces lie
    // between two entities of one domain. The results are those of visiting
    // every domain entity against every boundary face in model order.
    std::vector<std::vector<std::shared_ptr<TopoEntity>>> faces(boundaries.size());
    std::unordered_map<std::string, std::vector<std::pair<std::size_t, std::size_t>>> placesOfFace;
    for (std::size_t b = 0; b < boundaries.size(); ++b) {
        faces[b] = boundaries[b]->getEntities();
        for (std::size_t f = 0; f < faces[b].size(); ++f) {
            placesOfFace[faces[b][f]->getName()].emplace_back(b, f);
        }
    }
    std::vector<std::vector<std::shared_ptr<TopoEntity>>> members(domains.size());
    bool anyMember = false;
    for (std::size_t d = 0; d < domains.size(); ++d) {
        members[d] = domains[d]->getEntities();
        anyMember = anyMember || !members[d].empty();
    }
    if (!anyMember || placesOfFace.empty()) {
        return;
    }
    // Every boundary face and every domain entity has an entry in the
    // relations, empty when it touches nothing.
    for (const auto& boundaryFaces : faces) {
        for (const auto& face : boundaryFaces) {
            relations[face->getName()];
        }
    }
    for (const auto& domainEntities : members) {
        for (const auto& entity : domainEntities) {
            relations[entity->getName()];
        }
    }
    // Faces between two entities, by their first neighbour.
    std::unordered_map<std::string, std::vector<std::string>> facesByFirstNeighbour;
    for (const auto& [name, places] : placesOfFace) {
        const auto& neighbours = relations.at(name);
        if (neighbours.size() == 2) {
            facesByFirstNeighbour[neighbours[0]].push_back(name);
        }
    }

    for (std::size_t d = 0; d < domains.size(); ++d) {
        if (members[d].empty()) {
            continue;
        }
        std::unordered_set<std::string> names;
        for (const auto& entity : members[d]) {
            names.insert(entity->getName());
        }
        // A boundary lies inside the domain when all its faces lie between two
        // of the domain's entities and no earlier domain claimed them.
        std::vector<std::pair<std::size_t, std::size_t>> inner;
        for (const auto& name : names) {
            const auto candidates = facesByFirstNeighbour.find(name);
            if (candidates == facesByFirstNeighbour.end()) {
                continue;
            }
            for (const auto& face : candidates->second) {
                if (names.count(relations.at(face)[1]) != 0) {
                    const auto& places = placesOfFace.at(face);
                    inner.insert(inner.end(), places.begin(), places.end());
                }
            }
        }
        std::sort(inner.begin(), inner.end());
        for (std::size_t i = 0; i < inner.size();) {
            const std::size_t b = inner[i].first;
            std::size_t counted = 0;
            for (; i < inner.size() && inner[i].first == b; ++i) {
                const auto& face = faces[b][inner[i].second];
                if (!face->isMarked()) {
                    face->setMarked();
                    ++counted;
                }
            }
            if (counted >= 1 && counted == faces[b].size() && !boundaries[b]->isInDomain()) {
                boundaries[b]->setInDomain();
            }
        }
        // Each entity links the domain to the boundaries holding a face it touches.
        for (const auto& entity : members[d]) {
            std::vector<std::size_t> touched;
            for (const auto& name : relations.at(entity->getName())) {
                const auto places = placesOfFace.find(name);
                if (places != placesOfFace.end()) {
                    for (const auto& place : places->second) {
                        touched.push_back(place.first);
                    }
                }
            }
            std::sort(touched.begin(), touched.end());
            touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
            for (const std::size_t b : touched) {
                domains[d]->addBoundary(boundaries[b]);
                boundaries[b]->addDomain(domains[d]);
            }
        }
    }
}
