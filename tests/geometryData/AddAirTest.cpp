// The air operation: the new partition, its entities, groups and relations,
// and the whole pipeline from a raw document with an "addAir" item.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepGProp.hxx>
#include <BRepTools.hxx>
#include <GProp_GProps.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <nlohmann/json.hpp>
#include <omp.h>

#include "AirValues.h"
#include "GroupFixtures.h"
#include "ModelQueries.h"
#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "geometryData/SameShapeSearch.h"
#include "geometryData/ShapeList.h"
#include "geometryData/TopoEntity.h"
#include "support/DirectorySnapshot.h"
#include "support/Environment.h"
#include "support/Exceptions.h"
#include "support/LogCapture.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeMeasures.h"
#include "topology/ShapeAlgorithms.h"

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace groupFixtures;
using Names = std::vector<std::string>;

namespace {

const std::string internalError = ". This is internal error. Please contact support!";



gp_Pnt measureCentre(const TopoDS_Shape& shape, int dimension)
{
    GProp_GProps properties;
    if (dimension == 1) {
        BRepGProp::LinearProperties(shape, properties);
    } else if (dimension == 2) {
        BRepGProp::SurfaceProperties(shape, properties);
    } else {
        BRepGProp::VolumeProperties(shape, properties);
    }
    return properties.CentreOfMass();
}

template <typename GroupPtr> double sumOfMeasures(const GroupPtr& group, int dimension)
{
    double sum = 0.0;
    for (const auto& e : group->getEntities()) {
        sum += dimension == 3 ? volumeOf(e->getShape()) : dimension == 2 ? areaOf(e->getShape()) : lengthOf(e->getShape());
    }
    return sum;
}


// "<prefix>1" .. "<prefix>n" with ids first .. first + n - 1.
void expectNumbered(const std::vector<std::shared_ptr<TopoEntity>>& entities, const std::string& prefix, int count,
                    int firstId)
{
    ASSERT_EQ(static_cast<int>(entities.size()), count) << prefix;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(entities[i]->getName(), prefix + std::to_string(i + 1));
        EXPECT_EQ(entities[i]->getId(), firstId + i);
    }
}

// The names of the model's entities with their shapes, to show that nothing changed.
std::vector<std::pair<std::string, TopoDS_Shape>> snapshot(const GeometryData& model)
{
    std::vector<std::pair<std::string, TopoDS_Shape>> state;
    for (const auto& e : model.getEntities()) {
        state.emplace_back(e->getName(), e->getShape());
    }
    return state;
}

void expectUnchanged(const GeometryData& model, const std::vector<std::pair<std::string, TopoDS_Shape>>& before)
{
    const auto after = snapshot(model);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].first, before[i].first);
        EXPECT_TRUE(after[i].second.IsSame(before[i].second)) << after[i].first;
    }
}

// As liesInPlane, from the exact geometry: the matching of groups meshes
// shapes, and a polygon on an edge widens its plain box by the deflection.
bool liesExactlyInPlane(const TopoDS_Shape& shape, int axis, double value)
{
    Bnd_Box bounds;
    BRepBndLib::AddOptimal(shape, bounds, false, false);
    double low[3], high[3];
    bounds.Get(low[0], low[1], low[2], high[0], high[1], high[2]);
    return std::fabs(low[axis] - value) < 1e-6 && std::fabs(high[axis] - value) < 1e-6;
}

class AddAir : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        directory = freshDirectory(std::string("addAir/") + info->name());
    }

    // A model of the given entities in a fresh directory of its own.
    GeometryData modelOf(const std::vector<std::pair<TopoDS_Shape, std::string>>& shapes, const std::string& sub = "")
    {
        GeometryData model(sub.empty() ? directory : freshDirectory("addAir/" + sub));
        for (const auto& [shape, name] : shapes) {
            model.addEntity(entity(shape, name));
        }
        return model;
    }

    std::string directory;
    EnvironmentGuard applicationKind{"VEMRA_APP", nullptr};
};

} // namespace

