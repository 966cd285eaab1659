#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <TopoDS.hxx>
#include <TopoDS_CompSolid.hxx>

#include "geometryData/TopoEntity.h"
#include "support/Exceptions.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "topology/ShapeAlgorithms.h"

namespace {

TopoDS_Shape compSolidOf(const TopoDS_Shape& a, const TopoDS_Shape& b)
{
    BRep_Builder builder;
    TopoDS_CompSolid compSolid;
    builder.MakeCompSolid(compSolid);
    builder.Add(compSolid, a);
    builder.Add(compSolid, b);
    return compSolid;
}

} // namespace

TEST(TopoEntity, DimensionOfEveryKindOfShape)
{
    const TopoDS_Shape box = boxAt(0, 0, 0);
    const TopoDS_Shape wire = BRepBuilderAPI_MakeWire(TopoDS::Edge(segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0))),
                                                      TopoDS::Edge(segment(gp_Pnt(1, 0, 0), gp_Pnt(1, 1, 0))))
                                  .Shape();
    struct Case {
        const char* kind;
        TopoDS_Shape shape;
        int dimension;
    };
    const Case cases[] = {
        {"solid", box, 3},
        {"face", squareAt(0, 0, 0), 2},
        {"edge", segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)), 1},
        {"wire", wire, 1},
        {"shell", firstOf(box, TopAbs_SHELL), 0},
        {"compsolid", compSolidOf(boxAt(0, 0, 0), boxAt(1, 0, 0)), 0},
        {"vertex", BRepBuilderAPI_MakeVertex(gp_Pnt(0, 0, 0)).Shape(), 0},
        {"compound of faces", compoundOf(squareAt(0, 0, 0), squareAt(2, 0, 0)), 2},
        {"compound of edges and a vertex",
         compoundOf(segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)), BRepBuilderAPI_MakeVertex(gp_Pnt(5, 0, 0)).Shape()), 1},
        {"solid deep in a compound", compoundOf(squareAt(0, 0, 5), compoundOf(compoundOf(box))), 3},
        {"empty compound", compoundOf(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(shapeDimension(c.shape), c.dimension);
        const TopoEntity entity(c.shape, "E", 4);
        EXPECT_EQ(entity.getDimension(), c.dimension);
        EXPECT_EQ(static_cast<int>(entity.getDimensionType()), c.dimension);
        EXPECT_TRUE(entity.isActive());
        EXPECT_FALSE(entity.isMarked());
        EXPECT_EQ(entity.getId(), 4);
    }
    EXPECT_EQ(shapeDimension(TopoDS_Shape()), 0);

    TopoEntity changing(box, "C");
    changing.setShape(firstOf(box, TopAbs_EDGE));
    EXPECT_EQ(changing.getDimensionType(), edgeDimension);
}

TEST(TopoEntity, NullShapeIsRefused)
{
    const std::string message = "TopoEntity::TopoEntity - empty shape passed as argument";
    EXPECT_EQ(thrownMessage([] { TopoEntity(TopoDS_Shape(), "Null"); }), message);
    const TopoEntity face(squareAt(0, 0, 0), "Face_1");
    EXPECT_EQ(thrownMessage([&] { face.isPartOf(TopoDS_Shape()); }), message);
    TopoEntity replaced(squareAt(0, 0, 0), "Face_2");
    EXPECT_EQ(thrownMessage([&] { replaced.setShape(TopoDS_Shape()); }),
              "TopoEntity::setShape - empty shape passed as argument");
    EXPECT_EQ(replaced.getDimension(), 2);
}

