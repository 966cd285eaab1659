#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRep_Builder.hxx>
#include <Geom_Line.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Edge.hxx>
#include <gp_Pnt.hxx>

// Small shapes with measures known by hand.

inline TopoDS_Shape boxAt(double x, double y, double z, double dx, double dy, double dz)
{
    return BRepPrimAPI_MakeBox(gp_Pnt(x, y, z), dx, dy, dz).Shape();
}

inline TopoDS_Shape unitCube() { return boxAt(0, 0, 0, 1, 1, 1); }

inline TopoDS_Shape cylinder(double radius, double height)
{
    return BRepPrimAPI_MakeCylinder(radius, height).Shape();
}

// Planar face bounded by the polygon a-b-c-d.
inline TopoDS_Shape quad(gp_Pnt a, gp_Pnt b, gp_Pnt c, gp_Pnt d)
{
    return BRepBuilderAPI_MakeFace(BRepBuilderAPI_MakePolygon(a, b, c, d, true).Wire(), true).Shape();
}

// Axis-aligned square [x0, x0 + size] x [y0, y0 + size] in the plane z.
inline TopoDS_Shape squareAt(double x0, double y0, double z, double size = 1.0)
{
    return quad(gp_Pnt(x0, y0, z), gp_Pnt(x0 + size, y0, z), gp_Pnt(x0 + size, y0 + size, z),
                gp_Pnt(x0, y0 + size, z));
}

inline TopoDS_Shape segment(gp_Pnt a, gp_Pnt b) { return BRepBuilderAPI_MakeEdge(a, b).Shape(); }

// Straight edge along X from the origin, without vertices, so that lengths
// below the kernel's point precision can be built.
inline TopoDS_Shape lineEdge(double length)
{
    BRep_Builder builder;
    TopoDS_Edge edge;
    builder.MakeEdge(edge, new Geom_Line(gp_Pnt(0, 0, 0), gp_Dir(1, 0, 0)), 1e-12);
    builder.Range(edge, 0.0, length);
    return edge;
}

inline TopoDS_Shape vertexAt(double x, double y, double z)
{
    return BRepBuilderAPI_MakeVertex(gp_Pnt(x, y, z)).Shape();
}

template <typename... Shapes>
TopoDS_Shape compoundOf(const Shapes&... shapes)
{
    BRep_Builder builder;
    TopoDS_Compound compound;
    builder.MakeCompound(compound);
    (builder.Add(compound, shapes), ...);
    return compound;
}

// A fresh, empty scratch directory below the test environment's TEMP.
inline std::string scratchDirectory(const std::string& name)
{
    const char* temp = std::getenv("TEMP");
    const std::filesystem::path directory =
        std::filesystem::path(temp != nullptr ? temp : std::filesystem::temp_directory_path().string()) / name;
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    return directory.string();
}
