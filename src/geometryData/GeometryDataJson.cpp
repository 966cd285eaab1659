#include "geometryData/GeometryData.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <numeric>
#include <set>
#include <sstream>
#include <unordered_map>

#include <TopAbs_ShapeEnum.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <easylogging++.h>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/TopoEntity.h"
#include "geometryData/WorkingDirectory.h"
#include "misc/JsonLimits.h"
#include "misc/ParallelFor.h"
#include "misc/Utilities.h"
#include "topology/FaceBoxes.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

const char* const partitionShapeName = "partitionShape";

// The library converts a boolean to a number without complaint; a number
// argument of another type is its type error all the same.
const nlohmann::json& requireNumber(const nlohmann::json& value)
{
    if (!value.is_number()) {
        throw nlohmann::json::type_error::create(302, std::string("type must be number, but is ") + value.type_name(),
                                                 &value);
    }
    return value;
}

// Document names become file names: refuse unsafe ones before any file is
// touched. A name of the wrong type is left to the constructor, which raises
// the JSON library's own error for it.
void checkDocumentName(const nlohmann::json& entry, bool isEntity)
{
    if (!entry.is_object()) {
        return;
    }
    const auto name = entry.find("name");
    if (name == entry.end() || !name->is_string()) {
        return;
    }
    const auto& text = name->get_ref<const std::string&>();
    checkEntityName(text);
    if (isEntity && text == partitionShapeName) {
        throw vemra_exception("Invalid entity name \"partitionShape\": the name is reserved for the partition shape.");
    }
}

// Equal names would write one BREP file from two places; equal ids would
// make two entities indistinguishable downstream.
void checkEntitiesUnique(const std::vector<std::shared_ptr<TopoEntity>>& entities)
{
    std::set<std::string> names;
    std::map<int, std::string> ids;
    for (const auto& entity : entities) {
        const std::string name = entity->getName();
        if (!names.insert(name).second) {
            throw vemra_exception("Two entities are named " + name + ". Check your geometry input!");
        }
        const auto [position, inserted] = ids.emplace(entity->getId(), name);
        if (!inserted) {
            throw vemra_exception("Entities " + position->second + " and " + name + " have the same id " +
                                  std::to_string(entity->getId()) + ". Check your geometry input!");
        }
    }
}

// What a listed shape is, for the message refusing it under the wrong key.
std::string shapeKindText(const TopoDS_Shape& shape)
{
    static const char* const kinds[] = {"compound", "compsolid", "solid", "shell", "face",
                                        "wire",     "edge",      "vertex", "shape"};
    const std::string kind = kinds[shape.ShapeType()];
    std::string text = (kind == "edge" ? "an " : "a ") + kind;
    if (shape.ShapeType() == TopAbs_COMPOUND) {
        static const char* const contents[] = {"without solids, faces or edges", "of edges", "of faces",
                                               "of solids"};
        text += std::string(" ") + contents[shapeDimension(shape)];
    }
    return text;
}

// An entry under "solids" holds a solid, under "faces" a face, under "edges"
// an edge: the key and the model's dimension must not contradict the shapes.
void checkListedKind(const TopoEntity& entity, const std::string& key)
{
    const int expected = key == "solids" ? 3 : key == "faces" ? 2 : 1;
    if (entity.getDimension() == expected) {
        return;
    }
    const std::string wanted = key.substr(0, key.size() - 1);
    throw vemra_exception("Entity " + entity.getName() + " listed under \"" + key + "\" is not " +
                          (wanted == "edge" ? "an " : "a ") + wanted + ": its file holds " +
                          shapeKindText(entity.getShape()) + ".");
}

const char* listKeyOf(int dimension)
{
    return dimension == 3 ? "solids" : dimension == 2 ? "faces" : "edges";
}

