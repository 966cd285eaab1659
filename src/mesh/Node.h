#pragma once

#include <memory>
#include <vector>

class Element;

// One mesh point. Nodes refer to their elements weakly, so nodes and elements
// never keep each other alive.
class Node {
public:
    Node(int id, double x, double y, double z);
    Node(const Node& other) = default;

    bool operator==(const Node& other) const { return id == other.id; }
    bool operator!=(const Node& other) const { return id != other.id; }
    bool operator<(const Node& other) const { return id < other.id; }

    int getId() const { return id; }
    double getX() const { return x; }
    double getY() const { return y; }
    double getZ() const { return z; }
    std::vector<double> getCoordinates() const { return {x, y, z}; }

    void addElement(std::shared_ptr<Element> element);
    // The listed elements that still exist, in the order they were added.
    std::vector<std::shared_ptr<Element>> getElements() const;

    bool isMidNode() const { return midNode; }
    void setMidNode(bool value) { midNode = value; }

private:
    int id;
    double x;
    double y;
    double z;
    std::vector<std::weak_ptr<Element>> elements;
    bool midNode = false;
};
