// Runs the whole CAD stage (reading, finalisation, geometry-data JSON with all
// side files) on one STEP or IGES file in a scratch working directory, and
// prints the time of each phase and the entity counts. With --air the model
// read is put in air (padding 0, no terminals) before the finalisation. Beside
// each timed phase's wall seconds it prints the CPU seconds of the whole
// process over that phase (every thread's), which a loaded machine changes far
// less than the wall time.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/CadReadTimes.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "geometryData/TopoEntity.h"
#include "misc/HeapPolicy.h"

namespace fs = std::filesystem;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU seconds of every thread of the process so far.
double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

std::size_t filesBelow(const fs::path& directory, const std::string& extension)
{
    std::size_t count = 0;
    if (fs::is_directory(directory)) {
        for (const auto& item : fs::recursive_directory_iterator(directory)) {
            count += item.is_regular_file() && item.path().extension() == extension ? 1 : 0;
        }
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    keepFreedMemoryInHeaps();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const bool withAir = !arguments.empty() && arguments.front() == "--air";
    if (withAir) {
        arguments.erase(arguments.begin());
    }
    if (arguments.empty() || arguments.size() > 2) {
        std::cerr << "usage: cad_stage_bench [--air] model.step [scratch-directory]" << std::endl;
        return 2;
    }
    const fs::path input = fs::absolute(arguments[0]);
    const fs::path scratch =
        arguments.size() == 2 ? fs::absolute(arguments[1]) : fs::temp_directory_path() / "vemra-cad-bench";
    try {
        if (!fs::is_regular_file(input)) {
            std::cerr << "no such file: " << input << std::endl;
            return 2;
        }
        // A fresh directory each run: old side files would hide missing ones.
        // Only a directory this program made is ever emptied.
        const fs::path marker = scratch / ".cad_stage_bench";
        if (fs::exists(scratch) && !fs::is_empty(scratch) && !fs::exists(marker)) {
            std::cerr << "refusing to empty " << scratch << ": not a scratch directory of this benchmark" << std::endl;
            return 2;
        }
        fs::remove_all(scratch);
        fs::create_directories(scratch);
        std::FILE* markerFile = std::fopen(marker.c_str(), "w");
        if (markerFile != nullptr) {
            std::fclose(markerFile);
        }
        fs::copy_file(input, scratch / input.filename());

        GeometryData model(scratch.string());
        model.setGroupMode(groupsFromAllEntities);

        // Each phase is printed as soon as it ends, so a failing phase still
        // shows the times before it.
        const auto phase = [](const char* name, double seconds) {
            std::printf("%-24s%8.3f s\n", name, seconds);
            std::fflush(stdout);
        };
        std::printf("%-24s%s\n", "file", input.filename().string().c_str());

        // The CPU seconds of a phase are printed under its name and " CPU".
        const auto cpuPhase = [&phase](const std::string& name, double seconds) {
            phase((name + " CPU").c_str(), seconds);
        };
        auto start = std::chrono::steady_clock::now();
        double cpuStart = processCpuSeconds();
        model.readCADfiles({input.filename().string()});
        const double reading = secondsSince(start);
        const double readingCpu = processCpuSeconds() - cpuStart;
        const CadReadTimes times = lastCadReadTimes();
        phase("read", times.read);
        phase("repair", times.repair);
        phase("fuse", times.fuse);
        phase("entities and relations", times.entitiesAndRelations);
        phase("BREP export", times.brepExport);
        cpuPhase("reading", readingCpu);

        double air = 0.0;
        double airCpu = 0.0;
        if (withAir) {
            start = std::chrono::steady_clock::now();
            cpuStart = processCpuSeconds();
            model.addAir(0.0, {});
            air = secondsSince(start);
            airCpu = processCpuSeconds() - cpuStart;
            phase("air", air);
            cpuPhase("air", airCpu);
        }

        start = std::chrono::steady_clock::now();
        cpuStart = processCpuSeconds();
        model.finalize();
        const double finalisation = secondsSince(start);
        const double finalisationCpu = processCpuSeconds() - cpuStart;
        phase("finalisation", finalisation);
        cpuPhase("finalisation", finalisationCpu);

        start = std::chrono::steady_clock::now();
        cpuStart = processCpuSeconds();
        const nlohmann::json document = model.toJson();
        const double jsonAndPreviews = secondsSince(start);
        const double jsonAndPreviewsCpu = processCpuSeconds() - cpuStart;
        phase("JSON and previews", jsonAndPreviews);
        cpuPhase("JSON and previews", jsonAndPreviewsCpu);

        int counts[4] = {0, 0, 0, 0};
        for (const auto& entity : model.getEntities()) {
            const int dimension = entity->getDimension();
            counts[dimension >= 0 && dimension <= 3 ? dimension : 0] += 1;
        }
        const double total = reading + air + finalisation + jsonAndPreviews;
        phase("total", total);
        cpuPhase("total", readingCpu + airCpu + finalisationCpu + jsonAndPreviewsCpu);
        std::printf("%-24s%d solids, %d faces, %d edges\n", "entities", counts[3], counts[2], counts[1]);
        std::printf("%-24s%zu domains, %zu boundaries\n", "groups", model.getDomains().size(),
                    model.getBoundaries().size());
        std::printf("%-24s%zu BREP, %zu VTK, JSON of %zu bytes\n", "side files",
                    filesBelow(scratch / "geometry", ".brep"),
                    filesBelow(scratch / "vtk", ".vtk"), document.dump().size());
        std::printf("%-24s%.6f\n", "total_seconds", total);

        // Beside the side files, so that bench/check-identical.sh compares
        // every output of the stage.
        std::ofstream(scratch / "geometryData.json") << document.dump(4) << '\n';
    } catch (const std::exception& error) {
        std::cerr << "Exception  " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