// One cube, padding 0, no terminals: the cube and the air around it.
TEST_F(AddAir, CubeGivesTwoSolidsAndTheAirGroups)
{
    GeometryData model = modelOf({{unitCube(), "Cube"}});
    model.addAir(0.0, {});

    // 8 + 8 vertices, 12 + 12 edges, 6 + 6 faces, 2 solids.
    expectNumbered(ofDimension(model, 1), "Edge_", 24, 1);
    const auto faces = ofDimension(model, 2);
    expectNumbered(faces, "Face_", 12, 25);
    const auto solids = ofDimension(model, 3);
    expectNumbered(solids, "Solid_", 2, 37);
    EXPECT_EQ(model.getEntities().size(), 38u);
    EXPECT_EQ(model.getDimension(), 3);
    EXPECT_EQ(countOf(model.getPartitionShape(), TopAbs_SOLID), 2);

    ASSERT_EQ(namesOf(model.getDomains()), Names({"air"}));
    ASSERT_EQ(namesOf(model.getBoundaries()), Names({"air_infinity"}));
    const auto air = model.getDomain("air");
    EXPECT_EQ(air->getLabel(), "Air");
    EXPECT_EQ(air->getRole(), "air");
    ASSERT_EQ(air->getEntities().size(), 1u);
    const auto airSolid = air->getEntities()[0];
    expectClose(volumeOf(airSolid->getShape()), 19.392305, "air volume");
    expectClose(volumeOf(airSolid->getShape()), std::pow(1 + sqrt3, 3) - 1, "air volume");
    EXPECT_EQ(air->getId(), airSolid->getId());
    const auto cube = solids[0] == airSolid ? solids[1] : solids[0];
    expectClose(volumeOf(cube->getShape()), 1.0, "cube");

    const auto infinity = model.getBoundary("air_infinity");
    EXPECT_EQ(infinity->getLabel(), "Infinity");
    EXPECT_EQ(infinity->getRole(), "infinity");
    EXPECT_FALSE(infinity->isIndefinite());
    ASSERT_EQ(infinity->getEntities().size(), 6u);
    expectClose(sumOfMeasures(infinity, 2), 44.784610, "infinity area");
    expectClose(sumOfMeasures(infinity, 2), 6 * (1 + sqrt3) * (1 + sqrt3), "infinity area");
    EXPECT_EQ(infinity->getId(), infinity->getEntities().back()->getId());
    for (const auto& face : infinity->getEntities()) {
        expectClose(areaOf(face->getShape()), (1 + sqrt3) * (1 + sqrt3), face->getName());
    }

    // Cavity walls bound both solids, outer faces the air only.
    auto relations = model.getRelations();
    EXPECT_EQ(relations[airSolid->getName()].size(), 12u);
    EXPECT_EQ(relations[cube->getName()].size(), 6u);
    const auto outer = infinity->getEntities();
    for (const auto& face : faces) {
        const bool isOuter = std::find(outer.begin(), outer.end(), face) != outer.end();
        const Names expected = isOuter ? Names{airSolid->getName()} : Names{cube->getName(), airSolid->getName()};
        Names related = relations[face->getName()];
        std::sort(related.begin(), related.end());
        Names sorted = expected;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(related, sorted) << face->getName();
    }
    EXPECT_EQ(relations.count("Edge_1"), 0u);
    EXPECT_EQ(relations.count("Cube"), 0u);
    for (const auto& e : model.getEntities()) {
        EXPECT_TRUE(fs::exists(directory + "/geometry/raw/" + e->getName() + ".brep")) << e->getName();
    }
}

// Group mode 1 drops the document's groups; group mode 0 keeps them in front.
TEST_F(AddAir, GroupModes)
{
    for (const GroupMode mode : {groupsFromAllEntities, groupsFromPreprocessor}) {
        SCOPED_TRACE(mode);
        GeometryData model = modelOf({{unitCube(), "Cube"}, {planarFace(unitCube(), 2, 1.0), "Top"}},
                                     "GroupModes" + std::to_string(mode));
        model.setGroupMode(mode);
        model.addDomain(std::make_shared<DomainGroup>(groupEntry("Core", {"Cube"}), model.getEntities()));
        model.addBoundary(std::make_shared<BoundaryGroup>(groupEntry("Lid", {"Top"}), model.getEntities()));
        model.addAir(0.0, {});
        if (mode == groupsFromAllEntities) {
            EXPECT_EQ(namesOf(model.getDomains()), Names({"air"}));
            EXPECT_EQ(namesOf(model.getBoundaries()), Names({"air_infinity"}));
            model.finalize();
            // A default domain for the cube, a default boundary for each cavity wall.
            ASSERT_EQ(model.getDomains().size(), 2u);
            EXPECT_EQ(model.getDomains()[0]->getName(), "air");
            EXPECT_EQ(model.getBoundaries().size(), 7u);
            EXPECT_EQ(model.getBoundaries()[0]->getName(), "air_infinity");
        } else {
            EXPECT_EQ(namesOf(model.getDomains()), Names({"Core", "air"}));
            EXPECT_EQ(namesOf(model.getBoundaries()), Names({"Lid", "air_infinity"}));
            model.finalize();
            // The refill finds the cube and its top among the new entities.
            const auto core = model.getDomain("Core")->getEntities();
            ASSERT_EQ(core.size(), 1u);
            expectClose(volumeOf(core[0]->getShape()), 1.0, "cube");
            const auto lid = model.getBoundary("Lid")->getEntities();
            ASSERT_EQ(lid.size(), 1u);
            EXPECT_TRUE(liesExactlyInPlane(lid[0]->getShape(), 2, 1.0));
            expectClose(areaOf(lid[0]->getShape()), 1.0, "top");
        }
    }
}

