#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "geometryData/TopoEntity.h"
#include "support/Exceptions.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

TEST(GeometryDataFrame, ConstructorsStartEmptyInGroupsFromAllEntities)
{
    const std::vector<std::pair<const char*, std::function<GeometryData()>>> constructors = {
        {"default", [] { return GeometryData(); }},
        {"working directory", [] { return GeometryData(std::string("/some/case")); }},
    };
    for (const auto& [name, make] : constructors) {
        SCOPED_TRACE(name);
        const GeometryData model = make();
        EXPECT_EQ(model.getGroupMode(), groupsFromAllEntities);
        EXPECT_EQ(model.getGeometryUnit(), metre);
        EXPECT_FALSE(model.isAxisymmetric());
        EXPECT_TRUE(model.getEntities().empty());
        EXPECT_TRUE(model.getDomains().empty());
        EXPECT_TRUE(model.getBoundaries().empty());
        EXPECT_TRUE(model.getRelations().empty());
    }
}

// A finished model with every field set: built from a raw document (entity
// lists, groups, relations, variables, mesh and editor files, unit, group
// mode) in its own working directory, then given mesh counts and the
// axisymmetric flag.
class FullModel {
public:
    explicit FullModel(const std::string& name)
        : directory(freshDirectory("geometry-frame-" + name))
    {
        fs::create_directories(fs::path(directory) / "geometry" / "raw");
        const fs::path cases = fs::path(VEMRA_SOURCE_DIR) / "src/tests/geometryData/tests/test02/geometry/raw";
        for (const char* file : {"small.brep", "large.brep", "contactFace.brep", "sideFace.brep"}) {
            fs::copy_file(cases / file, fs::path(directory) / "geometry" / "raw" / file);
        }
    }
    ~FullModel()
    {
        std::error_code ignored;
        fs::remove_all(directory, ignored);
    }

    GeometryData make() const
    {
        GeometryData model(json::parse(R"({
            "solids": [{"name": "small", "path": "geometry/raw/small.brep"},
                       {"name": "large", "path": "geometry/raw/large.brep"}],
            "faces": [{"name": "contactFace", "path": "geometry/raw/contactFace.brep"},
                      {"name": "sideFace", "path": "geometry/raw/sideFace.brep"}],
            "edges": [],
            "relations": {"small": ["contactFace"], "contactFace": ["small", "large"],
                          "large": ["contactFace", "sideFace"], "sideFace": ["large"]},
            "domains": [{"name": "pair", "entities": ["small", "large"]}],
            "boundaries": [{"name": "contact", "entities": ["contactFace"]}],
            "hasMeshData": true, "meshFile": "mesh/model.msh",
            "variables": {"frequency": 50},
            "editorFile": "editor/model.edt",
            "geometryUnit": "mm", "groupMode": "groupsFromPreprocessor"
        })"),
                           directory);
        MeshStatistics statistics;
        statistics.totals.elements = 12;
        statistics.totals.nodes = 9;
        statistics.byEntity["small"].elements = 5;
        statistics.byEntity["small"].nodes = 4;
        model.setMeshStatistics(statistics);
        model.setAxisymmetric(true);
        return model;
    }

    std::string directory;
};

std::vector<const void*> addresses(const GeometryData& model)
{
    std::vector<const void*> result;
    for (const auto& entity : model.getEntities()) {
        result.push_back(entity.get());
    }
    for (const auto& domain : model.getDomains()) {
        result.push_back(domain.get());
    }
    for (const auto& boundary : model.getBoundaries()) {
        result.push_back(boundary.get());
    }
    return result;
}

