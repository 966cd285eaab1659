#pragma once

#include <memory>
#include <string>
#include <vector>

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
    // of a CAD file).
    void add(TopoDS_Shape shape, std::string label = std::string());
    void addBrepFile(std::string filePath);
    void sortByType();
    TopoDS_Shape fuse();
    TopoDS_Shape glue();
    void fuseAndWriteStep(std::string filePath);

    const TopTools_ListOfShape& getShapes() const { return shapes; }
    const std::vector<std::string>& getLabels() const { return labels; }

private:
    TopTools_ListOfShape shapes;
    // One a shape, in list order.
    std::vector<std::string> labels;
};
