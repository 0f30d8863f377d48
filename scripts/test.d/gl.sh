#!/usr/bin/env bash
# GL stage: runs the Mesa smoke test on its own so the log shows which renderer, GL version and
# profile the machine gave (the main CTest run keeps passing tests quiet).
set -euo pipefail
cd "$(dirname "$0")/../.."

LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  build/test/tests/graphics/test_graphics --gtest_filter='RealGLTest.Mesa*' --gtest_brief=1
