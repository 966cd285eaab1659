// CAD reading: STEP and IGES files written here with the CAD kernel are read
// into a model, alone and through the whole pipeline of a raw document.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <STEPControl_Writer.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <gp_Pnt.hxx>
#include <nlohmann/json.hpp>

#include "geometryData/GeometryData.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "support/CadFiles.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "vemra_exception.h"

namespace fs = std::filesystem;
using nlohmann::json;
using Relations = std::map<std::string, std::vector<std::string>>;

namespace {

void writeStep(const TopoDS_Shape& shape, const fs::path& file)
{
    STEPControl_Writer writer;
    ASSERT_EQ(writer.Transfer(shape, STEPControl_AsIs), IFSelect_RetDone);
    ASSERT_EQ(writer.Write(file.string().c_str()), IFSelect_RetDone);
}

struct CadFile {
    std::string name;
    TopoDS_Shape shape;
};

void writeCadFile(const CadFile& file, const fs::path& directory)
{
    const fs::path path = directory / file.name;
    fs::create_directories(path.parent_path());
    std::string upper = path.extension().string();
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    if (upper == ".IGS" || upper == ".IGES") {
        writeIges(file.shape, path);
    } else {
        writeStep(file.shape, path);
    }
}

class ReadCadFiles : public ::testing::Test {
protected:
    void SetUp() override { useFreshDirectory(0); }

    // Each case of a table works in a directory of its own.
    void useFreshDirectory(std::size_t caseIndex)
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        directory = freshDirectory("readCadFiles/" + std::string(info->name()) + "_" + std::to_string(caseIndex));
    }

    void write(const std::vector<CadFile>& files)
    {
        for (const auto& file : files) {
            writeCadFile(file, directory);
        }
    }

    // How many entries of the folder have the extension.
    static std::size_t countWithExtension(const fs::path& folder, const std::string& extension)
    {
        const auto names = filesIn(folder);
        return static_cast<std::size_t>(std::count_if(names.begin(), names.end(), [&](const std::string& name) {
            return fs::path(name).extension() == extension;
        }));
    }

    fs::path directory;
};

// What relations must be, worked out by the plain definition: every occurrence
// of a lower shape in each upper entity, matched against all lower entities.
Relations relationsByScan(const std::vector<std::shared_ptr<TopoEntity>>& entities, int upperDimension)
{
    const TopAbs_ShapeEnum lowerType = upperDimension == 3 ? TopAbs_FACE : TopAbs_EDGE;
    Relations expected;
    for (const auto& entity : entities) {
        if (entity->getDimension() == upperDimension || entity->getDimension() == upperDimension - 1) {
            expected[entity->getName()];
        }
    }
    for (const auto& upper : entities) {
        if (upper->getDimension() != upperDimension) {
            continue;
        }
        for (TopExp_Explorer explorer(upper->getShape(), lowerType); explorer.More(); explorer.Next()) {
            for (const auto& lower : entities) {
                if (lower->getDimension() == upperDimension - 1 && lower->getShape().IsSame(explorer.Current())) {
                    expected[upper->getName()].push_back(lower->getName());
                    expected[lower->getName()].push_back(upper->getName());
                }
            }
        }
    }
    return expected;
}

std::vector<std::string> namesOf(const json& entities)
{
    std::vector<std::string> names;
    for (const auto& entity : entities) {
        names.push_back(entity.at("name").get<std::string>());
    }
    return names;
}

// "Prefix_1" .. "Prefix_n" with ids first .. first + n - 1.
void expectNumbered(const json& entities, const std::string& prefix, int count, int firstId)
{
    ASSERT_EQ(entities.size(), static_cast<std::size_t>(count)) << prefix;
    for (int i = 0; i < count; ++i) {
        const std::string name = prefix + std::to_string(i + 1);
        EXPECT_EQ(entities[i].at("name"), name);
        EXPECT_EQ(entities[i].at("id"), firstId + i) << name;
        EXPECT_EQ(entities[i].at("path"), "/geometry/raw/" + name + ".brep");
    }
}

