// Ids at the top of the range of int: the largest is an id like any other,
// and the step past it is a clear error, never a wrap to negative ids.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "geometryData/PartitionPieces.h"
#include "geometryData/TopoEntity.h"
#include "support/Environment.h"
#include "support/Exceptions.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"

namespace {

class EntityIds : public ::testing::Test {
protected:
    ScratchDirectory temp;
    EnvironmentGuard tempVariable{"TEMP", temp.path()};
};

// A cube has 12 edges, 6 faces and 1 solid: 19 pieces, 19 ids in a row.
TEST_F(EntityIds, PiecesNumberedUpToTheLargestId)
{
    const PartitionPieces pieces(unitCube(), 0, 0, 0);
    const auto made = pieces.makeEntities(INT_MAX - 18);
    ASSERT_EQ(made.size(), 19u);
    EXPECT_EQ(made.front()->getId(), INT_MAX - 18);
    EXPECT_EQ(made.back()->getName(), "Solid_1");
    EXPECT_EQ(made.back()->getId(), INT_MAX);

    expectMessage([&] { pieces.makeEntities(INT_MAX - 17); },
                  "No id is left for entity Solid_1: the ids in use reach 2147483647, the largest id there is.");
}

TEST_F(EntityIds, NextIdsStopAtTheLargestId)
{
    GeometryData model(temp.path());
    model.addEntity(std::make_shared<TopoEntity>(unitCube(), "top", INT_MAX));
    EXPECT_EQ(model.getEntities().front()->getId(), INT_MAX);
    expectMessage([&] { model.nextEntityId(); },
                  "No id is left for a new entity: the ids in use reach 2147483647, the largest id there is.");
    // An entity without an id asks for the next one.
    expectMessage([&] { model.addEntity(std::make_shared<TopoEntity>(boxAt(2, 0, 0), "next", 0)); },
                  "No id is left for a new entity: the ids in use reach 2147483647, the largest id there is.");

    // A group without an id takes its first entity's: the largest one.
    auto domain = std::make_shared<DomainGroup>();
    domain->setName("d");
    domain->addEntity(model.getEntities().front());
    domain->buildShape();
    EXPECT_EQ(domain->getId(), INT_MAX);
    model.addDomain(domain);
    expectMessage([&] { model.nextGroupId(); },
                  "No id is left for a new group: the ids in use reach 2147483647, the largest id there is.");
}

} // namespace
