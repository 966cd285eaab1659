#pragma once

#include "mesh/Element.h"

// Second-order element kinds: corner nodes first, then mid-side nodes (gmsh order).

// Second-order line: end nodes 0 and 1, mid node 2.
class LINE2element : public Element {
    VEMRA_ELEMENT_RECORD(8, 21, 1, 3, "line2")
};

// Second-order triangle: corners 0-2, mid nodes 3-5.
class TRI2element : public Element {
    VEMRA_ELEMENT_RECORD(9, 22, 2, 6, "triangle2")
};

// Second-order tetrahedron: corners 0-3, mid nodes 4-9.
class TETRA2element : public Element {
    VEMRA_ELEMENT_RECORD(11, 24, 3, 10, "tetrahedron2")
};
