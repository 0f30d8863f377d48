#!/usr/bin/env bash
# ThreadSanitizer stage: builds the thread tests alone in build/tsan and runs them;
# the cooperative workers, the graphs' compute worker and the main thread must pass the
# baton with no report.
# While landing (QV_LAND=1) the suite runs once; otherwise it is repeated.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=thread \
  -DQV_WERROR=ON -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build build/tsan -j "${QV_JOBS:-4}" --target test_threads_tsan test_compute_worker_tsan
repeat=5
if [ "${QV_LAND:-0}" = "1" ]; then repeat=1; fi
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  build/tsan/tests/kernel/test_threads_tsan --gtest_repeat="$repeat" --gtest_brief=1
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  build/tsan/tests/graphs/test_compute_worker_tsan --gtest_repeat="$repeat" --gtest_brief=1
