#include <gtest/gtest.h>

#include "geometryData/ShapeGluer.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"

namespace {

TopoDS_Shape glue(const TopoDS_Shape& argument, bool keepNonSolids = true)
{
    ShapeGluer gluer;
    gluer.SetArgument(argument);
    gluer.SetTolerance(1e-7);
    gluer.SetKeepNonSolids(keepNonSolids);
    gluer.Detect();
    gluer.Perform();
    return gluer.Shape();
}

} // namespace

TEST(ShapeGluer, CoincidentSubShapesBecomeShared)
{
    struct Case {
        const char* what;
        TopoDS_Shape argument;
        bool keepNonSolids;
        int solids, faces, edges, vertices;
    };
    const Case cases[] = {
        {"boxes touching at x=1", compoundOf(boxAt(0, 0, 0), boxAt(1, 0, 0)), true, 2, 11, 20, 12},
        {"three boxes in a row", compoundOf(boxAt(0, 0, 0), boxAt(1, 0, 0), boxAt(2, 0, 0)), true, 3, 16, 28, 16},
        {"squares sharing an edge", compoundOf(squareAt(0, 0, 0), squareAt(1, 0, 0)), true, 0, 2, 7, 6},
        {"boxes apart", compoundOf(boxAt(0, 0, 0), boxAt(3, 0, 0)), true, 2, 12, 24, 16},
        {"non-solids left out", compoundOf(boxAt(0, 0, 0), boxAt(1, 0, 0), squareAt(0, 0, 5)), false, 2, 11, 20, 12},
        {"non-solids kept", compoundOf(boxAt(0, 0, 0), boxAt(1, 0, 0), squareAt(0, 0, 5)), true, 2, 12, 24, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TopoDS_Shape glued = glue(c.argument, c.keepNonSolids);
        ASSERT_FALSE(glued.IsNull());
        EXPECT_EQ(countOf(glued, TopAbs_SOLID), c.solids);
        EXPECT_EQ(countOf(glued, TopAbs_FACE), c.faces);
        EXPECT_EQ(countOf(glued, TopAbs_EDGE), c.edges);
        EXPECT_EQ(countOf(glued, TopAbs_VERTEX), c.vertices);
    }
}

TEST(ShapeGluer, NoPieceGivesNullAndOnePieceIsReturnedAsItIs)
{
    EXPECT_TRUE(glue(TopoDS_Shape()).IsNull());
    EXPECT_TRUE(glue(compoundOf()).IsNull());
    const TopoDS_Shape box = boxAt(0, 0, 0);
    EXPECT_TRUE(glue(box).IsSame(box));
    EXPECT_TRUE(glue(compoundOf(box)).IsSame(box));
}
