// Reading the raw geometry document and writing the geometry-data document.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRep_Builder.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>
#include <gp_Pln.hxx>
#include <omp.h>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "geometryData/TopoEntity.h"
#include "support/Exceptions.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

// A scratch working directory holding the four BREP files of the stored
// contact case (boxes [0,1]^3 and [1,3]x[0,2]x[0,2], the square where they
// touch and large's y = 0 face).
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& name)
    {
        path = freshDirectory("geometry-json-" + name);
        fs::create_directories(path / "geometry" / "raw");
        const fs::path source = fs::path(VEMRA_SOURCE_DIR) / "src/tests/geometryData/tests/test02/geometry/raw";
        for (const char* file : {"small.brep", "large.brep", "contactFace.brep", "sideFace.brep"}) {
            fs::copy_file(source / file, path / "geometry" / "raw" / file);
        }
    }
    ~WorkingDirectory()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string str() const { return path.string(); }

    fs::path path;
};

json baseDocument()
{
    return json::parse(R"({
        "solids": [{"name": "small", "path": "geometry/raw/small.brep"},
                   {"name": "large", "path": "geometry/raw/large.brep"}],
        "faces": [{"name": "contactFace", "path": "geometry/raw/contactFace.brep"},
                  {"name": "sideFace", "path": "geometry/raw/sideFace.brep"}],
        "edges": [],
        "hasMeshData": false
    })");
}

std::vector<std::pair<std::string, int>> namesAndIds(const GeometryData& model)
{
    std::vector<std::pair<std::string, int>> result;
    for (const auto& entity : model.getEntities()) {
        result.emplace_back(entity->getName(), entity->getId());
    }
    return result;
}

enum class Outcome {
    reads,         // the document is read; `check` looks at the model and its output
    raises,        // vemra_exception with exactly `message`
    raisesPrefix,  // vemra_exception whose message starts with `message`
    libraryError,  // the JSON library's exception with id `libraryId`
};

struct RawCase {
    std::string name;
    // Applied to the base document as a merge patch; with `whole` it is the
    // document itself (a merge patch cannot set a key to null).
    std::string text;
    bool whole;
    Outcome outcome;
    std::string message;
    int libraryId;
    std::function<void(GeometryData&, const json&)> check;
};

RawCase reads(std::string name, std::string patch, std::function<void(GeometryData&, const json&)> check)
{
    return {std::move(name), std::move(patch), false, Outcome::reads, "", 0, std::move(check)};
}
RawCase raises(std::string name, std::string patch, std::string message, bool whole = false)
{
    return {std::move(name), std::move(patch), whole, Outcome::raises, std::move(message), 0, nullptr};
}
RawCase raisesPrefix(std::string name, std::string patch, std::string message)
{
    return {std::move(name), std::move(patch), false, Outcome::raisesPrefix, std::move(message), 0, nullptr};
}
RawCase libraryError(std::string name, std::string patch, int id, bool whole = false)
{
    return {std::move(name), std::move(patch), whole, Outcome::libraryError, "", id, nullptr};
}
// The library's error with its exact message, which names the value's place.
RawCase libraryErrorSaying(std::string name, std::string patch, int id, std::string message)
{
    return {std::move(name), std::move(patch), false, Outcome::libraryError, std::move(message), id, nullptr};
}

const std::string missingKey = "Error while reading geometry data: Could not find key ";

std::string dimensionsRange(const std::string& value)
{
    return "Invalid \"dimensions\" " + value + ": it must be a whole number from 1 to 3.";
}

} // namespace

