#include "mesh/LinearElements.h"

namespace {

using IndexTable = std::vector<std::vector<int>>;

// Edge neighbours by node position.
const IndexTable quadNeighbours = {{1, 3}, {0, 2}, {1, 3}, {0, 2}};
const IndexTable hexaNeighbours = {{1, 3, 4}, {0, 2, 5}, {3, 6, 1}, {0, 2, 7},
                                   {5, 0, 7}, {4, 6, 1}, {7, 5, 2}, {4, 6, 3}};
const IndexTable prismNeighbours = {{1, 3, 2}, {0, 2, 4}, {5, 0, 1},
                                    {0, 4, 5}, {5, 3, 1}, {2, 3, 4}};
const IndexTable pyraNeighbours = {{1, 3, 4}, {0, 2, 4}, {1, 3, 4}, {0, 4, 2}, {0, 1, 2, 3}};

// Faces of the 3D kinds run so that their right-hand normals point inward
// when the normal of nodes 0, 1, 2 does.
const IndexTable triFaces = {{0, 1, 2}};
const IndexTable quadFaces = {{0, 1, 2, 3}};
const IndexTable tetraFaces = {{0, 1, 2}, {1, 3, 2}, {3, 0, 2}, {0, 3, 1}};
const IndexTable hexaFaces = {{0, 1, 2, 3}, {1, 5, 6, 2}, {5, 4, 7, 6},
                              {4, 0, 3, 7}, {3, 2, 6, 7}, {5, 1, 0, 4}};
const IndexTable prismFaces = {{0, 1, 2}, {0, 3, 4, 1}, {2, 5, 3, 0}, {1, 4, 5, 2}, {3, 5, 4}};
const IndexTable pyraFaces = {{0, 1, 2, 3}, {0, 4, 1}, {1, 4, 2}, {2, 4, 3}, {3, 4, 0}};

} // namespace

// Line

std::vector<std::shared_ptr<Node>> LINEelement::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return allOtherNodes(node);
}
double LINEelement::getLength() const { return distance(0, 1); }
double LINEelement::getArea() const { return 0.0; }
double LINEelement::getVolume() const { return 0.0; }
void LINEelement::markMidNodes() {}
std::vector<ElementFace> LINEelement::getFaces() const { return {}; }

// Triangle

std::vector<std::shared_ptr<Node>> TRIelement::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return allOtherNodes(node);
}
double TRIelement::getLength() const { return 0.0; }
double TRIelement::getArea() const { return triangleArea(0, 1, 2); }
double TRIelement::getVolume() const { return 0.0; }
void TRIelement::markMidNodes() {}
std::vector<ElementFace> TRIelement::getFaces() const { return facesFromTable(triFaces); }

// Quadrangle

std::vector<std::shared_ptr<Node>> QUADelement::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return neighboursFromTable(node, quadNeighbours);
}
double QUADelement::getLength() const { return 0.0; }
double QUADelement::getArea() const
{
    // Two triangles over the diagonal 0-2.
    return triangleArea(0, 1, 2) + triangleArea(0, 2, 3);
}
double QUADelement::getVolume() const { return 0.0; }
void QUADelement::markMidNodes() {}
std::vector<ElementFace> QUADelement::getFaces() const { return facesFromTable(quadFaces); }

// Tetrahedron

std::vector<std::shared_ptr<Node>> TETRAelement::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return allOtherNodes(node);
}
double TETRAelement::getLength() const { return 0.0; }
double TETRAelement::getArea() const { return 0.0; }
double TETRAelement::getVolume() const { return enclosedVolume(tetraFaces, 4); }
void TETRAelement::markMidNodes() {}
std::vector<ElementFace> TETRAelement::getFaces() const { return facesFromTable(tetraFaces); }

// Hexahedron

std::vector<std::shared_ptr<Node>> HEXAelement::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return neighboursFromTable(node, hexaNeighbours);
}
double HEXAelement::getLength() const { return 0.0; }
double HEXAelement::getArea() const { return 0.0; }
double HEXAelement::getVolume() const { return enclosedVolume(hexaFaces, 8); }
void HEXAelement::markMidNodes() {}
std::vector<ElementFace> HEXAelement::getFaces() const { return facesFromTable(hexaFaces); }

// Prism

std::vector<std::shared_ptr<Node>> PRISMelement::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return neighboursFromTable(node, prismNeighbours);
}
double PRISMelement::getLength() const { return 0.0; }
double PRISMelement::getArea() const { return 0.0; }
double PRISMelement::getVolume() const { return enclosedVolume(prismFaces, 6); }
void PRISMelement::markMidNodes() {}
std::vector<ElementFace> PRISMelement::getFaces() const { return facesFromTable(prismFaces); }

// Pyramid

std::vector<std::shared_ptr<Node>> PYRAelement::getEdgeNeighbours(std::shared_ptr<Node> node) const
{
    return neighboursFromTable(node, pyraNeighbours);
}
double PYRAelement::getLength() const { return 0.0; }
double PYRAelement::getArea() const { return 0.0; }
double PYRAelement::getVolume() const { return enclosedVolume(pyraFaces, 5); }
void PYRAelement::markMidNodes() {}
std::vector<ElementFace> PYRAelement::getFaces() const { return facesFromTable(pyraFaces); }
