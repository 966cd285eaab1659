#include "geometryData/GeometryData.h"

#include <utility>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/TopoEntity.h"
#include "misc/CurrentStage.h"

GeometryData::GeometryData() = default;

GeometryData::GeometryData(std::string workingDirectory) : workingDirectory(std::move(workingDirectory)) {}

GeometryData::GeometryData(nlohmann::json rawDocument, std::string workingDirectory)
    : workingDirectory(std::move(workingDirectory))
{
    setCurrentStage("reading the operations");
    parseOperations(rawDocument);
    if (!cadReaders.empty()) {
        setCurrentStage("reading the CAD files");
        for (auto reader : cadReaders) {
            reader();
        }
    } else {
        setCurrentStage("reading the entities and groups");
        readGeometryJson(rawDocument);
    }
    setCurrentStage("running the operations");
    for (auto operation : operations) {
        operation();
    }
    setCurrentStage("finalising the model");
    finalize();
}

GeometryData::GeometryData(const GeometryData& other)
    : workingDirectory(other.workingDirectory),
      entities(other.entities),
      domains(other.domains),
      boundaries(other.boundaries),
      relations(other.relations),
      geometryUnit(other.geometryUnit),
      partitionShape(other.partitionShape),
      dimension(other.dimension),
      variables(other.variables),
      meshFile(other.meshFile),
      geometryChanged(other.geometryChanged),
      axisymmetric(other.axisymmetric),
      meshStatistics(other.meshStatistics),
      groupMode(other.groupMode),
      editorFile(other.editorFile)
{
}

GeometryData::GeometryData(GeometryData&& other) noexcept
    : workingDirectory(std::move(other.workingDirectory)),
      entities(std::move(other.entities)),
      domains(std::move(other.domains)),
      boundaries(std::move(other.boundaries)),
      relations(std::move(other.relations)),
      geometryUnit(other.geometryUnit),
      partitionShape(std::move(other.partitionShape)),
      dimension(other.dimension),
      variables(std::move(other.variables)),
      meshFile(std::move(other.meshFile)),
      geometryChanged(other.geometryChanged),
      axisymmetric(other.axisymmetric),
      meshStatistics(std::move(other.meshStatistics)),
      groupMode(other.groupMode),
      editorFile(std::move(other.editorFile))
{
}

GeometryData& GeometryData::operator=(const GeometryData& other)
{
    if (this != &other) {
        GeometryData copy(other);
        *this = std::move(copy);
    }
    return *this;
}

GeometryData& GeometryData::operator=(GeometryData&& other) noexcept
{
    if (this != &other) {
        workingDirectory = std::move(other.workingDirectory);
        entities = std::move(other.entities);
        domains = std::move(other.domains);
        boundaries = std::move(other.boundaries);
        relations = std::move(other.relations);
        geometryUnit = other.geometryUnit;
        partitionShape = std::move(other.partitionShape);
        dimension = other.dimension;
        variables = std::move(other.variables);
        meshFile = std::move(other.meshFile);
        geometryChanged = other.geometryChanged;
        axisymmetric = other.axisymmetric;
        meshStatistics.totals = other.meshStatistics.totals;
        meshStatistics.byEntity = std::move(other.meshStatistics.byEntity);
        groupMode = other.groupMode;
        cadReaders.clear();
        operations.clear();
        editorFile = std::move(other.editorFile);
    }
    return *this;
}

GeometryData::~GeometryData() = default;

LengthUnit GeometryData::getGeometryUnit() const { return geometryUnit; }
void GeometryData::setGeometryUnit(LengthUnit unit) { geometryUnit = unit; }
void GeometryData::setMeshFile(std::string file) { meshFile = std::move(file); }
std::vector<std::shared_ptr<TopoEntity>> GeometryData::getEntities() const { return entities; }
std::vector<std::shared_ptr<DomainGroup>> GeometryData::getDomains() const { return domains; }
std::vector<std::shared_ptr<BoundaryGroup>> GeometryData::getBoundaries() const { return boundaries; }
std::map<std::string, std::vector<std::string>> GeometryData::getRelations() const { return relations; }
void GeometryData::setGroupMode(GroupMode mode) { groupMode = mode; }
GroupMode GeometryData::getGroupMode() const { return groupMode; }
void GeometryData::setMeshStatistics(MeshStatistics statistics) { meshStatistics = statistics; }
void GeometryData::setAxisymmetric(bool value) { axisymmetric = value; }
bool GeometryData::isAxisymmetric() const { return axisymmetric; }

int GeometryData::getDimension()
{
    if (dimension == 0) {
        computeDimension();
    }
    return dimension;
}