TEST(RawGeometryJson, DocumentsAndTheirOutcome)
{
    using Ids = std::vector<std::pair<std::string, int>>;
    const std::vector<RawCase> cases = {
        // The document itself and the entity lists.
        raises("null document", "null", "Empty json object passed to GeometryData.", true),
        raises("empty object", "{}", missingKey + "solids in geometryData json", true),
        raises("not an object", "[1, 2]", missingKey + "solids in geometryData json", true),
        raises("faces missing", R"({"solids": []})", missingKey + "faces in geometryData json", true),
        raises("edges missing", R"({"solids": [], "faces": []})", missingKey + "edges in geometryData json", true),
        // Values that may be null: absent is a type error, not a missing key.
        libraryError("hasMeshData absent", R"({"hasMeshData": null})", 302),
        libraryError("hasMeshData not a boolean", R"({"hasMeshData": "yes"})", 302),
        libraryError("meshFile absent while hasMeshData", R"({"hasMeshData": true})", 302),
        libraryError("groupMode not a string", R"({"groupMode": 1})", 302),
        libraryError("geometryUnit not a string", R"({"geometryUnit": 1})", 302),
        libraryError("editorFile not a string", R"({"editorFile": false})", 302),
        libraryError("dimensions not a number", R"({"dimensions": "3"})", 302),
        libraryError("dimensions a boolean", R"({"dimensions": true})", 302),
        libraryError("relation not a list", R"({"relations": {"small": "contactFace"}})", 302),
        libraryError("relations not an object", R"({"relations": [["small"]]})", 302),
        // "dimensions": a whole number from 1 to 3, the highest kind listed (solids here).
        raises("dimensions above 3", R"({"dimensions": 5})", dimensionsRange("5")),
        raises("dimensions 4", R"({"dimensions": 4})", dimensionsRange("4")),
        raises("dimensions below 0", R"({"dimensions": -1})", dimensionsRange("-1")),
        raises("dimensions 0", R"({"dimensions": 0})", dimensionsRange("0")),
        raises("dimensions 1.5", R"({"dimensions": 1.5})", dimensionsRange("1.5")),
        raises("dimensions 1e308", R"({"dimensions": 1e308})", dimensionsRange("1e+308")),
        raises("dimensions 2 over solids", R"({"dimensions": 2})",
               "Invalid \"dimensions\" 2: the highest kind of entity listed is solids (entity small under "
               "\"solids\", dimension 3)."),
        reads("dimensions 3.0 is 3", R"({"dimensions": 3.0})",
              [](GeometryData& model, const json&) { EXPECT_EQ(model.getDimension(), 3); }),
        {"dimensions 3 over faces only",
         R"({"solids": [], "faces": [{"name": "sideFace", "path": "geometry/raw/sideFace.brep"}], "edges": [],
             "hasMeshData": false, "dimensions": 3})",
         true, Outcome::raises,
         "Invalid \"dimensions\" 3: the highest kind of entity listed is faces (entity sideFace under \"faces\", "
         "dimension 2).", 0, nullptr},
        // Each list holds its own kind.
        raises("face under solids",
               R"({"solids": [{"name": "small", "path": "geometry/raw/small.brep"},
                              {"name": "flat", "path": "geometry/raw/sideFace.brep"}]})",
               "Entity flat listed under \"solids\" is not a solid: its file holds a face."),
        raises("solid under faces", R"({"faces": [{"name": "box", "path": "geometry/raw/small.brep"}]})",
               "Entity box listed under \"faces\" is not a face: its file holds a solid."),
        raises("face under edges", R"({"edges": [{"name": "side", "path": "geometry/raw/sideFace.brep"}]})",
               "Entity side listed under \"edges\" is not an edge: its file holds a face."),
        // The library's errors carry the JSON pointer of the value at fault.
        libraryErrorSaying("padding a string, at its place", R"({"operate": [{"function": "addAir", "padding": "x"}]})",
                     302, "[json.exception.type_error.302] (/operate/0/padding) type must be number, but is string"),
        libraryErrorSaying("entity name a number, at its place", R"({"faces": [{"name": 7, "path": "geometry/raw/sideFace.brep"}]})",
                     302, "[json.exception.type_error.302] (/faces/0/name) type must be string, but is number"),
        libraryErrorSaying("group entities not a list, at its place",
                     R"({"domains": [{"name": "d", "entities": ["small"], "mergedFrom": [{"name": "m", "entities": 1}]}]})",
                     302, "[json.exception.type_error.302] (/domains/0/mergedFrom/0/entities) type must be array, but is number"),
        libraryErrorSaying("relation list of numbers, at its place", R"({"relations": {"small": [1]}})", 302,
                     "[json.exception.type_error.302] (/relations/small/0) type must be string, but is number"),
        // Values the kernel cannot hold, judged on the model's box [0,3]x[0,2]x[0,2]
        // (grown by the shapes' tolerance of 1e-7) and the factors so far.
        raises("scale 1e300", R"({"operate": [{"function": "scale", "scale": 1e300}]})",
               "Invalid \"scale\" 1e+300: it would put the model's coordinates at 3e+300, beyond the kernel's range "
               "(1e+100)."),
        raises("scale 1e50 then 1e60", R"({"operate": [{"function": "scale", "scale": 1e50}, {"function": "scale", "scale": 1e60}]})",
               "Invalid \"scale\" 1e+60: it would put the model's coordinates at 3e+110, beyond the kernel's range "
               "(1e+100)."),
        raises("scale 1e-9", R"({"operate": [{"function": "scale", "scale": 1e-9}]})",
               "Invalid \"scale\" 1e-09: it would shrink the model to 3e-09, below the kernel's confusion distance "
               "(1e-07)."),
        raisesPrefix("scale 5e-324", R"({"operate": [{"function": "scale", "scale": 5e-324}]})",
                     "Invalid \"scale\" 4.94066e-324: it would shrink the model to "),
        reads("scale 1e6 then 1e-6", R"({"operate": [{"function": "scale", "scale": 1e6}, {"function": "scale", "scale": 1e-6}]})",
              [](GeometryData& model, const json&) {
                  EXPECT_NEAR(getShapeVolume(model.getEntity("large")->getShape()), 8.0, 1e-6);
              }),
        raises("padding 1e200", R"({"operate": [{"function": "addAir", "padding": 1e200}]})",
               "Invalid \"padding\" 1e+200 for addAir: the air would reach 1e+200, beyond the kernel's range (1e+100)."),
        // Two groups of one name.
        raises("a domain and a boundary of one name",
               R"({"domains": [{"name": "twice", "entities": ["small"]}],
                   "boundaries": [{"name": "twice", "entities": ["contactFace"]}]})",
               "Names of boundaries and domains are not unique! Please rename boundaries or domains! The name twice "
               "is used twice."),
        // Operation items.
        libraryError("item without function", R"({"operate": [{"scale": 2}]})", 403),
        libraryError("item not an object", R"({"operate": [5]})", 304),
        libraryError("scale without factor", R"({"operate": [{"function": "scale"}]})", 403),
        libraryError("scale factor a string", R"({"operate": [{"function": "scale", "scale": "2"}]})", 302),
        libraryError("scale factor a boolean", R"({"operate": [{"function": "scale", "scale": true}]})", 302),
        raises("scale factor zero", R"({"operate": [{"function": "scale", "scale": 0}]})",
               "Invalid scale factor 0: it must be a finite number above 0."),
        raises("scale factor negative", R"({"operate": [{"function": "scale", "scale": -2.5}]})",
               "Invalid scale factor -2.5: it must be a finite number above 0."),
        libraryError("readCADfiles without files", R"({"operate": [{"function": "readCADfiles"}]})", 403),
        libraryError("readCADfiles files not a list", R"({"operate": [{"function": "readCADfiles", "fileNames": "a.step"}]})", 302),
        libraryError("padding a string", R"({"operate": [{"function": "addAir", "padding": "x"}]})", 302),
        raises("padding negative", R"({"operate": [{"function": "addAir", "padding": -1}]})",
               "Invalid padding -1 for addAir: it must be a finite number not below 0."),
        libraryError("terminal without name", R"({"operate": [{"function": "addAir", "terminals": [{}]}]})", 403),
        libraryError("terminal not an object", R"({"operate": [{"function": "addAir", "terminals": [3]}]})", 304),
        libraryError("terminal name a number", R"({"operate": [{"function": "addAir", "terminals": [{"name": 3}]}]})", 302),
        // The air around small [0,1]^3 and large [1,3]x[0,2]x[0,2] (volume 9).
        reads("addAir queued with defaults", R"({"operate": [{"function": "addAir"}]})",
              [](GeometryData& model, const json&) {
                  // Automatic padding: half the diagonal of [0,3]x[0,2]x[0,2].
                  const double p = 0.5 * std::sqrt(17.0);
                  const double expected = (3 + 2 * p) * (2 + 2 * p) * (2 + 2 * p) - 9.0;
                  EXPECT_NEAR(getShapeVolume(model.getDomain("air")->getShape()), expected, 1e-6 * expected);
              }),
        // Padding 1 and the terminal sideFace (large's face y = 0): the box
        // [-1,4]x[-1,3]x[-1,3] ends at y = 0; names that match nothing are ignored.
        reads("addAir queued with padding and terminals",
              R"({"operate": [{"function": "addAir", "padding": 1,
                               "terminals": [{"name": "none"}, {"name": "sideFace"}]}]})",
              [](GeometryData& model, const json&) {
                  EXPECT_NEAR(getShapeVolume(model.getDomain("air")->getShape()), 51.0, 51e-6);
              }),
        // Object form in key order: the air around the model, then the scale
        // (5^3 - 1) * 8, or the scale, then the air (6^3 - 8).
        reads("object form runs in key order: addAir, then scale",
              R"({"solids": [{"name": "small", "path": "geometry/raw/small.brep"}], "faces": [], "edges": [],
                  "operate": {"b": {"function": "scale", "scale": 2}, "a": {"function": "addAir", "padding": 2}}})",
              [](GeometryData& model, const json&) {
                  EXPECT_NEAR(getShapeVolume(model.getDomain("air")->getShape()), 992.0, 992e-6);
              }),
        reads("object form runs in key order: scale, then addAir",
              R"({"solids": [{"name": "small", "path": "geometry/raw/small.brep"}], "faces": [], "edges": [],
                  "operate": {"a": {"function": "scale", "scale": 2}, "b": {"function": "addAir", "padding": 2}}})",
              [](GeometryData& model, const json&) {
                  EXPECT_NEAR(getShapeVolume(model.getDomain("air")->getShape()), 208.0, 208e-6);
              }),
        // Names and ids.
        raisesPrefix("unsafe entity name", R"({"faces": [{"name": "../up", "path": "geometry/raw/sideFace.brep"}]})",
                     "Invalid entity name"),
        raises("reserved entity name", R"({"faces": [{"name": "partitionShape", "path": "geometry/raw/sideFace.brep"}]})",
               "Invalid entity name \"partitionShape\": the name is reserved for the partition shape."),
        raisesPrefix("unsafe group name", R"({"domains": [{"name": "a/b", "entities": ["small"]}]})", "Invalid entity name"),
        raises("duplicate entity names",
               R"({"faces": [{"name": "small", "path": "geometry/raw/contactFace.brep"}]})",
               "Two entities are named small. Check your geometry input!"),
        raises("stated id equal to an assigned one",
               R"({"solids": [{"name": "small", "id": 1, "path": "geometry/raw/small.brep"}]})",
               "Entities contactFace and small have the same id 1. Check your geometry input!"),
        raises("two stated ids alike",
               R"({"faces": [{"name": "contactFace", "id": 4, "path": "geometry/raw/contactFace.brep"},
                             {"name": "sideFace", "id": 4, "path": "geometry/raw/sideFace.brep"}]})",
               "Entities contactFace and sideFace have the same id 4. Check your geometry input!"),
        reads("ids numbered edges, faces, solids", "{}",
              [](GeometryData& model, const json&) {
                  EXPECT_EQ(namesAndIds(model), (Ids{{"contactFace", 1}, {"sideFace", 2}, {"small", 3}, {"large", 4}}));
              }),
        reads("assigned ids continue after the largest",
              R"({"faces": [{"name": "contactFace", "id": 5, "path": "geometry/raw/contactFace.brep"},
                            {"name": "sideFace", "path": "geometry/raw/sideFace.brep"}],
                  "solids": [{"name": "small", "path": "geometry/raw/small.brep"},
                             {"name": "large", "id": 10, "path": "geometry/raw/large.brep"}]})",
              [](GeometryData& model, const json&) {
                  EXPECT_EQ(namesAndIds(model), (Ids{{"contactFace", 5}, {"sideFace", 6}, {"small", 7}, {"large", 10}}));
              }),
        // Settings.
        reads("group mode from the preprocessor", R"({"groupMode": "groupsFromPreprocessor"})",
              [](GeometryData& model, const json& out) {
                  EXPECT_EQ(model.getGroupMode(), groupsFromPreprocessor);
                  EXPECT_EQ(out.at("groupMode"), "groupsFromPreprocessor");
                  EXPECT_EQ(out.at("boundaries").at(0).at("role"), "indefinite");
              }),
        reads("group mode from all entities", R"({"groupMode": "groupsFromAllEntities"})",
              [](GeometryData& model, const json&) { EXPECT_EQ(model.getGroupMode(), groupsFromAllEntities); }),
        reads("group mode of another text", R"({"groupMode": "fromPreprocessor"})",
              [](GeometryData& model, const json& out) {
                  EXPECT_EQ(model.getGroupMode(), groupsFromAllEntities);
                  EXPECT_EQ(out.at("boundaries").at(0).at("role"), "");
              }),
        reads("defaults of the optional keys", "{}",
              [](GeometryData& model, const json& out) {
                  EXPECT_EQ(model.getGroupMode(), groupsFromAllEntities);
                  EXPECT_EQ(model.getGeometryUnit(), unknownUnit);
                  EXPECT_EQ(out.at("geometryUnit"), "");
                  EXPECT_EQ(out.at("editorFile"), "");
                  EXPECT_TRUE(out.at("variables").is_null());
                  EXPECT_TRUE(out.at("meshFile").is_null());
                  EXPECT_EQ(out.at("hasMeshData"), false);
                  EXPECT_EQ(out.at("dimensions"), 3);
              }),
        reads("unit and editor file", R"({"geometryUnit": "mm", "editorFile": "model.edt"})",
              [](GeometryData& model, const json& out) {
                  EXPECT_EQ(model.getGeometryUnit(), millimetre);
                  EXPECT_EQ(out.at("geometryUnit"), "mm");
                  EXPECT_EQ(out.at("editorFile"), "model.edt");
              }),
        reads("mesh file ignored without mesh data", R"({"hasMeshData": false, "meshFile": "case.msh"})",
              [](GeometryData&, const json& out) {
                  EXPECT_TRUE(out.at("meshFile").is_null());
                  EXPECT_EQ(out.at("hasMeshData"), false);
              }),
        reads("mesh file with mesh data", R"({"hasMeshData": true, "meshFile": "case.msh"})",
              [](GeometryData&, const json& out) {
                  EXPECT_EQ(out.at("meshFile"), "case.msh");
                  EXPECT_EQ(out.at("hasMeshData"), true);
              }),
        reads("empty mesh file counts as none", R"({"hasMeshData": true, "meshFile": ""})",
              [](GeometryData&, const json& out) {
                  EXPECT_TRUE(out.at("meshFile").is_null());
                  EXPECT_EQ(out.at("hasMeshData"), false);
              }),
        reads("variables object", R"({"variables": {"f": 50, "tags": ["a"]}})",
              [](GeometryData&, const json& out) { EXPECT_EQ(out.at("variables"), json::parse(R"({"f": 50, "tags": ["a"]})")); }),
        reads("variables array", R"({"variables": [1, "two", null]})",
              [](GeometryData&, const json& out) { EXPECT_EQ(out.at("variables"), json::parse(R"([1, "two", null])")); }),
        reads("variables number", R"({"variables": 2.5})",
              [](GeometryData&, const json& out) { EXPECT_EQ(out.at("variables"), 2.5); }),
        reads("stated dimension", R"({"dimensions": 3})",
              [](GeometryData& model, const json&) { EXPECT_EQ(model.getDimension(), 3); }),
        // Relations.
        reads("stated relations are used as they stand", R"({"relations": {"small": ["contactFace"]}})",
              [](GeometryData& model, const json&) {
                  const std::map<std::string, std::vector<std::string>> expected = {
                      {"contactFace", {}}, {"large", {}}, {"sideFace", {}}, {"small", {"contactFace"}}};
                  EXPECT_EQ(model.getRelations(), expected);
              }),
        reads("empty relations are computed from contacts", R"({"relations": {}})",
              [](GeometryData& model, const json&) {
                  const std::map<std::string, std::vector<std::string>> expected = {
                      {"contactFace", {"small", "large"}}, {"large", {"contactFace", "sideFace"}},
                      {"sideFace", {"large"}}, {"small", {"contactFace"}}};
                  EXPECT_EQ(model.getRelations(), expected);
              }),
        {"null relations are computed from contacts",
         R"({"solids": [{"name": "small", "path": "geometry/raw/small.brep"},
                        {"name": "large", "path": "geometry/raw/large.brep"}],
             "faces": [{"name": "contactFace", "path": "geometry/raw/contactFace.brep"}], "edges": [],
             "hasMeshData": false, "relations": null})",
         true, Outcome::reads, "", 0,
         [](GeometryData& model, const json&) {
             EXPECT_EQ(model.getRelations().at("contactFace"), (std::vector<std::string>{"small", "large"}));
         }},
        // Partition shape.
        reads("empty partition entry is built later", R"({"partitionShape": {}})",
              [](GeometryData& model, const json&) { EXPECT_NEAR(getShapeVolume(model.getPartitionShape()), 9.0, 1e-9); }),
        {"null partition entry is built later",
         R"({"solids": [{"name": "small", "path": "geometry/raw/small.brep"}], "faces": [], "edges": [],
             "hasMeshData": false, "partitionShape": null})",
         true, Outcome::reads, "", 0,
         [](GeometryData& model, const json&) { EXPECT_NEAR(getShapeVolume(model.getPartitionShape()), 1.0, 1e-9); }},
        reads("stated partition shape", R"({"partitionShape": {"name": "p", "path": "geometry/raw/large.brep"}})",
              [](GeometryData& model, const json&) { EXPECT_NEAR(getShapeVolume(model.getPartitionShape()), 8.0, 1e-9); }),
        {"no entities: zero statistics",
         R"({"solids": [], "faces": [], "edges": [], "hasMeshData": false,
             "partitionShape": {"name": "p", "path": "geometry/raw/large.brep"}})",
         true, Outcome::reads, "", 0,
         [](GeometryData&, const json& out) {
             EXPECT_EQ(out.at("statistics"), ShapeStatistics().toJson());
             EXPECT_EQ(out.at("dimensions"), 0);
             EXPECT_TRUE(out.at("domains").is_null());
             EXPECT_EQ(out.at("boundaries"), json::array());
         }},
        // Queued operations.
        reads("unknown functions are skipped",
              R"({"operate": [{"function": "smooth"}, {"function": 5}]})",
              [](GeometryData& model, const json&) { EXPECT_EQ(model.getEntities().size(), 4u); }),
        reads("partition queued from the array form", R"({"operate": [{"function": "partition"}]})",
              [](GeometryData&, const json& out) {
                  EXPECT_EQ(out.at("edges").size(), 24u);
                  EXPECT_EQ(out.at("faces").size(), 12u);
                  EXPECT_EQ(out.at("solids").size(), 2u);
                  EXPECT_EQ(out.at("solids").at(1).at("name"), "Solid_2");
              }),
        reads("partition queued from the object form", R"({"operate": {"p": {"function": "partition"}}})",
              [](GeometryData&, const json& out) { EXPECT_EQ(out.at("solids").at(0).at("id"), 37); }),
        reads("two scale items run in list order",
              R"({"operate": [{"function": "scale", "scale": 2}, {"function": "scale", "scale": 3}]})",
              [](GeometryData& model, const json& out) {
                  EXPECT_NEAR(getShapeVolume(model.getEntity("small")->getShape()), 216.0, 1e-6);
                  EXPECT_NEAR(out.at("statistics").at("maxX").get<double>(), 18.0, 1e-6);
              }),
    };

    for (const auto& rawCase : cases) {
        SCOPED_TRACE(rawCase.name);
        WorkingDirectory directory("raw");
        json document = rawCase.whole ? json::parse(rawCase.text) : baseDocument();
        if (!rawCase.whole) {
            document.merge_patch(json::parse(rawCase.text));
        }
        switch (rawCase.outcome) {
        case Outcome::reads: {
            GeometryData model(document, directory.str());
            const json produced = model.toJson();
            rawCase.check(model, produced);
            break;
        }
        case Outcome::raises:
        case Outcome::raisesPrefix:
            try {
                GeometryData model(document, directory.str());
                ADD_FAILURE() << "no exception";
            } catch (const vemra_exception& error) {
                const std::string message = error.what();
                if (rawCase.outcome == Outcome::raises) {
                    EXPECT_EQ(message, rawCase.message);
                } else {
                    EXPECT_EQ(message.rfind(rawCase.message, 0), 0u) << message;
                }
            }
            break;
        case Outcome::libraryError:
            try {
                GeometryData model(document, directory.str());
                ADD_FAILURE() << "no exception";
            } catch (const json::exception& error) {
                EXPECT_EQ(error.id, rawCase.libraryId) << error.what();
                if (!rawCase.message.empty()) {
                    EXPECT_EQ(std::string(error.what()), rawCase.message);
                }
            }
            break;
        }
    }
}

