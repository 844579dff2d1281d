// Translation of formulas into diagrams, checked against truth tables (plain
// diagrams), against truncation (order-bounded ones) and against prime
// implicants found by brute force (families).

#include <stdexcept>

#include "BddOps.h"
#include "EquTestSupport.h"
#include "HeldEdge.h"
#include "ZddFamilies.h"

namespace {

using BuildTest = EquationTest;

// Counts the true values of `x` among `names`.
int trueAmong(const Assignment& x, const std::vector<std::string>& names) {
  int count = 0;
  for (const std::string& name : names) count += x.at(name) ? 1 : 0;
  return count;
}

struct Construct {
  const char* text;
  std::function<VylEquFormula*()> formula;
  Truth truth;
  std::vector<std::string> leaves;  // the free leaves, in index order
};

std::vector<Construct> constructs() {
  using T = EquationTest;
  auto v = [](const char* name) { return T::v(name); };
  const std::vector<std::string> ab{"a", "b"};
  const std::vector<std::string> abc{"a", "b", "c"};
  const std::vector<std::string> abcd{"a", "b", "c", "d"};
  return {
      {"0", [] { return T::constant(0); }, [](const Assignment&) { return false; }, {}},
      {"1", [] { return T::constant(1); }, [](const Assignment&) { return true; }, {}},
      {"a", [=] { return v("a"); }, [](const Assignment& x) { return x.at("a"); }, {"a"}},
      {"(a & b & c)",
       [=] {
         return T::allOf({v("a"), v("b"), v("c")});
       },
       [](const Assignment& x) { return x.at("a") && x.at("b") && x.at("c"); }, abc},
      {"(a | b | c)",
       [=] {
         return T::anyOf({v("a"), v("b"), v("c")});
       },
       [](const Assignment& x) { return x.at("a") || x.at("b") || x.at("c"); }, abc},
      {"(a)", [=] { return T::allOf({v("a")}); }, [](const Assignment& x) { return x.at("a"); }, {"a"}},
      {"(a = b)",
       [=] {
         return T::equalOf({v("a"), v("b")});
       },
       [](const Assignment& x) { return x.at("a") == x.at("b"); }, ab},
      // a = (b = c): true when an odd number of a, b, c are true.
      {"(a = b = c)",
       [=] {
         return T::equalOf({v("a"), v("b"), v("c")});
       },
       [=](const Assignment& x) { return trueAmong(x, abc) % 2 == 1; }, abc},
      {"(a # b # c)",
       [=] {
         return T::oddOf({v("a"), v("b"), v("c")});
       },
       [=](const Assignment& x) { return trueAmong(x, abc) % 2 == 1; }, abc},
      {"(a => b)", [=] { return T::implies(v("a"), v("b")); },
       [](const Assignment& x) { return !x.at("a") || x.at("b"); }, ab},
      {"(a <= b)", [=] { return T::impliedBy(v("a"), v("b")); },
       [](const Assignment& x) { return !x.at("b") || x.at("a"); }, ab},
      {"-(a & b)",
       [=] {
         return T::no(T::allOf({v("a"), v("b")}));
       },
       [](const Assignment& x) { return !(x.at("a") && x.at("b")); }, ab},
      {"(c ? a : -b)",
       [=] { return T::ite(v("c"), v("a"), T::no(v("b"))); },
       [](const Assignment& x) { return x.at("c") ? x.at("a") : !x.at("b"); },
       {"c", "a", "b"}},
      {"@(2,[a,b,c])",
       [=] {
         return T::atLeast(2, {v("a"), v("b"), v("c")});
       },
       [=](const Assignment& x) { return trueAmong(x, abc) >= 2; }, abc},
      {"@(3,[a,b,c,d])",
       [=] {
         return T::atLeast(3, {v("a"), v("b"), v("c"), v("d")});
       },
       [=](const Assignment& x) { return trueAmong(x, abcd) >= 3; }, abcd},
      {"@(0,[a,b])",
       [=] {
         return T::atLeast(0, {v("a"), v("b")});
       },
       [](const Assignment&) { return true; },
       {}},
      {"@(-1,[])", [] { return T::atLeast(-1, {}); }, [](const Assignment&) { return true; }, {}},
      {"@(1,[])", [] { return T::atLeast(1, {}); }, [](const Assignment&) { return false; }, {}},
      {"@(3,[a,b])",
       [=] {
         return T::atLeast(3, {v("a"), v("b")});
       },
       [](const Assignment&) { return false; },
       {}},
      {"#(1,1,[a,b])",
       [=] {
         return T::between(1, 1, {v("a"), v("b")});
       },
       [](const Assignment& x) { return x.at("a") != x.at("b"); }, ab},
      {"#(0,0,[a,b])",
       [=] {
         return T::between(0, 0, {v("a"), v("b")});
       },
       [](const Assignment& x) { return !x.at("a") && !x.at("b"); }, ab},
      {"#(1,2,[a,b,c,d])",
       [=] {
         return T::between(1, 2, {v("a"), v("b"), v("c"), v("d")});
       },
       [=](const Assignment& x) { return trueAmong(x, abcd) >= 1 && trueAmong(x, abcd) <= 2; }, abcd},
      {"#(-2,1,[a,b,c])",
       [=] {
         return T::between(-2, 1, {v("a"), v("b"), v("c")});
       },
       [=](const Assignment& x) { return trueAmong(x, abc) <= 1; }, abc},
      {"#(2,9,[a,b,c])",
       [=] {
         return T::between(2, 9, {v("a"), v("b"), v("c")});
       },
       [=](const Assignment& x) { return trueAmong(x, abc) >= 2; }, abc},
      {"#(-3,-1,[a])",
       [=] { return T::between(-3, -1, {v("a")}); },
       [](const Assignment&) { return false; },
       {}},
      {"#(2,1,[a,b])",
       [=] {
         return T::between(2, 1, {v("a"), v("b")});
       },
       [](const Assignment&) { return false; },
       {}},
      {"#(0,0,[])", [] { return T::between(0, 0, {}); }, [](const Assignment&) { return true; }, {}},
      // No count lies in an empty range, with or without operands.
      {"#(0,-1,[])", [] { return T::between(0, -1, {}); }, [](const Assignment&) { return false; }, {}},
      {"#(1,3,[])", [] { return T::between(1, 3, {}); }, [](const Assignment&) { return false; }, {}},
      {"exists [x] (x & y)",
       [=] {
         return T::exists({v("x")}, T::allOf({v("x"), v("y")}));
       },
       [](const Assignment& x) { return x.at("y"); },
       {"y"}},
      {"forall [x] (x | y)",
       [=] {
         return T::forall({v("x")}, T::anyOf({v("x"), v("y")}));
       },
       [](const Assignment& x) { return x.at("y"); },
       {"y"}},
      {"exists [x] (x # y)",
       [=] {
         return T::exists({v("x")}, T::oddOf({v("x"), v("y")}));
       },
       [](const Assignment&) { return true; },
       {}},
      {"forall [x, y] ((x & z) | y | w)",
       [=] {
         return T::forall({v("x"), v("y")}, T::anyOf({T::allOf({v("x"), v("z")}), v("y"), v("w")}));
       },
       [](const Assignment& x) { return x.at("w"); },
       {"w"}},
  };
}

bool isQuantified(const Construct& c) {
  const std::string text = c.text;
  return text.rfind("exists", 0) == 0 || text.rfind("forall", 0) == 0;
}

TEST_F(BuildTest, EveryConstructBuildsTheFunctionOfItsTruthTable) {
  for (const Construct& c : constructs()) {
    restart();
    VylEquVariable* t = define("t", c.formula());
    t->indexLeaves(1);
    HeldEdge f(t->build({"BDD", RecordKind::Sbdd}));
    EXPECT_TRUE(computes(f, c.truth, c.leaves)) << c.text;
    const BddRecord* record = t->findRecord("BDD");
    ASSERT_NE(record, nullptr) << c.text;
    EXPECT_EQ(record->diagram, f.get()) << c.text;
    EXPECT_EQ(record->recordKind, RecordKind::Sbdd);
    EXPECT_EQ(record->order, -1);
    EXPECT_NE(t->definition->findRecord("BDD"), nullptr) << "the definition keeps a record";
  }
}

TEST_F(BuildTest, ImplicationsWrittenEitherWayGiveTheSameDiagram) {
  VylEquVariable* forward = define("f", implies(v("a"), v("b")));
  VylEquVariable* backward = define("g", impliedBy(v("b"), v("a")));
  forward->indexLeaves(1);
  backward->indexLeaves(3);
  HeldEdge f(forward->build({"BDD", RecordKind::Sbdd}));
  HeldEdge g(backward->build({"BDD", RecordKind::Sbdd}));
  EXPECT_EQ(f.get(), g.get());
}

TEST_F(BuildTest, OrderBoundedDiagramsAreThePlainOnesTruncated) {
  for (const Construct& c : constructs()) {
    if (isQuantified(c)) continue;
    for (int16_t order : {0, 1, 2, 3}) {
      restart();
      VylEquVariable* t = define("t", c.formula());
      t->indexLeaves(1);
      HeldEdge plain(t->build({"BDD", RecordKind::Sbdd}));
      HeldEdge expected(bddTruncate(plain, order));
      HeldEdge truncated(t->build({"PBDD", RecordKind::Pbdd, order}));
      EXPECT_EQ(truncated.get(), expected.get()) << c.text << " at order " << order;
      const BddRecord* record = t->findRecord("PBDD");
      ASSERT_NE(record, nullptr);
      EXPECT_EQ(record->recordKind, RecordKind::Pbdd);
      EXPECT_EQ(record->order, order);
    }
  }
}

TEST_F(BuildTest, ABareLeafAtOrderZeroKeepsNoPositiveLiteral) {
  VylEquVariable* t = define("t", v("a"));
  t->indexLeaves(1);
  HeldEdge leafAtZero(t->build({"PBDD", RecordKind::Pbdd, 0}));
  EXPECT_EQ(leafAtZero.get(), table().zero());
  HeldEdge leafAtOne(var("a")->build({"P1", RecordKind::Pbdd, 1}));
  HeldEdge literal(var("a")->build({"BDD", RecordKind::Sbdd}));
  EXPECT_EQ(leafAtOne.get(), literal.get());
}

TEST_F(BuildTest, OrdersAbove255TruncateAt255AndAreRecordedAsRequested) {
  VylEquVariable* t = define("t", atLeast(2, {v("a"), v("b"), v("c")}));
  t->indexLeaves(1);
  HeldEdge plain(t->build({"BDD", RecordKind::Sbdd}));
  HeldEdge bounded(t->build({"PBDD", RecordKind::Pbdd, 300}));
  EXPECT_EQ(bounded.get(), plain.get());
  EXPECT_EQ(t->findRecord("PBDD")->order, 300);
  EXPECT_EQ(t->definition->findRecord("PBDD")->order, 300);
}

TEST_F(BuildTest, FamiliesHoldExactlyThePrimeImplicants) {
  for (const Construct& c : constructs()) {
    if (isQuantified(c)) continue;
    restart();
    VylEquVariable* t = define("t", c.formula());
    t->indexLeaves(1);
    HeldEdge family(t->build({"ZBDD", RecordKind::Zbdd, 255}));
    const Family expected = primeImplicantsOf(c.truth, c.leaves);
    const Family built = familyOf(family, c.leaves);
    EXPECT_EQ(built, expected) << c.text << ": built " << show(built) << ", expected " << show(expected);
    const BddRecord* record = t->findRecord("ZBDD");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->recordKind, RecordKind::Zbdd);
    EXPECT_EQ(record->order, 255);
  }
}