// "dimensions" as given: a whole number from 1 to 3, the highest kind of
// entity the document lists (when it lists any).
int readDimensions(const nlohmann::json& value, const std::vector<std::shared_ptr<TopoEntity>>& entities)
{
    requireNumber(value);
    const double number = value.get<double>();
    if (!(number == 1.0 || number == 2.0 || number == 3.0)) {
        throw vemra_exception("Invalid \"dimensions\" " + value.dump() + ": it must be a whole number from 1 to 3.");
    }
    const int given = static_cast<int>(number);
    const TopoEntity* highest = nullptr;
    for (const auto& entity : entities) {
        if (highest == nullptr || entity->getDimension() > highest->getDimension()) {
            highest = entity.get();
        }
    }
    if (highest != nullptr && highest->getDimension() != given) {
        const int found = highest->getDimension();
        throw vemra_exception("Invalid \"dimensions\" " + value.dump() + ": the highest kind of entity listed is " +
                              listKeyOf(found) + " (entity " + highest->getName() + " under \"" +
                              listKeyOf(found) + "\", dimension " + std::to_string(found) + ").");
    }
    return given;
}

// A record that has a bounding box: getShapeStatistics writes none for a
// shape whose main type is VERTEX (a vertex, wire, shell or compsolid).
bool hasBoundingBox(const TopoDS_Shape& shape)
{
    return getMainShapeType(shape) != TopAbs_VERTEX;
}

// A group's JSON object with the sum of its entities' mesh counts added.
void addMeshStatistics(const Group& group, const MeshStatistics& meshStatistics, nlohmann::json& object)
{
    MeshEntityStats sum;
    for (const auto& entity : group.getEntities()) {
        const std::string name = entity->getName();
        if (meshStatistics.has(name)) {
            sum = sum + meshStatistics.byEntity.at(name);
        }
    }
    object["meshStatistics"] = sum.toJson();
}

} // namespace

void GeometryData::parseOperations(nlohmann::json rawDocument)
{
    if (rawDocument.is_object() && rawDocument.contains("operate")) {
        // By reference: a type error names the value by its place in the document.
        for (const nlohmann::json& item : rawDocument.at("operate")) {
            const nlohmann::json& function = item.at("function");
            if (function == "partition") {
                operations.push_back(std::bind(&GeometryData::partition, this));
            } else if (function == "addAir") {
                double padding = 0.0;
                std::vector<std::string> terminals;
                if (item.contains("padding")) {
                    padding = requireNumber(item.at("padding")).get<double>();
                    if (!std::isfinite(padding) || padding < 0.0) {
                        throw vemra_exception("Invalid padding " + numberText(padding) +
                                              " for addAir: it must be a finite number not below 0.");
                    }
                }
                if (item.contains("terminals")) {
                    for (const auto& terminal : item.at("terminals")) {
                        terminals.push_back(terminal.at("name").get<std::string>());
                    }
                }
                operations.push_back(std::bind(&GeometryData::addAir, this, padding, terminals));
            } else if (function == "readCADfiles") {
                const auto fileNames = item.at("fileNames").get<std::vector<std::string>>();
                cadReaders.push_back(std::bind(&GeometryData::readCADfiles, this, fileNames));
                groupMode = groupsFromAllEntities;
            } else if (function == "scale") {
                const double factor = requireNumber(item.at("scale")).get<double>();
                if (!std::isfinite(factor) || factor <= 0.0) {
                    throw vemra_exception("Invalid scale factor " + numberText(factor) +
                                          ": it must be a finite number above 0.");
                }
                operations.push_back(std::bind(&GeometryData::scale, this, factor));
            } else {
                LOG(WARNING) << "Unknown operation " << function.dump() << " in \"operate\" is skipped.";
            }
        }
    }
    if (rawDocument.is_object() && rawDocument.contains("variables")) {
        variables = rawDocument.at("variables");
    }
}

