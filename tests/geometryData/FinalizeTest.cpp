#include <gtest/gtest.h>

#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRep_Builder.hxx>
#include <TopoDS_Compound.hxx>
#include <gp_Ax3.hxx>
#include <gp_Pln.hxx>

#include "GroupFixtures.h"
#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "support/Exceptions.h"
#include "support/ScratchDirectory.h"
#include "vemra_exception.h"

using namespace groupFixtures;
using Names = std::vector<std::string>;

namespace {

// The refusal of two groups of one name, naming it.
std::string namesNotUnique(const std::string& name)
{
    return "Names of boundaries and domains are not unique! Please rename boundaries or domains! The name " + name +
           " is used twice.";
}

// A square face in the plane through (0, 0, z) whose normal makes the given
// angle with +Z (tilted towards +X).
TopoDS_Shape tiltedSquare(double angle, double z = 0.0)
{
    const gp_Dir normal(std::sin(angle), 0.0, std::cos(angle));
    return BRepBuilderAPI_MakeFace(gp_Pln(gp_Ax3(gp_Pnt(0, 0, z), normal)), -1.0, 1.0, -1.0, 1.0).Shape();
}

} // namespace

TEST(FinalizeTest, DefaultGroupsOfOnePartitionedBox)
{
    struct Case {
        GroupMode mode;
        std::string role;
        bool indefinite;
    };
    for (const auto& c : {Case{groupsFromPreprocessor, "indefinite", true}, Case{groupsFromAllEntities, "", false}}) {
        SCOPED_TRACE(c.mode);
        GeometryData model(freshDirectory("groups/FinalizeDefaults"));
        model.setGroupMode(c.mode);
        model.addEntity(entity(box(0, 0, 0, 1, 1, 1), "Cube"));
        model.partition();
        model.finalize();

        // Edges 1-12, faces 13-18, the solid 19; groups draw ids from 1.
        const auto boundaries = model.getBoundaries();
        ASSERT_EQ(boundaries.size(), 6U);
        for (int i = 0; i < 6; ++i) {
            const auto& boundary = boundaries[static_cast<std::size_t>(i)];
            const std::string name = "Face_" + std::to_string(i + 1);
            EXPECT_EQ(boundary->getName(), name);
            EXPECT_EQ(boundary->getLabel(), name);
            EXPECT_EQ(boundary->getId(), i + 1);
            EXPECT_EQ(boundary->getRole(), c.role);
            EXPECT_EQ(boundary->isIndefinite(), c.indefinite);
            ASSERT_EQ(boundary->getEntities().size(), 1U);
            EXPECT_EQ(boundary->getEntities().front()->getId(), 13 + i);
            ASSERT_EQ(boundary->getDomains().size(), 1U);
            EXPECT_EQ(boundary->getDomains().front()->getName(), "Solid_1");
            EXPECT_FALSE(boundary->isInDomain());
        }
        const auto domains = model.getDomains();
        ASSERT_EQ(domains.size(), 1U);
        EXPECT_EQ(domains.front()->getName(), "Solid_1");
        EXPECT_EQ(domains.front()->getId(), 7);
        EXPECT_EQ(domains.front()->getRole(), "");
        EXPECT_EQ(domains.front()->getBoundaries().size(), 6U);
        EXPECT_NEAR(volumeOf(model.getPartitionShape()), 1.0, 1e-9);
    }
}

TEST(FinalizeTest, LoneSolidGetsOnlyADomain)
{
    GeometryData model(freshDirectory("groups/FinalizeLoneSolid"));
    model.addEntity(entity(box(0, 0, 0, 1, 2, 3), "Block", 4));
    model.finalize();
    ASSERT_EQ(model.getDomains().size(), 1U);
    EXPECT_EQ(model.getDomains().front()->getName(), "Block");
    EXPECT_EQ(model.getDomains().front()->getId(), 1);
    EXPECT_TRUE(model.getBoundaries().empty());
    EXPECT_EQ(model.getDimension(), 3);
    EXPECT_NEAR(volumeOf(model.getPartitionShape()), 6.0, 1e-9);
}

