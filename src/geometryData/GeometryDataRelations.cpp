#include "geometryData/GeometryData.h"

#include <algorithm>

#include <BRepBndLib.hxx>
#include <Bnd_Box.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/TopoEntity.h"
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

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
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
            throw vemra_exception(std::string("Could not compute the relations between entities: ") +
                                  failure.GetMessageString());
        }
    }

    for (const auto& boundary : boundaries) {
        boundary->clearInDomain();
        for (const auto& entity : boundary->getEntities()) {
            entity->clearMarked();
        }
    }

    for (const auto& domain : domains) {
        const auto domainEntities = domain->getEntities();
        std::vector<std::string> domainNames;
        for (const auto& entity : domainEntities) {
            domainNames.push_back(entity->getName());
        }
        for (const auto& entity : domainEntities) {
            for (const auto& boundary : boundaries) {
                const auto boundaryEntities = boundary->getEntities();
                std::size_t counted = 0;
                for (const auto& face : boundaryEntities) {
                    const auto& neighbours = relations[face->getName()];
                    if (neighbours.size() == 2 && contains(domainNames, neighbours[0]) &&
                        contains(domainNames, neighbours[1]) && !face->isMarked()) {
                        face->setMarked();
                        ++counted;
                    }
                    if (contains(relations[entity->getName()], face->getName())) {
                        domain->addBoundary(boundary);
                        boundary->addDomain(domain);
                    }
                }
                if (counted >= 1 && counted == boundaryEntities.size() && !boundary->isInDomain()) {
                    boundary->setInDomain();
                }
            }
        }
    }
}
