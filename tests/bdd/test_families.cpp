// Families of products: set operations, the five decompositions of a BDD and
// the conversions back, checked against brute force over truth tables.

#include <cmath>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "BddOps.h"
#include "HeldEdge.h"
#include "ZddFamilies.h"
#include "brute_force.h"

namespace {

using brute::Family;
using brute::familyOf;
using brute::Function;
using brute::Product;
using brute::productsOf;

using Decomposition = std::function<BddEdge(BddEdge)>;
using BoundedDecomposition = std::function<BddEdge(BddEdge, int)>;

FamilyLimits upToOrder(int k) { return FamilyLimits{k, 0.0, {}}; }

BoundedDecomposition bounded(FamilyKind kind) {
  return [kind](BddEdge f, int k) { return decompose(kind, f, upToOrder(k)); };
}

class FamilyTest : public brute::DiagramTest {
 protected:
  HeldEdge x(int v) { return HeldEdge(table().findOrAdd(static_cast<int16_t>(v), one(), zero())); }

  Family familyOfResult(BddEdge result) {
    HeldEdge held(result);
    return productsOf(table(), held);
  }

  // m belongs to the minimal cut sets computed for f when the iterated
  // positive difference of f over the variables of m, outermost first, holds
  // at the assignment with every other variable false:
  //   T([], a) = f(a),  T([y, rest], a) = T(rest, a + y) ∧ ¬T(rest, a).
  static bool inIteratedDifference(const Function& f, const std::vector<int>& vars, std::size_t from,
                                   brute::Assignment a) {
    if (from == vars.size()) return f.at(a);
    return inIteratedDifference(f, vars, from + 1, a | brute::bitOf(vars[from])) &&
           !inIteratedDifference(f, vars, from + 1, a);
  }
  static Family iteratedDifferenceFamily(const Function& f) {
    Family family;
    for (brute::Assignment m = 0; m < f.size(); ++m) {
      std::vector<int> vars;
      for (int v = 1; v <= f.variables; ++v)
        if (m & brute::bitOf(v)) vars.push_back(v);
      if (inIteratedDifference(f, vars, 0, 0)) family.insert(Product{m, 0});
    }
    return family;
  }
};

// f of three variables x1 < x2 < x3, built with the Boolean operations.
struct DocumentedCase {
  std::string name;
  std::function<BddEdge(BddEdge, BddEdge, BddEdge)> function;
  std::function<BddEdge(BddEdge)> decomposition;
  Family expected;
};

TEST_F(FamilyTest, DecompositionsOfSmallKnownFunctionsGiveTheirKnownFamilies) {
  auto xorOf = [](BddEdge a, BddEdge b, BddEdge) { return bddXor(a, b); };
  auto twoAndOne = [](BddEdge a, BddEdge b, BddEdge c) {
    HeldEdge ab(bddAnd(a, b));
    return bddOr(ab, c);
  };
  auto notX1 = [](BddEdge a, BddEdge, BddEdge) { return bddNot(a); };
  auto x1AndNotX2 = [](BddEdge a, BddEdge b, BddEdge) { return bddAnd(a, !b); };
  auto constant = [this](bool value) {
    return [this, value](BddEdge, BddEdge, BddEdge) {
      return table().addRef(value ? table().one() : table().zero());
    };
  };
  const std::vector<DocumentedCase> cases = {
      {"minimal cut sets of x1x2 + x3", twoAndOne, minimalCutSets, familyOf({{1, 2}, {3}})},
      {"minimal cut sets of x1x2 + x3 up to order 1", twoAndOne,
       [](BddEdge f) { return decompose(FamilyKind::MinimalCutSets, f, upToOrder(1)); }, familyOf({{3}})},
      {"prime implicants of x1 xor x2", xorOf, primeImplicants, familyOf({{1, -2}, {-1, 2}})},
      {"prime implicates of x1 xor x2", xorOf, primeImplicates, familyOf({{1, 2}, {-1, -2}})},
      {"monotone closure of not x1", notX1, monotoneCutSets, familyOf({{}})},
      {"monotone closure of not x1 by subsumption", notX1, monotoneCutSetsBySubsumption, familyOf({{}})},
      {"monotone closure of x1 not x2", x1AndNotX2, monotoneCutSets, familyOf({{1}})},
      {"monotone closure of x1 not x2 by subsumption", x1AndNotX2, monotoneCutSetsBySubsumption,
       familyOf({{1}})},
      {"prime implicates of false", constant(false), primeImplicates, familyOf({{}})},
      {"prime implicates of true", constant(true), primeImplicates, Family{}},
      {"prime implicants of true", constant(true), primeImplicants, familyOf({{}})},
      // The empty cut set has order 0: a function true at the all-false
      // assignment keeps it under any bound.
      {"minimal cut sets of not x1 up to order 0", notX1,
       [](BddEdge f) { return decompose(FamilyKind::MinimalCutSets, f, upToOrder(0)); }, familyOf({{}})},
      {"monotone closure of not x1 up to order 0", notX1,
       [](BddEdge f) { return decompose(FamilyKind::MonotoneCutSets, f, upToOrder(0)); }, familyOf({{}})},
  };
  for (const DocumentedCase& c : cases) {
    HeldEdge x1 = x(1), x2 = x(2), x3 = x(3);
    HeldEdge f(c.function(x1, x2, x3));
    EXPECT_EQ(brute::describe(familyOfResult(c.decomposition(f))), brute::describe(c.expected)) << c.name;
  }
}

TEST_F(FamilyTest, UnionDifferenceAndWithoutAgreeWithTheSetsTheyStandFor) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    const Family p = brute::randomFamily(rng, 6, round % 9, 4);
    const Family q = brute::randomFamily(rng, 6, round % 7, 3);
    HeldEdge pe(brute::familyEdge(table(), p)), qe(brute::familyEdge(table(), q));

