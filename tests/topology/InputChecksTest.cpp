// Damaged and hostile CAD input, built by the tests from sound files: each is
// refused with a message naming the file and the fault, before the kernel
// transfers or fuses it (where it would crash, spin or read for ever).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_NurbsConvert.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BRepGProp.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Geom_Line.hxx>
#include <Interface_Static.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <STEPControl_Writer.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Vertex.hxx>
#include <gp_Pln.hxx>

#include "support/CoutCapture.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "topology/InputChecks.h"
#include "misc/Utilities.h"
#include "topology/KernelMessages.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

const std::string outOfRange = ", not a finite number within the kernel's range";

// The text with the first match of the pattern's group 1 replaced; a failure
// when nothing matches.
std::string replaceGroup(const std::string& text, const std::regex& pattern, const std::string& replacement,
                         std::size_t* lineNumber = nullptr)
{
    const auto replaced = replacedGroup(text, pattern, replacement, lineNumber);
    EXPECT_TRUE(replaced);
    return replaced.value_or(text);
}

// A box of 1 x 2 x 3 in inches (the factor 25.4 to millimetres in the file).
void writeInchBox(const std::string& path)
{
    std::lock_guard<std::mutex> lock(cadTranslatorMutex());
    Interface_Static::SetCVal("write.step.unit", "INCH");
    STEPControl_Writer writer;
    writer.Transfer(boxAt(0, 0, 0, 1, 2, 3), STEPControl_AsIs);
    writer.Write(path.c_str());
    Interface_Static::SetCVal("write.step.unit", "MM");
}

// A shape with curved B-spline geometry, a location and a triangulation: all
// the sections of a BREP file hold something.
double preciseVolume(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(shape, properties, 1e-9);
    return properties.Mass();
}

TopoDS_Shape richShape()
{
    TopoDS_Shape shape = BRepBuilderAPI_NurbsConvert(cylinder(1, 2)).Shape();
    BRepMesh_IncrementalMesh(shape, 0.1);
    gp_Trsf shift;
    shift.SetTranslation(gp_Vec(1, 2, 3));
    return shape.Moved(TopLoc_Location(shift));
}

// The identifiers of the first instances of a simple type, in file order.
std::vector<std::string> idsOf(const std::string& text, const std::string& type, std::size_t count)
{
    std::vector<std::string> ids;
    const std::regex instance("#(\\d+) = " + type + "\\(");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), instance);
         it != std::sregex_iterator() && ids.size() < count; ++it) {
        ids.push_back((*it)[1].str());
    }
    EXPECT_EQ(ids.size(), count) << type;
    return ids;
}

// The text with instances added at the end of its data section.
std::string withInstances(const std::string& text, const std::string& instances)
{
    const std::size_t end = text.find("ENDSEC;", text.find("DATA;"));
    EXPECT_NE(end, std::string::npos);
    return text.substr(0, end) + instances + text.substr(end);
}

} // namespace

