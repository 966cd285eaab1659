#include "topology/LengthUnit.h"

std::string unitToString(LengthUnit unit)
{
    switch (unit) {
    case metre: return "m";
    case millimetre: return "mm";
    case centimetre: return "cm";
    case inch: return "inch";
    default: return "";
    }
}

LengthUnit unitFromString(std::string text)
{
    // Exact, case-sensitive match: "M" or " m" is not a unit we know.
    if (text == "m") return metre;
    if (text == "mm") return millimetre;
    if (text == "cm") return centimetre;
    if (text == "inch") return inch;
    return unknownUnit;
}

double unitToMetres(LengthUnit unit)
{
    switch (unit) {
    case millimetre: return 0.001;
    case centimetre: return 0.01;
    case inch: return 0.0254;
    default: return 1.0;
    }
}
