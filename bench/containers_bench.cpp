// Container throughput: block pool alloc/free/trim cycles, the trim of blocks released in
// random order (linear in the deferred blocks: compare N with 2N), growable-array and
// chunk-pool appends, all on the counting allocator.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "kernel/memory/block_pool.h"
#include "kernel/memory/chunk_pool.h"
#include "kernel/memory/growable_array.h"

namespace {

struct Node24 { void* a; void* b; double v; };

void BM_BlockPoolAllocFreeTrim(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  BlockPool<Node24> pool;
  std::vector<Node24*> blocks(static_cast<std::size_t>(n));
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) blocks[static_cast<std::size_t>(i)] = BlockPoolAlloc(pool);
    for (int i = 0; i < n; ++i) BlockPoolFree(pool, blocks[static_cast<std::size_t>(i)]);
    BlockPoolTrim(pool);
  }
  BlockPoolDestroy(pool);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BlockPoolAllocFreeTrim)->Arg(1000)->Arg(100000);

// N blocks released in random order wait on the deferred list.
void ReleaseInRandomOrder(BlockPool<Node24>& pool, std::vector<Node24*>& blocks, std::mt19937& rng) {
  for (Node24*& b : blocks) b = BlockPoolAlloc(pool);
  std::shuffle(blocks.begin(), blocks.end(), rng);
  for (Node24* b : blocks) BlockPoolFree(pool, b);
}

// Only the trim is timed.
void BM_BlockPoolTrimRandomOrder(benchmark::State& state) {
  BlockPool<Node24> pool;
  std::vector<Node24*> blocks(static_cast<std::size_t>(state.range(0)));
  std::mt19937 rng(12345);
  for (auto _ : state) {
    state.PauseTiming();
    ReleaseInRandomOrder(pool, blocks, rng);
    state.ResumeTiming();
    BlockPoolTrim(pool);
  }
  BlockPoolDestroy(pool);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The floor under the trim: walking the same deferred list, one cache miss a block once the
// blocks outgrow the caches. The trim's cost per block follows this walk's.
void BM_BlockPoolDeferredListWalk(benchmark::State& state) {
  BlockPool<Node24> pool;
  std::vector<Node24*> blocks(static_cast<std::size_t>(state.range(0)));
  std::mt19937 rng(12345);
  ReleaseInRandomOrder(pool, blocks, rng);
  for (auto _ : state) benchmark::DoNotOptimize(BlockPoolDeferredCount(pool.core));
  BlockPoolDestroy(pool);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_BlockPoolTrimRandomOrder)
    ->Arg(25000)->Arg(50000)->Arg(100000)->Arg(200000)
    ->Arg(400000)->Arg(800000)->Arg(1600000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockPoolDeferredListWalk)
    ->Arg(25000)->Arg(50000)->Arg(100000)->Arg(200000)
    ->Arg(400000)->Arg(800000)->Arg(1600000)
    ->Unit(benchmark::kMillisecond);

void BM_BlockPoolReuseDeferred(benchmark::State& state) {
  BlockPool<Node24> pool;
  Node24* p = BlockPoolAlloc(pool);
  for (auto _ : state) {
    BlockPoolFree(pool, p);
    p = BlockPoolAlloc(pool);
    benchmark::DoNotOptimize(p);
  }
  BlockPoolFree(pool, p);
  BlockPoolDestroy(pool);
}
BENCHMARK(BM_BlockPoolReuseDeferred);

void BM_GrowArrayAppend(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    GrowArray<double> a;
    for (int i = 0; i < n; ++i) {
      if (!GrowArrayAppend(a, static_cast<double>(i))) state.SkipWithError("append refused");
    }
    benchmark::DoNotOptimize(a.data);
    GrowArrayFree(a);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_GrowArrayAppend)->Arg(10000);

void BM_ChunkPoolAppend(benchmark::State& state) {
  struct P16 { double x, y; };
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    ChunkPool<P16, 256> pool;
    for (int i = 0; i < n; ++i) {
      if (ChunkPoolAppend16(pool, P16{double(i), 0}) != 0) state.SkipWithError("append refused");
    }
    benchmark::DoNotOptimize(ChunkPoolAt16(pool, n - 1));
    ChunkPoolClear(pool);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ChunkPoolAppend)->Arg(10000);

}  // namespace
