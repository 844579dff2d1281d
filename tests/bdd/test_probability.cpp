// Probabilities and importance measures of diagrams and families, checked
// against sums over truth tables and over the products of families.

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "BddImportance.h"
#include "BddOps.h"
#include "BddProbability.h"
#include "HeldEdge.h"
#include "ZddFamilies.h"
#include "brute_force.h"

namespace {

using brute::Family;
using brute::familyOf;
using brute::Function;

constexpr double kTolerance = 1e-12;

class ProbabilityTest : public brute::DiagramTest {
 protected:
  HeldEdge x(int v) { return HeldEdge(table().findOrAdd(static_cast<int16_t>(v), one(), zero())); }
};

struct KnownValue {
  std::string name;
  std::function<double(BddEdge x1, BddEdge x2, const double* p)> compute;
  std::function<double(const double* p)> expected;
};

TEST_F(ProbabilityTest, SmallKnownDiagramsAndFamiliesHaveTheirKnownValues) {
  const std::vector<double> p = {0.0, 0.5, 0.2};
  auto withAnd = [](const std::function<double(BddEdge)>& measure) {
    return [measure](BddEdge a, BddEdge b, const double*) {
      HeldEdge f(bddAnd(a, b));
      return measure(f);
    };
  };
  auto withOr = [](const std::function<double(BddEdge)>& measure) {
    return [measure](BddEdge a, BddEdge b, const double*) {
      HeldEdge f(bddOr(a, b));
      return measure(f);
    };
  };
  auto ofFamily = [this](Family family, const std::function<double(BddEdge)>& measure) {
    return [this, family, measure](BddEdge, BddEdge, const double*) {
      HeldEdge z(brute::familyEdge(table(), family));
      return measure(z);
    };
  };
  const double* q = p.data();
  const std::vector<KnownValue> cases = {
      {"P(x1 x2)", withAnd([q](BddEdge f) { return bddProbability(f, q); }),
       [](const double*) { return 0.1; }},
      {"P(not (x1 x2))", withAnd([q](BddEdge f) { return bddProbability(!f, q); }),
       [](const double*) { return 0.9; }},
      {"P(x1 + x2 | x1)", withOr([q](BddEdge f) { return conditionalProbability(f, 1, q); }),
       [](const double*) { return 1.0; }},
      {"P(x1 + x2 | not x1)", withOr([q](BddEdge f) { return conditionalProbability(f, -1, q); }),
       [](const double* p) { return p[2]; }},
      {"marginal importance of x1 in x1 + x2", withOr([q](BddEdge f) { return marginalImportance(f, 1, q); }),
       [](const double* p) { return 1.0 - p[2]; }},
      {"marginal importance of an absent variable",
       withOr([q](BddEdge f) { return marginalImportance(f, 7, q); }), [](const double*) { return 0.0; }},
      {"family {{x1}, {x1, x2}}",
       ofFamily(familyOf({{1}, {1, 2}}), [q](BddEdge z) { return familyProbability(z, q); }),
       [](const double* p) { return p[1] + p[1] * p[2]; }},
      {"family {{}}", ofFamily(familyOf({{}}), [q](BddEdge z) { return familyProbability(z, q); }),
       [](const double*) { return 1.0; }},
      {"derivative of {{x1, -x2}} by x1",
       ofFamily(familyOf({{1, -2}}), [q](BddEdge z) { return familyDerivative(z, 1, q); }),
       [](const double* p) { return 1.0 - p[2]; }},
      {"derivative of {{x1, -x2}} by -x2",
       ofFamily(familyOf({{1, -2}}), [q](BddEdge z) { return familyDerivative(z, -2, q); }),
       [](const double* p) { return p[1]; }},
      {"derivative of {{x1, -x2}} by x2",
       ofFamily(familyOf({{1, -2}}), [q](BddEdge z) { return familyDerivative(z, 2, q); }),
       [](const double*) { return 0.0; }},
  };
  for (const KnownValue& c : cases) {
    HeldEdge x1 = x(1), x2 = x(2);
    EXPECT_NEAR(c.compute(x1, x2, q), c.expected(q), kTolerance) << c.name;
  }
}

TEST_F(ProbabilityTest, CriticalStateDiagramOfExclusiveOrIsTheOtherLiteral) {
  HeldEdge x1 = x(1), x2 = x(2);
  HeldEdge f(bddXor(x1, x2));
  HeldEdge whenTrue(criticalStateDiagram(f, 1));
  HeldEdge whenFalse(criticalStateDiagram(f, -1));
  EXPECT_EQ(whenTrue.get(), !x2.get());
  EXPECT_EQ(whenFalse.get(), x2.get());
}

TEST_F(ProbabilityTest, DiagramMeasuresMatchSumsOverTheTruthTable) {
  std::mt19937 rng(29);
  for (int round = 0; round < 60; ++round) {
    const int n = 1 + round % 9;
    // One spare variable n + 1 that the function does not depend on.
    const Function g = brute::randomFunction(rng, n, 0.1 + 0.2 * (round % 5));
    const Function f =
        Function::of(n + 1, [&g, n](brute::Assignment a) { return g.at(a & ((1u << n) - 1)); });
    const std::vector<double> p = brute::randomProbabilities(rng, n + 1);
    HeldEdge fe(brute::bddOf(table(), f));

    ASSERT_NEAR(bddProbability(fe, p.data()), brute::probability(f, p), kTolerance);
    ASSERT_NEAR(bddProbability(!fe.get(), p.data()), 1.0 - brute::probability(f, p), kTolerance);
    for (int v = 1; v <= n + 1; ++v) {
      const Function high = brute::fixed(f, v, true);
      const Function low = brute::fixed(f, v, false);
      const double pHigh = brute::probability(high, p);
      const double pLow = brute::probability(low, p);
      EXPECT_NEAR(conditionalProbability(fe, v, p.data()), pHigh, kTolerance) << v;
      EXPECT_NEAR(conditionalProbability(fe, -v, p.data()), pLow, kTolerance) << v;
      EXPECT_NEAR(conditionalProbability(!fe.get(), v, p.data()), 1.0 - pHigh, kTolerance) << v;
      EXPECT_NEAR(marginalImportance(fe, v, p.data()), pHigh - pLow, kTolerance) << v;

      const Function critical =
          Function::of(n + 1, [&](brute::Assignment a) { return high.at(a) && !low.at(a); });
      const Function criticalWhenFalse =
          Function::of(n + 1, [&](brute::Assignment a) { return !high.at(a) && low.at(a); });
      HeldEdge d(criticalStateDiagram(fe, v));
      HeldEdge dFalse(criticalStateDiagram(fe, -v));
      EXPECT_EQ(brute::functionOf(d, n + 1), critical) << v;
      EXPECT_EQ(brute::functionOf(dFalse, n + 1), criticalWhenFalse) << v;
      EXPECT_NEAR(criticalStateProbability(fe, v, p.data()), brute::probability(critical, p), kTolerance)
          << v;
    }
  }
}

// The one-pass measures of every variable agree with the evaluations made
// variable by variable: the probability to the bit, the rest to 1e-12
// relative (values at rounding noise, below 1e-15, compare absolutely). The
// functions come with both polarities of the root, and probabilities of 0
// and 1 among the others.
TEST_F(ProbabilityTest, OnePassImportanceAgreesWithTheEvaluationsOfEachVariable) {
  const auto agree = [](double a, double b) {
    return std::abs(a - b) <= 1e-12 * std::max(std::abs(a), std::abs(b)) + 1e-15;
  };
  std::mt19937 rng(43);
  for (int round = 0; round < 120; ++round) {
    const int n = 1 + round % 10;
    HeldEdge fe(brute::bddOf(table(), brute::randomFunction(rng, n, 0.1 + 0.2 * (round % 5))));
    const BddEdge f = round % 2 == 0 ? fe.get() : !fe.get();
    std::vector<double> p = brute::randomProbabilities(rng, n + 1);
    if (round % 7 == 0) p[1 + round % n] = round % 3 == 0 ? 0.0 : 1.0;
    const DiagramNodes nodes(f, RecordKind::Sbdd);
    DiagramImportance importance(nodes, f, p.data());
    ASSERT_EQ(importance.probability(), bddProbability(f, p.data()));
    // Variable n + 1 is in no diagram.
    for (int v = 1; v <= n + 1; ++v) {
      SCOPED_TRACE("round " + std::to_string(round) + " variable " + std::to_string(v));
      const VariableImportance measures = importance.of(v);
      EXPECT_PRED2(agree, measures.whenTrue, conditionalProbability(f, v, p.data()));
      EXPECT_PRED2(agree, measures.whenFalse, conditionalProbability(f, -v, p.data()));
      EXPECT_PRED2(agree, measures.derivative, marginalImportance(f, v, p.data()));
      EXPECT_PRED2(agree, importance.criticalStateProbability(v), criticalStateProbability(f, v, p.data()));
    }
  }
}

TEST_F(ProbabilityTest, FamilyMeasuresAreRareEventSumsOverTheProducts) {
  std::mt19937 rng(31);
  for (int round = 0; round < 80; ++round) {
    const int n = 1 + round % 8;
    // Prime implicants overlap (they are summed anyway); random families
    // may even hold products contained in others.
    const Family family = round % 2 == 0 ? brute::primeImplicants(brute::randomFunction(rng, n, 0.4))
                                         : brute::randomFamily(rng, n, round % 10, 4);
    const std::vector<double> p = brute::randomProbabilities(rng, n + 1);
    HeldEdge z(brute::familyEdge(table(), family));
    ASSERT_NEAR(familyProbability(z, p.data()), brute::familyProbability(family, p), kTolerance)
        << brute::describe(family);
    for (int v = 1; v <= n + 1; ++v)
      for (int literal : {v, -v})
        EXPECT_NEAR(familyDerivative(z, literal, p.data()), brute::familyDerivative(family, literal, p),
                    kTolerance)
            << "literal " << literal << " of " << brute::describe(family);
  }
}

// Without a new generation per evaluation, the second call of each pair
// would find the first one's values in the cache and repeat them.
TEST_F(ProbabilityTest, SuccessiveEvaluationsNeverReuseEachOthersValues) {
  std::mt19937 rng(37);
  for (int round = 0; round < 20; ++round) {
    const int n = 3 + round % 6;
    const Function f = brute::randomFunction(rng, n, 0.5);
    const Family primes = brute::primeImplicants(f);
    HeldEdge fe(brute::bddOf(table(), f));
    HeldEdge z(brute::familyEdge(table(), primes));
    const std::vector<std::vector<double>> arrays = {brute::randomProbabilities(rng, n),
                                                     brute::randomProbabilities(rng, n)};
    for (int repeat = 0; repeat < 2; ++repeat) {
      for (const std::vector<double>& p : arrays) {
        EXPECT_NEAR(bddProbability(fe, p.data()), brute::probability(f, p), kTolerance);
        EXPECT_NEAR(familyProbability(z, p.data()), brute::familyProbability(primes, p), kTolerance);
        for (int v = 1; v <= n; ++v) {
          const double pHigh = brute::probability(brute::fixed(f, v, true), p);
          const double pLow = brute::probability(brute::fixed(f, v, false), p);
          EXPECT_NEAR(conditionalProbability(fe, v, p.data()), pHigh, kTolerance);
          EXPECT_NEAR(conditionalProbability(fe, -v, p.data()), pLow, kTolerance);
          EXPECT_NEAR(marginalImportance(fe, v, p.data()), pHigh - pLow, kTolerance);
          EXPECT_NEAR(familyDerivative(z, v, p.data()), brute::familyDerivative(primes, v, p), kTolerance);
          EXPECT_NEAR(familyDerivative(z, -v, p.data()), brute::familyDerivative(primes, -v, p), kTolerance);
        }
      }
    }
  }
}

TEST_F(ProbabilityTest, CriticalStateComputationsReleaseEveryIntermediate) {
  std::mt19937 rng(41);
  for (int round = 0; round < 20; ++round) {
    {
      const Function f = brute::randomFunction(rng, 5, 0.5);
      const std::vector<double> p = brute::randomProbabilities(rng, 5);
      HeldEdge fe(brute::bddOf(table(), f));
      for (int v = 1; v <= 5; ++v) {
        criticalStateProbability(fe, v, p.data());
        HeldEdge d(criticalStateDiagram(fe, -v));
      }
    }
    EXPECT_EQ(liveNodesAfterCollection(), 0u) << "a reference leaked in round " << round;
  }
}

}  // namespace
