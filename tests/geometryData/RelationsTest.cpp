#include <gtest/gtest.h>

#include "GroupFixtures.h"
#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"

using namespace groupFixtures;
using Names = std::vector<std::string>;

namespace {

// The solids and faces of two unit boxes sharing the face x=1, made
// conforming; the shared face is named "Shared", the others Face_<i>.
GeometryData twoTouchingBoxes()
{
    const TopoDS_Shape pieces = fused({box(0, 0, 0, 1, 1, 1), box(1, 0, 0, 2, 1, 1)});
    GeometryData model("unused");
    TopTools_IndexedMapOfShape faces;
    TopTools_IndexedMapOfShape solids;
    TopExp::MapShapes(pieces, TopAbs_FACE, faces);
    TopExp::MapShapes(pieces, TopAbs_SOLID, solids);
    for (int i = 1; i <= solids.Extent(); ++i) {
        model.addEntity(entity(solids(i), centreOf(solids(i)).X() < 1.0 ? "A" : "B"));
    }
    for (int i = 1; i <= faces.Extent(); ++i) {
        model.addEntity(entity(faces(i), liesInPlane(faces(i), 0, 1.0) ? "Shared" : "Face_" + std::to_string(i)));
    }
    return model;
}

} // namespace

TEST(RelationsTest, LinksDomainsThroughSharedFace)
{
    struct Case {
        std::string what;
        std::vector<std::pair<std::string, Names>> domains;
        Names wallDomains;
        bool inDomain;
    };
    const std::vector<Case> cases = {
        {"one domain holds both solids", {{"Both", {"A", "B"}}}, {"Both"}, true},
        {"one domain per solid", {{"Left", {"A"}}, {"Right", {"B"}}}, {"Left", "Right"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GeometryData model = twoTouchingBoxes();
        ASSERT_EQ(model.getDimension(), 3);
        for (const auto& [name, members] : c.domains) {
            model.addDomain(std::make_shared<DomainGroup>(groupEntry(name, members), model.getEntities()));
        }
        model.addBoundary(std::make_shared<BoundaryGroup>(groupEntry("Wall", {"Shared"}), model.getEntities()));
        model.buildRelations();

        auto relations = model.getRelations();
        EXPECT_EQ(relations["Shared"], Names({"A", "B"}));
        EXPECT_EQ(relations["A"].size(), 6U);
        EXPECT_EQ(relations["B"].size(), 6U);
        EXPECT_EQ(relations.size(), 13U); // 2 solids, 11 faces
        for (const auto& [name, related] : relations) {
            if (name != "A" && name != "B" && name != "Shared") {
                EXPECT_EQ(related.size(), 1U) << name;
            }
        }

        const auto wall = model.getBoundary("Wall");
        Names linked;
        for (const auto& domain : wall->getDomains()) {
            linked.push_back(domain->getName());
        }
        EXPECT_EQ(linked, c.wallDomains);
        for (const auto& domain : model.getDomains()) {
            ASSERT_EQ(domain->getBoundaries().size(), 1U);
            EXPECT_EQ(domain->getBoundaries().front()->getName(), "Wall");
        }
        EXPECT_EQ(wall->isInDomain(), c.inDomain);
    }
}

TEST(RelationsTest, FaceRelatesToFirstTwoSolidsOnly)
{
    // Three solids touch the face x=1 of A: B below y=1 and C above it.
    const TopoDS_Shape a = box(0, 0, 0, 1, 2, 1);
    GeometryData model("unused");
    model.addEntity(entity(a, "A"));
    model.addEntity(entity(box(1, 0, 0, 2, 1, 1), "B"));
    model.addEntity(entity(box(1, 1, 0, 2, 2, 1), "C"));
    model.addEntity(entity(planarFace(a, 0, 1.0), "Contact"));
    // A far-away face that touches nothing.
    model.addEntity(entity(planarFace(box(5, 5, 5, 6, 6, 6), 2, 6.0), "Far"));
    ASSERT_EQ(model.getDimension(), 3);
    model.buildRelations();

    auto relations = model.getRelations();
    EXPECT_EQ(relations["Contact"], Names({"A", "B"}));
    EXPECT_EQ(relations["A"], Names({"Contact"}));
    EXPECT_EQ(relations["B"], Names({"Contact"}));
    EXPECT_TRUE(relations["C"].empty());
    EXPECT_TRUE(relations["Far"].empty());
}

TEST(RelationsTest, InnerBoundariesAndLinkOrder)
{
    GeometryData model = twoTouchingBoxes();
    std::string left;
    std::string right;
    for (const auto& entity : model.getEntities()) {
        if (entity->getDimension() == 2 && liesInPlane(entity->getShape(), 0, 0.0)) {
            left = entity->getName();
        } else if (entity->getDimension() == 2 && liesInPlane(entity->getShape(), 0, 2.0)) {
            right = entity->getName();
        }
    }
    ASSERT_FALSE(left.empty());
    ASSERT_FALSE(right.empty());
    ASSERT_EQ(model.getDimension(), 3);
    model.addDomain(std::make_shared<DomainGroup>(groupEntry("Both", {"A", "B"}), model.getEntities()));
    model.addDomain(std::make_shared<DomainGroup>(groupEntry("OnlyB", {"B"}), model.getEntities()));
    // The shared face is claimed by the first boundary that holds it alone;
    // a boundary with an outer face as well is not inside the domain.
    struct Expected {
        std::string name;
        Names faces;
        bool inDomain;
        Names domains;
    };
    const std::vector<Expected> expected = {
        {"Right", {right}, false, {"Both", "OnlyB"}},
        {"Left", {left}, false, {"Both"}},
        {"Wall", {"Shared"}, true, {"Both", "OnlyB"}},
        {"Mixed", {"Shared", right}, false, {"Both", "OnlyB"}},
        {"Again", {"Shared"}, false, {"Both", "OnlyB"}},
    };
    for (const auto& boundary : expected) {
        model.addBoundary(std::make_shared<BoundaryGroup>(groupEntry(boundary.name, boundary.faces), model.getEntities()));
    }
    model.buildRelations();

    for (const auto& boundary : expected) {
        SCOPED_TRACE(boundary.name);
        const auto group = model.getBoundary(boundary.name);
        EXPECT_EQ(group->isInDomain(), boundary.inDomain);
        Names linked;
        for (const auto& domain : group->getDomains()) {
            linked.push_back(domain->getName());
        }
        EXPECT_EQ(linked, boundary.domains);
    }
    // A domain lists its boundaries entity by entity: A's first, then B's new ones.
    const auto namesOf = [](const std::shared_ptr<DomainGroup>& domain) {
        Names names;
        for (const auto& boundary : domain->getBoundaries()) {
            names.push_back(boundary->getName());
        }
        return names;
    };
    EXPECT_EQ(namesOf(model.getDomain("Both")), Names({"Left", "Wall", "Mixed", "Again", "Right"}));
    EXPECT_EQ(namesOf(model.getDomain("OnlyB")), Names({"Right", "Wall", "Mixed", "Again"}));
}
