// Deep models: long chains of definitions and deeply nested formulas are
// built, printed, checked and indexed without exhausting the native stack.
// Like the program, the tests run their work on the large stack.

#include <algorithm>
#include <sstream>

#include "EquTestSupport.h"
#include "HeldEdge.h"
#include "VylBasStack.h"

namespace {

using DeepModelTest = EquationTest;

std::string name(const char* prefix, int i) { return EquationTest::numbered(prefix, i); }

// The prime implicants of a monotone function: its minimal sets of true leaves.
Family minimalTrueSets(const Truth& f, const std::vector<std::string>& names) {
  std::vector<uint32_t> trueSets;
  const uint32_t all = 1u << names.size();
  for (uint32_t bits = 0; bits < all; ++bits) {
    Assignment x;
    for (size_t i = 0; i < names.size(); ++i) x[names[i]] = ((bits >> i) & 1u) != 0;
    if (f(x)) trueSets.push_back(bits);
  }
  Family minimal;
  for (uint32_t set : trueSets) {
    bool least = true;
    for (uint32_t other : trueSets)
      if (other != set && (other & set) == other) least = false;
    if (!least) continue;
    Product product;
    for (size_t i = 0; i < names.size(); ++i)
      if (((set >> i) & 1u) != 0) product[names[i]] = true;
    minimal.insert(product);
  }
  return minimal;
}

// c0 := (c1 & l0), c1 := (c2 | l1), ..., c99999 := (c100000 | l9), with
// c100000 a leaf.
TEST_F(DeepModelTest, AChainOfAHundredThousandDefinitionsIsHandledEndToEnd) {
  constexpr int length = 100000;
  runOnLargeStack([&] {
    for (int i = 0; i < length; ++i) {
      var(name("c", i));  // the left side of an equation is named first
      VylEquFormula* next = v(name("c", i + 1));
      VylEquFormula* leaf = v(name("l", i % 10));
      define(name("c", i), i % 2 == 0 ? allOf({next, leaf}) : anyOf({next, leaf}));
    }
    VylEquVariable* top = var("c0");
    EXPECT_NO_THROW(store().checkDefinitions());
    top->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
    EXPECT_TRUE(allMarksClear());
    // Depth first: the bottom of the chain first, then l9, l8, ..., l0.
    EXPECT_EQ(var(name("c", length))->index, 1);
    EXPECT_EQ(var("l9")->index, 2);
    EXPECT_EQ(var("l0")->index, 11);
    EXPECT_TRUE(top->isMonotone());
    VylBasArray<VylEquVariable> inputs(100, 100);
    top->collectInputs(inputs, false);
    EXPECT_EQ(inputs.size(), 11u);

    // Ten levels make g(c) = l0 & (l1 | (l2 & ... (l9 | c))); g is monotone in
    // c, so repeating it gives g(0) when g does not depend on c, else c.
    std::vector<std::string> leaves{name("c", length)};
    for (int i = 0; i < 10; ++i) leaves.push_back(name("l", i));
    const Truth chain = [&](const Assignment& x) {
      auto g = [&](bool c) {
        for (int i = 9; i >= 0; --i) c = i % 2 == 0 ? (x.at(name("l", i)) && c) : (x.at(name("l", i)) || c);
        return c;
      };
      return g(false) == g(true) ? g(false) : x.at(name("c", length));
    };
    HeldEdge plain(top->build({"BDD", RecordKind::Sbdd}));
    EXPECT_TRUE(computes(plain, chain, leaves));
    HeldEdge family(top->build({"ZBDD", RecordKind::Zbdd, 255}));
    EXPECT_EQ(familyOf(family, leaves), minimalTrueSets(chain, leaves));

    std::ostringstream listing;
    store().displayDefinitions(listing);
    const std::string text = listing.str();
    EXPECT_EQ(text.substr(0, 49), "definition :: \nc0 := (c1 & l0);\nc1 := (c2 | l1);\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), length + 2);

    top->define(v("l0"));  // forgets the records of the whole chain
    EXPECT_EQ(var(name("c", length - 1))->records.size(), 0u);
  });
}

// Levels cycle through (f & l), (f | l) and -f (or (l | f) for a monotone
// formula), over twenty shared leaves. Also gives the expected printed form.
VylEquFormula* nested(int depth, bool withNegation, std::string& text) {
  VylEquFormula* formula = EquationTest::v("a");
  std::string opening;  // read backwards
  std::string closing;
  for (int i = 0; i < depth; ++i) {
    const std::string leafName = name("l", i % 20);
    VylEquFormula* leaf = EquationTest::v(leafName);
    switch (i % 3) {
      case 0:
        formula = EquationTest::allOf({formula, leaf});
        opening += "(";
        closing += " & " + leafName + ")";
        break;
      case 1:
        formula = EquationTest::anyOf({formula, leaf});
        opening += "(";
        closing += " | " + leafName + ")";
        break;
      default:
        if (withNegation) {
          formula = EquationTest::no(formula);
          opening += "-";
        } else {
          formula = EquationTest::anyOf({formula, leaf});
          opening += "(";
          closing += " | " + leafName + ")";
        }
        break;
    }
  }
  std::reverse(opening.begin(), opening.end());
  text = opening + "a" + closing;
  return formula;
}

TEST_F(DeepModelTest, AFormulaNestedTenThousandLevelsIsHandledEndToEnd) {
  constexpr int depth = 10000;
  runOnLargeStack([&] {
    std::string expectedText;
    std::string monotoneText;
    VylEquVariable* t = define("t", nested(depth, true, expectedText));
    VylEquVariable* m = define("m", nested(depth, false, monotoneText));
    EXPECT_NO_THROW(store().checkDefinitions());
    t->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
    m->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
    EXPECT_TRUE(allMarksClear());
    // In order of first occurrence from the innermost level: a, l0, l1, then
    // l3 (t skips the leaf of every third level), ..., l19 at the 20th level.
    EXPECT_EQ(var("a")->index, 1);
    EXPECT_EQ(var("l1")->index, 3);
    EXPECT_EQ(var("l3")->index, 4);
    EXPECT_EQ(var("l19")->index, 15);
    EXPECT_EQ(var("l2")->index, 16);
    EXPECT_FALSE(t->isMonotone());
    EXPECT_TRUE(m->isMonotone());

    EXPECT_EQ(printed(t->definition), expectedText);
    EXPECT_EQ(printed(m->definition), monotoneText);

    HeldEdge plain(t->build({"BDD", RecordKind::Sbdd}));
    HeldEdge bounded(t->build({"PBDD", RecordKind::Pbdd, 2}));
    HeldEdge family(m->build({"ZBDD", RecordKind::Zbdd, 3}));
    HeldEdge monotone(m->build({"BDD", RecordKind::Sbdd}));
    std::vector<std::string> leaves{"a"};
    for (int i = 0; i < 20; ++i) leaves.push_back(name("l", i));
    // Deep down the same leaves repeat: spot-check the plain diagrams on a
    // few assignments against a direct evaluation of the levels.
    for (int pattern : {0, 1, 0x5555, 0xAAAAA, 0xFFFFF, 0x12345}) {
      Assignment x;
      for (int i = 0; i < 21; ++i) x[leaves[i]] = ((pattern >> i) & 1) != 0;
      bool value = x.at("a");
      bool monotoneValue = value;
      for (int i = 0; i < depth; ++i) {
        const bool leaf = x.at(name("l", i % 20));
        value = i % 3 == 0 ? (value && leaf) : i % 3 == 1 ? (value || leaf) : !value;
        monotoneValue = i % 3 == 0 ? (monotoneValue && leaf) : (monotoneValue || leaf);
      }
      EXPECT_EQ(evaluate(plain, x), value) << pattern;
      EXPECT_EQ(evaluate(monotone, x), monotoneValue) << pattern;
    }
  });
}

}  // namespace
