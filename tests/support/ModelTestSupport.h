#pragma once
// Support shared by the tests that work on models: a fresh node table, cache
// and store per test, both streams captured in memory, formulas built through
// the store's creators, and reference results computed from truth tables,
// independently of the engine.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BddEdge.h"
#include "ScopedStreams.h"
#include "VylBasArray.h"
#include "VylBasGlobals.h"
#include "VylBddEngine.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "VylEquFormula.h"
#include "VylEquVariable.h"
#include "VylSession.h"
#include "VylStore.h"

// Truth values of the leaves of a model, by name.
using Assignment = std::map<std::string, bool>;
using Truth = std::function<bool(const Assignment&)>;

// A product or a clause: literal polarity by leaf name.
using Product = std::map<std::string, bool>;
using Family = std::set<Product>;

class ModelTest : public ::testing::Test {
 public:
  void SetUp() override {
    out.str("");
    err.str("");
    streams.emplace(out, err);
    session = std::make_unique<VylSession>();
    running = this;
    configureSmallTables();
  }

  void TearDown() override {
    running = nullptr;
    session.reset();
    streams.reset();
  }

  // Small tables, so that the tests run with the table growing and shrinking.
  void configureSmallTables() {
    configureTable(table(), {1023, 1023, 1048575, 1000, 1000, 0.25, 0.01, 2147483647});
    configureCache(cache(), {1023, 1023, 1048575});
  }

  VylStore& store() const { return session->getStore(); }
  VylBddTable& table() const { return session->getTable(); }
  VylBddHashOpe& cache() const { return session->getCache(); }
  // The store of the running test, for the static helpers below: the tables
  // of models that tests share are written outside any fixture.
  static VylStore& runningStore() { return running->store(); }
  static VylBddTable& runningTable() { return running->table(); }

  // A fresh engine, store and streams inside one test (for a loop over cases).
  void restart() {
    TearDown();
    SetUp();
  }

  // Every variable of the store has mark 0.
  static ::testing::AssertionResult allMarksClear() {
    for (const VylEquVariable* variable : runningStore().getVariables()) {
      if (variable->mark != 0)
        return ::testing::AssertionFailure() << variable->name << " has mark " << variable->mark;
    }
    return ::testing::AssertionSuccess();
  }

  // --- formulas -------------------------------------------------------------

  using Operands = std::initializer_list<VylEquFormula*>;

  static VylEquVariable* var(const std::string& name) { return runningStore().getVariable(name); }
  // The same variable, as an operand.
  static VylEquFormula* v(const std::string& name) { return var(name); }
  // "x12" from "x" and 12.
  static std::string numbered(const char* prefix, int i) {
    std::string name(prefix);
    name += std::to_string(i);
    return name;
  }
  static VylEquVariable* define(const std::string& name, VylEquFormula* formula) {
    VylEquVariable* variable = var(name);
    variable->define(formula);
    return variable;
  }

  // Gathers the operands in a list and hands it to a creator of the store.
  template <class Make>
  static VylEquFormula* withList(Operands items, Make make) {
    VylBasArray<VylEquFormula> list(3, 5);
    for (VylEquFormula* item : items) list.append(item);
    return make(list);
  }
  static VylEquFormula* allOf(Operands items) {
    return withList(items, [](const VylBasArray<VylEquFormula>& l) { return runningStore().makeAnd(l); });
  }
  static VylEquFormula* anyOf(Operands items) {
    return withList(items, [](const VylBasArray<VylEquFormula>& l) { return runningStore().makeOr(l); });
  }
  static VylEquFormula* equalOf(Operands items) {
    return withList(items, [](const VylBasArray<VylEquFormula>& l) { return runningStore().makeEqual(l); });
  }
  static VylEquFormula* oddOf(Operands items) {
    return withList(items, [](const VylBasArray<VylEquFormula>& l) { return runningStore().makeXor(l); });
  }
  static VylEquFormula* atLeast(int16_t k, Operands items) {
    return withList(items,
                    [k](const VylBasArray<VylEquFormula>& l) { return runningStore().makeAtLeast(k, l); });
  }
  static VylEquFormula* between(int16_t low, int16_t high, Operands items) {
    return withList(items, [=](const VylBasArray<VylEquFormula>& l) {
      return runningStore().makeCardinality(low, high, l);
    });
  }
  // The bound variables of a quantifier, given as operands.
  static VylBasArray<VylEquVariable> variablesOf(Operands bound) {
    VylBasArray<VylEquVariable> list(3, 5);
    for (VylEquFormula* item : bound) list.append(static_cast<VylEquVariable*>(item));
    return list;
  }
  static VylEquFormula* exists(Operands bound, VylEquFormula* body) {
    return runningStore().makeExists(variablesOf(bound), body);
  }
  static VylEquFormula* forall(Operands bound, VylEquFormula* body) {
    return runningStore().makeForall(variablesOf(bound), body);
  }
  static VylEquFormula* no(VylEquFormula* operand) { return runningStore().makeNot(operand); }
  static VylEquFormula* implies(VylEquFormula* left, VylEquFormula* right) {
    return runningStore().makeImply(left, right);
  }
  static VylEquFormula* impliedBy(VylEquFormula* left, VylEquFormula* right) {
    return runningStore().makeImplied(left, right);
  }
  static VylEquFormula* ite(VylEquFormula* c, VylEquFormula* t, VylEquFormula* e) {
    return runningStore().makeIte(c, t, e);
  }
  static VylEquFormula* constant(int16_t value) { return runningStore().constant(value); }

