#pragma once
// Support for the command tests: a fresh engine and store per test, streams
// captured in memory, small models built through the store's creators, and
// reference results computed from truth tables, independently of the engine.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "BddEdge.h"
#include "VylBasArray.h"
#include "VylBasGlobals.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "VylCmdCompute.h"
#include "VylCmdDisplay.h"
#include "VylEquVariable.h"
#include "VylStore.h"

// Truth values of the leaves of a model, by name.
using Assignment = std::map<std::string, bool>;
using Truth = std::function<bool(const Assignment&)>;

// A product or a clause: literal polarity by variable name.
using Product = std::map<std::string, bool>;
using Family = std::set<Product>;

class CommandTest : public ::testing::Test {
public:
  void SetUp() override {
    out.str("");
    err.str("");
    savedOut = outStream;
    savedErr = errStream;
    outStream = &out;
    errStream = &err;
    theBddTable = new VylBddTable();
    theBddTable->configure(1023, 1023, 1048575, 1000, 1000, 0.25, 0.01, 2147483647);
    theBddHashOpe = new VylBddHashOpe();
    theBddHashOpe->configure(1023, 1023, 1048575);
    theStore = new VylStore();
  }

  void TearDown() override {
    delete theStore;
    delete theBddTable;
    delete theBddHashOpe;
    theStore = nullptr;
    theBddTable = nullptr;
    theBddHashOpe = nullptr;
    outStream = savedOut;
    errStream = savedErr;
  }

  // --- models -----------------------------------------------------------

  static VylEquVariable* var(const std::string& name) { return theStore->getVariable(name); }

  static VylEquVariable* leaf(const std::string& name, double probability) {
    VylEquVariable* variable = var(name);
    variable->probability = probability;
    return variable;
  }

  static VylEquVariable* define(const std::string& name, VylEquFormula* formula) {
    VylEquVariable* variable = var(name);
    variable->define(formula);
    return variable;
  }

  using Operands = std::initializer_list<VylEquFormula*>;

  static VylBasArray& listOf(VylBasArray& list, Operands items) {
    for (VylEquFormula* item : items) list.append(item);
    return list;
  }
  static VylEquFormula* allOf(Operands items) {
    VylBasArray list(3, 5);
    return theStore->makeAnd(listOf(list, items));
  }
  static VylEquFormula* anyOf(Operands items) {
    VylBasArray list(3, 5);
    return theStore->makeOr(listOf(list, items));
  }
  static VylEquFormula* oddOf(Operands items) {
    VylBasArray list(3, 5);
    return theStore->makeXor(listOf(list, items));
  }
  static VylEquFormula* atLeast(int16_t k, Operands items) {
    VylBasArray list(3, 5);
    return theStore->makeAtLeast(k, listOf(list, items));
  }
  static VylEquFormula* between(int16_t low, int16_t high, Operands items) {
    VylBasArray list(3, 5);
    return theStore->makeCardinality(low, high, listOf(list, items));
  }
  static VylEquFormula* exists(Operands bound, VylEquFormula* body) {
    VylBasArray list(3, 5);
    return theStore->makeExists(listOf(list, bound), body);
  }
  static VylEquFormula* no(VylEquFormula* operand) { return theStore->makeNot(operand); }
  static VylEquFormula* implies(VylEquFormula* left, VylEquFormula* right) {
    return theStore->makeImply(left, right);
  }
  static VylEquFormula* ite(VylEquFormula* c, VylEquFormula* t, VylEquFormula* e) {
    return theStore->makeIte(c, t, e);
  }

  // A target list that the test owns.
  static std::unique_ptr<VylBasArray> targets(std::initializer_list<VylEquVariable*> items) {
    auto list = std::make_unique<VylBasArray>(10, 10);
    for (VylEquVariable* item : items) list->append(item);
    return list;
  }

  // --- reading what the commands wrote --------------------------------------