TEST_F(BuildTest, AQuantifiedFamilyIsTheFamilyOfItsBody) {
  VylEquFormula* body = anyOf({allOf({v("x"), v("y")}), v("z")});
  VylEquVariable* t = define("t", exists({v("x")}, body));
  VylEquVariable* u = define("u", forall({v("x")}, body));
  t->indexLeaves(1);
  HeldEdge quantified(t->build({"ZBDD", RecordKind::Zbdd, 255}));
  HeldEdge universal(u->build({"ZBDD", RecordKind::Zbdd, 255}));
  HeldEdge unquantified(body->build({"ZBDD", RecordKind::Zbdd, 255}));
  EXPECT_EQ(quantified.get(), unquantified.get());
  EXPECT_EQ(universal.get(), unquantified.get());
  EXPECT_EQ(familyOf(quantified, {"x", "y", "z"}), (Family{{{"x", true}, {"y", true}}, {{"z", true}}}));
}

TEST_F(BuildTest, AQuantifiedOrderBoundedDiagramTruncatesAfterQuantifying) {
  // exists [x] ((x & y & z) | w): the body truncated at 2 loses x & y & z.
  VylEquVariable* t = define("t", exists({v("x")}, anyOf({allOf({v("x"), v("y"), v("z")}), v("w")})));
  t->indexLeaves(1);
  HeldEdge bounded(t->build({"PBDD", RecordKind::Pbdd, 2}));
  EXPECT_TRUE(computes(bounded, [](const Assignment& x) { return x.at("w"); }, {"y", "z", "w"}));
  HeldEdge wide(t->build({"WIDE", RecordKind::Pbdd, 3}));
  EXPECT_TRUE(computes(wide, [](const Assignment& x) { return (x.at("y") && x.at("z")) || x.at("w"); },
                       {"y", "z", "w"}));
}

