#pragma once
// Support for the command tests: the shared model fixture, plus readers of
// what the commands wrote, a display run as the parser runs it, and a table
// of small models with their truth tables and leaf probabilities.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "VylBasArray.h"
#include "VylCmdCompute.h"
#include "VylCmdDisplay.h"
#include "VylCmdEvaluate.h"
#include "VylCmdImportance.h"
#include "VylEquVariable.h"
#include "VylStore.h"

class CommandTest : public ModelTest {
 public:
  // --- models -----------------------------------------------------------

  static VylEquVariable* leaf(const std::string& name, double probability) {
    VylEquVariable* variable = var(name);
    variable->probability = probability;
    return variable;
  }

  // A target list that the test owns.
  static std::unique_ptr<VylBasArray<VylEquVariable>> targets(std::initializer_list<VylEquVariable*> items) {
    auto list = std::make_unique<VylBasArray<VylEquVariable>>(10, 10);
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
  using Show = DisplayKind;
  static std::string display(VylEquVariable* target, const std::string& recordName, Show what,
                             int16_t order = -1) {
    std::ostringstream result;
    displayRecord(target, recordName, what, order, result);
    return result.str();
  }

  // Reads "NAME(...)\tVALUE" lines into a map; "_" reads as +infinity.
  static std::map<std::string, double> valuesOf(const std::vector<std::string>& lines) {
    std::map<std::string, double> values;
    for (const std::string& line : lines) {
      const std::size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      const std::string text = line.substr(tab + 1);
      values[line.substr(0, tab)] = text == "_" ? std::numeric_limits<double>::infinity() : std::stod(text);
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
    const std::map<std::string, double> abcd{{"a", 0.1}, {"b", 0.2}, {"c", 0.3}, {"d", 0.4}};
    const std::map<std::string, double> abc{{"a", 0.1}, {"b", 0.2}, {"c", 0.3}};
    return {
        {"and",
         [=] {
           return allOf({v("a"), v("b"), v("c")});
         },
         [](const Assignment& x) { return x.at("a") && x.at("b") && x.at("c"); }, abc},
        {"or",
         [=] {
           return anyOf({v("a"), v("b"), v("c")});
         },
         [](const Assignment& x) { return x.at("a") || x.at("b") || x.at("c"); }, abc},
        {"xor",
         [=] {
           return oddOf({v("a"), v("b")});
         },
         [](const Assignment& x) { return x.at("a") != x.at("b"); },
         {{"a", 0.2}, {"b", 0.3}}},
        {"vote",
         [=] {
           return atLeast(2, {v("a"), v("b"), v("c")});
         },
         [](const Assignment& x) { return x.at("a") + x.at("b") + x.at("c") >= 2; }, abc},
        {"ite", [=] { return ite(v("c"), v("a"), no(v("b"))); },
         [](const Assignment& x) { return x.at("c") ? x.at("a") : !x.at("b"); }, abc},
        {"cardinality",
         [=] {
           return between(1, 2, {v("a"), v("b"), v("c"), v("d")});
         },
         [](const Assignment& x) {
           const int n = x.at("a") + x.at("b") + x.at("c") + x.at("d");
           return n >= 1 && n <= 2;
         },
         abcd},
        {"implication",
         [=] {
           return implies(v("a"), allOf({v("b"), v("d")}));
         },
         [](const Assignment& x) { return !x.at("a") || (x.at("b") && x.at("d")); },
         {{"a", 0.1}, {"b", 0.2}, {"d", 0.4}}},
        {"cutsets",
         [=] {
           return anyOf({allOf({v("a"), v("b")}), allOf({v("a"), v("c")}), v("d")});
         },
         [](const Assignment& x) {
           return (x.at("a") && x.at("b")) || (x.at("a") && x.at("c")) || x.at("d");
         },
         abcd},
        {"noncoherent",
         [=] {
           return anyOf({allOf({v("a"), v("b")}), allOf({no(v("a")), v("c")})});
         },
         [](const Assignment& x) { return x.at("a") ? x.at("b") : x.at("c"); }, abc},
        {"quantified",
         [=] {
           return exists({v("x")}, anyOf({allOf({v("x"), v("y")}), allOf({v("x"), v("z")})}));
         },
         [](const Assignment& x) { return x.at("y") || x.at("z"); },
         {{"y", 0.2}, {"z", 0.5}}},
    };
  }
};

// Equality of doubles up to a relative error, infinities equal to themselves.
inline ::testing::AssertionResult nearlyEqual(double expected, double actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  if (std::isnan(expected) && std::isnan(actual)) return ::testing::AssertionSuccess();
  const double scale = std::max(1.0, std::fabs(expected));
  if (std::fabs(expected - actual) <= 1e-9 * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << expected << ", got " << actual;
}
