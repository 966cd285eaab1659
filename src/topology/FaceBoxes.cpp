#include "topology/FaceBoxes.h"

#include <mutex>
#include <shared_mutex>

#include <BRepBndLib.hxx>
#include <Standard_Failure.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>

#include "misc/ParallelFor.h"
#include "topology/ShapeAlgorithms.h"

void FaceBoxes::measure(const std::vector<TopoDS_Shape>& shapes)
{
    for (const TopoDS_Shape& shape : shapes) {
        if (!shape.IsNull()) {
            TopExp::MapShapes(shape, TopAbs_FACE, faces_);
        }
    }
    boxes_.assign(static_cast<std::size_t>(faces_.Extent()), Bnd_Box());
    measured_.assign(boxes_.size(), 0);
    parallelForDynamic(faces_.Extent(), [&](int index) {
        const auto slot = static_cast<std::size_t>(index);
        // Triangulations are read, as by the statistics themselves.
        std::shared_lock<std::shared_mutex> lock(shapeMeshMutex());
        try {
            Bnd_Box box;
            box.SetGap(0.0);
            BRepBndLib::AddOptimal(faces_(index + 1), box, true, false);
            boxes_[slot] = box;
            measured_[slot] = 1;
        } catch (const Standard_Failure&) {
            // Measured again with the whole shape, which raises the failure.
        }
    });
}

bool FaceBoxes::boxOf(const TopoDS_Shape& shape, Bnd_Box& box) const
{
    if (shape.IsNull() || TopExp_Explorer(shape, TopAbs_EDGE, TopAbs_FACE).More() ||
        TopExp_Explorer(shape, TopAbs_VERTEX, TopAbs_EDGE).More()) {
        return false;
    }
    Bnd_Box result;
    result.SetGap(0.0);
    for (TopExp_Explorer explorer(shape, TopAbs_FACE); explorer.More(); explorer.Next()) {
        const int index = faces_.FindIndex(explorer.Current());
        if (index == 0 || measured_[static_cast<std::size_t>(index - 1)] == 0) {
            return false;
        }
        result.Add(boxes_[static_cast<std::size_t>(index - 1)]);
    }
    if (result.IsVoid()) {
        return false;
    }
    box = result;
    return true;
}