// Files the document names: only regular files inside the working directory,
// each holding the kind its list promises. The fixtures are made here.
TEST(RawGeometryJson, NamedFilesAreRegularFilesInsideTheWorkingDirectory)
{
    struct Case {
        std::string name;
        std::function<void(const fs::path& wd)> setup;
        std::string patch; // merged into the base document
        std::string message; // <wd> is the working directory
    };
    const auto entity = [](const std::string& name, const std::string& path) {
        return R"({"solids": [{"name": "small", "path": "geometry/raw/small.brep"},
                              {"name": ")" + name + R"(", "path": ")" + path + R"("}]})";
    };
    const auto nothing = [](const fs::path&) {};
    const std::vector<Case> cases = {
        {"entity path with ../", nothing, entity("up", "geometry/../../small.brep"),
         "Invalid path \"geometry/../../small.brep\" of entity up: the path must not contain \"..\""},
        {"entity path with ..\\", nothing, entity("up", "..\\\\small.brep"),
         "Invalid path \"..\\small.brep\" of entity up: the path must not contain \"..\""},
        {"absolute entity path", nothing, entity("abs", "<wd>/geometry/raw/large.brep"),
         "Invalid path \"<wd>/geometry/raw/large.brep\" of entity abs: the path is absolute; name the file "
         "relative to the working directory"},
        {"symbolic link out of the case",
         [](const fs::path& wd) {
             fs::copy_file(wd / "geometry/raw/large.brep", wd.string() + "-outside.brep");
             fs::create_symlink(wd.string() + "-outside.brep", wd / "geometry/raw/link.brep");
         },
         entity("linked", "geometry/raw/link.brep"),
         "Invalid path \"geometry/raw/link.brep\" of entity linked: it leads to <real>-outside.brep, outside the "
         "working directory <real>"},
        {"FIFO as an entity file",
         [](const fs::path& wd) { ASSERT_EQ(::mkfifo((wd / "geometry/raw/pipe.brep").c_str(), 0600), 0); },
         entity("piped", "geometry/raw/pipe.brep"),
         "Could not read BREP file <wd>/geometry/raw/pipe.brep: it is a FIFO, not a regular file"},
        {"directory as an entity file", [](const fs::path& wd) { fs::create_directory(wd / "geometry/raw/dir.brep"); },
         entity("folder", "geometry/raw/dir.brep"),
         "Could not read BREP file <wd>/geometry/raw/dir.brep: it is a directory, not a regular file"},
        {"empty BREP file", [](const fs::path& wd) { std::ofstream(wd / "geometry/raw/empty.brep").flush(); },
         entity("hollow", "geometry/raw/empty.brep"), "BREP file <wd>/geometry/raw/empty.brep is empty"},
        {"shell under solids",
         [](const fs::path& wd) {
             writeBrepFile(firstOf(box(5, 0, 0, 6, 1, 1), TopAbs_SHELL), (wd / "geometry/raw/shell.brep").string());
         },
         entity("hull", "geometry/raw/shell.brep"),
         "Entity hull listed under \"solids\" is not a solid: its file holds a shell."},
        {"vertex under solids",
         [](const fs::path& wd) { writeBrepFile(vertexAt(5, 0, 0), (wd / "geometry/raw/point.brep").string()); },
         entity("point", "geometry/raw/point.brep"),
         "Entity point listed under \"solids\" is not a solid: its file holds a vertex."},
        {"compound of faces under solids",
         [](const fs::path& wd) {
             writeBrepFile(compoundOf(squareAt(5, 0, 0), squareAt(7, 0, 0)), (wd / "geometry/raw/two.brep").string());
         },
         entity("pair", "geometry/raw/two.brep"),
         "Entity pair listed under \"solids\" is not a solid: its file holds a compound of faces."},
        {"partition shape path with ../", nothing,
         R"({"partitionShape": {"name": "p", "path": "../large.brep"}})",
         "Invalid path \"../large.brep\" of \"partitionShape\": the path must not contain \"..\""},
        {"CAD file name with ../", nothing,
         R"({"operate": [{"function": "readCADfiles", "fileNames": ["model.step", "../model.step"]}]})",
         "Invalid CAD file name \"../model.step\" in \"fileNames\": the path must not contain \"..\""},
        {"absolute CAD file name", nothing,
         R"({"operate": [{"function": "readCADfiles", "fileNames": ["/etc/model.step"]}]})",
         "Invalid CAD file name \"/etc/model.step\" in \"fileNames\": the path is absolute; name the file "
         "relative to the working directory"},
        {"empty STEP file", [](const fs::path& wd) { std::ofstream(wd / "model.step").flush(); },
         R"({"operate": [{"function": "readCADfiles", "fileNames": ["model.step"]}]})",
         "STEP file <wd>/model.step is empty"},
        {"empty IGES file", [](const fs::path& wd) { std::ofstream(wd / "model.IGS").flush(); },
         R"({"operate": [{"function": "readCADfiles", "fileNames": ["model.IGS"]}]})",
         "IGES file <wd>/model.IGS is empty"},
        {"FIFO as a STEP file", [](const fs::path& wd) { ASSERT_EQ(::mkfifo((wd / "pipe.stp").c_str(), 0600), 0); },
         R"({"operate": [{"function": "readCADfiles", "fileNames": ["pipe.stp"]}]})",
         "Could not read STEP file <wd>/pipe.stp: it is a FIFO, not a regular file"},
        {"FIFO as an IGES file", [](const fs::path& wd) { ASSERT_EQ(::mkfifo((wd / "pipe.iges").c_str(), 0600), 0); },
         R"({"operate": [{"function": "readCADfiles", "fileNames": ["pipe.iges"]}]})",
         "Could not read IGES file <wd>/pipe.iges: it is a FIFO, not a regular file"},
    };
    const auto substituted = [](std::string text, const std::string& placeholder, const std::string& value) {
        for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size())) {
            text.replace(at, placeholder.size(), value);
        }
        return text;
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        WorkingDirectory directory("files");
        testCase.setup(directory.path);
        json document = baseDocument();
        document.merge_patch(json::parse(substituted(testCase.patch, "<wd>", directory.str())));
        const std::string real = fs::canonical(directory.path).string();
        expectMessage([&] { GeometryData model(document, directory.str()); },
                      substituted(substituted(testCase.message, "<wd>", directory.str()), "<real>", real));
        std::error_code ignored;
        fs::remove(directory.str() + "-outside.brep", ignored);
    }
}

