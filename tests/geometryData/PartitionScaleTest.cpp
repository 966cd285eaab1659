#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>

#include <omp.h>

#include "GroupFixtures.h"
#include "ModelQueries.h"
#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "support/Exceptions.h"
#include "support/ScratchDirectory.h"
#include "vemra_exception.h"

using namespace groupFixtures;
using Names = std::vector<std::string>;

namespace {

const std::string noEntities = ". This is internal error. Please contact support!";

struct Piece {
    std::string name;
    int id;
};


// Checks names "<prefix><i>" with ids firstId + i - 1, i from 1.
void expectNumbered(const std::vector<std::shared_ptr<TopoEntity>>& entities, const std::string& prefix,
                    int count, int firstId)
{
    ASSERT_EQ(static_cast<int>(entities.size()), count) << prefix;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(entities[i]->getName(), prefix + std::to_string(i + 1));
        EXPECT_EQ(entities[i]->getId(), firstId + i);
    }
}

} // namespace

TEST(PartitionTest, SplitsOverlappingCubes)
{
    const std::string directory = freshDirectory("groups/PartitionOverlap");
    GeometryData model(directory);
    model.addEntity(entity(box(0, 0, 0, 1, 1, 1), "Left"));
    model.addEntity(entity(box(0.5, 0, 0, 1.5, 1, 1), "Right"));
    model.addDomain(std::make_shared<DomainGroup>(groupEntry("Both", {"Left", "Right"}), model.getEntities()));
    ASSERT_EQ(model.getDimension(), 3);
    model.buildRelations();
    ASSERT_EQ(model.getRelations().count("Left"), 1U);
    model.partition();

    // Planes x = 0, 0.5, 1, 1.5 cut three boxes: 16 vertices, 28 edges, 16 faces.
    expectNumbered(ofDimension(model, 1), "Edge_", 28, 1);
    expectNumbered(ofDimension(model, 2), "Face_", 16, 29);
    const auto solids = ofDimension(model, 3);
    expectNumbered(solids, "Solid_", 3, 45);
    EXPECT_EQ(model.getEntities().size(), 47U);
    for (const auto& solid : solids) {
        EXPECT_NEAR(volumeOf(solid->getShape()), 0.5, 1e-9);
    }

    // Each piece is bounded by six faces; the faces x=0.5 and x=1 separate
    // two pieces and list the lower-numbered one first.
    auto relations = model.getRelations();
    std::size_t incidences = 0;
    for (const auto& solid : solids) {
        EXPECT_EQ(relations[solid->getName()].size(), 6U);
        incidences += relations[solid->getName()].size();
    }
    EXPECT_EQ(incidences, 18U);
    int inner = 0;
    for (const auto& face : ofDimension(model, 2)) {
        const auto& related = relations[face->getName()];
        const bool separating = liesInPlane(face->getShape(), 0, 0.5) || liesInPlane(face->getShape(), 0, 1.0);
        ASSERT_EQ(related.size(), separating ? 2U : 1U) << face->getName();
        if (separating) {
            ++inner;
            EXPECT_LT(related[0], related[1]);
        }
    }
    EXPECT_EQ(inner, 2);
    EXPECT_EQ(relations.count("Edge_1"), 0U);
    // Entries under the old names are gone.
    EXPECT_EQ(relations.count("Left"), 0U);
    EXPECT_EQ(relations.count("Right"), 0U);
    // Every entity was written again.
    for (const auto& e : model.getEntities()) {
        EXPECT_TRUE(std::filesystem::exists(directory + e->toJson().at("path").get<std::string>())) << e->getName();
    }

    // A group holding every source of the split keeps all three pieces.
    model.finalize();
    const auto both = model.getDomain("Both");
    ASSERT_EQ(both->getEntities().size(), 3U);
    EXPECT_EQ(both->getId(), 45);
    EXPECT_NEAR(volumeOf(both->getShape()), 1.5, 1e-9);
}

