#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <TopAbs_ShapeEnum.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS_Shape.hxx>

class TopoEntity;

// The distinct edges, faces and solids of a partitioned shape, in the kernel's
// map order, with the names and ids of the entities made from them: "Edge_",
// "Face_", "Solid_" + a number counted within each kind, ids running on across
// the kinds (edges, then faces, then solids).
class PartitionPieces {
public:
    // Names start after the given counts of existing entities of each kind.
    PartitionPieces(const TopoDS_Shape& shape, int edgesBefore = 0, int facesBefore = 0, int solidsBefore = 0);

    bool empty() const;
    // The highest kind present: 3 solids, 2 faces, 1 edges, 0 none.
    int dimension() const;
    // One new active entity per piece, ids from firstId on.
    std::vector<std::shared_ptr<TopoEntity>> makeEntities(int firstId) const;
    // Solids with the faces that bound them (upperDimension 3), or faces with
    // their edges (2), in both directions; other entries stay as they are.
    void relate(std::map<std::string, std::vector<std::string>>& relations, int upperDimension) const;

private:
    TopTools_IndexedMapOfShape edges;
    TopTools_IndexedMapOfShape faces;
    TopTools_IndexedMapOfShape solids;
    std::vector<std::string> edgeNames;
    std::vector<std::string> faceNames;
    std::vector<std::string> solidNames;
};
