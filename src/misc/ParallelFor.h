#pragma once

#include <exception>
#include <functional>
#include <vector>

#include <omp.h>

// Runs body(i) for i in [0, count) as an OpenMP loop with a static schedule.
// Every iteration runs; whatever an iteration throws is caught there (an
// exception leaving an OpenMP region would terminate the process) and, after
// the loop, the exception of the lowest failing index is rethrown unchanged.
// Called inside another parallel region, the loop runs serially.
inline void parallelFor(int count, const std::function<void(int)>& body)
{
    if (count <= 0) {
        return;
    }
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(count));
    const bool nested = omp_in_parallel() != 0;
#pragma omp parallel for schedule(static) if (!nested)
    for (int i = 0; i < count; ++i) {
        try {
            body(i);
        } catch (...) {
            errors[static_cast<std::size_t>(i)] = std::current_exception();
        }
    }
    for (const auto& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}