TEST(RawGeometryJson, CallersDocumentIsNotChanged)
{
    WorkingDirectory directory("unchanged");
    const json document = baseDocument();
    const json before = document;
    GeometryData model(document, directory.str());
    EXPECT_EQ(document, before);
}

namespace {

// A unit box whose shell also holds the square z = 0.5 as an internal face.
TopoDS_Shape boxWithInternalFace()
{
    BRep_Builder builder;
    TopoDS_Shell shell;
    builder.MakeShell(shell);
    for (TopExp_Explorer explorer(box(0, 0, 0, 1, 1, 1), TopAbs_FACE); explorer.More(); explorer.Next()) {
        builder.Add(shell, explorer.Current());
    }
    const TopoDS_Face inner = BRepBuilderAPI_MakeFace(gp_Pln(gp_Pnt(0, 0, 0.5), gp_Dir(0, 0, 1)), 0, 1, 0, 1).Face();
    builder.Add(shell, inner.Oriented(TopAbs_INTERNAL));
    TopoDS_Solid solid;
    builder.MakeSolid(solid);
    builder.Add(solid, shell);
    return solid;
}

// Adds the unit block and the square of its bottom as entities "block" and "bottom".
std::pair<std::shared_ptr<TopoEntity>, std::shared_ptr<TopoEntity>> addBlockAndBottom(GeometryData& model)
{
    auto block = std::make_shared<TopoEntity>(box(0, 0, 0, 1, 1, 1), "block");
    auto face = std::make_shared<TopoEntity>(
        BRepBuilderAPI_MakeFace(gp_Pln(gp_Pnt(0, 0, 0), gp_Dir(0, 0, 1)), 0, 1, 0, 1).Face(), "bottom");
    model.addEntity(block);
    model.addEntity(face);
    return {block, face};
}

// A group of one entity, named and labelled alike, its shape built.
template <typename GroupKind>
std::shared_ptr<GroupKind> groupOf(const std::string& name, const std::shared_ptr<TopoEntity>& entity)
{
    auto group = std::make_shared<GroupKind>();
    group->setName(name);
    group->setLabel(name);
    group->addEntity(entity);
    group->buildShape();
    return group;
}

} // namespace