// Terminal groups are made for "INDUCTION" only, numbered in entity order;
// the box is cut at the terminal planes whatever the application kind.
TEST_F(AddAir, TerminalGroupsAndTheirOrder)
{
    const double p = 0.5 * std::sqrt(11.0); // bar [0, 3] x [0, 1] x [0, 1]
    const double cross = 1 + 2 * p;
    for (const char* application : {"INDUCTION", "ANTENNAS", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(application == nullptr ? "unset" : application);
        applicationKind.set(application == nullptr ? std::nullopt : std::optional<std::string>(application));
        const TopoDS_Shape bar = box(0, 0, 0, 3, 1, 1);
        GeometryData model = modelOf({{bar, "Bar"}, {planarFace(bar, 0, 0.0), "Left"}, {planarFace(bar, 0, 3.0), "Right"}},
                                     std::string("Terminals") + (application == nullptr ? "" : application));
        // Named in the reverse of the entity order, one name twice, one unknown.
        model.addAir(0.0, {"Right", "nothing", "Left", "Right"});

        const auto air = model.getDomain("air");
        expectClose(sumOfMeasures(air, 3), 3 * cross * cross - 3, "air volume");
        const auto infinity = model.getBoundary("air_infinity");
        expectClose(sumOfMeasures(infinity, 2), 4 * 3 * cross + 2 * (cross * cross - 1), "infinity area");
        if (application != nullptr && std::string(application) == "INDUCTION") {
            ASSERT_EQ(namesOf(model.getBoundaries()), Names({"air_infinity", "Terminal1", "Terminal2"}));
            const struct {
                const char* name;
                const char* role;
                double x;
            } expected[] = {{"Terminal1", "terminal", 0.0}, {"Terminal2", "terminal2", 3.0}};
            for (const auto& terminal : expected) {
                const auto group = model.getBoundary(terminal.name);
                EXPECT_EQ(group->getLabel(), terminal.name);
                EXPECT_EQ(group->getRole(), terminal.role);
                EXPECT_FALSE(group->isIndefinite());
                ASSERT_EQ(group->getEntities().size(), 1u);
                EXPECT_TRUE(liesExactlyInPlane(group->getEntities()[0]->getShape(), 0, terminal.x));
                EXPECT_EQ(group->getId(), group->getEntities()[0]->getId());
            }
        } else {
            EXPECT_EQ(namesOf(model.getBoundaries()), Names({"air_infinity"}));
        }
    }
    {
        SCOPED_TRACE("the cube's top face, padding 2");
        applicationKind.set(std::string("INDUCTION"));
        GeometryData model = modelOf({{unitCube(), "Cube"}, {planarFace(unitCube(), 2, 1.0), "Top"}}, "TerminalTop");
        model.addAir(2.0, {"Top"});
        expectClose(sumOfMeasures(model.getDomain("air"), 3), 74.0, "air volume");
        expectClose(sumOfMeasures(model.getBoundary("air_infinity"), 2), 109.0, "infinity area");
        const auto terminal = model.getBoundary("Terminal1")->getEntities();
        ASSERT_EQ(terminal.size(), 1u);
        expectClose(areaOf(terminal[0]->getShape()), 1.0, "terminal");
        EXPECT_TRUE(liesExactlyInPlane(terminal[0]->getShape(), 2, 1.0));
        EXPECT_EQ(model.getBoundary("Terminal1")->getRole(), "terminal");
    }
}

// Planar and axisymmetric models: faces and edges.
TEST_F(AddAir, TwoDimensionalModels)
{
    {
        SCOPED_TRACE("planar unit square");
        GeometryData model = modelOf({{squareAt(0, 0, 0), "Square"}}, "Planar");
        model.addAir(0.0, {});
        expectNumbered(ofDimension(model, 1), "Edge_", 8, 1);
        const auto faces = ofDimension(model, 2);
        expectNumbered(faces, "Face_", 2, 9);
        EXPECT_EQ(model.getEntities().size(), 10u);
        EXPECT_EQ(model.getDimension(), 2);
        const auto air = model.getDomain("air");
        ASSERT_EQ(air->getEntities().size(), 1u);
        expectClose(areaOf(air->getEntities()[0]->getShape()), 2 + 2 * sqrt2, "air area");
        const auto infinity = model.getBoundary("air_infinity");
        ASSERT_EQ(infinity->getEntities().size(), 4u);
        expectClose(sumOfMeasures(infinity, 1), 4 * (1 + sqrt2), "infinity length");
        EXPECT_EQ(namesOf(model.getBoundaries()), Names({"air_infinity"}));

        // The air face lists the rectangle's 4 edges and the square's 4.
        auto relations = model.getRelations();
        const auto airFace = air->getEntities()[0];
        const auto square = faces[0] == airFace ? faces[1] : faces[0];
        EXPECT_EQ(relations[airFace->getName()].size(), 8u);
        EXPECT_EQ(relations[square->getName()].size(), 4u);
        for (const auto& edge : ofDimension(model, 1)) {
            const auto outer = infinity->getEntities();
            const bool isOuter = std::find(outer.begin(), outer.end(), edge) != outer.end();
            EXPECT_EQ(relations[edge->getName()].size(), isOuter ? 1u : 2u) << edge->getName();
        }
        EXPECT_EQ(relations.count("Solid_1"), 0u);
    }
    {
        SCOPED_TRACE("axisymmetric square off the axis, padding 0.5");
        GeometryData model = modelOf({{rectangleAt(1, 0, 2, 1), "Square"}}, "Axisymmetric");
        model.setAxisymmetric(true);
        model.addAir(0.5, {});
        expectClose(sumOfMeasures(model.getDomain("air"), 2), 4.0, "air area");
        ASSERT_EQ(namesOf(model.getBoundaries()), Names({"air_infinity", "air_axis"}));
        const auto axis = model.getBoundary("air_axis");
        EXPECT_EQ(axis->getLabel(), "Symmetry Axis");
        EXPECT_EQ(axis->getRole(), "axis");
        ASSERT_EQ(axis->getEntities().size(), 1u);
        EXPECT_TRUE(liesExactlyInPlane(axis->getEntities()[0]->getShape(), 0, 0.0));
        expectClose(sumOfMeasures(axis, 1), 2.0, "axis length");
        EXPECT_EQ(model.getBoundary("air_infinity")->getEntities().size(), 3u);
        expectClose(sumOfMeasures(model.getBoundary("air_infinity"), 1), 7.0, "infinity length");
    }
    {
        SCOPED_TRACE("ring 1 <= r <= 2");
        GeometryData model = modelOf({{BRepAlgoAPI_Cut(disk(2), disk(1)).Shape(), "Ring"}}, "Ring");
        model.addAir(0.0, {});
        EXPECT_EQ(ofDimension(model, 1).size(), 6u);
        EXPECT_EQ(ofDimension(model, 2).size(), 3u);
        const auto air = model.getDomain("air");
        EXPECT_EQ(air->getEntities().size(), 2u);
        const double side = 4 + 4 * sqrt2;
        expectClose(sumOfMeasures(air, 2), side * side - 3 * pi, "air area");
        expectClose(sumOfMeasures(air, 2), 83.830056, "air area");
    }
    {
        SCOPED_TRACE("square in z = 5: the air stays in z = 0");
        GeometryData model = modelOf({{squareAt(0, 0, 5), "Square"}}, "Lifted");
        LogCapture log(el::Level::Warning);
        model.addAir(0.0, {});
        EXPECT_EQ(ofDimension(model, 1).size(), 8u);
        EXPECT_EQ(ofDimension(model, 2).size(), 2u);
        expectClose(sumOfMeasures(model.getDomain("air"), 2), (1 + sqrt2) * (1 + sqrt2), "whole rectangle");
        EXPECT_EQ(log.containing("the air surrounds nothing").size(), 1u);
    }
    {
        SCOPED_TRACE("a solid model marked axisymmetric gets the box");
        GeometryData model = modelOf({{unitCube(), "Cube"}}, "SolidAxisymmetric");
        model.setAxisymmetric(true);
        model.addAir(2.0, {});
        expectClose(sumOfMeasures(model.getDomain("air"), 3), 124.0, "air volume");
        EXPECT_EQ(namesOf(model.getBoundaries()), Names({"air_infinity"}));
    }
}

// Errors raised before anything of the model changes.
TEST_F(AddAir, ErrorsLeaveTheModelAsItWas)
{
    applicationKind.set(std::string("INDUCTION"));
    TopoDS_Shape curved;
    for (TopExp_Explorer explorer(cylinder(0.25, 1), TopAbs_FACE); explorer.More(); explorer.Next()) {
        if (!liesInPlane(explorer.Current(), 2, 0.0) && !liesInPlane(explorer.Current(), 2, 1.0)) {
            curved = explorer.Current();
        }
    }
    const struct {
        const char* name;
        std::vector<std::pair<TopoDS_Shape, std::string>> shapes;
        std::vector<std::string> terminals;
        std::string message;
    } cases[] = {
        {"edges only", {{segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)), "E"}}, {}, "Dimension of GeometryData is 1is not supported"},
        {"no entities", {}, {}, "Dimension of GeometryData is 0is not supported"},
        {"a terminal that is an edge", {{unitCube(), "Cube"}, {segment(gp_Pnt(0, 0, 1), gp_Pnt(1, 0, 1)), "Wire"}},
         {"Wire"}, "Terminal Wire is not a face."},
        {"a terminal that is an edge in 2D", {{squareAt(0, 0, 0), "Square"}, {segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)), "Wire"}},
         {"Wire"}, "Terminal Wire is not a face."},
        {"a curved terminal", {{unitCube(), "Cube"}, {curved, "Curved"}}, {"Curved"},
         "Input faces for air boundary (terminal) is not planar! Please check input boundaries!"},
        // The terminal is not one whole face of the new partition, so no
        // face could be its group.
        {"a terminal smaller than the face it lies on", {{unitCube(), "Cube"}, {rectangleAt(0.25, 0.25, 0.75, 0.75, 1), "Small"}},
         {"Small"}, "Terminal Small is smaller than the section of the model it lies on: no face of the model with its air matches it."},
        {"a terminal spanning two solids",
         {{unitCube(), "A"}, {boxAt(1, 0, 0), "B"}, {rectangleAt(0, 0, 2, 1, 1), "Across"}},
         {"Across"}, "Terminal Across spans 2 faces of the model, across more than one solid: no face of the model with its air matches it."},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GeometryData model = modelOf(c.shapes, "Errors" + std::to_string(index++));
        const auto before = snapshot(model);
        expectMessage([&] { model.addAir(0.0, c.terminals); }, c.message);
        expectUnchanged(model, before);
        for (const auto& e : model.getEntities()) {
            EXPECT_TRUE(e->isActive());
        }
        EXPECT_TRUE(model.getDomains().empty());
        EXPECT_TRUE(model.getBoundaries().empty());
    }
}