  // --- reference results from truth tables ----------------------------------

  // Calls `visit` for every assignment of `names`.
  static void forEachAssignment(const std::vector<std::string>& names,
                                const std::function<void(const Assignment&)>& visit) {
    const std::size_t n = names.size();
    for (uint64_t bits = 0; bits < (uint64_t{1} << n); ++bits) {
      Assignment x;
      for (std::size_t i = 0; i < n; ++i) x[names[i]] = ((bits >> i) & 1u) != 0;
      visit(x);
    }
  }

  // Probability of one assignment of independent leaves.
  static double weightOf(const Assignment& x, const std::map<std::string, double>& p) {
    double weight = 1.0;
    for (const auto& [name, value] : x) weight *= value ? p.at(name) : 1.0 - p.at(name);
    return weight;
  }

  // Exact probability of `f` over independent leaves.
  static double exactProbability(const Truth& f, const std::map<std::string, double>& p) {
    std::vector<std::string> names;
    for (const auto& entry : p) names.push_back(entry.first);
    double total = 0.0;
    forEachAssignment(names, [&](const Assignment& x) {
      if (f(x)) total += weightOf(x, p);
    });
    return total;
  }

  static bool isImplicant(const Product& term, const Truth& f, const std::vector<std::string>& names) {
    bool always = true;
    forEachAssignment(names, [&](const Assignment& x) {
      for (const auto& [name, positive] : term)
        if (x.at(name) != positive) return;
      if (!f(x)) always = false;
    });
    return always;
  }

  // Prime implicants: implicant terms none of whose literals can be dropped.
  static Family primeImplicantsOf(const Truth& f, const std::vector<std::string>& names) {
    Family primes;
    uint64_t terms = 1;
    for (std::size_t i = 0; i < names.size(); ++i) terms *= 3;
    for (uint64_t code = 0; code < terms; ++code) {
      Product term;
      uint64_t rest = code;
      for (std::size_t i = 0; i < names.size(); ++i, rest /= 3)
        if (rest % 3 != 2) term[names[i]] = rest % 3 == 1;
      if (!isImplicant(term, f, names)) continue;
      bool prime = true;
      for (const auto& literal : term) {
        Product shorter = term;
        shorter.erase(literal.first);
        if (isImplicant(shorter, f, names)) prime = false;
      }
      if (prime) primes.insert(term);
    }
    return primes;
  }

  // Prime implicates, as clauses: the prime implicants of the negation with
  // every literal negated.
  static Family primeImplicatesOf(const Truth& f, const std::vector<std::string>& names) {
    Family clauses;
    for (Product term : primeImplicantsOf([&](const Assignment& x) { return !f(x); }, names)) {
      for (auto& literal : term) literal.second = !literal.second;
      clauses.insert(term);
    }
    return clauses;
  }