TEST(GeometryDataJson, ModelWithoutGroupsAndItsSettings)
{
    WorkingDirectory directory("no-groups");
    GeometryData model(directory.str());
    model.addEntity(std::make_shared<TopoEntity>(box(1, 2, 3, 4, 6, 8), "block"));
    model.getDimension();
    model.getPartitionShape();
    const json produced = model.toJson();

    EXPECT_TRUE(produced.at("domains").is_null());
    EXPECT_EQ(produced.at("boundaries"), json::array());
    EXPECT_EQ(produced.at("solids"), json::parse(R"([{"id": 1, "name": "block", "path": ""}])"));
    EXPECT_EQ(produced.at("relations"), json::object());
    EXPECT_EQ(produced.at("statistics"), json::parse(R"({"lengthX": 3.0, "lengthY": 4.0, "lengthZ": 5.0,
        "maxX": 4.0, "maxY": 6.0, "maxZ": 8.0, "minX": 1.0, "minY": 2.0, "minZ": 3.0})"));
    EXPECT_EQ(produced.at("groupMode"), "groupsFromAllEntities");
    EXPECT_EQ(produced.at("geometryUnit"), "m");
    EXPECT_EQ(produced.at("meshStatistics"), json::parse(R"({"elements": 0, "nodes": 0})"));
    EXPECT_EQ(produced.at("partitionShape"),
              json::parse(R"({"id": 0, "name": "partitionShape", "path": "/geometry/raw/partitionShape.brep"})"));
    EXPECT_TRUE(fs::exists(directory.path / "geometry/raw/partitionShape.brep"));

    model.setGroupMode(static_cast<GroupMode>(7));
    EXPECT_FALSE(model.toJson().contains("groupMode"));
}

