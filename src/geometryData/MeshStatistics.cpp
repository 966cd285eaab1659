#include "geometryData/MeshStatistics.h"

#include <easylogging++.h>

#include "mesh/Element.h"

MeshEntityStats& MeshEntityStats::operator=(const MeshEntityStats& other)
{
    // The per-type map is replaced, never merged: stale counts must not survive.
    elements = other.elements;
    nodes = other.nodes;
    elementsByType = other.elementsByType;
    return *this;
}

MeshEntityStats MeshEntityStats::operator+(const MeshEntityStats& other) const
{
    MeshEntityStats sum(*this);
    sum.elements += other.elements;
    sum.nodes += other.nodes;
    for (const auto& [type, count] : other.elementsByType) {
        sum.elementsByType[type] += count;
    }
    return sum;
}

MeshStatistics& MeshStatistics::operator=(const MeshStatistics& other)
{
    totals = other.totals;
    byEntity = other.byEntity;
    return *this;
}

bool MeshStatistics::has(std::string entityName) const
{
    return byEntity.count(entityName) != 0;
}

nlohmann::json MeshEntityStats::toJson() const
{
    nlohmann::json object;
    for (const auto& [type, count] : elementsByType) {
        // An unknown number has no name of its own: writing it under another
        // type's key would overwrite that type's count.
        if (!Element::isKnownType(type)) {
            LOG(WARNING) << "Mesh statistics: skipping unknown element type " << static_cast<int>(type);
            continue;
        }
        object[Element::create(type)->getTypeName() + "s"] = count;
    }
    object["elements"] = elements;
    object["nodes"] = nodes;
    return object;
}
