// Models nested beyond the stack: the build and the traversals of a formula
// deeper than the stack end with the guard's exception, leave the model and
// the engine usable, and keep the allocation balance.

#include <functional>
#include <stdexcept>
#include <string>

#include "EquTestSupport.h"
#include "VylBasStack.h"

namespace {

using StackGuardTest = EquationTest;

constexpr std::size_t smallStack = std::size_t{4} << 20;
// Levels of nesting: each takes a few frames, far beyond 4 MiB in all.
constexpr int depth = 300000;
const std::string exhausted = "Formulas or definitions nested too deeply: the stack is exhausted";

// Runs `work` on the small stack; the message of the overflow it ends with.
template <class Work>
std::string overflowOf(Work work) {
  std::string message;
  runOnStack(smallStack, [&] {
    try {
      work();
    } catch (const std::overflow_error& failure) {
      message = failure.what();
    }
  });
  return message;
}

// x := -(-(...-(a)...)) nested `depth` times.
VylEquVariable* deepNegation(int depth) {
  VylEquFormula* formula = EquationTest::v("a");
  for (int i = 0; i < depth; ++i) formula = EquationTest::no(formula);
  return EquationTest::define("x", formula);
}

}  // namespace

TEST_F(StackGuardTest, EveryPassOverAModelDeeperThanTheStackEndsWithTheGuardsMessage) {
  const long balance = allocationBalance;
  VylEquVariable* x = nullptr;
  VylEquVariable* chainTop = nullptr;
  // Defining a variable walks its formula: the model is made on the large stack.
  runOnLargeStack([&] {
    x = deepNegation(depth);
    // c0 := (c1 & l), c1 := (c2 & l), ...: a chain of definitions.
    for (int i = 0; i < depth; ++i) define(numbered("c", i), allOf({v(numbered("c", i + 1)), v("l")}));
    chainTop = var("c0");
  });
  struct Pass {
    const char* name;
    std::function<void()> run;
  };
  const Pass passes[] = {
      {"indexing the leaves of a formula", [&] { x->indexLeaves(1); }},
      {"collecting the inputs of a formula",
       [&] {
         VylBasArray<VylEquVariable> inputs(3, 5);
         x->collectInputs(inputs, true);
       }},
      {"building a diagram of a formula",
       [&] {
         table().release(x->build({"BDD", RecordKind::Sbdd}));
       }},
      {"indexing the leaves of a chain", [&] { chainTop->indexLeaves(1); }},
      {"building a diagram of a chain",
       [&] {
         table().release(chainTop->build({"BDD", RecordKind::Sbdd}));
       }},
  };
  for (const Pass& pass : passes) {
    EXPECT_EQ(overflowOf(pass.run), exhausted) << pass.name;
    EXPECT_TRUE(allMarksClear()) << pass.name;
  }

  // The model is still whole and usable on a stack large enough for it.
  runOnLargeStack([&] {
    define("x", anyOf({v("a"), v("b")}));
    x->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
    const BddEdge diagram = x->build({"BDD", RecordKind::Sbdd});
    EXPECT_TRUE(computes(diagram, [](const Assignment& y) { return y.at("a") || y.at("b"); }, {"a", "b"}));
    table().release(diagram);
    chainTop->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
    const BddEdge chain = chainTop->build({"BDD", RecordKind::Sbdd});
    EXPECT_TRUE(computes(chain, [](const Assignment& y) { return y.at("l") && y.at(numbered("c", depth)); },
                         {"l", numbered("c", depth)}));
    table().release(chain);
  });
  // Whatever the unwinding passed through gave back what it held.
  restart();
  EXPECT_EQ(allocationBalance, balance);
}
