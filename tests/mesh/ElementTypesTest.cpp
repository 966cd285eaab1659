#include <gtest/gtest.h>

#include <vtkCellType.h>
#include <vtkGenericCell.h>
#include <vtkNew.h>

#include "mesh/Element.h"
#include "support/Exceptions.h"
#include "vemra_exception.h"

namespace {

struct KindRecord {
    int gmshType; // gmsh MSH element type number
    int vtkType;
    int dimension;
    int nodeCount;
    const char* typeName;
};

// Numbers, node counts and dimensions from the public gmsh element table.
const KindRecord kinds[] = {
    {1, VTK_LINE, 1, 2, "line"},
    {2, VTK_TRIANGLE, 2, 3, "triangle"},
    {3, VTK_QUAD, 2, 4, "quadrangle"},
    {4, VTK_TETRA, 3, 4, "tetrahedron"},
    {5, VTK_HEXAHEDRON, 3, 8, "hexahedron"},
    {6, VTK_WEDGE, 3, 6, "prism"},
    {7, VTK_PYRAMID, 3, 5, "pyramid"},
    {8, VTK_QUADRATIC_EDGE, 1, 3, "line2"},
    {9, VTK_QUADRATIC_TRIANGLE, 2, 6, "triangle2"},
    {11, VTK_QUADRATIC_TETRA, 3, 10, "tetrahedron2"},
};

TEST(ElementTypes, FactoryMakesEveryKindWithItsRecord)
{
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.typeName);
        ASSERT_TRUE(Element::isKnownType(kind.gmshType));
        const auto element = Element::create(kind.gmshType);
        EXPECT_EQ(element->getGmshType(), kind.gmshType);
        EXPECT_EQ(element->getVtkType(), kind.vtkType);
        EXPECT_EQ(element->getDimension(), kind.dimension);
        EXPECT_EQ(element->getNodeCount(), kind.nodeCount);
        EXPECT_EQ(element->getTypeName(), kind.typeName);
        // Fresh elements hold nothing, whatever their kind's node count.
        EXPECT_EQ(element->getId(), 0);
        EXPECT_TRUE(element->getNodes().empty());
        EXPECT_NE(element, Element::create(kind.gmshType));

        // VTK's own cell of that type agrees on shape.
        vtkNew<vtkGenericCell> cell;
        cell->SetCellType(kind.vtkType);
        EXPECT_EQ(cell->GetCellDimension(), kind.dimension);
        EXPECT_EQ(cell->GetNumberOfPoints(), kind.nodeCount);
    }
}

TEST(ElementTypes, EnumeratorsAreTheGmshNumbers)
{
    const ElementTypes enumerators[] = {LINE, TRI, QUAD, TETRA, HEXA, PRISM, PYRA, LINE2, TRI2, TETRA2};
    for (std::size_t i = 0; i < std::size(enumerators); ++i)
        EXPECT_EQ(Element::create(enumerators[i])->getGmshType(), kinds[i].gmshType);
}

TEST(ElementTypes, UnknownNumbersRaise)
{
    for (int number : {0, 10, 12, -1, 100}) {
        SCOPED_TRACE(number);
        EXPECT_FALSE(Element::isKnownType(number));
        expectMessage([&] { Element::create(number); },
                      "Element::create: unknown gmsh element type " + std::to_string(number));
    }
}

} // namespace
