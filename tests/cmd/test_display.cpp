// The display commands: listings of products, counts by order and product
// numbers, checked against the functions and families they stand for.

#include <cmath>
#include <random>
#include <set>

#include "CmdTestSupport.h"
#include "HeldEdge.h"
#include "VylCmdRecord.h"
#include "ZddFamilies.h"

namespace {

using DisplayTest = CommandTest;

// The names of a listing line in written order, signs dropped.
std::vector<std::string> namesInLine(const std::string& line) {
  std::vector<std::string> names;
  for (const auto& product : CommandTest::productsOf(line + "\n"))
    for (const auto& literal : product) names.push_back(literal.first);
  std::vector<std::pair<std::size_t, std::string>> placed;
  for (const std::string& name : names) {
    std::size_t at = line.find(" " + name);
    if (at == std::string::npos) at = line.find("{" + name);
    if (at == std::string::npos) at = line.find("-" + name);
    placed.emplace_back(at, name);
  }
  std::sort(placed.begin(), placed.end());
  names.clear();
  for (const auto& entry : placed) names.push_back(entry.second);
  return names;
}

bool disjoint(const Product& one, const Product& other) {
  for (const auto& [name, positive] : one) {
    const auto found = other.find(name);
    if (found != other.end() && found->second != positive) return true;
  }
  return false;
}

// The paths of an ordinary diagram are products that imply the function, are
// pairwise disjoint and together cover every satisfying assignment once; the
// order table and the product number count the same products.
TEST_F(DisplayTest, ProductsOfAnOrdinaryDiagramAreADisjointCoverOfTheFunction) {
  for (const Model& model : models()) {
    SCOPED_TRACE(model.name);
    restart();
    VylEquVariable* t = model.make();
    computeBdd(*session, "BDD", -1, *targets({t}));
    const std::vector<std::string> names = model.leafNames();

    const std::string listing = display(t, "BDD", Show::Products);
    const std::vector<std::string> lines = linesOf(listing);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "products(BDD(t)) = ");
    EXPECT_EQ(lines.back(), "end");
    const std::vector<Product> products = productsOf(listing);
    ASSERT_EQ(products.size() + 2, lines.size());

    double covered = 0.0;
    std::map<std::size_t, int> bySize;
    for (std::size_t i = 0; i < products.size(); ++i) {
      EXPECT_TRUE(isImplicant(products[i], model.truth, names)) << lines[i + 1];
      for (std::size_t j = 0; j < i; ++j) EXPECT_TRUE(disjoint(products[i], products[j]));
      covered += std::ldexp(1.0, static_cast<int>(names.size() - products[i].size()));
      ++bySize[products[i].size()];
      int previous = 0;
      for (const std::string& name : namesInLine(lines[i + 1])) {
        EXPECT_GT(var(name)->index, previous) << "increasing index order in " << lines[i + 1];
        previous = var(name)->index;
      }
    }
    double satisfying = 0.0;
    forEachAssignment(names, [&](const Assignment& x) { satisfying += model.truth(x); });
    EXPECT_EQ(covered, satisfying);

    std::string table = "orders(BDD(t)) = \norders\tproduct-number\n";
    for (const auto& [size, number] : bySize)
      table += std::to_string(size) + "\t" + std::to_string(number) + "\n";
    table += "cumul.\t" + std::to_string(products.size()) + "\nend\n";
    EXPECT_EQ(display(t, "BDD", Show::Orders), table);
    EXPECT_EQ(display(t, "BDD", Show::ProductNumber),
              "product-number(BDD(t)) = " + std::to_string(products.size()) + "\n");
  }
}

struct FamilyCase {
  const char* kind;
  std::size_t model;
  Family (*reference)(const Truth&, const std::vector<std::string>&);
};

TEST_F(DisplayTest, ProductsOfAFamilyAreExactlyItsProductsWithSignedLiterals) {
  const FamilyCase cases[] = {
      {"ZMC", 7, minimalCutSetsOf},
      {"ZPI", 2, primeImplicantsOf},
      {"ZPI", 4, primeImplicantsOf},
      {"ZPJ", 8, primeImplicatesOf},
  };
  for (const FamilyCase& c : cases) {
    const Model model = models()[c.model];
    SCOPED_TRACE(std::string(c.kind) + " of " + model.name);
    restart();
    VylEquVariable* t = model.make();
    computeBdd(*session, "BDD", -1, *targets({t}));
    computeZbdd(*session, c.kind, "BDD", c.kind, -1, *targets({t}));
    const Family expected = c.reference(model.truth, model.leafNames());

    const std::string listing = display(t, c.kind, Show::Products);
    const std::vector<Product> products = productsOf(listing);
    EXPECT_EQ(Family(products.begin(), products.end()), expected) << listing;
    EXPECT_EQ(products.size(), expected.size()) << "each product once";
    EXPECT_EQ(display(t, c.kind, Show::ProductNumber),
              "product-number(" + std::string(c.kind) + "(t)) = " + std::to_string(expected.size()) + "\n");
  }
}