void GeometryData::readGeometryJson(nlohmann::json rawDocument)
{
    if (rawDocument.is_null()) {
        throw vemra_exception("Empty json object passed to GeometryData.");
    }
    for (const char* key : {"solids", "faces", "edges"}) {
        if (!rawDocument.is_object() || !rawDocument.contains(key)) {
            throw vemra_exception(std::string("Error while reading geometry data: Could not find key ") + key +
                                  " in geometryData json");
        }
    }

    // Read as values that may be null: an absent key is a type error here.
    if (rawDocument["hasMeshData"].get<bool>()) {
        meshFile = rawDocument["meshFile"].get<std::string>();
    } else {
        meshFile.clear();
    }
    groupMode = groupsFromAllEntities;
    if (rawDocument.contains("groupMode") &&
        rawDocument.at("groupMode").get<std::string>() == "groupsFromPreprocessor") {
        groupMode = groupsFromPreprocessor;
    }
    geometryUnit = rawDocument.contains("geometryUnit")
                       ? unitFromString(rawDocument.at("geometryUnit").get<std::string>())
                       : unknownUnit;

    // Key order makes this edges, faces, relations, solids.
    for (const auto& member : rawDocument.items()) {
        const std::string& key = member.key();
        if (key == "edges" || key == "faces" || key == "solids") {
            for (const auto& element : member.value()) {
                checkDocumentName(element, true);
                auto entity = std::make_shared<TopoEntity>(element, workingDirectory);
                checkListedKind(*entity, key);
                addEntity(entity);
            }
        } else if (key == "relations") {
            // An array would pass its indices off as entity names.
            if (!member.value().is_object() && !member.value().is_null()) {
                throw nlohmann::json::type_error::create(
                    302, std::string("type must be object, but is ") + member.value().type_name(), &member.value());
            }
            for (const auto& relation : member.value().items()) {
                relations[relation.key()] = relation.value().get<std::vector<std::string>>();
            }
        }
    }
    checkEntitiesUnique(entities);

    if (rawDocument.contains("dimensions")) {
        dimension = readDimensions(rawDocument.at("dimensions"), entities);
    } else {
        computeDimension();
    }

    // Key order makes this boundaries, domains.
    for (const auto& member : rawDocument.items()) {
        const std::string& key = member.key();
        if (key == "boundaries") {
            for (const auto& element : member.value()) {
                checkDocumentName(element, false);
                boundaries.push_back(std::make_shared<BoundaryGroup>(element, entities));
            }
        } else if (key == "domains") {
            for (const auto& element : member.value()) {
                checkDocumentName(element, false);
                domains.push_back(std::make_shared<DomainGroup>(element, entities));
            }
        }
    }

    if (rawDocument.contains("partitionShape") && !rawDocument.at("partitionShape").empty()) {
        const nlohmann::json& entry = rawDocument.at("partitionShape");
        // Named by its key here: the entity made from it is not kept.
        if (entry.is_object() && entry.contains("path") && entry.at("path").is_string()) {
            const auto& path = entry.at("path").get_ref<const std::string&>();
            checkNoNul(path, "path", "\"partitionShape\"");
            fileInWorkingDirectory(workingDirectory, path, "path \"" + path + "\" of \"partitionShape\"");
        }
        partitionShape = TopoEntity(entry, workingDirectory).getShape();
    }
    editorFile = rawDocument.contains("editorFile") ? rawDocument.at("editorFile").get<std::string>() : std::string();
}

