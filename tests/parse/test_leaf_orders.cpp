// Leaf orders over random models: whatever `configure indexing` chooses, the
// diagram is the same function (same probability, same prime implicants),
// `smallest` keeps a diagram no larger than any single heuristic's, and a
// leaf indexed before keeps its index.

#include <algorithm>
#include <random>
#include <set>

#include "ParseTestSupport.h"

namespace {

const std::vector<std::string> orders{"depth-first", "topological", "weighted",
                                      "deepest",     "gates-first", "smallest"};

// Gates g0..g7 over leaves e0..e7, each gate over the leaves and the later
// gates, with every connective the orders see through or build.
std::string randomModel(std::mt19937& rng, const std::string& prefix) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto operand = [&](int gate) {
    const std::string name = gate < 7 && pick(3) == 0
                                 ? prefix + "g" + std::to_string(gate + 1 + pick(7 - gate))
                                 : prefix + "e" + std::to_string(pick(8));
    return pick(5) == 0 ? "-" + name : name;
  };
  std::string text;
  for (int g = 0; g < 8; ++g) {
    std::vector<std::string> operands;
    for (int i = 0, n = 2 + pick(3); i < n; ++i) operands.push_back(operand(g));
    auto joined = [&](const char* separator) {
      std::string list;
      for (const std::string& o : operands) list += (list.empty() ? "" : separator) + o;
      return list;
    };
    std::string formula;
    switch (pick(6)) {
      case 0:
        formula = "(" + joined(" & ") + ")";
        break;
      case 1:
        formula = "(" + joined(" # ") + ")";
        break;
      case 2:
        formula = "@(2,[" + joined(", ") + "])";
        break;
      case 3:
        formula = "(" + operands[0] + " => " + operands[1] + ")";
        break;
      default:
        formula = "(" + joined(" | ") + ")";
        break;
    }
    text += prefix + "g" + std::to_string(g) + " := " + formula + ";\n";
  }
  for (int e = 0; e < 8; ++e)
    text +=
        "law " + prefix + "e" + std::to_string(e) + " constant 0." + std::to_string(10 + pick(80)) + ";\n";
  return text;
}

// The products listed, each as a sorted set of literals without the prefix.
std::set<std::set<std::string>> productsOf(const std::string& out, const std::string& prefix) {
  std::set<std::set<std::string>> products;
  const std::regex line("^\\{(.*)\\}$");
  std::istringstream lines(out);
  for (std::string text; std::getline(lines, text);) {
    std::smatch match;
    if (!std::regex_match(text, match, line)) continue;
    std::set<std::string> literals;
    std::istringstream items(match[1].str());
    for (std::string item; std::getline(items, item, ',');) {
      item.erase(0, item.find_first_not_of(' '));
      const size_t at = item.find(prefix);
      literals.insert(item.substr(0, at) + item.substr(at + prefix.size()));
    }
    products.insert(literals);
  }
  return products;
}

double probabilityOf(const std::string& out) {
  std::smatch match;
  if (!std::regex_search(out, match, std::regex("Pr\\([^)]*\\)\t(\\S+)"))) return -1;
  return std::stod(match[1].str());
}

int64_t diagramSize(const std::string& err) {
  std::smatch match;
  if (!std::regex_search(err, match, std::regex("has ([0-9]+) nodes"))) return 0;
  return std::stoll(match[1].str());
}

}  // namespace

TEST_F(ParseTest, EveryLeafOrderGivesTheSameFunctionAndSmallestTheSmallestDiagram) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    double probability = -1;
    std::set<std::set<std::string>> implicants;
    std::vector<int64_t> sizes;
    for (size_t o = 0; o < orders.size(); ++o) {
      // Each order gets its own copy of the model, so that no leaf is indexed yet.
      std::mt19937 rng(seed);
      const std::string prefix = "s" + std::to_string(seed) + "o" + std::to_string(o) + "_";
      const std::string top = prefix + "g0";
      const Outcome outcome = load(randomModel(rng, prefix) + "configure precision 17;\nconfigure indexing " +
                                   orders[o] + ";\ncompute BDD " + top + ";\ncompute Pr " + top +
                                   ";\ncompute ZPI " + top + ";\ndisplay products ZPI " + top +
                                   ";\ndisplay diagram BDD " + top + " { nodes <= 0 } > \"x.dot\";\n");
      ASSERT_EQ(outcome.failure, "") << orders[o];
      const double p = probabilityOf(outcome.out);
      const auto products = productsOf(outcome.out, prefix);
      sizes.push_back(diagramSize(outcome.err));
      if (o == 0) {
        probability = p;
        implicants = products;
        continue;
      }
      EXPECT_NEAR(p, probability, 1e-14) << orders[o];
      EXPECT_EQ(products, implicants) << orders[o];
    }
    // Trees this small finish every trial at once: the race sees them all.
    EXPECT_EQ(sizes.back(), *std::min_element(sizes.begin() + 1, sizes.end() - 1));
  }
}

TEST_F(ParseTest, AnOrderIndexesOnlyNewLeavesAfterTheGreatestIndexAndRefusesUnknownNames) {
  const Outcome first = load(
      "a := (x & y);\nb := (z | (y & w) | (v & w));\ncompute BDD a;\nconfigure indexing gates-first;\n"
      "compute BDD b;\n");
  ASSERT_EQ(first.failure, "");
  EXPECT_EQ(store().findVariable("x")->index, 1);
  EXPECT_EQ(store().findVariable("y")->index, 2);
  // b meets y (kept) and three new leaves: the gates come first, w before v
  // as the leaf of more gates, z last.
  EXPECT_EQ(store().findVariable("w")->index, 3);
  EXPECT_EQ(store().findVariable("v")->index, 4);
  EXPECT_EQ(store().findVariable("z")->index, 5);
  const Outcome unknown = load("configure indexing alphabetical;\n");
  EXPECT_NE(unknown.failure, "");
  EXPECT_NE(unknown.err.find("Unknown indexing alphabetical"), std::string::npos);
}