TopoDS_Shape readBrep(const fs::path& directory, const json& entity)
{
    TopoDS_Shape shape;
    BRep_Builder builder;
    const std::string file = directory.string() + "/" + entity.at("path").get<std::string>();
    EXPECT_TRUE(BRepTools::Read(shape, file.c_str(), builder)) << file;
    return shape;
}

} // namespace

// The whole pipeline from a raw document holding only a "readCADfiles" item.
TEST_F(ReadCadFiles, RawDocumentBuildsEntitiesGroupsAndRelations)
{
    struct Case {
        std::string name;
        std::vector<CadFile> files;
        int edges, faces, solids;
        std::multiset<double> volumes;
        std::multiset<int> facesPerSolid;
        int sharedFaces; // faces bounding two solids, each of area 1 here
    };
    // A = [0,1]^3, B = [1,3]x[0,2]x[0,2], C = [0,1]x[1,2]x[0,1]: B's face at x = 1
    // splits into A's square, C's square and a 2 x 1 rest, so B has 8 faces;
    // 6 + 6 - 1 (A|C) + 8 - 2 = 17 faces; V = 18, so E = V + F - S - 1 = 31.
    const TopoDS_Shape a = boxAt(0, 0, 0);
    const TopoDS_Shape b = boxAt(1, 0, 0, 2, 2, 2);
    const TopoDS_Shape c = boxAt(0, 1, 0, 1, 1, 1);
    const std::vector<Case> cases = {
        {"one box", {{"box.step", unitCube()}}, 12, 6, 1, {1.0}, {6}, 0},
        {"two touching cubes, STEP and IGES",
         {{"left.Stp", unitCube()}, {"right.iges", boxAt(1, 0, 0)}},
         20, 11, 2, {1.0, 1.0}, {6, 6}, 1},
        {"three boxes in one file", {{"abc.STEP", compoundOf({a, b, c})}}, 31, 17, 3, {1.0, 1.0, 8.0}, {6, 6, 8}, 3},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& test = cases[index];
        SCOPED_TRACE(test.name);
        useFreshDirectory(index);
        write(test.files);
        json names = json::array();
        for (const auto& file : test.files) {
            names.push_back(file.name);
        }
        const json raw = {{"operate", json::array({{{"function", "readCADfiles"}, {"fileNames", names}}})}};
        GeometryData model(raw, directory.string());
        const json result = model.toJson();

        const int e = test.edges, f = test.faces, s = test.solids;
        expectNumbered(result.at("edges"), "Edge_", e, 1);
        expectNumbered(result.at("faces"), "Face_", f, e + 1);
        expectNumbered(result.at("solids"), "Solid_", s, e + f + 1);
        EXPECT_EQ(result.at("dimensions"), 3);
        EXPECT_EQ(result.at("groupMode"), "groupsFromAllEntities");
        EXPECT_EQ(result.at("geometryUnit"), "m");

        // Every face a boundary of its own, then every solid a domain.
        const json& boundaries = result.at("boundaries");
        const json& domains = result.at("domains");
        ASSERT_EQ(boundaries.size(), static_cast<std::size_t>(f));
        ASSERT_EQ(domains.size(), static_cast<std::size_t>(s));
        std::set<std::string> boundaryNames, domainNames;
        std::set<int> boundaryIds, domainIds;
        for (const auto& group : boundaries) {
            boundaryNames.insert(group.at("name").get<std::string>());
            boundaryIds.insert(group.at("id").get<int>());
            EXPECT_EQ(group.at("entities"), json::array({group.at("name")}));
        }
        for (const auto& group : domains) {
            domainNames.insert(group.at("name").get<std::string>());
            domainIds.insert(group.at("id").get<int>());
        }
        const std::vector<std::string> faceNames = namesOf(result.at("faces"));
        const std::vector<std::string> solidNames = namesOf(result.at("solids"));
        EXPECT_EQ(boundaryNames, std::set<std::string>(faceNames.begin(), faceNames.end()));
        EXPECT_EQ(domainNames, std::set<std::string>(solidNames.begin(), solidNames.end()));
        EXPECT_EQ(*boundaryIds.begin(), 1);
        EXPECT_EQ(*boundaryIds.rbegin(), f);
        EXPECT_EQ(*domainIds.begin(), f + 1);
        EXPECT_EQ(*domainIds.rbegin(), f + s);

        // Geometry read back from the written BREP files.
        std::map<std::string, TopoDS_Shape> shapes;
        for (const char* kind : {"edges", "faces", "solids"}) {
            for (const auto& entity : result.at(kind)) {
                shapes[entity.at("name")] = readBrep(directory, entity);
            }
        }
        std::multiset<double> volumes;
        for (const auto& name : solidNames) {
            volumes.insert(std::round(volumeOf(shapes[name]) * 1e6) / 1e6);
        }
        EXPECT_EQ(volumes, test.volumes);
        EXPECT_EQ(countWithExtension(directory / "geometry" / "raw", ".brep"), static_cast<std::size_t>(e + f + s + 1));
        EXPECT_EQ(countWithExtension(directory / "vtk", ".vtk"), static_cast<std::size_t>(f + s));

        // Relations: solids list their faces, faces their solids, edges nothing.
        const json& relations = result.at("relations");
        std::multiset<int> facesPerSolid;
        for (const auto& name : solidNames) {
            facesPerSolid.insert(static_cast<int>(relations.at(name).size()));
        }
        EXPECT_EQ(facesPerSolid, test.facesPerSolid);
        int shared = 0;
        for (const auto& name : faceNames) {
            const json& solids = relations.at(name);
            ASSERT_GE(solids.size(), 1u) << name;
            ASSERT_LE(solids.size(), 2u) << name;
            if (solids.size() == 2) {
                ++shared;
                EXPECT_NE(solids[0], solids[1]);
                EXPECT_NEAR(areaOf(shapes[name]), 1.0, 1e-9) << name;
            }
        }
        EXPECT_EQ(shared, test.sharedFaces);
        EXPECT_FALSE(relations.contains("Edge_1"));
    }
}

