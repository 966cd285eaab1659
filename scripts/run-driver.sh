#!/usr/bin/env bash
# Fresh machine to driver verdict: install packages, build, run the reference case.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target geometryDataTest
./build/geometryDataTest
