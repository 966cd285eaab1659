#include <gtest/gtest.h>

#include <map>

#include "MeshFixtures.h"

namespace {

std::vector<std::vector<int>> faceIds(const Element& element)
{
    std::vector<std::vector<int>> ids;
    for (const auto& face : element.getFaces())
        ids.push_back(face.getNodeIds());
    return ids;
}

TEST(ElementFaces, TablesOfEveryKind)
{
    struct Case {
        int gmshType;
        std::vector<std::vector<int>> faces; // node ids, node i having id 10 + i
    };
    const Case cases[] = {
        {LINE, {}},
        {TRI, {{10, 11, 12}}},
        {QUAD, {{10, 11, 12, 13}}},
        {TETRA, {{10, 11, 12}, {11, 13, 12}, {13, 10, 12}, {10, 13, 11}}},
        {HEXA, {{10, 11, 12, 13}, {11, 15, 16, 12}, {15, 14, 17, 16}, {14, 10, 13, 17},
                {13, 12, 16, 17}, {15, 11, 10, 14}}},
        {PRISM, {{10, 11, 12}, {10, 13, 14, 11}, {12, 15, 13, 10}, {11, 14, 15, 12}, {13, 15, 14}}},
        {PYRA, {{10, 11, 12, 13}, {10, 14, 11}, {11, 14, 12}, {12, 14, 13}, {13, 14, 10}}},
        {LINE2, {}},
        {TRI2, {}},
        {TETRA2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gmshType);
        const auto built = buildElement(c.gmshType, referencePoints(c.gmshType), 10);
        built.element->setId(7);
        EXPECT_EQ(faceIds(*built.element), c.faces);
        for (const auto& face : built.element->getFaces()) {
            EXPECT_EQ(face.getElementId(), 7);
            EXPECT_TRUE(face.isFlagClear());
            EXPECT_EQ(face.getName(), "");
        }
    }
}

struct Vec {
    double x, y, z;
};

Vec operator-(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TEST(ElementFaces, SolidFacesCloseTheSurfaceAndPointInward)
{
    const std::pair<int, int> solids[] = {{TETRA, VTK_TETRA}, {HEXA, VTK_HEXAHEDRON},
                                          {PRISM, VTK_WEDGE}, {PYRA, VTK_PYRAMID}};
    for (const auto& [gmshType, vtkType] : solids) {
        SCOPED_TRACE(gmshType);
        const auto points = referencePoints(gmshType);
        const auto built = buildElement(gmshType, points);
        Vec centre{0, 0, 0};
        for (const auto& p : points)
            centre = {centre.x + p[0] / points.size(), centre.y + p[1] / points.size(),
                      centre.z + p[2] / points.size()};

        std::map<std::pair<int, int>, int> directedEdges;
        std::set<IndexSet> faceSets;
        for (const auto& face : faceIds(*built.element)) {
            faceSets.insert(IndexSet(face.begin(), face.end()));
            // Newell normal of the face polygon, compared with the direction to the centre.
            Vec normal{0, 0, 0}, faceCentre{0, 0, 0};
            for (std::size_t k = 0; k < face.size(); ++k) {
                const auto& p = points[face[k]];
                const auto& q = points[face[(k + 1) % face.size()]];
                normal.x += (p[1] - q[1]) * (p[2] + q[2]);
                normal.y += (p[2] - q[2]) * (p[0] + q[0]);
                normal.z += (p[0] - q[0]) * (p[1] + q[1]);
                faceCentre = {faceCentre.x + p[0] / face.size(), faceCentre.y + p[1] / face.size(),
                              faceCentre.z + p[2] / face.size()};
                ++directedEdges[{face[k], face[(k + 1) % face.size()]}];
            }
            EXPECT_GT(dot(normal, centre - faceCentre), 0.0);
        }
        // Every edge is used twice, once in each direction.
        for (const auto& [edge, uses] : directedEdges) {
            EXPECT_EQ(uses, 1);
            EXPECT_EQ(directedEdges.count({edge.second, edge.first}), 1u);
        }
        EXPECT_EQ(faceSets, vtkCellParts(vtkType, true));
    }
}

TEST(ElementFaces, SharedFaceOfTwoTetrahedraComparesEqual)
{
    auto a = std::make_shared<Node>(1, 0, 0, 0);
    auto b = std::make_shared<Node>(2, 1, 0, 0);
    auto c = std::make_shared<Node>(3, 0, 1, 0);
    auto d = std::make_shared<Node>(4, 0, 0, 1);
    auto e = std::make_shared<Node>(5, 0, 0, -1);
    auto upper = Element::create(TETRA);
    upper->setNodes({a, b, c, d});
    auto lower = Element::create(TETRA);
    lower->setNodes({c, e, b, a}); // shares a, b, c, listed in another order

    int equalPairs = 0;
    for (const auto& mine : upper->getFaces()) {
        for (const auto& theirs : lower->getFaces()) {
            EXPECT_EQ(mine == theirs, theirs == mine);
            if (mine == theirs) {
                ++equalPairs;
                const auto ids = mine.getNodeIds();
                EXPECT_EQ(std::multiset<int>(ids.begin(), ids.end()), (std::multiset<int>{1, 2, 3}));
            }
        }
    }
    EXPECT_EQ(equalPairs, 1);
}

TEST(ElementFaces, EqualityIsASymmetricNodeSetTest)
{
    struct Case {
        std::vector<int> a, b;
        bool equal;
    };
    const Case cases[] = {
        {{4, 5, 6}, {6, 4, 5}, true},
        {{4, 5, 6}, {4, 5, 7}, false},
        {{4, 4, 5}, {4, 5, 5}, false},
        {{4, 5, 6}, {6, 5, 4, 9}, false}, // a triangle never equals a quadrangle
        {{1, 2, 3, 4}, {3, 4, 1, 2}, true},
        {{}, {}, true},
    };
    for (const auto& c : cases) {
        const ElementFace a(c.a, 1), b(c.b, 2);
        EXPECT_EQ(a == b, c.equal);
        EXPECT_EQ(b == a, c.equal);
    }
}

TEST(ElementFaces, RecordFieldsAndTags)
{
    ElementFace face({4, 5, 6}, 3);
    face.setFlag(2);
    EXPECT_FALSE(face.isFlagClear());
    EXPECT_EQ(face.getFlag(), 2);
    face.setName("port");
    const ElementFace copy(face);
    EXPECT_EQ(copy.getName(), "port");
    EXPECT_EQ(copy.getFlag(), 2);
    EXPECT_EQ(copy.getElementId(), 3);
    face.setFlag(0);
    EXPECT_TRUE(face.isFlagClear());

    ElementFace assigned({1}, 0);
    assigned = copy;
    EXPECT_EQ(assigned.getNodeIds(), (std::vector<int>{4, 5, 6}));

    // Untagged records never differ, whatever their nodes.
    EXPECT_FALSE(ElementFace({4, 5, 6}, 1).differsFrom(ElementFace({7, 8, 9}, 2)));
}

} // namespace
