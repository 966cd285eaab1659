#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <BRepTools_History.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS_Shape.hxx>

#include "topology/ShapeStatistics.h"

class ShapeList;
class TopoEntity;

// The construction of the air region: a box around a solid model, a rectangle
// in z = 0 around a planar model, or a rectangle from the axis x = 0 around an
// axisymmetric model.
enum AirMode : std::int32_t {
    boxAir = 0,
    planarAir = 1,
    axisymmetricAir = 2,
};

// The air made of a box's faces and the model's outer faces (those bounding
// one solid once), the model's solids left as they are: the road for a model
// whose fuse with the box comes out wrong. The solids must share the faces
// where they touch, as the pieces of a fuse do (the caller makes sure of it),
// and lie inside the box.
struct AirAroundModel {
    // Why the air cannot be made so; empty when it was.
    std::string refusal;
    TopoDS_Shape air;
    TopoDS_Shape infinity;
    // The faces of the infinity boundary, each a face of the partition.
    TopTools_ListOfShape infinityFaces;
    // The model's solids, then the air's, in one compound.
    TopoDS_Shape partition;
};
// The labels name the model's solids in the refusal.
AirAroundModel airAroundModel(const TopTools_ListOfShape& model, const std::vector<std::string>& labels,
                              const TopoDS_Shape& box);

struct GeneralFuseResult;
// The air for a fuse of the model and the box that came out wrong: around
// the model's solids as they are, or, when that air cannot be made and the
// fuse's history shows solids of the model overlapping, around the pieces the
// fuse split them into. A refusal names the solids that overlap and those the
// kernel found self-interfering.
AirAroundModel airAroundWrongFuse(const TopTools_ListOfShape& model, const std::vector<std::string>& labels,
                                  const TopoDS_Shape& box, const GeneralFuseResult& fuse);

// The model as a fuse's history gives it: the images of its pieces, each
// once, labelled by the pieces they are made from ("the part that A and B
// share" where pieces overlap). The fault, empty when the images hold each
// piece's volume as checkVolumeKept measures it (told without the operation),
// tells whether the air may be built around them.
struct FusedModel {
    TopTools_ListOfShape pieces;
    std::vector<std::string> labels;
    std::string fault;
};
FusedModel fusedModelOf(const TopTools_ListOfShape& model, const std::vector<std::string>& labels,
                        const Handle(BRepTools_History) & history);

// Builds the air around a model and the air's outer ("infinity") boundary,
// and for axisymmetric models its edges on the axis. The box is cut off at the
// plane of each terminal face, and the model's solids are trimmed at those
// planes (the entities are shared with the model, so the model sees the trim).
// Without terminals the model and the box fuse at once, the box sized from
// the fused model; a fuse that comes out wrong (its volumes checked by its
// history) gives way to the air around the model's outer faces, and when that
// cannot be made either the air is refused naming the solids at fault.
// A construction that raises leaves the entities and the results as they were.
class AirBuilder {
public:
    AirBuilder();
    ~AirBuilder();

    void setEntities(std::vector<std::shared_ptr<TopoEntity>> newEntities);
    void setTerminalFaces(TopTools_ListOfShape faces);
    void setPadding(double value);
    void setMode(AirMode value);

    // Runs the construction of the mode; a value outside the three does nothing.
    void create();

    TopoDS_Shape getAirShape() const;
    TopoDS_Shape getInfinityShape() const;
    TopoDS_Shape getAxisShape() const;
    // The model and the air as one partition, the very shape that the fuse of
    // the model's shapes and the air's solids gives, when the construction has
    // made it on the way (the box without terminals); null otherwise.
    TopoDS_Shape getPartitionShape() const;
    // The partition's faces that make up the infinity boundary, as the
    // history of the fuse that made the partition gives them; empty when the
    // partition is left to the caller.
    TopTools_ListOfShape getInfinityFaces() const;

private:
    void createBoxAir();
    void createPlanarAir();
    void createAxisymmetricAir();
    void fuseWithBox(const ShapeList& model, ShapeStatistics bounds);

    AirMode mode = boxAir;
    std::vector<std::shared_ptr<TopoEntity>> entities;
    TopTools_ListOfShape terminalFaces;
    double padding = 0.0;
    TopoDS_Shape infinityBoundary;
    TopoDS_Shape air;
    TopoDS_Shape axis;
    TopoDS_Shape partition;
    TopTools_ListOfShape infinityFaces;
};
