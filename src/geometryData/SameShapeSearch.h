#pragma once

#include <memory>
#include <vector>

#include <TopoDS_Shape.hxx>

#include "topology/ShapeAlgorithms.h"

class TopoEntity;

// Finds, among the entities of one dimension, those that are the same shape as
// a target (isSameShape: a compound target stands for its parts). The
// entities' measures are taken once; only an entity that the identity test's
// pre-test over those measures lets through is compared in full, so a search
// does not measure every entity against every target. The others are only
// triangulated as the full comparison would have left them.
class SameShapeSearch {
public:
    SameShapeSearch(const std::vector<std::shared_ptr<TopoEntity>>& entities, int dimension);

    // The matching entities, in entity order; none for a null target.
    std::vector<std::shared_ptr<TopoEntity>> sameAs(const TopoDS_Shape& target) const;

    // For a caller that knows the matches already (the very pieces of the
    // target, from an operation's history): leaves the entities of the
    // dimension triangulated exactly as a search for the target would have,
    // without measuring or comparing anything.
    static void meshAsSearchWould(const std::vector<std::shared_ptr<TopoEntity>>& entities, int dimension,
                                  const TopoDS_Shape& target);

private:
    int dimension;
    std::vector<std::shared_ptr<TopoEntity>> members;
    // Measures of the members; a compound member has none and is always compared in full.
    std::vector<IdentityMeasure> measures;
    std::vector<bool> measured;
};
