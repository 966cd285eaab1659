#pragma once

#include <vector>

#include <BRepAlgoAPI_BuilderAlgo.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRep_Builder.hxx>
#include <Geom_Line.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Shape.hxx>
#include <TopoDS_Solid.hxx>
#include <gp_Ax2.hxx>
#include <gp_Circ.hxx>
#include <gp_Pnt.hxx>

// Small shapes with measures known by hand.

// Axis-aligned box from the corner (x, y, z) with the given sizes.
inline TopoDS_Shape boxAt(double x, double y, double z, double dx = 1, double dy = 1, double dz = 1)
{
    return BRepPrimAPI_MakeBox(gp_Pnt(x, y, z), dx, dy, dz).Shape();
}

// Axis-aligned box between two opposite corners.
inline TopoDS_Shape box(double x0, double y0, double z0, double x1, double y1, double z1)
{
    return BRepPrimAPI_MakeBox(gp_Pnt(x0, y0, z0), gp_Pnt(x1, y1, z1)).Shape();
}

inline TopoDS_Shape unitCube() { return boxAt(0, 0, 0); }

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

// Rectangle [x0, x1] x [y0, y1] in the plane z, as one face.
inline TopoDS_Shape rectangleAt(double x0, double y0, double x1, double y1, double z = 0.0)
{
    return quad(gp_Pnt(x0, y0, z), gp_Pnt(x1, y0, z), gp_Pnt(x1, y1, z), gp_Pnt(x0, y1, z));
}

// Disk of the radius centred on the origin in the plane z = 0.
inline TopoDS_Shape disk(double radius)
{
    const gp_Circ circle(gp_Ax2(gp_Pnt(0, 0, 0), gp_Dir(0, 0, 1)), radius);
    return BRepBuilderAPI_MakeFace(BRepBuilderAPI_MakeWire(BRepBuilderAPI_MakeEdge(circle).Edge()).Wire()).Face();
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

// A solid without shells: no faces, no volume.
inline TopoDS_Shape emptySolid()
{
    TopoDS_Solid solid;
    BRep_Builder().MakeSolid(solid);
    return solid;
}

inline TopoDS_Shape vertexAt(double x, double y, double z)
{
    return BRepBuilderAPI_MakeVertex(gp_Pnt(x, y, z)).Shape();
}

inline TopoDS_Shape compoundOf(const std::vector<TopoDS_Shape>& shapes)
{
    BRep_Builder builder;
    TopoDS_Compound compound;
    builder.MakeCompound(compound);
    for (const auto& shape : shapes) {
        builder.Add(compound, shape);
    }
    return compound;
}

template <typename... Shapes>
TopoDS_Shape compoundOf(const Shapes&... shapes)
{
    return compoundOf(std::vector<TopoDS_Shape>{shapes...});
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

// The first sub-shape of a type, null when there is none.
inline TopoDS_Shape firstOf(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    return TopExp_Explorer(shape, type).Current();
}
