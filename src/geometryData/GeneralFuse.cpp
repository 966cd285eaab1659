#include "geometryData/GeneralFuse.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include <BOPAlgo_Alerts.hxx>
#include <BOPAlgo_Builder.hxx>
#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <Message_Alert.hxx>
#include <Message_Report.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>
#include <TopoDS_AlertWithShape.hxx>
#include <TopExp_Explorer.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopTools_MapOfShape.hxx>

#include <easylogging++.h>

#include "misc/ParallelFor.h"
#include "topology/KernelGuard.h"
#include "topology/ShapeAlgorithms.h"
#include "misc/Utilities.h"
#include "vemra_exception.h"

namespace {

// Alert names of one gravity, each once, in the order the kernel raised them.
std::string alertNames(const Handle(Message_Report) & report, Message_Gravity gravity)
{
    std::string names;
    std::set<std::string> seen;
    for (const Handle(Message_Alert) & alert : report->GetAlerts(gravity)) {
        const std::string name = alert->GetMessageKey();
        if (seen.insert(name).second) {
            names += (names.empty() ? "" : ", ") + name;
        }
    }
    return names;
}

// The result's solids that come from the arguments' solids, by the history.
class FuseVolumes {
public:
    FuseVolumes(const TopTools_ListOfShape& arguments, const TopoDS_Shape& result, const GeneralFuseOptions& options,
                const Handle(BRepTools_History) & history)
    {
        std::size_t position = 0;
        for (const TopoDS_Shape& argument : arguments) {
            TopTools_IndexedMapOfShape solids;
            TopExp::MapShapes(argument, TopAbs_SOLID, solids);
            std::string name = position < options.argumentNames.size() && !options.argumentNames[position].empty()
                                   ? options.argumentNames[position]
                                   : "argument " + std::to_string(position + 1);
            for (int i = 1; i <= solids.Extent(); ++i) {
                inputs.push_back(solids(i));
                exact.push_back(static_cast<int>(position) == options.exactArgument);
                if (exact.back() && options.exactArgumentHoldsAll) {
                    exactHoldsAll = static_cast<long>(inputs.size()) - 1;
                }
                inputNames.push_back(solids.Extent() == 1 ? name : name + " (solid " + std::to_string(i) + ")");
            }
            ++position;
        }
        if (!result.IsNull()) {
            TopExp::MapShapes(result, TopAbs_SOLID, outputs);
        }
        const std::size_t count = inputs.size() + static_cast<std::size_t>(outputs.Extent());
        // Without a history the totals are all there is to check, and strictly.
        const bool strict = options.exactArgument >= 0 || history.IsNull();
        const double precision = strict ? fuseVolumePrecision : fuseImagePrecision;
        largestTolerance = strict ? fuseVolumeTolerance : fuseImageTolerance;
        volumes.resize(count);
        // Measured in parallel, summed in order: the same verdict whatever the thread count.
        parallelFor(static_cast<int>(count), [&](int i) {
            const auto index = static_cast<std::size_t>(i);
            volumes[index] = preciseVolume(index < inputs.size() ? inputs[index] : output(index), precision);
        });

        origins.resize(static_cast<std::size_t>(outputs.Extent()));
        imageVolumes.assign(inputs.size(), 0.0);
        if (history.IsNull()) {
            return;
        }
        withHistory = true;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            for (const TopoDS_Shape& image : imagesOf(history, inputs[i])) {
                const int k = outputs.FindIndex(image);
                if (k > 0) {
                    imageVolumes[i] += outputVolume(k);
                    origins[static_cast<std::size_t>(k - 1)].push_back(i);
                }
            }
        }
    }

