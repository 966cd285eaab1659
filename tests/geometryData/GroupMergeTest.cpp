// Merging groups into one and splitting them back.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>

#include "GroupFixtures.h"
#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;
using namespace groupFixtures;
using json = nlohmann::json;
using Names = std::vector<std::string>;

namespace {

// Two unit boxes side by side along x, made conforming: solids Left and
// Right, and in this entity order the faces East (x=2), Mid (x=1, shared),
// West (x=0) and Top (z=1 of Left). Boundaries A {West}, B {East},
// C {Mid}, T {Top}; domains L {Left}, R {Right}. Linked by geometry:
// L touches A, C, T and R touches B, C.
GeometryData mergeModel(const std::string& workingDirectory)
{
    const TopoDS_Shape pieces = fused({box(0, 0, 0, 1, 1, 1), box(1, 0, 0, 2, 1, 1)});
    TopTools_IndexedMapOfShape solids;
    TopTools_IndexedMapOfShape faces;
    TopExp::MapShapes(pieces, TopAbs_SOLID, solids);
    TopExp::MapShapes(pieces, TopAbs_FACE, faces);
    const auto face = [&](int axis, double value, bool left) {
        for (int i = 1; i <= faces.Extent(); ++i) {
            if (liesInPlane(faces(i), axis, value) && (extentOf(faces(i)).xmax < 1.5) == left) {
                return faces(i);
            }
        }
        return TopoDS_Shape();
    };
    const int left = centreOf(solids(1)).X() < 1.0 ? 1 : 2;

    GeometryData model(workingDirectory);
    model.addEntity(entity(solids(left), "Left"));
    model.addEntity(entity(solids(3 - left), "Right"));
    model.addEntity(entity(face(0, 2.0, false), "East"));
    model.addEntity(entity(face(0, 1.0, true), "Mid"));
    model.addEntity(entity(face(0, 0.0, true), "West"));
    model.addEntity(entity(face(2, 1.0, true), "Top"));

    const auto entry = [](std::string name, int id, std::string label, std::string role, std::string member) {
        return json{{"name", name}, {"id", id}, {"label", label}, {"role", role}, {"entities", {member}}};
    };
    const auto entities = model.getEntities();
    model.addBoundary(std::make_shared<BoundaryGroup>(entry("A", 3, "Inlet", "port", "West"), entities));
    model.addBoundary(std::make_shared<BoundaryGroup>(entry("B", 7, "Outlet", "", "East"), entities));
    model.addBoundary(std::make_shared<BoundaryGroup>(entry("C", 2, "Contact", "", "Mid"), entities));
    model.addBoundary(std::make_shared<BoundaryGroup>(entry("T", 4, "Lid", "", "Top"), entities));
    model.addDomain(std::make_shared<DomainGroup>(entry("L", 5, "Copper", "", "Left"), entities));
    model.addDomain(std::make_shared<DomainGroup>(entry("R", 9, "Iron", "", "Right"), entities));
    model.getDimension();
    model.buildRelations();
    return model;
}

std::string joined(const Names& names)
{
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : ",") + name;
    }
    return text;
}

// "name#id/label/role [entities] <merged from> {linked groups}", "!" when in a domain.
std::string describe(const Group& group, const Names& links, bool inDomain)
{
    return group.getName() + "#" + std::to_string(group.getId()) + "/" + group.getLabel() + "/" + group.getRole() +
           " [" + joined(namesOf(group.getEntities())) + "] <" + joined(namesOf(group.getMergedFrom())) + "> {" +
           joined(links) + "}" + (inDomain ? "!" : "");
}

Names boundariesOf(const GeometryData& model)
{
    Names described;
    for (const auto& boundary : model.getBoundaries()) {
        described.push_back(describe(*boundary, namesOf(boundary->getDomains()), boundary->isInDomain()));
    }
    return described;
}

Names domainsOf(const GeometryData& model)
{
    Names described;
    for (const auto& domain : model.getDomains()) {
        described.push_back(describe(*domain, namesOf(domain->getBoundaries()), false));
    }
    return described;
}

const Names initialBoundaries = {"A#3/Inlet/port [West] <> {L}", "B#7/Outlet/ [East] <> {R}",
                                 "C#2/Contact/ [Mid] <> {L,R}", "T#4/Lid/ [Top] <> {L}"};
const Names initialDomains = {"L#5/Copper/ [Left] <> {A,C,T}", "R#9/Iron/ [Right] <> {B,C}"};

using Step = std::function<void(GeometryData&)>;

Step merge(Names names, std::string label = "Merged")
{
    return [=](GeometryData& model) { model.mergeGroups(names, label); };
}

Step unmerge(Names names)
{
    return [=](GeometryData& model) { model.unmergeGroups(names); };
}

Step steps(std::vector<Step> all)
{
    return [=](GeometryData& model) {
        for (const auto& step : all) {
            step(model);
        }
    };
}

Step none() { return [](GeometryData&) {}; }

