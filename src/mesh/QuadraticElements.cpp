#include "mesh/QuadraticElements.h"

namespace {

// Corner faces of the tetrahedron, oriented inward; used for the volume only.
const std::vector<std::vector<int>> tetraCornerFaces = {{0, 1, 2}, {1, 3, 2}, {3, 0, 2}, {0, 3, 1}};

} // namespace

// Second-order kinds answer edge neighbours with every other node, mid nodes included,
// measure through their corners and list no faces.

// Second-order line

std::vector<std::shared_ptr<Node>> LINE2element::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return allOtherNodes(node);
}
double LINE2element::getLength() const { return distance(0, 1); }
double LINE2element::getArea() const { return 0.0; }
double LINE2element::getVolume() const { return 0.0; }
void LINE2element::markMidNodes() { markMidNodesFrom(2, 2); }
std::vector<ElementFace> LINE2element::getFaces() const { return {}; }

// Second-order triangle

std::vector<std::shared_ptr<Node>> TRI2element::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return allOtherNodes(node);
}
double TRI2element::getLength() const { return 0.0; }
double TRI2element::getArea() const { return triangleArea(0, 1, 2); }
double TRI2element::getVolume() const { return 0.0; }
void TRI2element::markMidNodes() { markMidNodesFrom(3, 5); }
std::vector<ElementFace> TRI2element::getFaces() const { return {}; }

// Second-order tetrahedron

std::vector<std::shared_ptr<Node>> TETRA2element::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return allOtherNodes(node);
}
double TETRA2element::getLength() const { return 0.0; }
double TETRA2element::getArea() const { return 0.0; }
double TETRA2element::getVolume() const { return enclosedVolume(tetraCornerFaces, 4); }
void TETRA2element::markMidNodes() { markMidNodesFrom(4, 9); }
std::vector<ElementFace> TETRA2element::getFaces() const { return {}; }