    std::string fault(const std::string& operation) const
    {
        const std::string failed = operation + " failed: ";
        for (int k = 1; k <= outputs.Extent(); ++k) {
            if (!(outputVolume(k) > 0.0)) {
                return failed + "the result holds a solid of non-positive volume " +
                                      numberText(outputVolume(k), 10) + madeFrom(k);
            }
        }
        const std::string twice = regionFilledTwice(failed);
        if (!twice.empty()) {
            return twice;
        }
        if (withHistory) {
            std::vector<std::string> faults;
            for (std::size_t i = 0; i < inputs.size(); ++i) {
                const double tolerance = exact[i] ? fuseVolumeTolerance : fuseImageTolerance;
                if (std::fabs(imageVolumes[i] - volumes[i]) > tolerance * std::fabs(volumes[i])) {
                    faults.push_back(inputNames[i] + " (" + numberText(imageVolumes[i], 10) + " of its " +
                                     numberText(volumes[i], 10) + ")");
                }
            }
            if (!faults.empty()) {
                return failed + "the pieces made from " + listText(faults) +
                                      " do not hold that solid's volume";
            }
            // Every solid of a fuse is a piece of a solid given; any other
            // fills a region that those pieces fill already.
            for (int k = 1; k <= outputs.Extent(); ++k) {
                if (origins[static_cast<std::size_t>(k - 1)].empty() && !inputs.empty()) {
                    return failed + "the result holds a solid of volume " + numberText(outputVolume(k), 10) +
                           " made from no solid given, which fills a region twice";
                }
            }
        }
        double given = 0.0;
        double largest = 0.0;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            given += volumes[i];
            largest = std::max(largest, volumes[i]);
        }
        double total = 0.0;
        for (int k = 1; k <= outputs.Extent(); ++k) {
            total += outputVolume(k);
        }
        // Each solid may grow within the images' tolerance, so may their sum.
        if (total > given * (1.0 + fuseImageTolerance)) {
            return failed + "the solids of the result hold a volume of " + numberText(total, 10) +
                                  ", more than the solids given together (" + numberText(given, 10) + ")";
        }
        if (exactHoldsAll >= 0 && std::fabs(total - volumes[exactHoldsAll]) > fuseVolumeTolerance * volumes[exactHoldsAll]) {
            return failed + "the solids of the result hold a volume of " + numberText(total, 10) + ", not that of " +
                   inputNames[exactHoldsAll] + " (" + numberText(volumes[exactHoldsAll], 10) + ")";
        }
        if (total < largest * (1.0 - largestTolerance)) {
            return failed + "the solids of the result hold a volume of " + numberText(total, 10) +
                                  ", less than the largest solid given (" + numberText(largest, 10) + ")";
        }
        return std::string();
    }

private:
    const TopoDS_Shape& output(std::size_t index) const
    {
        return outputs(static_cast<int>(index - inputs.size()) + 1);
    }
    double outputVolume(int k) const { return volumes[inputs.size() + static_cast<std::size_t>(k) - 1]; }

    std::string madeFrom(int k) const
    {
        std::vector<std::string> names;
        for (std::size_t i : origins[static_cast<std::size_t>(k - 1)]) {
            names.push_back(inputNames[i]);
        }
        return names.empty() ? "" : ", made from " + listText(names);
    }

    // ", made from A and B" for two solids of the result.
    std::string madeFrom(int k, int j) const
    {
        std::string from = madeFrom(k);
        const std::string other = madeFrom(j);
        if (from.empty() || other.empty()) {
            from += other;
        } else if (from != other) {
            from += " and" + other.substr(1);
        }
        return from;
    }

    // Two solids bounded by the same faces fill one region twice; so does a
    // solid with a face inside it (an internal face) that bounds another
    // solid of the result, whose material then lies within the first.
    std::string regionFilledTwice(const std::string& failed) const
    {
        TopTools_IndexedMapOfShape faces;
        std::map<std::vector<int>, int> bounded;
        std::map<int, std::vector<int>> owners;  // face -> the solids it belongs to
        std::vector<std::pair<int, int>> inside; // (face, solid holding it inside)
        for (int k = 1; k <= outputs.Extent(); ++k) {
            std::vector<int> key;
            for (TopExp_Explorer explorer(outputs(k), TopAbs_FACE); explorer.More(); explorer.Next()) {
                key.push_back(faces.Add(explorer.Current()));
                std::vector<int>& solids = owners[key.back()];
                if (solids.empty() || solids.back() != k) {
                    solids.push_back(k);
                }
                if (explorer.Current().Orientation() == TopAbs_INTERNAL) {
                    inside.emplace_back(key.back(), k);
                }
            }
            std::sort(key.begin(), key.end());
            key.erase(std::unique(key.begin(), key.end()), key.end());
            const auto [found, added] = bounded.emplace(std::move(key), k);
            if (!added) {
                return failed + "the result holds two solids bounded by the same faces, one region filled twice" +
                       madeFrom(found->second, k);
            }
        }
        for (const auto& [face, holder] : inside) {
            for (const int other : owners[face]) {
                if (other != holder) {
                    const auto named = [&](int k) {
                        const std::string from = madeFrom(k);
                        return from.empty() ? std::string(" of the result") : " " + from.substr(2);
                    };
                    return failed + "a solid" + named(holder) + " holds inside it a face of a solid" + named(other) +
                           ": one region is filled twice";
                }
            }
        }
        return std::string();
    }

    std::vector<TopoDS_Shape> inputs;
    std::vector<std::string> inputNames;
    std::vector<bool> exact;
    // The input solid the result must fill exactly; -1 for none.
    long exactHoldsAll = -1;
    // What the result may fall short of the largest solid given.
    double largestTolerance = fuseVolumeTolerance;
    TopTools_IndexedMapOfShape outputs;
    std::vector<double> volumes;
    std::vector<std::vector<std::size_t>> origins;
    std::vector<double> imageVolumes;
    bool withHistory = false;
};

} // namespace

