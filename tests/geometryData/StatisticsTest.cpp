#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geometryData/MeshStatistics.h"
#include "topology/ShapeStatistics.h"

namespace {

ShapeStatistics boxRecord(double x0, double y0, double z0, double x1, double y1, double z1)
{
    ShapeStatistics record;
    record.minX = x0;
    record.minY = y0;
    record.minZ = z0;
    record.maxX = x1;
    record.maxY = y1;
    record.maxZ = z1;
    record.centreX = record.centreY = record.centreZ = 0.25;
    record.length = 12;
    record.area = 6;
    record.volume = 1;
    record.axialVolume = 3;
    return record;
}

MeshEntityStats meshRecord(int elements, int nodes, std::map<ElementTypes, int> byType)
{
    MeshEntityStats record;
    record.elements = elements;
    record.nodes = nodes;
    record.elementsByType = std::move(byType);
    return record;
}

} // namespace

TEST(ShapeStatistics, MergeGivesTheBoxHoldingBoth)
{
    struct Case {
        const char* what;
        ShapeStatistics a, b;
        double minX, minY, minZ, maxX, maxY, maxZ;
    };
    const Case cases[] = {
        {"partly overlapping", boxRecord(0, 0, 0, 1, 1, 1), boxRecord(-1, 2, 0.5, 0.5, 3, 4), -1, 0, 0, 1, 3, 4},
        {"one inside the other", boxRecord(-5, -5, -5, 5, 5, 5), boxRecord(0, 0, 0, 1, 1, 1), -5, -5, -5, 5, 5, 5},
        {"equal boxes", boxRecord(1, 2, 3, 4, 5, 6), boxRecord(1, 2, 3, 4, 5, 6), 1, 2, 3, 4, 5, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const ShapeStatistics& merged : {c.a.merge(c.b), c.b.merge(c.a)}) {
            EXPECT_EQ(merged.minX, c.minX);
            EXPECT_EQ(merged.minY, c.minY);
            EXPECT_EQ(merged.minZ, c.minZ);
            EXPECT_EQ(merged.maxX, c.maxX);
            EXPECT_EQ(merged.maxY, c.maxY);
            EXPECT_EQ(merged.maxZ, c.maxZ);
            // A merged record describes a box only.
            for (double field : {merged.centreX, merged.centreY, merged.centreZ, merged.length, merged.area,
                                 merged.volume, merged.axialVolume}) {
                EXPECT_EQ(field, 0.0);
            }
        }
    }
    // The inputs are left as they were.
    const ShapeStatistics a = boxRecord(0, 0, 0, 1, 1, 1);
    const ShapeStatistics merged = a.merge(boxRecord(-1, 2, 0.5, 0.5, 3, 4));
    EXPECT_EQ(a.minX, 0.0);
    EXPECT_EQ(a.volume, 1.0);
    EXPECT_EQ(merged.toJson(), (nlohmann::json{{"lengthX", 2.0}, {"lengthY", 3.0}, {"lengthZ", 4.0},
                                               {"maxX", 1.0}, {"maxY", 3.0}, {"maxZ", 4.0},
                                               {"minX", -1.0}, {"minY", 0.0}, {"minZ", 0.0}}));
    // A NaN on the other side keeps this record's value.
    ShapeStatistics withNaN = boxRecord(0, 0, 0, 1, 1, 1);
    withNaN.maxX = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(a.merge(withNaN).maxX, 1.0);
}

TEST(ShapeStatistics, JsonHoldsNineFloatingPointNumbers)
{
    const nlohmann::json object = ShapeStatistics().toJson();
    ASSERT_EQ(object.size(), 9u);
    const char* keys[] = {"lengthX", "lengthY", "lengthZ", "maxX", "maxY", "maxZ", "minX", "minY", "minZ"};
    std::size_t i = 0;
    for (const auto& [key, value] : object.items()) {
        EXPECT_EQ(key, keys[i++]);
        EXPECT_TRUE(value.is_number_float()) << key;
        EXPECT_EQ(value.get<double>(), 0.0) << key;
    }
    EXPECT_EQ(object.dump(),
              "{\"lengthX\":0.0,\"lengthY\":0.0,\"lengthZ\":0.0,\"maxX\":0.0,\"maxY\":0.0,\"maxZ\":0.0,"
              "\"minX\":0.0,\"minY\":0.0,\"minZ\":0.0}");
}

TEST(MeshEntityStats, SumAndAssignment)
{
    const MeshEntityStats a = meshRecord(3, 4, {{TRI, 1}, {TETRA, 2}});
    const MeshEntityStats b = meshRecord(10, 5, {{TRI, 10}});
    const MeshEntityStats sum = b + a;
    EXPECT_EQ(sum.elements, 13);
    EXPECT_EQ(sum.nodes, 9);
    EXPECT_EQ(sum.elementsByType, (std::map<ElementTypes, int>{{TRI, 11}, {TETRA, 2}}));
    // Both operands unchanged.
    EXPECT_EQ(a.elementsByType.at(TRI), 1);
    EXPECT_EQ(b.elementsByType.size(), 1u);

    // Assignment replaces the per-type counts: no stale count survives.
    MeshEntityStats target = a;
    target = b;
    EXPECT_EQ(target.elements, 10);
    EXPECT_EQ(target.nodes, 5);
    EXPECT_EQ(target.elementsByType, (std::map<ElementTypes, int>{{TRI, 10}}));

    MeshStatistics model;
    model.byEntity["Solid_1"] = a;
    MeshStatistics replaced;
    replaced.totals = a;
    replaced = model;
    EXPECT_EQ(replaced.totals.elements, 0);
    EXPECT_TRUE(replaced.totals.elementsByType.empty());
    EXPECT_TRUE(replaced.has("Solid_1"));
    EXPECT_FALSE(replaced.has("Solid_2"));
    EXPECT_EQ(replaced.byEntity.size(), 1u);
}

TEST(MeshEntityStats, JsonWritesOneKeyPerKnownType)
{
    EXPECT_EQ(MeshEntityStats().toJson(), (nlohmann::json{{"elements", 0}, {"nodes", 0}}));
    EXPECT_EQ(meshRecord(7, 9, {{TRI, 7}}).toJson(), (nlohmann::json{{"elements", 7}, {"nodes", 9}, {"triangles", 7}}));

    const MeshEntityStats everyType =
        meshRecord(55, 100, {{LINE, 1}, {TRI, 2}, {QUAD, 3}, {TETRA, 4}, {HEXA, 5}, {PRISM, 6}, {PYRA, 7},
                             {LINE2, 8}, {TRI2, 9}, {TETRA2, 10}});
    EXPECT_EQ(everyType.toJson(),
              (nlohmann::json{{"lines", 1}, {"triangles", 2}, {"quadrangles", 3}, {"tetrahedrons", 4},
                              {"hexahedrons", 5}, {"prisms", 6}, {"pyramids", 7}, {"line2s", 8},
                              {"triangle2s", 9}, {"tetrahedron2s", 10}, {"elements", 55}, {"nodes", 100}}));

    // An unknown number is left out instead of overwriting the lines' count.
    const MeshEntityStats withUnknown =
        meshRecord(4, 2, {{LINE, 3}, {static_cast<ElementTypes>(10), 1}, {static_cast<ElementTypes>(15), 1}});
    EXPECT_EQ(withUnknown.toJson(), (nlohmann::json{{"elements", 4}, {"nodes", 2}, {"lines", 3}}));
}
