#!/usr/bin/env bash
# Layering stage: no include cycle between files anywhere in the tree, and no library that
# includes, names in its CMake links or calls into a layer above it (the symbol test reads the
# libraries test.sh has just built in build/test).
set -euo pipefail
bash "$(dirname "$0")/../check-include-cycles.sh"
bash "$(dirname "$0")/../check-layers.sh" build/test
