#pragma once

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS_Shape.hxx>
#include <gp_Pnt.hxx>

// Measures and counts to check shapes against values known by hand.

// Distinct sub-shapes of a type, as the kernel's map counts them.
inline int countOf(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    TopTools_IndexedMapOfShape map;
    TopExp::MapShapes(shape, type, map);
    return map.Extent();
}

// Sub-shapes of a type as an explorer visits them: a sub-shape met through
// several parents counts each time.
inline int occurrencesOf(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    int count = 0;
    for (TopExp_Explorer explorer(shape, type); explorer.More(); explorer.Next()) {
        ++count;
    }
    return count;
}

inline double volumeOf(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(shape, properties);
    return properties.Mass();
}

inline double lengthOf(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::LinearProperties(shape, properties);
    return properties.Mass();
}

inline double areaOf(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::SurfaceProperties(shape, properties);
    return properties.Mass();
}

inline gp_Pnt centreOf(const TopoDS_Shape& solid)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(solid, properties);
    return properties.CentreOfMass();
}
