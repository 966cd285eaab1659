#pragma once

#include <memory>
#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>
#include <nlohmann/json.hpp>

enum EntityDimension : int {
    noDimension = 0,
    edgeDimension = 1,
    faceDimension = 2,
    solidDimension = 3,
};

// The dimension of a shape: 1 edge or wire, 2 face, 3 solid; a compound
// takes the highest kind it holds; 0 anything else.
int shapeDimension(TopoDS_Shape shape);

// Refuses names that cannot safely become file names ("Invalid entity name ...").
void checkEntityName(const std::string& name);

// Reads a BREP file; raises "Could not read BREP file " + file when it yields
// no shape, and refuses damaged or unsound geometry, naming the entity (when
// given) and the file.
TopoDS_Shape readBrepShape(const std::string& file, const std::string& entity = "");

// One named solid, face or edge of a model, shared between the model, its
// groups and the operations.
class TopoEntity {
public:
    TopoEntity(TopoDS_Shape shape, std::string name, int id = 0);
    TopoEntity(const nlohmann::json& entry, std::string workingDirectory);
    TopoEntity(const TopoEntity& other);
    explicit TopoEntity(std::shared_ptr<TopoEntity> other);

    int getDimension() const;
    EntityDimension getDimensionType() const;
    std::string getName() const;
    TopoDS_Shape getShape() const;
    void setShape(TopoDS_Shape shape);
    int getId() const;
    void setId(int id);
    bool isActive() const;
    void setActive(bool active);
    void setMarked();
    bool isMarked() const;
    void clearMarked();
    // Where the shape came from, for messages that name the entity (the part
    // of a CAD file it was read from); empty when not known. Never written out.
    const std::string& getOrigin() const;
    void setOrigin(std::string origin);
    void addRelatedEntity(std::shared_ptr<TopoEntity> entity);
    std::vector<std::shared_ptr<TopoEntity>> getRelatedEntities() const;

    bool isPartOf(std::shared_ptr<TopoEntity> other) const;
    bool isPartOf(TopoDS_Shape other) const;
    bool sharesEdge(std::shared_ptr<TopoEntity> other) const;
    bool sharesFace(std::shared_ptr<TopoEntity> other) const;

    // Sets path to "/geometry/raw/" + name + ".brep" and writes the shape there.
    void writeBrep(std::string directory);
    nlohmann::json toJson() const;

private:
    int dimension = 0;
    TopoDS_Shape shape;
    std::string name;
    std::string path;
    std::string origin;
    std::vector<std::shared_ptr<TopoEntity>> relatedEntities;
    int id = 0;
    bool active = true;
    bool mark = false;
};
