#pragma once

#include "geometryData/Group.h"

class BoundaryGroup;

// A region of the model, linked to its boundaries.
class DomainGroup : public Group {
public:
    DomainGroup();
    DomainGroup(const nlohmann::json& entry, std::vector<std::shared_ptr<TopoEntity>> allEntities);

    void addBoundary(std::shared_ptr<BoundaryGroup> boundary);
    void clearBoundaries();
    std::vector<std::shared_ptr<BoundaryGroup>> getBoundaries() const;
    void setGroup(std::string group);
    std::string getGroup() const;
    nlohmann::json toJson() const;
    // The same object with the group's statistics measured already (they
    // are those of getStatistics()), so that no shape is measured twice.
    nlohmann::json toJson(const ShapeStatistics& statistics) const;

private:
    std::vector<std::shared_ptr<BoundaryGroup>> boundaries;
    std::string group;
};