TEST(GeometryDataJson, PartitionShapeFileIsWrittenWhereNoDirectoryWasYet)
{
    const char* temp = std::getenv("TEMP");
    const fs::path path = fs::path(temp != nullptr ? temp : VEMRA_BINARY_DIR "/test-temp") / "geometry-json-bare";
    fs::remove_all(path);
    fs::create_directories(path);
    GeometryData model(path.string());
    model.addEntity(std::make_shared<TopoEntity>(box(0, 0, 0, 1, 1, 1), "block"));
    model.getDimension();
    model.getPartitionShape();
    model.toJson();
    EXPECT_TRUE(fs::exists(path / "geometry/raw/partitionShape.brep"));
    fs::remove_all(path);
}

TEST(GeometryDataJson, NullPartitionShapeIsRefused)
{
    WorkingDirectory directory("null-partition");
    GeometryData model(directory.str());
    expectMessage([&] { model.toJson(); }, "TopoEntity::TopoEntity - empty shape passed as argument");
}

// A wire has no bounding box record; it must not pull the model's box to the origin.
TEST(GeometryDataJson, StatisticsUniteOnlyRecordsWithABox)
{
    WorkingDirectory directory("wire-first");
    GeometryData model(directory.str());
    BRepBuilderAPI_MakePolygon polygon(gp_Pnt(1, 1, 1), gp_Pnt(1.5, 1, 1), gp_Pnt(1.5, 1.5, 1));
    model.addEntity(std::make_shared<TopoEntity>(polygon.Wire(), "wire"));
    model.addEntity(std::make_shared<TopoEntity>(box(1, 1, 1, 2, 3, 4), "block"));
    model.getDimension();
    model.getPartitionShape();
    const json statistics = model.toJson().at("statistics");
    EXPECT_EQ(statistics, json::parse(R"({"lengthX": 1.0, "lengthY": 2.0, "lengthZ": 3.0,
        "maxX": 2.0, "maxY": 3.0, "maxZ": 4.0, "minX": 1.0, "minY": 1.0, "minZ": 1.0})"));
}

