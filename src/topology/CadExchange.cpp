#include <cctype>
#include <iostream>
#include <map>
#include <sstream>

#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <IGESControl_Reader.hxx>
#include <IGESData_IGESEntity.hxx>
#include <IGESData_IGESModel.hxx>
#include <IGESData_IGESType.hxx>
#include <Interface_Static.hxx>
#include <STEPControl_Reader.hxx>
#include <STEPControl_Writer.hxx>
#include <StepData_StepModel.hxx>
#include <StepShape_ManifoldSolidBrep.hxx>
#include <TopTools_FormatVersion.hxx>

#include <easylogging++.h>

#include "misc/FileWriting.h"
#include "misc/StringViewStream.h"
#include "misc/Utilities.h"
#include "topology/IgesFileChecks.h"
#include "topology/InputChecks.h"
#include "topology/KernelGuard.h"
#include "topology/KernelMessages.h"
#include "topology/ShapeAlgorithms.h"

namespace {

bool isBrepEntityType(int type)
{
    return type == 186 || type == 502 || type == 504 || type == 508 || type == 510 || type == 514;
}

bool holdsBrepEntity(const Handle(IGESData_IGESModel) & model)
{
    for (int i = 1; i <= model->NbEntities(); ++i) {
        if (isBrepEntityType(model->Entity(i)->IGESType().Type())) {
            return true;
        }
    }
    return false;
}

std::string igesStatusMessage(IFSelect_ReturnStatus status, const std::string& fileName)
{
    switch (status) {
    case IFSelect_RetVoid:
        return "No data to process in imported IGES file (" + fileName + ")";
    case IFSelect_RetError:
        return "Error in IGES file (" + fileName + ") input data";
    case IFSelect_RetFail:
        return "IGES file (" + fileName + ") processing failed";
    case IFSelect_RetStop:
        return "IGES file (" + fileName + ") processing stopped with error";
    default:
        return "Wrong format of the imported file (" + fileName + "). Can't import file.";
    }
}

// Manifold solids, those with voids among them.
int declaredStepSolids(const Handle(StepData_StepModel) & model)
{
    int solids = 0;
    for (int i = 1; i <= model->NbEntities(); ++i) {
        solids += model->Value(i)->IsKind(STANDARD_TYPE(StepShape_ManifoldSolidBrep)) ? 1 : 0;
    }
    return solids;
}

} // namespace

std::mutex& cadTranslatorMutex()
{
    static std::mutex mutex;
    return mutex;
}

TopoDS_Shape readStepFile(std::string path)
{
    int declaredSolids = 0;
    return readStepFile(std::move(path), declaredSolids);
}

TopoDS_Shape readStepFile(std::string path, int& declaredSolids)
{
    declaredSolids = 0;
    const std::string failure = "Could not read STEP file " + path;
    // Outside the translators' lock: it reads no translator state.
    checkStepText(readInputFile(path, "STEP"), failure);
    configureKernelMessages();
    std::lock_guard<std::mutex> lock(cadTranslatorMutex());
    try {
        STEPControl_Reader reader;
        // The reader crashes in the transfer after a failed read.
        if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) {
            throw vemra_exception(failure);
        }
        // A read that succeeds can still hold unresolved references or points
        // the transfer dereferences as null or spins on.
        const bool recovered = checkStepModel(reader, path);
        declaredSolids = declaredStepSolids(reader.StepModel());
        // Takes effect in the transfer; stays set for every later STEP read.
        Interface_Static::SetIVal("read.step.nonmanifold", 1);
        reader.TransferRoots();
        TopoDS_Shape shape = reader.OneShape();
        if (recovered) {
            // A solid the syntax errors cut short is lost with the damage,
            // which the warnings name: say so, and read what is left.
            const int read = shape.IsNull() ? 0 : subShapeMap(shape, TopAbs_SOLID).Extent();
            if (read < declaredSolids) {
                LOG(WARNING) << "STEP file " << path << " declares " << declaredSolids << " solids, " << read
                             << " could be read: the others were lost with the syntax errors";
            }
            declaredSolids = 0;
        }
        return shape;
    } catch (const Standard_Failure& error) {
        throw kernelFailure(failure, error);
    }
}

TopoDS_Shape readIgesFile(std::string path)
{
    int declaredSolids = 0;
    return readIgesFile(std::move(path), declaredSolids);
}

