#!/usr/bin/env bash
# Fresh machine to driver verdict: install packages, build, run the reference case.
# JOBS limits the build's parallelism (default: all cores).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-$(nproc)}"
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs" --target geometryDataTest
./build/geometryDataTest
