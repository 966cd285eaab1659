#pragma once

#include <string>

#include <TopoDS_Shape.hxx>
#include <nlohmann/json.hpp>

// VTK legacy ASCII polygon-data previews of CAD shapes.

// Writes the preview of the shape at the path (replacing any file there).
// The shape itself is not modified: a deep copy is meshed.
void writeShapeVtk(const TopoDS_Shape& shape, std::string path);

// Writes "Face_<i>.vtk" per face and "Volume_<id + 1>.vtk" for the whole
// solid into the existing directory and describes them as JSON.
nlohmann::json exportPreviewVtk(const TopoDS_Shape& solid, std::string directory, int id);
