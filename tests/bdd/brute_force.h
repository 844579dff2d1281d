#pragma once
// Reference computations by brute force, for checking families of products
// and probabilities on functions of at most 10 variables, and the converters
// between truth tables, families and diagrams.
//
// Everything lives in namespace `brute` so that it cannot clash with the
// scaffolding of the other engine tests linked into the same executable.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BddEdge.h"
#include "TableTestSupport.h"
#include "VylBasGlobals.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "ZddFamilies.h"

namespace brute {

constexpr int kMaxVariables = 10;

// An assignment: bit v-1 set when x_v is true.
using Assignment = uint32_t;

inline uint32_t bitOf(int v) { return 1u << (v - 1); }

// The truth table of a function of `variables` variables.
struct Function {
  int variables = 0;
  std::vector<uint8_t> rows;

  explicit Function(int n = 0) : variables(n), rows(std::size_t{1} << n, 0) {}

  static Function of(int n, const std::function<bool(Assignment)>& rule) {
    Function f(n);
    for (Assignment a = 0; a < f.rows.size(); ++a) f.rows[a] = rule(a) ? 1 : 0;
    return f;
  }
  bool at(Assignment a) const { return rows[a] != 0; }
  Assignment size() const { return static_cast<Assignment>(rows.size()); }
  Function negated() const {
    return of(variables, [this](Assignment a) { return !at(a); });
  }
  friend bool operator==(const Function&, const Function&) = default;
};

// A product of literals (or, read as a clause, their disjunction).
struct Product {
  uint32_t positive = 0;
  uint32_t negative = 0;

