#include <gtest/gtest.h>

#include "EntityFixtures.h"
#include "geometryData/GeneralFuse.h"

TEST(GeneralFuse, KernelErrorsAreReturnedByAlertName)
{
    // The kernel refuses a single argument; the alert's name is what callers report.
    TopTools_ListOfShape single;
    single.Append(boxAt(0, 0, 0));
    const GeneralFuseResult refused = runGeneralFuse(single, GeneralFuseOptions());
    EXPECT_TRUE(refused.failed());
    EXPECT_EQ(refused.errors, "BOPAlgo_AlertTooFewArguments");
    EXPECT_TRUE(refused.shape.IsNull());

    TopTools_ListOfShape two;
    two.Append(boxAt(0, 0, 0));
    two.Append(boxAt(0.5, 0, 0));
    const GeneralFuseResult fused = runGeneralFuse(two, GeneralFuseOptions());
    EXPECT_FALSE(fused.failed());
    EXPECT_EQ(countOf(fused.shape, TopAbs_SOLID), 3);
}
