#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mesh/ElementFace.h"
#include "mesh/ElementTypes.h"
#include "mesh/Node.h"

// Base of the element kinds. Elements refer to their nodes and to their owner
// weakly; the code that builds a mesh owns both.
class Element {
public:
    Element() = default;
    Element(std::shared_ptr<void> owner, std::vector<std::shared_ptr<Node>> nodes);
    Element(const Element& other) = default;
    virtual ~Element() = default;

    // A new element of the kind with the given gmsh type number; unknown numbers raise.
    static std::shared_ptr<Element> create(int gmshType);
    static bool isKnownType(int gmshType);

    virtual int getGmshType() const = 0;
    virtual int getVtkType() const = 0;
    virtual std::string getTypeName() const = 0;
    virtual int getDimension() const = 0;
    virtual int getNodeCount() const = 0;
    // The nodes joined to `node` by an edge; empty when the element does not hold it.
    virtual std::vector<std::shared_ptr<Node>> getEdgeNeighbours(std::shared_ptr<Node> node) const = 0;
    virtual double getLength() const = 0;
    virtual double getArea() const = 0;
    virtual double getVolume() const = 0;
    virtual void markMidNodes() = 0;
    virtual std::vector<ElementFace> getFaces() const = 0;

    bool operator==(const Element& other) const { return id == other.id; }
    bool operator!=(const Element& other) const { return id != other.id; }

    int getId() const { return id; }
    void setId(int value) { id = value; }
    // Throws std::bad_weak_ptr when a node no longer exists.
    std::vector<std::shared_ptr<Node>> getNodes() const;
    void setNodes(std::vector<std::shared_ptr<Node>> value);
    std::shared_ptr<void> getOwner() const { return owner.lock(); }
    void setOwner(std::shared_ptr<void> value) { owner = value; }
    int getAttribute() const { return attribute; }
    void setAttribute(int value) { attribute = value; }

    // True when every node of `other` is one of this element's node objects.
    bool containsNodesOf(std::shared_ptr<Element> other) const;
    // Mean of the node coordinates, each list entry counted; NaN for no nodes.
    std::vector<double> centroid() const;

protected:
    // Node lists by local position, one row per face or per node.
    using IndexTable = std::vector<std::vector<int>>;

    // The node at a position; raises when the position is empty or the node is gone.
    std::shared_ptr<Node> nodeAt(int position) const;
    // Checks that positions 0 .. count-1 hold existing nodes.
    void requireNodes(int count) const;

    double distance(int first, int second) const;
    double triangleArea(int first, int second, int third) const;
    // Volume enclosed by the faces of a table over the first `cornerCount` nodes.
    double enclosedVolume(const IndexTable& faces, int cornerCount) const;
    std::vector<ElementFace> facesFromTable(const IndexTable& faces) const;
    // Neighbours from a row per node position over the first table.size() nodes.
    std::vector<std::shared_ptr<Node>> neighboursFromTable(const std::shared_ptr<Node>& node,
                                                           const IndexTable& rows) const;
    // Every other node of the list, when the list holds `node`.
    std::vector<std::shared_ptr<Node>> allOtherNodes(const std::shared_ptr<Node>& node) const;
    void markMidNodesFrom(int first, int last);

private:
    int id = 0;
    std::vector<std::weak_ptr<Node>> nodes;
    std::weak_ptr<void> owner;
    int attribute = 0;
};

// The constant type record of one kind, the operations that report it, and
// the declarations of the operations every kind defines for itself.
#define VEMRA_ELEMENT_RECORD(GMSH, VTK, DIMENSION, NODES, NAME)          \
public:                                                                  \
    int getGmshType() const override { return gmshType; }                \
    int getVtkType() const override { return vtkType; }                  \
    std::string getTypeName() const override { return typeName; }        \
    int getDimension() const override { return dimension; }              \
    int getNodeCount() const override { return nodeCount; }              \
                                                                         \
private:                                                                 \
    int gmshType = GMSH;                                                 \
    int vtkType = VTK;                                                   \
    int dimension = DIMENSION;                                           \
    int nodeCount = NODES;                                               \
    std::string typeName = NAME;                                         \
                                                                         \
public:                                                                  \
    using Element::Element;                                              \
    std::vector<std::shared_ptr<Node>> getEdgeNeighbours(                \
        std::shared_ptr<Node> node) const override;                      \
    double getLength() const override;                                   \
    double getArea() const override;                                     \
    double getVolume() const override;                                   \
    void markMidNodes() override;                                        \
    std::vector<ElementFace> getFaces() const override;