// The first entity seeds the box whatever its dimension.
TEST(GeometryDataJson, FirstEntitySeedsTheStatistics)
{
    WorkingDirectory directory("face-first");
    GeometryData model(directory.str());
    const TopoDS_Face farFace = BRepBuilderAPI_MakeFace(gp_Pln(gp_Pnt(0, 0, 9), gp_Dir(0, 0, 1)), 0, 1, 0, 1).Face();
    model.addEntity(std::make_shared<TopoEntity>(farFace, "far"));
    model.addEntity(std::make_shared<TopoEntity>(box(0, 0, 0, 1, 1, 1), "block"));
    model.getDimension();
    model.getPartitionShape();
    const json statistics = model.toJson().at("statistics");
    EXPECT_DOUBLE_EQ(statistics.at("maxZ").get<double>(), 9.0);
    EXPECT_DOUBLE_EQ(statistics.at("lengthZ").get<double>(), 9.0);
}

TEST(GeometryDataJson, InternalFaceWarningNamesTheLastDomain)
{
    WorkingDirectory directory("internal");
    GeometryData model(directory.str());
    auto solid = std::make_shared<TopoEntity>(boxWithInternalFace(), "cell");
    auto plain = std::make_shared<TopoEntity>(box(2, 0, 0, 3, 1, 1), "plain");
    model.addEntity(solid);
    model.addEntity(plain);
    model.addDomain(groupOf<DomainGroup>("first", solid));
    model.addDomain(groupOf<DomainGroup>("second", solid));
    model.addDomain(groupOf<DomainGroup>("other", plain));
    model.getDimension();
    model.getPartitionShape();

    testing::internal::CaptureStderr();
    model.toJson();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: Currently Vemra MeshGenerator does not support internal faces. Internal face found in domain "
              "second\n");

    model.setMeshFile("case.msh");
    testing::internal::CaptureStderr();
    const json produced = model.toJson();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(produced.at("meshFile"), "case.msh");
    EXPECT_EQ(produced.at("hasMeshData"), true);
}

TEST(GeometryDataJson, GroupObjectsCarryMeshStatisticsAndPreviews)
{
    WorkingDirectory directory("mesh-stats");
    GeometryData model(directory.str());
    const auto [block, face] = addBlockAndBottom(model);
    auto domain = groupOf<DomainGroup>("core", block);
    auto quiet = groupOf<BoundaryGroup>("quiet", face);
    quiet->setPreviewEnabled(false);
    model.addDomain(domain);
    model.addBoundary(quiet);
    MeshStatistics meshStatistics;
    meshStatistics.totals.elements = 12;
    meshStatistics.totals.nodes = 9;
    meshStatistics.byEntity["block"].elements = 10;
    meshStatistics.byEntity["block"].nodes = 8;
    meshStatistics.byEntity["block"].elementsByType[static_cast<ElementTypes>(4)] = 10;
    model.setMeshStatistics(meshStatistics);
    model.getDimension();
    model.getPartitionShape();
    const json produced = model.toJson();

    EXPECT_EQ(produced.at("meshStatistics"), json::parse(R"({"elements": 12, "nodes": 9})"));
    EXPECT_EQ(produced.at("domains").at(0).at("meshStatistics"),
              json::parse(R"({"elements": 10, "nodes": 8, "tetrahedrons": 10})"));
    EXPECT_EQ(produced.at("boundaries").at(0).at("meshStatistics"), json::parse(R"({"elements": 0, "nodes": 0})"));
    EXPECT_EQ(produced.at("boundaries").at(0).at("previewPath"), "vtk/quiet.vtk");
    EXPECT_TRUE(fs::exists(directory.path / "vtk/core.vtk"));
    EXPECT_FALSE(fs::exists(directory.path / "vtk/quiet.vtk"));
}

