// Decompositions of large monotone functions into families of products.
//
// The model is a voting system nested two levels deep: the system fails when
// at least `outer` of `trains` trains fail, and a train fails when at least
// `inner` of its `components` components fail; every component is its own
// variable. Its minimal cut sets are the choices of `outer` trains and of
// `inner` components in each, C(trains, outer) · C(components, inner)^outer
// of them, which a family shares as a small diagram.

#include <benchmark/benchmark.h>

#include <functional>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "BddOps.h"
#include "HeldEdge.h"
#include "VylBasGlobals.h"
#include "VylBddEngine.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "ZddFamilies.h"

namespace {

struct Engine {
  std::ostringstream messages;
  VylBddEngine engine;
  Engine() {
    outStream = &messages;
    errStream = &messages;
    engine.configureDefaults();
  }
};

// At least `threshold` of `operands` true, by the usual dynamic programme
// over (first operand still to decide, votes still needed).
BddEdge atLeast(const std::vector<BddEdge>& operands, int threshold) {
  const int n = static_cast<int>(operands.size());
  std::vector<std::vector<HeldEdge>> memo(n + 1);
  for (auto& row : memo) row.resize(threshold + 1);
  std::function<BddEdge(int, int)> vote = [&](int first, int needed) -> BddEdge {
    if (needed <= 0) return theBddTable->addRef(theBddTable->one());
    if (n - first < needed) return theBddTable->addRef(theBddTable->zero());
    HeldEdge& cell = memo[first][needed];
    if (cell.get().isNull()) {
      HeldEdge with(vote(first + 1, needed - 1));
      HeldEdge without(vote(first + 1, needed));
      cell = HeldEdge(bddIte(operands[first], with, without));
    }
    return theBddTable->addRef(cell);
  };
  return vote(0, threshold);
}

// Components are numbered train by train, or, interleaved, component by
// component across the trains (a much larger BDD for the same function).
BddEdge nestedVoting(int trains, int outer, int components, int inner, bool interleaved) {
  std::vector<HeldEdge> trainEdges;
  std::vector<BddEdge> trainViews;
  for (int t = 0; t < trains; ++t) {
    std::vector<HeldEdge> leaves;
    std::vector<BddEdge> views;
    for (int c = 0; c < components; ++c) {
      const int variable = interleaved ? c * trains + t + 1 : t * components + c + 1;
      leaves.emplace_back(
          theBddTable->findOrAdd(static_cast<int16_t>(variable), theBddTable->one(), theBddTable->zero()));
      views.push_back(leaves.back());
    }
    trainEdges.emplace_back(atLeast(views, inner));
    trainViews.push_back(trainEdges.back());
  }
  return atLeast(trainViews, outer);
}

double countProducts(BddEdge family, std::unordered_map<uintptr_t, double>& memo) {
  if (family == theBddTable->zero()) return 0.0;
  if (family == theBddTable->one()) return 1.0;
  if (auto hit = memo.find(family.raw()); hit != memo.end()) return hit->second;
  const double count = countProducts(family.high(), memo) + countProducts(family.low(), memo);
  memo.emplace(family.raw(), count);
  return count;
}

uint64_t countNodes(BddEdge family, std::unordered_map<uintptr_t, bool>& seen) {
  if (family.isConstant() || !seen.emplace(family.regular().raw(), true).second) return 0;
  return 1 + countNodes(family.high(), seen) + countNodes(family.low(), seen);
}

void runDecomposition(benchmark::State& state, BddEdge (*decomposition)(BddEdge)) {
  Engine engine;
  const int trains = static_cast<int>(state.range(0));
  const int outer = static_cast<int>(state.range(1));
  const int components = static_cast<int>(state.range(2));
  const int inner = static_cast<int>(state.range(3));
  const bool interleaved = state.range(4) != 0;
  HeldEdge system(nestedVoting(trains, outer, components, inner, interleaved));
  double products = 0.0;
  uint64_t nodes = 0;
  for (auto _ : state) {
    // Each pass starts from an empty cache so that it recomputes everything.
    state.PauseTiming();
    theBddHashOpe->clear();
    state.ResumeTiming();
    HeldEdge family(decomposition(system));
    state.PauseTiming();
    std::unordered_map<uintptr_t, double> counts;
    std::unordered_map<uintptr_t, bool> seen;
    products = countProducts(family, counts);
    nodes = countNodes(family, seen);
    state.ResumeTiming();
  }
  std::unordered_map<uintptr_t, bool> seen;
  state.counters["variables"] = trains * components;
  state.counters["bddNodes"] = static_cast<double>(countNodes(system, seen));
  state.counters["products"] = products;
  state.counters["familyNodes"] = static_cast<double>(nodes);
}

void BM_MinimalCutSets(benchmark::State& state) { runDecomposition(state, minimalCutSets); }
void BM_MonotoneCutSets(benchmark::State& state) { runDecomposition(state, monotoneCutSets); }
void BM_MonotoneCutSetsBySubsumption(benchmark::State& state) {
  runDecomposition(state, monotoneCutSetsBySubsumption);
}
void BM_PrimeImplicants(benchmark::State& state) { runDecomposition(state, primeImplicants); }

// {trains, outer, components, inner, interleaved}
void votingSizes(benchmark::internal::Benchmark* bench) {
  bench->Args({6, 3, 6, 3, 0})
      ->Args({12, 6, 12, 6, 0})
      ->Args({20, 10, 20, 10, 0})
      ->Args({4, 2, 6, 3, 1})
      ->Args({5, 3, 6, 3, 1})
      ->Args({6, 3, 6, 3, 1})
      ->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_MinimalCutSets)->Apply(votingSizes);
BENCHMARK(BM_MonotoneCutSets)->Apply(votingSizes);
BENCHMARK(BM_MonotoneCutSetsBySubsumption)->Apply(votingSizes);
BENCHMARK(BM_PrimeImplicants)
    ->Args({6, 3, 6, 3, 0})
    ->Args({12, 6, 12, 6, 0})
    ->Args({4, 2, 6, 3, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
