#include "topology/ShapePreview.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <BRepAdaptor_Curve.hxx>
#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_Copy.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GCPnts_TangentialDeflection.hxx>
#include <Poly_Polygon3D.hxx>
#include <Precision.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Vertex.hxx>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkIdTypeArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>
#include <vtkSmartPointer.h>

#include "misc/FileWriting.h"
#include "misc/ParallelFor.h"
#include "topology/BoundedMesh.h"
#include "topology/KernelGuard.h"
#include "topology/LegacyVtkText.h"
#include "topology/ShapeAlgorithms.h"

namespace {

// Kinds of preview cells, as VTK viewers of CAD shapes number them.
enum MeshType : vtkIdType {
    freeVertex = 1,
    sharedVertex = 2,
    freeEdge = 3,
    boundaryEdge = 4,
    sharedEdge = 5,
    shadedFace = 7,
    seamEdge = 8,
};

// Default presentation accuracy of shape previews: a deflection relative to
// the shape's size, and 20 degrees.
constexpr double deviationCoefficient = 0.0001;
const double angularDeflection = 20.0 * M_PI / 180.0;

// Converts a meshed shape into polygon data: vertices, then edges as poly
// lines, then face triangles. The legacy writer groups cells by kind, so the
// cell-data arrays must follow that same order.
class PolyDataBuilder {
public:
    explicit PolyDataBuilder(const TopoDS_Shape& shape) : shape_(shape)
    {
        TopExp::MapShapes(shape_, subShapes_);
        points_->SetDataTypeToFloat();
    }

    vtkSmartPointer<vtkPolyData> build(double deflection)
    {
        addVertices();
        addEdges(deflection);
        addFaces();
        vtkNew<vtkIdTypeArray> ids;
        ids->SetName("SUBSHAPE_IDS");
        vtkNew<vtkIdTypeArray> types;
        types->SetName("MESH_TYPES");
        for (const auto* cells : {&vertexCells_, &lineCells_, &triangleCells_}) {
            for (const auto& [id, type] : *cells) {
                ids->InsertNextValue(id);
                types->InsertNextValue(type);
            }
        }
        auto data = vtkSmartPointer<vtkPolyData>::New();
        data->SetPoints(points_);
        data->SetVerts(verts_);
        data->SetLines(lines_);
        data->SetPolys(polys_);
        data->GetCellData()->AddArray(ids);
        data->GetCellData()->AddArray(types);
        return data;
    }

private:
    using CellTags = std::vector<std::pair<vtkIdType, vtkIdType>>;

    vtkIdType idOf(const TopoDS_Shape& subShape) const { return subShapes_.FindIndex(subShape); }

    vtkIdType addPoint(const gp_Pnt& point) { return points_->InsertNextPoint(point.X(), point.Y(), point.Z()); }

    void addVertices()
    {
        TopTools_IndexedDataMapOfShapeListOfShape vertexEdges;
        TopExp::MapShapesAndAncestors(shape_, TopAbs_VERTEX, TopAbs_EDGE, vertexEdges);
        for (int i = 1; i <= vertexEdges.Extent(); ++i) {
            const TopoDS_Vertex& vertex = TopoDS::Vertex(vertexEdges.FindKey(i));
            const vtkIdType point = addPoint(BRep_Tool::Pnt(vertex));
            verts_->InsertNextCell(1, &point);
            vertexCells_.emplace_back(idOf(vertex), vertexEdges(i).IsEmpty() ? freeVertex : sharedVertex);
        }
    }