// With a "readCADfiles" item the document's own input is not read at all:
// its entity lists name files that do not exist, its groups name those
// entities, and its settings would show in the output. Only "variables",
// which the operation parser stores, passes through.
TEST_F(ReadCadFiles, CadPathIgnoresTheDocumentsOwnInput)
{
    write({{"box.step", unitCube()}});
    const json raw = json::parse(R"({
        "operate": [{"function": "readCADfiles", "fileNames": ["box.step"]}],
        "solids": [{"name": "small", "path": "geometry/raw/missing-small.brep"}],
        "faces": [{"name": "contactFace", "path": "geometry/raw/missing-face.brep"}],
        "edges": [],
        "relations": {"small": ["contactFace"], "contactFace": ["small"]},
        "domains": [{"name": "core", "entities": ["small"]}],
        "boundaries": [{"name": "contact", "entities": ["contactFace"]}],
        "groupMode": "groupsFromPreprocessor",
        "geometryUnit": "mm",
        "dimensions": 2,
        "hasMeshData": true, "meshFile": "mesh/model.msh",
        "partitionShape": {"name": "partitionShape", "path": "geometry/raw/missing-partition.brep"},
        "editorFile": "editor/model.edt",
        "variables": {"frequency": 50}
    })");
    GeometryData model(raw, directory.string());
    const json result = model.toJson();

    // A unit cube: 12 edges, 6 faces, 1 solid, and nothing of the lists.
    expectNumbered(result.at("edges"), "Edge_", 12, 1);
    expectNumbered(result.at("faces"), "Face_", 6, 13);
    expectNumbered(result.at("solids"), "Solid_", 1, 19);
    std::set<std::string> groups;
    for (const char* kind : {"domains", "boundaries"}) {
        for (const auto& group : result.at(kind)) {
            groups.insert(group.at("name").get<std::string>());
            // Group mode 1: default boundaries get no role.
            EXPECT_EQ(group.at("role"), "") << group.at("name");
        }
    }
    EXPECT_EQ(groups, (std::set<std::string>{"Face_1", "Face_2", "Face_3", "Face_4", "Face_5", "Face_6", "Solid_1"}));
    Relations relations = result.at("relations").get<Relations>();
    EXPECT_EQ(relations.count("small"), 0u);
    EXPECT_EQ(relations.at("Solid_1").size(), 6u);
    EXPECT_EQ(result.at("groupMode"), "groupsFromAllEntities");
    EXPECT_EQ(model.getGeometryUnit(), metre);
    EXPECT_EQ(result.at("geometryUnit"), "m");
    EXPECT_EQ(result.at("dimensions"), 3);
    EXPECT_TRUE(result.at("meshFile").is_null());
    EXPECT_EQ(result.at("hasMeshData"), false);
    EXPECT_EQ(result.at("editorFile"), "");
    EXPECT_EQ(result.at("variables"), json({{"frequency", 50}}));
    // The partition shape is the fuse of the read file: the cube.
    EXPECT_NEAR(volumeOf(model.getPartitionShape()), 1.0, 1e-9);
}

