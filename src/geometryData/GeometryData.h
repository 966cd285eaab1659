#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>
#include <nlohmann/json.hpp>

#include "geometryData/MeshStatistics.h"
#include "topology/ShapeStatistics.h"
#include "topology/LengthUnit.h"

class TopoEntity;
class DomainGroup;
class BoundaryGroup;

enum GroupMode : std::int32_t {
    groupsFromPreprocessor = 0,
    groupsFromAllEntities = 1,
};

// The processed geometry of one simulation case. The constructor from a raw
// document runs the whole pipeline: parse the operations, read the input
// (CAD files or the document's own lists), run the operations, finalise.
class GeometryData {
public:
    GeometryData();
    explicit GeometryData(std::string workingDirectory);
    GeometryData(nlohmann::json rawDocument, std::string workingDirectory);
    // Copies and moves keep every field but the queues: their calls are bound
    // to the object whose document filled them.
    GeometryData(const GeometryData& other);
    GeometryData(GeometryData&& other) noexcept;
    GeometryData& operator=(const GeometryData& other);
    GeometryData& operator=(GeometryData&& other) noexcept;
    ~GeometryData();

    LengthUnit getGeometryUnit() const;
    void setGeometryUnit(LengthUnit unit);
    void setMeshFile(std::string file);
    std::vector<std::shared_ptr<TopoEntity>> getEntities() const;
    std::vector<std::shared_ptr<DomainGroup>> getDomains() const;
    std::vector<std::shared_ptr<BoundaryGroup>> getBoundaries() const;
    std::map<std::string, std::vector<std::string>> getRelations() const;
    std::shared_ptr<TopoEntity> getEntity(std::string name) const;
    std::shared_ptr<DomainGroup> getDomain(std::string name) const;
    std::shared_ptr<BoundaryGroup> getBoundary(std::string name) const;
    void addEntity(std::shared_ptr<TopoEntity> entity);
    void addBoundary(std::shared_ptr<BoundaryGroup> boundary);
    void addDomain(std::shared_ptr<DomainGroup> domain);
    int nextEntityId() const;
    int nextGroupId() const;
    void setGroupMode(GroupMode mode);
    GroupMode getGroupMode() const;
    void setMeshStatistics(MeshStatistics statistics);
    void setAxisymmetric(bool value);
    bool isAxisymmetric() const;
    int getDimension();
    TopoDS_Shape getPartitionShape();
    ShapeStatistics getStatistics();
    void exportRawGeometry();

    // Raw geometry document.
    void parseOperations(nlohmann::json rawDocument);
    void readGeometryJson(nlohmann::json rawDocument);
    // Geometry-data document and its side files.
    nlohmann::json toJson();
    void checkInternalFaces();
    // Finalisation.
    void finalize();
    void validate();
    void computeDimension();
    void orientFaces2D();
    void buildRelations();
    // Operations.
    void partition();
    void scale(double factor);
    void computePartitionShape();
    void readCADfiles(std::vector<std::string> fileNames);
    void addAir(double padding, std::vector<std::string> terminals);
    // Group merging: the named groups become one "Merged_" group that
    // remembers them; unmerging restores them.
    void mergeGroups(std::vector<std::string> names, std::string label);
    void unmergeGroups(std::vector<std::string> names);

private:
    std::string workingDirectory;
    std::vector<std::shared_ptr<TopoEntity>> entities;
    std::vector<std::shared_ptr<DomainGroup>> domains;
    std::vector<std::shared_ptr<BoundaryGroup>> boundaries;
    std::map<std::string, std::vector<std::string>> relations;
    LengthUnit geometryUnit = metre;
    TopoDS_Shape partitionShape;
    int dimension = 0;
    nlohmann::json variables;
    std::string meshFile;
    bool geometryChanged = false;
    bool axisymmetric = false;
    MeshStatistics meshStatistics;
    GroupMode groupMode = groupsFromAllEntities;
    std::vector<std::function<void()>> cadReaders;
    std::vector<std::function<void()>> operations;
    std::string editorFile;
};
