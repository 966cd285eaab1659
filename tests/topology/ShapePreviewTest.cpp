#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <omp.h>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRepPrimAPI_MakeTorus.hxx>
#include <BRep_Tool.hxx>
#include <TopExp_Explorer.hxx>
#include <TopLoc_Location.hxx>
#include <TopoDS.hxx>
#include <gp_Trsf.hxx>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkPointData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>

#include "support/Exceptions.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"
#include "support/ShapeBuilders.h"
#include "topology/LegacyVtkText.h"
#include "topology/ShapePreview.h"
#include "vemra_exception.h"

namespace {

struct PreviewFile {
    std::vector<std::string> header; // the first four lines
    vtkIdType verts = 0;
    vtkIdType lines = 0;
    vtkIdType triangles = 0;
    double area = 0.0;
    double enclosedVolume = 0.0; // from the triangles' orientation: positive when they face outwards
    double bounds[6] = {0, 0, 0, 0, 0, 0};
    bool cellArraysMatch = false;
    std::vector<int> meshTypes; // the distinct MESH_TYPES values, sorted
};

PreviewFile readPreview(const std::string& path)
{
    PreviewFile file;
    std::ifstream in(path);
    for (std::string line; file.header.size() < 4 && std::getline(in, line);) {
        file.header.push_back(line);
    }
    vtkNew<vtkPolyDataReader> reader;
    reader->SetFileName(path.c_str());
    reader->Update();
    vtkPolyData* data = reader->GetOutput();
    file.verts = data->GetNumberOfVerts();
    file.lines = data->GetNumberOfLines();
    file.triangles = data->GetNumberOfPolys();
    if (data->GetNumberOfPoints() > 0) {
        data->GetBounds(file.bounds);
    }
    vtkDataArray* ids = data->GetCellData()->GetArray("SUBSHAPE_IDS");
    vtkDataArray* types = data->GetCellData()->GetArray("MESH_TYPES");
    // Without cells the writer leaves the cell data out.
    file.cellArraysMatch = data->GetNumberOfCells() == 0 || (ids != nullptr && types != nullptr && ids->GetNumberOfTuples() == data->GetNumberOfCells() &&
                           types->GetNumberOfTuples() == data->GetNumberOfCells());
    if (types != nullptr) {
        for (vtkIdType i = 0; i < types->GetNumberOfTuples(); ++i) {
            const int type = static_cast<int>(types->GetTuple1(i));
            if (std::find(file.meshTypes.begin(), file.meshTypes.end(), type) == file.meshTypes.end()) {
                file.meshTypes.push_back(type);
            }
        }
        std::sort(file.meshTypes.begin(), file.meshTypes.end());
    }
    vtkCellArray* polys = data->GetPolys();
    polys->InitTraversal();
    vtkNew<vtkIdList> cell;
    while (polys->GetNextCell(cell)) {
        double p[3][3];
        for (int k = 0; k < 3; ++k) {
            data->GetPoint(cell->GetId(k), p[k]);
        }
        const gp_Vec a(p[0][0], p[0][1], p[0][2]), b(p[1][0], p[1][1], p[1][2]), c(p[2][0], p[2][1], p[2][2]);
        file.area += 0.5 * ((b - a) ^ (c - a)).Magnitude();
        file.enclosedVolume += a.Dot(b ^ c) / 6.0;
    }
    return file;
}

bool hasTriangulation(const TopoDS_Shape& shape)
{
    for (TopExp_Explorer explorer(shape, TopAbs_FACE); explorer.More(); explorer.Next()) {
        TopLoc_Location location;
        if (!BRep_Tool::Triangulation(TopoDS::Face(explorer.Current()), location).IsNull()) {
            return true;
        }
    }
    return false;
}

TopoDS_Shape moved(const TopoDS_Shape& shape, const gp_Vec& by)
{
    gp_Trsf translation;
    translation.SetTranslation(by);
    return shape.Moved(TopLoc_Location(translation));
}

// The text VTK's own legacy writer makes of the data.
std::string writerText(vtkPolyData* data)
{
    vtkNew<vtkPolyDataWriter> writer;
    writer->SetFileTypeToASCII();
    writer->SetFileVersion(vtkDataWriter::VTK_LEGACY_READER_VERSION_4_2);
    writer->WriteToOutputStringOn();
    writer->SetInputData(data);
    writer->Write();
    return writer->GetOutputStdString();
}

} // namespace

