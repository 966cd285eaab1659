// The stored cases end to end: their expected documents against values worked
// out by hand, the case runner's verdicts, and bad inputs.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <GProp_GProps.hxx>
#include <TopExp_Explorer.hxx>
#include <nlohmann/json.hpp>
#include <omp.h>

#include "geometryData/GeometryData.h"
#include "CaseSupport.h"
#include "support/DirectorySnapshot.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

fs::path scratch(const std::string& name) { return clearedPath("reference-" + name); }

struct Measure {
    double measure; // length, area or volume by the shape's kind
    double x, y, z; // centre of mass
};

Measure measureBrep(const fs::path& file, TopAbs_ShapeEnum kind)
{
    TopoDS_Shape shape;
    BRep_Builder builder;
    EXPECT_TRUE(BRepTools::Read(shape, file.string().c_str(), builder)) << file;
    GProp_GProps properties;
    if (kind == TopAbs_EDGE) {
        BRepGProp::LinearProperties(shape, properties);
    } else if (kind == TopAbs_FACE) {
        BRepGProp::SurfaceProperties(shape, properties);
    } else {
        BRepGProp::VolumeProperties(shape, properties);
    }
    const gp_Pnt centre = properties.CentreOfMass();
    return {properties.Mass(), centre.X(), centre.Y(), centre.Z()};
}

void expectMeasure(const Measure& actual, const Measure& expected, const std::string& name)
{
    EXPECT_NEAR(actual.measure, expected.measure, 1e-6) << name;
    EXPECT_NEAR(actual.x, expected.x, 1e-6) << name;
    EXPECT_NEAR(actual.y, expected.y, 1e-6) << name;
    EXPECT_NEAR(actual.z, expected.z, 1e-6) << name;
}

json boxStatistics(double x0, double y0, double z0, double x1, double y1, double z1)
{
    return {{"lengthX", x1 - x0}, {"lengthY", y1 - y0}, {"lengthZ", z1 - z0}, {"maxX", x1}, {"maxY", y1},
            {"maxZ", z1},         {"minX", x0},         {"minY", y0},         {"minZ", z0}};
}

// The nine numbers of a statistics object against hand values, each within
// the tolerance (0 for exact).
void expectStatistics(const json& actual, const json& expected, double tolerance)
{
    ASSERT_EQ(actual.size(), expected.size()) << actual.dump();
    for (const auto& [key, value] : expected.items()) {
        ASSERT_TRUE(actual.contains(key)) << key;
        EXPECT_NEAR(actual.at(key).get<double>(), value.get<double>(), tolerance) << key;
    }
}

const json zeroMesh = {{"elements", 0}, {"nodes", 0}};

struct ExpectedBoundary {
    std::string name;
    std::vector<std::string> entities;
    int id;
    std::string label;
    std::string role;
    std::vector<std::string> domains;
    bool isInDomain;
};

struct ExpectedDomain {
    std::string name;
    std::vector<std::string> entities;
    int id;
    std::string label;
    std::string role;
    std::vector<std::string> boundaries;
    json statistics;
};

