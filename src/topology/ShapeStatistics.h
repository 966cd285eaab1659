#pragma once

#include <nlohmann/json.hpp>

// Measures of one shape; getShapeStatistics fills it. A merged record
// describes a bounding box only.
struct ShapeStatistics {
    double maxX = 0.0;
    double maxY = 0.0;
    double maxZ = 0.0;
    double minX = 0.0;
    double minY = 0.0;
    double minZ = 0.0;
    double centreX = 0.0;
    double centreY = 0.0;
    double centreZ = 0.0;
    double length = 0.0;
    double area = 0.0;
    double volume = 0.0;
    double axialVolume = 0.0;

    // The union of the two bounding boxes; both records stay unchanged.
    ShapeStatistics merge(const ShapeStatistics& other) const;
    // The "statistics" object: lengthX/Y/Z and the box corners.
    nlohmann::json toJson() const;
};
