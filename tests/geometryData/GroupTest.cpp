#include <gtest/gtest.h>

#include <filesystem>

#include <vtkCellArray.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>

#include "GroupFixtures.h"
#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "support/ScratchDirectory.h"
#include "vemra_exception.h"

using nlohmann::json;
using namespace groupFixtures;

namespace {

// Two faces of the block [1,4]x[2,6]x[3,8] and the block itself, in model order.
std::vector<std::shared_ptr<TopoEntity>> blockModel()
{
    const TopoDS_Shape block = box(1, 2, 3, 4, 6, 8);
    return {entity(planarFace(block, 0, 1.0), "Face_A", 3), entity(planarFace(block, 1, 2.0), "Face_B", 5),
            entity(block, "Block", 9)};
}


} // namespace

TEST(GroupTest, BuildsFromEntry)
{
    struct Case {
        std::string what;
        json entry;
        std::string label;
        int id;
        std::vector<std::string> entities;
        std::string role;
        std::vector<std::string> sources;
    };
    const json sources = json::array({groupEntry("s1", {"Face_B"}), groupEntry("s2", {"Face_A", "Face_B"})});
    const std::vector<Case> cases = {
        {"label and id default; entities in model order", groupEntry("g", {"Face_B", "Face_A"}), "g", 3,
         {"Face_A", "Face_B"}, "", {}},
        {"id 0 takes the first entity's id", {{"name", "g"}, {"label", "L"}, {"id", 0}, {"entities", {"Block"}}},
         "L", 9, {"Block"}, "", {}},
        {"a given id stays", {{"name", "g"}, {"id", 12}, {"entities", {"Block"}}}, "g", 12, {"Block"}, "", {}},
        {"null sources and null role",
         {{"name", "g"}, {"entities", {"Block"}}, {"mergedFrom", nullptr}, {"role", nullptr}}, "g", 9, {"Block"},
         "", {}},
        {"empty sources and a role",
         {{"name", "g"}, {"entities", {"Block"}}, {"mergedFrom", json::array()}, {"role", "wall"}}, "g", 9,
         {"Block"}, "wall", {}},
        {"entities from the sources", {{"name", "m"}, {"entities", json::array()}, {"mergedFrom", sources}}, "m", 3,
         {"Face_A", "Face_B"}, "", {"s1", "s2"}},
        {"a name listed twice adds its entity once", groupEntry("g", {"Block", "Block"}), "g", 9, {"Block"}, "", {}},
        {"an unknown name is dropped", groupEntry("g", {"Block", "Missing"}), "g", 9, {"Block"}, "", {}},
    };
    const auto model = blockModel();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Group group(c.entry, model);
        EXPECT_EQ(group.getName(), c.entry.at("name").get<std::string>());
        EXPECT_EQ(group.getLabel(), c.label);
        EXPECT_EQ(group.getId(), c.id);
        EXPECT_EQ(namesOf(group.getEntities()), c.entities);
        EXPECT_EQ(group.getRole(), c.role);
        std::vector<std::string> sourceNames;
        for (const auto& source : group.getMergedFrom()) {
            sourceNames.push_back(source->getName());
        }
        EXPECT_EQ(sourceNames, c.sources);
        EXPECT_FALSE(group.getShape().IsNull());

        const json written = group.toJson();
        EXPECT_EQ(written.at("previewPath"), "vtk/" + group.getName() + ".vtk");
        EXPECT_EQ(written.at("mergedFrom").size(), c.sources.size());
        // A written group reads back as the same group.
        EXPECT_EQ(Group(written, model).toJson(), written);
    }
}

TEST(GroupTest, RefusesBadEntries)
{
    const std::string internal = ". This is internal error. Please contact support!";
    struct Case {
        std::string what;
        json entry;
        std::string messagePrefix;
    };
    const std::vector<Case> cases = {
        {"no entity matches", groupEntry("g", {"Missing"}), "There are no entities assigned to group g" + internal},
        {"a source matches nothing",
         {{"name", "g"}, {"entities", {"Block"}}, {"mergedFrom", {groupEntry("s", {"Nope"})}}},
         "There are no entities assigned to group s" + internal},
        {"unsafe group name", groupEntry("../evil", {"Block"}), "Invalid entity name"},
        {"unsafe source name",
         {{"name", "g"}, {"entities", {"Block"}}, {"mergedFrom", {groupEntry("a/b", {"Block"})}}},
         "Invalid entity name"},
    };
    const auto model = blockModel();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            Group group(c.entry, model);
            ADD_FAILURE() << "no exception";
        } catch (const vemra_exception& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, c.messagePrefix.size()), c.messagePrefix) << error.what();
        }
    }
    // Malformed entries surface as the JSON library's own errors.
    try {
        Group group(json{{"name", "g"}}, model);
        ADD_FAILURE() << "no exception";
    } catch (const json::out_of_range& error) {
        EXPECT_EQ(error.id, 403);
    }
    try {
        Group group(json{{"name", "g"}, {"label", nullptr}, {"entities", {"Block"}}}, model);
        ADD_FAILURE() << "no exception";
    } catch (const json::type_error& error) {
        EXPECT_EQ(error.id, 302);
    }
}

