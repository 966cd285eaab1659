#pragma once

#include <memory>
#include <vector>

#include "geometryData/GeometryData.h"
#include "geometryData/TopoEntity.h"

// The model's entities of one kind, in model order.
inline std::vector<std::shared_ptr<TopoEntity>> ofDimension(const GeometryData& model, int dimension)
{
    std::vector<std::shared_ptr<TopoEntity>> found;
    for (const auto& e : model.getEntities()) {
        if (e->getDimensionType() == dimension) {
            found.push_back(e);
        }
    }
    return found;
}