// "A", "A and B", "A, B and C"; a long list ends in how many more there are.
std::string listText(const std::vector<std::string>& names)
{
    constexpr std::size_t shown = 6;
    std::string text;
    const std::size_t count = std::min(names.size(), shown);
    for (std::size_t i = 0; i < count; ++i) {
        text += (i == 0 ? "" : (i + 1 == count && names.size() <= shown ? " and " : ", ")) + names[i];
    }
    if (names.size() > shown) {
        text += " and " + std::to_string(names.size() - shown) + " more";
    }
    return text;
}

TopTools_ListOfShape imagesOf(const Handle(BRepTools_History) & history, const TopoDS_Shape& shape)
{
    TopTools_ListOfShape found;
    if (history.IsNull()) {
        found.Append(shape);
        return found;
    }
    if (!history->IsRemoved(shape)) {
        found = history->Modified(shape);
        if (found.IsEmpty()) {
            found.Append(shape);
        }
    }
    return found;
}

double preciseVolume(const TopoDS_Shape& solid, double precision)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(solid, properties, precision);
    return properties.Mass();
}

std::string volumeFault(const TopTools_ListOfShape& arguments, const TopoDS_Shape& result,
                        const GeneralFuseOptions& options, const Handle(BRepTools_History) & history)
{
    return FuseVolumes(arguments, result, options, history).fault(options.operation);
}

void checkVolumeKept(const TopTools_ListOfShape& arguments, const TopoDS_Shape& result,
                     const GeneralFuseOptions& options, const Handle(BRepTools_History) & history)
{
    const std::string fault = volumeFault(arguments, result, options, history);
    if (!fault.empty()) {
        throw vemra_exception(fault);
    }
}

namespace {

// Appends the sub-shapes of one type found in the shape (not inside a shape of
// the avoided type), each distinct sub-shape once.
void appendPieces(const TopoDS_Shape& shape, TopAbs_ShapeEnum type, TopAbs_ShapeEnum avoid,
                  TopTools_ListOfShape& pieces, int origin, std::vector<int>* origins)
{
    if (shape.IsNull()) {
        return;
    }
    TopTools_MapOfShape seen;
    for (TopExp_Explorer explorer(shape, type, avoid); explorer.More(); explorer.Next()) {
        if (!seen.Add(explorer.Current())) {
            continue;
        }
        // A solid without faces holds no geometry, and fusing it loses the
        // volume of the others.
        if (type == TopAbs_SOLID && !holdsSubShape(explorer.Current(), TopAbs_FACE)) {
            LOG(WARNING) << "An empty solid (without faces) takes no part in the fuse and is dropped";
            continue;
        }
        pieces.Append(explorer.Current());
        if (origins != nullptr) {
            origins->push_back(origin);
        }
    }
}

} // namespace

