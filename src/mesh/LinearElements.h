#pragma once

#include "mesh/Element.h"

// Element kinds whose nodes are all corners (gmsh local node order).

// First-order line: end nodes 0 and 1.
class LINEelement : public Element {
    VEMRA_ELEMENT_RECORD(1, 3, 1, 2, "line")
};

// First-order triangle.
class TRIelement : public Element {
    VEMRA_ELEMENT_RECORD(2, 5, 2, 3, "triangle")
};

// First-order quadrangle, corners 0-3 in cyclic order.
class QUADelement : public Element {
    VEMRA_ELEMENT_RECORD(3, 9, 2, 4, "quadrangle")
};

// First-order tetrahedron.
class TETRAelement : public Element {
    VEMRA_ELEMENT_RECORD(4, 10, 3, 4, "tetrahedron")
};

// First-order hexahedron: corners 0-3 on one face, i+4 above i.
class HEXAelement : public Element {
    VEMRA_ELEMENT_RECORD(5, 12, 3, 8, "hexahedron")
};

// First-order prism: triangles 0-1-2 and 3-4-5, i+3 above i.
class PRISMelement : public Element {
    VEMRA_ELEMENT_RECORD(6, 13, 3, 6, "prism")
};

// First-order pyramid: base 0-3, apex 4.
class PYRAelement : public Element {
    VEMRA_ELEMENT_RECORD(7, 14, 3, 5, "pyramid")
};
