#include <gtest/gtest.h>

#include <map>

#include "MeshFixtures.h"

namespace {

struct KindCase {
    int gmshType;
    int vtkType;
    int cornerCount;
    // Neighbour positions per node position, in result order; empty: every other node.
    std::vector<std::vector<int>> rows;
};

const KindCase kindCases[] = {
    {LINE, VTK_LINE, 2, {}},
    {TRI, VTK_TRIANGLE, 3, {}},
    {QUAD, VTK_QUAD, 4, {{1, 3}, {0, 2}, {1, 3}, {0, 2}}},
    {TETRA, VTK_TETRA, 4, {}},
    {HEXA, VTK_HEXAHEDRON, 8,
     {{1, 3, 4}, {0, 2, 5}, {3, 6, 1}, {0, 2, 7}, {5, 0, 7}, {4, 6, 1}, {7, 5, 2}, {4, 6, 3}}},
    {PRISM, VTK_WEDGE, 6, {{1, 3, 2}, {0, 2, 4}, {5, 0, 1}, {0, 4, 5}, {5, 3, 1}, {2, 3, 4}}},
    {PYRA, VTK_PYRAMID, 5, {{1, 3, 4}, {0, 2, 4}, {1, 3, 4}, {0, 4, 2}, {0, 1, 2, 3}}},
    {LINE2, VTK_QUADRATIC_EDGE, 2, {}},
    {TRI2, VTK_QUADRATIC_TRIANGLE, 3, {}},
    {TETRA2, VTK_QUADRATIC_TETRA, 4, {}},
};

std::vector<int> positionsOf(const std::vector<std::shared_ptr<Node>>& result, const BuiltElement& built)
{
    std::vector<int> positions;
    for (const auto& node : result) {
        const auto it = std::find(built.nodes.begin(), built.nodes.end(), node);
        positions.push_back(it == built.nodes.end() ? -1 : static_cast<int>(it - built.nodes.begin()));
    }
    return positions;
}

TEST(EdgeNeighbours, EveryRowOfEveryKindInOrder)
{
    for (const auto& kind : kindCases) {
        SCOPED_TRACE(kind.gmshType);
        const auto built = buildElement(kind.gmshType, referencePoints(kind.gmshType));
        const int count = static_cast<int>(built.nodes.size());
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            std::vector<int> expected;
            if (kind.rows.empty()) {
                for (int j = 0; j < count; ++j) {
                    if (j != i)
                        expected.push_back(j);
                }
            } else {
                expected = kind.rows[i];
            }
            EXPECT_EQ(positionsOf(built.element->getEdgeNeighbours(built.nodes[i]), built), expected);
        }
    }
}

TEST(EdgeNeighbours, CornerPairsAreTheEdgesOfTheMatchingVtkCell)
{
    for (const auto& kind : kindCases) {
        SCOPED_TRACE(kind.gmshType);
        std::set<IndexSet> vtkEdges;
        for (const auto& edge : vtkCellParts(kind.vtkType, false)) {
            IndexSet ends;
            for (int id : edge) {
                if (id < kind.cornerCount)
                    ends.insert(id);
            }
            vtkEdges.insert(ends);
        }
        const auto built = buildElement(kind.gmshType, referencePoints(kind.gmshType));
        std::set<IndexSet> edges;
        for (int i = 0; i < kind.cornerCount; ++i) {
            for (int j : positionsOf(built.element->getEdgeNeighbours(built.nodes[i]), built)) {
                if (j < kind.cornerCount)
                    edges.insert(IndexSet{i, j});
            }
        }
        EXPECT_EQ(edges, vtkEdges);
    }
}

TEST(EdgeNeighbours, NodeNotHeldGivesNoNeighbours)
{
    for (const auto& kind : kindCases) {
        SCOPED_TRACE(kind.gmshType);
        const auto built = buildElement(kind.gmshType, referencePoints(kind.gmshType));
        const auto stranger = std::make_shared<Node>(99, 0, 0, 0);
        const auto twinOfLast = std::make_shared<Node>(*built.nodes.back()); // same id, other object
        EXPECT_TRUE(built.element->getEdgeNeighbours(stranger).empty());
        EXPECT_TRUE(built.element->getEdgeNeighbours(twinOfLast).empty());
    }
}

TEST(EdgeNeighbours, ReleasedNeighbourStaysAnEmptyEntry)
{
    auto built = buildElement(TRI, referencePoints(TRI));
    built.nodes[1].reset();
    const auto result = built.element->getEdgeNeighbours(built.nodes[0]);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0], nullptr);
    EXPECT_EQ(result[1], built.nodes[2]);
}

} // namespace
