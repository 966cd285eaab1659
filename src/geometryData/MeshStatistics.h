#pragma once

#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "mesh/ElementTypes.h"

// Mesh counts of one entity or one group.
struct MeshEntityStats {
    int elements = 0;
    int nodes = 0;
    std::map<ElementTypes, int> elementsByType;

    MeshEntityStats() = default;
    MeshEntityStats(const MeshEntityStats& other) = default;
    MeshEntityStats& operator=(const MeshEntityStats& other);
    MeshEntityStats operator+(const MeshEntityStats& other) const;
    // The "meshStatistics" object: "<type name>s" per known type, "elements", "nodes".
    nlohmann::json toJson() const;
};

// The model's mesh counts: totals and one record per entity name.
struct MeshStatistics {
    MeshEntityStats totals;
    std::map<std::string, MeshEntityStats> byEntity;

    MeshStatistics() = default;
    MeshStatistics(const MeshStatistics& other) = default;
    MeshStatistics& operator=(const MeshStatistics& other);
    bool has(std::string entityName) const;
};
