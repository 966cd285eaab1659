#pragma once

#include <string>
#include <vector>

// One face of a mesh element: node ids in face order and the listing element's id.
class ElementFace {
public:
    ElementFace(std::vector<int> nodeIds, int elementId);
    ElementFace(const ElementFace& other) = default;
    ElementFace& operator=(const ElementFace& other) = default;

    std::vector<int> getNodeIds() const { return nodeIds; }
    int getElementId() const { return elementId; }

    void setFlag(int value) { flag = value; }
    int getFlag() const { return flag; }
    bool isFlagClear() const { return flag == 0; }

    void setName(std::string value) { name = std::move(value); }
    std::string getName() const { return name; }

    // Same node ids, each as often, in any order; faces of different sizes never match.
    bool operator==(const ElementFace& other) const;
    // Records with the same tag never differ; otherwise they differ when their node sets do.
    bool differsFrom(const ElementFace& other) const;

private:
    std::vector<int> nodeIds;
    int elementId;
    int flag = 0;
    std::string name;
    int tag = 0;
};