// A boundary F of id 6 whose only entity is not one of the model's.
void addForeignBoundary(GeometryData& model)
{
    auto foreign = std::make_shared<BoundaryGroup>();
    foreign->setName("F");
    foreign->setId(6);
    foreign->addEntity(entity(planarFace(box(5, 5, 5, 6, 6, 6), 2, 6.0), "Stray"));
    foreign->buildShape();
    model.addBoundary(foreign);
}

} // namespace

TEST(GroupMerge, Scenarios)
{
    struct Scenario {
        std::string what;
        Step before;
        Step step;
        // With an error the lists and links stay as they were before the step.
        std::string error;
        Names boundaries;
        Names domains;
    };
    const std::string noEntities = ". This is internal error. Please contact support!";
    const std::vector<Scenario> scenarios = {
        {"two boundaries given in reverse order", none(), merge({"B", "A"}, "Walls"), "",
         {"Merged_A#10/Walls/ [East,West] <A,B> {L,R}", "C#2/Contact/ [Mid] <> {L,R}", "T#4/Lid/ [Top] <> {L}"},
         {"L#5/Copper/ [Left] <> {Merged_A,C,T}", "R#9/Iron/ [Right] <> {Merged_A,C}"}},
        // The id is taken while R, which holds the largest, is still in the model.
        {"two domains, an unknown name among them", none(), merge({"R", "Nope", "L"}, "Body"), "",
         {"A#3/Inlet/port [West] <> {Merged_L}", "B#7/Outlet/ [East] <> {Merged_L}",
          "C#2/Contact/ [Mid] <> {Merged_L}!", "T#4/Lid/ [Top] <> {Merged_L}"},
         {"Merged_L#10/Body/ [Left,Right] <L,R> {A,C,T,B}"}},
        {"a domain with a boundary", none(), merge({"L", "C"}, "Mixed"), "",
         {"A#3/Inlet/port [West] <> {L}", "B#7/Outlet/ [East] <> {R}", "Merged_C#10/Mixed/ [Left,Mid] <C,L> {L,R}",
          "T#4/Lid/ [Top] <> {L}"},
         {"L#5/Copper/ [Left] <> {A,Merged_C,T}", "R#9/Iron/ [Right] <> {B,Merged_C}"}},
        {"merge then unmerge", merge({"B", "A"}, "Walls"), unmerge({"Merged_A"}), "", initialBoundaries,
         initialDomains},
        {"merged domains unmerged", merge({"L", "R"}), unmerge({"Merged_L"}), "", initialBoundaries, initialDomains},
        {"a group without sources", none(), unmerge({"T"}), "",
         {"A#3/Inlet/port [West] <> {L}", "B#7/Outlet/ [East] <> {R}", "C#2/Contact/ [Mid] <> {L,R}"},
         {"L#5/Copper/ [Left] <> {A,C}", "R#9/Iron/ [Right] <> {B,C}"}},
        {"an unknown name", none(), unmerge({"Nope"}), "", initialBoundaries, initialDomains},
        // The domain is the group found, but the boundaries are the list changed.
        {"a name borne by a boundary and a domain", [](GeometryData& model) { model.getDomain("R")->setName("T"); },
         unmerge({"T"}), "",
         {"A#3/Inlet/port [West] <> {L}", "B#7/Outlet/ [East] <> {T}", "C#2/Contact/ [Mid] <> {L,T}",
          "T#4/Lid/ [Top] <> {L}"},
         {"L#5/Copper/ [Left] <> {A,C,T}", "T#9/Iron/ [Right] <> {B,C}"}},
        {"a merged group merged again", merge({"B", "A"}, "Walls"), merge({"C", "Merged_A"}, "All"), "",
         {"Merged_Merged_A#11/All/ [East,Mid,West] <Merged_A,C> {L,R}", "T#4/Lid/ [Top] <> {L}"},
         {"L#5/Copper/ [Left] <> {Merged_Merged_A,T}", "R#9/Iron/ [Right] <> {Merged_Merged_A}"}},
        // The second name is found among the groups the first one restored.
        {"nested merges undone in one call", steps({merge({"B", "A"}, "Walls"), merge({"C", "Merged_A"}, "All")}),
         unmerge({"Merged_Merged_A", "Merged_A"}), "", initialBoundaries, initialDomains},
        // A source of the merged name leaves the model, so the name is free.
        {"a source bears the merged name", [](GeometryData& model) { model.getBoundary("T")->setName("Merged_A"); },
         merge({"Merged_A", "A"}, "Both"), "",
         {"Merged_A#10/Both/ [West,Top] <A,Merged_A> {L}", "B#7/Outlet/ [East] <> {R}",
          "C#2/Contact/ [Mid] <> {L,R}"},
         {"L#5/Copper/ [Left] <> {Merged_A,C}", "R#9/Iron/ [Right] <> {B,C}"}},

        {"no name names a group", none(), merge({"Nope", "Merged_A"}),
         "Cannot merge groups: none of the given names names a group."},
        {"no name at all", none(), merge({}), "Cannot merge groups: none of the given names names a group."},
        {"merged name borne by a boundary", [](GeometryData& model) { model.getBoundary("T")->setName("Merged_A"); },
         merge({"A", "B"}), "Cannot merge groups: the name Merged_A is taken."},
        {"merged name borne by a domain", [](GeometryData& model) { model.getDomain("R")->setName("Merged_A"); },
         merge({"A", "B"}), "Cannot merge groups: the name Merged_A is taken."},
        // The domain stayed in the domains when it was merged into the boundary.
        {"restored name borne by a domain", merge({"L", "C"}), unmerge({"Merged_C"}),
         "Cannot unmerge Merged_C: the name L is taken."},
        {"second of two names fails", steps({merge({"B", "A"}), merge({"L", "C"})}),
         unmerge({"Merged_A", "Merged_C"}), "Cannot unmerge Merged_C: the name L is taken."},
        {"merged group cannot be built", addForeignBoundary, merge({"A", "F"}),
         "There are no entities assigned to group F" + noEntities},
        // The partition renames every entity: A's entity is gone.
        {"restored group cannot be built", steps({merge({"B", "A"}), [](GeometryData& model) { model.partition(); }}),
         unmerge({"Merged_A"}), "There are no entities assigned to group A" + noEntities},
    };
    for (const auto& s : scenarios) {
        SCOPED_TRACE(s.what);
        ScratchDirectory directory;
        GeometryData model = mergeModel(directory.path());
        ASSERT_EQ(boundariesOf(model), initialBoundaries);
        ASSERT_EQ(domainsOf(model), initialDomains);
        s.before(model);
        const Names boundariesBefore = boundariesOf(model);
        const Names domainsBefore = domainsOf(model);
        const auto relationsBefore = model.getRelations();
        const Names entitiesBefore = namesOf(model.getEntities());

        if (s.error.empty()) {
            s.step(model);
            EXPECT_EQ(boundariesOf(model), s.boundaries);
            EXPECT_EQ(domainsOf(model), s.domains);
        } else {
            expectMessage([&] { s.step(model); }, s.error);
            EXPECT_EQ(boundariesOf(model), boundariesBefore);
            EXPECT_EQ(domainsOf(model), domainsBefore);
        }
        EXPECT_EQ(model.getRelations(), relationsBefore);
        EXPECT_EQ(namesOf(model.getEntities()), entitiesBefore);
    }
}

