#include <gtest/gtest.h>

#include "mesh/Element.h"

namespace {

TEST(Node, ComparesAndOrdersByIdOnly)
{
    struct Case {
        Node a, b;
        bool equal, aLess, bLess;
    };
    const Case cases[] = {
        {Node(3, 0, 0, 0), Node(3, 1, 2, 3), true, false, false},
        {Node(-1, 5, 5, 5), Node(0, 5, 5, 5), false, true, false},
        {Node(7, 0, 0, 0), Node(2, 0, 0, 0), false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.a.getId()) + " vs " + std::to_string(c.b.getId()));
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.a != c.b, !c.equal);
        EXPECT_EQ(c.a < c.b, c.aLess);
        EXPECT_EQ(c.b < c.a, c.bLess);
    }
}

TEST(Node, KeepsCoordinatesAndMidNodeFlag)
{
    Node node(4, 1.5, -2.25, 3e10);
    EXPECT_EQ(node.getId(), 4);
    EXPECT_EQ(node.getCoordinates(), (std::vector<double>{1.5, -2.25, 3e10}));
    EXPECT_EQ(node.getX(), 1.5);
    EXPECT_EQ(node.getY(), -2.25);
    EXPECT_EQ(node.getZ(), 3e10);
    EXPECT_FALSE(node.isMidNode());
    node.setMidNode(true);
    EXPECT_TRUE(node.isMidNode());
    node.setMidNode(false);
    EXPECT_FALSE(node.isMidNode());
}

TEST(Node, ListsLiveElementsInOrderAndSkipsReleasedOnes)
{
    auto node = std::make_shared<Node>(1, 0, 0, 0);
    auto first = Element::create(LINE);
    auto second = Element::create(TRI);
    auto third = Element::create(QUAD);
    node->addElement(first);
    const Node copyBefore(*node);
    node->addElement(second);
    node->addElement(first);
    node->addElement(third);

    EXPECT_EQ(node->getElements(), (std::vector<std::shared_ptr<Element>>{first, second, first, third}));
    EXPECT_EQ(copyBefore.getElements(), (std::vector<std::shared_ptr<Element>>{first}));

    second.reset();
    EXPECT_EQ(node->getElements(), (std::vector<std::shared_ptr<Element>>{first, first, third}));
    first.reset();
    third.reset();
    EXPECT_TRUE(node->getElements().empty());
    EXPECT_EQ(node->getId(), 1);
}

} // namespace
