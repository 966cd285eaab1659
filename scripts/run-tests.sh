#!/usr/bin/env bash
# Fresh machine to test verdict: install packages, build, run every test.
# JOBS limits the build's and the tests' parallelism (default: all cores).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-$(nproc)}"
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
