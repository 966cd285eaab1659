// IGES files damaged the ways that made the kernel's reader crash, spin or
// allocate without bound: each is refused before the reader with its fault
// and the entity that holds it, and sound files pass.

#include <unistd.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "support/CadFiles.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/IgesText.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "support/ShapeMeasures.h"
#include "topology/IgesFileChecks.h"
#include "topology/ShapeAlgorithms.h"

namespace {

// A unit cube as the kernel's writer gives it: a manifold solid, its shell of
// six faces, one edge list of twelve edges and one vertex list of eight.
std::string cubeText()
{
    static const std::string text = [] {
        // Each test runs in a process of its own, and each writes its cube.
        const std::string directory = freshDirectory("iges-checks-cube-" + std::to_string(::getpid()));
        writeIges(unitCube(), directory + "/cube.igs", 1);
        return contentOf(directory + "/cube.igs");
    }();
    return text;
}

std::string de(int entity)
{
    return std::to_string(entity);
}

} // namespace

TEST(IgesFileChecks, SoundFilesPassAndCountTheirSolids)
{
    EXPECT_EQ(checkIgesText(cubeText(), "cube.igs").solids, 1);
    // Blank lines and CR line ends after the terminate record are no damage.
    std::string crlf;
    for (const std::string& line : IgesText(cubeText()).lines) {
        crlf += line + "\r\n";
    }
    EXPECT_EQ(checkIgesText(crlf + "\r\n\r\n", "cube.igs").solids, 1);

    const std::string directory = freshDirectory("iges-checks-sound");
    writeIges(compoundOf({boxAt(0, 0, 0), cylinder(1, 2)}), directory + "/two.igs", 1);
    EXPECT_EQ(checkIgesText(contentOf(directory + "/two.igs"), "two.igs").solids, 2);
    // Not IGES text at all: the reader refuses it with its own status.
    EXPECT_EQ(checkIgesText("solid cube\nendsolid\n", "stl.igs").solids, 0);
}