TEST(TopoEntity, WrittenAndReadBackIsTheSameShape)
{
    const std::string directory = freshDirectory("geometryData/roundTrip");
    std::filesystem::create_directories(directory + "/geometry/raw");
    TopoEntity box(boxAt(1, 2, 3, 1, 2, 3), "Box_1", 9);
    box.writeBrep(directory);

    EXPECT_TRUE(std::filesystem::is_regular_file(directory + "/geometry/raw/Box_1.brep"));
    const nlohmann::json object = box.toJson();
    EXPECT_EQ(object, (nlohmann::json{{"id", 9}, {"name", "Box_1"}, {"path", "/geometry/raw/Box_1.brep"}}));

    // No "id": the entity reads as id 0; the path is stored as given and joined to the directory.
    const TopoEntity read(nlohmann::json{{"name", "Box_1"}, {"path", "/geometry/raw/Box_1.brep"}}, directory);
    EXPECT_EQ(read.getId(), 0);
    EXPECT_EQ(read.getDimension(), 3);
    EXPECT_EQ(read.toJson().at("path"), "/geometry/raw/Box_1.brep");
    EXPECT_NEAR(volumeOf(read.getShape()), 6.0, 1e-9);
    EXPECT_TRUE(isSameShape(read.getShape(), box.getShape()));
    EXPECT_EQ(countOf(read.getShape(), TopAbs_FACE), 6);

    const TopoEntity withId(nlohmann::json{{"name", "B"}, {"id", 12}, {"path", "geometry/raw/Box_1.brep"}}, directory);
    EXPECT_EQ(withId.getId(), 12);
}

TEST(TopoEntity, UnsafeNamesAreRefused)
{
    const std::string directory = freshDirectory("geometryData/names");
    const std::string tail = "\": a name must not be empty, \".\" or \"..\" nor contain \"/\", \"\\\" or NUL";
    struct Case {
        std::string name;
        std::string shown;
    };
    const Case cases[] = {
        {"", ""},
        {".", "."},
        {"..", ".."},
        {"../../outside", "../../outside"},
        {"dir/file", "dir/file"},
        {"dir\\file", "dir\\file"},
        {std::string("Solid\0_1", 8), "Solid\\0_1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        const std::string message = "Invalid entity name \"" + c.shown + tail;
        EXPECT_EQ(thrownMessage([&] { checkEntityName(c.name); }), message);
        // The name is refused before the path is looked at.
        EXPECT_EQ(thrownMessage([&] { TopoEntity(nlohmann::json{{"name", c.name}, {"path", ""}}, directory); }),
                  message);
    }
    for (const std::string good : {"Solid_1", "a.b", "...", "name with blanks"}) {
        EXPECT_NO_THROW(checkEntityName(good)) << good;
    }
}

TEST(TopoEntity, BadBrepEntriesRaiseClearMessages)
{
    const std::string directory = freshDirectory("geometryData/badBrep");
    std::filesystem::create_directories(directory + "/aDirectory");
    std::ofstream(directory + "/garbage.brep") << "this is not a BREP file\n1 2 3\n";
    std::ofstream(directory + "/empty.brep").close();
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {"", "No shape path specified for entity Solid_1"},
        {"missing.brep", "Brep file." + directory + "/missing.brepdoes not exist"},
        {"aDirectory", "Could not read BREP file " + directory + "/aDirectory: it is a directory, not a regular file"},
        {"garbage.brep", "Could not read BREP file " + directory + "/garbage.brep"},
        {"empty.brep", "BREP file " + directory + "/empty.brep is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(thrownMessage([&] { TopoEntity(nlohmann::json{{"name", "Solid_1"}, {"path", c.path}}, directory); }),
                  c.message);
    }
}

TEST(TopoEntity, MalformedEntriesRaiseTheJsonLibrarysErrors)
{
    const std::string directory = freshDirectory("geometryData/malformed");
    try {
        TopoEntity(nlohmann::json{{"path", "x.brep"}}, directory);
        FAIL() << "missing name accepted";
    } catch (const nlohmann::json::out_of_range& error) {
        EXPECT_EQ(error.id, 403);
    }
    try {
        TopoEntity(nlohmann::json{{"name", "A"}, {"id", "seven"}, {"path", "x.brep"}}, directory);
        FAIL() << "string id accepted";
    } catch (const nlohmann::json::type_error& error) {
        EXPECT_EQ(error.id, 302);
    }
}

