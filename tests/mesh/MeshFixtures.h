#pragma once

#include <array>
#include <memory>
#include <set>
#include <vector>

#include <vtkCell.h>
#include <vtkGenericCell.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPoints.h>

#include "mesh/Element.h"

// An element of a kind together with the nodes it refers to (the element holds them weakly).
struct BuiltElement {
    std::shared_ptr<Element> element;
    std::vector<std::shared_ptr<Node>> nodes;
};

// Node i gets id firstId + i and the i-th point.
inline BuiltElement buildElement(int gmshType, const std::vector<std::array<double, 3>>& points,
                                 int firstId = 0)
{
    BuiltElement built{Element::create(gmshType), {}};
    for (std::size_t i = 0; i < points.size(); ++i)
        built.nodes.push_back(std::make_shared<Node>(firstId + static_cast<int>(i), points[i][0],
                                                     points[i][1], points[i][2]));
    built.element->setNodes(built.nodes);
    return built;
}

// Reference corners of the first-order kinds in gmsh local order; the normal of
// nodes 0, 1, 2 points into each 3D element.
inline std::vector<std::array<double, 3>> referencePoints(int gmshType)
{
    switch (gmshType) {
    case LINE: return {{0, 0, 0}, {1, 0, 0}};
    case TRI: return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    case QUAD: return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    case TETRA: return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    case HEXA:
        return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    case PRISM: return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
    case PYRA: return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 0.5, 1}};
    case LINE2: return {{0, 0, 0}, {1, 0, 0}, {0.5, 0, 0}};
    case TRI2: return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5, 0, 0}, {0.5, 0.5, 0}, {0, 0.5, 0}};
    case TETRA2:
        return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5, 0, 0},
                {0.5, 0.5, 0}, {0, 0.5, 0}, {0, 0, 0.5}, {0, 0.5, 0.5}, {0.5, 0, 0.5}};
    }
    return {};
}

using IndexSet = std::multiset<int>;

// The point-id sets of the edges (or faces) of a VTK cell of the given type
// whose points carry the ids 0 .. n-1.
inline std::set<IndexSet> vtkCellParts(int vtkType, bool faces)
{
    vtkNew<vtkGenericCell> cell;
    cell->SetCellType(vtkType);
    const vtkIdType count = cell->GetNumberOfPoints();
    for (vtkIdType i = 0; i < count; ++i) {
        cell->GetPointIds()->SetId(i, i);
        cell->GetPoints()->SetPoint(i, 0.0, 0.0, 0.0);
    }
    std::set<IndexSet> parts;
    if (!faces && cell->GetCellDimension() == 1) {
        // A line cell is its own edge.
        parts.insert(IndexSet{0, 1});
        return parts;
    }
    const int partCount = faces ? cell->GetNumberOfFaces() : cell->GetNumberOfEdges();
    for (int p = 0; p < partCount; ++p) {
        vtkCell* part = faces ? cell->GetFace(p) : cell->GetEdge(p);
        IndexSet ids;
        for (vtkIdType k = 0; k < part->GetNumberOfPoints(); ++k)
            ids.insert(static_cast<int>(part->GetPointId(k)));
        parts.insert(ids);
    }
    return parts;
}
