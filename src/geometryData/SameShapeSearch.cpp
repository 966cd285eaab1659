#include "geometryData/SameShapeSearch.h"

#include <algorithm>

#include "geometryData/TopoEntity.h"
#include "topology/BoundedMesh.h"

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
        measures.push_back(single ? identityMeasureOf(shape, dimension) : IdentityMeasure());
    }
}

std::vector<std::shared_ptr<TopoEntity>> SameShapeSearch::sameAs(const TopoDS_Shape& target) const
{
    std::vector<std::shared_ptr<TopoEntity>> found;
    if (target.IsNull()) {
        return found;
    }
    const std::vector<TopoDS_Shape> pieces = identityPieces(target);
    std::vector<IdentityMeasure> parts;
    for (const auto& piece : pieces) {
        parts.push_back(identityMeasureOf(piece, dimension));
    }
    for (std::size_t i = 0; i < members.size(); ++i) {
        const bool near = !measured[i] || std::any_of(parts.begin(), parts.end(), [&](const IdentityMeasure& part) {
            return mayBeSameByMeasure(measures[i], part, dimension);
        });
        const MeshSubject subject("comparing " + members[i]->getName());
        if (near) {
            if (isSameShape(members[i]->getShape(), target)) {
                found.push_back(members[i]);
            }
        } else {
            meshAsIdentityTestWould(members[i]->getShape(), pieces);
        }
    }
    return found;
}

void SameShapeSearch::meshAsSearchWould(const std::vector<std::shared_ptr<TopoEntity>>& entities, int dimension,
                                        const TopoDS_Shape& target)
{
    if (target.IsNull()) {
        return;
    }
    // The comparison of a member with the target's pieces meshes the member
    // and each piece of its type in turn and stops at the piece that matches it.
    const std::vector<TopoDS_Shape> pieces = identityPieces(target);
    for (const auto& entity : entities) {
        const TopoDS_Shape member = entity->getShape();
        if (entity->getDimensionType() != dimension || member.IsNull()) {
            continue;
        }
        const auto match = std::find_if(pieces.begin(), pieces.end(),
                                        [&](const TopoDS_Shape& piece) { return piece.IsSame(member); });
        const std::vector<TopoDS_Shape> compared(pieces.begin(), match == pieces.end() ? match : match + 1);
        const MeshSubject subject("comparing " + entity->getName());
        meshAsIdentityTestWould(member, compared);
    }
}