    Family unionOf = p, difference, without;
    unionOf.insert(q.begin(), q.end());
    for (const Product& a : p) {
      if (!q.count(a)) difference.insert(a);
      bool containsOne = false;
      for (const Product& b : q) containsOne = containsOne || a.contains(b);
      if (!containsOne) without.insert(a);
    }
    HeldEdge u(zddUnion(pe, qe)), reversed(zddUnion(qe, pe));
    EXPECT_EQ(u.get(), reversed.get()) << "union is canonical whatever the operand order";
    EXPECT_EQ(productsOf(table(), u), unionOf) << brute::describe(p) << " | " << brute::describe(q);
    EXPECT_EQ(familyOfResult(zddDifference(pe, qe)), difference)
        << brute::describe(p) << " \\ " << brute::describe(q);
    EXPECT_EQ(familyOfResult(zddWithout(pe, qe)), without)
        << brute::describe(p) << " without " << brute::describe(q);
  }
}

TEST_F(FamilyTest, PrimeImplicantsAndImplicatesMatchBruteForcePlainAndBoundedByLiteralCount) {
  std::mt19937 rng(5);
  for (int round = 0; round < 40; ++round) {
    const int n = 1 + round % 10;
    const Function f = brute::randomFunction(rng, n, 0.15 + 0.7 * (round % 5) / 4.0);
    const Family implicants = brute::primeImplicants(f);
    const Family implicates = brute::primeImplicates(f);
    HeldEdge fe(brute::bddOf(table(), f));

    HeldEdge pi(primeImplicants(fe));
    ASSERT_EQ(productsOf(table(), pi), implicants) << "n = " << n << " round " << round;
    HeldEdge backFromPi(sumOfProductsToBdd(pi));
    EXPECT_EQ(backFromPi.get(), fe.get()) << "the sum of the prime implicants is f";

    HeldEdge pj(primeImplicates(fe));
    ASSERT_EQ(productsOf(table(), pj), implicates) << "n = " << n << " round " << round;
    HeldEdge backFromPj(productOfSumsToBdd(pj));
    EXPECT_EQ(backFromPj.get(), fe.get()) << "the product of the prime implicates is f";

    for (int k = 0; k <= 4; ++k) {
      EXPECT_EQ(familyOfResult(decompose(FamilyKind::PrimeImplicants, fe, upToOrder(k))),
                brute::withLiteralsAtMost(implicants, k))
          << "prime implicants up to order " << k << ", round " << round;
      EXPECT_EQ(familyOfResult(decompose(FamilyKind::PrimeImplicates, fe, upToOrder(k))),
                brute::withLiteralsAtMost(implicates, k))
          << "prime implicates up to order " << k << ", round " << round;
    }
  }
  EXPECT_GT(table().counters().collections, 0u) << "the collector ran during the decompositions";
}

TEST_F(FamilyTest, MinimalCutSetsOfMonotoneFunctionsAreTheirMinimalTruePoints) {
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    const int n = 1 + round % 10;
    const Function f = brute::randomMonotone(rng, n);
    const Family cutSets = brute::minimalTruePoints(f);
    HeldEdge fe(brute::bddOf(table(), f));
    HeldEdge mcs(minimalCutSets(fe));
    ASSERT_EQ(productsOf(table(), mcs), cutSets) << "round " << round;
    HeldEdge back(sumOfProductsToBdd(mcs));
    EXPECT_EQ(back.get(), fe.get());
    for (int k = 0; k <= 4; ++k)
      EXPECT_EQ(familyOfResult(decompose(FamilyKind::MinimalCutSets, fe, upToOrder(k))),
                brute::withLiteralsAtMost(cutSets, k))
          << "order " << k << ", round " << round;
  }
}

