#!/usr/bin/env bash
# The tests once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Any report fails the run. Leak detection stays off: the CAD and VTK
# libraries keep allocations until exit by design.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-$(nproc)}"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEMRA_SANITIZE=ON -DVEMRA_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
export ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