// The groups of a document; the domains' statistics within the tolerance.
void expectGroups(const json& document, const std::vector<ExpectedDomain>& domains,
                  const std::vector<ExpectedBoundary>& boundaries, double statisticsTolerance = 0.0)
{
    ASSERT_EQ(document.at("domains").size(), domains.size());
    for (std::size_t i = 0; i < domains.size(); ++i) {
        const auto& d = domains[i];
        SCOPED_TRACE("domain " + d.name);
        const json expected = {{"boundaries", d.boundaries}, {"entities", d.entities}, {"group", ""},
                               {"id", d.id}, {"label", d.label}, {"meshStatistics", zeroMesh},
                               {"mergedFrom", json::array()}, {"name", d.name},
                               {"previewPath", "vtk/" + d.name + ".vtk"}, {"role", d.role}};
        json actual = document.at("domains").at(i);
        ASSERT_TRUE(actual.contains("statistics"));
        expectStatistics(actual.at("statistics"), d.statistics, statisticsTolerance);
        actual.erase("statistics");
        EXPECT_EQ(actual, expected);
    }
    ASSERT_EQ(document.at("boundaries").size(), boundaries.size());
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        const auto& b = boundaries[i];
        SCOPED_TRACE("boundary " + b.name);
        const json expected = {{"domains", b.domains}, {"entities", b.entities}, {"id", b.id},
                               {"isInDomain", b.isInDomain}, {"label", b.label}, {"meshStatistics", zeroMesh},
                               {"mergedFrom", json::array()}, {"name", b.name},
                               {"previewPath", "vtk/" + b.name + ".vtk"}, {"role", b.role}};
        EXPECT_EQ(document.at("boundaries").at(i), expected);
    }
}

json entityObjects(const std::vector<std::pair<std::string, int>>& entities, const std::string& pathPrefix,
                   bool written)
{
    json objects = json::array();
    for (const auto& [name, id] : entities) {
        objects.push_back({{"id", id}, {"name", name},
                           {"path", written ? "/geometry/raw/" + name + ".brep" : pathPrefix + name + ".brep"}});
    }
    return objects;
}

std::string face(int n) { return "Face_" + std::to_string(n); }

// test01's boxes after finalisation (see its README). The refill's
// comparisons mesh both solids; a plane's triangulation has deflection 0, so
// a face's box is its corners widened by the face tolerance 1e-7. Edge_1,
// from (0,0,0) to (0,0,1), seeds the model's box: its polygon is widened by
// the deflection of the first mesh, Solid_1's, 0.001 x (1 + 2 x 1e-7).
constexpr double shapeTolerance = 1e-7;
constexpr double edge1Deflection = 0.001 * (1 + 2 * shapeTolerance);
// Far below both effects, far above the rounding of the kernel's sums.
constexpr double boxTolerance = 1e-12;

json test01CoreStatistics()
{
    const double t = shapeTolerance;
    return boxStatistics(-t, -t, -t, 1 + t, 1 + t, 1 + t);
}

json test01Solid2Statistics()
{
    const double t = shapeTolerance;
    return boxStatistics(1 - t, -t, -t, 3 + t, 2 + t, 2 + t);
}

json test01ModelStatistics()
{
    const double t = shapeTolerance;
    const double d = edge1Deflection;
    return boxStatistics(-d, -d, -d, 3 + t, 2 + t, 2 + t);
}

} // namespace

