#pragma once

#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include <TopAbs_ShapeEnum.hxx>
#include <TopTools_FormatVersion.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS_Shape.hxx>
#include <gp_Dir.hxx>
#include <gp_Pnt.hxx>
#include <gp_Vec.hxx>

#include "topology/ShapeStatistics.h"

// Free functions over CAD shapes: classification, geometric identity and
// contact, statistics and measures, CAD file exchange.
//
// Functions that need a shape raise vemra_exception "<function>: null shape"
// for a null one, except where noted.

// --- Identity and contact -------------------------------------------------

// SOLID, FACE, EDGE or VERTEX; a compound by the highest type it holds.
TopAbs_ShapeEnum getMainShapeType(const TopoDS_Shape& shape);
bool isSameMainShapeType(TopoDS_Shape a, TopoDS_Shape b);

// Geometric sameness (measure, centre of mass, bounding box). A compound is
// the same as a shape when any of its pieces is. Null shapes answer false.
bool isSameShape(const TopoDS_Shape& a, const TopoDS_Shape& b);
bool isShapeInList(const TopoDS_Shape& shape, const TopTools_ListOfShape& list);
// Dispatches on a's own type only; null shapes answer false.
bool isSameBasicShape(const TopoDS_Shape& a, const TopoDS_Shape& b);
bool isBasicShapeInList(const TopoDS_Shape& shape, const TopTools_ListOfShape& list);

// What isSameShape compares a shape with: the pieces of a compound (its
// sub-shapes of its main type, each occurrence), else the shape itself.
std::vector<TopoDS_Shape> identityPieces(const TopoDS_Shape& target);
// The exact-geometry measure that the identity test compares: volume, area
// or length by the dimension (3, 2, 1), and the centre of mass.
struct IdentityMeasure {
    double mass = 0.0;
    gp_Pnt centre;
};
IdentityMeasure identityMeasureOf(const TopoDS_Shape& shape, int dimension);
// A necessary condition of the identity test of `entity` with `piece`, over
// measures already made (its tolerances, taken from the entity, at twice
// their size), so that a search passing over the others never misses a match.
bool mayBeSameByMeasure(const IdentityMeasure& entity, const IdentityMeasure& piece, int dimension);
// Leaves a shape passed over by that pre-test triangulated as its identity
// test with each piece would have left it (the statistics boxes follow the
// triangulation): the shape first, then each piece of its type, in turn.
void meshAsIdentityTestWould(const TopoDS_Shape& shape, const std::vector<TopoDS_Shape>& pieces);

// These triangulate both shapes (the triangulation is shared by every copy
// of a shape), holding shapeMeshMutex() exclusively.
bool isSameSolid(TopoDS_Shape a, TopoDS_Shape b);
bool isSameFace(TopoDS_Shape a, TopoDS_Shape b);
bool isSameEdge(TopoDS_Shape a, TopoDS_Shape b);
bool isSameVertex(TopoDS_Shape a, TopoDS_Shape b);
bool boundingBoxesMatch(TopoDS_Shape a, TopoDS_Shape b);
// Attaches a triangulation to the shape's faces and edges (shared geometry).
void meshShape(TopoDS_Shape shape);
// Meshing writes triangulations and edge representations into geometry that
// every copy of a shape shares: meshShape and the isSame* bodies hold this
// lock exclusively; what only reads that geometry beside them in parallel
// loops (boundingBoxesMatch, getShapeStatistics, getBoundingBoxDiagonal, the
// copy that writeShapeVtk meshes) holds it shared, so readers never wait for
// each other. None of these functions may be called with the lock held.
std::shared_mutex& shapeMeshMutex();

// Contact through the Boolean common. Null shapes answer false.
bool shapesOverlap(const TopoDS_Shape& a, const TopoDS_Shape& b);
bool overlapsShapeInList(const TopoDS_Shape& shape, const TopTools_ListOfShape& list);
bool shapesShareSolid(TopoDS_Shape a, TopoDS_Shape b);
bool shapesShareFace(TopoDS_Shape a, TopoDS_Shape b);
bool shapesShareEdge(TopoDS_Shape a, TopoDS_Shape b);
bool haveCommonVertex(const TopoDS_Shape& a, const TopoDS_Shape& b);

