#pragma once

#include <memory>
#include <vector>

#include <TopoDS_Shape.hxx>
#include <gp_Pnt.hxx>

class TopoEntity;

// Finds, among the entities of one dimension, those that are the same shape as
// a target (isSameShape: a compound target stands for its parts). The
// entities' measures are taken once; only an entity whose measure and centre
// of mass come near a part of the target is compared in full, so a search
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
    struct Measure {
        double mass = 0.0;
        gp_Pnt centre;
    };
    Measure measureOf(const TopoDS_Shape& shape) const;
    bool mayBeSame(const Measure& entity, const Measure& part) const;
    static void meshAsComparisonWould(const TopoDS_Shape& member, const std::vector<TopoDS_Shape>& pieces);
    static std::vector<TopoDS_Shape> piecesOf(const TopoDS_Shape& target);

    int dimension;
    std::vector<std::shared_ptr<TopoEntity>> members;
    // Measures of the members; a compound member has none and is always compared in full.
    std::vector<Measure> measures;
    std::vector<bool> measured;
};
