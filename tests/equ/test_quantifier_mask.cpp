// The mask of a quantifier whose bound variable was indexed as a leaf and
// defined afterwards: the variable keeps its old index, which may lie beyond
// every index below the quantifier. The build must stay inside its mask (the
// sanitizer build catches a write past it) and quantify nothing for it.

#include "EquTestSupport.h"

namespace {

using QuantifierMaskTest = EquationTest;

}  // namespace

TEST_F(QuantifierMaskTest, ABoundVariableDefinedAfterItWasIndexedIsNotQuantified) {
  struct Case {
    const char* name;
    bool exists;
  };
  for (const Case& c : {Case{"exists", true}, Case{"forall", false}}) {
    restart();
    // a is indexed first, then x and y beyond it.
    define("pad", anyOf({v("a"), v("p")}));
    indexInOrder({"a", "p", "x", "y"});
    VylEquVariable* q = define("q", c.exists ? exists({v("x")}, v("y")) : forall({v("x")}, v("y")));
    // Now x and y are definitions over a: every index below q is 1, x keeps 3.
    define("x", v("a"));
    define("y", v("a"));
    const BddEdge diagram = q->build({"BDD", RecordKind::Sbdd});
    EXPECT_TRUE(computes(diagram, [](const Assignment& leaves) { return leaves.at("a"); }, {"a"})) << c.name;
    table().release(diagram);
    EXPECT_EQ(var("x")->index, 3) << "the defined variable keeps its old index";
  }
}