// Two boxes, small [0,1]^3 and large [1,3]x[0,2]x[0,2], partitioned; see the
// case's README for the reasoning behind each value.
TEST(ReferenceCase, Test01ResultMatchesHandDerivation)
{
    const json expected = readJson(storedCases / "test01/result.json");

    // Entities: 24 edges, 12 faces, 2 solids, ids running on across the kinds.
    std::vector<std::pair<std::string, int>> edges, faces;
    for (int i = 1; i <= 24; ++i) {
        edges.emplace_back("Edge_" + std::to_string(i), i);
    }
    for (int i = 1; i <= 12; ++i) {
        faces.emplace_back(face(i), 24 + i);
    }
    EXPECT_EQ(expected.at("edges"), entityObjects(edges, "", true));
    EXPECT_EQ(expected.at("faces"), entityObjects(faces, "", true));
    EXPECT_EQ(expected.at("solids"), entityObjects({{"Solid_1", 37}, {"Solid_2", 38}}, "", true));

    // Relations between solids and the faces that bound them.
    json relations = json::object();
    for (int n = 1; n <= 6; ++n) {
        relations[face(n)] = {"Solid_1"};
    }
    for (int n = 7; n <= 12; ++n) {
        relations[face(n)] = {"Solid_2"};
    }
    relations[face(2)] = {"Solid_1", "Solid_2"};
    relations["Solid_1"] = {face(1), face(2), face(3), face(4), face(5), face(6)};
    relations["Solid_2"] = {face(2), face(7), face(8), face(9), face(10), face(11), face(12)};
    EXPECT_EQ(expected.at("relations"), relations);

    // Groups: the document's, refilled, then the defaults with ids from 38.
    std::vector<ExpectedBoundary> boundaries = {
        {"contact", {face(2)}, 26, "Contact", "interface", {"core", "Solid_2"}, false},
        {"side", {face(9)}, 33, "side", "", {"Solid_2"}, false}};
    int nextId = 38;
    for (int n : {1, 3, 4, 5, 6, 7, 8, 10, 11, 12}) {
        boundaries.push_back({face(n), {face(n)}, nextId++, face(n), "indefinite", {n <= 6 ? "core" : "Solid_2"}, false});
    }
    const std::vector<ExpectedDomain> domains = {
        {"core", {"Solid_1"}, 37, "Copper core", "conductor", {"contact", face(1), face(3), face(4), face(5), face(6)},
         test01CoreStatistics()},
        {"Solid_2", {"Solid_2"}, 48, "Solid_2", "", {"contact", "side", face(7), face(8), face(10), face(11), face(12)},
         test01Solid2Statistics()}};
    expectGroups(expected, domains, boundaries, boxTolerance);

    expectStatistics(expected.at("statistics"), test01ModelStatistics(), boxTolerance);
    EXPECT_EQ(expected.at("dimensions"), 3);
    EXPECT_EQ(expected.at("groupMode"), "groupsFromPreprocessor");
    EXPECT_EQ(expected.at("geometryUnit"), "m");
    EXPECT_EQ(expected.at("editorFile"), "editor/model.edt");
    EXPECT_EQ(expected.at("variables"), json({{"frequency", 50}, {"material", "copper"}}));
    EXPECT_TRUE(expected.at("meshFile").is_null());
    EXPECT_EQ(expected.at("hasMeshData"), false);
    EXPECT_EQ(expected.at("meshStatistics"), zeroMesh);
    EXPECT_EQ(expected.at("partitionShape"),
              json({{"id", 0}, {"name", "partitionShape"}, {"path", "/geometry/raw/partitionShape.brep"}}));
    EXPECT_EQ(expected.size(), 16u);

    // A run reproduces the document, and every generated name is the piece
    // the table says it is.
    const fs::path working = scratch("test01");
    const RunResult result = run(storedCases / "test01", working);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("TEST01 passed"), std::string::npos) << result.output;

    const fs::path raw = working / "geometry/raw";
    const std::vector<Measure> faceTable = {
        {1, 0, .5, .5}, {1, 1, .5, .5},         {1, .5, 0, .5}, {1, .5, 1, .5}, {1, .5, .5, 0}, {1, .5, .5, 1},
        {3, 1, 7.0 / 6, 7.0 / 6}, {4, 3, 1, 1}, {4, 2, 0, 1},   {4, 2, 2, 1},   {4, 2, 1, 0},   {4, 2, 1, 2}};
    for (int n = 1; n <= 12; ++n) {
        expectMeasure(measureBrep(raw / (face(n) + ".brep"), TopAbs_FACE), faceTable[n - 1], face(n));
    }
    expectMeasure(measureBrep(raw / "Solid_1.brep", TopAbs_SOLID), {1, .5, .5, .5}, "Solid_1");
    expectMeasure(measureBrep(raw / "Solid_2.brep", TopAbs_SOLID), {8, 2, 1, 1}, "Solid_2");

    // The edges, as a set: small's 12 unit edges, large's 10 whole edges of
    // length 2 and the two pieces of large's edges that small's corner cuts.
    std::multiset<std::vector<long>> expectedEdges, writtenEdges;
    const auto key = [](double length, double x, double y, double z) {
        return std::vector<long>{std::lround(length * 1e4), std::lround(x * 1e4), std::lround(y * 1e4),
                                 std::lround(z * 1e4)};
    };
    for (double a : {0.0, 1.0}) {
        for (double b : {0.0, 1.0}) {
            expectedEdges.insert(key(1, .5, a, b));
            expectedEdges.insert(key(1, a, .5, b));
            expectedEdges.insert(key(1, a, b, .5));
        }
    }
    for (double a : {0.0, 2.0}) {
        for (double b : {0.0, 2.0}) {
            expectedEdges.insert(key(2, 2, a, b));
        }
    }
    for (double x : {1.0, 3.0}) {
        for (double b : {0.0, 2.0}) {
            if (!(x == 1.0 && b == 0.0)) {
                expectedEdges.insert(key(2, x, 1, b));  // along y
                expectedEdges.insert(key(2, x, b, 1));  // along z
            }
        }
    }
    expectedEdges.insert(key(1, 1, 1.5, 0));
    expectedEdges.insert(key(1, 1, 0, 1.5));
    double totalLength = 0.0;
    for (int i = 1; i <= 24; ++i) {
        const Measure edge = measureBrep(raw / ("Edge_" + std::to_string(i) + ".brep"), TopAbs_EDGE);
        writtenEdges.insert(key(edge.measure, edge.x, edge.y, edge.z));
        totalLength += edge.measure;
    }
    EXPECT_EQ(writtenEdges, expectedEdges);
    EXPECT_NEAR(totalLength, 34.0, 1e-9);
    // Edge_1 is the edge whose box seeds the model's.
    expectMeasure(measureBrep(raw / "Edge_1.brep", TopAbs_EDGE), {1, 0, 0, .5}, "Edge_1");

    // Side files: 38 entity files, the partition shape, 14 previews.
    std::set<std::string> entityFiles;
    for (const auto& name : filesIn(raw)) {
        if (name.rfind("Edge_", 0) == 0 || name.rfind("Face_", 0) == 0 || name.rfind("Solid_", 0) == 0) {
            entityFiles.insert(name);
        }
    }
    EXPECT_EQ(entityFiles.size(), 38u);
    EXPECT_TRUE(fs::exists(raw / "partitionShape.brep"));
    std::set<std::string> previews;
    for (const auto& group : expected.at("domains")) {
        previews.insert(group.at("name").get<std::string>() + ".vtk");
    }
    for (const auto& group : expected.at("boundaries")) {
        previews.insert(group.at("name").get<std::string>() + ".vtk");
    }
    EXPECT_EQ(previews.size(), 14u);
    EXPECT_EQ(filesIn(working / "vtk"), previews);
    fs::remove_all(working);
}