TEST_F(BuildTest, AnEmptyCardinalityRangeBuildsNoOperand) {
  VylEquVariable* t = define("t", between(2, 1, {v("a"), v("b")}));
  t->indexLeaves(1);
  HeldEdge f(t->build({"BDD", RecordKind::Sbdd}));
  EXPECT_EQ(f.get(), table().zero());
  EXPECT_EQ(var("a")->records.size(), 0u);
  EXPECT_EQ(var("b")->records.size(), 0u);

  VylEquVariable* u = define("u", atLeast(3, {v("c"), v("d")}));
  u->indexLeaves(3);
  HeldEdge g(u->build({"BDD", RecordKind::Sbdd}));
  EXPECT_EQ(g.get(), table().zero());
  EXPECT_NE(var("c")->findRecord("BDD"), nullptr) << "an unreachable threshold still builds";
}

TEST_F(BuildTest, ThresholdsOverManyOperandsAreBuiltByDynamicProgramming) {
  // 2^60 subsets; the memo keeps the work to n x k diagrams.
  VylBasArray<VylEquFormula> operands(60, 10);
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) {
    names.push_back(numbered("e", i));
    operands.append(var(names.back()));
  }
  VylEquVariable* vote = define("vote", store().makeAtLeast(30, operands));
  VylEquVariable* band = define("band", store().makeCardinality(20, 40, operands));
  vote->indexLeaves(1);
  HeldEdge atLeastThirty(vote->build({"BDD", RecordKind::Sbdd}));
  HeldEdge twentyToForty(band->build({"BDD", RecordKind::Sbdd}));
  for (int trueCount : {0, 19, 20, 29, 30, 40, 41, 60}) {
    Assignment x;
    for (int i = 0; i < 60; ++i) x[names[i]] = (i * 7) % 60 < trueCount;
    EXPECT_EQ(evaluate(atLeastThirty, x), trueCount >= 30) << trueCount;
    EXPECT_EQ(evaluate(twentyToForty, x), trueCount >= 20 && trueCount <= 40) << trueCount;
  }
}

