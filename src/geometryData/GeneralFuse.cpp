#include "geometryData/GeneralFuse.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <vector>

#include <BOPAlgo_Builder.hxx>
#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>
#include <Message_Alert.hxx>
#include <Message_Report.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_MapOfShape.hxx>

#include <easylogging++.h>

#include "misc/ParallelFor.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

// Alert names of one gravity, each once, in the order the kernel raised them.
std::string alertNames(const Handle(Message_Report) & report, Message_Gravity gravity)
{
    std::string names;
    std::set<std::string> seen;
    for (const Handle(Message_Alert) & alert : report->GetAlerts(gravity)) {
        const std::string name = alert->GetMessageKey();
        if (seen.insert(name).second) {
            names += (names.empty() ? "" : ", ") + name;
        }
    }
    return names;
}

// Enough digits to tell a loss within the tolerance's order from none.
std::string numberText(double value)
{
    std::ostringstream text;
    text.precision(10);
    text << value;
    return text.str();
}

double solidVolume(const TopoDS_Shape& solid)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(solid, properties);
    return properties.Mass();
}

} // namespace

void checkVolumeKept(const TopTools_ListOfShape& arguments, const TopoDS_Shape& result, const std::string& operation)
{
    std::vector<TopoDS_Shape> solids;
    for (const TopoDS_Shape& argument : arguments) {
        for (TopExp_Explorer explorer(argument, TopAbs_SOLID); explorer.More(); explorer.Next()) {
            solids.push_back(explorer.Current());
        }
    }
    const std::size_t argumentSolids = solids.size();
    TopTools_MapOfShape seen;
    for (TopExp_Explorer explorer(result, TopAbs_SOLID); explorer.More(); explorer.Next()) {
        if (seen.Add(explorer.Current())) {
            solids.push_back(explorer.Current());
        }
    }
    // Measured in parallel, summed in order: the same verdict whatever the thread count.
    std::vector<double> volumes(solids.size());
    parallelFor(static_cast<int>(solids.size()), [&](int i) {
        const auto index = static_cast<std::size_t>(i);
        volumes[index] = solidVolume(solids[index]);
    });

    double largestArgument = 0.0;
    for (std::size_t i = 0; i < argumentSolids; ++i) {
        largestArgument = std::max(largestArgument, volumes[i]);
    }
    double total = 0.0;
    for (std::size_t i = argumentSolids; i < volumes.size(); ++i) {
        if (!(volumes[i] > 0.0)) {
            throw vemra_exception(operation + " failed: the result holds a solid of non-positive volume " +
                                  numberText(volumes[i]));
        }
        total += volumes[i];
    }
    if (total < largestArgument * (1.0 - 1e-6)) {
        throw vemra_exception(operation + " failed: the solids of the result hold a volume of " + numberText(total) +
                              ", less than the largest solid given (" + numberText(largestArgument) + ")");
    }
}

namespace {

// Appends the sub-shapes of one type found in the shape (not inside a shape of
// the avoided type), each distinct sub-shape once.
void appendPieces(const TopoDS_Shape& shape, TopAbs_ShapeEnum type, TopAbs_ShapeEnum avoid,
                  TopTools_ListOfShape& pieces)
{
    if (shape.IsNull()) {
        return;
    }
    TopTools_MapOfShape seen;
    for (TopExp_Explorer explorer(shape, type, avoid); explorer.More(); explorer.Next()) {
        if (!seen.Add(explorer.Current())) {
            continue;
        }
        // A solid without faces holds no geometry, and fusing it loses the
        // volume of the others.
        if (type == TopAbs_SOLID && !holdsSubShape(explorer.Current(), TopAbs_FACE)) {
            LOG(WARNING) << "An empty solid (without faces) takes no part in the fuse and is dropped";
            continue;
        }
        pieces.Append(explorer.Current());
    }
}

} // namespace

GeneralFuseResult runGeneralFuse(const TopTools_ListOfShape& arguments, const GeneralFuseOptions& options)
{
    GeneralFuseResult result;
    try {
        BOPAlgo_Builder builder;
        for (const TopoDS_Shape& argument : arguments) {
            builder.AddArgument(argument);
        }
        builder.SetRunParallel(options.parallel);
        builder.SetNonDestructive(true);
        builder.SetGlue(options.glue);
        if (options.tolerance > Precision::Confusion()) {
            builder.SetFuzzyValue(options.tolerance);
        }
        builder.Perform();

        const std::string warnings = alertNames(builder.GetReport(), Message_Warning);
        if (!warnings.empty()) {
            LOG(WARNING) << "General fuse warnings: " << warnings;
        }
        if (builder.HasErrors()) {
            result.errors = alertNames(builder.GetReport(), Message_Fail);
            if (result.errors.empty()) {
                result.errors = "unnamed kernel error";
            }
            return result;
        }
        result.shape = builder.Shape();
        result.history = builder.History();
        checkVolumeKept(arguments, result.shape, options.operation);
    } catch (const Standard_Failure& failure) {
        result.errors = "CAD kernel failure: " + kernelFailureText(failure);
        result.shape.Nullify();
    }
    return result;
}

TopTools_ListOfShape flattenToPieces(const TopTools_ListOfShape& shapes)
{
    TopTools_ListOfShape pieces;
    const std::vector<std::pair<TopAbs_ShapeEnum, TopAbs_ShapeEnum>> passes = {
        {TopAbs_SOLID, TopAbs_SHAPE},
        {TopAbs_FACE, TopAbs_SOLID},
        {TopAbs_EDGE, TopAbs_FACE},
        {TopAbs_VERTEX, TopAbs_EDGE},
    };
    for (const auto& [type, avoid] : passes) {
        for (const TopoDS_Shape& shape : shapes) {
            appendPieces(shape, type, avoid, pieces);
        }
    }
    return pieces;
}
