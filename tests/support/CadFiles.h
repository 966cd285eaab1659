#pragma once

#include <filesystem>
#include <mutex>

#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <TopoDS_Shape.hxx>
#include <gtest/gtest.h>

#include "topology/ShapeAlgorithms.h"

// Writes an IGES file with the kernel's own writer. Mode 1 writes B-Rep
// solids (entity 186), mode 0 trimmed surfaces only, which the reader refuses.
inline void writeIges(const TopoDS_Shape& shape, const std::filesystem::path& file, int mode = 1)
{
    std::lock_guard<std::mutex> lock(cadTranslatorMutex());
    IGESControl_Controller::Init();
    IGESControl_Writer writer("MM", mode);
    ASSERT_TRUE(writer.AddShape(shape));
    writer.ComputeModel();
    ASSERT_TRUE(writer.Write(file.string().c_str()));
}
