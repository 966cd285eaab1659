#pragma once

#include "geometryData/Group.h"

// A boundary of the model, linked to the domains it touches.
class BoundaryGroup : public Group {
public:
    BoundaryGroup();
    BoundaryGroup(const nlohmann::json& entry, std::vector<std::shared_ptr<TopoEntity>> allEntities);

    void addDomain(std::shared_ptr<Group> domain);
    void clearDomains();
    std::vector<std::shared_ptr<Group>> getDomains() const;
    void setIndefinite(bool indefinite);
    bool isIndefinite() const;
    void setInDomain();
    void clearInDomain();
    bool isInDomain() const;
    bool isPartOf(Group other) const;
    nlohmann::json toJson() const;

private:
    bool indefinite = false;
    std::vector<std::shared_ptr<Group>> domains;
    bool inDomain = false;
};