TEST(IgesFileChecks, DamagedFilesAreRefusedNamingTheFaultAndTheEntity)
{
    const IgesText cube(cubeText());
    const int solid = cube.entityOfType(186);
    const int shell = cube.entityOfType(514);
    const int face = cube.entityOfType(510);
    const int loop = cube.entityOfType(508);
    const int edges = cube.entityOfType(504);
    const int vertices = cube.entityOfType(502);
    const int line = cube.entityOfType(110);
    const int secondLine = cube.entityOfType(110, 1);
    ASSERT_TRUE(solid && shell && face && loop && edges && vertices && line && secondLine);
    const std::string text = cubeText();
    const std::size_t lastLine = text.rfind('\n', text.size() - 2) + 1;

    const struct {
        const char* name;
        std::function<std::string()> damaged;
        std::string fault;
    } cases[] = {
        {"cut at 70 %", [&] { return text.substr(0, text.size() * 7 / 10); },
         "the file ends without its terminate record (T section): it is cut short"},
        {"cut at 90 %", [&] { return text.substr(0, text.size() * 9 / 10); },
         "the file ends without its terminate record (T section): it is cut short"},
        {"cut in its last line", [&] { return text.substr(0, lastLine + 40); },
         "the file ends without its terminate record (T section): it is cut short"},
        {"a parameter record lost",
         [&] {
             IgesText t(text);
             t.lines.erase(t.lines.end() - 30);
             return t.text();
         },
         "the P section holds 54 records where the terminate record announces 55: the file is cut short or damaged"},
        {"a shell of a solid that is the solid itself",
         [&] {
             IgesText t(text);
             t.replaceInParameters(solid, "186," + de(shell) + ",", "186," + de(solid) + ",");
             return t.text();
         },
         "its shell pointer leads to itself (entity " + de(solid) + ")"},
        {"a loop's edge list that is the loop itself",
         [&] {
             IgesText t(text);
             t.replaceInParameters(loop, "," + de(edges) + ",", "," + de(loop) + ",");
             return t.text();
         },
         "its edge list pointer leads to itself (entity " + de(loop) + ")"},
        {"a face's loop that is nothing",
         [&] {
             IgesText t(text);
             t.replaceInParameters(face, "," + de(loop) + ";", ",999;");
             return t.text();
         },
         "its loop pointer 999 leads to no directory entry (entity " + de(face) + ")"},
        {"an edge's curve in the middle of a directory entry",
         [&] {
             IgesText t(text);
             t.replaceInParameters(edges, "504,12," + de(line) + ",", "504,12," + de(line + 1) + ",");
             return t.text();
         },
         "its edge curve pointer " + de(line + 1) + " leads to no directory entry (entity " + de(edges) + ")"},
        {"a shell whose face is a line",
         [&] {
             IgesText t(text);
             t.replaceInParameters(shell, "514,6," + de(face) + ",", "514,6," + de(line) + ",");
             return t.text();
         },
         "its face pointer " + de(line) + " leads to a line (type 110) where a face (type 510) belongs (entity " +
             de(shell) + ")"},
        {"an edge count beyond the file",
         [&] {
             IgesText t(text);
             t.replaceInParameters(edges, "504,12,", "504,999999999,");
             return t.text();
         },
         // Twelve edges of five parameters each.
         "its edge count 999999999 cannot fit in the 60 parameters that follow it (entity " + de(edges) + ")"},
        {"a face count beyond the file",
         [&] {
             IgesText t(text);
             t.replaceInParameters(shell, "514,6,", "514,999999999,");
             return t.text();
         },
         "its face count 999999999 cannot fit in the 12 parameters that follow it (entity " + de(shell) + ")"},
        {"a vertex count beyond the file",
         [&] {
             IgesText t(text);
             t.replaceInParameters(vertices, "502,8,", "502,999999999,");
             return t.text();
         },
         "its vertex count 999999999 cannot fit in the 24 parameters that follow it (entity " + de(vertices) + ")"},
        {"a vertex index beyond its list",
         [&] {
             IgesText t(text);
             t.replaceInParameters(edges, "," + de(vertices) + ",1,", "," + de(vertices) + ",9,");
             return t.text();
         },
         "its start vertex index 9 lies outside the 8 items of entity " + de(vertices) + " (entity " + de(edges) +
             ")"},
        {"a line end at 1.E999",
         [&] {
             IgesText t(text);
             t.replaceInParameters(line, "1.;", "1.E999;");
             return t.text();
         },
         "the number 1.E999 is not a finite number within the kernel's range (entity " + de(line) + ")"},
        {"a line end beyond the kernel's range",
         [&] {
             IgesText t(text);
             t.replaceInParameters(line, "1.;", "1.D300;");
             return t.text();
         },
         "the number 1.D300 is not a finite number within the kernel's range (entity " + de(line) + ")"},
        {"a coordinate that is no number",
         [&] {
             IgesText t(text);
             t.replaceInParameters(line, "1.;", "nan;");
             return t.text();
         },
         "the parameter 'nan' is not a number (entity " + de(line) + ")"},
        {"two curves made of each other",
         [&] {
             IgesText t(text);
             t.setType(line, 102);
             t.setParameters(line, "102,1," + de(secondLine) + ";");
             t.setType(secondLine, 102);
             t.setParameters(secondLine, "102,1," + de(line) + ";");
             return t.text();
         },
         "entities " + de(line) + " -> " + de(secondLine) + " -> " + de(line) +
             " refer to each other in a cycle (entity " + de(line) + ")"},
        {"a model space scale of zero",
         [&] {
             std::string t = text;
             const std::size_t scale = t.find(",1.,2,2HMM,");
             return scale == std::string::npos ? t : t.replace(scale, 3, ",0.");
         },
         "the global section's model space scale 0. is not positive"},
        {"a global resolution beyond the kernel's range",
         [&] {
             std::string t = text;
             const std::size_t resolution = t.find(",1E-07,");
             return resolution == std::string::npos ? t : t.replace(resolution, 7, ",1E999,");
         },
         "the number 1E999 is not a finite number within the kernel's range"},
        {"parameters beyond the P section",
         [&] {
             IgesText t(text);
             t.setDirectoryField(line, 0, 1, 999);
             return t.text();
         },
         "its parameter records 999 to 999 lie outside the 55 records of the P section (entity " + de(line) + ")"},
        {"a transformation that is a line",
         [&] {
             IgesText t(text);
             t.setDirectoryField(face, 0, 6, line);
             return t.text();
         },
         "its transformation pointer " + de(line) +
             " leads to a line (type 110) where a transformation matrix (type 124) belongs (entity " + de(face) + ")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectMessage([&] { checkIgesText(c.damaged(), "damaged.igs"); }, "IGES file damaged.igs: " + c.fault);
    }
}

TEST(IgesFileChecks, TheReaderRefusesDamagedFilesBeforeTheKernelReadsThem)
{
    const std::string directory = freshDirectory("iges-checks-reader");
    IgesText text(cubeText());
    text.replaceInParameters(text.entityOfType(504), "504,12,", "504,999999999,");
    writeText(directory + "/bracket.igs", text.text());
    expectMessage([&] { readIgesFile(directory + "/bracket.igs"); },
                  "IGES file bracket.igs: its edge count 999999999 cannot fit in the 60 parameters that follow it "
                  "(entity " + std::to_string(text.entityOfType(504)) + ")");

    writeText(directory + "/cube.igs", cubeText());
    int declared = -1;
    const TopoDS_Shape cube = readIgesFile(directory + "/cube.igs", declared);
    EXPECT_EQ(declared, 1);
    EXPECT_NEAR(volumeOf(cube), 1.0, 1e-9);
}
