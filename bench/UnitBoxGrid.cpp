// Writes an N x N x N grid of touching unit boxes as one STEP file: the boxes
// are separate solids that only share their faces geometrically, so the file
// needs the general fuse to become one conforming partition.
#include <cstdlib>
#include <iostream>
#include <string>

#include <BRepPrimAPI_MakeBox.hxx>
#include <BRep_Builder.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <STEPControl_Writer.hxx>
#include <Standard_Failure.hxx>
#include <TopoDS_Compound.hxx>
#include <gp_Pnt.hxx>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: unit_box_grid N output.step" << std::endl;
        return 2;
    }
    const int n = std::atoi(argv[1]);
    if (n < 1 || n > 50) {
        std::cerr << "N must lie between 1 and 50" << std::endl;
        return 2;
    }
    try {
        BRep_Builder builder;
        TopoDS_Compound grid;
        builder.MakeCompound(grid);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                for (int k = 0; k < n; ++k) {
                    builder.Add(grid, BRepPrimAPI_MakeBox(gp_Pnt(i, j, k), 1.0, 1.0, 1.0).Solid());
                }
            }
        }
        STEPControl_Writer writer;
        if (writer.Transfer(grid, STEPControl_AsIs) != IFSelect_RetDone || writer.Write(argv[2]) != IFSelect_RetDone) {
            std::cerr << "could not write " << argv[2] << std::endl;
            return 1;
        }
    } catch (const Standard_Failure& failure) {
        std::cerr << "CAD kernel failure: " << failure.GetMessageString() << std::endl;
        return 1;
    }
    std::cout << "wrote " << n * n * n << " unit boxes to " << argv[2] << std::endl;
    return 0;
}