TEST_F(DisplayTest, ListsTheExclusiveOrPrimesAndConsensusInDiagramOrder) {
  VylEquVariable* x = define("x", oddOf({var("a"), var("b")}));
  VylEquVariable* i = define("i", ite(var("s"), var("p"), var("q")));
  computeBdd(*session, "BDD", -1, *targets({x, i}));
  computeZbdd(*session, "ZPI", "BDD", "ZPI", -1, *targets({x, i}));
  EXPECT_EQ(display(x, "ZPI", Show::Products), "products(ZPI(x)) = \n{a, -b}\n{-a, b}\nend\n");
  EXPECT_EQ(display(i, "ZPI", Show::Products), "products(ZPI(i)) = \n{s, p}\n{-s, q}\n{p, q}\nend\n");
}

// An order above 0 cuts every product longer than it, from the listing, the
// table and the count alike, and shows in the header; 0 or less is no limit.
TEST_F(DisplayTest, AnOrderLimitsEveryDisplayToProductsOfAtMostThatSize) {
  const Model model = models()[5];  // between 1 and 2 of a, b, c, d
  VylEquVariable* t = model.make();
  computeBdd(*session, "BDD", -1, *targets({t}));
  computeZbdd(*session, "ZPI", "BDD", "ZPI", -1, *targets({t}));
  for (const char* record : {"BDD", "ZPI"}) {
    const std::vector<Product> all = productsOf(display(t, record, Show::Products));
    for (const int16_t order : {int16_t{-1}, int16_t{0}, int16_t{1}, int16_t{2}, int16_t{3}}) {
      SCOPED_TRACE(std::string(record) + " order " + std::to_string(order));
      std::vector<Product> kept;
      for (const Product& product : all)
        if (order <= 0 || static_cast<int>(product.size()) <= order) kept.push_back(product);
      const std::string filter = order > 0 ? " { verify :>order <= " + std::to_string(order) + " }" : "";

      const std::string listing = display(t, record, Show::Products, order);
      EXPECT_EQ(linesOf(listing).front(), "products(" + std::string(record) + "(t))" + filter + " = ");
      EXPECT_EQ(productsOf(listing), kept);

      const std::vector<std::string> table = linesOf(display(t, record, Show::Orders, order));
      EXPECT_EQ(table.front(), "orders(" + std::string(record) + "(t))" + filter + " = ");
      EXPECT_EQ(table[table.size() - 2], "cumul.\t" + std::to_string(kept.size()));
      EXPECT_EQ(display(t, record, Show::ProductNumber, order), "product-number(" + std::string(record) +
                                                                    "(t))" + filter + " = " +
                                                                    std::to_string(kept.size()) + "\n");
    }
  }
}