// Models read without the pipeline: lower-dimensional roots, path spellings.
TEST_F(ReadCadFiles, FilesContributeTheirHighestKindOfPiece)
{
    const TopoDS_Shape cube = boxAt(0, 0, 0);
    const TopoDS_Shape square = firstOf(cube, TopAbs_FACE);
    const TopoDS_Shape shell = firstOf(cube, TopAbs_SHELL);
    const TopoDS_Shape wire = BRepBuilderAPI_MakePolygon(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0), gp_Pnt(1, 1, 0), true).Wire();
    const TopoDS_Shape crossingEdges = compoundOf({BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 0), gp_Pnt(2, 0, 0)).Edge(),
                                                   BRepBuilderAPI_MakeEdge(gp_Pnt(1, -1, 0), gp_Pnt(1, 1, 0)).Edge()});
    struct Case {
        std::string name;
        std::vector<CadFile> files;
        std::vector<std::string> fileNames;
        int edges, faces, solids, dimension;
    };
    const std::vector<Case> cases = {
        {"square face", {{"square.step", square}}, {"square.step"}, 4, 1, 0, 2},
        {"closed shell root gives its faces", {{"shell.stp", shell}}, {"shell.stp"}, 12, 6, 0, 2},
        {"wire gives its edges", {{"wire.STEP", wire}}, {"wire.STEP"}, 3, 0, 0, 1},
        // The fuse splits both edges where they cross.
        {"crossing edges", {{"edges.step", crossingEdges}}, {"edges.step"}, 4, 0, 0, 1},
        {"solid beside loose faces keeps the solid", {{"mixed.step", compoundOf({cube, boxAt(3, 0, 0, 1, 1, 1), firstOf(boxAt(5, 0, 0, 1, 1, 1), TopAbs_FACE)})}},
         {"mixed.step"}, 24, 12, 2, 3},
        {"backslash separates folders", {{"sub/cube.step", cube}}, {"sub\\cube.step"}, 12, 6, 1, 3},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& test = cases[index];
        SCOPED_TRACE(test.name);
        useFreshDirectory(index);
        write(test.files);
        GeometryData model(directory.string());
        model.readCADfiles(test.fileNames);

        const auto entities = model.getEntities();
        int counts[4] = {0, 0, 0, 0};
        for (std::size_t i = 0; i < entities.size(); ++i) {
            counts[entities[i]->getDimension()] += 1;
            EXPECT_EQ(entities[i]->getId(), static_cast<int>(i) + 1);
        }
        EXPECT_EQ(counts[1], test.edges);
        EXPECT_EQ(counts[2], test.faces);
        EXPECT_EQ(counts[3], test.solids);
        EXPECT_EQ(model.getDimension(), test.dimension);
        const Relations expected = test.dimension >= 2 ? relationsByScan(entities, test.dimension) : Relations();
        EXPECT_EQ(model.getRelations(), expected);
        EXPECT_EQ(countWithExtension(directory / "geometry" / "raw", ".brep"), entities.size());
    }
}

