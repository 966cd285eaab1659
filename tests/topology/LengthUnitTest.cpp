#include <gtest/gtest.h>

#include "topology/LengthUnit.h"

namespace {

TEST(LengthUnit, TextValueAndFactor)
{
    struct Case {
        std::string text;
        LengthUnit unit;
        std::string writtenBack;
        double metres;
    };
    const std::vector<Case> cases = {
        {"m", metre, "m", 1.0},
        {"mm", millimetre, "mm", 0.001},
        {"cm", centimetre, "cm", 0.01},
        {"inch", inch, "inch", 0.0254},
        // Only the exact texts are units; anything else is unknown and written back empty.
        {"M", unknownUnit, "", 1.0},
        {"Inch", unknownUnit, "", 1.0},
        {" m", unknownUnit, "", 1.0},
        {"m ", unknownUnit, "", 1.0},
        {"meter", unknownUnit, "", 1.0},
        {"in", unknownUnit, "", 1.0},
        {"ft", unknownUnit, "", 1.0},
        {"", unknownUnit, "", 1.0},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE("'" + testCase.text + "'");
        const LengthUnit unit = unitFromString(testCase.text);
        EXPECT_EQ(unit, testCase.unit);
        EXPECT_EQ(static_cast<std::uint32_t>(unit), static_cast<std::uint32_t>(testCase.unit));
        EXPECT_EQ(unitToString(unit), testCase.writtenBack);
        EXPECT_DOUBLE_EQ(unitToMetres(unit), testCase.metres);
    }
}

TEST(LengthUnit, StoredValuesAndOutOfRange)
{
    EXPECT_EQ(static_cast<std::uint32_t>(metre), 0u);
    EXPECT_EQ(static_cast<std::uint32_t>(millimetre), 1u);
    EXPECT_EQ(static_cast<std::uint32_t>(centimetre), 2u);
    EXPECT_EQ(static_cast<std::uint32_t>(inch), 3u);
    EXPECT_EQ(static_cast<std::uint32_t>(unknownUnit), 4u);
    static_assert(sizeof(LengthUnit) == 4, "stored as an unsigned 32-bit value");
    for (const std::uint32_t value : {4u, 5u, 9u, 0xFFFFFFFFu}) {
        const auto unit = static_cast<LengthUnit>(value);
        EXPECT_EQ(unitToString(unit), "") << value;
        EXPECT_DOUBLE_EQ(unitToMetres(unit), 1.0) << value;
    }
}

} // namespace