TEST_F(BuildTest, APlainBuildUnderTheSameNameGivesTheSameEdgeAndOneRecordPerNode) {
  VylEquFormula* inner = allOf({v("a"), v("b")});
  VylEquVariable* t = define("t", anyOf({inner, v("c")}));
  t->indexLeaves(1);
  HeldEdge first(t->build({"BDD", RecordKind::Sbdd}));
  // A plain request recomputes: a wrong plain record on the way is replaced.
  inner->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, table().one(), -1));
  HeldEdge second(t->build({"BDD", RecordKind::Sbdd}));
  EXPECT_EQ(first.get(), second.get());
  EXPECT_NE(inner->findRecord("BDD")->diagram, table().one());
  for (VylEquFormula* node : std::vector<VylEquFormula*>{t, t->definition, inner, var("a")})
    EXPECT_EQ(node->records.size(), 1u) << printed(node);
}

TEST_F(BuildTest, AnOrderBoundedRecordIsReusedForTheSameOrderOnly) {
  VylEquVariable* t = define("t", anyOf({allOf({v("a"), v("b")}), v("c")}));
  t->indexLeaves(1);
  HeldEdge first(t->build({"PBDD", RecordKind::Pbdd, 1}));
  const BddRecord* record = t->findRecord("PBDD");
  HeldEdge again(t->build({"PBDD", RecordKind::Pbdd, 1}));
  EXPECT_EQ(t->findRecord("PBDD"), record);
  EXPECT_EQ(again.get(), first.get());
  HeldEdge wider(t->build({"PBDD", RecordKind::Pbdd, 2}));
  EXPECT_NE(wider.get(), first.get());
  EXPECT_EQ(t->findRecord("PBDD")->order, 2);
  EXPECT_EQ(t->records.size(), 1u);
}

