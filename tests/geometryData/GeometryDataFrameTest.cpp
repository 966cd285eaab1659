#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "geometryData/GeometryData.h"

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

TEST(GeometryDataFrame, CopiesAndMovesKeepTheFields)
{
    const auto makeSource = [] {
        GeometryData source(std::string("/some/case"));
        source.setGeometryUnit(inch);
        source.setGroupMode(groupsFromPreprocessor);
        source.setAxisymmetric(true);
        return source;
    };
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
        GeometryData source = makeSource();
        const GeometryData target = transfer(source);
        EXPECT_EQ(target.getGeometryUnit(), inch);
        EXPECT_EQ(target.getGroupMode(), groupsFromPreprocessor);
        EXPECT_TRUE(target.isAxisymmetric());
    }

    // A copy leaves its source as it was.
    const GeometryData source = makeSource();
    GeometryData copy(source);
    copy.setGeometryUnit(millimetre);
    copy.setAxisymmetric(false);
    EXPECT_EQ(source.getGeometryUnit(), inch);
    EXPECT_TRUE(source.isAxisymmetric());
}

} // namespace
