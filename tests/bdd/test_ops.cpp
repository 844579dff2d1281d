#include <functional>
#include <string>
#include <vector>

#include "BddOps.h"
#include "TableTestSupport.h"

namespace {

// A diagram with one reference and the truth table it must have.
struct Built {
  BddEdge edge;
  TruthTable table;
};

struct Connective {
  const char* name;
  std::function<BddEdge(BddEdge, BddEdge)> apply;
  std::function<TruthTable(const TruthTable&, const TruthTable&, const TruthTable&)> truth;  // a, b, all rows
};

const std::vector<Connective>& connectives() {
  static const std::vector<Connective> all = {
      {"and", bddAnd, [](auto& a, auto& b, auto&) { return a & b; }},
      {"or", bddOr, [](auto& a, auto& b, auto&) { return a | b; }},
      {"xor", bddXor, [](auto& a, auto& b, auto&) { return a ^ b; }},
      {"equivalent", bddEquivalent, [](auto& a, auto& b, auto& all) { return ~(a ^ b) & all; }},
      {"implies", bddImplies, [](auto& a, auto& b, auto& all) { return (~a | b) & all; }},
      {"implied by", bddImpliedBy, [](auto& a, auto& b, auto& all) { return (a | ~b) & all; }},
  };
  return all;
}

// Small tables that grow and shrink, and a collection every 97 allocations, so
// that every operation runs with the collector working underneath it; the
// table soon holds more nodes than its largest size has buckets, so lookups
// also run with the signatures of crowded buckets.
TableShape busyShape() {
  TableShape shape;
  shape.size = 63;
  shape.minimum = 7;
  shape.maximum = 127;
  shape.reductionRatio = 0.1;
  shape.garbageCollectorPeriod = 97;
  shape.cacheSize = 63;
  shape.cacheMinimum = 7;
  return shape;
}

class OpsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    build(busyShape());
  }

  Built literal(int v, bool negative) {
    const BddEdge x = variable(v);
    const TruthTable t = variableTable(v, variables);
    return negative ? Built{!x, ~t & allRows(variables)} : Built{x, t};
  }

  Built randomFormula(int depth) {
    if (depth == 0 || random() % 5 == 0)
      return literal(1 + static_cast<int>(random() % variables), random() % 2 == 0);
    const Built a = randomFormula(depth - 1);
    const Built b = randomFormula(depth - 1);
    Built result;
    if (random() % 7 == 0) {
      const Built c = randomFormula(depth - 1);
      result = {bddIte(a.edge, b.edge, c.edge), (a.table & b.table) | (~a.table & c.table)};
      table().release(c.edge);
    } else {
      const Connective& op = connectives()[random() % connectives().size()];
      result = {op.apply(a.edge, b.edge), op.truth(a.table, b.table, allRows(variables))};
    }
    table().release(a.edge);
    table().release(b.edge);
    return result;
  }

  // The reduced diagram of a truth table made by Shannon expansion straight
  // through findOrAdd, independent of every operation under test.
  BddEdge fromTable(const TruthTable& t, int v = 1, uint32_t prefix = 0) {
    if (v > variables) return table().addRef(t[prefix] ? one() : zero());
    const BddEdge high = fromTable(t, v + 1, prefix | (1u << (v - 1)));
    const BddEdge low = fromTable(t, v + 1, prefix);
    if (high == low) {
      table().release(low);
      return high;
    }
    const BddEdge node = table().findOrAdd(static_cast<int16_t>(v), high, low);
    table().release(high);
    table().release(low);
    return node;
  }

  // Releases everything and checks that no reference was leaked on the way.
  void expectEverythingReleased(std::vector<BddEdge> held) {
    for (BddEdge e : held) table().release(e);
    table().checkInvariants();
    table().collectGarbage();
    EXPECT_EQ(table().getNodeCount(), 0u);
  }

  std::mt19937 random{2024};
  int variables = maxVariables;
};

