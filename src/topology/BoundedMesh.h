#pragma once

#include <string>

#include <TopoDS_Shape.hxx>

// The kernel's mesher, run so that it always ends.
//
// On a face whose wire crosses itself (which the shape check finds invalid)
// the mesher can loop without end, and on that path it polls no progress
// range, so it cannot be stopped from inside the process. A shape holding such
// a face is therefore meshed first in a child process that is killed when the
// time limit passes; only a meshing that ended there is repeated in place
// (the mesher is deterministic, so it ends here too). Other shapes are meshed
// in place at once, as they always were.

// The time a child meshing may take before it counts as stalled.
constexpr double meshTimeLimitSeconds = 2.0;

// Meshes the shape in place as BRepMesh_IncrementalMesh(shape, deflection,
// false, angle, false) does and returns the deflection used. When the mesher
// does not end at that deflection, the shape is meshed at the first coarser
// one that does end, with a warning naming the face that stalls and the
// accuracy used; when none ends, raises an error naming the face (its index
// among the shape's faces, from 1) and `what`. What was found is kept for
// `key` (a shape whose copy is meshed; the shape itself when null), so a
// shape that stalls costs its time limits once.
double meshWithinLimit(const TopoDS_Shape& shape, double deflection, double angle, const std::string& what,
                       const TopoDS_Shape& key = TopoDS_Shape());

// Whether meshing the shape at this accuracy ends within the time limit; it
// runs in a child process and leaves the shape as it was.
bool meshingEnds(const TopoDS_Shape& shape, double deflection, double angle, double seconds = meshTimeLimitSeconds);