TEST(PartitionTest, PlanarModelRelatesFacesAndEdges)
{
    // Two unit squares in the plane z=0 sharing the edge x=1.
    GeometryData model(freshDirectory("groups/PartitionPlanar"));
    model.addEntity(entity(planarFace(box(0, 0, 0, 1, 1, 1), 2, 0.0), "Left"));
    model.addEntity(entity(planarFace(box(1, 0, 0, 2, 1, 1), 2, 0.0), "Right"));
    ASSERT_EQ(model.getDimension(), 2);
    model.partition();

    const auto edges = ofDimension(model, 1);
    expectNumbered(edges, "Edge_", 7, 1);
    expectNumbered(ofDimension(model, 2), "Face_", 2, 8);
    auto relations = model.getRelations();
    EXPECT_EQ(relations["Face_1"].size(), 4U);
    EXPECT_EQ(relations["Face_2"].size(), 4U);
    int shared = 0;
    for (const auto& edge : edges) {
        const auto& related = relations[edge->getName()];
        if (related.size() == 2) {
            ++shared;
            EXPECT_EQ(related, Names({"Face_1", "Face_2"}));
            EXPECT_TRUE(liesInPlane(edge->getShape(), 0, 1.0));
        } else {
            EXPECT_EQ(related.size(), 1U) << edge->getName();
        }
    }
    EXPECT_EQ(shared, 1);

    // The relations link the shared edge's default boundary to both faces' domains.
    model.finalize();
    EXPECT_EQ(model.getDomains().size(), 2U);
    EXPECT_EQ(model.getBoundaries().size(), 7U);
    for (const auto& boundary : model.getBoundaries()) {
        const bool isShared = liesInPlane(boundary->getShape(), 0, 1.0);
        EXPECT_EQ(boundary->getDomains().size(), isShared ? 2U : 1U) << boundary->getName();
    }
}

TEST(PartitionTest, EmptyFuseKeepsEntities)
{
    GeometryData model(freshDirectory("groups/PartitionEmpty"));
    model.addEntity(entity(box(0, 0, 0, 1, 1, 1), "Idle"));
    model.getEntity("Idle")->setActive(false);
    expectMessage([&] { model.partition(); }, "Partition failed: the fuse of the entities produced no shape.");
    ASSERT_EQ(model.getEntities().size(), 1U);
    EXPECT_EQ(model.getEntities().front()->getName(), "Idle");
}

TEST(PartitionTest, RefillsGroupsOfTouchingBoxes)
{
    // The two equal contact faces become one shared face, whichever of them the boundary names.
    for (const bool namesFirstBox : {true, false}) {
        SCOPED_TRACE(namesFirstBox ? "face of box A" : "face of box B");
        GeometryData model(freshDirectory("groups/PartitionTouching"));
        const TopoDS_Shape a = box(0, 0, 0, 1, 1, 1);
        const TopoDS_Shape b = box(1, 0, 0, 2, 1, 1);
        model.addEntity(entity(a, "BoxA"));
        model.addEntity(entity(b, "BoxB"));
        model.addEntity(entity(planarFace(namesFirstBox ? a : b, 0, 1.0), "ContactFace"));
        model.addDomain(std::make_shared<DomainGroup>(groupEntry("Left", {"BoxA"}), model.getEntities()));
        model.addDomain(std::make_shared<DomainGroup>(groupEntry("Right", {"BoxB"}), model.getEntities()));
        model.addBoundary(
            std::make_shared<BoundaryGroup>(groupEntry("Contact", {"ContactFace"}), model.getEntities()));
        model.partition();
        model.finalize();

        // 12 vertices, 20 edges, 11 faces, 2 solids.
        expectNumbered(ofDimension(model, 1), "Edge_", 20, 1);
        expectNumbered(ofDimension(model, 2), "Face_", 11, 21);
        expectNumbered(ofDimension(model, 3), "Solid_", 2, 32);

        const auto left = model.getDomain("Left");
        const auto right = model.getDomain("Right");
        ASSERT_EQ(left->getEntities().size(), 1U);
        ASSERT_EQ(right->getEntities().size(), 1U);
        EXPECT_NEAR(centreOf(left->getEntities().front()->getShape()).X(), 0.5, 1e-9);
        EXPECT_NEAR(centreOf(right->getEntities().front()->getShape()).X(), 1.5, 1e-9);
        std::vector<int> domainIds = {left->getId(), right->getId()};
        std::sort(domainIds.begin(), domainIds.end());
        EXPECT_EQ(domainIds, std::vector<int>({32, 33}));

        const auto contact = model.getBoundary("Contact");
        ASSERT_EQ(contact->getEntities().size(), 1U);
        const auto face = contact->getEntities().front();
        EXPECT_TRUE(liesInPlane(face->getShape(), 0, 1.0));
        EXPECT_EQ(contact->getId(), face->getId());
        auto relations = model.getRelations();
        EXPECT_EQ(relations[face->getName()].size(), 2U);
        Names linked;
        for (const auto& domain : contact->getDomains()) {
            linked.push_back(domain->getName());
        }
        EXPECT_EQ(linked, Names({"Left", "Right"}));
        EXPECT_FALSE(contact->isInDomain());
        // The ten other faces get boundaries of their own.
        EXPECT_EQ(model.getBoundaries().size(), 11U);
        EXPECT_EQ(model.getDomains().size(), 2U);
    }
}

