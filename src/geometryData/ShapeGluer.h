#pragma once

#include <TopTools_ListOfShape.hxx>
#include <TopoDS_Shape.hxx>

// Joins shapes so that sub-shapes coinciding within the tolerance become one
// shared sub-shape. Calls go in this order: SetArgument, SetTolerance,
// SetKeepNonSolids, Detect, Perform, Shape. Built on the kernel's general
// fuse in its glue mode, each piece of the argument an argument of its own.
class ShapeGluer {
public:
    // A compound's top-level members are the pieces; any other shape is one piece.
    void SetArgument(const TopoDS_Shape& shape);
    void SetTolerance(double value);
    // When false, pieces that are not solids take no part.
    void SetKeepNonSolids(bool keep);
    // Collects the pieces that take part.
    void Detect();
    // No piece gives a null shape, one piece is returned as it is (the kernel
    // refuses a single argument), more are glued; when gluing fails the plain
    // fuse is tried, and if that fails too "Gluing failed: " + the alert names
    // is raised. A result that inverted, lost or doubled volume raises
    // "Gluing failed: " at once, naming the pieces (see checkVolumeKept).
    void Perform();
    const TopoDS_Shape& Shape() const { return result; }

private:
    TopoDS_Shape argument;
    double tolerance = 0.0;
    bool keepNonSolids = true;
    TopTools_ListOfShape pieces;
    TopoDS_Shape result;
};
