#include "geometryData/TopoEntity.h"

#include <BRep_Builder.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_FormatVersion.hxx>
#include <TopTools_ListOfShape.hxx>

#include "misc/JsonLimits.h"
#include "misc/Utilities.h"
#include "topology/InputChecks.h"
#include "topology/ShapeAlgorithms.h"
#include "topology/SolidSoundness.h"
#include "vemra_exception.h"

namespace {

TopTools_ListOfShape subShapes(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    TopTools_ListOfShape list;
    for (TopExp_Explorer explorer(shape, type); explorer.More(); explorer.Next()) {
        list.Append(explorer.Current());
    }
    return list;
}

// Whether a sub-shape of the given type in one shape equals a sub-shape of the other.
bool sharesSubShape(const TopoDS_Shape& shape, const TopoDS_Shape& other, TopAbs_ShapeEnum type)
{
    const TopTools_ListOfShape candidates = subShapes(other, type);
    for (TopExp_Explorer explorer(shape, type); explorer.More(); explorer.Next()) {
        if (isShapeInList(explorer.Current(), candidates)) {
            return true;
        }
    }
    return false;
}

const TopoEntity& existing(const std::shared_ptr<TopoEntity>& entity)
{
    if (!entity) {
        throw vemra_exception("TopoEntity::TopoEntity - empty entity passed as argument");
    }
    return *entity;
}

} // namespace