// A solid trimmed at a terminal plane: the groups of the document follow it.
TEST_F(AddAir, TrimmedSolidsAndTheDocumentsGroups)
{
    const TopoDS_Shape rod = box(1, 0.25, 0.25, 2, 0.75, 0.75);
    const TopoDS_Shape section =
        quad(gp_Pnt(1.5, 0.25, 0.25), gp_Pnt(1.5, 0.75, 0.25), gp_Pnt(1.5, 0.75, 0.75), gp_Pnt(1.5, 0.25, 0.75));
    const auto makeModel = [&](const std::string& sub) {
        GeometryData model = modelOf({{unitCube(), "Cube"}, {rod, "Rod"}, {section, "Section"},
                                      {planarFace(rod, 1, 0.25), "RodSide"}},
                                     sub);
        model.setGroupMode(groupsFromPreprocessor);
        model.addDomain(std::make_shared<DomainGroup>(groupEntry("Conductor", {"Rod"}), model.getEntities()));
        return model;
    };
    {
        SCOPED_TRACE("the rod's domain holds its part inside the plane");
        GeometryData model = makeModel("TrimmedDomain");
        model.addAir(0.0, {"Section"});
        model.finalize();
        const auto conductor = model.getDomain("Conductor")->getEntities();
        ASSERT_EQ(conductor.size(), 1u);
        expectClose(volumeOf(conductor[0]->getShape()), 0.125, "rod inside the plane");
        EXPECT_NEAR(extentOf(conductor[0]->getShape()).xmax, 1.5, 1e-6);
        // Cube, rod part, air.
        EXPECT_EQ(ofDimension(model, 3).size(), 3u);
    }
    {
        SCOPED_TRACE("a group naming a face that the plane cuts, or solids wholly beyond it, is refused");
        const struct {
            const char* name;
            std::string message;
        } refused[] = {
            {"RodSide", "Group Side names face RodSide, which a terminal plane cuts."},
            {"Far", "Group Side: its entities lie wholly beyond the terminal planes."},
        };
        int index = 0;
        for (const auto& r : refused) {
            SCOPED_TRACE(r.name);
            GeometryData model = modelOf({{unitCube(), "Cube"}, {rod, "Rod"}, {section, "Section"},
                                          {planarFace(rod, 1, 0.25), "RodSide"}, {box(2.5, 0, 0, 3, 1, 1), "Far"}},
                                         "Refused" + std::to_string(index++));
            model.setGroupMode(groupsFromPreprocessor);
            if (std::string(r.name) == "Far") {
                model.addDomain(std::make_shared<DomainGroup>(groupEntry("Side", {"Far"}), model.getEntities()));
            } else {
                model.addBoundary(std::make_shared<BoundaryGroup>(groupEntry("Side", {"RodSide"}), model.getEntities()));
            }
            const auto groupShape = model.getDomains().empty() ? model.getBoundaries()[0]->getShape()
                                                               : model.getDomains()[0]->getShape();
            const auto before = snapshot(model);
            expectMessage([&] { model.addAir(0.0, {"Section"}); }, r.message);
            expectUnchanged(model, before);
            for (const auto& e : model.getEntities()) {
                EXPECT_TRUE(e->isActive()) << e->getName();
            }
            const auto groups = model.getDomains().empty() ? model.getBoundaries()[0]->getShape()
                                                           : model.getDomains()[0]->getShape();
            EXPECT_TRUE(groups.IsSame(groupShape));
            EXPECT_EQ(model.getDomains().size() + model.getBoundaries().size(), 1u);
        }
    }
    {
        SCOPED_TRACE("a solid wholly beyond the plane is left out");
        GeometryData model = modelOf({{unitCube(), "Cube"}, {box(2, 0, 0, 2.5, 1, 1), "Far"},
                                      {quad(gp_Pnt(1.5, 0, 0), gp_Pnt(1.5, 1, 0), gp_Pnt(1.5, 1, 1), gp_Pnt(1.5, 0, 1)),
                                       "Plane"}},
                                     "LeftOut");
        LogCapture log(el::Level::Warning);
        model.addAir(0.0, {"Plane"});
        const auto solids = ofDimension(model, 3);
        ASSERT_EQ(solids.size(), 2u);
        double volume = 0.0;
        for (const auto& solid : solids) {
            EXPECT_LE(extentOf(solid->getShape()).xmax, 1.5 + 1e-6);
            volume += volumeOf(solid->getShape());
        }
        const double p = 0.5 * std::sqrt(8.25);
        expectClose(volume, (1.5 + p) * (1 + 2 * p) * (1 + 2 * p), "cube and air");
        EXPECT_EQ(log.containing("solid Far lies wholly beyond the terminal planes").size(), 1u);
    }
}

