// The search for entities that are the same shape as a target finds exactly
// what comparing the target with every entity finds.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GroupFixtures.h"
#include "geometryData/SameShapeSearch.h"
#include "topology/ShapeStatistics.h"
#include "geometryData/TopoEntity.h"
#include "topology/ShapeAlgorithms.h"

using namespace groupFixtures;

namespace {


} // namespace

TEST(SameShapeSearch, FindsWhatTheFullComparisonFinds)
{
    // The six faces of a unit cube, a compound entity holding a square like
    // the cube's top and one far away, and two solids.
    std::vector<std::shared_ptr<TopoEntity>> entities;
    const TopoDS_Shape cube = unitCube();
    const char* sides[] = {"x0", "x1", "y0", "y1", "z0", "z1"};
    for (int axis = 0, i = 0; axis < 3; ++axis) {
        for (double value : {0.0, 1.0}) {
            entities.push_back(entity(planarFace(cube, axis, value), sides[i++]));
        }
    }
    entities.push_back(entity(compoundOf(squareAt(0, 0, 1), squareAt(5, 5, 1)), "pair"));
    entities.push_back(entity(cube, "cube"));
    entities.push_back(entity(boxAt(2, 0, 0), "other"));

    using Names = std::vector<std::string>;
    const struct {
        const char* name;
        int dimension;
        TopoDS_Shape target;
        Names expected; // worked out from the shapes
    } cases[] = {
        {"a square like the bottom", 2, squareAt(0, 0, 0), {"z0"}},
        {"a square like the top: the face and the compound holding one", 2, squareAt(0, 0, 1), {"z1", "pair"}},
        {"a compound of bottom and top", 2, compoundOf(squareAt(0, 0, 0), squareAt(0, 0, 1)), {"z0", "z1", "pair"}},
        // Within the identity test's tolerances: area 0.08 % larger, centre 0.0002 away.
        {"a square a little larger than the bottom", 2, squareAt(0, 0, 0, 1.0004), {"z0"}},
        {"a square apart from the cube", 2, squareAt(3, 3, 0), {}},
        {"a solid among faces", 2, cube, {}},
        {"the cube among solids", 3, boxAt(0, 0, 0), {"cube"}},
        {"a null target", 3, TopoDS_Shape(), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SameShapeSearch search(entities, c.dimension);
        const Names found = namesOf(search.sameAs(c.target));
        EXPECT_EQ(found, c.expected);
        Names compared;
        for (const auto& e : entities) {
            if (e->getDimensionType() == c.dimension && isSameShape(e->getShape(), c.target)) {
                compared.push_back(e->getName());
            }
        }
        EXPECT_EQ(found, compared);
    }
}

// The statistics boxes follow whatever triangulation the comparisons left, so
// the entities the search passes over must be left meshed as the full
// comparison would have left them.
TEST(SameShapeSearch, LeavesTheTriangulationsOfTheFullComparison)
{
    const auto makeModel = [] {
        // The cube's own faces share its geometry; a face meshed alone gets a
        // finer deflection than as part of the cube.
        const TopoDS_Shape cube = unitCube();
        std::vector<std::shared_ptr<TopoEntity>> entities;
        entities.push_back(entity(planarFace(cube, 2, 1.0), "top"));
        entities.push_back(entity(cube, "cube"));
        entities.push_back(entity(boxAt(2, 0, 0), "other"));
        entities.push_back(entity(planarFace(cube, 0, 0.0), "side"));
        return entities;
    };
    const auto searched = makeModel();
    const auto compared = makeModel();
    const TopoDS_Shape targets[] = {boxAt(2, 0, 0), squareAt(5, 5, 5)};
    for (const auto& target : targets) {
        const int dimension = getMainShapeType(target) == TopAbs_SOLID ? 3 : 2;
        SameShapeSearch(searched, dimension).sameAs(target);
        for (const auto& e : compared) {
            if (e->getDimensionType() == dimension) {
                isSameShape(e->getShape(), target);
            }
        }
    }
    for (std::size_t i = 0; i < searched.size(); ++i) {
        SCOPED_TRACE(searched[i]->getName());
        ShapeStatistics a;
        ShapeStatistics b;
        getShapeStatistics(searched[i]->getShape(), a);
        getShapeStatistics(compared[i]->getShape(), b);
        EXPECT_EQ(a.minX, b.minX);
        EXPECT_EQ(a.maxX, b.maxX);
        EXPECT_EQ(a.minZ, b.minZ);
        EXPECT_EQ(a.maxZ, b.maxZ);
    }
}