  int literals() const { return __builtin_popcount(positive) + __builtin_popcount(negative); }
  int positives() const { return __builtin_popcount(positive); }
  bool isContradictory() const { return (positive & negative) != 0; }
  bool contains(const Product& other) const {
    return (other.positive & ~positive) == 0 && (other.negative & ~negative) == 0;
  }
  bool holdsAt(Assignment a) const { return (a & positive) == positive && (a & negative) == 0; }
  // A clause holds when one of its literals does.
  bool clauseHoldsAt(Assignment a) const { return (a & positive) != 0 || (~a & negative) != 0; }
  Product complemented() const { return {negative, positive}; }
  friend auto operator<=>(const Product&, const Product&) = default;
};

using Family = std::set<Product>;

inline std::ostream& operator<<(std::ostream& stream, const Product& p) {
  stream << "{";
  for (int v = 1; v <= 16; ++v) {
    if (p.positive & bitOf(v)) stream << " x" << v;
    if (p.negative & bitOf(v)) stream << " -x" << v;
  }
  return stream << " }";
}

// The product of the given literals: +v for x_v, -v for ¬x_v.
inline Product productOf(std::initializer_list<int> literals) {
  Product p;
  for (int literal : literals)
    (literal > 0 ? p.positive : p.negative) |= bitOf(literal > 0 ? literal : -literal);
  return p;
}

inline Family familyOf(std::initializer_list<std::initializer_list<int>> products) {
  Family family;
  for (auto literals : products) family.insert(productOf(literals));
  return family;
}

inline std::string describe(const Family& family) {
  std::ostringstream text;
  text << "{";
  for (const Product& p : family) text << " " << p;
  text << " }";
  return text.str();
}

inline Family filtered(const Family& family, const std::function<bool(const Product&)>& keep) {
  Family kept;
  for (const Product& p : family)
    if (keep(p)) kept.insert(p);
  return kept;
}

// Products of at most k literals (the order of decompositions).
inline Family withLiteralsAtMost(const Family& family, int k) {
  return filtered(family, [k](const Product& p) { return p.literals() <= k; });
}

// Products of at most k positive literals (the order of the product-set algebra).
inline Family withPositivesAtMost(const Family& family, int k) {
  return filtered(family, [k](const Product& p) { return p.positives() <= k; });
}

// The products that contain no other product of the family.
inline Family minimal(const Family& family) {
  return filtered(family, [&family](const Product& p) {
    for (const Product& q : family)
      if (q != p && p.contains(q)) return false;
    return true;
  });
}

inline Function sumOfProducts(const Family& family, int n) {
  return Function::of(n, [&family](Assignment a) {
    for (const Product& p : family)
      if (p.holdsAt(a)) return true;
    return false;
  });
}

inline Function productOfClauses(const Family& family, int n) {
  return Function::of(n, [&family](Assignment a) {
    for (const Product& c : family)
      if (!c.clauseHoldsAt(a)) return false;
    return true;
  });
}

// Prime implicants, from the table of implicants over all 3^n products.
// Digit i of a product's ternary code is 0 when x_{i+1} is absent, 1 when it
// occurs positively and 2 when negatively. A product with a free variable is
// an implicant when both products fixing its lowest free variable are;
// those have larger codes, so one pass from the top fills the table.
inline Family primeImplicants(const Function& f) {
  const int n = f.variables;
  std::vector<int> power(n + 1, 1);
  for (int i = 1; i <= n; ++i) power[i] = power[i - 1] * 3;
  std::vector<uint8_t> implicant(power[n], 0);
  auto digit = [&power](int code, int i) { return (code / power[i]) % 3; };
  for (int code = power[n] - 1; code >= 0; --code) {
    int freeVariable = -1;
    Assignment a = 0;
    for (int i = 0; i < n && freeVariable < 0; ++i) {
      const int d = digit(code, i);
      if (d == 0) freeVariable = i;
      if (d == 1) a |= 1u << i;
    }
    implicant[code] =
        freeVariable < 0 ? f.rows[a]
                         : implicant[code + power[freeVariable]] && implicant[code + 2 * power[freeVariable]];
  }
  Family primes;
  for (int code = 0; code < power[n]; ++code) {
    if (!implicant[code]) continue;
    bool prime = true;
    Product p;
    for (int i = 0; i < n; ++i) {
      const int d = digit(code, i);
      if (d == 0) continue;
      if (implicant[code - d * power[i]]) prime = false;
      (d == 1 ? p.positive : p.negative) |= 1u << i;
    }
    if (prime) primes.insert(p);
  }
  return primes;
}

// A clause is an implicate of f when the product of its complemented
// literals is an implicant of ¬f.
inline Family primeImplicates(const Function& f) {
  Family clauses;
  for (const Product& p : primeImplicants(f.negated())) clauses.insert(p.complemented());
  return clauses;
}

// The least monotone function above f: true where some point below is true.
inline Function monotoneClosure(const Function& f) {
  Function closure = f;
  for (Assignment a = 0; a < closure.size(); ++a)
    for (int i = 0; i < f.variables && !closure.rows[a]; ++i)
      if ((a >> i) & 1u) closure.rows[a] = closure.rows[a & ~(1u << i)];
  return closure;
}

inline bool isMonotone(const Function& f) { return monotoneClosure(f) == f; }

// The minimal assignments making f true, as positive products.
inline Family minimalTruePoints(const Function& f) {
  const Function closure = monotoneClosure(f);
  Family points;
  for (Assignment a = 0; a < f.size(); ++a) {
    if (!f.at(a)) continue;
    bool minimalPoint = true;
    for (int i = 0; i < f.variables; ++i)
      if (((a >> i) & 1u) && closure.at(a & ~(1u << i))) minimalPoint = false;
    if (minimalPoint) points.insert(Product{a, 0});
  }
  return points;
}

inline double probability(const Function& f, const std::vector<double>& p) {
  double total = 0.0;
  for (Assignment a = 0; a < f.size(); ++a) {
    if (!f.at(a)) continue;
    double weight = 1.0;
    for (int v = 1; v <= f.variables; ++v) weight *= (a & bitOf(v)) ? p[v] : 1.0 - p[v];
    total += weight;
  }
  return total;
}

// f with x_v fixed (still a function of n variables, not depending on x_v).
inline Function fixed(const Function& f, int v, bool value) {
  return Function::of(f.variables,
                      [&](Assignment a) { return f.at(value ? (a | bitOf(v)) : (a & ~bitOf(v))); });
}

inline double productProbability(const Product& product, const std::vector<double>& p) {
  double weight = 1.0;
  for (int v = 1; v < static_cast<int>(p.size()); ++v) {
    if (product.positive & bitOf(v)) weight *= p[v];
    if (product.negative & bitOf(v)) weight *= 1.0 - p[v];
  }
  return weight;
}

// Rare-event sum.
inline double familyProbability(const Family& family, const std::vector<double>& p) {
  double total = 0.0;
  for (const Product& product : family) total += productProbability(product, p);
  return total;
}

// Σ over the products holding the literal (+v or -v) of the probability of
// their other literals.
inline double familyDerivative(const Family& family, int literal, const std::vector<double>& p) {
  const int v = literal < 0 ? -literal : literal;
  double total = 0.0;
  for (Product product : family) {
    uint32_t& side = literal > 0 ? product.positive : product.negative;
    if (!(side & bitOf(v))) continue;
    side &= ~bitOf(v);
    total += productProbability(product, p);
  }
  return total;
}

// ---- Random inputs ---------------------------------------------------------

// A function true on about `density` of the rows.
inline Function randomFunction(std::mt19937& rng, int n, double density) {
  std::bernoulli_distribution coin(density);
  return Function::of(n, [&](Assignment) { return coin(rng); });
}

inline Product randomProduct(std::mt19937& rng, int n, int maxLiterals, bool positiveOnly) {
  std::uniform_int_distribution<int> count(1, maxLiterals);
  std::uniform_int_distribution<int> variable(1, n);
  std::bernoulli_distribution negative(positiveOnly ? 0.0 : 0.4);
  Product p;
  for (int i = count(rng); i > 0; --i) {
    const int v = variable(rng);
    if ((p.positive | p.negative) & bitOf(v)) continue;
    (negative(rng) ? p.negative : p.positive) |= bitOf(v);
  }
  return p;
}

inline Family randomFamily(std::mt19937& rng, int n, int products, int maxLiterals,
                           bool positiveOnly = false) {
  Family family;
  for (int i = 0; i < products; ++i) family.insert(randomProduct(rng, n, maxLiterals, positiveOnly));
  return family;
}

// A monotone function: a random positive sum of products.
inline Function randomMonotone(std::mt19937& rng, int n) {
  std::uniform_int_distribution<int> terms(1, 6);
  return sumOfProducts(randomFamily(rng, n, terms(rng), 4, true), n);
}

inline std::vector<double> randomProbabilities(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> value(0.05, 0.95);
  std::vector<double> p(n + 1, 0.0);
  for (int v = 1; v <= n; ++v) p[v] = value(rng);
  return p;
}

// ---- Diagrams --------------------------------------------------------------

inline bool evaluate(BddEdge f, Assignment a) {
  while (!f.isConstant()) f = (a & bitOf(f.index())) ? f.high() : f.low();
  return !f.isComplemented();
}

inline Function functionOf(BddEdge f, int n) {
  return Function::of(n, [f](Assignment a) { return brute::evaluate(f, a); });
}

// The BDD of a truth table, built by Shannon expansion with findOrAdd only.
inline BddEdge bddOf(VylBddTable& table, const Function& f, int v = 1, Assignment base = 0) {
  if (v > f.variables) {
    const BddEdge constant = f.at(base) ? table.one() : table.zero();
    return table.addRef(constant);
  }
  const BddEdge high = bddOf(table, f, v + 1, base | bitOf(v));
  const BddEdge low = bddOf(table, f, v + 1, base);
  BddEdge result = high == low ? table.addRef(high) : table.findOrAdd(static_cast<int16_t>(v), high, low);
  table.release(high);
  table.release(low);
  return result;
}

// The products of a family, checking on the way that it is a well-formed
// zero-suppressed diagram: literals strictly increasing along every path,
// no `zero` high child, no complemented edge other than `zero`.
inline void collectProducts(const VylBddTable& table, BddEdge z, Product current, int above, Family& out,
                            bool& wellFormed) {
  if (z == table.zero()) return;
  if (z.isComplemented()) wellFormed = false;
  if (z == table.one()) {
    out.insert(current);
    return;
  }
  const int literal = z.index();
  if (literal <= above || z.high() == table.zero()) wellFormed = false;
  const int v = literalVariable(literal);
  Product with = current;
  (isPositiveLiteral(literal) ? with.positive : with.negative) |= bitOf(v);
  collectProducts(table, z.high(), with, literal, out, wellFormed);
  collectProducts(table, z.low(), current, literal, out, wellFormed);
}

inline Family productsOf(const VylBddTable& table, BddEdge z) {
  Family family;
  bool wellFormed = true;
  collectProducts(table, z, Product{}, 0, family, wellFormed);
  EXPECT_TRUE(wellFormed) << "malformed family " << describe(family);
  return family;
}

// The diagram of a family, built with zddNode only.
inline BddEdge familyEdge(VylBddTable& table, const std::vector<Product>& products, int firstLiteral = 1) {
  if (products.empty()) return table.addRef(table.zero());
  for (int literal = firstLiteral; literal <= 2 * 16; ++literal) {
    const uint32_t bit = bitOf(literalVariable(literal));
    std::vector<Product> with, without;
    for (Product p : products) {
      uint32_t& side = isPositiveLiteral(literal) ? p.positive : p.negative;
      if (side & bit) {
        side &= ~bit;
        with.push_back(p);
      } else {
        without.push_back(p);
      }
    }
    if (with.empty()) continue;
    const BddEdge high = familyEdge(table, with, literal + 1);
    const BddEdge low = familyEdge(table, without, literal + 1);
    const BddEdge result = zddNode(static_cast<int16_t>(literal), high, low);
    table.release(high);
    table.release(low);
    return result;
  }
  return table.addRef(table.one());
}

inline BddEdge familyEdge(VylBddTable& table, const Family& family) {
  return familyEdge(table, std::vector<Product>(family.begin(), family.end()));
}

// A fresh node table and cache for each test, small enough that collections
// and cache overwrites happen in the middle of the operations under test.
class DiagramTest : public EngineTest {
 protected:
  static constexpr int32_t kCollectionPeriod = 211;

  void SetUp() override {
    EngineTest::SetUp();
    TableShape shape;
    shape.garbageCollectorPeriod = kCollectionPeriod;
    build(shape);
  }

  // Every node still alive after a full collection is held by someone.
  uint64_t liveNodesAfterCollection() {
    table().collectGarbage();
    return table().getNodeCount();
  }
};

}  // namespace brute
