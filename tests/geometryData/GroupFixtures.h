#pragma once

// Faces, entities and group entries for the group, relation, finalisation
// and partition tests; the shapes come from the shared builders.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <BRepBndLib.hxx>
#include <Bnd_Box.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_Shape.hxx>
#include <nlohmann/json.hpp>

#include "geometryData/TopoEntity.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"

namespace groupFixtures {

struct Extent {
    double xmin, ymin, zmin, xmax, ymax, zmax;
};

inline Extent extentOf(const TopoDS_Shape& shape)
{
    Bnd_Box bounds;
    BRepBndLib::Add(shape, bounds, false);
    Extent e{};
    bounds.Get(e.xmin, e.ymin, e.zmin, e.xmax, e.ymax, e.zmax);
    return e;
}

// Whether the shape lies in the plane x = value (axis 0), y = value (1) or z = value (2).
inline bool liesInPlane(const TopoDS_Shape& shape, int axis, double value)
{
    constexpr double tolerance = 1e-5;
    if (shape.IsNull()) {
        return false;
    }
    const Extent e = extentOf(shape);
    const double low = axis == 0 ? e.xmin : axis == 1 ? e.ymin : e.zmin;
    const double high = axis == 0 ? e.xmax : axis == 1 ? e.ymax : e.zmax;
    return std::abs(low - value) < tolerance && std::abs(high - value) < tolerance;
}

// The face of a shape lying in such a plane.
inline TopoDS_Shape planarFace(const TopoDS_Shape& shape, int axis, double value)
{
    for (TopExp_Explorer explorer(shape, TopAbs_FACE); explorer.More(); explorer.Next()) {
        if (liesInPlane(explorer.Current(), axis, value)) {
            return explorer.Current();
        }
    }
    return TopoDS_Shape();
}

inline std::shared_ptr<TopoEntity> entity(const TopoDS_Shape& shape, const std::string& name, int id = 0)
{
    return std::make_shared<TopoEntity>(shape, name, id);
}

inline nlohmann::json groupEntry(const std::string& name, const std::vector<std::string>& entityNames)
{
    return nlohmann::json{{"name", name}, {"entities", entityNames}};
}

// The names of the entities or groups pointed to, in order.
template <typename Pointers>
std::vector<std::string> namesOf(const Pointers& items)
{
    std::vector<std::string> names;
    for (const auto& item : items) {
        names.push_back(item->getName());
    }
    return names;
}

} // namespace groupFixtures