TEST(TopoEntity, FailedWriteIsReportedAndKeepsThePath)
{
    const std::string directory = freshDirectory("geometryData/failedWrite");
    TopoEntity box(boxAt(0, 0, 0), "Box");
    // No geometry/raw directory below it: the writer cannot open the file.
    EXPECT_EQ(thrownMessage([&] { box.writeBrep(directory); }),
              "Could not write file " + directory + "/geometry/raw/Box.brep: No such file or directory");
    EXPECT_EQ(box.toJson().at("path"), "");
}

TEST(TopoEntity, CopiesKeepIdentityButNotRelationsOrMark)
{
    auto original = std::make_shared<TopoEntity>(squareAt(0, 0, 0), "Face_3", 3);
    original->setActive(false);
    original->setMarked();
    original->addRelatedEntity(std::make_shared<TopoEntity>(boxAt(0, 0, 0), "Solid_1", 1));
    ASSERT_EQ(original->getRelatedEntities().size(), 1u);

    const TopoEntity byReference(*original);
    const TopoEntity byPointer(original);
    for (const TopoEntity* copy : {&byReference, &byPointer}) {
        EXPECT_EQ(copy->getName(), "Face_3");
        EXPECT_EQ(copy->getId(), 3);
        EXPECT_EQ(copy->getDimension(), 2);
        EXPECT_FALSE(copy->isActive());
        EXPECT_TRUE(copy->getShape().IsSame(original->getShape()));
        EXPECT_TRUE(copy->getRelatedEntities().empty());
        EXPECT_FALSE(copy->isMarked());
    }
    original->clearMarked();
    EXPECT_FALSE(original->isMarked());
}

TEST(TopoEntity, PartAndContactTests)
{
    const TopoDS_Shape box = boxAt(0, 0, 0);
    auto boxEntity = std::make_shared<TopoEntity>(box, "Box");
    auto faceOfBox = std::make_shared<TopoEntity>(firstOf(box, TopAbs_FACE), "Face");
    auto edgeOfBox = std::make_shared<TopoEntity>(firstOf(box, TopAbs_EDGE), "Edge");
    // An equal face built independently: geometric, not topological, sameness.
    auto equalFace = std::make_shared<TopoEntity>(squareAt(0, 0, 0), "Bottom");
    auto separateBox = std::make_shared<TopoEntity>(boxAt(5, 0, 0), "Far");
    auto touchingBox = std::make_shared<TopoEntity>(boxAt(1, 0, 0), "Neighbour");
    auto farFace = std::make_shared<TopoEntity>(squareAt(7, 7, 7), "FarFace");

    struct Case {
        const char* what;
        bool result;
        bool expected;
    };
    const Case cases[] = {
        {"face of a box is part of it", faceOfBox->isPartOf(boxEntity), true},
        {"equal face is part of the box", equalFace->isPartOf(boxEntity), true},
        {"edge of a box is part of it", edgeOfBox->isPartOf(boxEntity), true},
        {"edge is part of a face holding it", edgeOfBox->isPartOf(faceOfBox), true},
        {"shape form", faceOfBox->isPartOf(box), true},
        {"box is not part of a separate box", boxEntity->isPartOf(separateBox), false},
        {"box is not part of itself", boxEntity->isPartOf(boxEntity), false},
        {"face is not part of a face", faceOfBox->isPartOf(equalFace), false},
        {"face is not part of a far box", faceOfBox->isPartOf(separateBox), false},
        {"touching boxes share a face", boxEntity->sharesFace(touchingBox), true},
        {"touching boxes share an edge", boxEntity->sharesEdge(touchingBox), true},
        {"separate boxes share no face", boxEntity->sharesFace(separateBox), false},
        {"separate boxes share no edge", boxEntity->sharesEdge(separateBox), false},
        {"a box shares its own face", boxEntity->sharesFace(equalFace), true},
        {"a far face shares nothing", farFace->sharesEdge(boxEntity), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, c.expected) << c.what;
    }
}