int shapeDimension(TopoDS_Shape shape)
{
    if (shape.IsNull()) {
        return 0;
    }
    switch (shape.ShapeType()) {
    case TopAbs_EDGE:
    case TopAbs_WIRE:
        return 1;
    case TopAbs_FACE:
        return 2;
    case TopAbs_SOLID:
        return 3;
    case TopAbs_COMPOUND:
        if (holdsSubShape(shape, TopAbs_SOLID)) {
            return 3;
        }
        if (holdsSubShape(shape, TopAbs_FACE)) {
            return 2;
        }
        if (holdsSubShape(shape, TopAbs_EDGE)) {
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

void checkEntityName(const std::string& name)
{
    const bool unsafe = name.empty() || name == "." || name == ".." ||
                        name.find_first_of(std::string("/\\\0", 3)) != std::string::npos;
    if (unsafe) {
        // A NUL would cut the message short in every log: show it as an escape.
        std::string shown;
        for (char c : name) {
            shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        }
        throw vemra_exception("Invalid entity name \"" + shown +
                              "\": a name must not be empty, \".\" or \"..\" nor contain \"/\", \"\\\" or NUL");
    }
}

TopoDS_Shape readBrepShape(const std::string& file, const std::string& entity)
{
    TopoDS_Shape shape = readBrepFile(file);
    // Damaged geometry makes the Boolean operations spin or crash.
    checkShapeSoundness(shape, "BREP file " + file);
    // Nothing has checked this shape before: its faces are analysed in full.
    checkSolidSoundness(shape, (entity.empty() ? "" : "entity " + entity + ", ") + "BREP file " + file, false);
    return shape;
}

TopoEntity::TopoEntity(TopoDS_Shape shape, std::string name, int id)
    : shape(std::move(shape)), name(std::move(name)), id(id)
{
    if (this->shape.IsNull()) {
        throw vemra_exception("TopoEntity::TopoEntity - empty shape passed as argument");
    }
    dimension = shapeDimension(this->shape);
}

TopoEntity::TopoEntity(const nlohmann::json& entry, std::string workingDirectory)
{
    name = entry.at("name").get<std::string>();
    // The name becomes the entity's BREP file name.
    checkEntityName(name);
    id = readId(entry, "entity " + name);
    const std::string relativePath = entry.at("path").get<std::string>();
    if (relativePath.empty()) {
        throw vemra_exception("No shape path specified for entity " + name);
    }
    checkNoNul(relativePath, "path", "entity " + name);
    const std::string file =
        fileInWorkingDirectory(workingDirectory, relativePath, "path \"" + relativePath + "\" of entity " + name);
    if (!fileExists(file)) {
        throw vemra_exception("Brep file." + file + "does not exist");
    }
    shape = readBrepShape(file, name);
    path = relativePath;
    dimension = shapeDimension(shape);
}

TopoEntity::TopoEntity(const TopoEntity& other)
    : dimension(other.dimension),
      shape(other.shape),
      name(other.name),
      path(other.path),
      origin(other.origin),
      id(other.id),
      active(other.active)
{
}

TopoEntity::TopoEntity(std::shared_ptr<TopoEntity> other) : TopoEntity(existing(other))
{
}

int TopoEntity::getDimension() const
{
    return dimension;
}

EntityDimension TopoEntity::getDimensionType() const
{
    switch (dimension) {
    case 1:
        return edgeDimension;
    case 2:
        return faceDimension;
    case 3:
        return solidDimension;
    default:
        return noDimension;
    }
}

std::string TopoEntity::getName() const
{
    return name;
}

TopoDS_Shape TopoEntity::getShape() const
{
    return shape;
}

const std::string& TopoEntity::getOrigin() const
{
    return origin;
}

void TopoEntity::setOrigin(std::string newOrigin)
{
    origin = std::move(newOrigin);
}

void TopoEntity::setShape(TopoDS_Shape newShape)
{
    // An entity without a shape would be written as an empty file and break every later step.
    if (newShape.IsNull()) {
        throw vemra_exception("TopoEntity::setShape - empty shape passed as argument");
    }
    shape = std::move(newShape);
    dimension = shapeDimension(shape);
}

int TopoEntity::getId() const
{
    return id;
}

void TopoEntity::setId(int newId)
{
    id = newId;
}

bool TopoEntity::isActive() const
{
    return active;
}

void TopoEntity::setActive(bool value)
{
    active = value;
}

void TopoEntity::setMarked()
{
    mark = true;
}

bool TopoEntity::isMarked() const
{
    return mark;
}

void TopoEntity::clearMarked()
{
    mark = false;
}

void TopoEntity::addRelatedEntity(std::shared_ptr<TopoEntity> entity)
{
    relatedEntities.push_back(std::move(entity));
}

std::vector<std::shared_ptr<TopoEntity>> TopoEntity::getRelatedEntities() const
{
    return relatedEntities;
}

bool TopoEntity::isPartOf(std::shared_ptr<TopoEntity> other) const
{
    if (!other) {
        return false;
    }
    TopAbs_ShapeEnum type;
    if (other->dimension == 3 && dimension == 2) {
        type = TopAbs_FACE;
    } else if ((other->dimension == 3 || other->dimension == 2) && dimension == 1) {
        type = TopAbs_EDGE;
    } else {
        return false;
    }
    for (TopExp_Explorer explorer(other->shape, type); explorer.More(); explorer.Next()) {
        if (isSameShape(explorer.Current(), shape)) {
            return true;
        }
    }
    return false;
}

bool TopoEntity::isPartOf(TopoDS_Shape other) const
{
    return isPartOf(std::make_shared<TopoEntity>(other, "", 0));
}

bool TopoEntity::sharesEdge(std::shared_ptr<TopoEntity> other) const
{
    return other && sharesSubShape(shape, other->shape, TopAbs_EDGE);
}

bool TopoEntity::sharesFace(std::shared_ptr<TopoEntity> other) const
{
    return other && sharesSubShape(shape, other->shape, TopAbs_FACE);
}

void TopoEntity::writeBrep(std::string directory)
{
    const std::string newPath = "/geometry/raw/" + name + ".brep";
    writeBrepFileAs(shape, directory + newPath, false, TopTools_FormatVersion_VERSION_3);
    // The path names the file only once it holds the shape.
    path = newPath;
}

nlohmann::json TopoEntity::toJson() const
{
    nlohmann::json object;
    object["name"] = name;
    object["id"] = id;
    object["path"] = path;
    return object;
}