TEST(FinalizeTest, DefaultIdsContinueAfterGivenIds)
{
    GeometryData model(freshDirectory("groups/FinalizeIds"));
    const TopoDS_Shape block = box(0, 0, 0, 1, 1, 1);
    model.addEntity(entity(block, "Block"));
    model.addEntity(entity(planarFace(block, 2, 1.0), "Lid"));
    model.addEntity(entity(planarFace(block, 2, 0.0), "Floor"));
    auto top = std::make_shared<BoundaryGroup>(groupEntry("Top", {"Lid"}), model.getEntities());
    top->setId(5);
    model.addBoundary(top);
    model.finalize();

    ASSERT_EQ(model.getBoundaries().size(), 2U);
    EXPECT_EQ(model.getBoundary("Top")->getId(), 5);
    EXPECT_EQ(model.getBoundary("Floor")->getId(), 6);
    ASSERT_EQ(model.getDomains().size(), 1U);
    EXPECT_EQ(model.getDomain("Block")->getId(), 7);
    // Both faces bound the block from outside.
    EXPECT_EQ(model.getDomain("Block")->getBoundaries().size(), 2U);
    EXPECT_FALSE(model.getBoundary("Top")->isInDomain());
}

TEST(FinalizeTest, ComputesDimensionFromEntities)
{
    const TopoDS_Shape cube = box(0, 0, 0, 1, 1, 1);
    const TopoDS_Shape face = planarFace(cube, 2, 0.0);
    TopoDS_Shape edge;
    for (TopExp_Explorer explorer(face, TopAbs_EDGE); explorer.More(); explorer.Next()) {
        edge = explorer.Current();
    }
    const TopoDS_Shape vertex = BRepBuilderAPI_MakeVertex(gp_Pnt(0, 0, 0)).Shape();
    struct Case {
        std::vector<TopoDS_Shape> shapes;
        int dimension;
    };
    const std::vector<Case> cases = {
        {{edge, face, edge}, 2}, {{edge, face, cube, vertex}, 3}, {{edge}, 1}, {{vertex}, 0}};
    for (const auto& c : cases) {
        GeometryData model("unused");
        for (std::size_t i = 0; i < c.shapes.size(); ++i) {
            model.addEntity(entity(c.shapes[i], "E" + std::to_string(i)));
        }
        EXPECT_EQ(model.getDimension(), c.dimension);
    }
}

