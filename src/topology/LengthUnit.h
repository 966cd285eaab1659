#pragma once

#include <cstdint>
#include <string>

// Length unit of a model. Any unit the system does not know is unknownUnit,
// written back as the empty text.
enum LengthUnit : std::uint32_t {
    metre = 0,
    millimetre = 1,
    centimetre = 2,
    inch = 3,
    unknownUnit = 4,
};

std::string unitToString(LengthUnit unit);
LengthUnit unitFromString(std::string text);
double unitToMetres(LengthUnit unit);