// Without terminals the model and the box are fused at once. The partition
// must be the one the fuse of the model and the air (the box less each solid
// of the model's fuse, cut one by one) gives, numbered alike.
TEST_F(AddAir, OneFuseGivesThePartitionOfTheModelAndItsAir)
{
    const TopoDS_Shape hollow = BRepAlgoAPI_Cut(box(0, 0, 0, 3, 3, 3), box(1, 1, 1, 2, 2, 2)).Shape();
    const struct {
        const char* name;
        std::vector<TopoDS_Shape> solids;
        TopoDS_Shape region; // the box padded by 1, by hand
        int airSolids;
        double airVolume;
    } cases[] = {
        {"one cube", {unitCube()}, box(-1, -1, -1, 2, 2, 2), 1, 26.0},
        {"two touching cubes, partitioned", {firstOf(fused({boxAt(0, 0, 0), boxAt(1, 0, 0)}), TopAbs_SOLID),
                                             boxAt(1, 0, 0)}, box(-1, -1, -1, 3, 2, 2), 1, 34.0},
        {"two overlapping cubes", {boxAt(0, 0, 0), boxAt(0.5, 0, 0)}, box(-1, -1, -1, 2.5, 2, 2), 1, 31.5 - 1.5},
        {"a cylinder on a cube", {boxAt(-1, -1, -1, 2, 2, 1), cylinder(0.5, 1)}, box(-2, -2, -2, 2, 2, 2), 1,
         64.0 - 4.0 - 0.25 * pi},
        // The cavity inside the hollow box is air as well.
        {"a hollow box", {hollow}, box(-1, -1, -1, 4, 4, 4), 2, 125.0 - 26.0},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<TopoDS_Shape, std::string>> shapes;
        for (std::size_t i = 0; i < c.solids.size(); ++i) {
            shapes.emplace_back(c.solids[i], "S" + std::to_string(i));
        }
        GeometryData model = modelOf(shapes, "OneFuse" + std::to_string(index++));
        const auto entities = model.getEntities();
        model.addAir(1.0, {});

        const auto air = model.getDomain("air");
        EXPECT_EQ(static_cast<int>(air->getEntities().size()), c.airSolids);
        expectClose(sumOfMeasures(air, 3), c.airVolume, "air volume");
        // The fuse's history names what the search by shape finds.
        const auto infinity = model.getBoundary("air_infinity");
        EXPECT_EQ(namesOf(air->getEntities()),
                  namesOf(SameShapeSearch(model.getEntities(), 3).sameAs(air->getShape())));
        EXPECT_EQ(namesOf(infinity->getEntities()),
                  namesOf(SameShapeSearch(model.getEntities(), 2).sameAs(infinity->getShape())));
        EXPECT_GE(infinity->getEntities().size(), 6u);

        TopoDS_Shape region = c.region;
        TopTools_IndexedMapOfShape modelSolids;
        TopExp::MapShapes(fused(c.solids), TopAbs_SOLID, modelSolids);
        for (int i = 1; i <= modelSolids.Extent(); ++i) {
            region = BRepAlgoAPI_Cut(region, modelSolids(i)).Shape();
        }
        ShapeList list(entities);
        for (TopExp_Explorer explorer(region, TopAbs_SOLID); explorer.More(); explorer.Next()) {
            list.add(explorer.Current());
        }
        const TopoDS_Shape reference = list.fuse();
        for (const auto& [type, dimension] : {std::make_pair(TopAbs_EDGE, 1), std::make_pair(TopAbs_FACE, 2),
                                              std::make_pair(TopAbs_SOLID, 3)}) {
            TopTools_IndexedMapOfShape expected;
            TopExp::MapShapes(reference, type, expected);
            const auto made = ofDimension(model, dimension);
            ASSERT_EQ(static_cast<int>(made.size()), expected.Extent()) << dimension;
            for (int i = 1; i <= expected.Extent(); ++i) {
                const TopoDS_Shape shape = made[static_cast<std::size_t>(i - 1)]->getShape();
                const double measure = dimension == 1 ? lengthOf(shape) : dimension == 2 ? areaOf(shape) : volumeOf(shape);
                const double expectedMeasure = dimension == 1   ? lengthOf(expected(i))
                                               : dimension == 2 ? areaOf(expected(i))
                                                                : volumeOf(expected(i));
                EXPECT_NEAR(measure, expectedMeasure, 1e-9) << made[static_cast<std::size_t>(i - 1)]->getName();
                EXPECT_LT(measureCentre(shape, dimension).Distance(measureCentre(expected(i), dimension)), 1e-9)
                    << made[static_cast<std::size_t>(i - 1)]->getName();
            }
        }
    }
}

