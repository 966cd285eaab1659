#pragma once

// Element kinds by gmsh element type number (there is no kind 10).
enum ElementTypes : int {
    LINE = 1,
    TRI = 2,
    QUAD = 3,
    TETRA = 4,
    HEXA = 5,
    PRISM = 6,
    PYRA = 7,
    LINE2 = 8,
    TRI2 = 9,
    TETRA2 = 11,
};
