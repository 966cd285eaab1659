#pragma once

#include <string>

class vtkPolyData;

// The text of a VTK legacy ASCII polygon-data file (version 4.2), byte for
// byte as vtkPolyDataWriter writes it, for the data that shape previews hold:
// float points, vertex, line and polygon cells, and cell-data arrays
// of vtkIdType that are not attributes. Formatting every number with
// std::to_chars into one buffer costs a fraction of the writer's snprintf and
// stream call per number, and the file then goes out in one write.
//
// Returns false, with the text unspecified, when the data holds anything
// else (other point types, point or field data, attribute arrays, triangle
// strips): such data
// is left to the writer itself.
bool legacyVtkText(vtkPolyData& data, std::string& text);
