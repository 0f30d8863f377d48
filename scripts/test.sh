#!/usr/bin/env bash
# Builds the Debug test configuration (AddressSanitizer + UBSan, warnings as errors)
# and runs every suite, after the extra stages in scripts/test.d (TSan, fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
jobs=${QV_JOBS:-$(nproc)}  # QV_JOBS caps parallelism on a shared machine

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DQV_SANITIZE=address,undefined -DQV_WERROR=ON -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build build/test -j "$jobs"

shopt -s nullglob
for stage in scripts/test.d/*.sh; do
  echo "== $stage"
  bash "$stage"
done

# The main suites last, so the run closes on CTest's summary.
ctest --test-dir build/test --output-on-failure -j "$jobs" --timeout 300