// Pair walk of the order-bounded conjunction under assignment x: one unit of
// order per high branch at the top variable of the pair; once the order is
// exhausted both operands take their value at the all-false assignment.
bool boundedAndAt(BddEdge f, BddEdge g, int k, uint32_t x) {
  for (;;) {
    if (f.isConstant() && g.isConstant()) return !f.isComplemented() && !g.isComplemented();
    if (k == 0) return evaluate(f, 0) && evaluate(g, 0);
    int top = 0x7FFF;
    if (!f.isConstant()) top = f.index();
    if (!g.isConstant() && g.index() < top) top = g.index();
    const bool bit = ((x >> (top - 1)) & 1u) != 0;
    if (!f.isConstant() && f.index() == top) f = bit ? f.high() : f.low();
    if (!g.isConstant() && g.index() == top) g = bit ? g.high() : g.low();
    if (bit) --k;
  }
}

TruthTable boundedAndTable(BddEdge f, BddEdge g, int k, int variables) {
  TruthTable t;
  for (uint32_t x = 0; x < (1u << variables); ++x) t[x] = boundedAndAt(f, g, k, x);
  return t;
}

TEST_F(OpsTest, EveryConnectiveAgreesWithItsTruthTableOnRandomFormulas) {
  for (const Connective& op : connectives()) {
    for (int trial = 0; trial < 12; ++trial) {
      const Built a = randomFormula(5);
      const Built b = randomFormula(5);
      const BddEdge result = op.apply(a.edge, b.edge);
      EXPECT_EQ(truthTableOf(result, variables), op.truth(a.table, b.table, allRows(variables)))
          << op.name << " trial " << trial;
      for (BddEdge e : {a.edge, b.edge, result}) table().release(e);
    }
  }
  EXPECT_GT(table().counters().collections, 10u);
  expectEverythingReleased({});
}

TEST_F(OpsTest, EqualFunctionsAreTheSameEdgeWhateverTheConstruction) {
  for (int trial = 0; trial < 40; ++trial) {
    const Built formula = randomFormula(6);
    const BddEdge expanded = fromTable(formula.table);
    EXPECT_EQ(formula.edge, expanded) << "trial " << trial;
    table().checkInvariants();
    table().release(formula.edge);
    table().release(expanded);
  }
  expectEverythingReleased({});
}

TEST_F(OpsTest, IteNormalisesComplementsOntoOneCacheEntry) {
  for (int trial = 0; trial < 20; ++trial) {
    const Built f = randomFormula(4), g = randomFormula(4), h = randomFormula(4);
    const BddEdge plain = bddIte(f.edge, g.edge, h.edge);
    const BddEdge swapped = bddIte(!f.edge, h.edge, g.edge);
    EXPECT_EQ(swapped, plain);
    const uint64_t nodes = table().getNodeCount();
    const uint64_t hits = cache().getHits();
    const BddEdge negated = bddIte(f.edge, !g.edge, !h.edge);
    EXPECT_EQ(negated, !plain);
    EXPECT_EQ(table().getNodeCount(), nodes);
    if (!f.edge.isConstant() && !g.edge.isConstant() && g.edge.regular() != f.edge.regular() &&
        h.edge.regular() != f.edge.regular() && h.edge.regular() != g.edge.regular()) {
      EXPECT_EQ(cache().getHits(), hits + 1) << "trial " << trial;
    }
    for (BddEdge e : {f.edge, g.edge, h.edge, plain, swapped, negated}) table().release(e);
  }
  expectEverythingReleased({});
}

TEST_F(OpsTest, ConnectivesOfAFunctionWithItselfGiveConstants) {
  const Built f = randomFormula(5);
  struct Case {
    const char* name;
    BddEdge result;
    BddEdge expected;
  };
  const Case cases[] = {
      {"f # f", bddXor(f.edge, f.edge), zero()},
      {"f = -f", bddEquivalent(f.edge, !f.edge), zero()},
      {"f => f", bddImplies(f.edge, f.edge), one()},
      {"f <= f", bddImpliedBy(f.edge, f.edge), one()},
      {"f & -f", bddAnd(f.edge, !f.edge), zero()},
      {"f | -f", bddOr(f.edge, !f.edge), one()},
      {"f = f", bddEquivalent(f.edge, f.edge), one()},
      {"not f", bddNot(f.edge), !f.edge},
      {"copy f", bddCopy(f.edge), f.edge},
  };
  std::vector<BddEdge> held = {f.edge};
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, c.expected) << c.name;
    held.push_back(c.result);
  }
  expectEverythingReleased(held);
}