// --- Statistics -------------------------------------------------------------

class FaceBoxes;
// Writes the fields that match the shape's main type; the others keep their
// values. With faceBoxes, the box is assembled from faces measured there
// when it can be (the same doubles).
void getShapeStatistics(const TopoDS_Shape& shape, ShapeStatistics& statistics,
                        const FaceBoxes* faceBoxes = nullptr);
// Only the box of getShapeStatistics (the same doubles), for a caller that
// needs no volume or centre.
void getShapeBox(const TopoDS_Shape& shape, ShapeStatistics& statistics);
// Volume swept by the shape's planar faces normal to Z, turned about the Y
// axis; 0.0 unless |z| <= 1e-7.
double getAxialVolume(const TopoDS_Shape* shape, const double z);

// --- Measures and utilities ---------------------------------------------------

double getShapeVolume(const TopoDS_Shape& shape);
double getShapeArea(const TopoDS_Shape& shape);
double getShapeLength(const TopoDS_Shape& shape);
// Each distinct sub-shape of the type, in the kernel's map order.
TopTools_IndexedMapOfShape subShapeMap(const TopoDS_Shape& shape, TopAbs_ShapeEnum type);
// Whether the shape holds a sub-shape of the type (a null shape holds none).
bool holdsSubShape(const TopoDS_Shape& shape, TopAbs_ShapeEnum type);
// Measure of the main type strictly below 1e-8; a vertex never is.
bool isNegligibleShape(const TopoDS_Shape& shape);
// 1e20 for a shape without edges.
double getMinEdgeLength(const TopoDS_Shape& shape);
double getBoundingBoxDiagonal(const TopoDS_Shape& shape);
gp_Pnt getCentreOfMass(const TopoDS_Shape& shape);
// Smallest distance; direction is the vector from a's point to b's point.
// When the kernel's search does not complete: 1e20 and a zero vector.
double getMinDistance(TopoDS_Shape a, TopoDS_Shape b, gp_Vec& direction);
// Normal of the underlying surface at (u, v) = (0, 0), orientation ignored.
gp_Dir getFaceNormal(TopoDS_Shape face);
// Uniform scaling about the origin by a finite factor greater than zero.
TopoDS_Shape scaleShape(TopoDS_Shape shape, double factor);
bool hasInternalFaces(const TopoDS_Shape& shape);
// Chains the shape's edges into wires by coincident end points.
TopTools_ListOfShape edgesToWires(const TopoDS_Shape& shape);

// --- CAD file exchange --------------------------------------------------------

TopoDS_Shape readStepFile(std::string path);
// Also gives the number of solids the file declares (manifold solid B-reps,
// with voids or without), which its shape may hold fewer of.
TopoDS_Shape readStepFile(std::string path, int& declaredSolids);
TopoDS_Shape readIgesFile(std::string path);
// Also gives the number of solids the file declares (manifold solid B-rep
// objects), which its shape may hold fewer of when some could not be read.
TopoDS_Shape readIgesFile(std::string path, int& declaredSolids);
void writeStepFile(const TopoDS_Shape& shape, std::string path);
void writeBrepFile(const TopoDS_Shape& shape, std::string path);
// writeBrepFile in a given format, with or without the triangulation's normals
// (the triangulation itself is always written). Refused as
// "Could not write file <path>: <the system's reason>".
void writeBrepFileAs(const TopoDS_Shape& shape, const std::string& path, bool withNormals,
                     TopTools_FormatVersion version);
// Refuses a file whose section sizes cannot fit in it and one cut short
// ("Could not read BREP file <path>[: <reason>]").
TopoDS_Shape readBrepFile(std::string path);
// Kernel STEP unit code of a unit name ("inch" -> "INCH"); "M" when unknown.
std::string getStepUnitCode(std::string unitName);
// The kernel's STEP and IGES translators share global state: every use of
// them in the process holds this lock. The readers and writers above take it
// themselves (it is not recursive: do not hold it when calling them).
std::mutex& cadTranslatorMutex();
