#pragma once

#include <memory>
#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>
#include <nlohmann/json.hpp>

#include "topology/ShapeStatistics.h"

class FaceBoxes;
class TopoEntity;

// A named set of entities of one model with its fused shape.
class Group {
public:
    Group();
    Group(const nlohmann::json& entry, std::vector<std::shared_ptr<TopoEntity>> allEntities);

    void setName(std::string name);
    void setLabel(std::string label);
    void setRole(std::string role);
    std::string getName() const;
    std::string getLabel() const;
    std::string getRole() const;
    void setId(int id);
    int getId() const;
    std::vector<std::shared_ptr<TopoEntity>> getEntities() const;
    void addEntity(std::shared_ptr<TopoEntity> entity);
    void clearEntities();
    TopoDS_Shape getShape() const;
    void setShape(TopoDS_Shape newShape);
    std::vector<std::shared_ptr<Group>> getMergedFrom() const;
    void setPreviewEnabled(bool enabled);
    // Members that an operation's history gave are the very entities of the
    // group's region; while they are the model's, the finalisation keeps them
    // rather than searching the model for the group's shape again.
    void setMembersFromHistory(bool fromHistory);
    bool hasMembersFromHistory() const;

    void buildShape();
    void writePreview(std::string workingDirectory);
    // With faceBoxes, the box comes from faces measured there (the same doubles).
    ShapeStatistics getStatistics(const FaceBoxes* faceBoxes = nullptr) const;
    nlohmann::json toJson() const;

protected:
    std::string name;
    std::string label;
    std::string role;
    int id = 0;
    std::vector<std::shared_ptr<TopoEntity>> entities;
    std::vector<std::shared_ptr<Group>> mergedFrom;
    TopoDS_Shape shape;
    bool writePreviewFlag = true;
    bool membersFromHistory = false;
};