TEST_F(ReadCadFiles, SquareFaceListsItsFourEdges)
{
    write({{"square.step", firstOf(unitCube(), TopAbs_FACE)}});
    GeometryData model(directory.string());
    model.readCADfiles({"square.step"});
    const Relations relations = model.getRelations();
    EXPECT_EQ(model.getEntity("Face_1")->getId(), 5);
    const std::vector<std::string> edges = relations.at("Face_1");
    EXPECT_EQ(std::set<std::string>(edges.begin(), edges.end()),
              (std::set<std::string>{"Edge_1", "Edge_2", "Edge_3", "Edge_4"}));
    EXPECT_EQ(edges.size(), 4u);
    for (const auto& edge : edges) {
        EXPECT_EQ(relations.at(edge), std::vector<std::string>{"Face_1"});
    }
    EXPECT_NEAR(areaOf(model.getPartitionShape()), 1.0, 1e-9);
}

// A second call goes on after the entities of the first; the partition shape
// becomes the second call's fuse.
TEST_F(ReadCadFiles, SecondCallContinuesNamesAndIds)
{
    write({{"first.step", unitCube()}, {"second.step", boxAt(5, 0, 0, 2, 1, 1)}});
    GeometryData model(directory.string());
    model.readCADfiles({"first.step"});
    model.readCADfiles({"second.step"});

    const auto entities = model.getEntities();
    ASSERT_EQ(entities.size(), 38u);
    std::vector<std::string> expectedNames;
    for (int i = 1; i <= 12; ++i) expectedNames.push_back("Edge_" + std::to_string(i));
    for (int i = 1; i <= 6; ++i) expectedNames.push_back("Face_" + std::to_string(i));
    expectedNames.push_back("Solid_1");
    for (int i = 13; i <= 24; ++i) expectedNames.push_back("Edge_" + std::to_string(i));
    for (int i = 7; i <= 12; ++i) expectedNames.push_back("Face_" + std::to_string(i));
    expectedNames.push_back("Solid_2");
    for (std::size_t i = 0; i < entities.size(); ++i) {
        EXPECT_EQ(entities[i]->getName(), expectedNames[i]);
        EXPECT_EQ(entities[i]->getId(), static_cast<int>(i) + 1);
    }
    EXPECT_NEAR(volumeOf(model.getPartitionShape()), 2.0, 1e-9);
    EXPECT_TRUE(model.getPartitionShape().IsSame(model.getEntity("Solid_2")->getShape()));
    EXPECT_EQ(model.getRelations(), relationsByScan(entities, 3));
    EXPECT_EQ(model.getRelations().at("Solid_2").size(), 6u);
    EXPECT_EQ(model.getRelations().at("Face_7"), std::vector<std::string>{"Solid_2"});
    EXPECT_EQ(countWithExtension(directory / "geometry" / "raw", ".brep"), 38u);
}

// Each solid read remembers the part of the file it was made from, and the
// fuse's messages name it beside the entity: a piece that two overlapping
// solids share came from both. A partition passes the origins on.
TEST_F(ReadCadFiles, SolidsKeepThePartOfTheFileTheyCameFrom)
{
    write({{"pair.step", compoundOf({boxAt(0, 0, 0), boxAt(0.5, 0, 0)})}, {"far.step", boxAt(5, 0, 0)}});
    GeometryData model(directory.string());
    model.readCADfiles({"pair.step", "far.step"});

    // By the centre of each piece along x, worked out from the boxes.
    const std::map<int, std::string> expected = {
        {25, "solid 1 of CAD file pair.step"},
        {75, "solid 1 of CAD file pair.step and solid 2 of CAD file pair.step"},
        {125, "solid 2 of CAD file pair.step"},
        {550, "solid 1 of CAD file far.step"},
    };
    const auto originsByCentre = [](const std::vector<std::shared_ptr<TopoEntity>>& entities) {
        std::map<int, std::string> found;
        for (const auto& entity : entities) {
            if (entity->getDimension() == 3) {
                found[static_cast<int>(std::lround(centreOf(entity->getShape()).X() * 100.0))] = entity->getOrigin();
            } else {
                EXPECT_EQ(entity->getOrigin(), "") << entity->getName();
            }
        }
        return found;
    };
    EXPECT_EQ(originsByCentre(model.getEntities()), expected);

    const ShapeList list(model.getEntities());
    std::vector<std::string> expectedLabels;
    for (const auto& entity : model.getEntities()) {
        if (entity->getDimension() == 3) {
            expectedLabels.push_back(entity->getName() + " (from " + entity->getOrigin() + ")");
        }
    }
    EXPECT_EQ(list.getLabels(), expectedLabels);

    model.partition();
    EXPECT_EQ(originsByCentre(model.getEntities()), expected);
}

