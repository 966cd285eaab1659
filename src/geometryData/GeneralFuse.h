#pragma once

#include <string>

#include <BOPAlgo_GlueEnum.hxx>
#include <BRepTools_History.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS_Shape.hxx>

// Options of the kernel's general fuse, set in one place for every caller.
struct GeneralFuseOptions {
    BOPAlgo_GlueEnum glue = BOPAlgo_GlueOff;
    // Extra coincidence tolerance; values up to the kernel's own precision add nothing.
    double tolerance = 0.0;
    bool parallel = true;
    // Names the operation in the errors raised.
    std::string operation = "General fuse";
};

struct GeneralFuseResult {
    TopoDS_Shape shape;
    // What became of each argument and its sub-shapes; set when the fuse succeeded.
    Handle(BRepTools_History) history;
    // The names of the error alerts (or the kernel failure), comma separated;
    // empty when the fuse succeeded.
    std::string errors;

    bool failed() const { return !errors.empty(); }
};

// Runs the general fuse of the arguments, each a piece of its own, in the
// non-destructive mode. Warnings are logged at WARNING level by name; errors
// are returned to the caller, who decides whether to retry or raise. A result
// holding a solid of non-positive volume, or whose solids together hold less
// than the largest solid given (relative tolerance 1e-6), raises
// vemra_exception "<operation> failed: ..." at once.
GeneralFuseResult runGeneralFuse(const TopTools_ListOfShape& arguments, const GeneralFuseOptions& options);

// Raises vemra_exception "<operation> failed: ..." when the result holds a
// solid of non-positive volume or its solids together hold less than the
// largest solid of the arguments (relative tolerance 1e-6): the kernel can
// lose most of the volume or invert solids without an alert. Every solid is
// measured once.
void checkVolumeKept(const TopTools_ListOfShape& arguments, const TopoDS_Shape& result, const std::string& operation);

// The pieces that a fuse of the shapes works on: the solids at any depth, then
// the faces not inside a solid, the edges not inside a face and the vertices
// not inside an edge, each pass in list order. Compounds, compsolids, shells
// and wires are opened rather than dropped, so no geometry is lost. Solids
// without faces are dropped with a warning.
TopTools_ListOfShape flattenToPieces(const TopTools_ListOfShape& shapes);