// The whole pipeline from a raw document: read, add the air, finalise, write.
TEST_F(AddAir, RawDocumentEndToEnd)
{
    fs::create_directories(directory + "/geometry/raw");
    writeBrepFile(unitCube(), directory + "/geometry/raw/cube.brep");
    writeBrepFile(planarFace(unitCube(), 2, 1.0), directory + "/geometry/raw/top.brep");
    const json raw = json::parse(R"({
        "solids": [{"name": "cube", "path": "geometry/raw/cube.brep"}],
        "faces": [{"name": "top", "path": "geometry/raw/top.brep"}],
        "edges": [],
        "hasMeshData": false,
        "geometryUnit": "m",
        "operate": [{"function": "addAir", "padding": 2, "terminals": [{"name": "top"}]}]
    })");
    applicationKind.set(std::string("INDUCTION"));
    GeometryData model(raw, directory);
    const json out = model.toJson();

    // Box [-2, 3]^2 x [-2, 1] with the cube in a notch at its top: 16 + 8
    // vertices; 12 + 12 edges; 6 outer faces, 5 cavity walls and the cube's
    // top; 2 solids.
    const json& edges = out.at("edges");
    const json& faces = out.at("faces");
    const json& solids = out.at("solids");
    ASSERT_EQ(edges.size(), 24u);
    ASSERT_EQ(faces.size(), 12u);
    ASSERT_EQ(solids.size(), 2u);
    EXPECT_EQ(edges.at(0).at("name"), "Edge_1");
    EXPECT_EQ(faces.at(0).at("id"), 25);
    EXPECT_EQ(solids.at(1).at("name"), "Solid_2");
    EXPECT_EQ(solids.at(1).at("id"), 38);
    EXPECT_EQ(out.at("dimensions"), 3);
    const json& statistics = out.at("statistics");
    EXPECT_NEAR(statistics.at("minX").get<double>(), -2.0, 1e-6);
    EXPECT_NEAR(statistics.at("maxY").get<double>(), 3.0, 1e-6);
    // Edge_1 lies on the cube's top and seeds the model's box: the refill
    // meshed it with the cube, so its box follows its polygon widened by the
    // cube's deflection, 0.001 x the cube's extent 1 + 2e-7 (tolerance 1e-7).
    EXPECT_NEAR(statistics.at("maxZ").get<double>(), 1.0 + 0.001 * (1.0 + 2e-7), 1e-9);
    EXPECT_NEAR(statistics.at("minZ").get<double>(), -2.0, 1e-6);

    // The air groups first, then a default domain for the cube and a default
    // boundary for each cavity wall; the refill gives each group the id of
    // its first entity.
    const json& domains = out.at("domains");
    const json& boundaries = out.at("boundaries");
    ASSERT_EQ(domains.size(), 2u);
    ASSERT_EQ(boundaries.size(), 7u);
    const json& air = domains.at(0);
    EXPECT_EQ(air.at("name"), "air");
    EXPECT_EQ(air.at("label"), "Air");
    EXPECT_EQ(air.at("role"), "air");
    ASSERT_EQ(air.at("entities").size(), 1u);
    const auto airSolid = model.getEntity(air.at("entities").at(0).get<std::string>());
    EXPECT_EQ(air.at("id"), airSolid->getId());
    expectClose(volumeOf(airSolid->getShape()), 74.0, "air volume");
    EXPECT_EQ(domains.at(1).at("role"), "");

    const json& infinity = boundaries.at(0);
    EXPECT_EQ(infinity.at("name"), "air_infinity");
    EXPECT_EQ(infinity.at("role"), "infinity");
    ASSERT_EQ(infinity.at("entities").size(), 6u);
    double infinityArea = 0.0;
    for (const auto& name : infinity.at("entities")) {
        infinityArea += areaOf(model.getEntity(name.get<std::string>())->getShape());
    }
    expectClose(infinityArea, 109.0, "infinity area");
    EXPECT_EQ(infinity.at("id"), model.getEntity(infinity.at("entities").at(0).get<std::string>())->getId());

    const json& terminal = boundaries.at(1);
    EXPECT_EQ(terminal.at("name"), "Terminal1");
    EXPECT_EQ(terminal.at("label"), "Terminal1");
    EXPECT_EQ(terminal.at("role"), "terminal");
    ASSERT_EQ(terminal.at("entities").size(), 1u);
    const auto top = model.getEntity(terminal.at("entities").at(0).get<std::string>());
    EXPECT_TRUE(liesExactlyInPlane(top->getShape(), 2, 1.0));
    expectClose(areaOf(top->getShape()), 1.0, "terminal");

    // Relations: the air solid is bounded by 11 faces, the cube by 6.
    const json& relations = out.at("relations");
    EXPECT_EQ(relations.at(airSolid->getName()).size(), 11u);
    const std::string cubeName = solids.at(0).at("name") == airSolid->getName() ? solids.at(1).at("name") : solids.at(0).at("name");
    EXPECT_EQ(relations.at(cubeName).size(), 6u);
    EXPECT_EQ(relations.at(top->getName()), json::array({cubeName}));

    // Side files: the 38 entities, each group's preview; the read entities' files stay.
    for (const auto& kind : {"edges", "faces", "solids"}) {
        for (const auto& e : out.at(kind)) {
            EXPECT_TRUE(fs::exists(directory + e.at("path").get<std::string>())) << e.at("name");
        }
    }
    for (const auto& group : {air, infinity, terminal}) {
        EXPECT_TRUE(fs::exists(directory + "/" + group.at("previewPath").get<std::string>())) << group.at("name");
    }
}

