#pragma once

#include "geometryData/Group.h"

class BoundaryGroup;

// A region of the model, linked to its boundaries.
class DomainGroup : public Group {
public:
    DomainGroup();
    DomainGroup(nlohmann::json entry, std::vector<std::shared_ptr<TopoEntity>> allEntities);

    void addBoundary(std::shared_ptr<BoundaryGroup> boundary);
    void clearBoundaries();
    std::vector<std::shared_ptr<BoundaryGroup>> getBoundaries() const;
    void setGroup(std::string group);
    std::string getGroup() const;
    nlohmann::json toJson() const;

private:
    std::vector<std::shared_ptr<BoundaryGroup>> boundaries;
    std::string group;
};