nlohmann::json GeometryData::toJson()
{
    requireWorkingDirectory(workingDirectory);
    nlohmann::json document;
    document["solids"] = nlohmann::json::array();
    document["faces"] = nlohmann::json::array();
    document["edges"] = nlohmann::json::array();
    document["editorFile"] = editorFile;
    for (const auto& entity : entities) {
        switch (entity->getDimensionType()) {
        case solidDimension:
            document["solids"].push_back(entity->toJson());
            break;
        case faceDimension:
            document["faces"].push_back(entity->toJson());
            break;
        case edgeDimension:
            document["edges"].push_back(entity->toJson());
            break;
        default:
            break;
        }
    }
    document["relations"] = nlohmann::json::object();
    for (const auto& [name, related] : relations) {
        document["relations"][name] = related;
    }

    // The groups' objects and previews and the records of the model's box are
    // independent work items of very unequal cost (a domain's preview meshes a
    // whole solid, a boundary's one face): one loop hands them out as threads
    // come free, the items with the most faces first. Each item writes its
    // own slot, so the document is the same whatever the thread count and
    // whatever the order the items are handed out in. Every item runs;
    // the failure of the lowest item is raised after the loop, which keeps
    // the domains' failures before the boundaries' and both before the box's.
    createDirectory(workingDirectory + "/vtk");
    std::vector<nlohmann::json> domainObjects(domains.size());
    std::vector<nlohmann::json> boundaryObjects(boundaries.size());
    // The model's box is the union of the boxes of its entities of the model
    // dimension, seeded by the first entity whatever its dimension, once;
    // records without a box (a wire, a shell) take no part.
    std::vector<std::size_t> boxEntities;
    for (std::size_t i = 0; i < entities.size(); ++i) {
        if (i == 0 || static_cast<int>(entities[i]->getDimensionType()) == dimension) {
            boxEntities.push_back(i);
        }
    }
    std::vector<ShapeStatistics> boxRecords(boxEntities.size());
    std::vector<char> hasBox(boxEntities.size(), 0);
    // A domain of one entity has that entity's shape: the domain's
    // statistics are the entity's record, measured once.
    std::vector<ShapeStatistics> domainRecords(domains.size());
    std::unordered_map<const TopoEntity*, std::size_t> soleDomainOf;
    for (std::size_t group = 0; group < domains.size(); ++group) {
        const auto members = domains[group]->getEntities();
        if (members.size() == 1 && members.front()->getShape().IsEqual(domains[group]->getShape())) {
            soleDomainOf.emplace(members.front().get(), group);
        }
    }
    std::vector<std::size_t> recordDomain(boxEntities.size(), domains.size());
    for (std::size_t record = 0; record < boxEntities.size(); ++record) {
        const auto domain = soleDomainOf.find(entities[boxEntities[record]].get());
        if (domain != soleDomainOf.end()) {
            recordDomain[record] = domain->second;
        }
    }
    // Every face of the shapes that get a box measured here once, before the
    // groups, so that a face between two solids is not measured twice.
    std::vector<TopoDS_Shape> measuredShapes;
    const auto measureLater = [&measuredShapes](const TopoDS_Shape& shape) {
        if (!shape.IsNull() && hasBoundingBox(shape)) {
            measuredShapes.push_back(shape);
        }
    };
    for (const auto& domain : domains) {
        measureLater(domain->getShape());
    }
    for (std::size_t record = 0; record < boxEntities.size(); ++record) {
        if (recordDomain[record] == domains.size()) {
            measureLater(entities[boxEntities[record]]->getShape());
        }
    }
    FaceBoxes faceBoxes;
    faceBoxes.measure(measuredShapes);

    const std::size_t domainItems = 2 * domains.size();
    const std::size_t groupItems = domainItems + 2 * boundaries.size();
    const std::string& directory = workingDirectory;
    // Handed out longest first, so that no long item starts when the others
    // are done: an item's work (meshing, measuring) grows with its faces.
    const auto facesOf = [](const TopoDS_Shape& shape) {
        TopTools_IndexedMapOfShape faces;
        if (!shape.IsNull()) {
            TopExp::MapShapes(shape, TopAbs_FACE, faces);
        }
        return faces.Extent();
    };
    std::vector<int> itemFaces(groupItems + boxEntities.size(), 0);
    for (std::size_t group = 0; group < domains.size(); ++group) {
        itemFaces[2 * group] = itemFaces[2 * group + 1] = facesOf(domains[group]->getShape());
    }
    for (std::size_t group = 0; group < boundaries.size(); ++group) {
        itemFaces[domainItems + 2 * group] = itemFaces[domainItems + 2 * group + 1] =
            facesOf(boundaries[group]->getShape());
    }
    for (std::size_t record = 0; record < boxEntities.size(); ++record) {
        if (recordDomain[record] == domains.size()) {
            itemFaces[groupItems + record] = facesOf(entities[boxEntities[record]]->getShape());
        }
    }
    std::vector<int> itemOrder(itemFaces.size());
    std::iota(itemOrder.begin(), itemOrder.end(), 0);
    std::stable_sort(itemOrder.begin(), itemOrder.end(), [&itemFaces](int a, int b) {
        return itemFaces[static_cast<std::size_t>(a)] > itemFaces[static_cast<std::size_t>(b)];
    });
    parallelForDynamic(itemOrder, [&](int item) {
        const auto index = static_cast<std::size_t>(item);
        if (index < groupItems) {
            const bool isDomain = index < domainItems;
            const std::size_t group = (isDomain ? index : index - domainItems) / 2;
            const bool preview = index % 2 == 1;
            if (isDomain && preview) {
                domains[group]->writePreview(directory);
            } else if (isDomain) {
                domainRecords[group] = domains[group]->getStatistics(&faceBoxes);
                nlohmann::json object = domains[group]->toJson(domainRecords[group]);
                addMeshStatistics(*domains[group], meshStatistics, object);
                domainObjects[group] = std::move(object);
            } else if (preview) {
                boundaries[group]->writePreview(directory);
            } else {
                nlohmann::json object = boundaries[group]->toJson();
                addMeshStatistics(*boundaries[group], meshStatistics, object);
                boundaryObjects[group] = std::move(object);
            }
            return;
        }
        const std::size_t record = index - groupItems;
        const TopoDS_Shape shape = entities[boxEntities[record]]->getShape();
        if (hasBoundingBox(shape)) {
            if (recordDomain[record] == domains.size()) {
                getShapeStatistics(shape, boxRecords[record], &faceBoxes);
            }
            hasBox[record] = 1;
        }
    });
    for (std::size_t record = 0; record < boxEntities.size(); ++record) {
        if (hasBox[record] != 0 && recordDomain[record] != domains.size()) {
            boxRecords[record] = domainRecords[recordDomain[record]];
        }
    }
    document["domains"] = domainObjects.empty() ? nlohmann::json() : nlohmann::json(domainObjects);
    document["boundaries"] = nlohmann::json::array();
    for (auto& object : boundaryObjects) {
        document["boundaries"].push_back(std::move(object));
    }

    // Merged in model order; no entity with a box gives the zero record.
    ShapeStatistics statistics;
    bool haveBox = false;
    for (std::size_t record = 0; record < boxRecords.size(); ++record) {
        if (hasBox[record] != 0) {
            statistics = haveBox ? statistics.merge(boxRecords[record]) : boxRecords[record];
            haveBox = true;
        }
    }
    document["statistics"] = statistics.toJson();
    document["meshStatistics"] = meshStatistics.totals.toJson();
    if (groupMode == groupsFromAllEntities) {
        document["groupMode"] = "groupsFromAllEntities";
    } else if (groupMode == groupsFromPreprocessor) {
        document["groupMode"] = "groupsFromPreprocessor";
    }
    document["dimensions"] = dimension;
    document["geometryUnit"] = unitToString(geometryUnit);

    // Written afresh: a file left by an earlier run must not pass for this one.
    TopoEntity partition(partitionShape, partitionShapeName, 0);
    createDirectory(workingDirectory + "/geometry");
    createDirectory(workingDirectory + "/geometry/raw/");
    const std::string partitionFile = workingDirectory + "/geometry/raw/" + partitionShapeName + ".brep";
    std::error_code ignored;
    std::filesystem::remove(partitionFile, ignored);
    partition.writeBrep(workingDirectory);
    document["partitionShape"] = partition.toJson();

    if (!meshFile.empty()) {
        document["meshFile"] = meshFile;
        document["hasMeshData"] = true;
    } else {
        checkInternalFaces();
        document["meshFile"] = nullptr;
        document["hasMeshData"] = false;
    }
    document["variables"] = variables;
    return document;
}

void GeometryData::checkInternalFaces()
{
    for (const auto& entity : entities) {
        if (entity->getDimension() != 3 || !hasInternalFaces(entity->getShape())) {
            continue;
        }
        std::string domainName;
        const std::string solidName = entity->getName();
        for (const auto& domain : domains) {
            for (const auto& member : domain->getEntities()) {
                if (member->getName() == solidName) {
                    domainName = domain->getName();
                    break;
                }
            }
        }
        std::cerr << "WARNING: Currently Vemra MeshGenerator does not support internal faces. Internal face found "
                     "in domain "
                  << domainName << std::endl;
    }
}