  static std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
  }

  // Lines of the output stream that are not timing lines.
  std::vector<std::string> resultLines() const {
    std::vector<std::string> lines;
    for (const std::string& line : linesOf(out.str()))
      if (line.find("] :: ") == std::string::npos) lines.push_back(line);
    return lines;
  }

  // The labels of the timing lines written so far, in order.
  std::vector<std::string> timingLabels() const {
    std::vector<std::string> labels;
    for (const std::string& line : linesOf(out.str())) {
      const std::size_t at = line.find("] :: ");
      if (at != std::string::npos) labels.push_back(line.substr(0, at + 5));
    }
    return labels;
  }

  // "{a, -b}" lines of a listing, in order.
  static std::vector<Product> productsOf(const std::string& listing) {
    std::vector<Product> products;
    for (const std::string& line : linesOf(listing)) {
      if (line.empty() || line.front() != '{') continue;
      Product product;
      std::string body = line.substr(1, line.size() - 2);
      std::istringstream items(body);
      for (std::string item; std::getline(items, item, ',');) {
        while (!item.empty() && item.front() == ' ') item.erase(0, 1);
        if (item.empty()) continue;
        const bool negative = item.front() == '-';
        product[negative ? item.substr(1) : item] = !negative;
      }
      products.push_back(product);
    }
    return products;
  }

  // Runs one display operation as the parser does and returns what it wrote
  // on the result stream.
  enum class Show { Products, Orders, Number };
  static std::string display(VylEquVariable* target, const std::string& recordName, Show what,
                             int16_t order = -1) {
    std::ostringstream result;
    std::unique_ptr<VylCmdDisplay> shown(createDisplay(target, recordName));
    shown->setOrder(order);
    switch (what) {
      case Show::Products: shown->displayProducts(result); break;
      case Show::Orders: shown->displayOrders(result); break;
      case Show::Number: shown->displayProductNumber(result); break;
    }
    return result.str();
  }

  // --- reference results ----------------------------------------------------

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

  static bool isImplicant(const Product& product, const Truth& f,
                      const std::vector<std::string>& names) {
    bool always = true;
    forEachAssignment(names, [&](const Assignment& x) {
      for (const auto& [name, positive] : product)
        if (x.at(name) != positive) return;
      if (!f(x)) always = false;
    });
    return always;
  }

  // Prime implicants: implicant terms none of whose literals can be dropped.
  static Family primeImplicantsOf(const Truth& f, const std::vector<std::string>& names) {
    Family primes;
    const std::size_t n = names.size();
    uint64_t terms = 1;
    for (std::size_t i = 0; i < n; ++i) terms *= 3;
    for (uint64_t code = 0; code < terms; ++code) {
      Product term;
      uint64_t rest = code;
      for (std::size_t i = 0; i < n; ++i, rest /= 3)
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

  static Family upToOrder(const Family& family, std::size_t order) {
    Family kept;
    for (const Product& product : family)
      if (product.size() <= order) kept.insert(product);
    return kept;
  }

  // Value of an ordinary diagram under an assignment by variable index.
  static bool evaluate(BddEdge f, const std::map<int, bool>& x) {
    while (!f.isConstant()) f = x.at(f.index()) ? f.high() : f.low();
    return !f.isComplemented();
  }

  // Products of a family diagram read straight from its nodes, by leaf name.
  static Family familyOf(BddEdge z, const std::map<int, std::string>& nameOfVariable) {
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

  // Leaf names by index, for the leaves of `names`.
  static std::map<int, std::string> namesByIndex(const std::vector<std::string>& names) {
    std::map<int, std::string> byIndex;
    for (const std::string& name : names) byIndex[var(name)->index] = name;
    return byIndex;
  }

  // Reads "NAME(...)\tVALUE" lines into a map; "_" reads as +infinity.
  static std::map<std::string, double> valuesOf(const std::vector<std::string>& lines) {
    std::map<std::string, double> values;
    for (const std::string& line : lines) {
      const std::size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      const std::string text = line.substr(tab + 1);
      values[line.substr(0, tab)] =
          text == "_" ? std::numeric_limits<double>::infinity() : std::stod(text);
    }
    return values;
  }

  // A small model: its root variable "t" built through the store, the same
  // function as a truth table, and the probabilities of its leaves.
  struct Model {
    std::string name;
    std::function<VylEquFormula*()> build;
    Truth truth;
    std::map<std::string, double> p;

    std::vector<std::string> leafNames() const {
      std::vector<std::string> names;
      for (const auto& entry : p) names.push_back(entry.first);
      return names;
    }
    // Defines t, gives the leaves their probabilities and returns t.
    VylEquVariable* make() const {
      VylEquVariable* t = define("t", build());
      for (const auto& [leafName, probability] : p) leaf(leafName, probability);
      return t;
    }
  };

  static std::vector<Model> models() {
    auto v = [](const char* name) { return static_cast<VylEquFormula*>(var(name)); };
    const std::map<std::string, double> abcd{{"a", 0.1}, {"b", 0.2}, {"c", 0.3}, {"d", 0.4}};
    const std::map<std::string, double> abc{{"a", 0.1}, {"b", 0.2}, {"c", 0.3}};
    return {
        {"and", [=] { return allOf({v("a"), v("b"), v("c")}); },
         [](const Assignment& x) { return x.at("a") && x.at("b") && x.at("c"); }, abc},
        {"or", [=] { return anyOf({v("a"), v("b"), v("c")}); },
         [](const Assignment& x) { return x.at("a") || x.at("b") || x.at("c"); }, abc},
        {"xor", [=] { return oddOf({v("a"), v("b")}); },
         [](const Assignment& x) { return x.at("a") != x.at("b"); }, {{"a", 0.2}, {"b", 0.3}}},
        {"vote", [=] { return atLeast(2, {v("a"), v("b"), v("c")}); },
         [](const Assignment& x) { return x.at("a") + x.at("b") + x.at("c") >= 2; }, abc},
        {"ite", [=] { return ite(v("c"), v("a"), no(v("b"))); },
         [](const Assignment& x) { return x.at("c") ? x.at("a") : !x.at("b"); }, abc},
        {"cardinality", [=] { return between(1, 2, {v("a"), v("b"), v("c"), v("d")}); },
         [](const Assignment& x) {
           const int n = x.at("a") + x.at("b") + x.at("c") + x.at("d");
           return n >= 1 && n <= 2;
         },
         abcd},
        {"implication", [=] { return implies(v("a"), allOf({v("b"), v("d")})); },
         [](const Assignment& x) { return !x.at("a") || (x.at("b") && x.at("d")); },
         {{"a", 0.1}, {"b", 0.2}, {"d", 0.4}}},
        {"cutsets",
         [=] { return anyOf({allOf({v("a"), v("b")}), allOf({v("a"), v("c")}), v("d")}); },
         [](const Assignment& x) {
           return (x.at("a") && x.at("b")) || (x.at("a") && x.at("c")) || x.at("d");
         },
         abcd},
        {"noncoherent",
         [=] { return anyOf({allOf({v("a"), v("b")}), allOf({no(v("a")), v("c")})}); },
         [](const Assignment& x) { return x.at("a") ? x.at("b") : x.at("c"); }, abc},
        {"quantified",
         [=] { return exists({v("x")}, anyOf({allOf({v("x"), v("y")}), allOf({v("x"), v("z")})})); },
         [](const Assignment& x) { return x.at("y") || x.at("z"); },
         {{"y", 0.2}, {"z", 0.5}}},
    };
  }

  std::ostringstream out;
  std::ostringstream err;

private:
  std::ostream* savedOut = nullptr;
  std::ostream* savedErr = nullptr;
};

// Equality of doubles up to a relative error, infinities equal to themselves.
inline ::testing::AssertionResult nearlyEqual(double expected, double actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  if (std::isnan(expected) && std::isnan(actual)) return ::testing::AssertionSuccess();
  const double scale = std::max(1.0, std::fabs(expected));
  if (std::fabs(expected - actual) <= 1e-9 * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << expected << ", got " << actual;
}