TEST(GeometryDataFrame, CopiesAndMovesKeepTheFields)
{
    const FullModel full("transfer");
    // The document shows every field but the flags and the shapes' identity.
    GeometryData reference = full.make();
    const json expected = reference.toJson();
    ASSERT_EQ(expected.at("variables"), json({{"frequency", 50}}));
    ASSERT_EQ(expected.at("meshFile"), "mesh/model.msh");
    ASSERT_EQ(expected.at("meshStatistics"), json({{"elements", 12}, {"nodes", 9}}));
    ASSERT_EQ(expected.at("relations").size(), 4u);

    const std::vector<std::pair<const char*, std::function<GeometryData(GeometryData&)>>> transfers = {
        {"copy construction", [](GeometryData& source) { return GeometryData(source); }},
        {"move construction", [](GeometryData& source) { return GeometryData(std::move(source)); }},
        {"copy assignment",
         [](GeometryData& source) {
             GeometryData target;
             target = source;
             return target;
         }},
        {"move assignment",
         [](GeometryData& source) {
             GeometryData target;
             target = std::move(source);
             return target;
         }},
        {"self assignment",
         [](GeometryData& source) {
             GeometryData& alias = source;
             source = alias;
             return GeometryData(std::move(source));
         }},
    };
    for (const auto& [name, transfer] : transfers) {
        SCOPED_TRACE(name);
        GeometryData source = full.make();
        const auto shared = addresses(source);
        const TopoDS_Shape partition = source.getPartitionShape();
        GeometryData target = transfer(source);

        EXPECT_EQ(target.getGeometryUnit(), millimetre);
        EXPECT_EQ(target.getGroupMode(), groupsFromPreprocessor);
        EXPECT_TRUE(target.isAxisymmetric());
        EXPECT_EQ(target.getDimension(), 3);
        EXPECT_TRUE(target.getPartitionShape().IsSame(partition));
        // The same entity and group objects, not duplicates.
        EXPECT_EQ(addresses(target), shared);
        // The working directory: the document's side files are written there again.
        fs::remove_all(fs::path(full.directory) / "vtk");
        EXPECT_EQ(target.toJson(), expected);
        EXPECT_TRUE(fs::exists(fs::path(full.directory) / "vtk" / "pair.vtk"));
    }

    // The entities are shared: a change through the copy shows in the source.
    const GeometryData source = full.make();
    GeometryData copy(source);
    copy.getEntity("small")->setId(99);
    EXPECT_EQ(source.getEntity("small")->getId(), 99);
    copy.setGeometryUnit(inch);
    copy.setAxisymmetric(false);
    EXPECT_EQ(source.getGeometryUnit(), millimetre);
    EXPECT_TRUE(source.isAxisymmetric());
}

// The pending refill after a partition travels with the copy: finalising
// the copy refills the shared group with the pieces.
TEST(GeometryDataFrame, CopyKeepsThePendingRefill)
{
    const std::string directory = freshDirectory("geometry-frame-refill");
    GeometryData source(directory);
    source.addEntity(std::make_shared<TopoEntity>(box(0, 0, 0, 1, 1, 1), "small", 0));
    source.addEntity(std::make_shared<TopoEntity>(box(1, 0, 0, 3, 2, 2), "large", 0));
    source.addDomain(std::make_shared<DomainGroup>(json({{"name", "core"}, {"entities", {"small"}}}),
                                                   source.getEntities()));
    source.partition();
    GeometryData copy(source);
    copy.finalize();
    const auto core = copy.getDomain("core");
    ASSERT_EQ(core->getEntities().size(), 1u);
    EXPECT_EQ(core->getEntities().front()->getName(), "Solid_1");
    EXPECT_EQ(source.getDomain("core"), core);
    fs::remove_all(directory);
}

// Every member that writes below the working directory refuses an empty one
// before it changes anything, rather than writing at the root.
TEST(GeometryDataFrame, WritersNeedAWorkingDirectory)
{
    const std::string message = "Working directory not set in GeometryData. Please report this to Vemra support!";
    const std::vector<std::pair<const char*, std::function<void(GeometryData&)>>> writers = {
        {"toJson", [](GeometryData& model) { model.toJson(); }},
        {"exportRawGeometry", [](GeometryData& model) { model.exportRawGeometry(); }},
        {"partition", [](GeometryData& model) { model.partition(); }},
        {"scale", [](GeometryData& model) { model.scale(2.0); }},
        {"readCADfiles", [](GeometryData& model) { model.readCADfiles({"model.step"}); }},
        {"finalize", [](GeometryData& model) { model.finalize(); }},
        {"addAir", [](GeometryData& model) { model.addAir(0.0, {}); }},
    };
    for (const auto& [name, write] : writers) {
        SCOPED_TRACE(name);
        GeometryData model;
        const TopoDS_Shape cube = box(0, 0, 0, 1, 1, 1);
        model.addEntity(std::make_shared<TopoEntity>(cube, "cube", 0));
        expectMessage([&] { write(model); }, message);
        ASSERT_EQ(model.getEntities().size(), 1u);
        EXPECT_TRUE(model.getEntities().front()->getShape().IsSame(cube));
        EXPECT_EQ(model.getEntities().front()->toJson().at("path"), "");
    }
}

} // namespace
