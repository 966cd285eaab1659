#include "topology/ShapeStatistics.h"

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