    // The edge's polygon: on the triangulation of a face when it has one,
    // else its own 3D polygon, else a fresh discretisation of its curve.
    std::vector<gp_Pnt> edgePoints(const TopoDS_Edge& edge, const TopTools_ListOfShape& faces, double deflection)
    {
        std::vector<gp_Pnt> result;
        for (const TopoDS_Shape& face : faces) {
            TopLoc_Location location;
            const Handle(Poly_Triangulation)& triangulation = BRep_Tool::Triangulation(TopoDS::Face(face), location);
            if (triangulation.IsNull()) {
                continue;
            }
            const Handle(Poly_PolygonOnTriangulation)& polygon =
                BRep_Tool::PolygonOnTriangulation(edge, triangulation, location);
            if (polygon.IsNull()) {
                continue;
            }
            const gp_Trsf transformation = location.Transformation();
            for (int n = 1; n <= polygon->NbNodes(); ++n) {
                result.push_back(triangulation->Node(polygon->Node(n)).Transformed(transformation));
            }
            return result;
        }
        TopLoc_Location location;
        const Handle(Poly_Polygon3D)& polygon = BRep_Tool::Polygon3D(edge, location);
        if (!polygon.IsNull()) {
            const gp_Trsf transformation = location.Transformation();
            for (int n = polygon->Nodes().Lower(); n <= polygon->Nodes().Upper(); ++n) {
                result.push_back(polygon->Nodes()(n).Transformed(transformation));
            }
            return result;
        }
        if (deflection > 0.0 && BRep_Tool::IsGeometric(edge)) {
            const BRepAdaptor_Curve curve(edge);
            const GCPnts_TangentialDeflection sampling(curve, angularDeflection, deflection);
            for (int n = 1; n <= sampling.NbPoints(); ++n) {
                result.push_back(sampling.Value(n));
            }
        }
        return result;
    }

    void addEdges(double deflection)
    {
        TopTools_IndexedDataMapOfShapeListOfShape edgeFaces;
        TopExp::MapShapesAndUniqueAncestors(shape_, TopAbs_EDGE, TopAbs_FACE, edgeFaces);
        for (int i = 1; i <= edgeFaces.Extent(); ++i) {
            const TopoDS_Edge& edge = TopoDS::Edge(edgeFaces.FindKey(i));
            if (BRep_Tool::Degenerated(edge)) {
                continue;
            }
            const TopTools_ListOfShape& faces = edgeFaces(i);
            const std::vector<gp_Pnt> polyline = edgePoints(edge, faces, deflection);
            if (polyline.size() < 2) {
                continue;
            }
            std::vector<vtkIdType> ids;
            for (const gp_Pnt& point : polyline) {
                ids.push_back(addPoint(point));
            }
            lines_->InsertNextCell(static_cast<vtkIdType>(ids.size()), ids.data());
            vtkIdType type = faces.IsEmpty() ? freeEdge : faces.Extent() == 1 ? boundaryEdge : sharedEdge;
            for (const TopoDS_Shape& face : faces) {
                if (BRep_Tool::IsClosed(edge, TopoDS::Face(face))) {
                    type = seamEdge;
                }
            }
            lineCells_.emplace_back(idOf(edge), type);
        }
    }

    void addFaces()
    {
        TopTools_IndexedMapOfShape faces;
        TopExp::MapShapes(shape_, TopAbs_FACE, faces);
        for (int i = 1; i <= faces.Extent(); ++i) {
            const TopoDS_Face& face = TopoDS::Face(faces(i));
            TopLoc_Location location;
            const Handle(Poly_Triangulation)& triangulation = BRep_Tool::Triangulation(face, location);
            if (triangulation.IsNull()) {
                continue;
            }
            const gp_Trsf transformation = location.Transformation();
            const vtkIdType first = points_->GetNumberOfPoints();
            for (int n = 1; n <= triangulation->NbNodes(); ++n) {
                addPoint(triangulation->Node(n).Transformed(transformation));
            }
            const bool reversed = face.Orientation() == TopAbs_REVERSED;
            for (int t = 1; t <= triangulation->NbTriangles(); ++t) {
                int n1, n2, n3;
                triangulation->Triangle(t).Get(n1, n2, n3);
                if (reversed) {
                    std::swap(n2, n3);
                }
                const vtkIdType triangle[3] = {first + n1 - 1, first + n2 - 1, first + n3 - 1};
                polys_->InsertNextCell(3, triangle);
                triangleCells_.emplace_back(idOf(face), shadedFace);
            }
        }
    }