TopoDS_Shape readIgesFile(std::string path, int& declaredSolids)
{
    const std::string fileName = fileNameOf(path);
    // Read and checked before the kernel opens the file by name (a FIFO would
    // block it for ever); outside the translators' lock: it reads no
    // translator state.
    declaredSolids = checkIgesText(readInputFile(path, "IGES"), fileName).solids;
    configureKernelMessages();
    std::lock_guard<std::mutex> lock(cadTranslatorMutex());
    try {
        IGESControl_Reader reader;
        const IFSelect_ReturnStatus status = reader.ReadFile(path.c_str());
        const Handle(IGESData_IGESModel) model = reader.IGESModel();
        // A read that leaves no model (missing or unreadable file) has nothing to scan.
        if (model.IsNull()) {
            throw vemra_exception(igesStatusMessage(status == IFSelect_RetDone ? IFSelect_RetVoid : status, fileName));
        }
        if (!holdsBrepEntity(model)) {
            throw vemra_exception("IGES file " + fileName +
                                  " is not of B-Rep format. \n Please make sure your IGES file contains Manifold "
                                  "Solids! \n Usually in CAD editors there is an option to save IGES with Manifold "
                                  "Solids (B-Rep)");
        }
        if (status != IFSelect_RetDone) {
            throw vemra_exception(igesStatusMessage(status, fileName));
        }
        reader.ClearShapes();
        reader.TransferRoots();
        const TopoDS_Shape shape = reader.OneShape();
        // A file cut short can read without error and still transfer nothing.
        if (shape.IsNull()) {
            throw vemra_exception(igesStatusMessage(IFSelect_RetVoid, fileName));
        }
        return shape;
    } catch (const Standard_Failure& error) {
        throw kernelFailure("Could not read IGES file " + path, error);
    }
}

void writeStepFile(const TopoDS_Shape& shape, std::string path)
{
    requireShape(shape, "writeStepFile");
    const std::string failure = "Could not write file " + path;
    configureKernelMessages();
    std::lock_guard<std::mutex> lock(cadTranslatorMutex());
    try {
        STEPControl_Writer writer;
        if (writer.Transfer(shape, STEPControl_AsIs, true) != IFSelect_RetDone ||
            writer.Write(path.c_str()) != IFSelect_RetDone) {
            throw vemra_exception(failure);
        }
    } catch (const Standard_Failure& error) {
        throw kernelFailure(failure, error);
    }
}

void writeBrepFile(const TopoDS_Shape& shape, std::string path)
{
    writeBrepFileAs(shape, path, true, TopTools_FormatVersion_VERSION_1);
}

void writeBrepFileAs(const TopoDS_Shape& shape, const std::string& path, bool withNormals,
                     TopTools_FormatVersion version)
{
    requireShape(shape, "writeBrepFile");
    // The kernel's file writer changes the stream's locale while it writes; on
    // a failed write (a full disk) the file buffer then throws std::bad_cast
    // and the system's reason is lost. Its text goes to memory instead, with
    // the first line that its file writer adds.
    std::ostringstream text;
    text << "DBRep_DrawableShape\n";
    guardKernel("Could not write file " + path,
                [&] { BRepTools::Write(shape, text, true, withNormals, version, Message_ProgressRange()); });
    if (!text) {
        throw vemra_exception("Could not write file " + path);
    }
    writeFileContent(path, text.str());
}

TopoDS_Shape readBrepFile(std::string path)
{
    const std::string failure = "Could not read BREP file " + path;
    const std::string content = readInputFile(path, "BREP");
    checkBrepSections(content, failure);
    // The kernel's reader loops for ever at the end of a file cut short: a
    // stream that raises on a read past its end stops it.
    StringViewStream stream(content);
    stream.exceptions(std::ios::failbit | std::ios::badbit);
    TopoDS_Shape shape;
    bool failed = false;
    try {
        BRep_Builder builder;
        BRepTools::Read(shape, stream, builder);
    } catch (const std::ios_base::failure&) {
        failed = true;
    } catch (const Standard_Failure&) {
        failed = true;
    }
    if (failed || shape.IsNull()) {
        // A failure once the whole text is consumed: the file was cut short.
        const bool cutShort = (stream.rdstate() & std::ios::eofbit) != 0 &&
                              content.find("CASCADE Topology V") != std::string::npos;
        throw vemra_exception(cutShort ? failure + ": the file ends before the shape is complete" : failure);
    }
    return shape;
}

std::string getStepUnitCode(std::string unitName)
{
    static const std::map<std::string, std::string> codes = {
        {"inch", "INCH"},      {"mil", "MIL"},      {"microinch", "UIN"}, {"foot", "FT"},
        {"mile", "MI"},        {"metre", "M"},      {"kilometre", "KM"},  {"millimetre", "MM"},
        {"centimetre", "CM"},  {"micrometre", "UM"}, {"", "M"},
    };
    for (char& c : unitName) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto found = codes.find(unitName);
    if (found != codes.end()) {
        return found->second;
    }
    std::cerr << "Could not determine unit " << unitName << " in step file. Using meters instead" << std::endl;
    return "M";
}
