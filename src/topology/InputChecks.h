#pragma once

#include <string>

#include <STEPControl_Reader.hxx>
#include <TopoDS_Shape.hxx>

// Checks of damaged or hostile CAD input, run before the kernel transfers or
// fuses it: the kernel dereferences null, spins or crashes on such input
// instead of reporting it. Each raises vemra_exception "<source>: <fault>".

// Whether a number is finite and within the range the kernel treats as finite.
bool isKernelNumber(double value);

// The text of a STEP file before it is read, in one pass over its instances:
// a cycle of references (a changed digit) makes the reader or the transfer
// recurse or loop without end, a point with fewer coordinates than its model
// has dimensions makes the transfer fault, and NaN or infinity written for a
// number is read as 0.
void checkStepText(const std::string& content, const std::string& source);

// The STEP model read from the file at the path, before the transfer: its
// global check, the parts of its geometry and topology that the transfer
// follows without a test, its units (a length unit that is a length, with a
// positive factor) and the coordinates of its points. Syntax errors that the
// reader recovered from, and the references to the instances it skipped, are
// warnings when the entities the transfer reaches pass (faces of a shell and
// edges of a loop it skipped are left out, as the transfer does); without a
// syntax error any fault of the global check refuses the file. Entity-level
// load messages are not looked at: sound files carry many of them. Returns
// whether the reader recovered from syntax errors.
bool checkStepModel(STEPControl_Reader& reader, const std::string& path);

// A shape that enters the model, before any Boolean operation: finite
// coordinates within the kernel's range in its vertices, curves, curves on
// surfaces and surfaces, finite tolerances, and for every edge, face and solid
// a bounding box that is finite and neither void nor collapsed to a point.
// Solids without faces pass: the fuse drops them with a warning.
void checkShapeSoundness(const TopoDS_Shape& shape, const std::string& source);

// The section sizes a BREP text announces ("Curves 12") against the bytes
// that follow them (every item takes at least two bytes), and the type codes,
// degrees and counts of its curves and surfaces, on which the kernel's reader
// crashes when they are damaged.
void checkBrepSections(const std::string& content, const std::string& source);
