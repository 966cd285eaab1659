#pragma once

#include <string>

#include <TopoDS_Shape.hxx>
#include <nlohmann/json.hpp>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

// VTK legacy ASCII polygon-data previews of CAD shapes.

// The preview's polygon data: a deep copy of the shape meshed at the preview
// accuracy, then its vertices, edges and face triangles.
vtkSmartPointer<vtkPolyData> previewPolyData(const TopoDS_Shape& shape);

// Writes the preview of the shape at the path (replacing any file there).
// The shape itself is not modified: a deep copy is meshed.
void writeShapeVtk(const TopoDS_Shape& shape, std::string path);

// Writes "Face_<i>.vtk" per face and "Volume_<id + 1>.vtk" for the whole
// solid into the existing directory and describes them as JSON.
nlohmann::json exportPreviewVtk(const TopoDS_Shape& solid, std::string directory, int id);
