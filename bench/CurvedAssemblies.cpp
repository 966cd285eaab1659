// Writes N x N assemblies with curved faces as one STEP file, the kinds of
// parts engineers hand to the stage: a board with cylindrical components
// standing on it, bolts through two plates with holes, and a coil of tori
// around a core. Inside each assembly parts touch (components on the board,
// bolt heads on the plate) and overlap (a pin sunk into the board, a bolt
// without a hole, the coil's turns in each other and in the core), so the
// general fuse has curved intersections to compute. The assemblies take turns
// along the rows and stand apart from each other.
#include <cstdlib>
#include <iostream>
#include <string>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCone.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakeTorus.hxx>
#include <BRep_Builder.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <STEPControl_Writer.hxx>
#include <Standard_Failure.hxx>
#include <TopoDS_Compound.hxx>
#include <gp_Ax2.hxx>
#include <gp_Pnt.hxx>

namespace {

// Each assembly fits in a 12 x 12 footprint; the pitch leaves a gap.
constexpr double pitch = 14.0;

gp_Ax2 upAt(double x, double y, double z)
{
    return gp_Ax2(gp_Pnt(x, y, z), gp_Dir(0.0, 0.0, 1.0));
}

// A 12 x 12 x 1.6 board; four components stand on it, one pin goes into it.
int addBoard(BRep_Builder& builder, TopoDS_Compound& assembly, double x, double y)
{
    const double top = 1.6;
    builder.Add(assembly, BRepPrimAPI_MakeBox(gp_Pnt(x, y, 0.0), 12.0, 12.0, top).Solid());
    builder.Add(assembly, BRepPrimAPI_MakeCylinder(upAt(x + 3.0, y + 3.0, top), 1.5, 4.0).Solid());
    builder.Add(assembly, BRepPrimAPI_MakeCylinder(upAt(x + 9.0, y + 3.0, top), 1.0, 2.5).Solid());
    builder.Add(assembly, BRepPrimAPI_MakeCone(upAt(x + 3.0, y + 9.0, top), 1.8, 0.9, 3.0).Solid());
    builder.Add(assembly, BRepPrimAPI_MakeBox(gp_Pnt(x + 7.5, y + 7.5, top), 3.0, 3.0, 1.2).Solid());
    builder.Add(assembly, BRepPrimAPI_MakeCylinder(upAt(x + 6.0, y + 6.0, 0.8), 0.6, 3.0).Solid());
    return 6;
}

// Two stacked 12 x 12 x 1 plates with three holes; bolts (shank, head, nut)
// pass through the holes with clearance, and a fourth bolt goes through both
// plates where there is no hole.
int addBoltedPlates(BRep_Builder& builder, TopoDS_Compound& assembly, double x, double y)
{
    const double holes[3][2] = {{3.0, 3.0}, {9.0, 3.0}, {3.0, 9.0}};
    int solids = 0;
    for (int plate = 0; plate < 2; ++plate) {
        TopoDS_Shape shape = BRepPrimAPI_MakeBox(gp_Pnt(x, y, plate), 12.0, 12.0, 1.0).Solid();
        for (const auto& hole : holes) {
            BRepAlgoAPI_Cut cut(shape, BRepPrimAPI_MakeCylinder(upAt(x + hole[0], y + hole[1], plate - 0.5), 0.8,
                                                                 2.0).Solid());
            shape = cut.Shape();
        }
        builder.Add(assembly, shape);
        ++solids;
    }
    const double bolts[4][2] = {{3.0, 3.0}, {9.0, 3.0}, {3.0, 9.0}, {9.0, 9.0}};
    for (const auto& bolt : bolts) {
        builder.Add(assembly, BRepPrimAPI_MakeCylinder(upAt(x + bolt[0], y + bolt[1], -1.0), 0.6, 4.0).Solid());
        builder.Add(assembly, BRepPrimAPI_MakeCylinder(upAt(x + bolt[0], y + bolt[1], 2.0), 1.2, 0.7).Solid());
        builder.Add(assembly, BRepPrimAPI_MakeCylinder(upAt(x + bolt[0], y + bolt[1], -0.6), 1.1, 0.6).Solid());
        solids += 3;
    }
    return solids;
}

// A core cylinder with six turns of a coil: each torus overlaps the next and
// cuts slightly into the core.
int addCoil(BRep_Builder& builder, TopoDS_Compound& assembly, double x, double y)
{
    builder.Add(assembly, BRepPrimAPI_MakeCylinder(upAt(x + 6.0, y + 6.0, 0.0), 1.5, 7.0).Solid());
    for (int turn = 0; turn < 6; ++turn) {
        builder.Add(assembly, BRepPrimAPI_MakeTorus(upAt(x + 6.0, y + 6.0, 1.0 + 0.9 * turn), 1.9, 0.5).Solid());
    }
    return 7;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: curved_assemblies N output.step" << std::endl;
        return 2;
    }
    const int n = std::atoi(argv[1]);
    if (n < 1 || n > 30) {
        std::cerr << "N must lie between 1 and 30" << std::endl;
        return 2;
    }
    int solids = 0;
    try {
        BRep_Builder builder;
        TopoDS_Compound assemblies;
        builder.MakeCompound(assemblies);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const double x = pitch * i;
                const double y = pitch * j;
                switch ((i + j) % 3) {
                case 0:
                    solids += addBoard(builder, assemblies, x, y);
                    break;
                case 1:
                    solids += addBoltedPlates(builder, assemblies, x, y);
                    break;
                default:
                    solids += addCoil(builder, assemblies, x, y);
                    break;
                }
            }
        }
        STEPControl_Writer writer;
        if (writer.Transfer(assemblies, STEPControl_AsIs) != IFSelect_RetDone ||
            writer.Write(argv[2]) != IFSelect_RetDone) {
            std::cerr << "could not write " << argv[2] << std::endl;
            return 1;
        }
    } catch (const Standard_Failure& failure) {
        std::cerr << "CAD kernel failure: " << failure.GetMessageString() << std::endl;
        return 1;
    }
    std::cout << "wrote " << n * n << " assemblies of " << solids << " solids to " << argv[2] << std::endl;
    return 0;
}