// A preview that cannot be written ends the conversion, after both loops ran.
TEST(GeometryDataJson, PreviewWriteFailureIsRaisedAfterTheLoops)
{
    WorkingDirectory directory("preview-fails");
    GeometryData model(directory.str());
    const auto [block, face] = addBlockAndBottom(model);
    model.addDomain(groupOf<DomainGroup>("core", block));
    model.addBoundary(groupOf<BoundaryGroup>("floor", face));
    model.getDimension();
    model.getPartitionShape();
    // A directory in the preview's place cannot be opened as a file.
    fs::create_directories(directory.path / "vtk/core.vtk");
    expectMessage([&] { model.toJson(); }, "Could not write file " + directory.str() + "/vtk/core.vtk: Is a directory");
    EXPECT_TRUE(fs::exists(directory.path / "vtk/floor.vtk"));
}

// Groups are written in model order, whatever the threads do.
TEST(GeometryDataJson, GroupArraysAreDeterministic)
{
    WorkingDirectory directory("determinism");
    GeometryData model(directory.str());
    std::vector<std::string> domainNames;
    std::vector<std::string> boundaryNames;
    for (int i = 0; i < 20; ++i) {
        const double x = 2.0 * i;
        auto solid = std::make_shared<TopoEntity>(box(x, 0, 0, x + 1, 1 + 0.1 * i, 1), "solid" + std::to_string(i));
        auto face = std::make_shared<TopoEntity>(
            BRepBuilderAPI_MakeFace(gp_Pln(gp_Pnt(x, 0, 0), gp_Dir(0, 0, 1)), 0, 1, 0, 1).Face(),
            "face" + std::to_string(i));
        model.addEntity(solid);
        model.addEntity(face);
        // Names out of alphabetical order, so sorting cannot pass for model order.
        domainNames.push_back("d" + std::to_string((i * 7) % 20));
        boundaryNames.push_back("b" + std::to_string((i * 13) % 20));
        model.addDomain(groupOf<DomainGroup>(domainNames.back(), solid));
        model.addBoundary(groupOf<BoundaryGroup>(boundaryNames.back(), face));
    }
    model.getDimension();
    model.getPartitionShape();

    const int threadsBefore = omp_get_max_threads();
    omp_set_num_threads(1);
    const std::string serial = model.toJson().dump();
    omp_set_num_threads(8);
    std::vector<std::string> dumps;
    for (int run = 0; run < 10; ++run) {
        dumps.push_back(model.toJson().dump());
    }
    omp_set_num_threads(threadsBefore);

    for (const auto& text : dumps) {
        EXPECT_EQ(text, serial);
    }
    const json produced = json::parse(serial);
    std::vector<std::string> writtenDomains;
    std::vector<std::string> writtenBoundaries;
    for (const auto& domain : produced.at("domains")) {
        writtenDomains.push_back(domain.at("name"));
    }
    for (const auto& boundary : produced.at("boundaries")) {
        writtenBoundaries.push_back(boundary.at("name"));
    }
    EXPECT_EQ(writtenDomains, domainNames);
    EXPECT_EQ(writtenBoundaries, boundaryNames);
    EXPECT_DOUBLE_EQ(produced.at("domains").at(19).at("statistics").at("maxY").get<double>(), 1.0 + 0.1 * 19);
}

// A domain of one solid shares that solid's record with the model's box; a
// domain of two solids has its own. Each box is known from the blocks.
TEST(GeometryDataJson, DomainAndModelStatisticsOfSharedSolids)
{
    WorkingDirectory directory("shared-records");
    GeometryData model(directory.str());
    auto near = std::make_shared<TopoEntity>(box(0, 0, 0, 1, 1, 1), "near");
    auto far = std::make_shared<TopoEntity>(box(3, 0, 0, 4, 2, 1), "far");
    model.addEntity(near);
    model.addEntity(far);
    auto both = std::make_shared<DomainGroup>();
    both->setName("both");
    both->addEntity(near);
    both->addEntity(far);
    both->buildShape();
    model.addDomain(groupOf<DomainGroup>("onlyFar", far));
    model.addDomain(both);
    model.addDomain(groupOf<DomainGroup>("onlyNear", near));
    model.getDimension();
    model.getPartitionShape();
    const json produced = model.toJson();

    const auto boxJson = [](double x0, double y0, double z0, double x1, double y1, double z1) {
        return json{{"lengthX", x1 - x0}, {"lengthY", y1 - y0}, {"lengthZ", z1 - z0}, {"maxX", x1}, {"maxY", y1},
                    {"maxZ", z1}, {"minX", x0}, {"minY", y0}, {"minZ", z0}};
    };
    const std::vector<std::pair<std::string, json>> expected = {
        {"onlyFar", boxJson(3, 0, 0, 4, 2, 1)},
        {"both", boxJson(0, 0, 0, 4, 2, 1)},
        {"onlyNear", boxJson(0, 0, 0, 1, 1, 1)},
    };
    ASSERT_EQ(produced.at("domains").size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(produced.at("domains").at(i).at("name"), expected[i].first);
        EXPECT_EQ(produced.at("domains").at(i).at("statistics"), expected[i].second);
    }
    EXPECT_EQ(produced.at("statistics"), boxJson(0, 0, 0, 4, 2, 1));
}
