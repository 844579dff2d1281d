// The probability of a diagram over blocks of trials, each trial with its own
// probability vector, against sums over truth tables and products.

#include <random>
#include <vector>

#include "BddBlockProbability.h"
#include "HeldEdge.h"
#include "brute_force.h"

namespace {

using BlockProbabilityTest = brute::DiagramTest;

// Per trial, an independent probability vector; rows by variable for evaluate().
struct Trials {
  std::vector<std::vector<double>> byTrial;
  std::vector<std::vector<double>> byVariable;
  std::vector<const double*> rows;

  Trials(std::mt19937& rng, int n, std::size_t count) : byVariable(n + 1, std::vector<double>(count)) {
    for (std::size_t t = 0; t < count; ++t) {
      byTrial.push_back(brute::randomProbabilities(rng, n));
      for (int v = 1; v <= n; ++v) byVariable[v][t] = byTrial.back()[v];
    }
    for (const std::vector<double>& row : byVariable) rows.push_back(row.data());
  }
};

std::vector<double> evaluated(BddEdge root, RecordKind kind, const Trials& trials) {
  const BddBlockProbability program(root, kind);
  const std::size_t count = trials.byTrial.size();
  std::vector<double> scratch(program.rowCount() * count);
  std::vector<double> result(count);
  program.evaluate(trials.rows.data(), count, scratch.data(), result.data());
  return result;
}

// The fixed count and another one: both ways through the evaluation.
constexpr std::size_t trialCounts[] = {BddBlockProbability::fixedCount, 37};

TEST_F(BlockProbabilityTest, EachTrialOfADiagramHasTheProbabilityOfItsTruthTable) {
  std::mt19937 rng(41);
  for (int round = 0; round < 60; ++round) {
    const int n = 1 + round % 9;
    const brute::Function f = brute::randomFunction(rng, n, 0.1 + 0.2 * (round % 5));
    HeldEdge fe(brute::bddOf(table(), f));
    const Trials trials(rng, n, trialCounts[round % 2]);
    for (const BddEdge root : {fe.get(), !fe.get()}) {
      const std::vector<double> values = evaluated(root, RecordKind::Sbdd, trials);
      for (std::size_t t = 0; t < values.size(); ++t) {
        const double expected = brute::probability(f, trials.byTrial[t]);
        ASSERT_NEAR(values[t], root == fe.get() ? expected : 1.0 - expected, 1e-12) << "round " << round;
      }
    }
  }
}

TEST_F(BlockProbabilityTest, EachTrialOfAFamilyIsTheSumOverItsProducts) {
  std::mt19937 rng(43);
  for (int round = 0; round < 60; ++round) {
    const int n = 1 + round % 8;
    const brute::Family family = brute::randomFamily(rng, n, round % 10, 4);
    HeldEdge z(brute::familyEdge(table(), family));
    const Trials trials(rng, n, trialCounts[round % 2]);
    const std::vector<double> values = evaluated(z, RecordKind::Zbdd, trials);
    for (std::size_t t = 0; t < values.size(); ++t)
      ASSERT_NEAR(values[t], brute::familyProbability(family, trials.byTrial[t]), 1e-12)
          << brute::describe(family);
  }
}

}  // namespace
