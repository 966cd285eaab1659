#include <gtest/gtest.h>

#include <cmath>

#include "MeshFixtures.h"

namespace {

struct MeasureCase {
    const char* label;
    int gmshType;
    std::vector<std::array<double, 3>> points;
    double length, area, volume; // worked out by hand
};

const MeasureCase measureCases[] = {
    {"line 3-4-5", LINE, {{0, 0, 0}, {3, 4, 0}}, 5.0, 0.0, 0.0},
    {"line2 ignores its mid node", LINE2, {{0, 0, 0}, {3, 4, 0}, {10, 10, 10}}, 5.0, 0.0, 0.0},
    {"unit right triangle", TRI, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 0.0, 0.5, 0.0},
    {"tilted triangle", TRI, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0.0, std::sqrt(3.0) / 2.0, 0.0},
    {"collinear triangle", TRI, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, 0.0, 0.0, 0.0},
    {"triangle2 measures its corners", TRI2,
     {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}, {-3, 2, 1}, {0, 0, 9}}, 0.0, 0.5, 0.0},
    {"2 by 1 rectangle", QUAD, {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}}, 0.0, 2.0, 0.0},
    {"crossed quadrangle sums its two triangles", QUAD,
     {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 0}}, 0.0, 4.0, 0.0},
    {"unit right tetrahedron", TETRA, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0.0, 0.0, 1.0 / 6.0},
    {"tetrahedron with reversed orientation", TETRA,
     {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}}, 0.0, 0.0, 1.0 / 6.0},
    {"shifted 2-3-5 tetrahedron", TETRA, {{1, 1, 1}, {3, 1, 1}, {1, 4, 1}, {1, 1, 6}}, 0.0, 0.0, 5.0},
    {"unit cube", HEXA,
     {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
     0.0, 0.0, 1.0},
    {"unit cube with reversed orientation", HEXA,
     {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
     0.0, 0.0, 1.0},
    {"2 by 3 by 4 box", HEXA,
     {{0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0}, {0, 0, 4}, {2, 0, 4}, {2, 3, 4}, {0, 3, 4}},
     0.0, 0.0, 24.0},
    {"sheared unit cube", HEXA,
     {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 0, 1}, {1.5, 0, 1}, {1.5, 1, 1}, {0.5, 1, 1}},
     0.0, 0.0, 1.0},
    {"unit prism", PRISM, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, 0.0, 0.0, 0.5},
    {"prism of base 2 and height 3", PRISM,
     {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 0, 3}, {2, 0, 3}, {0, 2, 3}}, 0.0, 0.0, 6.0},
    {"unit pyramid", PYRA, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 0.5, 1}}, 0.0, 0.0, 1.0 / 3.0},
    {"oblique pyramid on a 2 by 2 base", PYRA,
     {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {0, 0, 3}}, 0.0, 0.0, 4.0},
    {"tetrahedron2 measures its corners", TETRA2,
     {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {7, 7, 7}, {-1, 2, 3}, {4, 4, 4},
      {9, 0, 0}, {0, 9, 0}, {0, 0, 9}},
     0.0, 0.0, 1.0 / 6.0},
};

TEST(ElementMeasures, LengthsAreasAndVolumesOfEveryKind)
{
    for (const auto& c : measureCases) {
        SCOPED_TRACE(c.label);
        const auto built = buildElement(c.gmshType, c.points);
        EXPECT_NEAR(built.element->getLength(), c.length, 1e-12);
        EXPECT_NEAR(built.element->getArea(), c.area, 1e-12);
        EXPECT_NEAR(built.element->getVolume(), c.volume, 1e-12);
    }
}

TEST(ElementMeasures, MarkMidNodesMarksOnlyTheSecondOrderMidNodes)
{
    struct Case {
        int gmshType;
        std::set<int> marked;
    };
    const Case cases[] = {
        {LINE, {}}, {TRI, {}}, {QUAD, {}}, {TETRA, {}}, {HEXA, {}}, {PRISM, {}}, {PYRA, {}},
        {LINE2, {2}}, {TRI2, {3, 4, 5}}, {TETRA2, {4, 5, 6, 7, 8, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gmshType);
        const auto built = buildElement(c.gmshType, referencePoints(c.gmshType));
        built.element->markMidNodes();
        built.element->markMidNodes(); // a second call changes nothing
        std::set<int> marked;
        for (std::size_t i = 0; i < built.nodes.size(); ++i) {
            if (built.nodes[i]->isMidNode())
                marked.insert(static_cast<int>(i));
        }
        EXPECT_EQ(marked, c.marked);
    }
}

} // namespace
