// Writes the entity BREP files of the stored cases test01 and test02.
//
//   makeReferenceBreps [cases directory]
//
// The directory defaults to src/tests/geometryData/tests of the source tree;
// the files go to <dir>/test01/geometry/raw and <dir>/test02/geometry/raw.
//
// The shapes (both cases use the same four):
//   small        box [0,1]^3
//   large        box [1,3] x [0,2] x [0,2]; touches small on the plane x = 1,
//                corner-aligned at (1,0,0), so small's x = 1 face covers one
//                quarter of large's x = 1 face
//   contactFace  small's x = 1 face: the square x = 1, y and z in [0,1]
//   sideFace     large's y = 0 face: x in [1,3], z in [0,2]
//
// Every shape is written on its own, so the files share no sub-shapes; the
// model only finds their contact through the partition (test01) or the
// contact tests of the relation builder (test02). How the expected
// result.json of each case follows from these shapes is written down in the
// README.md beside it.

#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepTools.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <gp_Pnt.hxx>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>

namespace {

// The face of a box whose centre of mass lies on the given coordinate plane.
TopoDS_Face boxFace(const TopoDS_Shape& box, int axis, double value)
{
    for (TopExp_Explorer explorer(box, TopAbs_FACE); explorer.More(); explorer.Next()) {
        GProp_GProps properties;
        BRepGProp::SurfaceProperties(explorer.Current(), properties);
        const gp_Pnt centre = properties.CentreOfMass();
        if (std::abs(centre.Coord(axis + 1) - value) < 1e-9) {
            return TopoDS::Face(explorer.Current());
        }
    }
    throw std::runtime_error("box has no face on the requested plane");
}

bool writeShape(const TopoDS_Shape& shape, const std::filesystem::path& file)
{
    // No triangulation is attached to fresh primitives, so the files hold
    // geometry and topology only.
    const bool written = BRepTools::Write(shape, file.string().c_str(), Standard_True, Standard_False,
                                          TopTools_FormatVersion_VERSION_3, Message_ProgressRange());
    if (!written) {
        std::cerr << "could not write " << file << "\n";
    }
    return written;
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path casesDirectory = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path(VEMRA_CASES_DIR);

    const TopoDS_Shape small = BRepPrimAPI_MakeBox(gp_Pnt(0, 0, 0), gp_Pnt(1, 1, 1)).Shape();
    const TopoDS_Shape large = BRepPrimAPI_MakeBox(gp_Pnt(1, 0, 0), gp_Pnt(3, 2, 2)).Shape();
    const TopoDS_Face contactFace = boxFace(small, 0, 1.0);
    const TopoDS_Face sideFace = boxFace(large, 1, 0.0);

    const std::vector<std::pair<std::string, TopoDS_Shape>> shapes = {
        {"small", small}, {"large", large}, {"contactFace", contactFace}, {"sideFace", sideFace}};

    bool ok = true;
    for (const std::string caseName : {"test01", "test02"}) {
        const std::filesystem::path directory = casesDirectory / caseName / "geometry" / "raw";
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        if (error) {
            std::cerr << "could not create " << directory << ": " << error.message() << "\n";
            return 1;
        }
        for (const auto& [name, shape] : shapes) {
            ok = writeShape(shape, directory / (name + ".brep")) && ok;
        }
    }
    return ok ? 0 : 1;
}