TEST(FinalizeTest, OrientsFacesFacingDownwards)
{
    const double pi = std::acos(-1.0);
    struct Case {
        std::string what;
        double angle;
        TopAbs_Orientation given;
        TopAbs_Orientation expected;
        bool changed;
    };
    const std::vector<Case> cases = {
        {"forward, normal -Z", pi, TopAbs_FORWARD, TopAbs_REVERSED, true},
        {"reversed, normal -Z", pi, TopAbs_REVERSED, TopAbs_REVERSED, true},
        {"reversed, normal +Z", 0.0, TopAbs_REVERSED, TopAbs_REVERSED, false},
        {"forward, normal +Z", 0.0, TopAbs_FORWARD, TopAbs_FORWARD, false},
        {"3.1 rad from +Z", 3.1, TopAbs_FORWARD, TopAbs_REVERSED, true},
        {"3.0 rad from +Z", 3.0, TopAbs_FORWARD, TopAbs_FORWARD, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GeometryData model("unused");
        model.addEntity(entity(tiltedSquare(c.angle).Oriented(c.given), "Tested"));
        // An upward face far away keeps the partition shape a fresh fuse of two faces.
        model.addEntity(entity(tiltedSquare(0.0, 10.0), "Reference"));
        ASSERT_EQ(model.getDimension(), 2);
        const TopoDS_Shape before = model.getPartitionShape();
        model.orientFaces2D();
        EXPECT_EQ(model.getEntity("Tested")->getShape().Orientation(), c.expected);
        EXPECT_EQ(model.getEntity("Reference")->getShape().Orientation(), TopAbs_FORWARD);
        EXPECT_EQ(!model.getPartitionShape().IsSame(before), c.changed);
    }

    // An entity made of several faces is left as it is.
    TopoDS_Compound pair;
    BRep_Builder builder;
    builder.MakeCompound(pair);
    builder.Add(pair, tiltedSquare(pi));
    builder.Add(pair, tiltedSquare(pi, 5.0));
    GeometryData model("unused");
    model.addEntity(entity(pair, "Pair"));
    ASSERT_EQ(model.getDimension(), 2);
    model.orientFaces2D();
    EXPECT_TRUE(model.getEntity("Pair")->getShape().IsEqual(pair));
}

TEST(FinalizeTest, RefusesUnsafeModels)
{
    struct Case {
        std::string what;
        std::string directory;
        Names domains;
        Names boundaries;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"no working directory", "", {}, {}, "Working directory not set in GeometryData. Please report this to Vemra support!"},
        {"a domain and a boundary share a name", "dir", {"Same"}, {"Same"}, namesNotUnique("Same")},
        {"two domains share a name", "dir", {"Twice", "Twice"}, {}, namesNotUnique("Twice")},
        // The ungrouped solid's default domain takes the name "Block".
        {"a default group takes a given name", "dir", {}, {"Block"}, namesNotUnique("Block")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GeometryData model(c.directory.empty() ? "" : freshDirectory("groups/FinalizeNames"));
        const TopoDS_Shape block = box(0, 0, 0, 1, 1, 1);
        model.addEntity(entity(block, "Block"));
        model.addEntity(entity(planarFace(block, 2, 1.0), "Lid"));
        for (const auto& name : c.domains) {
            model.addDomain(std::make_shared<DomainGroup>(groupEntry(name, {"Block"}), model.getEntities()));
        }
        for (const auto& name : c.boundaries) {
            model.addBoundary(std::make_shared<BoundaryGroup>(groupEntry(name, {"Lid"}), model.getEntities()));
        }
        expectMessage([&] { model.finalize(); }, c.message);
    }
}

// A group whose members an operation's history gave keeps them while they
// are the model's entities, whatever else the search for its shape would
// find; once they are gone it is refilled from its shape like any other.
TEST(FinalizeTest, MembersFromHistoryAreKeptWhileTheyAreTheModels)
{
    struct Case {
        const char* name;
        bool fromHistory;
        bool staleMember;
        Names expected;
    };
    const std::vector<Case> cases = {
        {"from history, current", true, false, {"Solid_1"}},
        {"searched", false, false, {"Solid_1", "Solid_2"}},
        {"from history, replaced by the partition", true, true, {"Solid_1", "Solid_2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GeometryData model(freshDirectory("groups/FinalizeKeepsMembers"));
        model.setGroupMode(groupsFromPreprocessor);
        const auto left = entity(box(0, 0, 0, 1, 1, 1), "Left");
        model.addEntity(left);
        model.addEntity(entity(box(3, 0, 0, 4, 1, 1), "Right"));
        model.partition();

        // One member, and a shape that covers both solids.
        auto group = std::make_shared<DomainGroup>();
        group->setName("Pair");
        group->addEntity(c.staleMember ? left : model.getEntity("Solid_1"));
        group->setShape(compoundOf({model.getEntity("Solid_1")->getShape(), model.getEntity("Solid_2")->getShape()}));
        group->setMembersFromHistory(c.fromHistory);
        model.addDomain(group);
        model.finalize();

        EXPECT_EQ(namesOf(group->getEntities()), c.expected);
        EXPECT_NEAR(volumeOf(group->getShape()), static_cast<double>(c.expected.size()), 1e-9);
    }
}
