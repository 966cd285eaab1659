#include "geometryData/MeshStatistics.h"
#include "geometryData/ShapeStatistics.h"

#include <easylogging++.h>

#include "mesh/Element.h"

ShapeStatistics ShapeStatistics::merge(const ShapeStatistics& other) const
{
    // A failed comparison (equal values or a NaN) keeps this record's value.
    ShapeStatistics result;
    result.maxX = other.maxX > maxX ? other.maxX : maxX;
    result.maxY = other.maxY > maxY ? other.maxY : maxY;
    result.maxZ = other.maxZ > maxZ ? other.maxZ : maxZ;
    result.minX = minX > other.minX ? other.minX : minX;
    result.minY = minY > other.minY ? other.minY : minY;
    result.minZ = minZ > other.minZ ? other.minZ : minZ;
    return result;
}

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

nlohmann::json ShapeStatistics::toJson() const
{
    nlohmann::json object;
    object["lengthX"] = maxX - minX;
    object["lengthY"] = maxY - minY;
    object["lengthZ"] = maxZ - minZ;
    object["maxX"] = maxX;
    object["maxY"] = maxY;
    object["maxZ"] = maxZ;
    object["minX"] = minX;
    object["minY"] = minY;
    object["minZ"] = minZ;
    return object;
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
