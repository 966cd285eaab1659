#pragma once

#include <vector>

#include <TopoDS_Edge.hxx>
#include <TopoDS_Shape.hxx>

// Check and step-by-step repair of imported CAD shapes. Every step is logged,
// so the log tells how far the repair had to go.
class ShapeRepair {
public:
    // The input when valid, else the first valid repair result, else the last one.
    static TopoDS_Shape pre_process_cad(const TopoDS_Shape shape);
    // The same, telling whether the kernel's check accepted the result, so
    // that later checks need not analyse it again.
    static TopoDS_Shape pre_process_cad(const TopoDS_Shape shape, bool& resultValid);
    static bool is_valid(TopoDS_Shape shape);
    static TopoDS_Shape fix_basic(TopoDS_Shape shape);
    static TopoDS_Shape fix_basic_wireframe(TopoDS_Shape shape);
    static std::vector<TopoDS_Edge> find_degenerated_edges(TopoDS_Shape shape);
    static TopoDS_Shape remove_edges(TopoDS_Shape shape, std::vector<TopoDS_Edge> edges);
};