// Every failure names the file and leaves the model as it was, even when an
// earlier file of the list was read.
TEST_F(ReadCadFiles, BadInputRaisesAndLeavesTheModelUnchanged)
{
    struct Case {
        std::vector<std::string> fileNames;
        std::string message;
    };
    const std::string igesBrepMessage =
        "IGES file faces.igs is not of B-Rep format. \n Please make sure your IGES file contains Manifold Solids! \n "
        "Usually in CAD editors there is an option to save IGES with Manifold Solids (B-Rep)";
    const std::vector<Case> cases = {
        {{"box.step", "part.stl", "box.step"}, "File format .STL is not supported. Please choose other CAD file!"},
        {{"box.step", "noext"}, "File format  is not supported. Please choose other CAD file!"},
        {{"box.st\xc3\xa9p"}, "File format .ST\xc3\xa9P is not supported. Please choose other CAD file!"},
        {{"box.step", "missing.step"}, "CAD file missing.step does not exist"},
        {{"points.step"}, "CAD file points.step contains no solid, face or edge"},
        {{"box.step", "empty.step"}, "Could not read CAD file empty.step"},
        {{"box.step", "faces.igs"}, igesBrepMessage},
        {{}, "readCADfiles: the list of CAD file names is empty"},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& test = cases[index];
        SCOPED_TRACE(test.message);
        useFreshDirectory(index);
        write({{"box.step", unitCube()},
               {"points.step", compoundOf({BRepBuilderAPI_MakeVertex(gp_Pnt(0, 0, 0)).Vertex()})},
               {"empty.step", compoundOf({})}});
        writeIges(unitCube(), directory / "faces.igs", 0);
        GeometryData model(directory.string());
        expectMessage([&] { model.readCADfiles(test.fileNames); }, test.message);
        EXPECT_TRUE(model.getEntities().empty());
        EXPECT_TRUE(model.getRelations().empty());
        EXPECT_TRUE(model.getPartitionShape().IsNull());
        EXPECT_FALSE(fs::exists(directory / "geometry" / "raw"));
    }
}

// The parallel fuse, export and group loops must not change a byte.
TEST_F(ReadCadFiles, SameDocumentAndFilesWhateverTheThreadCount)
{
    std::vector<TopoDS_Shape> cubes;
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            for (int k = 0; k < 2; ++k) {
                cubes.push_back(boxAt(i, j, k, 1, 1, 1));
            }
        }
    }
    write({{"grid.step", compoundOf(cubes)}});
    const json raw = {{"operate", json::array({{{"function", "readCADfiles"}, {"fileNames", {"grid.step"}}}})}};
    const auto runWith = [&](int threads) {
        omp_set_num_threads(threads);
        fs::remove_all(directory / "geometry");
        fs::remove_all(directory / "vtk");
        GeometryData model(raw, directory.string());
        std::map<std::string, std::string> files;
        const std::string document = model.toJson().dump();
        for (const auto& item : fs::recursive_directory_iterator(directory)) {
            if (item.is_regular_file() && item.path().filename() != "grid.step") {
                files[fs::relative(item.path(), directory).string()] = contentOf(item.path());
            }
        }
        return std::make_pair(document, files);
    };
    const int defaultThreads = omp_get_max_threads();
    const auto serial = runWith(1);
    const auto parallel = runWith(8);
    omp_set_num_threads(defaultThreads);
    EXPECT_EQ(serial.first, parallel.first);
    // 54 edges, 36 faces, 8 solids and the partition shape; 44 previews.
    EXPECT_EQ(serial.second.size(), 99u + 44u);
    EXPECT_TRUE(serial.second == parallel.second);
}
