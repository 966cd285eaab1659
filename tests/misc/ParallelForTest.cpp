#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "misc/ParallelFor.h"

TEST(ParallelFor, RunsEveryIteration)
{
    std::atomic<int> sum{0};
    parallelFor(100, [&](int i) { sum += i; });
    EXPECT_EQ(sum.load(), 4950);
}
