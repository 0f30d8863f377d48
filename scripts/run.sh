#!/usr/bin/env bash
# Installs what is needed, builds the release configuration and runs the main program: the
# example document in a window (where there is no display, its graph pane drawn into a PNG).
# With --bench it also builds and runs the benchmark suite in its quick mode.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
jobs=${QV_JOBS:-$(nproc)}
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null

if [ "${1:-}" = "--bench" ]; then
  cmake --build build/release -j "$jobs"
  echo "Quorvalis benchmarks (quick mode; times are per iteration):"
  build/release/bench/qv_bench --benchmark_min_time=0.05
  exit 0
fi

cmake --build build/release -j "$jobs" --target quorvalis quorvalis-render
# The window on the example; where there is no display the program says so and writes the PNG.
build/release/app/quorvalis examples/first-graphs.txt --output build/first-graphs.png
