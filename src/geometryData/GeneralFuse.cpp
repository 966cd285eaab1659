#include "geometryData/GeneralFuse.h"

#include <set>
#include <vector>

#include <BOPAlgo_Builder.hxx>
#include <Message_Alert.hxx>
#include <Message_Report.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_MapOfShape.hxx>

#include <easylogging++.h>

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
        if (seen.Add(explorer.Current())) {
            pieces.Append(explorer.Current());
        }
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
    } catch (const Standard_Failure& failure) {
        result.errors = std::string("kernel failure ") + failure.DynamicType()->Name() + ": " +
                        failure.GetMessageString();
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