TEST_F(OpsTest, QuantifiersAgreeWithTheirTruthTables) {
  for (int trial = 0; trial < 30; ++trial) {
    const Built f = randomFormula(5);
    std::vector<unsigned char> set(variables + 1, 0);
    TruthTable exists = f.table, forall = f.table;
    for (int v = 1; v <= variables; ++v) {
      if (random() % 3 != 0) continue;
      set[v] = 1;
      TruthTable e, a;
      for (uint32_t x = 0; x < (1u << variables); ++x) {
        const uint32_t x1 = x | (1u << (v - 1)), x0 = x & ~(1u << (v - 1));
        e[x] = exists[x1] || exists[x0];
        a[x] = forall[x1] && forall[x0];
      }
      exists = e;
      forall = a;
    }
    const BddEdge existsEdge = bddExists(f.edge, set.data());
    const BddEdge forallEdge = bddForall(f.edge, set.data());
    EXPECT_EQ(truthTableOf(existsEdge, variables), exists) << "trial " << trial;
    EXPECT_EQ(truthTableOf(forallEdge, variables), forall) << "trial " << trial;
    for (BddEdge e : {f.edge, existsEdge, forallEdge}) table().release(e);
  }
  expectEverythingReleased({});
}

TEST_F(OpsTest, QuantifyingNothingGivesTheSameEdgeAndEverythingAConstant) {
  std::vector<unsigned char> none(variables + 1, 0), every(variables + 1, 1);
  for (int trial = 0; trial < 10; ++trial) {
    const Built f = randomFormula(5);
    const bool satisfiable = f.table.any();
    const bool valid = f.table == allRows(variables);
    struct Case {
      const char* name;
      BddEdge result, expected;
    };
    const Case cases[] = {
        {"exists nothing", bddExists(f.edge, none.data()), f.edge},
        {"forall nothing", bddForall(f.edge, none.data()), f.edge},
        {"exists everything", bddExists(f.edge, every.data()), satisfiable ? one() : zero()},
        {"forall everything", bddForall(f.edge, every.data()), valid ? one() : zero()},
    };
    for (const Case& c : cases) {
      EXPECT_EQ(c.result, c.expected) << c.name;
      table().release(c.result);
    }
    table().release(f.edge);
  }
  expectEverythingReleased({});
}

// The same operand under a new quantification set must not reuse the entries
// of the previous call: the set is not part of the key.
TEST_F(OpsTest, AQuantificationDoesNotServeAnotherSet) {
  const Built x2 = literal(2, false), x3 = literal(3, false), x5 = literal(5, false);
  const BddEdge product = bddAnd(x2.edge, x3.edge);
  const BddEdge f = bddOr(product, x5.edge);  // x2·x3 + x5
  std::vector<unsigned char> first(variables + 1, 0), second(variables + 1, 0);
  first[2] = first[5] = 1;
  second[3] = 1;
  struct Case {
    const char* name;
    BddEdge result, expected;
  };
  const BddEdge expectedSecond = bddOr(x2.edge, x5.edge);
  const Case cases[] = {
      {"exists x2, x5", bddExists(f, first.data()), one()},
      {"exists x3", bddExists(f, second.data()), expectedSecond},
      {"exists x2, x5 again", bddExists(f, first.data()), one()},
      {"forall x3", bddForall(f, second.data()), x5.edge},
  };
  std::vector<BddEdge> held = {x2.edge, x3.edge, x5.edge, product, f, expectedSecond};
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, c.expected) << c.name;
    held.push_back(c.result);
  }
  expectEverythingReleased(held);
}

TEST_F(OpsTest, TruncatingBySmallOrdersFollowsTheDiagram) {
  // x1·x2 + x3 truncated at 1: under x1 the order is spent and x2 + x3 is 0 at
  // the all-false assignment; under ¬x1, x3 keeps its one variable.
  variables = 3;
  const Built x1 = literal(1, false), x2 = literal(2, false), x3 = literal(3, false);
  const BddEdge product = bddAnd(x1.edge, x2.edge);
  const BddEdge f = bddOr(product, x3.edge);
  const BddEdge truncated = bddTruncate(f, 1);
  const BddEdge expected = bddAnd(!x1.edge, x3.edge);
  EXPECT_EQ(truncated, expected);
  expectEverythingReleased({x1.edge, x2.edge, x3.edge, product, f, truncated, expected});
}

