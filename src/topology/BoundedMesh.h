#pragma once

#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>

// The kernel's mesher, run so that it always ends.
//
// On a face whose wire crosses itself (which the shape check finds invalid),
// or one with two edges that run along each other (which it finds valid), the
// mesher's Delaunay frontier can loop without end, and on that path it polls
// no progress range, so it cannot be stopped from inside the process. A shape
// holding such a face is therefore meshed first in a child process, which is
// killed when one face takes longer than the time limit (the mesher's
// progress, which it does advance between faces, tells the parent when a face
// is finished); only a meshing that ended there is repeated in place (the
// mesher is deterministic, so it ends here too). Other shapes are meshed in
// place at once, as they always were: meshing every shape in a child first
// would double the previews' time.

// The processor time a child meshing may spend on one face before it counts
// as stalled: at the accuracy asked, long enough that a face which is only
// slow (some take several seconds) ends whatever the machine's load, since
// what is kept must not depend on it; at the coarser accuracies tried after a
// stall, shorter.
constexpr double meshTimeLimitSeconds = 6.0;
constexpr double coarserMeshTimeLimitSeconds = 2.0;

// Meshes the shape in place as BRepMesh_IncrementalMesh(shape, deflection,
// false, angle, false) does and returns the deflection used. When the mesher
// does not end at that deflection, the shape is meshed at the first coarser
// one that does end, with a warning naming the face that stalls and the
// accuracy used; when none ends, raises an error naming the face (its index
// among the shape's faces, from 1) and `what`, or, for a caller that can do
// without the mesh, logs that error as a warning, leaves the shape as it was
// and returns 0. What was found is kept for `key` (a shape whose copy is
// meshed; the shape itself when null), so a shape that stalls costs its time
// limits once.
enum class WhenNoneEnds { raise, leaveUnmeshed };
double meshWithinLimit(const TopoDS_Shape& shape, double deflection, double angle, const std::string& what,
                       const TopoDS_Shape& key = TopoDS_Shape(), WhenNoneEnds whenNoneEnds = WhenNoneEnds::raise);

// Names, for the messages of meshWithinLimit on this thread while it lives,
// the entity whose comparison meshes shapes that carry no name of their own.
class MeshSubject {
public:
    explicit MeshSubject(std::string name);
    ~MeshSubject();
    MeshSubject(const MeshSubject&) = delete;
    MeshSubject& operator=(const MeshSubject&) = delete;

    // "<what>" alone, or "<what> (<outer name>, <inner name>)" inside subjects.
    static std::string describe(const std::string& what);

private:
    std::string name;
    const MeshSubject* outer;
};

// The faces of the shape (their indices from 1 among its faces, in the
// kernel's map order) on which the mesher may stall at this deflection: those
// meshWithinLimit meshes in a child first.
std::vector<int> facesWhereMeshingMayStall(const TopoDS_Shape& shape, double deflection);

// Whether meshing the shape at this accuracy ends, no face taking longer than
// the time limit; it runs in a child process and leaves the shape as it was.
bool meshingEnds(const TopoDS_Shape& shape, double deflection, double angle, double seconds = meshTimeLimitSeconds);
