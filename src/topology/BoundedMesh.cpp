#include "topology/BoundedMesh.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <csignal>
#include <sstream>
#include <thread>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <BRepCheck_Wire.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>

#include "vemra_exception.h"

namespace {

// How much coarser each retry is, and how many there are.
constexpr double retryFactor = 4.0;
constexpr int retries = 3;

void meshInPlace(const TopoDS_Shape& shape, double deflection, double angle)
{
    BRepMesh_IncrementalMesh(shape, deflection, false, angle, false);
}

// Whether a wire of the face crosses itself in the face's parameters, which
// the shape check reports as invalid: the Delaunay frontier of such a face is
// where the mesher is known to loop. The test alone costs far less than the
// whole shape check.
bool crossesItself(const TopoDS_Face& face)
{
    for (TopExp_Explorer wires(face, TopAbs_WIRE); wires.More(); wires.Next()) {
        TopoDS_Edge first;
        TopoDS_Edge second;
        if (BRepCheck_Wire(TopoDS::Wire(wires.Current())).SelfIntersect(face, first, second) ==
            BRepCheck_SelfIntersectingWire) {
            return true;
        }
    }
    return false;
}

// The indices (from 1, in the kernel's map order) of the faces on which the
// mesher may stall.
std::vector<int> suspectFaces(const TopTools_IndexedMapOfShape& faces)
{
    std::vector<int> found;
    for (int i = 1; i <= faces.Extent(); ++i) {
        if (crossesItself(TopoDS::Face(faces(i)))) {
            found.push_back(i);
        }
    }
    return found;
}

// What the bounded meshing found for a shape holding suspect faces, so that
// the probes (seconds each) run once per shape and accuracy, however often
// the shape is meshed again. Shapes without suspect faces are never kept.
struct Outcome {
    TopoDS_Shape key;
    double deflection;
    double angle;
    double used; // the deflection that ended; 0 when none did
    std::string error;
};

class Outcomes {
public:
    std::optional<Outcome> find(const TopoDS_Shape& key, double deflection, double angle)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const Outcome& outcome : kept) {
            if (outcome.key.IsSame(key) && outcome.deflection == deflection && outcome.angle == angle) {
                return outcome;
            }
        }
        return std::nullopt;
    }

    void add(Outcome outcome)
    {
        std::lock_guard<std::mutex> lock(mutex);
        kept.push_back(std::move(outcome));
    }

private:
    std::mutex mutex;
    std::vector<Outcome> kept;
};

Outcomes& outcomes()
{
    static Outcomes instance;
    return instance;
}

// The deflection that ends for the shape, or the error when none does.
Outcome probe(const TopoDS_Shape& shape, const TopTools_IndexedMapOfShape& faces, const std::vector<int>& suspects,
              double deflection, double angle)
{
    Outcome outcome{TopoDS_Shape(), deflection, angle, deflection, ""};
    if (meshingEnds(shape, deflection, angle)) {
        return outcome;
    }
    // The face that stalls alone at this accuracy, else the first suspect.
    int stalling = suspects.front();
    if (suspects.size() > 1) {
        for (const int index : suspects) {
            if (!meshingEnds(faces(index), deflection, angle)) {
                stalling = index;
                break;
            }
        }
    }
    std::ostringstream tried;
    tried << deflection;
    double coarser = deflection;
    for (int retry = 0; retry < retries; ++retry) {
        coarser *= retryFactor;
        tried << ", " << coarser;
        if (meshingEnds(shape, coarser, angle)) {
            std::ostringstream warning;
            warning << "the mesher did not end on face " << stalling << " of " << faces.Extent() << " within "
                    << meshTimeLimitSeconds << " s at deflection " << deflection << "; meshed at deflection "
                    << coarser << " instead";
            outcome.used = coarser;
            outcome.error = warning.str(); // the warning, for the log
            return outcome;
        }
    }
    std::ostringstream message;
    message << "the mesher does not end on face " << stalling << " of " << faces.Extent() << " within "
            << meshTimeLimitSeconds << " s at any deflection tried (" << tried.str()
            << "); a wire of the face crosses itself";
    outcome.used = 0.0;
    outcome.error = message.str();
    return outcome;
}

} // namespace

bool meshingEnds(const TopoDS_Shape& shape, double deflection, double angle, double seconds)
{
    const pid_t child = fork();
    if (child < 0) {
        throw vemra_exception("Could not start the bounded meshing: fork failed");
    }
    if (child == 0) {
        // The child only meshes its own copy of the memory and reports by its
        // exit status; it never returns into the caller's code. A crash ends it
        // by the signal, not through the process's own fatal-signal report.
        for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
            std::signal(signal, SIG_DFL);
        }
        int status = 0;
        try {
            meshInPlace(shape, deflection, angle);
        } catch (...) {
            status = 1;
        }
        _exit(status);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto pause = std::chrono::microseconds(200);
    int status = 0;
    while (true) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            // A meshing that raised ends too: in place it raises again, as it always did.
            return WIFEXITED(status);
        }
        if (done < 0) {
            return false; // reaped elsewhere: its outcome is unknown, and its id may be another's now
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return false;
}

double meshWithinLimit(const TopoDS_Shape& shape, double deflection, double angle, const std::string& what,
                       const TopoDS_Shape& key)
{
    const TopoDS_Shape& known = key.IsNull() ? shape : key;
    std::optional<Outcome> outcome = outcomes().find(known, deflection, angle);
    if (!outcome) {
        TopTools_IndexedMapOfShape faces;
        TopExp::MapShapes(shape, TopAbs_FACE, faces);
        const std::vector<int> suspects = suspectFaces(faces);
        if (suspects.empty()) {
            meshInPlace(shape, deflection, angle);
            return deflection;
        }
        outcome = probe(shape, faces, suspects, deflection, angle);
        outcome->key = known;
        outcomes().add(*outcome);
        if (outcome->used > 0.0 && !outcome->error.empty()) {
            LOG(WARNING) << what << ": " << outcome->error;
        }
    }
    if (!(outcome->used > 0.0)) {
        throw vemra_exception(what + ": " + outcome->error);
    }
    meshInPlace(shape, outcome->used, angle);
    return outcome->used;
}