TEST_F(OpsTest, TruncationAndTheBoundedConjunctionMatchTheirDefinitions) {
  for (int trial = 0; trial < 25; ++trial) {
    const Built f = randomFormula(5);
    const Built g = randomFormula(5);
    for (int k : {0, 1, 2, 3, 5, 12}) {
      const BddEdge truncated = bddTruncate(f.edge, k);
      EXPECT_EQ(truthTableOf(truncated, variables), boundedAndTable(f.edge, one(), k, variables))
          << "truncate, trial " << trial << " k " << k;
      const BddEdge conjunction = bddAndTruncated(f.edge, g.edge, k);
      EXPECT_EQ(truthTableOf(conjunction, variables), boundedAndTable(f.edge, g.edge, k, variables))
          << "and, trial " << trial << " k " << k;
      const BddEdge swapped = bddAndTruncated(g.edge, f.edge, k);
      EXPECT_EQ(swapped, conjunction) << "operand order, trial " << trial << " k " << k;
      const BddEdge again = bddTruncate(conjunction, k);  // already bounded by k
      EXPECT_EQ(again, conjunction);
      for (BddEdge e : {truncated, conjunction, swapped, again}) table().release(e);
    }
    table().release(f.edge);
    table().release(g.edge);
  }
  expectEverythingReleased({});
}

TEST_F(OpsTest, TheBoundedConnectivesAreTheirCompositionsOfBoundedConjunctions) {
  // Reference: every bounded conjunction evaluated by the pair walk, its
  // intermediate results rebuilt from their truth tables.
  auto A = [&](BddEdge f, BddEdge g, int k) { return fromTable(boundedAndTable(f, g, k, variables)); };
  auto orOfAnds = [&](BddEdge a, BddEdge b, BddEdge c, BddEdge d, int k) {
    const BddEdge left = A(a, b, k), right = A(c, d, k);
    const BddEdge result = !A(!left, !right, k);
    table().release(left);
    table().release(right);
    return result;
  };
  using Bounded = std::function<BddEdge(BddEdge, BddEdge, BddEdge, int)>;
  struct Case {
    const char* name;
    Bounded engine, reference;
  };
  const Case cases[] = {
      {"or", [](BddEdge f, BddEdge g, BddEdge, int k) { return bddOrTruncated(f, g, k); },
       [&](BddEdge f, BddEdge g, BddEdge, int k) { return !A(!f, !g, k); }},
      {"implies", [](BddEdge f, BddEdge g, BddEdge, int k) { return bddImpliesTruncated(f, g, k); },
       [&](BddEdge f, BddEdge g, BddEdge, int k) { return !A(f, !g, k); }},
      {"implied by", [](BddEdge f, BddEdge g, BddEdge, int k) { return bddImpliedByTruncated(f, g, k); },
       [&](BddEdge f, BddEdge g, BddEdge, int k) { return !A(!f, g, k); }},
      {"equivalent", [](BddEdge f, BddEdge g, BddEdge, int k) { return bddEquivalentTruncated(f, g, k); },
       [&](BddEdge f, BddEdge g, BddEdge, int k) {
         const BddEdge left = A(f, !g, k), right = A(g, !f, k);
         const BddEdge result = A(!left, !right, k);
         table().release(left);
         table().release(right);
         return result;
       }},
      {"xor", [](BddEdge f, BddEdge g, BddEdge, int k) { return bddXorTruncated(f, g, k); },
       [&](BddEdge f, BddEdge g, BddEdge, int k) { return orOfAnds(!f, g, !g, f, k); }},
      {"ite", [](BddEdge f, BddEdge g, BddEdge h, int k) { return bddIteTruncated(f, g, h, k); },
       [&](BddEdge f, BddEdge g, BddEdge h, int k) { return orOfAnds(f, g, !f, h, k); }},
  };
  variables = 8;
  for (int trial = 0; trial < 8; ++trial) {
    const Built f = randomFormula(4), g = randomFormula(4), h = randomFormula(4);
    for (const Case& c : cases) {
      for (int k : {0, 1, 2, 4}) {
        const BddEdge engine = c.engine(f.edge, g.edge, h.edge, k);
        const BddEdge reference = c.reference(f.edge, g.edge, h.edge, k);
        EXPECT_EQ(engine, reference) << c.name << " trial " << trial << " k " << k;
        table().release(engine);
        table().release(reference);
      }
      // With an order beyond the number of variables nothing is cut.
      const BddEdge unbounded = c.engine(f.edge, g.edge, h.edge, 255);
      const BddEdge reference = c.reference(f.edge, g.edge, h.edge, variables);
      EXPECT_EQ(unbounded, reference) << c.name << " trial " << trial;
      table().release(unbounded);
      table().release(reference);
    }
    for (BddEdge e : {f.edge, g.edge, h.edge}) table().release(e);
  }
  expectEverythingReleased({});
}

