#!/usr/bin/env bash
# GL stage: runs the Mesa smoke tests on their own so the log shows which renderer, GL version and
# profile the machine gave, the two built-in programs' native instruction counts, and the pixels
# read back at the top-left and bottom-right of a view in both GL kinds (the main CTest run keeps
# passing tests quiet). Built with AddressSanitizer and UBSan like every suite; only Mesa's own
# allocations (and fontconfig's) are suppressed for LeakSanitizer.
set -euo pipefail
cd "$(dirname "$0")/../.."

LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  build/test/tests/graphics/test_graphics --gtest_filter='RealGLTest.Mesa*' --gtest_brief=1
