#include <gtest/gtest.h>

#include "geometryData/GeneralFuse.h"
#include "geometryData/ShapeList.h"
#include "support/LogCapture.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"

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

TEST(GeneralFuse, WarningsAreLoggedByNameAndTheResultKept)
{
    // Two equal self-intersecting (bow-tie) faces: the kernel fuses them with a warning.
    const auto bowTie = [] {
        return BRepBuilderAPI_MakeFace(BRepBuilderAPI_MakePolygon(gp_Pnt(0.2, 0.2, 0.5), gp_Pnt(0.8, 0.8, 0.5),
                                                                  gp_Pnt(0.8, 0.2, 0.5), gp_Pnt(0.2, 0.8, 0.5), true)
                                           .Wire(),
                                       true)
            .Shape();
    };
    ShapeList list;
    list.add(bowTie());
    list.add(bowTie());
    const LogCapture warnings(el::Level::Warning);
    const TopoDS_Shape fused = list.fuse();
    EXPECT_FALSE(fused.IsNull());
    EXPECT_EQ(warnings.containing("General fuse warnings: BOPAlgo_AlertAcquiredSelfIntersection"),
              std::vector<std::string>{"General fuse warnings: BOPAlgo_AlertAcquiredSelfIntersection"});
}
