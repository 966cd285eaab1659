#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "MeshFixtures.h"
#include "mesh/LinearElements.h"
#include "support/Exceptions.h"
#include "vemra_exception.h"

namespace {

TEST(Element, EqualityUsesTheIdOnly)
{
    auto tri = Element::create(TRI);
    auto hexa = Element::create(HEXA);
    EXPECT_TRUE(*tri == *hexa); // fresh elements both have id 0
    tri->setId(4);
    EXPECT_TRUE(*tri != *hexa);
    hexa->setId(4);
    EXPECT_TRUE(*tri == *hexa);
}

TEST(Element, KeepsOwnerNodesAndAttributeWithoutOwningThem)
{
    auto owner = std::make_shared<int>(42);
    auto a = std::make_shared<Node>(1, 0, 0, 0);
    auto b = std::make_shared<Node>(2, 1, 0, 0);
    LINEelement line(owner, {a, b});
    EXPECT_EQ(line.getOwner(), owner);
    EXPECT_EQ(line.getNodes(), (std::vector<std::shared_ptr<Node>>{a, b}));
    EXPECT_EQ(line.getAttribute(), 0);
    line.setAttribute(9);

    const LINEelement copy(line);
    EXPECT_EQ(copy.getAttribute(), 9);
    EXPECT_EQ(copy.getNodes(), line.getNodes());

    owner.reset();
    EXPECT_EQ(line.getOwner(), nullptr);
    EXPECT_EQ(Element::create(TRI)->getOwner(), nullptr);

    b.reset();
    EXPECT_THROW(line.getNodes(), std::bad_weak_ptr);
}

TEST(Element, ContainsNodesOfMatchesNodeObjects)
{
    auto a = std::make_shared<Node>(1, 0, 0, 0);
    auto b = std::make_shared<Node>(2, 1, 0, 0);
    auto c = std::make_shared<Node>(3, 0, 1, 0);
    auto twinOfA = std::make_shared<Node>(1, 0, 0, 0);
    auto tri = Element::create(TRI);
    tri->setNodes({a, b, c});

    struct Case {
        const char* label;
        std::vector<std::shared_ptr<Node>> other;
        bool contained;
    };
    const Case cases[] = {
        {"subset in another order", {c, a}, true},
        {"repeated node", {b, b}, true},
        {"no nodes", {}, true},
        {"same id, other object", {twinOfA}, false},
        {"one node too many", {a, b, c, twinOfA}, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.label);
        auto other = Element::create(QUAD);
        other->setNodes(k.other);
        EXPECT_EQ(tri->containsNodesOf(other), k.contained);
    }
}

TEST(Element, CentroidAveragesEveryListEntry)
{
    const auto quad = buildElement(QUAD, {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 4}});
    EXPECT_EQ(quad.element->centroid(), (std::vector<double>{1, 1, 1}));

    auto a = std::make_shared<Node>(1, 0, 0, 0);
    auto b = std::make_shared<Node>(2, 3, 0, 0);
    auto line = Element::create(LINE);
    line->setNodes({a, a, b});
    EXPECT_EQ(line->centroid(), (std::vector<double>{1, 0, 0}));

    for (double value : Element::create(TETRA)->centroid())
        EXPECT_TRUE(std::isnan(value));
}

TEST(Element, ReadingMissingOrReleasedNodesRaises)
{
    struct Case {
        const char* label;
        int gmshType;
        int id;
        int nodeCount;   // nodes given, taken from the kind's reference points
        int releasedNode; // -1: none
        std::function<void(Element&, const std::vector<std::shared_ptr<Node>>&)> operation;
        const char* message;
    };
    const Case cases[] = {
        {"length of a fresh line", LINE, 0, 0, -1, [](Element& e, auto&) { e.getLength(); },
         "Element 0: no node at position 0"},
        {"area of a short triangle", TRI, 5, 2, -1, [](Element& e, auto&) { e.getArea(); },
         "Element 5: no node at position 2"},
        {"area with a released node", QUAD, 3, 4, 1, [](Element& e, auto&) { e.getArea(); },
         "Element 3: node at position 1 no longer exists"},
        {"volume of a short hexahedron", HEXA, 0, 7, -1, [](Element& e, auto&) { e.getVolume(); },
         "Element 0: no node at position 7"},
        {"volume with a released corner", TETRA2, 8, 10, 3, [](Element& e, auto&) { e.getVolume(); },
         "Element 8: node at position 3 no longer exists"},
        {"faces of a short prism", PRISM, 2, 5, -1, [](Element& e, auto&) { e.getFaces(); },
         "Element 2: no node at position 5"},
        {"faces with a released node", TETRA, 1, 4, 2, [](Element& e, auto&) { e.getFaces(); },
         "Element 1: node at position 2 no longer exists"},
        {"neighbours in a short pyramid", PYRA, 6, 4, -1,
         [](Element& e, auto& n) { e.getEdgeNeighbours(n[0]); }, "Element 6: no node at position 4"},
        {"neighbours with a released table node", HEXA, 4, 8, 7,
         [](Element& e, auto& n) { e.getEdgeNeighbours(n[0]); },
         "Element 4: node at position 7 no longer exists"},
        {"neighbours of no node, table kind", HEXA, 0, 8, -1,
         [](Element& e, auto&) { e.getEdgeNeighbours(nullptr); }, "getEdgeNeighbours: null argument"},
        {"neighbours of no node, other kinds", TRI, 0, 3, -1,
         [](Element& e, auto&) { e.getEdgeNeighbours(nullptr); }, "getEdgeNeighbours: null argument"},
        {"contains no element", TRI, 0, 3, -1, [](Element& e, auto&) { e.containsNodesOf(nullptr); },
         "containsNodesOf: null argument"},
        {"centroid with a released node", LINE, 9, 2, 0, [](Element& e, auto&) { e.centroid(); },
         "Element 9: node at position 0 no longer exists"},
        {"marking a short tetrahedron2", TETRA2, 0, 9, -1, [](Element& e, auto&) { e.markMidNodes(); },
         "Element 0: no node at position 9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto points = referencePoints(c.gmshType);
        points.resize(c.nodeCount);
        auto built = buildElement(c.gmshType, points);
        built.element->setId(c.id);
        if (c.releasedNode >= 0)
            built.nodes[c.releasedNode].reset();
        expectMessage([&] { c.operation(*built.element, built.nodes); }, c.message);
        // A failed marking marks nothing.
        for (const auto& node : built.nodes) {
            if (node)
                EXPECT_FALSE(node->isMidNode());
        }
    }
}

} // namespace