// A CAD file read and put in air, with the same document and files whatever
// the thread count.
TEST_F(AddAir, CadFileInAirWhateverTheThreadCount)
{
    std::vector<TopoDS_Shape> cubes = {boxAt(0, 0, 0), boxAt(1, 0, 0)};
    ASSERT_NO_THROW(writeStepFile(compoundOf(cubes), directory + "/pair.step"));
    const json raw = {{"operate", json::array({{{"function", "readCADfiles"}, {"fileNames", {"pair.step"}}},
                                               {{"function", "addAir"}}})}};
    const auto runWith = [&](int threads) {
        omp_set_num_threads(threads);
        fs::remove_all(directory + "/geometry");
        fs::remove_all(directory + "/vtk");
        GeometryData model(raw, directory);
        const std::string document = model.toJson().dump();
        std::map<std::string, std::string> files = directorySnapshot(directory);
        files.erase("pair.step");
        return std::make_tuple(document, files, model.getDomain("air")->getShape());
    };
    const int defaultThreads = omp_get_max_threads();
    const auto serial = runWith(1);
    const auto parallel = runWith(8);
    omp_set_num_threads(defaultThreads);
    EXPECT_EQ(std::get<0>(serial), std::get<0>(parallel));
    EXPECT_TRUE(std::get<1>(serial) == std::get<1>(parallel));

    // Two cubes in a box padded by half the diagonal of [0, 2] x [0, 1] x [0, 1].
    const double p = 0.5 * std::sqrt(6.0);
    expectClose(volumeOf(std::get<2>(serial)), (2 + 2 * p) * (1 + 2 * p) * (1 + 2 * p) - 2, "air volume");
    const json document = json::parse(std::get<0>(serial));
    // 12 + 20 edges, 6 + 11 faces, 3 solids.
    EXPECT_EQ(document.at("edges").size(), 32u);
    EXPECT_EQ(document.at("faces").size(), 17u);
    EXPECT_EQ(document.at("solids").size(), 3u);
    EXPECT_EQ(document.at("groupMode"), "groupsFromAllEntities");
}
