#pragma once

#include <memory>
#include <string>
#include <vector>

#include <BRepTools_History.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS_Shape.hxx>

class TopoEntity;

// An ordered list of shapes with the two ways of making one shape of them:
// the general fuse and gluing.
class ShapeList {
public:
    ShapeList() = default;
    // The active entities of the highest dimension present, or every active
    // entity for the application kind "ANTENNAS".
    explicit ShapeList(std::vector<std::shared_ptr<TopoEntity>> entities);
    ~ShapeList() = default;

    // The label names the shape in the fuse's errors (an entity's name, a part
    // of a CAD file); the origin says where it came from, for the entities
    // made of it (giveOriginsTo).
    void add(TopoDS_Shape shape, std::string label = std::string(), std::string origin = std::string());
    void addBrepFile(std::string filePath);
    void sortByType();
    TopoDS_Shape fuse();
    TopoDS_Shape glue();
    void fuseAndWriteStep(std::string filePath);

    // Gives each entity made of the last fuse's result the origins of the
    // pieces its shape was made from, as a message lists them ("solid 4 of
    // CAD file x.stp"); none for a shape of no piece or of pieces of no known
    // origin.
    void giveOriginsTo(const std::vector<std::shared_ptr<TopoEntity>>& made) const;

    const TopTools_ListOfShape& getShapes() const { return shapes; }
    const std::vector<std::string>& getLabels() const { return labels; }

private:
    TopTools_ListOfShape shapes;
    // One a shape, in list order.
    std::vector<std::string> labels;
    // Where each shape came from (the part of a CAD file, an entity's
    // origin), in list order; empty where not known.
    std::vector<std::string> origins;
    // What the last fuse made of the shapes; none when it had nothing to fuse.
    Handle(BRepTools_History) history;
};