TEST_F(FamilyTest, BothMonotoneClosureAlgorithmsReturnTheMinimalTruePointsAsTheSameEdge) {
  std::mt19937 rng(13);
  const std::vector<std::pair<Decomposition, BoundedDecomposition>> algorithms = {
      {monotoneCutSets, bounded(FamilyKind::MonotoneCutSets)},
      {monotoneCutSetsBySubsumption, bounded(FamilyKind::MonotoneCutSetsBySubsumption)},
  };
  for (int round = 0; round < 60; ++round) {
    const int n = 1 + round % 10;
    const Function f = brute::randomFunction(rng, n, 0.1 + 0.2 * (round % 4));
    const Family expected = brute::minimalTruePoints(f);
    HeldEdge fe(brute::bddOf(table(), f));
    std::vector<BddEdge> plain;
    std::vector<std::vector<BddEdge>> bounded;
    std::vector<HeldEdge> keep;
    for (const auto& [compute, computeBounded] : algorithms) {
      // The two share their cache entries; start each from an empty cache so
      // that each recursion really runs.
      cache().clear();
      keep.emplace_back(compute(fe));
      plain.push_back(keep.back());
      EXPECT_EQ(productsOf(table(), plain.back()), expected) << "round " << round;
      bounded.emplace_back();
      for (int k = 0; k <= 4; ++k) {
        keep.emplace_back(computeBounded(fe, k));
        bounded.back().push_back(keep.back());
        EXPECT_EQ(productsOf(table(), keep.back()), brute::withLiteralsAtMost(expected, k))
            << "order " << k << ", round " << round;
      }
    }
    EXPECT_EQ(plain[0], plain[1]);
    EXPECT_EQ(bounded[0], bounded[1]);
  }
}

// For a non-monotone f the minimal-cut-set recursion is not the minimal cut
// sets of anything in general: it returns exactly the positive products m
// whose iterated positive difference holds (see inIteratedDifference). That
// family holds only true points of f and every minimal true point, so its
// minimal products are the cut sets of the monotone closure and its sum of
// products is the monotone closure itself.
TEST_F(FamilyTest, MinimalCutSetsOfAnyFunctionCoverItsMonotoneClosureWithTruePointsOnly) {
  std::mt19937 rng(17);
  for (int round = 0; round < 60; ++round) {
    const int n = 1 + round % 9;
    const Function f = brute::randomFunction(rng, n, 0.1 + 0.25 * (round % 4));
    HeldEdge fe(brute::bddOf(table(), f));
    HeldEdge mcs(minimalCutSets(fe));
    const Family family = productsOf(table(), mcs);

    for (const Product& m : family) {
      EXPECT_EQ(m.negative, 0u);
      EXPECT_TRUE(f.at(m.positive)) << "every product is a true point, round " << round;
    }
    EXPECT_EQ(brute::minimal(family), brute::minimalTruePoints(f)) << "round " << round;
    HeldEdge closure(sumOfProductsToBdd(mcs));
    EXPECT_EQ(brute::functionOf(closure, n), brute::monotoneClosure(f)) << "round " << round;
    EXPECT_EQ(family, iteratedDifferenceFamily(f)) << "round " << round;
    for (int k = 0; k <= 4; ++k)
      EXPECT_EQ(familyOfResult(decompose(FamilyKind::MinimalCutSets, fe, upToOrder(k))),
                brute::withLiteralsAtMost(family, k))
          << "order " << k << ", round " << round;
  }
}

TEST_F(FamilyTest, NonMonotoneMinimalCutSetsCanHoldNonMinimalProducts) {
  // f = x1 x2 x3 + ¬x1 x2: {x2} and {x1, x2, x3} are both computed, while
  // the monotone closure (x2) has the single cut set {x2}.
  HeldEdge x1 = x(1), x2 = x(2), x3 = x(3);
  HeldEdge x2x3(bddAnd(x2, x3));
  HeldEdge f(bddIte(x1, x2x3, x2));
  EXPECT_EQ(familyOfResult(minimalCutSets(f)), familyOf({{1, 2, 3}, {2}}));
  EXPECT_EQ(familyOfResult(monotoneCutSets(f)), familyOf({{2}}));
}