TEST(DamagedStepFiles, AreRefusedBeforeTheTransfer)
{
    const std::string directory = freshDirectory("damaged-step");
    writeStepFile(boxAt(0, 0, 0, 1, 2, 3), directory + "/box.step");
    writeInchBox(directory + "/inch.step");
    const std::string box = contentOf(directory + "/box.step");
    const std::string inch = contentOf(directory + "/inch.step");

    // The first point of three coordinates, its last coordinate replaced.
    const std::regex point(R"(#(?:\d+) = CARTESIAN_POINT\('',\([^,()]+,[^,()]+,([^,()]+)\)\);)");
    const std::regex pointLabel(R"(#(\d+) = CARTESIAN_POINT\('',\([^,()]+,[^,()]+,[^,()]+\)\);)");
    std::smatch label;
    ASSERT_TRUE(std::regex_search(box, label, pointLabel));
    const std::string pointId = label[1].str();

    std::string vertexId;
    writeText(directory + "/dangling.step",
              replaceGroup(box, std::regex(R"(#(?:\d+) = VERTEX_POINT\('',(#\d+)\);)"), "#999999"));
    ASSERT_TRUE(std::regex_search(box, label, std::regex(R"(#(\d+) = VERTEX_POINT\('',#\d+\);)")));
    vertexId = label[1].str();
    writeText(directory + "/nan.step", replaceGroup(box, point, "NaN"));
    writeText(directory + "/infinite.step", replaceGroup(box, point, "1.E999"));
    writeText(directory + "/huge.step", replaceGroup(box, point, "1.E308"));
    writeText(directory + "/beyond.step", replaceGroup(box, point, "-3.E100"));
    ASSERT_NE(inch.find("LENGTH_MEASURE_WITH_UNIT(25.4,"), std::string::npos);
    writeText(directory + "/unit0.step",
              replaceGroup(inch, std::regex(R"(LENGTH_MEASURE_WITH_UNIT\((25\.4),)"), "0."));
    ASSERT_TRUE(std::regex_search(inch, label, std::regex(R"(#(\d+) = \( CONVERSION_BASED_UNIT\('INCH')")));
    const std::string unitId = label[1].str();

    // References changed to an entity of another type or to the entity itself:
    // the transfer dereferenced the empty part or recursed without end.
    ASSERT_TRUE(std::regex_search(box, label, std::regex(R"(#(\d+) = DIRECTION\()")));
    const std::string directionId = label[1].str();
    writeText(directory + "/vertexOnDirection.step",
              replaceGroup(box, std::regex(R"(#(?:\d+) = VERTEX_POINT\('',(#\d+)\);)"), "#" + directionId));
    ASSERT_TRUE(std::regex_search(box, label, std::regex(R"(#(\d+) = ORIENTED_EDGE\('',\*,\*,#\d+,)")));
    const std::string orientedId = label[1].str();
    writeText(directory + "/edgeOfItself.step",
              replaceGroup(box, std::regex(R"(#\d+ = ORIENTED_EDGE\('',\*,\*,(#\d+),)"), "#" + orientedId));

    // Two surface curves, each the 3D curve of the other.
    std::vector<std::string> curveIds;
    const std::regex surfaceCurve(R"(#(\d+) = SURFACE_CURVE\('',(#\d+),)");
    for (auto it = std::sregex_iterator(box.begin(), box.end(), surfaceCurve);
         it != std::sregex_iterator() && curveIds.size() < 2; ++it) {
        curveIds.push_back((*it)[1].str());
    }
    ASSERT_EQ(curveIds.size(), 2u);
    const auto curveOf = [](const std::string& id) { return std::regex("#" + id + R"( = SURFACE_CURVE\('',(#\d+),)"); };
    const std::string firstOnSecond = replaceGroup(box, curveOf(curveIds[0]), "#" + curveIds[1]);
    writeText(directory + "/curvesOnEachOther.step",
              replaceGroup(firstOnSecond, curveOf(curveIds[1]), "#" + curveIds[0]));

    const std::string failure = "Could not read STEP file " + directory + "/";
    const struct {
        const char* file;
        std::string message;
    } cases[] = {
        {"vertexOnDirection.step",
         failure + "vertexOnDirection.step: entity #" + vertexId + " lacks its point (a damaged reference)"},
        {"edgeOfItself.step",
         failure + "edgeOfItself.step: entity #" + orientedId + " refers to itself (a damaged reference)"},
        {"curvesOnEachOther.step", failure + "curvesOnEachOther.step: entities #" + curveIds[0] + ", #" + curveIds[1] +
                                       " refer to one another in a cycle (a damaged reference)"},
        {"dangling.step",
         failure + "dangling.step: Unresolved Reference, Ent.Id.#" + vertexId + " Param.n0 2 (Id.#999999)"},
        {"infinite.step", failure + "infinite.step: point #" + pointId + " has the coordinate inf" + outOfRange},
        {"huge.step", failure + "huge.step: point #" + pointId + " has the coordinate 1e+308" + outOfRange},
        {"beyond.step", failure + "beyond.step: point #" + pointId + " has the coordinate -3e+100" + outOfRange},
        {"unit0.step", failure + "unit0.step: unit #" + unitId +
                           " (INCH) has the conversion factor 0, not a positive finite number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        expectMessage([&] { readStepFile(directory + "/" + c.file); }, c.message);
    }
    // NaN is no STEP number: the reader would recover from it as from a
    // syntax error and read 0.
    expectMessage([&] { readStepFile(directory + "/nan.step"); },
                  failure + "nan.step: entity #" + pointId + " holds the number NaN, not a finite number");

    // The sound files around them read. The inch file holds the box's lengths
    // divided by 25.4 and the reader multiplies them back; a unit twice as
    // long gives eight times the volume.
    writeText(directory + "/double.step",
              replaceGroup(inch, std::regex(R"(LENGTH_MEASURE_WITH_UNIT\((25\.4),)"), "50.8"));
    EXPECT_NEAR(volumeOf(readStepFile(directory + "/box.step")), 6.0, 1e-9);
    EXPECT_NEAR(volumeOf(readStepFile(directory + "/inch.step")), 6.0, 1e-9);
    EXPECT_NEAR(volumeOf(readStepFile(directory + "/double.step")), 48.0, 1e-8);
}

TEST(DamagedStepFiles, CyclesShortPointsAndFalseUnitsAreRefusedBeforeTheReader)
{
    const std::string directory = freshDirectory("damaged-step-cycles");
    writeStepFile(boxAt(0, 0, 0, 1, 2, 3), directory + "/box.step");
    writeInchBox(directory + "/inch.step");
    const std::string box = contentOf(directory + "/box.step");
    const std::string inch = contentOf(directory + "/inch.step");

    // Oriented edges, each the edge element of the one before it, the last
    // closing the cycle on the first: the reader's check of the model
    // overflowed its stack.
    const std::vector<std::string> oriented = idsOf(box, "ORIENTED_EDGE", 5);
    const auto edgeCycle = [&](std::size_t length) {
        std::string text = box;
        for (std::size_t i = 0; i < length; ++i) {
            text = replaceGroup(text, std::regex("#" + oriented[i] + R"( = ORIENTED_EDGE\('',\*,\*,(#\d+),)"),
                                "#" + oriented[(i + 1) % length]);
        }
        return text;
    };
    writeText(directory + "/edges3.step", edgeCycle(3));
    writeText(directory + "/edges5.step", edgeCycle(5));

    // A replica of a curve that is a replica of the first (the transfer
    // overflowed its stack), the curve of an edge; a shell oriented on a
    // shell oriented on the first, the solid's shell (the transfer looped).
    const std::string edgeCurve = idsOf(box, "EDGE_CURVE", 1)[0];
    const std::string origin = idsOf(box, "CARTESIAN_POINT", 1)[0];
    const std::string replicas = withInstances(
        replaceGroup(box, std::regex("#" + edgeCurve + R"( = EDGE_CURVE\('',#\d+,#\d+,(#\d+),)"), "#900001"),
        "#900001 = CURVE_REPLICA('',#900002,#900003);\n#900002 = CURVE_REPLICA('',#900001,#900003);\n"
        "#900003 = CARTESIAN_TRANSFORMATION_OPERATOR_3D('',$,$,#" + origin + ",$,$);\n");
    writeText(directory + "/replicas.step", replicas);
    const std::string shells = withInstances(
        replaceGroup(box, std::regex(R"(MANIFOLD_SOLID_BREP\('',(#\d+)\);)"), "#900011"),
        "#900011 = ORIENTED_CLOSED_SHELL('',*,#900012,.T.);\n#900012 = ORIENTED_CLOSED_SHELL('',*,#900011,.F.);\n");
    writeText(directory + "/shells.step", shells);
    // An item that maps a representation holding the item itself.
    const std::string axis = idsOf(box, "AXIS2_PLACEMENT_3D", 1)[0];
    std::smatch match;
    ASSERT_TRUE(std::regex_search(box, match, std::regex(R"(#(\d+) = \( GEOMETRIC_REPRESENTATION_CONTEXT\(3\))")));
    writeText(directory + "/mapped.step",
              withInstances(box, "#900021 = MAPPED_ITEM('',#900022,#" + axis + ");\n#900022 = REPRESENTATION_MAP(#" +
                                     axis + ",#900023);\n#900023 = SHAPE_REPRESENTATION('',(#900021),#" +
                                     match[1].str() + ");\n"));

    // The first vertex's point with 2 and with 0 coordinates in a 3D model.
    const std::string vertexPoint = idsOf(box, "VERTEX_POINT", 1)[0];
    ASSERT_TRUE(std::regex_search(box, match, std::regex("#" + vertexPoint + R"( = VERTEX_POINT\('',#(\d+)\);)")));
    const std::string pointId = match[1].str();
    const std::regex coordinates("#" + pointId + R"( = CARTESIAN_POINT\('',(\([^()]*\))\);)");
    writeText(directory + "/point2.step", replaceGroup(box, coordinates, "(0.,0.)"));
    writeText(directory + "/point0.step", replaceGroup(box, coordinates, "()"));

    // Grams as the length unit; an inch defined by a factor whose unit is the inch.
    const std::regex lengthUnit(R"(#(\d+) = \( LENGTH_UNIT\(\) NAMED_UNIT\(\*\) SI_UNIT\(\.MILLI\.,\.METRE\.\) \);)");
    ASSERT_TRUE(std::regex_search(box, match, lengthUnit));
    const std::string millimetre = match[1].str();
    writeText(directory + "/gram.step",
              replaceGroup(box, std::regex(R"(LENGTH_UNIT\(\) NAMED_UNIT\(\*\) SI_UNIT\(\.MILLI\.,(\.METRE\.)\))"),
                           ".GRAM."));
    ASSERT_TRUE(std::regex_search(inch, match, std::regex(R"(#(\d+) = \( CONVERSION_BASED_UNIT\('INCH',#(\d+)\))")));
    const std::string inchUnit = match[1].str();
    const std::string factor = match[2].str();
    writeText(directory + "/unitCycle.step",
              replaceGroup(inch, std::regex("#" + factor + R"( = LENGTH_MEASURE_WITH_UNIT\([^,]+,(#\d+)\);)"),
                           "#" + inchUnit));

    // An inch defined as 25.4 radians.
    ASSERT_TRUE(std::regex_search(inch, match, std::regex(R"(#(\d+) = \( NAMED_UNIT\(\*\) PLANE_ANGLE_UNIT\(\))")));
    writeText(directory + "/inchOfAngles.step",
              replaceGroup(inch, std::regex("#" + factor + R"( = LENGTH_MEASURE_WITH_UNIT\([^,]+,(#\d+)\);)"),
                           "#" + match[1].str()));

    const std::string failure = "Could not read STEP file " + directory + "/";
    const std::string cycle = " refer to one another in a cycle (a damaged reference)";
    const struct {
        const char* file;
        std::string message;
    } cases[] = {
        {"edges3.step",
         failure + "edges3.step: entities #" + oriented[0] + ", #" + oriented[1] + ", #" + oriented[2] + cycle},
        {"edges5.step", failure + "edges5.step: entities #" + oriented[0] + ", #" + oriented[1] + ", #" + oriented[2] +
                            ", #" + oriented[3] + ", #" + oriented[4] + cycle},
        {"replicas.step", failure + "replicas.step: entities #900001, #900002" + cycle},
        {"shells.step", failure + "shells.step: entities #900011, #900012" + cycle},
        {"mapped.step", failure + "mapped.step: entities #900021, #900022, #900023" + cycle},
        {"point2.step",
         failure + "point2.step: point #" + pointId + " has 2 coordinates, fewer than the 3 dimensions of its model"},
        {"point0.step",
         failure + "point0.step: point #" + pointId + " has 0 coordinates, fewer than the 3 dimensions of its model"},
        {"gram.step", failure + "gram.step: length unit #" + millimetre +
                          " is not a length (an SI unit other than the metre)"},
        {"unitCycle.step", failure + "unitCycle.step: entities #" + inchUnit + ", #" + factor + cycle},
        {"inchOfAngles.step", failure + "inchOfAngles.step: length unit #" + inchUnit +
                                  " (INCH) is defined by a unit that is not a length"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        expectMessage([&] { readStepFile(directory + "/" + c.file); }, c.message);
    }

    // Points of two coordinates in the parameters of faces (the file's
    // pcurves, in a 2D context) are sound: the box reads.
    ASSERT_NE(box.find("GEOMETRIC_REPRESENTATION_CONTEXT(2)"), std::string::npos);
    EXPECT_NEAR(volumeOf(readStepFile(directory + "/box.step")), 6.0, 1e-9);
}

TEST(DamagedStepFiles, SyntaxErrorsTheReaderRecoversFromAreWarnings)
{
    const std::string directory = freshDirectory("damaged-step-syntax");
    writeStepFile(boxAt(0, 0, 0, 1, 2, 3), directory + "/box.step");
    const std::string box = contentOf(directory + "/box.step");

    // A word in the protocol's definition, which no shape refers to.
    std::size_t line = 0;
    writeText(directory + "/protocol.step",
              replaceGroup(box, std::regex(R"(APPLICATION_PROTOCOL_DEFINITION()\('international standard',)"), " tzj",
                           &line));
    {
        LogCapture log(el::Level::Warning);
        EXPECT_NEAR(volumeOf(readStepFile(directory + "/protocol.step")), 6.0, 1e-9);
        const std::vector<std::string> warnings = log.containing("the reader recovered from a syntax error");
        ASSERT_EQ(warnings.size(), 1u);
        // The kernel numbers the line where it notices the fault: the next one.
        EXPECT_EQ(warnings[0], "STEP file " + directory + "/protocol.step: the reader recovered from a syntax error: "
                               "Undefined Parsing: Line " + std::to_string(line + 1) +
                                   ": Incorrect syntax: unexpected TYPE, expecting '('");
    }

    // The same fault beside a damaged reference of a vertex (to a direction)
    // is still refused: the entities the transfer reaches are checked.
    std::smatch match;
    ASSERT_TRUE(std::regex_search(box, match, std::regex(R"(#(\d+) = VERTEX_POINT\('',#\d+\);)")));
    const std::string vertex = match[1].str();
    const std::string direction = idsOf(box, "DIRECTION", 1)[0];
    writeText(directory + "/protocolAndVertex.step",
              replaceGroup(contentOf(directory + "/protocol.step"),
                           std::regex("#" + vertex + R"( = VERTEX_POINT\('',(#\d+)\);)"), "#" + direction));
    expectMessage([&] { readStepFile(directory + "/protocolAndVertex.step"); },
                  "Could not read STEP file " + directory + "/protocolAndVertex.step: entity #" + vertex +
                      " lacks its point (a damaged reference)");
}

TEST(DamagedStepFiles, KernelMessagesCarryNoColoursOffATerminal)
{
    const std::string directory = freshDirectory("damaged-step-colours");
    writeStepFile(unitCube(), directory + "/box.step");
    writeText(directory + "/dangling.step",
              replaceGroup(contentOf(directory + "/box.step"), std::regex(R"(#(?:\d+) = VERTEX_POINT\('',(#\d+)\);)"),
                           "#999999"));
    std::string printed;
    {
        CoutCapture capture;
        EXPECT_THROW(readStepFile(directory + "/dangling.step"), vemra_exception);
        printed = capture.text();
    }
    // The kernel's own report of the fault, through its console printer.
    EXPECT_NE(printed.find("Unresolved Reference"), std::string::npos) << printed;
    // Under the test runner standard output is a pipe: no colours.
    if (!consoleMayColour()) {
        EXPECT_EQ(printed.find("\x1b["), std::string::npos) << printed;
    }
    int streamPrinters = 0;
    for (const Handle(Message_Printer) & printer : Message::DefaultMessenger()->Printers()) {
        if (auto stream = Handle(Message_PrinterOStream)::DownCast(printer)) {
            ++streamPrinters;
            EXPECT_EQ(stream->ToColorize(), consoleMayColour());
        }
    }
    EXPECT_GE(streamPrinters, 1);
}

TEST(DamagedBrepFiles, AreRefusedBeforeTheKernelReadsPastTheirEnd)
{
    const std::string directory = freshDirectory("damaged-brep");
    BRepTools::Write(richShape(), (directory + "/rich.brep").c_str(), true, false, TopTools_FormatVersion_VERSION_3,
                     Message_ProgressRange());
    BRepTools::Write(boxAt(0, 0, 0, 1, 2, 3), (directory + "/box.brep").c_str());
    const std::string rich = contentOf(directory + "/rich.brep");
    const std::string box = contentOf(directory + "/box.brep");

    // Cut inside the last section (the shapes) and inside the first curve section.
    const std::size_t shapes = rich.find("\nTShapes ");
    ASSERT_NE(shapes, std::string::npos);
    writeText(directory + "/cutInShapes.brep", rich.substr(0, shapes + (rich.size() - shapes) * 95 / 100));
    const std::size_t curves = rich.find("\nCurve2ds ");
    writeText(directory + "/cutInCurves.brep", rich.substr(0, curves + 40));

    const std::string huge = replaceGroup(box, std::regex(R"(\nCurves (\d+)\n)"), "999999999");
    writeText(directory + "/huge.brep", huge);
    const std::string hugeLine = "Curves 999999999\n";
    const std::size_t afterHuge = huge.size() - (huge.find(hugeLine) + hugeLine.size());
    writeText(directory + "/negative.brep", replaceGroup(box, std::regex(R"(\nSurfaces (\d+)\n)"), "-6"));

    // Changed digits that made the kernel's reader build an offset curve or a
    // surface of revolution on a basis it could not read, and crash on it.
    writeText(directory + "/offsetOnNothing.brep",
              replaceGroup(box, std::regex(R"(\nCurve2ds \d+\n(1 0 0 1 0) \n)"), "9 0 -2 1 0"));
    writeText(directory + "/revolutionOnNothing.brep",
              replaceGroup(box, std::regex(R"(\nSurfaces \d+\n1 0 0 0 1 0 -0 0 0 1 0 -1 0 \n(1) )"), "7"));
    writeText(directory + "/degreeZero.brep",
              replaceGroup(rich, std::regex(R"(\nSurfaces \d+\n9 \d \d \d \d (\d+) )"), "0"));
    writeText(directory + "/notANumber.brep",
              replaceGroup(box, std::regex(R"(\nCurves \d+\n1 0 0 0 0 0 (1) \n)"), "x"));

    const std::string failure = "Could not read BREP file " + directory + "/";
    const struct {
        const char* file;
        std::string message;
    } cases[] = {
        {"cutInShapes.brep", failure + "cutInShapes.brep: the file ends before the shape is complete"},
        {"cutInCurves.brep", failure + "cutInCurves.brep: damaged geometry section (the section ends early)"},
        {"huge.brep", failure + "huge.brep: the section \"Curves 999999999\" announces more items than the " +
                          std::to_string(afterHuge) + " bytes after it can hold"},
        {"negative.brep", failure + "negative.brep: the section \"Surfaces -6\" announces more items than the " +
                              std::to_string(box.size() - box.find("Surfaces 6\n") - 11) + " bytes after it can hold"},
        {"offsetOnNothing.brep", failure + "offsetOnNothing.brep: damaged geometry section (curve type \"-2\")"},
        {"revolutionOnNothing.brep",
         failure + "revolutionOnNothing.brep: damaged geometry section (curve type \"0\")"},
        {"degreeZero.brep", failure + "degreeZero.brep: damaged geometry section (degree \"0\")"},
        {"notANumber.brep", failure + "notANumber.brep: damaged geometry section (\"x\" is not a number)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        expectMessage([&] { readBrepFile(directory + "/" + c.file); }, c.message);
    }
}

TEST(DamagedBrepFiles, SoundFilesOfEveryFormReadBack)
{
    const std::string directory = freshDirectory("sound-brep");
    const TopoDS_Shape rich = richShape();
    ASSERT_NEAR(preciseVolume(rich), 2 * M_PI, 1e-6);
    BRepTools::Write(rich, (directory + "/v3.brep").c_str(), true, true, TopTools_FormatVersion_VERSION_3,
                     Message_ProgressRange());
    BRepTools::Write(rich, (directory + "/v1.brep").c_str(), true, false, TopTools_FormatVersion_VERSION_1,
                     Message_ProgressRange());
    // Another writer may end the file without a line break.
    std::string bare = contentOf(directory + "/v3.brep");
    while (!bare.empty() && std::isspace(static_cast<unsigned char>(bare.back()))) {
        bare.pop_back();
    }
    writeText(directory + "/bare.brep", bare);
    for (const char* file : {"v3.brep", "v1.brep", "bare.brep"}) {
        SCOPED_TRACE(file);
        const TopoDS_Shape read = readBrepFile(directory + "/" + file);
        EXPECT_NEAR(preciseVolume(read), 2 * M_PI, 1e-6);
        EXPECT_NO_THROW(checkShapeSoundness(read, file));
    }
}

TEST(ShapeSoundness, DamagedGeometryIsNamed)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    BRep_Builder builder;

    TopoDS_Vertex nanVertex;
    builder.MakeVertex(nanVertex, gp_Pnt(0, nan, 0), 1e-7);
    TopoDS_Vertex farVertex;
    builder.MakeVertex(farVertex, gp_Pnt(0, 0, 1e300), 1e-7);

    // An edge on a line whose origin lies far out, and one of length 1e-9.
    TopoDS_Edge farEdge;
    builder.MakeEdge(farEdge, new Geom_Line(gp_Pnt(2e100, 0, 0), gp_Dir(1, 0, 0)), 1e-7);
    builder.Range(farEdge, 0.0, 1.0);
    TopoDS_Edge pointEdge;
    builder.MakeEdge(pointEdge, new Geom_Line(gp::OX()), 1e-7);
    builder.Range(pointEdge, 0.0, 1e-9);

    // A B-spline face with one pole moved to 1e300.
    TopoDS_Shape spline = BRepBuilderAPI_NurbsConvert(unitCube()).Shape();
    const TopoDS_Face splineFace = TopoDS::Face(TopExp_Explorer(spline, TopAbs_FACE).Current());
    Handle(Geom_BSplineSurface) surface = Handle(Geom_BSplineSurface)::DownCast(BRep_Tool::Surface(splineFace));
    ASSERT_FALSE(surface.IsNull());
    const gp_Pnt pole = surface->Pole(1, 1);
    surface->SetPole(1, 1, gp_Pnt(pole.X(), 1e300, pole.Z()));

    TopoDS_Face bareFace;
    builder.MakeFace(bareFace);
    const TopoDS_Shape empty = emptySolid();

    const struct {
        const char* name;
        TopoDS_Shape shape;
        std::string message;
    } cases[] = {
        {"vertex at NaN", nanVertex, "a vertex holds the number nan" + outOfRange},
        {"vertex at 1e300", compoundOf(unitCube(), farVertex), "a vertex holds the number 1e+300" + outOfRange},
        {"edge beyond the range", farEdge, "an edge holds the number 2e+100" + outOfRange},
        {"edge of a point", pointEdge, "an edge has a bounding box collapsed to a point"},
        {"spline pole at 1e300", spline, "a face holds the number 1e+300" + outOfRange},
        {"face without surface", bareFace, "a face has no surface"},
        {"unbounded plane", BRepBuilderAPI_MakeFace(gp_Pln()).Face(), "a face has a void or unbounded bounding box"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectMessage([&] { checkShapeSoundness(c.shape, "CAD file part.step"); }, "CAD file part.step: " + c.message);
    }

    // Sound shapes, and an empty solid (the fuse drops it with a warning).
    for (const TopoDS_Shape& sound : {unitCube(), cylinder(1, 2), richShape(), empty,
                                      compoundOf(unitCube(), empty), lineEdge(1e-3), vertexAt(1, 2, 3)}) {
        EXPECT_NO_THROW(checkShapeSoundness(sound, "sound"));
    }
    EXPECT_TRUE(isKernelNumber(-9.99e99));
    EXPECT_FALSE(isKernelNumber(1e100));
    EXPECT_FALSE(isKernelNumber(-std::numeric_limits<double>::infinity()));
}
