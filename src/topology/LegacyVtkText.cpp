#include "topology/LegacyVtkText.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include <vtkCellArray.h>
#include <vtkCellArrayIterator.h>
#include <vtkCellData.h>
#include <vtkFieldData.h>
#include <vtkFloatArray.h>
#include <vtkIdTypeArray.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

namespace {

// The writer breaks the lines of an array's values after every ninth value.
constexpr vtkIdType valuesPerLine = 9;

void appendInteger(std::string& text, long long value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    text.append(buffer, end);
}

// printf's "%g" (six significant digits) of the float widened to double,
// which is what the writer prints for float arrays.
void appendFloat(std::string& text, float value)
{
    char buffer[32];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::general, 6).ptr;
    text.append(buffer, end);
}

// Array names the writer prints unchanged (it escapes other characters).
bool isPlainName(const char* name)
{
    if (name == nullptr || *name == '\0') {
        return false;
    }
    for (const char* c = name; *c != '\0'; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '_';
        if (!plain) {
            return false;
        }
    }
    return true;
}

// Arrays with information keys or component names get a METADATA block.
bool hasMetaData(vtkAbstractArray& array)
{
    return array.HasInformation() || array.HasAComponentName();
}

// An array's values, each followed by a space, a line break after every
// ninth, and one more line break at the end.
template <typename Value, typename Append>
void appendValueLines(std::string& text, const Value* values, vtkIdType total, Append append)
{
    for (vtkIdType i = 0; i < total; ++i) {
        append(text, values[i]);
        text += ' ';
        if ((i + 1) % valuesPerLine == 0) {
            text += '\n';
        }
    }
    text += '\n';
}

void appendPoints(std::string& text, vtkFloatArray& coordinates, vtkIdType count)
{
    text += "POINTS ";
    appendInteger(text, count);
    text += " float\n";
    appendValueLines(text, coordinates.GetPointer(0), 3 * count, appendFloat);
}

void appendCells(std::string& text, vtkCellArray* cells, const char* label)
{
    if (cells == nullptr || cells->GetNumberOfCells() < 1) {
        return;
    }
    text += label;
    text += ' ';
    appendInteger(text, cells->GetNumberOfCells());
    text += ' ';
    appendInteger(text, cells->GetNumberOfConnectivityIds() + cells->GetNumberOfCells());
    text += '\n';
    auto cell = vtk::TakeSmartPointer(cells->NewIterator());
    for (cell->GoToFirstCell(); !cell->IsDoneWithTraversal(); cell->GoToNextCell()) {
        vtkIdType count = 0;
        const vtkIdType* ids = nullptr;
        cell->GetCurrentCell(count, ids);
        appendInteger(text, count);
        text += ' ';
        for (vtkIdType i = 0; i < count; ++i) {
            appendInteger(text, ids[i]);
            text += ' ';
        }
        text += '\n';
    }
    text += '\n';
}

// A field array of vtkIdType, which the writer prints as int.
void appendIdArray(std::string& text, vtkIdTypeArray& array)
{
    const int components = array.GetNumberOfComponents();
    const vtkIdType tuples = array.GetNumberOfTuples();
    text += array.GetName();
    text += ' ';
    appendInteger(text, components);
    text += ' ';
    appendInteger(text, tuples);
    text += " vtkIdType\n";
    appendValueLines(text, array.GetPointer(0), tuples * components,
                     [](std::string& out, vtkIdType value) { appendInteger(out, value); });
}

bool fitsInt(vtkIdTypeArray& array)
{
    const vtkIdType* values = array.GetPointer(0);
    const vtkIdType total = array.GetNumberOfValues();
    for (vtkIdType i = 0; i < total; ++i) {
        if (values[i] < std::numeric_limits<int>::min() || values[i] > std::numeric_limits<int>::max()) {
            return false;
        }
    }
    return true;
}

} // namespace

bool legacyVtkText(vtkPolyData& data, std::string& text)
{
    vtkPoints* points = data.GetPoints();
    if (points == nullptr || points->GetDataType() != VTK_FLOAT) {
        return false;
    }
    auto* coordinates = vtkFloatArray::SafeDownCast(points->GetData());
    if (coordinates == nullptr || coordinates->GetNumberOfComponents() != 3 || hasMetaData(*coordinates)) {
        return false;
    }
    if (data.GetFieldData()->GetNumberOfArrays() != 0 || data.GetPointData()->GetNumberOfArrays() != 0) {
        return false;
    }
    vtkCellData* cellData = data.GetCellData();
    for (int attribute = 0; attribute < vtkDataSetAttributes::NUM_ATTRIBUTES; ++attribute) {
        if (cellData->GetAbstractAttribute(attribute) != nullptr) {
            return false;
        }
    }
    const vtkIdType cellCount = data.GetNumberOfCells();
    if (cellCount > 0 && cellData->GetNumberOfArrays() == 0) {
        return false;
    }
    for (int i = 0; i < cellData->GetNumberOfArrays(); ++i) {
        auto* array = vtkIdTypeArray::SafeDownCast(cellData->GetAbstractArray(i));
        if (array == nullptr || !isPlainName(array->GetName()) || hasMetaData(*array) || !fitsInt(*array)) {
            return false;
        }
    }
    if (data.GetStrips() != nullptr && data.GetStrips()->GetNumberOfCells() > 0) {
        return false;
    }

    const vtkIdType pointCount = points->GetNumberOfPoints();
    text.clear();
    // About a dozen characters a coordinate and a few a cell index.
    text.reserve(static_cast<std::size_t>(40 * pointCount + 40 * cellCount + 256));
    text += "# vtk DataFile Version 4.2\nvtk output\nASCII\nDATASET POLYDATA\n";
    appendPoints(text, *coordinates, pointCount);
    appendCells(text, data.GetVerts(), "VERTICES");
    appendCells(text, data.GetLines(), "LINES");
    appendCells(text, data.GetPolys(), "POLYGONS");
    if (cellCount > 0) {
        text += "CELL_DATA ";
        appendInteger(text, cellCount);
        text += "\nFIELD FieldData ";
        appendInteger(text, cellData->GetNumberOfArrays());
        text += '\n';
        for (int i = 0; i < cellData->GetNumberOfArrays(); ++i) {
            appendIdArray(text, *vtkIdTypeArray::SafeDownCast(cellData->GetAbstractArray(i)));
        }
    }
    return true;
}