TEST(GroupTest, DefaultGroupsAndDerivedObjects)
{
    EXPECT_EQ(Group().toJson(), json({{"name", ""},
                                      {"label", ""},
                                      {"id", 0},
                                      {"entities", json::array()},
                                      {"role", ""},
                                      {"previewPath", "vtk/.vtk"},
                                      {"mergedFrom", json::array()}}));

    const auto model = blockModel();
    json domainEntry = groupEntry("Inside", {"Block"});
    domainEntry["group"] = "ignored";
    domainEntry["boundaries"] = {"Wall"};
    json boundaryEntry = groupEntry("Wall", {"Face_A"});
    boundaryEntry["domains"] = {"Inside"};
    boundaryEntry["isInDomain"] = true;
    auto domain = std::make_shared<DomainGroup>(domainEntry, model);
    auto boundary = std::make_shared<BoundaryGroup>(boundaryEntry, model);
    EXPECT_TRUE(domain->getBoundaries().empty());
    EXPECT_EQ(domain->getGroup(), "");
    EXPECT_TRUE(boundary->getDomains().empty());
    EXPECT_FALSE(boundary->isInDomain());
    EXPECT_FALSE(boundary->isIndefinite());

    // Links are unique by name, whichever object carries the name.
    auto namesake = std::make_shared<DomainGroup>(groupEntry("Inside", {"Face_B"}), model);
    boundary->addDomain(domain);
    boundary->addDomain(namesake);
    domain->addBoundary(boundary);
    domain->addBoundary(boundary);
    EXPECT_EQ(boundary->getDomains().size(), 1U);
    EXPECT_EQ(domain->getBoundaries().size(), 1U);

    const json boundaryJson = boundary->toJson();
    EXPECT_EQ(boundaryJson.at("domains"), json({"Inside"}));
    EXPECT_EQ(boundaryJson.at("isInDomain"), false);
    const json domainJson = domain->toJson();
    EXPECT_EQ(domainJson.at("boundaries"), json({"Wall"}));
    EXPECT_EQ(domainJson.at("group"), "");
    // The block [1,4]x[2,6]x[3,8].
    const json statistics = domainJson.at("statistics");
    const std::vector<std::pair<std::string, double>> expected = {
        {"lengthX", 3}, {"lengthY", 4}, {"lengthZ", 5}, {"minX", 1}, {"minY", 2},
        {"minZ", 3},    {"maxX", 4},    {"maxY", 6},    {"maxZ", 8}};
    for (const auto& [key, value] : expected) {
        EXPECT_NEAR(statistics.at(key).get<double>(), value, 1e-6) << key;
    }

    // A face of the block lies on the block; a face of a distant box does not.
    EXPECT_TRUE(boundary->isPartOf(*domain));
    const TopoDS_Shape distant = box(10, 10, 10, 11, 11, 11);
    const BoundaryGroup stranger(groupEntry("Far", {"Far_1"}), {entity(planarFace(distant, 0, 10.0), "Far_1", 1)});
    EXPECT_FALSE(stranger.isPartOf(*domain));
}

TEST(GroupTest, WritesPreviewUnlessDisabled)
{
    const std::string directory = freshDirectory("groups/GroupPreview");
    std::filesystem::create_directories(directory + "/vtk");
    const auto model = blockModel();
    Group shown(groupEntry("Shown", {"Block"}), model);
    Group hidden(groupEntry("Hidden", {"Block"}), model);
    hidden.setPreviewEnabled(false);
    shown.writePreview(directory);
    hidden.writePreview(directory);

    EXPECT_FALSE(std::filesystem::exists(directory + "/vtk/Hidden.vtk"));
    EXPECT_EQ(hidden.toJson().at("previewPath"), "vtk/Hidden.vtk");
    const std::string file = directory + "/vtk/Shown.vtk";
    ASSERT_TRUE(std::filesystem::exists(file));
    vtkNew<vtkPolyDataReader> reader;
    reader->SetFileName(file.c_str());
    reader->Update();
    vtkPolyData* data = reader->GetOutput();
    ASSERT_NE(data, nullptr);
    EXPECT_GE(data->GetNumberOfPoints(), 8);
    EXPECT_GE(data->GetNumberOfPolys(), 12);
}
