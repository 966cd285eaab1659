#pragma once

#include <vector>

#include <Bnd_Box.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS_Shape.hxx>

// The statistics box of a shape (BRepBndLib::AddOptimal with triangulation
// use, without shape tolerances, gap 0) is the union of its faces' boxes when
// every edge lies on a face and every vertex on an edge: the kernel measures
// each face into a box of its own and only takes the union. Measuring the
// model's faces once here, on many threads, spares a face shared by two
// solids its second measure (on curved faces each is a search over the
// surface) and splits the work of a large solid across threads; the union
// gives the same doubles as measuring the solid whole.
class FaceBoxes {
public:
    // Measures every face of the shapes, each distinct face (same face, same
    // location) once, in parallel. A face whose measure fails is left to the
    // whole-shape measure, which reports the failure as it always does.
    void measure(const std::vector<TopoDS_Shape>& shapes);

    // The shape's box from the measured faces; false when it cannot be
    // assembled from them (edges or vertices outside faces, a face not
    // measured or failed, no face at all): measure the shape itself then.
    bool boxOf(const TopoDS_Shape& shape, Bnd_Box& box) const;

private:
    TopTools_IndexedMapOfShape faces_;
    std::vector<Bnd_Box> boxes_;
    std::vector<char> measured_;
};