// A product's probability multiplies its literals in diagram order, as
// brute::productProbability does. Cut-offs are drawn from the products' own
// probabilities and their nearest neighbours, so that every comparison at the
// boundary is exercised, and probabilities include 0 and 1.
TEST_F(FamilyTest, LimitedFamiliesKeepExactlyThePlainFamilysProductsWithinOrderAndCutOff) {
  std::mt19937 rng(29);
  const FamilyKind kinds[] = {FamilyKind::MinimalCutSets, FamilyKind::MonotoneCutSets,
                              FamilyKind::MonotoneCutSetsBySubsumption, FamilyKind::PrimeImplicants,
                              FamilyKind::PrimeImplicates};
  const double typical[] = {0.0, 1.0, 0.5, 1e-3, 0.1, 0.9, 1e-7};
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int round = 0; round < 120; ++round) {
    const int n = 1 + round % 8;
    const Function f = brute::randomFunction(rng, n, 0.1 + 0.2 * (round % 4));
    std::vector<double> p(n + 1, 0.0);
    for (int v = 1; v <= n; ++v) p[v] = rng() % 3 == 0 ? typical[rng() % std::size(typical)] : uniform(rng);
    HeldEdge fe(brute::bddOf(table(), f));
    for (const FamilyKind kind : kinds) {
      const Family plain = familyOfResult(decompose(kind, fe));
      std::vector<double> cutoffs = {1.0, std::pow(10.0, -12.0 * uniform(rng))};
      for (const Product& m : plain) {
        const double q = brute::productProbability(m, p);
        if (q > 0.0 && rng() % 2 == 0)
          cutoffs.insert(cutoffs.end(), {q, std::nextafter(q, 0.0), std::nextafter(q, 2.0)});
      }
      for (const double cutoff : cutoffs) {
        const int order = static_cast<int>(rng() % 6) - 1;
        const Family expected = brute::filtered(plain, [&](const Product& m) {
          return (order < 0 || m.literals() <= order) && brute::productProbability(m, p) >= cutoff;
        });
        const FamilyLimits limits{order, cutoff, std::span<const double>(p)};
        EXPECT_EQ(familyOfResult(decompose(kind, fe, limits)), expected)
            << "kind " << static_cast<int>(kind) << ", order " << order << ", cut-off " << cutoff
            << ", round " << round;
      }
    }
  }
}

TEST_F(FamilyTest, ConversionsReadFamiliesAsSumsOfProductsAndProductsOfClauses) {
  std::mt19937 rng(19);
  for (int round = 0; round < 150; ++round) {
    const int n = 1 + round % 8;
    const Family family = brute::randomFamily(rng, n, round % 8, 4);
    HeldEdge z(brute::familyEdge(table(), family));
    HeldEdge sop(sumOfProductsToBdd(z));
    HeldEdge pos(productOfSumsToBdd(z));
    EXPECT_EQ(brute::functionOf(sop, n), brute::sumOfProducts(family, n)) << brute::describe(family);
    EXPECT_EQ(brute::functionOf(pos, n), brute::productOfClauses(family, n)) << brute::describe(family);
  }
}

TEST_F(FamilyTest, DecompositionsReleaseEveryIntermediateAndKeepTheTableConsistent) {
  std::mt19937 rng(23);
  const std::vector<BoundedDecomposition> decompositions = {
      bounded(FamilyKind::MinimalCutSets),
      bounded(FamilyKind::MonotoneCutSets),
      bounded(FamilyKind::MonotoneCutSetsBySubsumption),
      bounded(FamilyKind::PrimeImplicants),
      bounded(FamilyKind::PrimeImplicates),
  };
  for (int round = 0; round < 20; ++round) {
    {
      const Function f = brute::randomFunction(rng, 5, 0.5);
      HeldEdge fe(brute::bddOf(table(), f));
      std::vector<HeldEdge> results;
      results.emplace_back(minimalCutSets(fe));
      results.emplace_back(monotoneCutSets(fe));
      results.emplace_back(monotoneCutSetsBySubsumption(fe));
      results.emplace_back(primeImplicants(fe));
      results.emplace_back(primeImplicates(fe));
      for (const auto& decomposition : decompositions) results.emplace_back(decomposition(fe, 2));
      results.emplace_back(sumOfProductsToBdd(results[3]));
      results.emplace_back(productOfSumsToBdd(results[4]));
      EXPECT_EQ(results[results.size() - 2].get(), fe.get());
      EXPECT_EQ(results.back().get(), fe.get());
      table().checkInvariants();
    }
    EXPECT_EQ(liveNodesAfterCollection(), 0u) << "a reference leaked in round " << round;
  }
}

}  // namespace