TEST(PartitionTest, SameModelWithOneAndEightThreads)
{
    // Entities, relations and groups as the geometry-data document lists them.
    const auto describe = [](int threads) {
        omp_set_num_threads(threads);
        GeometryData model(freshDirectory("groups/PartitionThreads" + std::to_string(threads)));
        model.addEntity(entity(box(0, 0, 0, 1, 1, 1), "Left"));
        model.addEntity(entity(box(0.5, 0, 0, 1.5, 1, 1), "Right"));
        model.addEntity(entity(box(1.5, 0, 0, 2.5, 1, 1), "Touching"));
        model.addDomain(std::make_shared<DomainGroup>(groupEntry("Pair", {"Left", "Right"}), model.getEntities()));
        model.partition();
        model.finalize();
        nlohmann::json summary;
        for (const auto& e : model.getEntities()) {
            summary["entities"].push_back(e->toJson());
        }
        summary["relations"] = model.getRelations();
        for (const auto& domain : model.getDomains()) {
            summary["domains"].push_back(domain->toJson());
        }
        for (const auto& boundary : model.getBoundaries()) {
            summary["boundaries"].push_back(boundary->toJson());
        }
        return summary;
    };
    const int threads = omp_get_max_threads();
    const nlohmann::json serial = describe(1);
    const nlohmann::json parallel = describe(8);
    omp_set_num_threads(threads);
    EXPECT_EQ(serial.dump(), parallel.dump());
    // Pieces [0,0.5], [0.5,1], [1,1.5] of the pair, and the touching box.
    EXPECT_EQ(serial.at("domains").size(), 2U);
    EXPECT_EQ(serial.at("domains")[0].at("entities").size(), 3U);
}

TEST(PartitionTest, GroupOfSplitShapeFindsNoEntity)
{
    struct Case {
        std::string what;
        int threads;
        std::function<void(GeometryData&)> build;
        std::string failing;
    };
    const auto overlap = [](GeometryData& model) {
        model.addEntity(entity(box(0, 0, 0, 1, 1, 1), "Left"));
        model.addEntity(entity(box(0.5, 0, 0, 1.5, 1, 1), "Right"));
        model.addDomain(std::make_shared<DomainGroup>(groupEntry("First", {"Left"}), model.getEntities()));
        model.addDomain(std::make_shared<DomainGroup>(groupEntry("Second", {"Right"}), model.getEntities()));
    };
    // The larger box's face x=1 is split by the smaller box's contact face.
    const auto largerContact = [](GeometryData& model) {
        const TopoDS_Shape larger = box(1, 0, 0, 3, 2, 2);
        model.addEntity(entity(box(0, 0, 0, 1, 1, 1), "Small"));
        model.addEntity(entity(larger, "Large"));
        model.addEntity(entity(planarFace(larger, 0, 1.0), "LargeContact"));
        model.addBoundary(
            std::make_shared<BoundaryGroup>(groupEntry("Split", {"LargeContact"}), model.getEntities()));
    };
    const std::vector<Case> cases = {
        {"overlap, one thread", 1, overlap, "First"},
        {"overlap, eight threads", 8, overlap, "First"},
        {"split contact face, one thread", 1, largerContact, "Split"},
        {"split contact face, eight threads", 8, largerContact, "Split"},
    };
    const int threads = omp_get_max_threads();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        omp_set_num_threads(c.threads);
        GeometryData model(freshDirectory("groups/PartitionSplit"));
        c.build(model);
        model.partition();
        expectMessage([&] { model.finalize(); }, "There are no entities assigned to group " + c.failing + noEntities);
    }
    omp_set_num_threads(threads);
}