// The program's own doubles against the hand values, and the same document
// and side files, byte for byte, with one thread and with eight: the
// comparisons that mesh the shapes run in one fixed order.
TEST(ReferenceCase, Test01SameBytesWhateverTheThreadCount)
{
    const int threadsBefore = omp_get_max_threads();
    std::vector<std::string> documents;
    std::vector<std::map<std::string, std::string>> files;
    for (const int threads : {1, 8}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        omp_set_num_threads(threads);
        const fs::path working = scratch("threads");
        fs::copy(storedCases / "test01", working, fs::copy_options::recursive);
        const json raw = readJson(working / "geometry/raw/RawGeometryData.json");
        GeometryData model(raw, working.string());
        const json document = model.toJson();

        expectStatistics(document.at("statistics"), test01ModelStatistics(), boxTolerance);
        ASSERT_EQ(document.at("domains").size(), 2u);
        expectStatistics(document.at("domains").at(0).at("statistics"), test01CoreStatistics(), boxTolerance);
        expectStatistics(document.at("domains").at(1).at("statistics"), test01Solid2Statistics(), boxTolerance);

        documents.push_back(document.dump());
        files.push_back(directorySnapshot(working));
        fs::remove_all(working);
    }
    omp_set_num_threads(threadsBefore);
    EXPECT_EQ(documents[0], documents[1]);
    EXPECT_EQ(files[0], files[1]);
}

