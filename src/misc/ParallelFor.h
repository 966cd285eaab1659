#pragma once

#include <exception>
#include <functional>
#include <vector>

#include <omp.h>

namespace parallelForDetail {

// Runs every iteration as an OpenMP loop; whatever an iteration throws is
// caught there (an exception leaving an OpenMP region would terminate the
// process) and, after the loop, the exception of the lowest failing index is
// rethrown unchanged. Called inside another parallel region, the loop runs
// serially. Given an order (a permutation of the indices), the loop hands the
// indices out in that order; the exception raised is still the lowest index's.
inline void run(int count, const std::function<void(int)>& body, bool dynamic,
                const std::vector<int>* order = nullptr)
{
    if (count <= 0) {
        return;
    }
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(count));
    const auto iteration = [&](int position) {
        const int i = order != nullptr ? (*order)[static_cast<std::size_t>(position)] : position;
        try {
            body(i);
        } catch (...) {
            errors[static_cast<std::size_t>(i)] = std::current_exception();
        }
    };
    const bool nested = omp_in_parallel() != 0;
    if (dynamic) {
#pragma omp parallel for schedule(dynamic, 1) if (!nested)
        for (int i = 0; i < count; ++i) {
            iteration(i);
        }
    } else {
#pragma omp parallel for schedule(static) if (!nested)
        for (int i = 0; i < count; ++i) {
            iteration(i);
        }
    }
    for (const auto& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}

} // namespace parallelForDetail

// Runs body(i) for i in [0, count) with a static schedule; every iteration
// runs, and the exception of the lowest failing index is rethrown afterwards.
inline void parallelFor(int count, const std::function<void(int)>& body)
{
    parallelForDetail::run(count, body, false);
}

// parallelFor for iterations of very unequal cost: each thread takes the next
// index as soon as it is free. Put the costly iterations first.
inline void parallelForDynamic(int count, const std::function<void(int)>& body)
{
    parallelForDetail::run(count, body, true);
}

// parallelForDynamic handing out the indices in the given order, a permutation
// of [0, order.size()): the costly iterations first, wherever they stand.
inline void parallelForDynamic(const std::vector<int>& order, const std::function<void(int)>& body)
{
    parallelForDetail::run(static_cast<int>(order.size()), body, true, &order);
}
