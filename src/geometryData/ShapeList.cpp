#include "geometryData/ShapeList.h"

#include <algorithm>
#include <iostream>

#include <BRep_Builder.hxx>
#include <NCollection_DataMap.hxx>
#include <TopTools_ShapeMapHasher.hxx>
#include <TopoDS_Compound.hxx>

#include "geometryData/GeneralFuse.h"
#include "geometryData/ShapeGluer.h"
#include "geometryData/TopoEntity.h"
#include "misc/Utilities.h"
#include "topology/ShapeAlgorithms.h"
#include "vemra_exception.h"

namespace {

TopoDS_Shape fusePieces(const TopTools_ListOfShape& pieces, const std::vector<std::string>& names, bool parallel,
                        Handle(BRepTools_History)* history = nullptr)
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
    if (history != nullptr) {
        *history = fused.history;
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
            // Where the entity came from, when known, tells the user which part to mend.
            const std::string& origin = entity->getOrigin();
            labels.push_back(origin.empty() ? entity->getName() : entity->getName() + " (from " + origin + ")");
            origins.push_back(origin);
        }
    }
}

void ShapeList::add(TopoDS_Shape shape, std::string label, std::string origin)
{
    shapes.Append(shape);
    labels.push_back(std::move(label));
    origins.push_back(std::move(origin));
}

void ShapeList::addBrepFile(std::string filePath)
{
    shapes.Append(readBrepShape(filePath));
    labels.push_back(filePath);
    origins.emplace_back();
}

void ShapeList::sortByType()
{
    std::vector<int> shapeOfPiece;
    shapes = flattenToPieces(shapes, &shapeOfPiece);
    // A shape of several pieces names each by its place among them.
    std::vector<int> piecesOf(labels.size(), 0);
    for (int shape : shapeOfPiece) {
        ++piecesOf[static_cast<std::size_t>(shape)];
    }
    std::vector<int> seen(labels.size(), 0);
    std::vector<std::string> pieceLabels;
    std::vector<std::string> pieceOrigins;
    for (int shape : shapeOfPiece) {
        const auto index = static_cast<std::size_t>(shape);
        const std::string& label = labels[index];
        ++seen[index];
        pieceLabels.push_back(label.empty() || piecesOf[index] == 1
                                  ? label
                                  : label + " (piece " + std::to_string(seen[index]) + ")");
        pieceOrigins.push_back(origins[index]);
    }
    labels = std::move(pieceLabels);
    origins = std::move(pieceOrigins);
}

TopoDS_Shape ShapeList::fuse()
{
    history.Nullify();
    if (shapes.Extent() == 1) {
        return shapes.First();
    }
    sortByType();
    return fusePieces(shapes, labels, true, &history);
}

void ShapeList::giveOriginsTo(const std::vector<std::shared_ptr<TopoEntity>>& made) const
{
    // Each piece's images once, so that no entity is looked for in every piece.
    NCollection_DataMap<TopoDS_Shape, std::vector<std::size_t>, TopTools_ShapeMapHasher> madeFrom;
    std::size_t position = 0;
    for (const TopoDS_Shape& piece : shapes) {
        for (const TopoDS_Shape& image : imagesOf(history, piece)) {
            if (!madeFrom.IsBound(image)) {
                madeFrom.Bind(image, {});
            }
            std::vector<std::size_t>& from = madeFrom(image);
            if (from.empty() || from.back() != position) {
                from.push_back(position);
            }
        }
        ++position;
    }
    for (const auto& entity : made) {
        std::vector<std::string> names;
        const TopoDS_Shape shape = entity->getShape();
        if (madeFrom.IsBound(shape)) {
            for (std::size_t piece : madeFrom(shape)) {
                const std::string& name = origins[piece];
                if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
                    names.push_back(name);
                }
            }
        }
        entity->setOrigin(listText(names));
    }
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
