#include "topology/BoundedMesh.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <optional>
#include <csignal>
#include <ctime>
#include <sstream>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <BRepBndLib.hxx>
#include <BRepCheck_Wire.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <Geom_Curve.hxx>
#include <IMeshTools_Parameters.hxx>
#include <Message_ProgressIndicator.hxx>
#include <Message_ProgressScope.hxx>
#include <Precision.hxx>
#include <ShapeAnalysis_Curve.hxx>
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

// Counts the steps of the mesher's progress, which advances once for each
// face finished (and at the stages between).
class StepCounter : public Message_ProgressIndicator {
public:
    explicit StepCounter(std::atomic<long>& steps) : steps(steps) {}

    void Show(const Message_ProgressScope&, const Standard_Boolean) override { steps.fetch_add(1); }

private:
    std::atomic<long>& steps;
};

// Meshes as meshInPlace does (the same parameters), counting the steps.
void meshCounting(const TopoDS_Shape& shape, double deflection, double angle, std::atomic<long>& steps)
{
    IMeshTools_Parameters parameters;
    parameters.Deflection = deflection;
    parameters.Angle = angle;
    parameters.Relative = false;
    parameters.InParallel = false;
    const Handle(StepCounter) counter = new StepCounter(steps);
    BRepMesh_IncrementalMesh(shape, parameters, counter->Start());
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

// An edge of a face as the test below reads it: its curve in its own frame,
// its middle point and its ends in the frame of the face.
struct EdgeSpan {
    Handle(Geom_Curve) curve;
    gp_Trsf toCurve;
    double first;
    double last;
    gp_Pnt middle;
    gp_Pnt start;
    gp_Pnt end;
    Bnd_Box box;
};

// Whether the middle of one edge of the face lies within the deflection of
// another of its edges while it is farther than that from its own ends: two
// edges that run along each other (a face whose boundary goes out and back
// on one curve, as a general fuse can leave), or so close that their polygons
// at this deflection cross. The shape check finds such faces valid, yet the
// mesher's Delaunay frontier can loop on them. Seam edges (one edge twice in
// a wire) are one edge here.
bool edgesRunAlong(const TopoDS_Face& face, double deflection)
{
    TopTools_IndexedMapOfShape edges;
    TopExp::MapShapes(face, TopAbs_EDGE, edges);
    if (edges.Extent() < 2) {
        return false;
    }
    std::vector<EdgeSpan> spans;
    spans.reserve(static_cast<std::size_t>(edges.Extent()));
    for (int i = 1; i <= edges.Extent(); ++i) {
        const TopoDS_Edge& edge = TopoDS::Edge(edges(i));
        if (BRep_Tool::Degenerated(edge)) {
            continue;
        }
        EdgeSpan span;
        TopLoc_Location location;
        span.curve = BRep_Tool::Curve(edge, location, span.first, span.last);
        if (span.curve.IsNull()) {
            continue;
        }
        const gp_Trsf toFace = location.Transformation();
        span.toCurve = toFace.Inverted();
        span.middle = span.curve->Value(0.5 * (span.first + span.last)).Transformed(toFace);
        span.start = span.curve->Value(span.first).Transformed(toFace);
        span.end = span.curve->Value(span.last).Transformed(toFace);
        BRepBndLib::Add(edge, span.box, false);
        span.box.Enlarge(deflection);
        spans.push_back(std::move(span));
    }
    ShapeAnalysis_Curve projector;
    for (const EdgeSpan& a : spans) {
        if (!(a.middle.Distance(a.start) > deflection) || !(a.middle.Distance(a.end) > deflection)) {
            continue; // an edge this short has no middle away from the corners
        }
        for (const EdgeSpan& b : spans) {
            if (&a == &b || b.box.IsOut(a.middle)) {
                continue;
            }
            gp_Pnt projection;
            double parameter = 0.0;
            const double distance = projector.Project(b.curve, a.middle.Transformed(b.toCurve), Precision::Confusion(),
                                                      projection, parameter, b.first, b.last, false);
            if (distance < deflection) {
                return true;
            }
        }
    }
    return false;
}

// A face on which the mesher may stall, and why.
struct Suspect {
    int index; // from 1, in the kernel's map order
    const char* reason;
};

// The faces on which the mesher may stall at this deflection.
std::vector<Suspect> suspectFaces(const TopTools_IndexedMapOfShape& faces, double deflection)
{
    std::vector<Suspect> found;
    for (int i = 1; i <= faces.Extent(); ++i) {
        const TopoDS_Face& face = TopoDS::Face(faces(i));
        if (edgesRunAlong(face, deflection)) {
            found.push_back({i, "two edges of the face run along each other"});
        } else if (crossesItself(face)) {
            found.push_back({i, "a wire of the face crosses itself"});
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
Outcome probe(const TopoDS_Shape& shape, const TopTools_IndexedMapOfShape& faces,
              const std::vector<Suspect>& suspects, double deflection, double angle)
{
    Outcome outcome{TopoDS_Shape(), deflection, angle, deflection, ""};
    if (meshingEnds(shape, deflection, angle)) {
        return outcome;
    }
    // The face that stalls alone at this accuracy, else the first suspect.
    Suspect stalling = suspects.front();
    if (suspects.size() > 1) {
        for (const Suspect& suspect : suspects) {
            if (!meshingEnds(faces(suspect.index), deflection, angle)) {
                stalling = suspect;
                break;
            }
        }
    }
    std::ostringstream tried;
    double coarser = deflection;
    for (int retry = 0; retry < retries; ++retry) {
        coarser *= retryFactor;
        tried << (retry == 0 ? "" : ", ") << coarser;
        if (meshingEnds(shape, coarser, angle, coarserMeshTimeLimitSeconds)) {
            std::ostringstream warning;
            warning << "the mesher did not end on face " << stalling.index << " of " << faces.Extent() << " within "
                    << meshTimeLimitSeconds << " s at deflection " << deflection << "; meshed at deflection "
                    << coarser << " instead";
            outcome.used = coarser;
            outcome.error = warning.str(); // the warning, for the log
            return outcome;
        }
    }
    std::ostringstream message;
    message << "the mesher does not end on face " << stalling.index << " of " << faces.Extent() << " within "
            << meshTimeLimitSeconds << " s at deflection " << deflection << " nor within "
            << coarserMeshTimeLimitSeconds << " s at any coarser deflection tried (" << tried.str() << "); "
            << stalling.reason;
    outcome.used = 0.0;
    outcome.error = message.str();
    return outcome;
}

thread_local const MeshSubject* currentSubject = nullptr;

} // namespace

MeshSubject::MeshSubject(std::string name) : name(std::move(name)), outer(currentSubject)
{
    currentSubject = this;
}

MeshSubject::~MeshSubject()
{
    currentSubject = outer;
}

std::string MeshSubject::describe(const std::string& what)
{
    std::string names;
    for (const MeshSubject* subject = currentSubject; subject != nullptr; subject = subject->outer) {
        names = names.empty() ? subject->name : subject->name + ", " + names;
    }
    return names.empty() ? what : what + " (" + names + ")";
}

std::vector<int> facesWhereMeshingMayStall(const TopoDS_Shape& shape, double deflection)
{
    TopTools_IndexedMapOfShape faces;
    TopExp::MapShapes(shape, TopAbs_FACE, faces);
    std::vector<int> indices;
    for (const Suspect& suspect : suspectFaces(faces, deflection)) {
        indices.push_back(suspect.index);
    }
    return indices;
}

bool meshingEnds(const TopoDS_Shape& shape, double deflection, double angle, double seconds)
{
    // The child counts its progress steps (one for each face finished) in a
    // page both processes share.
    void* page = mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) {
        throw vemra_exception("Could not start the bounded meshing: no shared page");
    }
    auto* finished = new (page) std::atomic<long>(0);
    const pid_t child = fork();
    if (child < 0) {
        munmap(page, sizeof(std::atomic<long>));
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
            meshCounting(shape, deflection, angle, *finished);
        } catch (...) {
            status = 1;
        }
        _exit(status);
    }
    // The limit holds for each face: it starts again whenever one is finished,
    // so a large shape whose faces each end is never taken for a stalled one.
    // It counts the child's processor time, not the clock's, so that a busy
    // machine does not turn a face that ends into one that stalls (and the
    // triangulation kept into one of another accuracy); the clock only stops
    // a child that gets no processor time at all.
    clockid_t childClock;
    const bool clockKnown = clock_getcpuclockid(child, &childClock) == 0;
    const auto childSeconds = [&] {
        timespec used{};
        if (!clockKnown || clock_gettime(childClock, &used) != 0) {
            return -1.0;
        }
        return static_cast<double>(used.tv_sec) + 1e-9 * static_cast<double>(used.tv_nsec);
    };
    const double wallLimit = std::max(60.0, 30.0 * seconds);
    auto faceBegan = std::chrono::steady_clock::now();
    double faceStart = childSeconds();
    long seen = 0;
    auto pause = std::chrono::microseconds(200);
    int status = 0;
    bool ended = false;
    while (true) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            // A meshing that raised ends too: in place it raises again, as it always did.
            ended = WIFEXITED(status);
            break;
        }
        if (done < 0) {
            break; // reaped elsewhere: its outcome is unknown, and its id may be another's now
        }
        const auto now = std::chrono::steady_clock::now();
        const long count = finished->load();
        const double used = childSeconds();
        if (count != seen) {
            seen = count;
            faceStart = used;
            faceBegan = now;
        } else {
            const double wall = std::chrono::duration<double>(now - faceBegan).count();
            const bool timed = used >= 0.0 && faceStart >= 0.0;
            if ((timed ? used - faceStart >= seconds : wall >= seconds) || wall >= wallLimit) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                break;
            }
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    munmap(page, sizeof(std::atomic<long>));
    return ended;
}

