#pragma once

#include <string>

#include <StepData_StepModel.hxx>
#include <TopoDS_Shape.hxx>

// Checks of damaged or hostile CAD input, run before the kernel transfers or
// fuses it: the kernel dereferences null, spins or crashes on such input
// instead of reporting it. Each raises vemra_exception "<source>: <fault>".

// Whether a number is finite and within the range the kernel treats as finite.
bool isKernelNumber(double value);

// The text of a STEP file before it is read: an instance that refers to
// itself (a changed digit) makes the reader recurse without end.
void checkStepText(const std::string& content, const std::string& source);

// The read STEP model before the transfer: its global check (unresolved
// references, syntax errors), the conversion factors of its units and the
// coordinates of its points. Entity-level load messages are not looked at:
// sound files carry many of them.
void checkStepModel(const Handle(StepData_StepModel) & model, const std::string& source);

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
