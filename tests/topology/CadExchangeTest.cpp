#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <Interface_Static.hxx>

#include "support/CadFiles.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

const char* const brepMessageTail = " is not of B-Rep format. \n Please make sure your IGES file contains Manifold "
                                    "Solids! \n Usually in CAD editors there is an option to save IGES with Manifold "
                                    "Solids (B-Rep)";

} // namespace

TEST(CadExchange, RoundTripsKeepTheVolume)
{
    const std::string directory = freshDirectory("cad-round-trip");
    const struct {
        const char* name;
        TopoDS_Shape shape;
        double volume;
        bool iges;
    } cases[] = {
        {"box.step", boxAt(0, 0, 0, 10, 20, 30), 6000.0, false},
        {"cylinder.stp", cylinder(1, 2), 2 * M_PI, false},
        {"box.igs", boxAt(0, 0, 0, 10, 20, 30), 6000.0, true},
        {"cylinder.iges", cylinder(1, 2), 2 * M_PI, true},
    };
    for (const auto& c : cases) {
        const std::string path = directory + "/" + c.name;
        TopoDS_Shape read;
        if (c.iges) {
            writeIges(c.shape, path, 1);
            read = readIgesFile(path);
        } else {
            writeStepFile(c.shape, path);
            read = readStepFile(path);
        }
        ASSERT_FALSE(read.IsNull()) << c.name;
        EXPECT_EQ(occurrencesOf(read, TopAbs_SOLID), 1) << c.name;
        EXPECT_NEAR(getShapeVolume(read), c.volume, 1e-6 * c.volume) << c.name;
    }
    // The reader leaves non-manifold reading on for every later STEP transfer.
    EXPECT_EQ(Interface_Static::IVal("read.step.nonmanifold"), 1);
}

TEST(CadExchange, IgesWithoutBrepEntitiesIsRefused)
{
    const std::string directory = freshDirectory("cad-iges-faces");
    const std::string path = directory + "/faces only.igs";
    writeIges(boxAt(0, 0, 0, 10, 10, 10), path, 0);
    expectMessage([&] { readIgesFile(path); }, std::string("IGES file faces only.igs") + brepMessageTail);
}

TEST(CadExchange, BrokenFilesRaiseClearMessages)
{
    const std::string directory = freshDirectory("cad-broken");
    writeStepFile(boxAt(0, 0, 0, 1, 1, 1), directory + "/whole.step");
    writeIges(boxAt(0, 0, 0, 1, 1, 1), directory + "/whole.igs", 1);
    const std::string step = contentOf(directory + "/whole.step");
    const std::string iges = contentOf(directory + "/whole.igs");
    writeText(directory + "/empty.step", "");
    writeText(directory + "/empty.igs", "");
    writeText(directory + "/garbage.step", "solid cube\n  facet normal 0 0 1\nendsolid\n");
    writeText(directory + "/garbage.igs", "solid cube\n  facet normal 0 0 1\nendsolid\n");
    writeText(directory + "/truncated.step", step.substr(0, step.size() / 2));
    writeText(directory + "/truncated.igs", iges.substr(0, iges.size() / 2));

    const struct {
        const char* name;
        bool iges;
        std::string message;
    } cases[] = {
        {"missing.step", false, "Could not read STEP file " + directory + "/missing.step: No such file or directory"},
        {"empty.step", false, "STEP file " + directory + "/empty.step is empty"},
        {"garbage.step", false, "Could not read STEP file " + directory + "/garbage.step"},
        {"truncated.step", false, "Could not read STEP file " + directory + "/truncated.step"},
        {"missing.igs", true, "Could not read IGES file " + directory + "/missing.igs: No such file or directory"},
        {"empty.igs", true, "IGES file " + directory + "/empty.igs is empty"},
        {"garbage.igs", true, "Error in IGES file (garbage.igs) input data"},
        {"truncated.igs", true,
         "IGES file truncated.igs: the file ends without its terminate record (T section): it is cut short"},
    };
    for (const auto& c : cases) {
        const std::string path = directory + "/" + c.name;
        expectMessage([&] { c.iges ? readIgesFile(path) : readStepFile(path); }, c.message);
    }
}

TEST(CadExchange, WritersReportFailures)
{
    const std::string directory = freshDirectory("cad-writers");
    const TopoDS_Shape cube = unitCube();

    writeBrepFile(cube, directory + "/cube.brep");
    EXPECT_NE(contentOf(directory + "/cube.brep").find("\nCASCADE Topology V1, (c) Matra-Datavision\n"), std::string::npos);
    TopoDS_Shape read;
    BRep_Builder builder;
    ASSERT_TRUE(BRepTools::Read(read, (directory + "/cube.brep").c_str(), builder));
    EXPECT_NEAR(getShapeVolume(read), 1.0, 1e-12);

    const std::string unwritable = directory + "/no such folder/cube";
    const struct {
        const char* message;
        std::function<void()> call;
    } cases[] = {
        {"writeStepFile: null shape", [&] { writeStepFile(TopoDS_Shape(), directory + "/null.step"); }},
        {"writeBrepFile: null shape", [&] { writeBrepFile(TopoDS_Shape(), directory + "/null.brep"); }},
    };
    for (const auto& c : cases) {
        expectMessage(c.call, c.message);
    }
    expectMessage([&] { writeStepFile(cube, unwritable + ".step"); }, "Could not write file " + unwritable + ".step");
    expectMessage([&] { writeBrepFile(cube, unwritable + ".brep"); },
                  "Could not write file " + unwritable + ".brep: No such file or directory");
}

TEST(CadExchange, StepUnitCodes)
{
    const struct {
        const char* name;
        const char* code;
        const char* warning;
    } cases[] = {
        {"inch", "INCH", ""},
        {"Inch", "INCH", ""},
        {"INCH", "INCH", ""},
        {"mil", "MIL", ""},
        {"microinch", "UIN", ""},
        {"Foot", "FT", ""},
        {"mile", "MI", ""},
        {"metre", "M", ""},
        {"kilometre", "KM", ""},
        {"MilliMetre", "MM", ""},
        {"centimetre", "CM", ""},
        {"micrometre", "UM", ""},
        {"", "M", ""},
        {"Meter", "M", "Could not determine unit meter in step file. Using meters instead\n"},
        {"millimeter", "M", "Could not determine unit millimeter in step file. Using meters instead\n"},
        {"\xC2\xB5m", "M", "Could not determine unit \xC2\xB5m in step file. Using meters instead\n"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        const std::string code = getStepUnitCode(c.name);
        const std::string warning = testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, c.code) << c.name;
        EXPECT_EQ(warning, c.warning) << c.name;
    }
}
