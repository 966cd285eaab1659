#include "geometryData/SameShapeSearch.h"

#include <algorithm>
#include <cmath>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>
#include <TopExp_Explorer.hxx>

#include "geometryData/TopoEntity.h"
#include "topology/ShapeAlgorithms.h"

SameShapeSearch::SameShapeSearch(const std::vector<std::shared_ptr<TopoEntity>>& entities, int dimension)
    : dimension(dimension)
{
    for (const auto& entity : entities) {
        if (entity->getDimensionType() != dimension) {
            continue;
        }
        const TopoDS_Shape shape = entity->getShape();
        members.push_back(entity);
        // A compound is the same as a target when any of its pieces is: its
        // own measure says nothing.
        const bool single = !shape.IsNull() && shape.ShapeType() != TopAbs_COMPOUND;
        measured.push_back(single);
        measures.push_back(single ? measureOf(shape) : Measure());
    }
}

std::vector<std::shared_ptr<TopoEntity>> SameShapeSearch::sameAs(const TopoDS_Shape& target) const
{
    std::vector<std::shared_ptr<TopoEntity>> found;
    if (target.IsNull()) {
        return found;
    }
    const std::vector<TopoDS_Shape> pieces = piecesOf(target);
    std::vector<Measure> parts;
    for (const auto& piece : pieces) {
        parts.push_back(measureOf(piece));
    }
    for (std::size_t i = 0; i < members.size(); ++i) {
        const bool near = !measured[i] || std::any_of(parts.begin(), parts.end(), [&](const Measure& part) {
            return mayBeSame(measures[i], part);
        });
        if (near) {
            if (isSameShape(members[i]->getShape(), target)) {
                found.push_back(members[i]);
            }
        } else {
            meshAsComparisonWould(members[i]->getShape(), pieces);
        }
    }
    return found;
}

// The parts of the target that a member is compared with, in the order of the comparison.
std::vector<TopoDS_Shape> SameShapeSearch::piecesOf(const TopoDS_Shape& target)
{
    std::vector<TopoDS_Shape> pieces;
    if (target.ShapeType() == TopAbs_COMPOUND) {
        for (TopExp_Explorer explorer(target, getMainShapeType(target)); explorer.More(); explorer.Next()) {
            pieces.push_back(explorer.Current());
        }
    } else {
        pieces.push_back(target);
    }
    return pieces;
}

// The comparison of a member with the target's pieces meshes the member and
// each piece of its type in turn and stops at the piece that matches it.
void SameShapeSearch::meshAsSearchWould(const std::vector<std::shared_ptr<TopoEntity>>& entities, int dimension,
                                        const TopoDS_Shape& target)
{
    if (target.IsNull()) {
        return;
    }
    const std::vector<TopoDS_Shape> pieces = piecesOf(target);
    for (const auto& entity : entities) {
        const TopoDS_Shape member = entity->getShape();
        if (entity->getDimensionType() != dimension || member.IsNull()) {
            continue;
        }
        const TopAbs_ShapeEnum type = member.ShapeType();
        if (type != TopAbs_SOLID && type != TopAbs_FACE && type != TopAbs_EDGE) {
            continue;
        }
        for (const auto& piece : pieces) {
            if (piece.ShapeType() != type) {
                continue;
            }
            meshShape(member);
            meshShape(piece);
            if (piece.IsSame(member)) {
                break;
            }
        }
    }
}

// The full comparison triangulates both shapes before it measures them, and
// the statistics boxes follow those triangulations: a member passed over must
// be left meshed exactly as the comparison would have left it, in the same
// order (the member first, then each piece of the target of its type).
void SameShapeSearch::meshAsComparisonWould(const TopoDS_Shape& member, const std::vector<TopoDS_Shape>& pieces)
{
    const TopAbs_ShapeEnum type = member.ShapeType();
    if (type != TopAbs_SOLID && type != TopAbs_FACE && type != TopAbs_EDGE) {
        return;
    }
    for (const auto& piece : pieces) {
        if (piece.ShapeType() == type) {
            meshShape(member);
            meshShape(piece);
        }
    }
}

// The exact-geometry properties that the identity test compares.
SameShapeSearch::Measure SameShapeSearch::measureOf(const TopoDS_Shape& shape) const
{
    GProp_GProps properties;
    if (dimension == 3) {
        BRepGProp::VolumeProperties(shape, properties, false, false, false);
    } else if (dimension == 2) {
        BRepGProp::SurfaceProperties(shape, properties, false, false);
    } else {
        BRepGProp::LinearProperties(shape, properties, false, false);
    }
    return {properties.Mass(), properties.CentreOfMass()};
}

// A necessary condition of the identity test (twice its tolerances, which it
// takes from the entity), so that no match is ever passed over.
bool SameShapeSearch::mayBeSame(const Measure& entity, const Measure& part) const
{
    const double mass = std::fabs(entity.mass);
    if (std::fabs(entity.mass - part.mass) > 0.002 * mass + 1e-12) {
        return false;
    }
    const double size = dimension == 3 ? std::cbrt(mass) : dimension == 2 ? std::sqrt(mass) : mass;
    return entity.centre.Distance(part.centre) <= 0.002 * size + 1e-12;
}
