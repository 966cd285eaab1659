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
// serially.
inline void run(int count, const std::function<void(int)>& body, bool dynamic)
{
    if (count <= 0) {
        return;
    }
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(count));
    const auto iteration = [&](int i) {
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
