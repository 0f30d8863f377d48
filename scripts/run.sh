#!/usr/bin/env bash
# Builds the release configuration and runs the main program. Until the main
# program exists, runs the benchmark suite in its quick mode and reports it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "${QV_JOBS:-$(nproc)}"

echo "Quorvalis benchmarks (quick mode; times are per iteration):"
build/release/bench/qv_bench --benchmark_min_time=0.05