// The merged group's own object holds its sources' objects, nested as they were merged.
TEST(GroupMerge, MergedGroupHoldsItsSourcesObjects)
{
    ScratchDirectory directory;
    GeometryData model = mergeModel(directory.path());
    model.mergeGroups({"B", "A"}, "Walls");
    model.mergeGroups({"C", "Merged_A"}, "All");
    model.mergeGroups({"L", "R"}, "Body");

    const auto merged = model.getBoundary("Merged_Merged_A");
    EXPECT_EQ(merged->Group::toJson(), json::parse(R"({
        "name": "Merged_Merged_A", "label": "All", "id": 11, "entities": ["East", "Mid", "West"], "role": "",
        "previewPath": "vtk/Merged_Merged_A.vtk",
        "mergedFrom": [
            {"name": "Merged_A", "label": "Walls", "id": 10, "entities": ["East", "West"], "role": "",
             "previewPath": "vtk/Merged_A.vtk",
             "mergedFrom": [
                {"name": "A", "label": "Inlet", "id": 3, "entities": ["West"], "role": "port",
                 "previewPath": "vtk/A.vtk", "mergedFrom": []},
                {"name": "B", "label": "Outlet", "id": 7, "entities": ["East"], "role": "",
                 "previewPath": "vtk/B.vtk", "mergedFrom": []}]},
            {"name": "C", "label": "Contact", "id": 2, "entities": ["Mid"], "role": "",
             "previewPath": "vtk/C.vtk", "mergedFrom": []}]
    })"));
    // The shapes are the fuses of the sources: three unit squares, two unit cubes.
    EXPECT_NEAR(areaOf(merged->getShape()), 3.0, 1e-9);
    EXPECT_NEAR(volumeOf(model.getDomain("Merged_L")->getShape()), 2.0, 1e-9);
    EXPECT_EQ(model.getDomain("Merged_L")->getId(), 12);
}

// Only the groups that a merge or unmerge creates write their previews;
// every group object still names its preview file.
TEST(GroupMerge, OnlyNewGroupsWritePreviews)
{
    struct Case {
        std::string what;
        Step step;
        std::set<std::string> previews;
    };
    const std::vector<Case> cases = {
        {"merge", merge({"B", "A"}), {"Merged_A.vtk"}},
        {"merge then unmerge", steps({merge({"B", "A"}), unmerge({"Merged_A"})}), {"A.vtk", "B.vtk"}},
        {"unmerge of an unknown name", unmerge({"Nope"}), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory directory;
        GeometryData model = mergeModel(directory.path());
        c.step(model);
        model.getPartitionShape();
        const json produced = model.toJson();

        EXPECT_EQ(filesIn(fs::path(directory.path()) / "vtk"), c.previews);
        for (const char* list : {"boundaries", "domains"}) {
            for (const auto& group : produced.at(list)) {
                EXPECT_EQ(group.at("previewPath"), "vtk/" + group.at("name").get<std::string>() + ".vtk");
            }
        }
    }
}