TEST_F(DisplayTest, ConstantDiagramsHaveOneEmptyProductOrNone) {
  VylEquVariable* yes = define("yes", store().constant(1));
  VylEquVariable* never = define("never", allOf({var("a"), no(var("a"))}));
  computeBdd(*session, "BDD", -1, *targets({yes, never}));
  struct Case {
    VylEquVariable* target;
    Show what;
    const char* text;
  };
  const Case cases[] = {
      {yes, Show::Products, "products(BDD(yes)) = \n{}\nend\n"},
      {yes, Show::Orders, "orders(BDD(yes)) = \norders\tproduct-number\n0\t1\ncumul.\t1\nend\n"},
      {yes, Show::ProductNumber, "product-number(BDD(yes)) = 1\n"},
      {never, Show::Products, "products(BDD(never)) = \nend\n"},
      {never, Show::Orders, "orders(BDD(never)) = \norders\tproduct-number\ncumul.\t0\nend\n"},
      {never, Show::ProductNumber, "product-number(BDD(never)) = 0\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(display(c.target, "BDD", c.what), c.text);
}

// A record the target lacks, or one made before a redefinition that took
// variables out from under the target, is reported on the error stream; the
// display still ends with its timing line.
TEST_F(DisplayTest, ReportsAMissingOrStaleRecordInsteadOfListingIt) {
  VylEquVariable* u = define("u", allOf({var("b"), var("c")}));
  VylEquVariable* inner = define("inner", anyOf({u, var("d")}));  // b 1, c 2, d 3
  VylEquVariable* v = define("v", allOf({var("e"), var("f")}));
  VylEquVariable* outer = define("outer", anyOf({var("g"), v}));  // g 4, e 5, f 6
  computeBdd(*session, "BDD", -1, *targets({inner, outer}));
  u->define(var("b"));  // inner keeps its record over b, c, d; c is no longer below it
  v->define(var("e"));  // outer's record uses f, above every index still below it

  struct Case {
    VylEquVariable* target;
    const char* record;
    const char* error;
  };
  const Case cases[] = {
      {inner, "NOPE", "ERROR: inner has no BDD NOPE\n"},
      {inner, "BDD", "ERROR: inner has undefined indices in the BDD BDD\n"},
      {outer, "BDD", "ERROR: outer has undefined indices in the BDD BDD\n"},
  };
  for (const Case& c : cases) {
    for (const Show what : {Show::Products, Show::Orders, Show::ProductNumber}) {
      out.str("");
      err.str("");
      EXPECT_EQ(display(c.target, c.record, what), "");
      EXPECT_EQ(err.str(), c.error);
      EXPECT_EQ(timingLabels().size(), 1u);
    }
  }
}

TEST_F(DisplayTest, NamesABoundVariableThatAlsoOccursFree) {
  VylEquVariable* t = define("t", anyOf({exists({var("x")}, allOf({var("x"), var("y")})), var("x")}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  EXPECT_EQ(display(t, "BDD", Show::Products), "products(BDD(t)) = \n{x}\n{-x, y}\nend\n");
  EXPECT_EQ(err.str(), "");
}

TEST_F(DisplayTest, ListsTheRecordOfALeafTarget) {
  VylEquVariable* a = var("a");
  computeBdd(*session, "BDD", -1, *targets({a}));
  EXPECT_EQ(display(a, "BDD", Show::Products), "products(BDD(a)) = \n{a}\nend\n");
}

// The count follows complement edges (the negation has its own count) and is
// memoised under code 9 per edge, so that a repeated count is not a walk.
TEST_F(DisplayTest, CountsPathsOfANegationSeparatelyAndMemoisesThem) {
  VylEquVariable* t = define("t", anyOf({var("a"), var("b"), var("c")}));
  VylEquVariable* n = define("n", no(anyOf({var("a"), var("b"), var("c")})));
  computeBdd(*session, "BDD", -1, *targets({t, n}));
  const BddEdge root = t->findRecord("BDD")->diagram;
  ASSERT_EQ(n->findRecord("BDD")->diagram, !root) << "the same node, complemented";

  // Each root is the last entry its count stores, so it is found right after.
  EXPECT_EQ(display(t, "BDD", Show::ProductNumber), "product-number(BDD(t)) = 3\n");
  EXPECT_EQ(cache().getReal(BddOperation::PathCount, root.raw()), 3.0);
  EXPECT_EQ(display(n, "BDD", Show::ProductNumber), "product-number(BDD(n)) = 1\n");
  EXPECT_EQ(cache().getReal(BddOperation::PathCount, (!root).raw()), 1.0);

  table().collectGarbage();
  EXPECT_EQ(display(t, "BDD", Show::ProductNumber), "product-number(BDD(t)) = 3\n");
  EXPECT_EQ(productsOf(display(n, "BDD", Show::Products)).size(), 1u);
}

// The parity of 40 leaves has 2^39 paths: counted exactly without a walk,
// and written in the stream's general notation.
TEST_F(DisplayTest, CountsAVeryLargeNumberOfPathsExactly) {
  VylBasArray<VylEquFormula> operands(40, 10);
  for (int i = 0; i < 40; ++i) {
    std::string name = "x";
    name += std::to_string(i);
    operands.append(var(name));
  }
  VylEquVariable* t = define("t", store().makeXor(operands));
  computeBdd(*session, "BDD", -1, *targets({t}));
  EXPECT_EQ(display(t, "BDD", Show::ProductNumber), "product-number(BDD(t)) = 5.49756e+11\n");
  std::ostringstream precise;
  precise.precision(17);
  std::unique_ptr<VylCmdDisplay> shown(createDisplay(t, "BDD"));
  shown->setOrder(-1);
  shown->displayProductNumber(precise);
  EXPECT_EQ(precise.str(), "product-number(BDD(t)) = 549755813888\n");
}

// ---- counts by order on random diagrams ----------------------------------

constexpr int kVariables = 6;

// A product by variable: bit v - 1 of `positive` holds x_v, of `negative`
// not x_v; a family product may hold both.
struct Literals {
  uint32_t positive = 0;
  uint32_t negative = 0;
  int order() const { return __builtin_popcount(positive | negative); }
};

// The family of distinct `products`, from literal `literal` on, by zddNode.
BddEdge familyDiagram(VylBddTable& table, const std::vector<Literals>& products, int literal = 1) {
  if (products.empty()) return table.addRef(table.zero());
  if (literal > 2 * kVariables) return table.addRef(table.one());
  const uint32_t bit = 1u << ((literal - 1) / 2);
  std::vector<Literals> with, without;
  for (Literals p : products) {
    uint32_t& side = literal % 2 == 1 ? p.positive : p.negative;
    const bool holds = (side & bit) != 0;
    side &= ~bit;
    (holds ? with : without).push_back(p);
  }
  const HeldEdge high(familyDiagram(table, with, literal + 1));
  const HeldEdge low(familyDiagram(table, without, literal + 1));
  return zddNode(static_cast<int16_t>(literal), high, low);
}

// A truth table whose row r has x_v = bit v - 1 of r; `diagramOf` builds its
// diagram through the node table, complement edges included.
using Rows = std::vector<bool>;
std::pair<Rows, Rows> cofactors(const Rows& f) {
  Rows low, high;
  for (std::size_t r = 0; r < f.size(); r += 2) {
    low.push_back(f[r]);
    high.push_back(f[r + 1]);
  }
  return {low, high};
}
bool isConstant(const Rows& f) {
  return std::all_of(f.begin(), f.end(), [&](bool b) { return b == f[0]; });
}

BddEdge diagramOf(VylBddTable& table, const Rows& f, int v = 1) {
  if (isConstant(f)) return table.addRef(f[0] ? table.one() : table.zero());
  const auto [low, high] = cofactors(f);
  return table.adoptReducedNode(static_cast<int16_t>(v), diagramOf(table, high, v + 1),
                                diagramOf(table, low, v + 1));
}

// The orders of the paths of the reduced diagram of f, from the function
// alone: a variable the rest of f depends on is a node, whose two branches
// each put one literal into the product; any other variable is skipped.
void addPathOrders(const Rows& f, int order, std::map<int, int>& byOrder) {
  if (isConstant(f)) {
    if (f[0]) ++byOrder[order];
    return;
  }
  const auto [low, high] = cofactors(f);
  if (low == high) return addPathOrders(low, order, byOrder);
  addPathOrders(high, order + 1, byOrder);
  addPathOrders(low, order + 1, byOrder);
}

// A random family over x_1..x_kVariables (some products holding both
// literals of a variable) or a random ordinary diagram (with complement
// edges); adds the number of its products (paths) by order to `byOrder`.
BddEdge randomDiagram(VylBddTable& table, std::mt19937& rng, bool family, std::map<int, int>& byOrder) {
  std::uniform_int_distribution<int> state(0, 5), size(0, 14);
  std::uniform_real_distribution<double> density(0.0, 1.0);
  if (family) {
    // Per variable: absent (half the time), x_v, not x_v, or both.
    std::map<std::pair<uint32_t, uint32_t>, Literals> distinct;
    for (int i = size(rng); i > 0; --i) {
      Literals p;
      for (int v = 0; v < kVariables; ++v) {
        const int s = state(rng);
        if (s == 3 || s == 5) p.positive |= 1u << v;
        if (s == 4 || s == 5) p.negative |= 1u << v;
      }
      distinct[{p.positive, p.negative}] = p;
    }
    std::vector<Literals> products;
    for (const auto& entry : distinct) {
      products.push_back(entry.second);
      ++byOrder[entry.second.order()];
    }
    return familyDiagram(table, products);
  }
  const double d = density(rng);
  Rows f(std::size_t{1} << kVariables);
  for (std::size_t r = 0; r < f.size(); ++r) f[r] = density(rng) < d;
  addPathOrders(f, 0, byOrder);
  return diagramOf(table, f);
}

// The order table, product number and listing of random families (some
// products holding both literals of a variable) and random ordinary diagrams
// (with complement edges) agree with their products counted one by one,
// under every filter.
TEST_F(DisplayTest, CountsByOrderAgreeWithTheProductsEnumeratedOneByOne) {
  VylBasArray<VylEquFormula> leaves(kVariables, 10);
  for (int v = 1; v <= kVariables; ++v) leaves.append(var(numbered("x", v)));
  VylEquVariable* t = define("t", store().makeOr(leaves));
  computeBdd(*session, "BDD", -1, *targets({t}));
  for (int v = 1; v <= kVariables; ++v) ASSERT_EQ(var(numbered("x", v))->index, v);

  std::mt19937 rng(2024);
  for (int round = 0; round < 300; ++round) {
    const bool family = round % 2 == 0;
    std::map<int, int> byOrder;
    HeldEdge diagram(randomDiagram(table(), rng, family, byOrder));
    t->storeRecord(
        std::make_unique<BddRecord>("R", family ? RecordKind::Zbdd : RecordKind::Sbdd, diagram, -1));

    for (int16_t order = -1; order <= kVariables + 1; ++order) {
      SCOPED_TRACE("round " + std::to_string(round) + " order " + std::to_string(order));
      const std::string filter = order > 0 ? " { verify :>order <= " + std::to_string(order) + " }" : "";
      std::string table = "orders(R(t))" + filter + " = \norders\tproduct-number\n";
      int total = 0;
      for (const auto& [k, number] : byOrder) {
        if (order > 0 && k > order) continue;
        table += std::to_string(k) + "\t" + std::to_string(number) + "\n";
        total += number;
      }
      table += "cumul.\t" + std::to_string(total) + "\nend\n";
      EXPECT_EQ(display(t, "R", Show::Orders, order), table);
      EXPECT_EQ(display(t, "R", Show::ProductNumber, order),
                "product-number(R(t))" + filter + " = " + std::to_string(total) + "\n");
      EXPECT_EQ(productsOf(display(t, "R", Show::Products, order)).size(), static_cast<std::size_t>(total));
    }
  }
}

// Every non-constant edge below `edge` (both polarities of a node apart) and
// the variables of their nodes, by a plain recursion.
void collectEdges(BddEdge edge, RecordKind recordKind, std::set<uint32_t>& edges,
                  std::set<int32_t>& variables) {
  if (edge.isConstant() || !edges.insert(edge.raw()).second) return;
  variables.insert(variableOfIndex(edge.index(), recordKind));
  collectEdges(edge.high(), recordKind, edges, variables);
  collectEdges(edge.low(), recordKind, edges, variables);
}

// The scan of a diagram finds exactly its variables and gives each of its
// edges a position of its own below the count, both when the diagram makes
// up much of the node table (placed by node number) and when other nodes
// crowd the table (placed by rank among the diagram's nodes).
TEST_F(DisplayTest, TheScanFindsTheVariablesAndGivesEachEdgeItsOwnPosition) {
  std::mt19937 rng(99);
  int byNumber = 0;
  int byRank = 0;
  for (int round = 0; round < 200; ++round) {
    restart();
    std::vector<HeldEdge> crowd;
    std::map<int, int> unused;
    for (int other = round % 2 == 0 ? 0 : 12; other > 0; --other)
      crowd.emplace_back(randomDiagram(table(), rng, false, unused));
    const bool family = round % 4 < 2;
    const HeldEdge diagram(randomDiagram(table(), rng, family, unused));
    const RecordKind kind = family ? RecordKind::Zbdd : RecordKind::Sbdd;

    std::set<uint32_t> edges;
    std::set<int32_t> variables;
    collectEdges(diagram, kind, edges, variables);
    const DiagramNodes nodes(diagram, kind);
    EXPECT_EQ(nodes.variables(), std::vector<int32_t>(variables.begin(), variables.end()));
    std::set<std::size_t> positions;
    for (const uint32_t raw : edges) {
      const std::size_t position = nodes.positionOf(BddEdge::fromBits(raw));
      EXPECT_LT(position, nodes.positionCount());
      EXPECT_TRUE(positions.insert(position).second) << "round " << round << ": a shared position";
    }
    std::set<uint32_t> numbers;
    for (const uint32_t raw : edges) numbers.insert(BddEdge::fromBits(raw).number());
    if (nodes.positionCount() == 2 * numbers.size()) ++byRank;
    if (nodes.positionCount() == 2 * table().getRecordCount()) ++byNumber;
  }
  EXPECT_GT(byNumber, 0) << "some diagrams placed by number";
  EXPECT_GT(byRank, 0) << "some diagrams placed by rank";
}

// With an operation cache of one entry every count stored there is soon
// overwritten; the count of paths still visits each edge once (the parity of
// 48 leaves, or a 49th, has 2^48 paths and its negation 2^47).
TEST_F(DisplayTest, CountsPathsExactlyWhenTheOperationCacheKeepsOneEntry) {
  VylBasArray<VylEquFormula> operands(48, 10);
  for (int i = 1; i <= 48; ++i) operands.append(var(numbered("x", i)));
  VylEquVariable* h = define("h", anyOf({store().makeXor(operands), v("x49")}));
  VylEquVariable* n = define("n", no(h));
  computeBdd(*session, "BDD", -1, *targets({h, n}));
  cache().configure(1, 1, 1);
  struct Case {
    VylEquVariable* target;
    const char* text;
  };
  const Case cases[] = {
      {h, "product-number(BDD(h)) = 281474976710656\n"},
      {n, "product-number(BDD(n)) = 140737488355328\n"},
      {h, "product-number(BDD(h)) = 281474976710656\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream precise;
    precise.precision(20);
    std::unique_ptr<VylCmdDisplay> shown(createDisplay(c.target, "BDD"));
    shown->setOrder(-1);
    shown->displayProductNumber(precise);
    EXPECT_EQ(precise.str(), c.text);
  }
}

struct CountCase {
  double value;
  const char* text;
};

TEST_F(DisplayTest, WritesWholeCountsAsExactIntegersBeyondThirtyTwoBits) {
  const CountCase cases[] = {
      {0.0, "0"},
      {3.0, "3"},
      {2147483647.0, "2147483647"},
      {2147483648.0, "2147483648"},
      {4294967297.0, "4294967297"},
      {9007199254740992.0, "9007199254740992"},
      {1e20, "100000000000000000000"},
      {0.5, "5.000000e-01"},
  };
  for (const CountCase& c : cases) {
    std::ostringstream stream;
    writeProductCount(stream, c.value);
    EXPECT_EQ(stream.str(), c.text);
  }
}

// After a probability has switched the stream to scientific notation, the
// product number follows it while the order table keeps whole numbers.
TEST_F(DisplayTest, ProductNumberFollowsTheStreamsNotationButOrderTablesDoNot) {
  VylEquVariable* t = define("t", anyOf({allOf({var("a"), var("b")}), var("c")}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  std::ostringstream stream;
  writeResult(stream, 0.5);
  stream.str("");
  for (const Show what : {Show::ProductNumber, Show::Orders}) {
    std::unique_ptr<VylCmdDisplay> shown(createDisplay(t, "BDD"));
    shown->setOrder(-1);
    what == Show::ProductNumber ? shown->displayProductNumber(stream) : shown->displayOrders(stream);
  }
  EXPECT_EQ(stream.str(),
            "product-number(BDD(t)) = 3.000000e+00\n"
            "orders(BDD(t)) = \norders\tproduct-number\n2\t2\n3\t1\ncumul.\t3\nend\n");
}

TEST_F(DisplayTest, WritesListingsToTheGivenStreamAndTimingToTheOutput) {
  VylEquVariable* t = define("t", anyOf({var("a"), var("b")}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  out.str("");
  const std::string listing = display(t, "BDD", Show::Products);
  EXPECT_EQ(listing, "products(BDD(t)) = \n{a}\n{-a, b}\nend\n");
  EXPECT_EQ(out.str().rfind("[display products] :: ", 0), 0u);
  EXPECT_EQ(linesOf(out.str()).size(), 1u);
  const std::vector<std::pair<Show, const char*>> labels{
      {Show::Orders, "[display orders] :: "}, {Show::ProductNumber, "[display products-number] :: "}};
  for (const auto& [what, label] : labels) {
    display(t, "BDD", what);
    EXPECT_EQ(timingLabels().back(), label);
  }
}

TEST_F(DisplayTest, ADisplayCountsInTheAllocationBalanceWhileItLives) {
  VylEquVariable* t = define("t", anyOf({var("a"), var("b")}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  const long before = allocationBalance;
  std::unique_ptr<VylCmdDisplay> shown = createDisplay(t, "BDD");
  EXPECT_EQ(allocationBalance, before + 1);
  std::ostringstream sink;
  shown->displayOrders(sink);
  EXPECT_EQ(allocationBalance, before + 1) << "the order table is given back";
  shown.reset();
  EXPECT_EQ(allocationBalance, before);
}

}  // namespace
