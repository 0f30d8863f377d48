// Decoding a "type:" line's keys: the cost per byte of a line of opening braces, none of which
// closes (each once searched the rest of the line for its "}"), against a line of letters of the
// same length (one key a byte, no search) as the reference. Both should stay flat per byte from
// 64 KiB to the document's limit of 1 MiB.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "document/typed_keys.h"

namespace {

void Decode(benchmark::State& state, char fill) {
  const std::string text = "}" + std::string(static_cast<size_t>(state.range(0)) - 1, fill);
  for (auto _ : state) {
    std::vector<TypedKey> keys;
    std::string reason;
    benchmark::DoNotOptimize(DecodeTypedKeys(text, &keys, &reason));
    benchmark::DoNotOptimize(keys.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

}  // namespace

static void BM_DecodeLineOfBraces(benchmark::State& state) { Decode(state, '{'); }
BENCHMARK(BM_DecodeLineOfBraces)->RangeMultiplier(4)->Range(64 << 10, 1 << 20)->Unit(benchmark::kMillisecond);

static void BM_DecodeLineOfLetters(benchmark::State& state) { Decode(state, 'a'); }
BENCHMARK(BM_DecodeLineOfLetters)->RangeMultiplier(4)->Range(64 << 10, 1 << 20)->Unit(benchmark::kMillisecond);