    TopoDS_Shape shape_;
    TopTools_IndexedMapOfShape subShapes_;
    vtkNew<vtkPoints> points_;
    vtkNew<vtkCellArray> verts_;
    vtkNew<vtkCellArray> lines_;
    vtkNew<vtkCellArray> polys_;
    CellTags vertexCells_;
    CellTags lineCells_;
    CellTags triangleCells_;
};

// Absolute deflection for the shape: the coefficient times four times its
// largest extent.
double previewDeflection(const TopoDS_Shape& shape)
{
    Bnd_Box box;
    BRepBndLib::Add(shape, box, false);
    if (box.IsVoid()) {
        return 0.0;
    }
    double xmin, ymin, zmin, xmax, ymax, zmax;
    box.Get(xmin, ymin, zmin, xmax, ymax, zmax);
    const double extent = std::max({xmax - xmin, ymax - ymin, zmax - zmin});
    if (!(extent > 0.0)) {
        return 0.0; // nothing a triangulation could show
    }
    // The mesher refuses a deflection below the kernel's confusion distance.
    return std::max(4.0 * deviationCoefficient * extent, Precision::Confusion());
}

std::string joinPath(const std::string& directory, const std::string& name)
{
    return directory + "/" + name;
}

} // namespace

namespace {

// The preview's polygon data; `what` names the preview in a meshing that does not end.
vtkSmartPointer<vtkPolyData> previewOf(const TopoDS_Shape& shape, const std::string& what)
{
    requireShape(shape, "writeShapeVtk");
    return guardKernel("writeShapeVtk", [&] {
        // Meshing a deep copy leaves the caller's shape (and every shape that
        // shares its geometry, possibly on other threads) untouched. The copy
        // reads the edges' representation lists, which a comparison's meshing
        // may be extending on another thread.
        TopoDS_Shape copy;
        {
            std::shared_lock<std::shared_mutex> lock(shapeMeshMutex());
            copy = BRepBuilderAPI_Copy(shape, true, false).Shape();
        }
        double deflection = previewDeflection(copy);
        if (deflection > 0.0) {
            deflection = meshWithinLimit(copy, deflection, angularDeflection, what, shape);
        }
        return PolyDataBuilder(copy).build(deflection);
    });
}

} // namespace

vtkSmartPointer<vtkPolyData> previewPolyData(const TopoDS_Shape& shape)
{
    return previewOf(shape, "Preview");
}

void writeShapeVtk(const TopoDS_Shape& shape, std::string path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const vtkSmartPointer<vtkPolyData> data = previewOf(shape, "Preview " + file.substr(0, file.rfind(".vtk")));
    std::string text;
    if (!legacyVtkText(*data, text)) {
        vtkNew<vtkPolyDataWriter> writer;
        writer->WriteToOutputStringOn();
        writer->SetFileTypeToASCII();
        writer->SetFileVersion(vtkDataWriter::VTK_LEGACY_READER_VERSION_4_2);
        writer->SetInputData(data);
        if (writer->Write() != 1 || writer->GetErrorCode() != 0) {
            throw vemra_exception("Could not write file " + path);
        }
        text = writer->GetOutputStdString();
    }
    writeFileContent(path, text);
}

nlohmann::json exportPreviewVtk(const TopoDS_Shape& solid, std::string directory, int id)
{
    requireShape(solid, "exportPreviewVtk");
    std::vector<TopoDS_Shape> shapes;
    std::vector<std::string> paths;
    nlohmann::json boundaries = nlohmann::json::array();
    int faceIndex = 0;
    for (TopExp_Explorer explorer(solid, TopAbs_FACE); explorer.More(); explorer.Next(), ++faceIndex) {
        const std::string name = "Face_" + std::to_string(faceIndex);
        const std::string path = joinPath(directory, name + ".vtk");
        shapes.push_back(explorer.Current());
        paths.push_back(path);
        boundaries.push_back({{"id", faceIndex}, {"name", name}, {"previewPath", path}});
    }
    const std::string name = "Volume_" + std::to_string(id + 1);
    const std::string path = joinPath(directory, name + ".vtk");
    shapes.push_back(solid);
    paths.push_back(path);

    parallelFor(static_cast<int>(shapes.size()),
                [&](int i) { writeShapeVtk(shapes[static_cast<std::size_t>(i)], paths[static_cast<std::size_t>(i)]); });
    return {{"id", id}, {"boundaries", boundaries}, {"name", name}, {"previewPath", path}};
}
