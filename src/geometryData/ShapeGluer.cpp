#include "geometryData/ShapeGluer.h"

#include <TopoDS_Iterator.hxx>

#include <easylogging++.h>

#include "geometryData/GeneralFuse.h"
#include "vemra_exception.h"

void ShapeGluer::SetArgument(const TopoDS_Shape& shape)
{
    argument = shape;
}

void ShapeGluer::SetTolerance(double value)
{
    tolerance = value;
}

void ShapeGluer::SetKeepNonSolids(bool keep)
{
    keepNonSolids = keep;
}

void ShapeGluer::Detect()
{
    pieces.Clear();
    if (argument.IsNull()) {
        return;
    }
    TopTools_ListOfShape candidates;
    if (argument.ShapeType() == TopAbs_COMPOUND) {
        for (TopoDS_Iterator it(argument); it.More(); it.Next()) {
            candidates.Append(it.Value());
        }
    } else {
        candidates.Append(argument);
    }
    for (const TopoDS_Shape& piece : candidates) {
        if (keepNonSolids || piece.ShapeType() == TopAbs_SOLID) {
            pieces.Append(piece);
        }
    }
}

void ShapeGluer::Perform()
{
    result.Nullify();
    if (pieces.IsEmpty()) {
        return;
    }
    if (pieces.Extent() == 1) {
        result = pieces.First();
        return;
    }
    GeneralFuseOptions options;
    options.glue = BOPAlgo_GlueShift;
    options.operation = "Gluing";
    options.tolerance = tolerance;
    GeneralFuseResult glued = runGeneralFuse(pieces, options);
    if (glued.failed()) {
        LOG(WARNING) << "Gluing failed (" << glued.errors << "), retrying without the glue option";
        options.glue = BOPAlgo_GlueOff;
        GeneralFuseResult fused = runGeneralFuse(pieces, options);
        if (fused.failed()) {
            throw vemra_exception("Gluing failed: " + fused.errors);
        }
        result = fused.shape;
        return;
    }
    result = glued.shape;
}
