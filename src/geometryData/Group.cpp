#include "geometryData/Group.h"

#include <algorithm>
#include <set>
#include <utility>

#include <Standard_Failure.hxx>

#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "misc/JsonLimits.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "topology/ShapePreview.h"
#include "vemra_exception.h"

Group::Group() = default;

Group::Group(const nlohmann::json& entry, std::vector<std::shared_ptr<TopoEntity>> allEntities)
{
    name = entry.at("name").get<std::string>();
    // The name becomes the preview's file name.
    checkEntityName(name);
    label = entry.contains("label") ? entry.at("label").get<std::string>() : name;
    id = readId(entry, "group " + name);
    auto wanted = entry.at("entities").get<std::vector<std::string>>();

    if (entry.contains("mergedFrom") && !entry.at("mergedFrom").is_null()) {
        for (const auto& source : entry.at("mergedFrom")) {
            mergedFrom.push_back(std::make_shared<Group>(source, allEntities));
        }
    }
    // A source's entities belong to the merged group even when "entities" omits them.
    for (const auto& source : mergedFrom) {
        for (const auto& entity : source->entities) {
            const std::string entityName = entity->getName();
            if (std::find(wanted.begin(), wanted.end(), entityName) == wanted.end()) {
                wanted.push_back(entityName);
            }
        }
    }

    const std::set<std::string> wantedNames(wanted.begin(), wanted.end());
    std::set<std::string> matchedNames;
    for (const auto& entity : allEntities) {
        const std::string entityName = entity->getName();
        if (wantedNames.count(entityName) != 0) {
            entities.push_back(entity);
            matchedNames.insert(entityName);
        }
    }
    for (const auto& wantedName : wantedNames) {
        if (matchedNames.count(wantedName) == 0) {
            LOG(WARNING) << "Group " << name << ": no entity named " << wantedName;
        }
    }

    buildShape();

    role.clear();
    if (entry.contains("role") && !entry.at("role").is_null()) {
        role = entry.at("role").get<std::string>();
    }
    writePreviewFlag = true;
}

void Group::setName(std::string newName) { name = std::move(newName); }
void Group::setLabel(std::string newLabel) { label = std::move(newLabel); }
void Group::setRole(std::string newRole) { role = std::move(newRole); }
std::string Group::getName() const { return name; }
std::string Group::getLabel() const { return label; }
std::string Group::getRole() const { return role; }
void Group::setId(int newId) { id = newId; }
int Group::getId() const { return id; }
std::vector<std::shared_ptr<TopoEntity>> Group::getEntities() const { return entities; }
void Group::addEntity(std::shared_ptr<TopoEntity> entity) { entities.push_back(std::move(entity)); }
void Group::clearEntities() { entities.clear(); }
TopoDS_Shape Group::getShape() const { return shape; }
void Group::setShape(TopoDS_Shape newShape) { shape = std::move(newShape); }
std::vector<std::shared_ptr<Group>> Group::getMergedFrom() const { return mergedFrom; }
void Group::setPreviewEnabled(bool enabled) { writePreviewFlag = enabled; }
void Group::setMembersFromHistory(bool fromHistory) { membersFromHistory = fromHistory; }
bool Group::hasMembersFromHistory() const { return membersFromHistory; }

void Group::buildShape()
{
    if (entities.empty()) {
        throw vemra_exception("There are no entities assigned to group " + name +
                              ". This is internal error. Please contact support!");
    }
    ShapeList list;
    for (const auto& entity : entities) {
        list.add(entity->getShape());
    }
    TopoDS_Shape fused;
    try {
        fused = list.fuse();
    } catch (const Standard_Failure& failure) {
        throw kernelFailure("Could not build shape for group " + name, failure);
    }
    if (fused.IsNull()) {
        throw vemra_exception("Could not build shape for group " + name);
    }
    shape = fused;
    if (id == 0) {
        id = entities.front()->getId();
    }
}

void Group::writePreview(std::string workingDirectory)
{
    if (!writePreviewFlag) {
        return;
    }
    if (shape.IsNull()) {
        throw vemra_exception("Could not build shape for group " + name);
    }
    // The preview meshes a deep copy: the group's shape shares its geometry with the entities.
    writeShapeVtk(shape, workingDirectory + "/vtk/" + name + ".vtk");
}

ShapeStatistics Group::getStatistics(const FaceBoxes* faceBoxes) const
{
    ShapeStatistics statistics;
    if (!shape.IsNull()) {
        getShapeStatistics(shape, statistics, faceBoxes);
    }
    return statistics;
}

nlohmann::json Group::toJson() const
{
    nlohmann::json j = nlohmann::json::object();
    j["name"] = name;
    j["label"] = label;
    j["id"] = id;
    auto names = nlohmann::json::array();
    for (const auto& entity : entities) {
        names.push_back(entity->getName());
    }
    j["entities"] = names;
    j["role"] = role;
    j["previewPath"] = "vtk/" + name + ".vtk";
    auto sources = nlohmann::json::array();
    for (const auto& source : mergedFrom) {
        sources.push_back(source->toJson());
    }
    j["mergedFrom"] = sources;
    return j;
}
