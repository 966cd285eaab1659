#include "geometryData/ModelLimits.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>

#include <BRepBndLib.hxx>
#include <Bnd_Box.hxx>
#include <Precision.hxx>

#include "geometryData/TopoEntity.h"
#include "topology/InputChecks.h"
#include "misc/Utilities.h"
#include "vemra_exception.h"

namespace {

struct Extent {
    double farthest; // the largest absolute coordinate
    double size;     // the longest side of the box
};

// None for a model without geometry, which no factor can spoil.
std::optional<Extent> extentOf(const std::vector<std::shared_ptr<TopoEntity>>& entities)
{
    Bnd_Box box;
    for (const auto& entity : entities) {
        if (entity->isActive() && !entity->getShape().IsNull()) {
            BRepBndLib::Add(entity->getShape(), box);
        }
    }
    if (box.IsVoid()) {
        return std::nullopt;
    }
    double xMin = 0.0, yMin = 0.0, zMin = 0.0, xMax = 0.0, yMax = 0.0, zMax = 0.0;
    box.Get(xMin, yMin, zMin, xMax, yMax, zMax);
    const double farthest = std::max({std::abs(xMin), std::abs(yMin), std::abs(zMin), std::abs(xMax),
                                      std::abs(yMax), std::abs(zMax)});
    return Extent {farthest, std::max({xMax - xMin, yMax - yMin, zMax - zMin})};
}

const std::string kernelRange = "beyond the kernel's range (" + numberText(0.5 * Precision::Infinite()) + ")";

} // namespace

void checkScaleLimits(const std::vector<std::shared_ptr<TopoEntity>>& entities, double factor)
{
    const auto extent = extentOf(entities);
    if (!extent) {
        return;
    }
    const std::string refused = "Invalid \"scale\" " + numberText(factor) + ": it would ";
    const double farthest = extent->farthest * factor;
    if (!isKernelNumber(farthest)) {
        throw vemra_exception(refused + "put the model's coordinates at " + numberText(farthest) + ", " +
                              kernelRange + ".");
    }
    const double size = extent->size * factor;
    if (size < Precision::Confusion()) {
        throw vemra_exception(refused + "shrink the model to " + numberText(size) +
                              ", below the kernel's confusion distance (" + numberText(Precision::Confusion()) +
                              ").");
    }
}

void checkPaddingLimits(const std::vector<std::shared_ptr<TopoEntity>>& entities, double padding)
{
    const auto extent = extentOf(entities);
    const double reach = (extent ? extent->farthest : 0.0) + padding;
    if (!isKernelNumber(reach)) {
        throw vemra_exception("Invalid \"padding\" " + numberText(padding) + " for addAir: the air would reach " +
                              numberText(reach) + ", " + kernelRange + ".");
    }
}