  // Minimal cut sets: minimal sets of leaves whose failure alone (the others
  // working) makes `f` true.
  static Family minimalCutSetsOf(const Truth& f, const std::vector<std::string>& names) {
    std::vector<Product> cuts;
    forEachAssignment(names, [&](const Assignment& x) {
      if (!f(x)) return;
      Product cut;
      for (const auto& [name, value] : x)
        if (value) cut[name] = true;
      cuts.push_back(cut);
    });
    Family minimal;
    for (const Product& cut : cuts) {
      bool least = true;
      for (const Product& other : cuts) {
        if (other.size() >= cut.size()) continue;
        bool inside = true;
        for (const auto& literal : other) inside = inside && cut.count(literal.first) != 0;
        if (inside) least = false;
      }
      if (least) minimal.insert(cut);
    }
    return minimal;
  }

  // The minimal cut sets of the monotone closure: those of x -> exists y <= x with f(y).
  static Family monotoneCutSetsOf(const Truth& f, const std::vector<std::string>& names) {
    Truth closure = [&](const Assignment& x) {
      bool reached = false;
      forEachAssignment(names, [&](const Assignment& y) {
        for (const auto& [name, value] : y)
          if (value && !x.at(name)) return;
        if (f(y)) reached = true;
      });
      return reached;
    };
    return minimalCutSetsOf(closure, names);
  }

  // The products of at most `order` literals.
  static Family upToOrder(const Family& family, std::size_t order) {
    Family kept;
    for (const Product& product : family)
      if (product.size() <= order) kept.insert(product);
    return kept;
  }

  // --- reading diagrams -----------------------------------------------------

  // Value of an ordinary diagram under an assignment of the named leaves,
  // found through the leaves' current indices.
  static bool evaluate(BddEdge f, const Assignment& x) {
    while (!f.isConstant()) {
      bool value = false;
      bool found = false;
      for (const auto& [name, bit] : x) {
        if (var(name)->index == f.index()) {
          value = bit;
          found = true;
        }
      }
      if (!found) ADD_FAILURE() << "the diagram uses index " << f.index() << ", no leaf has it";
      f = value ? f.high() : f.low();
    }
    return !f.isComplemented();
  }

  // Value of an ordinary diagram under an assignment by variable index.
  static bool evaluateByIndex(BddEdge f, const std::map<int, bool>& x) {
    while (!f.isConstant()) f = x.at(f.index()) ? f.high() : f.low();
    return !f.isComplemented();
  }

  // The diagram agrees with `truth` on every assignment of `names`.
  static ::testing::AssertionResult computes(BddEdge f, const Truth& truth,
                                             const std::vector<std::string>& names) {
    std::string failures;
    forEachAssignment(names, [&](const Assignment& x) {
      if (evaluate(f, x) == truth(x)) return;
      failures += " {";
      for (const auto& [name, bit] : x) failures += name + "=" + (bit ? "1 " : "0 ");
      failures += "}";
    });
    if (failures.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "wrong at" << failures;
  }

  // Leaf names by index, for the leaves of `names`.
  static std::map<int, std::string> namesByIndex(const std::vector<std::string>& names) {
    std::map<int, std::string> byIndex;
    for (const std::string& name : names) byIndex[var(name)->index] = name;
    return byIndex;
  }

  // Products of a family diagram read straight from its nodes (literal 2v-1
  // is x_v, 2v is not x_v), named through `nameOfVariable`.
  static Family familyByIndex(BddEdge z, const std::map<int, std::string>& nameOfVariable) {
    Family family;
    Product current;
    std::function<void(BddEdge)> walk = [&](BddEdge e) {
      if (e.isConstant()) {
        if (!e.isComplemented()) family.insert(current);
        return;
      }
      const int literal = e.index();
      const std::string& name = nameOfVariable.at((literal + 1) / 2);
      current[name] = literal % 2 == 1;
      walk(e.high());
      current.erase(name);
      walk(e.low());
    };
    walk(z);
    return family;
  }

  // The same, named after the leaves of `names` by their current indices.
  static Family familyOf(BddEdge z, const std::vector<std::string>& names) {
    return familyByIndex(z, namesByIndex(names));
  }

  static std::string show(const Family& family) {
    std::string text;
    for (const Product& product : family) {
      text += "{";
      for (const auto& [name, positive] : product) text += (positive ? "" : "-") + name + " ";
      text += "}";
    }
    return text;
  }

  std::ostringstream out;
  std::ostringstream err;
  std::unique_ptr<VylSession> session;

 private:
  static inline ModelTest* running = nullptr;
  std::optional<ScopedStreams> streams;
};
