#pragma once

#include "mesh/Element.h"

// Second-order element kinds: corner nodes first, then mid-side nodes (gmsh order).

// Second-order line: end nodes 0 and 1, mid node 2.
class LINE2element : public Element {
    VEMRA_ELEMENT_RECORD(8, 21, 1, 3, "line2")
    using Element::Element;

    std::vector<std::shared_ptr<Node>> getEdgeNeighbours(std::shared_ptr<Node> node) const override;
    double getLength() const override;
    double getArea() const override;
    double getVolume() const override;
    void markMidNodes() override;
    std::vector<ElementFace> getFaces() const override;
};

// Second-order triangle: corners 0-2, mid nodes 3-5.
class TRI2element : public Element {
    VEMRA_ELEMENT_RECORD(9, 22, 2, 6, "triangle2")
    using Element::Element;

    std::vector<std::shared_ptr<Node>> getEdgeNeighbours(std::shared_ptr<Node> node) const override;
    double getLength() const override;
    double getArea() const override;
    double getVolume() const override;
    void markMidNodes() override;
    std::vector<ElementFace> getFaces() const override;
};

// Second-order tetrahedron: corners 0-3, mid nodes 4-9.
class TETRA2element : public Element {
    VEMRA_ELEMENT_RECORD(11, 24, 3, 10, "tetrahedron2")
    using Element::Element;

    std::vector<std::shared_ptr<Node>> getEdgeNeighbours(std::shared_ptr<Node> node) const override;
    double getLength() const override;
    double getArea() const override;
    double getVolume() const override;
    void markMidNodes() override;
    std::vector<ElementFace> getFaces() const override;
};