double meshWithinLimit(const TopoDS_Shape& shape, double deflection, double angle, const std::string& what,
                       const TopoDS_Shape& key, WhenNoneEnds whenNoneEnds)
{
    const TopoDS_Shape& known = key.IsNull() ? shape : key;
    std::optional<Outcome> outcome = outcomes().find(known, deflection, angle);
    if (!outcome) {
        TopTools_IndexedMapOfShape faces;
        TopExp::MapShapes(shape, TopAbs_FACE, faces);
        const std::vector<Suspect> suspects = suspectFaces(faces, deflection);
        if (suspects.empty()) {
            meshInPlace(shape, deflection, angle);
            return deflection;
        }
        outcome = probe(shape, faces, suspects, deflection, angle);
        outcome->key = known;
        outcomes().add(*outcome);
        if (outcome->used > 0.0 && !outcome->error.empty()) {
            LOG(WARNING) << MeshSubject::describe(what) << ": " << outcome->error;
        } else if (!(outcome->used > 0.0) && whenNoneEnds == WhenNoneEnds::leaveUnmeshed) {
            LOG(WARNING) << MeshSubject::describe(what) << ": " << outcome->error << "; the shape is left without a mesh";
        }
    }
    if (!(outcome->used > 0.0)) {
        if (whenNoneEnds == WhenNoneEnds::leaveUnmeshed) {
            return 0.0;
        }
        throw vemra_exception(MeshSubject::describe(what) + ": " + outcome->error);
    }
    meshInPlace(shape, outcome->used, angle);
    return outcome->used;
}