// test01's document scaled by 2 after its partition and before it. After the
// partition the groups still hold the entities it replaced; their shapes are
// scaled like the entities, so that finalisation refills them as in test01.
// The scale widens the tolerances with the shapes (2e-7), so every box of
// test01 doubles, but for one: scaled after the partition, every entity is
// scaled on its own, Edge_1 no longer shares its geometry with Solid_1, is
// not meshed, and its exact box lies inside the solids' box.
TEST(ReferenceCase, Test01ScaledAfterAndBeforeItsPartition)
{
    const double t = 2 * shapeTolerance;
    const json core = boxStatistics(-t, -t, -t, 2 + t, 2 + t, 2 + t);
    const json solid2 = boxStatistics(2 - t, -t, -t, 6 + t, 4 + t, 4 + t);
    const double d = 2 * edge1Deflection;
    const json partitioning = {{"function", "partition"}};
    const json doubling = {{"function", "scale"}, {"scale", 2}};
    const struct {
        const char* name;
        json operate;
        json model;
    } cases[] = {
        {"partition, then scale", {partitioning, doubling}, boxStatistics(-t, -t, -t, 6 + t, 4 + t, 4 + t)},
        {"scale, then partition", {doubling, partitioning}, boxStatistics(-d, -d, -d, 6 + t, 4 + t, 4 + t)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path working = scratch("scaled");
        fs::copy(storedCases / "test01", working, fs::copy_options::recursive);
        json raw = readJson(working / "geometry/raw/RawGeometryData.json");
        raw["operate"] = c.operate;
        GeometryData model(raw, working.string());
        const json document = model.toJson();

        EXPECT_EQ(document.at("edges").size(), 24u);
        EXPECT_EQ(document.at("faces").size(), 12u);
        ASSERT_EQ(document.at("domains").size(), 2u);
        const json& coreGroup = document.at("domains").at(0);
        EXPECT_EQ(coreGroup.at("name"), "core");
        EXPECT_EQ(coreGroup.at("entities"), json({"Solid_1"}));
        EXPECT_EQ(coreGroup.at("id"), 37);
        expectStatistics(coreGroup.at("statistics"), core, boxTolerance);
        EXPECT_EQ(document.at("domains").at(1).at("name"), "Solid_2");
        expectStatistics(document.at("domains").at(1).at("statistics"), solid2, boxTolerance);
        ASSERT_GE(document.at("boundaries").size(), 2u);
        EXPECT_EQ(document.at("boundaries").at(0).at("entities"), json({face(2)}));
        EXPECT_EQ(document.at("boundaries").at(1).at("entities"), json({face(9)}));
        expectStatistics(document.at("statistics"), c.model, boxTolerance);

        const fs::path written = working / "geometry/raw";
        expectMeasure(measureBrep(written / "Solid_1.brep", TopAbs_SOLID), {8, 1, 1, 1}, "Solid_1");
        expectMeasure(measureBrep(written / "Solid_2.brep", TopAbs_SOLID), {64, 4, 2, 2}, "Solid_2");
        expectMeasure(measureBrep(written / (face(2) + ".brep"), TopAbs_FACE), {4, 2, 1, 1}, face(2));
        fs::remove_all(working);
    }
}

// The same boxes without operations: the relations come from contact tests.
TEST(ReferenceCase, Test02ResultMatchesHandDerivation)
{
    const json expected = readJson(storedCases / "test02/result.json");
    EXPECT_EQ(expected.at("edges"), json::array());
    EXPECT_EQ(expected.at("faces"), entityObjects({{"contactFace", 1}, {"sideFace", 2}}, "geometry/raw/", false));
    EXPECT_EQ(expected.at("solids"), entityObjects({{"small", 3}, {"large", 7}}, "geometry/raw/", false));
    EXPECT_EQ(expected.at("relations"), json({{"contactFace", {"small", "large"}},
                                               {"large", {"contactFace", "sideFace"}},
                                               {"sideFace", {"large"}},
                                               {"small", {"contactFace"}}}));
    expectGroups(expected,
                 {{"pair", {"small", "large"}, 3, "pair", "", {"contact", "sideFace"}, boxStatistics(0, 0, 0, 3, 2, 2)}},
                 {{"contact", {"contactFace"}, 1, "contact", "", {"pair"}, true},
                  {"sideFace", {"sideFace"}, 4, "sideFace", "", {"pair"}, false}});
    EXPECT_EQ(expected.at("statistics"), boxStatistics(0, 0, 0, 3, 2, 2));
    EXPECT_EQ(expected.at("dimensions"), 3);
    EXPECT_EQ(expected.at("groupMode"), "groupsFromAllEntities");
    EXPECT_EQ(expected.at("geometryUnit"), "");
    EXPECT_EQ(expected.at("editorFile"), "");
    EXPECT_TRUE(expected.at("variables").is_null());
    EXPECT_TRUE(expected.at("meshFile").is_null());
    EXPECT_EQ(expected.at("hasMeshData"), false);
    EXPECT_EQ(expected.at("meshStatistics"), zeroMesh);
    EXPECT_EQ(expected.size(), 16u);

    const fs::path working = scratch("test02");
    const RunResult result = run(storedCases / "test02", working);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("TEST01 passed"), std::string::npos) << result.output;
    EXPECT_EQ(filesIn(working / "vtk"), (std::set<std::string>{"pair.vtk", "contact.vtk", "sideFace.vtk"}));
    EXPECT_TRUE(fs::exists(working / "geometry/raw/partitionShape.brep"));
    fs::remove_all(working);
}