namespace {

// The kernel's general fuse of the arguments, run once.
std::unique_ptr<BOPAlgo_Builder> performFuse(const TopTools_ListOfShape& arguments, const GeneralFuseOptions& options,
                                             bool parallel)
{
    auto builder = std::make_unique<BOPAlgo_Builder>();
    for (const TopoDS_Shape& argument : arguments) {
        builder->AddArgument(argument);
    }
    builder->SetRunParallel(parallel);
    builder->SetNonDestructive(true);
    builder->SetGlue(options.glue);
    if (options.tolerance > Precision::Confusion()) {
        builder->SetFuzzyValue(options.tolerance);
    }
    builder->Perform();
    return builder;
}

// The fuse itself; a result that breaks checkVolumeKept carries the fault.
GeneralFuseResult fuseOnce(const TopTools_ListOfShape& arguments, const GeneralFuseOptions& options)
{
    GeneralFuseResult result;
    try {
        std::unique_ptr<BOPAlgo_Builder> fuse = performFuse(arguments, options, options.parallel);
        // On arguments that interfere with themselves or sit badly (the kernel
        // warns), the parallel fuse's threads widen shared tolerances in
        // whatever order they finish, so two runs differ in their last digits.
        // The serial fuse gives the parallel one's bytes wherever that one is
        // repeatable, and the same bytes on every run: it is run once more.
        if (options.parallel && fuse->HasWarnings()) {
            fuse = performFuse(arguments, options, false);
        }
        BOPAlgo_Builder& builder = *fuse;

        const std::string warnings = alertNames(builder.GetReport(), Message_Warning);
        if (!warnings.empty()) {
            LOG(WARNING) << "General fuse warnings: " << warnings;
        }
        for (const Handle(Message_Alert) & alert : builder.GetReport()->GetAlerts(Message_Warning)) {
            if (alert->IsKind(STANDARD_TYPE(BOPAlgo_AlertSelfInterferingShape))) {
                result.selfInterferences.Append(Handle(TopoDS_AlertWithShape)::DownCast(alert)->GetShape());
            }
        }
        if (builder.HasErrors()) {
            result.errors = alertNames(builder.GetReport(), Message_Fail);
            if (result.errors.empty()) {
                result.errors = "unnamed kernel error";
            }
            return result;
        }
        result.shape = builder.Shape();
        result.history = builder.History();
        result.volumeFault = volumeFault(arguments, result.shape, options, result.history);
    } catch (const Standard_Failure& failure) {
        result.errors = "CAD kernel failure: " + kernelFailureText(failure);
        result.shape.Nullify();
    }
    return result;
}

// The fuzzy value tried when a fuse without one comes out wrong: a fixed
// fraction of the arguments' size. On a large model (a diagonal of 1e5) the
// kernel's intersections lose more than its confusion distance, so faces that
// touch are taken for ones that cross; on models of a hundred units or less
// the fraction stays below that distance and nothing is tried.
double largeModelFuzzy(const TopTools_ListOfShape& arguments)
{
    Bnd_Box box;
    for (const TopoDS_Shape& argument : arguments) {
        BRepBndLib::Add(argument, box, false);
    }
    if (box.IsVoid()) {
        return 0.0;
    }
    return fuzzyOfSize * std::sqrt(box.SquareExtent());
}

} // namespace

GeneralFuseResult runGeneralFuse(const TopTools_ListOfShape& arguments, const GeneralFuseOptions& options)
{
    GeneralFuseResult result = fuseOnce(arguments, options);
    if (!options.raiseOnVolumeFault || result.failed() || result.volumeFault.empty()) {
        return result;
    }
    const double fuzzy = largeModelFuzzy(arguments);
    if (options.tolerance <= Precision::Confusion() && fuzzy > Precision::Confusion()) {
        GeneralFuseOptions fuzzyOptions = options;
        fuzzyOptions.tolerance = fuzzy;
        GeneralFuseResult again = fuseOnce(arguments, fuzzyOptions);
        if (!again.failed() && again.volumeFault.empty()) {
            LOG(WARNING) << result.volumeFault << "; fused again with a fuzzy value of " << numberText(fuzzy, 3)
                         << " (" << fuzzyOfSize << " of the model's diagonal), which gives a sound result";
            return again;
        }
    }
    throw vemra_exception(result.volumeFault);
}

TopTools_ListOfShape flattenToPieces(const TopTools_ListOfShape& shapes, std::vector<int>* origins)
{
    if (origins != nullptr) {
        origins->clear();
    }
    TopTools_ListOfShape pieces;
    const std::vector<std::pair<TopAbs_ShapeEnum, TopAbs_ShapeEnum>> passes = {
        {TopAbs_SOLID, TopAbs_SHAPE},
        {TopAbs_FACE, TopAbs_SOLID},
        {TopAbs_EDGE, TopAbs_FACE},
        {TopAbs_VERTEX, TopAbs_EDGE},
    };
    for (const auto& [type, avoid] : passes) {
        int origin = 0;
        for (const TopoDS_Shape& shape : shapes) {
            appendPieces(shape, type, avoid, pieces, origin++, origins);
        }
    }
    return pieces;
}
