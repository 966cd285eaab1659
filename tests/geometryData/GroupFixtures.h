#pragma once

// Small shapes and helpers for the group, relation, finalisation and
// partition tests.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <BRepAlgoAPI_BuilderAlgo.hxx>
#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS_Shape.hxx>
#include <nlohmann/json.hpp>

#include "geometryData/TopoEntity.h"

namespace groupFixtures {

inline TopoDS_Shape box(double x0, double y0, double z0, double x1, double y1, double z1)
{
    return BRepPrimAPI_MakeBox(gp_Pnt(x0, y0, z0), gp_Pnt(x1, y1, z1)).Shape();
}

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

inline double volumeOf(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(shape, properties);
    return properties.Mass();
}

inline gp_Pnt centreOf(const TopoDS_Shape& solid)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(solid, properties);
    return properties.CentreOfMass();
}

// The conforming pieces of touching or overlapping shapes.
inline TopoDS_Shape fused(const std::vector<TopoDS_Shape>& shapes)
{
    TopTools_ListOfShape arguments;
    for (const auto& shape : shapes) {
        arguments.Append(shape);
    }
    BRepAlgoAPI_BuilderAlgo fuse;
    fuse.SetArguments(arguments);
    fuse.Build();
    return fuse.Shape();
}

inline int countOf(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    TopTools_IndexedMapOfShape map;
    TopExp::MapShapes(shape, type, map);
    return map.Extent();
}

inline std::shared_ptr<TopoEntity> entity(const TopoDS_Shape& shape, const std::string& name, int id = 0)
{
    return std::make_shared<TopoEntity>(shape, name, id);
}

inline nlohmann::json groupEntry(const std::string& name, const std::vector<std::string>& entityNames)
{
    return nlohmann::json{{"name", name}, {"entities", entityNames}};
}

// A fresh, empty directory below the test environment's TEMP.
inline std::string scratchDirectory(const std::string& name)
{
    const char* temp = std::getenv("TEMP");
    const std::filesystem::path path =
        std::filesystem::path(temp != nullptr ? temp : std::filesystem::temp_directory_path().string()) /
        "groups" / name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path.string();
}

} // namespace groupFixtures