TEST(ShapePreview, UnitCubeFile)
{
    const std::string directory = freshDirectory("preview-cube");
    const TopoDS_Shape cube = unitCube();
    writeShapeVtk(cube, directory + "/cube.vtk");
    const PreviewFile file = readPreview(directory + "/cube.vtk");
    EXPECT_EQ(file.header,
              (std::vector<std::string>{"# vtk DataFile Version 4.2", "vtk output", "ASCII", "DATASET POLYDATA"}));
    EXPECT_EQ(file.verts, 8);
    EXPECT_EQ(file.lines, 12);
    EXPECT_EQ(file.triangles, 12);
    EXPECT_NEAR(file.area, 6.0, 1e-6);
    EXPECT_NEAR(file.enclosedVolume, 1.0, 1e-6);
    EXPECT_TRUE(file.cellArraysMatch);
    EXPECT_EQ(file.meshTypes, (std::vector<int>{2, 5, 7})); // shared vertices, shared edges, shaded faces
    const double bounds[6] = {0, 1, 0, 1, 0, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(file.bounds[i], bounds[i], 1e-6) << i;
    }
    // The caller's shape is not meshed: a deep copy is.
    EXPECT_FALSE(hasTriangulation(cube));
}

TEST(ShapePreview, ShapesOfEveryKind)
{
    const std::string directory = freshDirectory("preview-kinds");
    const struct {
        const char* name;
        TopoDS_Shape shape;
        double area;
        double volume; // enclosed by the oriented triangles; 0 for open shapes
        vtkIdType verts;
        vtkIdType lines;
        double bounds[6];
    } cases[] = {
        {"cylinder", cylinder(1, 2), 6 * M_PI, 2 * M_PI, 2, 3, {-1, 1, -1, 1, 0, 2}},
        {"sphere", BRepPrimAPI_MakeSphere(2.0).Shape(), 16 * M_PI, 32 * M_PI / 3, 2, 1, {-2, 2, -2, 2, -2, 2}},
        {"moved box", moved(boxAt(0, 0, 0, 1, 2, 3), gp_Vec(10, 0, 0)), 22, 6, 8, 12, {10, 11, 0, 2, 0, 3}},
        {"inside-out cube", unitCube().Reversed(), 6, -1, 8, 12, {0, 1, 0, 1, 0, 1}},
        {"edge", segment(gp_Pnt(0, 0, 0), gp_Pnt(0, 0, 5)), 0, 0, 2, 1, {0, 0, 0, 0, 0, 5}},
        {"vertex", vertexAt(1, 2, 3), 0, 0, 1, 0, {1, 1, 2, 2, 3, 3}},
        {"empty compound", compoundOf(), 0, 0, 0, 0, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const std::string path = directory + "/" + c.name + ".vtk";
        writeShapeVtk(c.shape, path);
        const PreviewFile file = readPreview(path);
        EXPECT_EQ(file.header.at(0), "# vtk DataFile Version 4.2") << c.name;
        EXPECT_NEAR(file.area, c.area, 0.01 * c.area) << c.name;
        EXPECT_NEAR(file.enclosedVolume, c.volume, 0.01 * std::fabs(c.volume)) << c.name;
        EXPECT_EQ(file.verts, c.verts) << c.name;
        EXPECT_EQ(file.lines, c.lines) << c.name;
        EXPECT_TRUE(file.cellArraysMatch) << c.name;
        for (int i = 0; i < 6; ++i) {
            EXPECT_NEAR(file.bounds[i], c.bounds[i], 1e-3) << c.name << " bound " << i;
        }
    }
}

TEST(ShapePreview, WholeSolidExport)
{
    const std::string directory = freshDirectory("preview-solid");
    const nlohmann::json result = exportPreviewVtk(cylinder(1, 2), directory, 4);
    const nlohmann::json expected = {
        {"id", 4},
        {"name", "Volume_5"},
        {"previewPath", directory + "/Volume_5.vtk"},
        {"boundaries",
         {{{"id", 0}, {"name", "Face_0"}, {"previewPath", directory + "/Face_0.vtk"}},
          {{"id", 1}, {"name", "Face_1"}, {"previewPath", directory + "/Face_1.vtk"}},
          {{"id", 2}, {"name", "Face_2"}, {"previewPath", directory + "/Face_2.vtk"}}}},
    };
    EXPECT_EQ(result, expected);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Face_0.vtk", "Face_1.vtk", "Face_2.vtk", "Volume_5.vtk"}));
    // The side, top and bottom add up to the whole surface.
    double faceArea = 0.0;
    for (int i = 0; i < 3; ++i) {
        faceArea += readPreview(directory + "/Face_" + std::to_string(i) + ".vtk").area;
    }
    EXPECT_NEAR(faceArea, 6 * M_PI, 0.01 * 6 * M_PI);
    EXPECT_NEAR(readPreview(directory + "/Volume_5.vtk").area, 6 * M_PI, 0.01 * 6 * M_PI);

    // The same bytes whatever the number of threads.
    const std::string serialDirectory = freshDirectory("preview-solid-serial");
    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    exportPreviewVtk(cylinder(1, 2), serialDirectory, 4);
    omp_set_num_threads(threads);
    for (const std::string name : {"Face_0.vtk", "Face_1.vtk", "Face_2.vtk", "Volume_5.vtk"}) {
        EXPECT_EQ(contentOf(serialDirectory + "/" + name), contentOf(directory + "/" + name)) << name;
    }

    // Without faces only the volume file; a trailing separator is kept as given.
    const std::string edgeDirectory = freshDirectory("preview-edge");
    const nlohmann::json edgeResult = exportPreviewVtk(segment(gp_Pnt(0, 0, 0), gp_Pnt(1, 0, 0)), edgeDirectory + "/", 0);
    EXPECT_EQ(edgeResult, (nlohmann::json{{"id", 0},
                                          {"name", "Volume_1"},
                                          {"previewPath", edgeDirectory + "//Volume_1.vtk"},
                                          {"boundaries", nlohmann::json::array()}}));
    EXPECT_TRUE(std::filesystem::exists(edgeDirectory + "/Volume_1.vtk"));
}

TEST(ShapePreview, Failures)
{
    const std::string missing = freshDirectory("preview-failures") + "/no such folder";
    expectMessage([] { writeShapeVtk(TopoDS_Shape(), "null.vtk"); }, "writeShapeVtk: null shape");
    expectMessage([&] { writeShapeVtk(unitCube(), missing + "/cube.vtk"); },
                  "Could not write file " + missing + "/cube.vtk: No such file or directory");
    expectMessage([] { exportPreviewVtk(TopoDS_Shape(), ".", 0); }, "exportPreviewVtk: null shape");
    // The face files fail first; every one is attempted, the first failure is reported.
    expectMessage([&] { exportPreviewVtk(unitCube(), missing, 0); },
                  "Could not write file " + missing + "/Face_0.vtk: No such file or directory");
}

// The previews' text is formatted by the system itself; it must stay what
// VTK's legacy writer makes of the same data, to the byte.
TEST(ShapePreview, TextIsTheLegacyWritersText)
{
    const std::string directory = freshDirectory("preview-text");
    const TopoDS_Shape torus = BRepPrimAPI_MakeTorus(3.0, 1.0, M_PI).Shape();
    const struct {
        const char* name;
        TopoDS_Shape shape;
    } cases[] = {
        {"cube", unitCube()},
        {"cylinder", cylinder(1, 2)},
        {"half torus", torus},
        {"torus faces", compoundOf({TopExp_Explorer(torus, TopAbs_FACE).Current()})},
        {"sphere", BRepPrimAPI_MakeSphere(2.0).Shape()},
        {"plate with a hole", BRepAlgoAPI_Cut(boxAt(-2, -2, 0, 4, 4, 1), cylinder(1, 1)).Shape()},
        // Coordinates that %g prints with an exponent, small and large.
        {"tiny box", boxAt(-1e-5, 2e-6, 0, 3e-5, 1e-5, 2e-5)},
        {"far box", boxAt(1.5e7, -2e8, 3e-3, 1e6, 1e6, 1e6)},
        {"inside-out cube", unitCube().Reversed()},
        {"edge", segment(gp_Pnt(0, 0, 0), gp_Pnt(0, 0, 5))},
        {"vertex", vertexAt(1, 2, 3)},
        {"empty compound", compoundOf()},
    };
    for (const auto& c : cases) {
        const vtkSmartPointer<vtkPolyData> data = previewPolyData(c.shape);
        std::string text;
        ASSERT_TRUE(legacyVtkText(*data, text)) << c.name;
        const std::string expected = writerText(data);
        EXPECT_EQ(text, expected) << c.name;
        const std::string path = directory + "/" + c.name + ".vtk";
        writeShapeVtk(c.shape, path);
        EXPECT_EQ(contentOf(path), expected) << c.name;
    }

    // Data the previews never hold is left to the writer: double points,
    // point data, cell data of another type.
    const vtkSmartPointer<vtkPolyData> cube = previewPolyData(unitCube());
    const auto changedCube = [&](const std::function<void(vtkPolyData&)>& change) {
        auto data = vtkSmartPointer<vtkPolyData>::New();
        data->DeepCopy(cube);
        change(*data);
        return data;
    };
    const vtkSmartPointer<vtkPolyData> unsupported[] = {
        changedCube([](vtkPolyData& data) {
            vtkNew<vtkPoints> points;
            points->SetDataTypeToDouble();
            points->DeepCopy(data.GetPoints());
            data.SetPoints(points);
        }),
        changedCube([](vtkPolyData& data) {
            vtkNew<vtkFloatArray> normals;
            normals->SetName("Normals");
            normals->SetNumberOfTuples(data.GetNumberOfPoints());
            data.GetPointData()->AddArray(normals);
        }),
        changedCube([](vtkPolyData& data) {
            vtkNew<vtkDoubleArray> weights;
            weights->SetName("WEIGHTS");
            weights->SetNumberOfTuples(data.GetNumberOfCells());
            data.GetCellData()->AddArray(weights);
        }),
    };
    for (const auto& data : unsupported) {
        std::string text;
        EXPECT_FALSE(legacyVtkText(*data, text));
    }
}
