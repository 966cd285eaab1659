#include "geometryData/ShapeList.h"

#include <iostream>

#include <BRep_Builder.hxx>
#include <TopoDS_Compound.hxx>

#include "geometryData/GeneralFuse.h"
#include "geometryData/ShapeGluer.h"
#include "geometryData/TopoEntity.h"
#include "misc/Utilities.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

TopoDS_Shape fusePieces(const TopTools_ListOfShape& pieces, const std::vector<std::string>& names, bool parallel)
{
    // The kernel refuses a single argument, and nothing fuses to nothing.
    if (pieces.IsEmpty()) {
        return TopoDS_Shape();
    }
    if (pieces.Extent() == 1) {
        return pieces.First();
    }
    GeneralFuseOptions options;
    options.parallel = parallel;
    options.argumentNames = names;
    GeneralFuseResult fused = runGeneralFuse(pieces, options);
    if (fused.failed()) {
        throw vemra_exception("General fuse failed: " + fused.errors);
    }
    return fused.shape;
}

} // namespace

ShapeList::ShapeList(std::vector<std::shared_ptr<TopoEntity>> entities)
{
    const bool everyDimension = getAppName() == "ANTENNAS";
    EntityDimension highest = noDimension;
    for (const auto& entity : entities) {
        if (entity && entity->getDimensionType() > highest) {
            highest = entity->getDimensionType();
        }
    }
    for (const auto& entity : entities) {
        if (entity && entity->isActive() && (everyDimension || entity->getDimensionType() == highest)) {
            shapes.Append(entity->getShape());
            labels.push_back(entity->getName());
        }
    }
}

void ShapeList::add(TopoDS_Shape shape, std::string label)
{
    shapes.Append(shape);
    labels.push_back(std::move(label));
}

void ShapeList::addBrepFile(std::string filePath)
{
    shapes.Append(readBrepShape(filePath));
    labels.push_back(filePath);
}

void ShapeList::sortByType()
{
    std::vector<int> origins;
    shapes = flattenToPieces(shapes, &origins);
    // A shape of several pieces names each by its place among them.
    std::vector<int> piecesOf(labels.size(), 0);
    for (int origin : origins) {
        ++piecesOf[static_cast<std::size_t>(origin)];
    }
    std::vector<int> seen(labels.size(), 0);
    std::vector<std::string> pieceLabels;
    for (int origin : origins) {
        const auto index = static_cast<std::size_t>(origin);
        const std::string& label = labels[index];
        ++seen[index];
        pieceLabels.push_back(label.empty() || piecesOf[index] == 1
                                  ? label
                                  : label + " (piece " + std::to_string(seen[index]) + ")");
    }
    labels = std::move(pieceLabels);
}

TopoDS_Shape ShapeList::fuse()
{
    if (shapes.Extent() == 1) {
        return shapes.First();
    }
    sortByType();
    return fusePieces(shapes, labels, true);
}

TopoDS_Shape ShapeList::glue()
{
    if (shapes.Extent() == 1) {
        return shapes.First();
    }
    const TopTools_ListOfShape pieces = flattenToPieces(shapes);
    // Only the most complex kind present is glued (the lowest enumeration value).
    TopAbs_ShapeEnum mostComplex = TopAbs_SHAPE;
    for (const TopoDS_Shape& piece : pieces) {
        if (piece.ShapeType() < mostComplex) {
            mostComplex = piece.ShapeType();
        }
    }
    BRep_Builder builder;
    TopoDS_Compound compound;
    builder.MakeCompound(compound);
    for (const TopoDS_Shape& piece : pieces) {
        if (piece.ShapeType() == mostComplex) {
            builder.Add(compound, piece);
        }
    }
    ShapeGluer gluer;
    gluer.SetArgument(compound);
    gluer.SetTolerance(1e-7);
    gluer.SetKeepNonSolids(true);
    gluer.Detect();
    gluer.Perform();
    return gluer.Shape();
}

void ShapeList::fuseAndWriteStep(std::string filePath)
{
    sortByType();
    const TopoDS_Shape fused = fusePieces(shapes, labels, false);
    if (fused.IsNull()) {
        std::cout << "shape is null" << std::endl;
        return;
    }
    writeStepFile(fused, filePath);
}