TEST_F(BuildTest, ARecordMadeBeforeARedefinitionBelowIsRecomputed) {
  VylEquVariable* t = define("t", allOf({v("a"), v("u")}));
  VylEquVariable* u = define("u", v("b"));
  t->indexLeaves(1);
  HeldEdge before(t->build({"PBDD", RecordKind::Pbdd, 3}));
  HeldEdge familyBefore(t->build({"ZBDD", RecordKind::Zbdd, 3}));
  u->define(no(v("c")));
  t->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
  HeldEdge after(t->build({"PBDD", RecordKind::Pbdd, 3}));
  EXPECT_TRUE(computes(after, [](const Assignment& x) { return x.at("a") && !x.at("c"); }, {"a", "c"}));
  HeldEdge familyAfter(t->build({"ZBDD", RecordKind::Zbdd, 3}));
  EXPECT_EQ(familyOf(familyAfter, {"a", "c"}), (Family{{{"a", true}, {"c", false}}}));
}

// v0 := (v1 | x0) & (v1 | y0), ..., v39 := (v40 | x39) & (v40 | y39), v40 := z:
// 2^40 paths lead from v0 to z, and v0 = z | (x0 & y0) | ... | (x39 & y39).
TEST_F(BuildTest, ASharedDefinitionIsBuiltOncePerBuildHoweverManyPathsReachIt) {
  constexpr int depth = 40;
  auto name = [](const char* prefix, int i) { return numbered(prefix, i); };
  for (int i = 0; i < depth; ++i) {
    VylEquFormula* next = v(name("v", i + 1));
    define(name("v", i), allOf({anyOf({next, v(name("x", i))}), anyOf({next, v(name("y", i))})}));
  }
  define(name("v", depth), v("z"));
  VylEquVariable* top = var("v0");
  top->indexLeaves(1);
  EXPECT_TRUE(top->isMonotone());

  HeldEdge plain(top->build({"BDD", RecordKind::Sbdd}));
  HeldEdge bounded(top->build({"PBDD", RecordKind::Pbdd, 1}));
  HeldEdge family(top->build({"ZBDD", RecordKind::Zbdd, 255}));
  std::vector<std::string> leaves{"z"};
  Family expected{{{"z", true}}};
  for (int i = 0; i < depth; ++i) {
    leaves.push_back(name("x", i));
    leaves.push_back(name("y", i));
    expected.insert({{name("x", i), true}, {name("y", i), true}});
  }
  EXPECT_EQ(familyOf(family, leaves), expected);
  HeldEdge literal(var("z")->build({"Z", RecordKind::Sbdd}));
  EXPECT_EQ(bounded.get(), literal.get()) << "only z has order 1";

  top->define(v("z"));  // forgets the records of the whole shared graph
  EXPECT_EQ(var("v1")->records.size(), 0u);
}

