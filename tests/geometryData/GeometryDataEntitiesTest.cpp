#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <omp.h>

#include "geometryData/GeometryData.h"
#include "geometryData/TopoEntity.h"
#include "support/Exceptions.h"
#include "support/LogCapture.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"

namespace {

// A model of n unit boxes in a row, named Solid_1 ... Solid_n.
GeometryData rowOfBoxes(const std::string& directory, int n)
{
    GeometryData model(directory);
    for (int i = 0; i < n; ++i) {
        model.addEntity(std::make_shared<TopoEntity>(boxAt(2.0 * i, 0, 0), "Solid_" + std::to_string(i + 1)));
    }
    return model;
}

} // namespace

TEST(GeometryDataEntities, IdsAndLookups)
{
    GeometryData model("unused");
    EXPECT_EQ(model.nextEntityId(), 1);
    struct Case {
        const char* name;
        int id;
        int expectedId;
    };
    // Ids 3, 7 and 5 given; the fourth entity without an id gets 8; a negative id is kept.
    const Case cases[] = {{"A", 3, 3}, {"B", 7, 7}, {"C", 5, 5}, {"D", 0, 8}, {"E", -4, -4}, {"F", 0, 9}};
    for (const Case& c : cases) {
        model.addEntity(std::make_shared<TopoEntity>(boxAt(0, 0, 0), c.name, c.id));
    }
    for (const Case& c : cases) {
        EXPECT_EQ(model.getEntity(c.name)->getId(), c.expectedId) << c.name;
    }
    EXPECT_EQ(model.nextEntityId(), 10);
    EXPECT_EQ(thrownMessage([&] { model.getEntity("Solid_99"); }),
              "Error in geometry data: Could not find entity Solid_99. Check your geometry input!");

    GeometryData negatives("unused");
    negatives.addEntity(std::make_shared<TopoEntity>(boxAt(0, 0, 0), "N", -2));
    EXPECT_EQ(negatives.nextEntityId(), 1);
}

TEST(GeometryDataEntities, ExportWritesEveryEntityFromEightThreads)
{
    const std::string directory = freshDirectory("geometryData/export");
    const int count = 24;
    GeometryData model = rowOfBoxes(directory, count);
    omp_set_num_threads(8);
    model.exportRawGeometry();
    for (const auto& entity : model.getEntities()) {
        SCOPED_TRACE(entity->getName());
        const std::string path = "/geometry/raw/" + entity->getName() + ".brep";
        EXPECT_EQ(entity->toJson().at("path"), path);
        const TopoEntity read(nlohmann::json{{"name", entity->getName()}, {"path", path}}, directory);
        EXPECT_NEAR(volumeOf(read.getShape()), 1.0, 1e-9);
    }
    std::size_t files = 0;
    for (const auto& item : std::filesystem::directory_iterator(directory + "/geometry/raw")) {
        files += item.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, static_cast<std::size_t>(count));
}

TEST(GeometryDataEntities, OneFailingWriteRaisesExactlyOnce)
{
    const std::string directory = freshDirectory("geometryData/exportFailure");
    GeometryData model = rowOfBoxes(directory, 16);
    // Entities made from shapes are not name-checked: this one points into a missing directory.
    model.addEntity(std::make_shared<TopoEntity>(boxAt(0, 5, 0), "missing/Solid_17"));
    for (int i = 18; i <= 24; ++i) {
        model.addEntity(std::make_shared<TopoEntity>(boxAt(2.0 * i, 5, 0), "Solid_" + std::to_string(i)));
    }
    omp_set_num_threads(8);
    const LogCapture errors(el::Level::Error);
    EXPECT_EQ(thrownMessage([&] { model.exportRawGeometry(); }),
              "Could not write file " + directory + "/geometry/raw/missing/Solid_17.brep: No such file or directory");
    // Each system exception logs itself once when it is made.
    EXPECT_EQ(errors.containing("Could not write file").size(), 1u);
    // Every other iteration still wrote its file.
    for (const auto& entity : model.getEntities()) {
        if (entity->getName() != "missing/Solid_17") {
            EXPECT_TRUE(std::filesystem::exists(directory + "/geometry/raw/" + entity->getName() + ".brep"))
                << entity->getName();
        }
    }
}

TEST(GeometryDataEntities, DuplicateNamesRaiseBeforeAnyFileIsWritten)
{
    const std::string directory = freshDirectory("geometryData/exportDuplicates");
    GeometryData model = rowOfBoxes(directory, 3);
    model.addEntity(std::make_shared<TopoEntity>(boxAt(9, 9, 9), "Solid_2"));
    EXPECT_EQ(thrownMessage([&] { model.exportRawGeometry(); }), "Entity names are not unique: Solid_2");
    EXPECT_FALSE(std::filesystem::exists(directory + "/geometry"));
}

TEST(GeometryDataEntities, PartitionShapeIsBuiltOnceAndMeasured)
{
    GeometryData model("unused");
    model.addEntity(std::make_shared<TopoEntity>(boxAt(0, 0, 0), "Solid_1"));
    model.addEntity(std::make_shared<TopoEntity>(boxAt(0.5, 0, 0), "Solid_2"));
    model.addEntity(std::make_shared<TopoEntity>(squareAt(0, 0, 5), "Face_1"));
    const TopoDS_Shape partition = model.getPartitionShape();
    // The face is of a lower dimension and takes no part.
    EXPECT_EQ(countOf(partition, TopAbs_SOLID), 3);
    EXPECT_EQ(countOf(partition, TopAbs_FACE), 16);
    EXPECT_TRUE(model.getPartitionShape().IsSame(partition));

    const ShapeStatistics statistics = model.getStatistics();
    EXPECT_NEAR(statistics.minX, 0.0, 1e-6);
    EXPECT_NEAR(statistics.maxX, 1.5, 1e-6);
    EXPECT_NEAR(statistics.maxY, 1.0, 1e-6);
    EXPECT_NEAR(statistics.maxZ, 1.0, 1e-6);
    EXPECT_NEAR(statistics.volume, 1.5, 1e-9);

    GeometryData empty("unused");
    EXPECT_TRUE(empty.getPartitionShape().IsNull());
}
