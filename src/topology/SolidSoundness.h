#pragma once

#include <string>

#include <TopoDS_Shape.hxx>

// Soundness of a shape that enters the model, whatever road it comes by (a
// CAD file after its repair, an entity's BREP file). What it holds decides:
// its solids, else its faces, else its edges, as the model takes them.
//
// Refused, with vemra_exception "<source>: solid <n>: <fault>" (or face,
// edge; numbered in the kernel's map order from 1):
// - a solid whose shell is open or whose faces are not oriented alike;
// - a face whose hole lies outside it, or, for a loose face, whose area is
//   zero (a wire crossing itself gives a face without area, a solid without
//   volume);
// - a solid, face or edge whose tolerance is comparable to its own size: the
//   kernel widens tolerances until contradicting geometry checks valid;
// - a solid that is inside out or encloses no volume;
// - a stored triangulation or polygon that disagrees with its geometry (a
//   node that is not finite or lies outside the box of its face or edge
//   widened by the mesh's deflection and the tolerance, an index out of
//   range): "<source>: face <n>: damaged stored triangulation: <fault>".
//
// kernelCheckPassed: the kernel's full check (geometric checks on) already
// accepted this very shape, so its wires and faces need no second analysis.
void checkSolidSoundness(const TopoDS_Shape& shape, const std::string& source, bool kernelCheckPassed);