TEST(ReferenceCase, ChangedExpectedValueFailsWithOnePatch)
{
    const fs::path reference = scratch("changed-reference");
    fs::copy(storedCases / "test02", reference, fs::copy_options::recursive);
    editJson(reference / "result.json", [](json& expected) { expected["boundaries"][0]["id"] = 27; });

    const fs::path working = scratch("changed-working");
    const RunResult result = run(reference, working);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("TEST01 failed\njson diff :: [{\"op\":\"replace\",\"path\":\"/boundaries/0/id\","
                                 "\"value\":27}]\n\n{"),
              std::string::npos)
        << result.output;
    fs::remove_all(reference);
    fs::remove_all(working);
}

namespace {

struct BadInput {
    std::string name;
    std::string baseCase;
    std::function<void(const fs::path&)> spoil;
    std::string message; // what follows "Exception  "
    bool prefix;
};

} // namespace

TEST(ReferenceCase, BadInputsEndInAClearException)
{
    const std::string wd = scratch("bad-working").string();
    const std::vector<BadInput> cases = {
        {"malformed document", "test02",
         [](const fs::path& r) { writeText(r / "geometry/raw/RawGeometryData.json", "{\"solids\": [,]}"); },
         "[json.exception.parse_error.101] parse error at line 1, column ", true},
        {"empty document", "test02", [](const fs::path& r) { writeText(r / "geometry/raw/RawGeometryData.json", ""); },
         "JSON file " + wd + "/geometry/raw/RawGeometryData.json is empty", false},
        {"missing BREP file", "test02", [](const fs::path& r) { fs::remove(r / "geometry/raw/large.brep"); },
         "Brep file." + wd + "/geometry/raw/large.brepdoes not exist", false},
        {"BREP file of garbage", "test02",
         [](const fs::path& r) { writeText(r / "geometry/raw/large.brep", "not a shape at all\n"); },
         "Could not read BREP file " + wd + "/geometry/raw/large.brep", false},
        {"unsafe entity name", "test02",
         [](const fs::path& r) { editRaw(r, [](json& raw) { raw["solids"][0]["name"] = "../escape"; }); },
         "Invalid entity name \"../escape\"", true},
        {"duplicate entity name", "test02",
         [](const fs::path& r) { editRaw(r, [](json& raw) { raw["faces"][1]["name"] = "contactFace"; }); },
         "Two entities are named contactFace. Check your geometry input!", false},
        {"duplicate group name", "test02",
         [](const fs::path& r) {
             editRaw(r, [](json& raw) { raw["boundaries"].push_back({{"name", "pair"}, {"entities", {"sideFace"}}}); });
         },
         "Names of boundaries and domains are not unique! Please rename boundaries or domains! The name pair is used "
         "twice.", false},
        {"bad scale", "test02",
         [](const fs::path& r) {
             editRaw(r, [](json& raw) { raw["operate"] = {{{"function", "scale"}, {"scale", -1}}}; });
         },
         "Invalid scale factor -1: it must be a finite number above 0.", false},
        // large's whole x = 1 face is split by the partition: nothing matches it.
        {"refill finds no entity", "test01",
         [](const fs::path& r) {
             const TopoDS_Shape large = BRepPrimAPI_MakeBox(gp_Pnt(1, 0, 0), gp_Pnt(3, 2, 2)).Shape();
             TopExp_Explorer explorer(large, TopAbs_FACE); // the first face of a box is its x-minimum one
             BRepTools::Write(explorer.Current(), (r / "geometry/raw/largeInner.brep").string().c_str());
             editRaw(r, [](json& raw) {
                 raw["faces"].push_back({{"name", "largeInner"}, {"path", "geometry/raw/largeInner.brep"}});
                 raw["boundaries"].push_back({{"name", "inner"}, {"entities", {"largeInner"}}});
             });
         },
         "There are no entities assigned to group inner. This is internal error. Please contact support!", false},
    };

    // Errors raised inside the parallel loops come out with one thread or many.
    const int threadsBefore = omp_get_max_threads();
    for (const int threads : {1, 8})
    for (const auto& badInput : cases) {
        omp_set_num_threads(threads);
        SCOPED_TRACE(badInput.name + ", threads " + std::to_string(threads));
        const fs::path reference = scratch("bad-reference");
        fs::copy(storedCases / badInput.baseCase, reference, fs::copy_options::recursive);
        badInput.spoil(reference);
        const auto before = directorySnapshot(reference);

        const RunResult result = run(reference, wd);
        EXPECT_EQ(result.exitCode, 1);
        const std::string expected = "Exception  " + badInput.message;
        const auto line = exceptionLine(result.output);
        ASSERT_TRUE(line) << result.output;
        if (badInput.prefix) {
            EXPECT_EQ(line->rfind(expected, 0), 0u) << *line;
        } else {
            EXPECT_EQ(*line, expected);
        }
        EXPECT_EQ(result.output.find("TEST01"), std::string::npos) << result.output;
        // Nothing written outside the working copy.
        EXPECT_EQ(directorySnapshot(reference), before);
        EXPECT_FALSE(fs::exists(fs::path(wd).parent_path() / "escape.brep"));
        EXPECT_FALSE(fs::exists(fs::path(wd) / "geometry/escape.brep"));
        fs::remove_all(reference);
    }
    omp_set_num_threads(threadsBefore);
    fs::remove_all(wd);
}

// A reference case that is not there ends in an exception, not an abort.
TEST(ReferenceCase, MissingReferenceCaseIsReported)
{
    const fs::path working = scratch("no-reference-working");
    const RunResult result = run(scratch("no-such-reference"), working);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output.rfind("Exception  ", 0), 0u) << result.output;
    fs::remove_all(working);
}
