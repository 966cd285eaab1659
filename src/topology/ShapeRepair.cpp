#include "topology/ShapeRepair.h"

#include <functional>
#include <iostream>

#include <BRepCheck_Analyzer.hxx>
#include <BRepTools_ReShape.hxx>
#include <BRep_Tool.hxx>
#include <ShapeFix_Shape.hxx>
#include <ShapeFix_Wireframe.hxx>
#include <Standard_Failure.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>

#include "topology/KernelGuard.h"

namespace {

// A kernel failure while repairing reaches the caller as the system's
// exception naming the step; so does a step that leaves no shape, rather
// than the ladder going on silently with an older one.
TopoDS_Shape runStep(const char* step, const TopoDS_Shape& shape,
                     const std::function<TopoDS_Shape(const TopoDS_Shape&)>& repair)
{
    const std::string name = std::string("pre_process_cad: ") + step;
    TopoDS_Shape result;
    try {
        result = repair(shape);
    } catch (const Standard_Failure& failure) {
        throw kernelFailure(name, failure);
    }
    if (result.IsNull()) {
        throw vemra_exception(name + ": CAD kernel failure: the step left a null shape");
    }
    return result;
}

bool checkedValid(const TopoDS_Shape& shape)
{
    try {
        return ShapeRepair::is_valid(shape);
    } catch (const Standard_Failure& failure) {
        throw kernelFailure("pre_process_cad: shape check", failure);
    }
}

} // namespace

TopoDS_Shape ShapeRepair::pre_process_cad(const TopoDS_Shape shape)
{
    bool resultValid = false;
    return pre_process_cad(shape, resultValid);
}

TopoDS_Shape ShapeRepair::pre_process_cad(const TopoDS_Shape shape, bool& resultValid)
{
    requireShape(shape, "pre_process_cad");
    resultValid = true;
    if (checkedValid(shape)) {
        LOG(INFO) << "pre_process_cad: Shape is valid, it will not be modified" << std::endl;
        return shape;
    }
    std::cout << "Some issues have been detected for the imported geometry. See log for details" << std::endl;
    LOG(INFO) << "pre_process_cad: Shape is invalid, beginning repair" << std::endl;

    TopoDS_Shape result = runStep("fix_basic", shape, fix_basic);
    if (checkedValid(result)) {
        LOG(INFO) << "pre_process_cad: Shape after fix_basic is valid" << std::endl;
        return result;
    }
    LOG(INFO) << "pre_process_cad: resultShape after fix_basic is not valid" << std::endl;

    result = runStep("fix_basic_wireframe", result, fix_basic_wireframe);
    if (checkedValid(result)) {
        LOG(INFO) << "pre_process_cad: Shape after fix_basic_wireframe is valid" << std::endl;
        return result;
    }
    LOG(INFO) << "pre_process_cad: Shape after ShapeFix_Wireframe is not valid" << std::endl;

    result = runStep("remove_edges", result, [](const TopoDS_Shape& current) {
        const std::vector<TopoDS_Edge> degenerated = find_degenerated_edges(current);
        return degenerated.empty() ? current : remove_edges(current, degenerated);
    });
    if (checkedValid(result)) {
        LOG(INFO) << "pre_process_cad: Shape after removing degenerated_edges is valid" << std::endl;
        return result;
    }
    LOG(INFO) << "pre_process_cad: Shape after removing degenerated_edges is invalid" << std::endl;

    result = runStep("fix_basic", result, fix_basic);
    if (checkedValid(result)) {
        LOG(INFO) << "pre_process_cad: Shape after fix_basic is valid" << std::endl;
        return result;
    }
    LOG(INFO) << "pre_process_cad: resultShape after fix_basic is not valid, no further modifications will be done"
              << std::endl;
    resultValid = false;
    return result;
}

bool ShapeRepair::is_valid(TopoDS_Shape shape)
{
    requireShape(shape, "is_valid");
    // The kernel's parallel analysis: each sub-shape's verdict is its own, so
    // the answer does not depend on the threads; one large solid no longer
    // keeps the check on one core.
    return BRepCheck_Analyzer(shape, true, true).IsValid();
}

TopoDS_Shape ShapeRepair::fix_basic(TopoDS_Shape shape)
{
    requireShape(shape, "fix_basic");
    ShapeFix_Shape fix(shape);
    fix.Perform();
    return fix.Shape();
}

TopoDS_Shape ShapeRepair::fix_basic_wireframe(TopoDS_Shape shape)
{
    requireShape(shape, "fix_basic_wireframe");
    ShapeFix_Wireframe fix(shape);
    fix.FixSmallEdges();
    fix.FixWireGaps();
    return fix.Shape();
}

std::vector<TopoDS_Edge> ShapeRepair::find_degenerated_edges(TopoDS_Shape shape)
{
    requireShape(shape, "find_degenerated_edges");
    std::vector<TopoDS_Edge> edges;
    for (TopExp_Explorer explorer(shape, TopAbs_EDGE); explorer.More(); explorer.Next()) {
        const TopoDS_Edge& edge = TopoDS::Edge(explorer.Current());
        if (BRep_Tool::Degenerated(edge)) {
            edges.push_back(edge);
        }
    }
    return edges;
}

TopoDS_Shape ShapeRepair::remove_edges(TopoDS_Shape shape, std::vector<TopoDS_Edge> edges)
{
    requireShape(shape, "remove_edges");
    Handle(BRepTools_ReShape) reshape = new BRepTools_ReShape();
    for (const TopoDS_Edge& edge : edges) {
        reshape->Remove(edge);
    }
    return reshape->Apply(shape, TopAbs_SHAPE);
}
