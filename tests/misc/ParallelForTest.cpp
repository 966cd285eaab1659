#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <Standard_ConstructionError.hxx>

#include "misc/ParallelFor.h"

namespace {

struct Failure {
    int index;
    enum Kind { standard, kernel, integer } kind;
};

void raise(const Failure& failure)
{
    const std::string text = "index " + std::to_string(failure.index);
    switch (failure.kind) {
    case Failure::standard: throw std::runtime_error(text);
    case Failure::kernel: throw Standard_ConstructionError(text.c_str());
    case Failure::integer: throw failure.index;
    }
}

// What the caller sees after the loop, as text.
std::string caught(const std::function<void()>& run)
{
    try {
        run();
    } catch (const std::exception& error) {
        return std::string("std ") + error.what();
    } catch (const Standard_Failure& error) {
        return std::string("kernel ") + error.GetMessageString();
    } catch (int value) {
        return "int " + std::to_string(value);
    }
    return "nothing";
}

TEST(ParallelFor, EveryIterationRunsAndTheLowestFailureIsRethrown)
{
    struct Case {
        const char* name;
        int count;
        std::vector<Failure> failures;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"no failure", 100, {}, "nothing"},
        {"one failure", 100, {{42, Failure::standard}}, "std index 42"},
        {"lowest index wins over a later one", 100, {{97, Failure::standard}, {3, Failure::standard}}, "std index 3"},
        {"lowest index wins whatever its type", 100, {{80, Failure::standard}, {7, Failure::integer}}, "int 7"},
        {"kernel failure", 64, {{63, Failure::kernel}, {1, Failure::kernel}}, "kernel index 1"},
        {"every iteration fails", 16,
         {{0, Failure::integer}, {1, Failure::standard}, {2, Failure::standard}, {3, Failure::standard},
          {4, Failure::standard}, {5, Failure::standard}, {6, Failure::standard}, {7, Failure::standard},
          {8, Failure::standard}, {9, Failure::standard}, {10, Failure::standard}, {11, Failure::standard},
          {12, Failure::standard}, {13, Failure::standard}, {14, Failure::standard}, {15, Failure::standard}},
         "int 0"},
        {"empty loop", 0, {}, "nothing"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        std::vector<std::atomic<int>> runs(static_cast<std::size_t>(testCase.count));
        const std::string result = caught([&] {
            parallelFor(testCase.count, [&](int i) {
                ++runs[static_cast<std::size_t>(i)];
                for (const auto& failure : testCase.failures) {
                    if (failure.index == i) {
                        raise(failure);
                    }
                }
            });
        });
        EXPECT_EQ(result, testCase.expected);
        for (int i = 0; i < testCase.count; ++i) {
            EXPECT_EQ(runs[static_cast<std::size_t>(i)].load(), 1) << "iteration " << i;
        }
    }
}

TEST(ParallelFor, InsideAnotherParallelRegionRunsSerially)
{
    std::vector<int> order;
    std::string result;
    parallelFor(2, [&](int outer) {
        if (outer != 0) {
            return;
        }
        const auto thread = std::this_thread::get_id();
        result = caught([&] {
            parallelFor(10, [&](int i) {
                EXPECT_EQ(std::this_thread::get_id(), thread);
                order.push_back(i);
                if (i == 4) {
                    throw std::runtime_error("inner 4");
                }
            });
        });
    });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(result, "std inner 4");
}

TEST(ParallelFor, GivenOrderHandsIndicesOutInItAndTheLowestFailureStillWins)
{
    // The costly iterations first: index 9 is handed out first, index 0 last.
    const std::vector<int> order = {9, 4, 8, 1, 7, 6, 3, 5, 2, 0};
    std::vector<std::atomic<int>> runs(order.size());
    const std::string result = caught([&] {
        parallelForDynamic(order, [&](int i) {
            ++runs[static_cast<std::size_t>(i)];
            if (i == 0 || i == 2 || i == 9) {
                throw std::runtime_error("index " + std::to_string(i));
            }
        });
    });
    EXPECT_EQ(result, "std index 0");
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].load(), 1) << "iteration " << i;
    }

    // On one thread (inside another parallel region) the order is kept exactly.
    std::vector<int> handedOut;
    parallelFor(1, [&](int) { parallelForDynamic(order, [&](int i) { handedOut.push_back(i); }); });
    EXPECT_EQ(handedOut, order);
}

} // namespace
