#pragma once

#include <cmath>
#include <string>

#include <gtest/gtest.h>

// Constants and the relative tolerance of the air's values worked out by hand.
const double sqrt2 = std::sqrt(2.0);
const double sqrt3 = std::sqrt(3.0);
const double pi = std::acos(-1.0);

inline void expectClose(double actual, double expected, const std::string& what)
{
    EXPECT_NEAR(actual, expected, 1e-6 * std::fabs(expected)) << what;
}
