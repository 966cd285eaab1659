// BREP and VTK side files: the bytes the kernel's and the toolkit's own file
// writers give, and failures that name the path and the system's reason on
// every thread (a full disk used to end in std::bad_cast from the kernel's
// file writer).

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <BRepTools.hxx>
#include <Message_ProgressRange.hxx>
#include <vtkNew.h>
#include <vtkPolyDataWriter.h>

#include "misc/ParallelFor.h"
#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "topology/ShapeAlgorithms.h"
#include "topology/ShapePreview.h"

namespace {

TEST(SideFileWrites, HoldTheBytesOfTheLibrariesOwnFileWriters)
{
    ScratchDirectory directory;
    const TopoDS_Shape cube = unitCube();
    const std::string own = directory.path() + "/own.brep";
    const std::string kernel = directory.path() + "/kernel.brep";
    for (const bool normals : {false, true}) {
        for (const auto version : {TopTools_FormatVersion_VERSION_1, TopTools_FormatVersion_VERSION_3}) {
            writeBrepFileAs(cube, own, normals, version);
            ASSERT_TRUE(BRepTools::Write(cube, kernel.c_str(), true, normals, version, Message_ProgressRange()));
            EXPECT_EQ(contentOf(own), contentOf(kernel)) << normals << " " << version;
        }
    }

    const std::string preview = directory.path() + "/cube.vtk";
    const std::string toolkit = directory.path() + "/toolkit.vtk";
    writeShapeVtk(cube, preview);
    vtkNew<vtkPolyDataWriter> writer;
    writer->SetFileName(toolkit.c_str());
    writer->SetFileTypeToASCII();
    writer->SetFileVersion(vtkDataWriter::VTK_LEGACY_READER_VERSION_4_2);
    writer->SetInputData(previewPolyData(cube));
    ASSERT_EQ(writer->Write(), 1);
    EXPECT_EQ(contentOf(preview), contentOf(toolkit));
}

TEST(SideFileWrites, FailuresNameThePathAndTheReasonOnEveryThread)
{
    ScratchDirectory directory;
    writeText(directory.path() + "/file", "in the way");
    const std::vector<std::pair<std::string, std::string>> targets = {
        {"/dev/full", "No space left on device"},
        {directory.path() + "/file/side", "Not a directory"},
        {directory.path() + "/missing/side", "No such file or directory"},
    };
    const TopoDS_Shape cube = unitCube();
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> writers = {
        {"BREP", [&](const std::string& path) { writeBrepFile(cube, path); }},
        {"entity BREP", [&](const std::string& path) {
             writeBrepFileAs(cube, path, false, TopTools_FormatVersion_VERSION_3);
         }},
        {"VTK", [&](const std::string& path) { writeShapeVtk(cube, path); }},
    };
    for (const auto& [kind, write] : writers) {
        SCOPED_TRACE(kind);
        std::vector<std::string> messages(targets.size());
        parallelFor(static_cast<int>(targets.size()), [&](int i) {
            const std::string& path = targets[static_cast<std::size_t>(i)].first;
            messages[static_cast<std::size_t>(i)] = thrownMessage([&] { write(path); });
        });
        for (std::size_t i = 0; i < targets.size(); ++i) {
            EXPECT_EQ(messages[i], "Could not write file " + targets[i].first + ": " + targets[i].second);
        }
    }
}

} // namespace
