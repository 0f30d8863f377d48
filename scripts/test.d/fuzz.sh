#!/usr/bin/env bash
# Fuzzing stage: builds the formula-reader fuzz target with clang + libFuzzer (ASan and
# UBSan) in build/fuzz and runs it for a bounded time from the seed corpus; any crash,
# sanitizer report, leak or timeout fails the stage. 60 s normally, 10 s while landing.
set -euo pipefail
cd "$(dirname "$0")/../.."

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing (scripts/install-deps.sh installs it)"; exit 1
fi
cmake -S tests/fuzz -B build/fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=None >/dev/null
cmake --build build/fuzz -j "${QV_JOBS:-4}" --target formula_reader_fuzz

seconds=60
if [ "${QV_LAND:-0}" = "1" ]; then seconds=10; fi
corpus=build/fuzz/corpus/formula_reader
mkdir -p "$corpus"
cp -n tests/fuzz/corpus/formula_reader/* "$corpus"/
build/fuzz/formula_reader_fuzz "$corpus" -max_total_time="$seconds" -max_len=20000 -timeout=10 \
  -rss_limit_mb=2048 -dict=tests/fuzz/formula_reader.dict -print_final_stats=1 \
  -artifact_prefix=build/fuzz/