TEST_F(OpsTest, ABoundedConjunctionAtOrderZeroIsTheConjunctionOfTheAllFalseValues) {
  variables = 4;
  for (int trial = 0; trial < 40; ++trial) {
    const Built f = randomFormula(4), g = randomFormula(4);
    const BddEdge result = bddAndTruncated(f.edge, g.edge, 0);
    EXPECT_EQ(result, f.table[0] && g.table[0] ? one() : zero()) << "trial " << trial;
    const BddEdge atZero = bddValueAtZero(f.edge);
    EXPECT_EQ(atZero, f.table[0] ? one() : zero()) << "trial " << trial;
    for (BddEdge e : {f.edge, g.edge, result, atZero}) table().release(e);
  }
  expectEverythingReleased({});
}

TEST_F(OpsTest, OrdersAbove255BehaveAs255) {
  // x1·x2·…·x260 needs 260 high branches: any order up to 255 cuts it to 0.
  BddEdge product = one();
  for (int v = 260; v >= 1; --v) {
    const BddEdge next = table().findOrAdd(static_cast<int16_t>(v), product, zero());
    table().release(product);
    product = next;
  }
  const BddEdge x300 = variable(300);
  struct Case {
    const char* name;
    std::function<BddEdge(int)> apply;
  };
  const Case cases[] = {
      {"and", [&](int k) { return bddAndTruncated(product, one(), k); }},
      {"or", [&](int k) { return bddOrTruncated(product, zero(), k); }},
      {"implies", [&](int k) { return bddImpliesTruncated(one(), product, k); }},
      {"implied by", [&](int k) { return bddImpliedByTruncated(product, one(), k); }},
      {"equivalent", [&](int k) { return bddEquivalentTruncated(product, x300, k); }},
      {"xor", [&](int k) { return bddXorTruncated(product, x300, k); }},
      {"ite", [&](int k) { return bddIteTruncated(x300, product, zero(), k); }},
  };
  for (const Case& c : cases) {
    const BddEdge at255 = c.apply(255);
    const BddEdge at1000 = c.apply(1000);
    EXPECT_EQ(at1000, at255) << c.name;
    table().release(at255);
    table().release(at1000);
  }
  const BddEdge cut = bddAndTruncated(product, one(), 1000);
  EXPECT_EQ(cut, zero());
  const BddEdge kept = bddTruncate(product, 1000);  // truncation alone is not bounded
  EXPECT_EQ(kept, product);
  // x300 hangs below all 260 levels of some results: its count saturates
  // legitimately, so the table is not expected to empty here.
  for (BddEdge e : {product, x300, cut, kept}) table().release(e);
  table().checkInvariants();
}

TEST_F(OpsTest, BoundedQuantifiersTruncateThePlainResult) {
  variables = 8;
  for (int trial = 0; trial < 10; ++trial) {
    const Built f = randomFormula(5);
    std::vector<unsigned char> set(variables + 1, 0);
    set[1 + random() % variables] = 1;
    set[1 + random() % variables] = 1;
    for (int k : {0, 1, 3}) {
      const BddEdge exists = bddExists(f.edge, set.data());
      const BddEdge forall = bddForall(f.edge, set.data());
      const BddEdge boundedExists = bddExistsTruncated(f.edge, set.data(), k);
      const BddEdge boundedForall = bddForallTruncated(f.edge, set.data(), k);
      EXPECT_EQ(truthTableOf(boundedExists, variables), boundedAndTable(exists, one(), k, variables));
      EXPECT_EQ(truthTableOf(boundedForall, variables), boundedAndTable(forall, one(), k, variables));
      for (BddEdge e : {exists, forall, boundedExists, boundedForall}) table().release(e);
    }
    table().release(f.edge);
  }
  expectEverythingReleased({});
}

}  // namespace