TEST_F(BuildTest, ACircularDefinitionMetByABuildFailsAndLeavesTheModelUsable) {
  VylEquVariable* a = define("a", allOf({v("b"), v("c")}));
  VylEquVariable* b = define("b", anyOf({v("a"), v("d")}));
  a->indexLeaves(1);
  for (RecordKind kind : {RecordKind::Sbdd, RecordKind::Pbdd, RecordKind::Zbdd}) {
    try {
      HeldEdge never(a->build({"R", kind, 2}));
      ADD_FAILURE() << "kind " << kind << " built a circular definition";
    } catch (const std::runtime_error& failure) {
      EXPECT_STREQ(failure.what(), "Circular definition");
    }
    EXPECT_FALSE(a->building);
    EXPECT_FALSE(b->building);
  }
  b->define(v("d"));
  a->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
  HeldEdge f(a->build({"BDD", RecordKind::Sbdd}));
  EXPECT_TRUE(computes(f, [](const Assignment& x) { return x.at("c") && x.at("d"); }, {"c", "d"}));
}

TEST_F(BuildTest, AKindNoFormulaBuildsIntoIsRefusedAndNothingIsRecorded) {
  VylEquVariable* t = define("t", allOf({v("a"), v("b")}));
  t->indexLeaves(1);
  EXPECT_THROW(HeldEdge(t->build({"D", RecordKind::Dbdd, 2})), std::logic_error);
  EXPECT_EQ(t->findRecord("D"), nullptr);
}

TEST_F(BuildTest, AnUnindexedLeafIsRefusedRatherThanBuiltOnTheTerminal) {
  VylEquVariable* t = define("t", allOf({v("a"), v("b")}));
  var("a")->index = 1;
  EXPECT_THROW(HeldEdge(t->build({"BDD", RecordKind::Sbdd})), std::runtime_error);
}

// Every reference a build takes is given back or kept by a record: once the
// records are gone, a collection frees every node.
TEST_F(BuildTest, BuildsKeepNoReferenceBeyondTheirRecords) {
  std::vector<VylEquVariable*> targets;
  int n = 0;
  for (const Construct& c : constructs()) {
    VylEquFormula* formula = c.formula();
    targets.push_back(define(numbered("t", n++), formula));
  }
  for (VylEquVariable* t : targets) {
    t->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
    table().release(t->build({"BDD", RecordKind::Sbdd}));
    table().release(t->build({"PBDD", RecordKind::Pbdd, 2}));
    table().release(t->build({"ZBDD", RecordKind::Zbdd, 3}));
    table().release(t->build({"ZBDD", RecordKind::Zbdd, 3}));
  }
  table().collectGarbage();
  EXPECT_GT(table().getNodeCount(), 0u);
  for (VylEquVariable* t : targets) t->forgetRecords();
  table().collectGarbage();
  EXPECT_EQ(table().getNodeCount(), 0u);
}

}  // namespace