TEST(PartitionTest, FaceWithSplitEdgesKeepsItsBoundary)
{
    // The small box splits the edges of the larger box's face y=0, not its surface.
    GeometryData model(freshDirectory("groups/PartitionSplitEdges"));
    const TopoDS_Shape larger = box(1, 0, 0, 3, 2, 2);
    model.addEntity(entity(box(0, 0, 0, 1, 1, 1), "Small"));
    model.addEntity(entity(larger, "Large"));
    model.addEntity(entity(planarFace(larger, 1, 0.0), "LargeFront"));
    model.addBoundary(std::make_shared<BoundaryGroup>(groupEntry("Front", {"LargeFront"}), model.getEntities()));
    model.partition();
    model.finalize();

    const auto front = model.getBoundary("Front");
    ASSERT_EQ(front->getEntities().size(), 1U);
    const TopoDS_Shape face = front->getEntities().front()->getShape();
    EXPECT_TRUE(liesInPlane(face, 1, 0.0));
    const Extent e = extentOf(face);
    EXPECT_NEAR(e.xmin, 1.0, 1e-6);
    EXPECT_NEAR(e.xmax, 3.0, 1e-6);
    EXPECT_NEAR(e.zmax, 2.0, 1e-6);
    // The contact edge x=1, y=0 is split at z=1: the face has five edges.
    EXPECT_EQ(countOf(face, TopAbs_EDGE), 5);
}

TEST(ScaleTest, ScalesAboutOriginAndRefusesBadFactors)
{
    const std::string directory = freshDirectory("groups/Scale");
    GeometryData model(directory);
    const TopoDS_Shape original = box(1, 1, 1, 2, 2, 2);
    model.addEntity(entity(original, "Cube"));
    model.addDomain(std::make_shared<DomainGroup>(groupEntry("Inside", {"Cube"}), model.getEntities()));
    ASSERT_EQ(model.getDimension(), 3);

    for (double factor : {0.0, -2.0, std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(factor);
        EXPECT_THROW(model.scale(factor), vemra_exception);
        EXPECT_TRUE(model.getEntity("Cube")->getShape().IsEqual(original));
        EXPECT_FALSE(std::filesystem::exists(directory + "/geometry"));
    }

    model.scale(2.0);
    const TopoDS_Shape scaled = model.getEntity("Cube")->getShape();
    const Extent e = extentOf(scaled);
    for (double low : {e.xmin, e.ymin, e.zmin}) {
        EXPECT_NEAR(low, 2.0, 1e-6);
    }
    for (double high : {e.xmax, e.ymax, e.zmax}) {
        EXPECT_NEAR(high, 4.0, 1e-6);
    }
    EXPECT_NEAR(volumeOf(scaled), 8.0, 1e-9);
    EXPECT_NEAR(volumeOf(model.getDomain("Inside")->getShape()), 8.0, 1e-9);
    EXPECT_NEAR(volumeOf(model.getPartitionShape()), 8.0, 1e-9);
}

TEST(ScaleTest, InactiveEntitiesAndUnknownDimension)
{
    // The dimension is not known yet: everything is scaled and written before the partition shape fails.
    const std::string directory = freshDirectory("groups/ScaleNoDimension");
    GeometryData model(directory);
    model.addEntity(entity(box(0, 0, 0, 1, 1, 1), "Cube"));
    model.addEntity(entity(box(5, 5, 5, 6, 6, 6), "Idle"));
    model.getEntity("Idle")->setActive(false);
    model.addDomain(std::make_shared<DomainGroup>(groupEntry("Inside", {"Cube"}), model.getEntities()));
    expectMessage([&] { model.scale(3.0); },
                  "Cannot calculate partition for geometryData with dimension other than 2 or 3.");
    EXPECT_NEAR(volumeOf(model.getEntity("Cube")->getShape()), 27.0, 1e-9);
    EXPECT_NEAR(volumeOf(model.getDomain("Inside")->getShape()), 27.0, 1e-9);
    EXPECT_NEAR(extentOf(model.getEntity("Idle")->getShape()).xmin, 5.0, 1e-6);
    EXPECT_TRUE(std::filesystem::exists(directory + "/geometry/raw/Cube.brep"));
    EXPECT_TRUE(std::filesystem::exists(directory + "/geometry/raw/Idle.brep"));
}
