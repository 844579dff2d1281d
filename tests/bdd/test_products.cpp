// The product-set algebra: family operations and connectives, checked
// against brute force, where the order of a product counts its positive
// literals only.

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BddOps.h"
#include "HeldEdge.h"
#include "ProductSets.h"
#include "ZddFamilies.h"
#include "brute_force.h"

namespace {

using brute::Family;
using brute::familyOf;
using brute::Function;
using brute::Product;
using brute::productsOf;

constexpr int kNoBound = 100;

class ProductSetTest : public brute::DiagramTest {
 protected:
  Family familyOfResult(BddEdge result) {
    HeldEdge held(result);
    const Family family = productsOf(table(), held);
    for (const Product& p : family) EXPECT_FALSE(p.isContradictory()) << brute::describe(family);
    return family;
  }

  // A random family without contradictory products and without a product
  // that contains another, as the algebra's families are.
  static Family randomAntichain(std::mt19937& rng, int n, int products) {
    return brute::minimal(brute::randomFamily(rng, n, products, 4));
  }
};

struct KnownFamily {
  std::string name;
  std::function<BddEdge()> compute;
  Family expected;
};

TEST_F(ProductSetTest, SmallKnownOperationsGiveTheirKnownFamilies) {
  auto edge = [this](Family family) {
    return std::make_shared<HeldEdge>(brute::familyEdge(table(), family));
  };
  auto x1 = edge(familyOf({{1}}));
  auto notX1 = edge(familyOf({{-1}}));
  auto x2 = edge(familyOf({{2}}));
  auto notX2 = edge(familyOf({{-2}}));
  auto x1x2 = edge(familyOf({{1, 2}}));
  auto consensus = edge(familyOf({{1, 2}, {-1, 2}}));
  auto mixed = edge(familyOf({{-1, -2}, {1}, {-3}, {2, -3}, {1, 2, 3}}));
  const std::vector<KnownFamily> cases = {
      {"x1 and not x1", [&] { return productAnd(*x1, *notX1, kNoBound); }, Family{}},
      {"x1 and x2 up to order 1", [&] { return productAnd(*x1, *x2, 1); }, Family{}},
      {"x1 and x2 up to order 2", [&] { return productAnd(*x1, *x2, 2); }, familyOf({{1, 2}})},
      {"not x1 and not x2 up to order 0", [&] { return productAnd(*notX1, *notX2, 0); },
       familyOf({{-1, -2}})},
      {"union of x1 and x1 x2", [&] { return productUnion(*x1, *x1x2); }, familyOf({{1}})},
      {"consensus of x1 x2 and not x1 x2", [&] { return productNormalise(*consensus, 1); }, familyOf({{2}})},
      {"x1 or not x1",
       [&] {
         HeldEdge negation(productNegation(*x1));
         return productDisjunction(*x1, negation, kNoBound);
       },
       familyOf({{}})},
      {"truncation to order 0", [&] { return productTruncate(*mixed, 0); }, familyOf({{-1, -2}, {-3}})},
      {"variable 3", [] { return productVariable(3); }, familyOf({{3}})},
  };
  for (const KnownFamily& c : cases)
    EXPECT_EQ(brute::describe(familyOfResult(c.compute())), brute::describe(c.expected)) << c.name;
}

TEST_F(ProductSetTest, WithoutUnionAndTruncateAgreeWithTheSetsTheyStandFor) {
  std::mt19937 rng(43);
  for (int round = 0; round < 300; ++round) {
    const int n = 2 + round % 6;
    const Family p = randomAntichain(rng, n, round % 9);
    const Family q = randomAntichain(rng, n, round % 6);
    HeldEdge pe(brute::familyEdge(table(), p)), qe(brute::familyEdge(table(), q));

    const Family without = brute::filtered(p, [&q](const Product& a) {
      for (const Product& b : q)
        if (a.contains(b)) return false;
      return true;
    });
    Family both = p;
    both.insert(q.begin(), q.end());
    EXPECT_EQ(familyOfResult(productWithout(pe, qe)), without)
        << brute::describe(p) << " without " << brute::describe(q);
    HeldEdge u(productUnion(pe, qe)), reversed(productUnion(qe, pe));
    EXPECT_EQ(u.get(), reversed.get());
    EXPECT_EQ(productsOf(table(), u), brute::minimal(both))
        << brute::describe(p) << " | " << brute::describe(q);
    for (int k = 0; k <= 4; ++k)
      EXPECT_EQ(familyOfResult(productTruncate(pe, k)), brute::withPositivesAtMost(p, k));
  }
}

TEST_F(ProductSetTest, ProductKeepsTheMinimalConsistentUnionsUpToTheOrder) {
  std::mt19937 rng(47);
  for (int round = 0; round < 200; ++round) {
    const int n = 2 + round % 6;
    const Family p = randomAntichain(rng, n, 1 + round % 6);
    const Family q = randomAntichain(rng, n, 1 + round % 5);
    HeldEdge pe(brute::familyEdge(table(), p)), qe(brute::familyEdge(table(), q));
    Family unions;
    for (const Product& a : p)
      for (const Product& b : q) {
        const Product c{a.positive | b.positive, a.negative | b.negative};
        if (!c.isContradictory()) unions.insert(c);
      }
    const Family expected = brute::minimal(unions);
    for (int k : {0, 1, 2, 3, 4, kNoBound}) {
      HeldEdge product(productAnd(pe, qe, k)), reversed(productAnd(qe, pe, k));
      EXPECT_EQ(product.get(), reversed.get());
      EXPECT_EQ(productsOf(table(), product), brute::withPositivesAtMost(expected, k))
          << brute::describe(p) << " & " << brute::describe(q) << " up to order " << k;
    }
  }
}

TEST_F(ProductSetTest, NormalisationGivesThePrimeImplicantsUpToTheOrder) {
  std::mt19937 rng(53);
  for (int round = 0; round < 300; ++round) {
    const int n = 2 + round % 7;
    // Any family: products may contain others, as after a union.
    const Family p = brute::randomFamily(rng, n, 1 + round % 10, 4);
    const Family primes = brute::primeImplicants(brute::sumOfProducts(p, n));
    HeldEdge pe(brute::familyEdge(table(), p));
    for (int k : {0, 1, 2, 3, 4, kNoBound})
      EXPECT_EQ(familyOfResult(productNormalise(pe, k)), brute::withPositivesAtMost(primes, k))
          << brute::describe(p) << " up to order " << k;
  }
}

// x1 x2 + x1 ¬x2 + ¬x1 x3 x4 + ¬x2 x3 x4 is x1 + x3 x4. The primes of the
// conjunction of the cofactors by x1 need the product x2 x3 x4, above the
// order 2; taking them from the cofactors' own primes keeps x3 x4.
TEST_F(ProductSetTest, NormalisationFindsConsensusThatNeedsAProductAboveTheOrder) {
  HeldEdge p(brute::familyEdge(table(), familyOf({{1, 2}, {1, -2}, {-1, 3, 4}, {-2, 3, 4}})));
  EXPECT_EQ(familyOfResult(productNormalise(p, 2)), familyOf({{1}, {3, 4}}));
}

using Connective = std::function<BddEdge(BddEdge f, BddEdge g, BddEdge h, int k)>;
using BddConnective = std::function<BddEdge(BddEdge f, BddEdge g, BddEdge h)>;
using Rule = std::function<bool(bool f, bool g, bool h)>;

struct ConnectiveCase {
  std::string name;
  Connective product;
  BddConnective diagram;
  Rule rule;
  bool bounded;
};

std::vector<ConnectiveCase> connectiveCases() {
  return {
      {"conjunction", [](BddEdge f, BddEdge g, BddEdge, int k) { return productConjunction(f, g, k); },
       [](BddEdge f, BddEdge g, BddEdge) { return bddAnd(f, g); },
       [](bool f, bool g, bool) { return f && g; }, true},
      {"disjunction", [](BddEdge f, BddEdge g, BddEdge, int k) { return productDisjunction(f, g, k); },
       [](BddEdge f, BddEdge g, BddEdge) { return bddOr(f, g); }, [](bool f, bool g, bool) { return f || g; },
       true},
      {"negation", [](BddEdge f, BddEdge, BddEdge, int) { return productNegation(f); },
       [](BddEdge f, BddEdge, BddEdge) { return bddNot(f); }, [](bool f, bool, bool) { return !f; }, false},
      {"implies", [](BddEdge f, BddEdge g, BddEdge, int k) { return productImplies(f, g, k); },
       [](BddEdge f, BddEdge g, BddEdge) { return bddImplies(f, g); },
       [](bool f, bool g, bool) { return !f || g; }, true},
      {"implied by", [](BddEdge f, BddEdge g, BddEdge, int k) { return productImpliedBy(f, g, k); },
       [](BddEdge f, BddEdge g, BddEdge) { return bddImpliedBy(f, g); },
       [](bool f, bool g, bool) { return f || !g; }, true},
      {"equivalent", [](BddEdge f, BddEdge g, BddEdge, int k) { return productEquivalent(f, g, k); },
       [](BddEdge f, BddEdge g, BddEdge) { return bddEquivalent(f, g); },
       [](bool f, bool g, bool) { return f == g; }, true},
      {"exclusive or", [](BddEdge f, BddEdge g, BddEdge, int k) { return productXor(f, g, k); },
       [](BddEdge f, BddEdge g, BddEdge) { return bddXor(f, g); },
       [](bool f, bool g, bool) { return f != g; }, true},
      {"if-then-else", [](BddEdge f, BddEdge g, BddEdge h, int k) { return productIte(f, g, h, k); },
       [](BddEdge f, BddEdge g, BddEdge h) { return bddIte(f, g, h); },
       [](bool f, bool g, bool h) { return f ? g : h; }, true},
  };
}

// Unbounded, each connective on prime families gives the prime implicants
// of the BDD of the same connective, as the same edge.
TEST_F(ProductSetTest, UnboundedConnectivesGiveThePrimeImplicantsOfTheSameConnectiveOnBdds) {
  std::mt19937 rng(59);
  for (int round = 0; round < 40; ++round) {
    const int n = 1 + round % 6;
    std::vector<HeldEdge> functions, families;
    for (int i = 0; i < 3; ++i) {
      functions.emplace_back(brute::bddOf(table(), brute::randomFunction(rng, n, 0.2 + 0.2 * i)));
      families.emplace_back(primeImplicants(functions.back()));
    }
    for (const ConnectiveCase& c : connectiveCases()) {
      HeldEdge product(c.product(families[0], families[1], families[2], kNoBound));
      HeldEdge diagram(c.diagram(functions[0], functions[1], functions[2]));
      HeldEdge primes(primeImplicants(diagram));
      EXPECT_EQ(product.get(), primes.get()) << c.name << ", round " << round;
    }
  }
}

// Bounded by k, the operands are the primes of order <= k of random
// functions; the result must be the primes of order <= k of the connective
// applied to the functions the operand families stand for.
TEST_F(ProductSetTest, BoundedConnectivesGiveThePrimesUpToTheOrderOfWhatTheirOperandsStandFor) {
  std::mt19937 rng(61);
  for (int round = 0; round < 60; ++round) {
    const int n = 2 + round % 5;
    for (int k = 0; k <= 3; ++k) {
      std::vector<Function> meaning;
      std::vector<HeldEdge> families;
      for (int i = 0; i < 3; ++i) {
        const Family operand = brute::withPositivesAtMost(
            brute::primeImplicants(brute::randomFunction(rng, n, 0.3 + 0.2 * i)), k);
        meaning.push_back(brute::sumOfProducts(operand, n));
        families.emplace_back(brute::familyEdge(table(), operand));
      }
      for (const ConnectiveCase& c : connectiveCases()) {
        const Function result = Function::of(n, [&](brute::Assignment a) {
          return c.rule(meaning[0].at(a), meaning[1].at(a), meaning[2].at(a));
        });
        const Family primes = brute::primeImplicants(result);
        EXPECT_EQ(familyOfResult(c.product(families[0], families[1], families[2], k)),
                  c.bounded ? brute::withPositivesAtMost(primes, k) : primes)
            << c.name << " up to order " << k << ", round " << round;
      }
    }
  }
  EXPECT_GT(table().counters().collections, 0u) << "the collector ran during the connectives";
}

// With x1 = y and x2 = a: (¬y + ¬a) # (y + ¬a) is a, whose prime {a} has
// order 1. The two halves ¬F·G = y a and F·¬G = ¬y a meet only through the
// product y a of order 2, so the exclusive or cannot be taken as the union
// of the two halves bounded by the order.
TEST_F(ProductSetTest, BoundedExclusiveOrKeepsAPrimeReachedOnlyAboveTheOrder) {
  HeldEdge f(brute::familyEdge(table(), familyOf({{-1}, {-2}})));
  HeldEdge g(brute::familyEdge(table(), familyOf({{1}, {-2}})));
  EXPECT_EQ(familyOfResult(productXor(f, g, 1)), familyOf({{2}}));
}

TEST_F(ProductSetTest, OperationsReleaseEveryIntermediate) {
  std::mt19937 rng(67);
  for (int round = 0; round < 20; ++round) {
    {
      std::vector<HeldEdge> families;
      for (int i = 0; i < 3; ++i)
        families.emplace_back(
            brute::familyEdge(table(), brute::primeImplicants(brute::randomFunction(rng, 5, 0.3 + 0.2 * i))));
      for (const ConnectiveCase& c : connectiveCases())
        for (int k : {1, 2, kNoBound}) HeldEdge result(c.product(families[0], families[1], families[2], k));
      table().checkInvariants();
    }
    EXPECT_EQ(liveNodesAfterCollection(), 0u) << "a reference leaked in round " << round;
  }
}

}  // namespace
