// Reads one CAD file, puts it in air (automatic padding, no terminals) and
// prints the verdict: the solids read, then either the refusal or whether the
// model's and the air's solids fill the box exactly (relative volume error)
// and how many faces the outer boundary holds. Not run by ctest.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>

#include "geometryData/BoundaryGroup.h"
#include "geometryData/DomainGroup.h"
#include "geometryData/GeometryData.h"
#include "geometryData/TopoEntity.h"

namespace fs = std::filesystem;

namespace {

int solidsOf(const GeometryData& model)
{
    int count = 0;
    for (const auto& entity : model.getEntities()) {
        count += entity->getDimension() == 3 ? 1 : 0;
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: air_verdict model.step scratch-directory" << std::endl;
        return 2;
    }
    const fs::path input = fs::absolute(argv[1]);
    const fs::path scratch = fs::absolute(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    try {
        fs::remove_all(scratch);
        fs::create_directories(scratch);
        fs::copy_file(input, scratch / input.filename());
        GeometryData model(scratch.string());
        model.setGroupMode(groupsFromAllEntities);
        model.readCADfiles({input.filename().string()});
        std::printf("read %d solids %zu entities\n", solidsOf(model), model.getEntities().size());
        std::fflush(stdout);
        model.addAir(0.0, {});

        double total = 0.0;
        for (const auto& entity : model.getEntities()) {
            if (entity->getDimension() == 3) {
                GProp_GProps properties;
                BRepGProp::VolumeProperties(entity->getShape(), properties, 1e-9);
                total += properties.Mass();
            }
        }
        int infinityFaces = 0;
        double boxVolume = 0.0;
        for (const auto& group : model.getBoundaries()) {
            if (group->getName() == "air_infinity") {
                infinityFaces = static_cast<int>(group->getEntities().size());
                Bnd_Box box;
                box.SetGap(0.0);
                BRepBndLib::AddOptimal(group->getShape(), box, false, false);
                double x0, y0, z0, x1, y1, z1;
                box.Get(x0, y0, z0, x1, y1, z1);
                boxVolume = (x1 - x0) * (y1 - y0) * (z1 - z0);
            }
        }
        std::printf("air %d solids, volume error %.3e, %d infinity faces, %.2f s\n", solidsOf(model),
                    (total - boxVolume) / boxVolume, infinityFaces, seconds());
    } catch (const std::exception& error) {
        std::printf("refused: %s (%.2f s)\n", error.what(), seconds());
        return 1;
    }
    return 0;
}
