#pragma once

#include <string>
#include <vector>

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
    // What each argument is called in the errors (an entity's name, a part of
    // a CAD file); arguments beyond the list are called by their position.
    std::vector<std::string> argumentNames;
    // When false, a result that breaks checkVolumeKept is returned with the
    // fault in volumeFault instead of raising, for a caller that has another road.
    bool raiseOnVolumeFault = true;
    // The argument whose images must hold its volume within
    // fuseVolumeTolerance, not fuseImageTolerance (the air's box, which the
    // model and the air must fill exactly); -1 for none.
    int exactArgument = -1;
    // Whether the result must fill the exact argument, no more and no less
    // (the air's box holds the whole model).
    bool exactArgumentHoldsAll = false;
};

struct GeneralFuseResult {
    TopoDS_Shape shape;
    // What became of each argument and its sub-shapes; set when the fuse succeeded.
    Handle(BRepTools_History) history;
    // The names of the error alerts (or the kernel failure), comma separated;
    // empty when the fuse succeeded.
    std::string errors;
    // What checkVolumeKept would raise for the result; empty when it is sound.
    std::string volumeFault;
    // The sub-shapes that the kernel found interfering within one argument,
    // in pairs (each alert's compound), for a caller that names the solid.
    TopTools_ListOfShape selfInterferences;

    bool failed() const { return !errors.empty(); }
};

// Runs the general fuse of the arguments, each a piece of its own, in the
// non-destructive mode, in parallel; when the kernel warns, once more on one
// thread, whose result does not depend on the threads' timing. Warnings are
// logged at WARNING level by name; errors are returned to the caller, who
// decides whether to retry or raise. A result that breaks checkVolumeKept is
// fused once more with a fuzzy value of fuzzyOfSize of the arguments'
// diagonal where that exceeds the kernel's confusion distance (and no fuzzy
// value was given), kept with a warning when that result is sound; otherwise
// the first fault raises its vemra_exception (or, with raiseOnVolumeFault
// false, is returned at once in volumeFault).
GeneralFuseResult runGeneralFuse(const TopTools_ListOfShape& arguments, const GeneralFuseOptions& options);

// What a shape became in an operation: its images, itself when untouched (or
// when there is no history), nothing when removed.
TopTools_ListOfShape imagesOf(const Handle(BRepTools_History) & history, const TopoDS_Shape& shape);

// The fraction of the arguments' diagonal tried as a fuzzy value when a fuse
// that raises on a volume fault comes out wrong without one.
constexpr double fuzzyOfSize = 1e-9;

// Relative tolerance of the volume checks; the volumes are integrated to a
// relative precision a hundred times finer, so that a good result is never
// refused for the measure's own error.
constexpr double fuseVolumeTolerance = 1e-6;
// What the images of one argument solid may differ from it, relatively: the
// fuse moves faces that interfere within their tolerances, which on real
// assemblies changes a solid by up to about a thousandth; a solid that
// vanishes or loses a real part of itself lies far beyond.
constexpr double fuseImageTolerance = 1e-2;
// The integration's relative precisions, a hundred times finer than the
// tolerance they serve: a fuse with an exact argument (the air's box), or
// without a history, is checked to fuseVolumeTolerance; any other, whose
// history shows each solid's images, to fuseImageTolerance, at a fraction of
// the cost on curved solids.
constexpr double fuseVolumePrecision = 1e-8;
constexpr double fuseImagePrecision = 1e-4;

// A solid's volume, integrated to the relative precision.
double preciseVolume(const TopoDS_Shape& solid, double precision = fuseVolumePrecision);

// Raises vemra_exception "<operation> failed: ..." naming the argument solids
// at fault when the result of a fuse of the arguments
// - holds a solid of non-positive volume (inverted),
// - holds two solids bounded by the same faces (one region filled twice),
// - holds more volume than the arguments together (within fuseImageTolerance),
//   or less than the largest (within the tolerance its precision serves),
// - or, given the fuse's history, when the images of an argument solid do not
//   hold that solid's volume (it vanished, shrank or grew) within
//   fuseImageTolerance (the exact argument's within fuseVolumeTolerance),
// - holds a solid that is no piece of any argument solid,
// - or does not fill the exact argument when it must hold all,
// the others within fuseVolumeTolerance. The kernel can do any of these without an
// alert. Every solid is measured once, in parallel.
void checkVolumeKept(const TopTools_ListOfShape& arguments, const TopoDS_Shape& result,
                     const GeneralFuseOptions& options, const Handle(BRepTools_History) & history = nullptr);
// The message checkVolumeKept would raise; empty when the result is sound.
std::string volumeFault(const TopTools_ListOfShape& arguments, const TopoDS_Shape& result,
                        const GeneralFuseOptions& options, const Handle(BRepTools_History) & history = nullptr);

// Names as a message lists them: "A", "A and B", "A, B and C"; a long list
// ends in how many more there are.
std::string listText(const std::vector<std::string>& names);

// The pieces that a fuse of the shapes works on: the solids at any depth, then
// the faces not inside a solid, the edges not inside a face and the vertices
// not inside an edge, each pass in list order. Compounds, compsolids, shells
// and wires are opened rather than dropped, so no geometry is lost. Solids
// without faces are dropped with a warning.
// When origins is given, it receives for each piece the position of the
// shape in the list it came from.
TopTools_ListOfShape flattenToPieces(const TopTools_ListOfShape& shapes, std::vector<int>* origins = nullptr);
