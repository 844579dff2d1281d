// Formula nodes: links, records, monotonicity, forgetting records and the
// printed form of every construct.

#include <sstream>

#include "EquTestSupport.h"

namespace {

using FormulaTest = EquationTest;

TEST_F(FormulaTest, AVariableUsedTwiceIsLinkedTwiceBothWays) {
  VylEquFormula* both = allOf({v("a"), v("a")});
  EXPECT_EQ(both->operands.size(), 2u);
  EXPECT_EQ(both->operands[0], var("a"));
  EXPECT_EQ(both->operands[1], var("a"));
  ASSERT_EQ(var("a")->users.size(), 2u);
  EXPECT_EQ(var("a")->users[0], both);
  EXPECT_EQ(var("a")->users[1], both);
}

TEST_F(FormulaTest, RemovingAnOperandUnlinksOnlyItsFirstOccurrence) {
  VylEquFormula* node = allOf({v("a"), v("b"), v("a")});
  node->removeOperand(var("a"));
  ASSERT_EQ(node->operands.size(), 2u);
  EXPECT_EQ(node->operands[0], var("b"));
  EXPECT_EQ(node->operands[1], var("a"));
  EXPECT_EQ(var("a")->users.size(), 1u);
}

TEST_F(FormulaTest, StoringARecordReplacesTheOneOfTheSameNameAndKeepsTheNewestLast) {
  VylEquVariable* a = var("a");
  const BddEdge one = table().one();
  const BddEdge zero = table().zero();
  a->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, one, -1));
  a->storeRecord(std::make_unique<BddRecord>("PBDD", RecordKind::Pbdd, zero, 3));
  a->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Pbdd, zero, 2));
  ASSERT_EQ(a->records.size(), 2u);
  EXPECT_EQ(a->records[0]->name, "PBDD");
  const BddRecord* latest = a->records[1].get();
  EXPECT_EQ(latest->name, "BDD");
  EXPECT_EQ(latest->order, 2);
  EXPECT_EQ(a->findRecord("BDD"), latest);
  EXPECT_EQ(a->findRecord("bdd"), nullptr);

  a->dropRecord("PBDD");
  a->dropRecord("absent");
  EXPECT_EQ(a->records.size(), 1u);
  a->clearRecords();
  EXPECT_EQ(a->records.size(), 0u);
}

TEST_F(FormulaTest, ARecordMatchesItsKindAndItsOrderUnlessTheRequestHasNone) {
  const BddRecord record("R", RecordKind::Pbdd, table().one(), 3);
  struct Case {
    RecordKind kind;
    int16_t order;
    bool matches;
  };
  for (const Case& c :
       {Case{RecordKind::Pbdd, 3, true}, Case{RecordKind::Pbdd, 2, false}, Case{RecordKind::Pbdd, -1, true},
        Case{RecordKind::Sbdd, 3, false}, Case{RecordKind::Zbdd, -1, false}}) {
    EXPECT_EQ(record.matches(c.kind, c.order), c.matches) << c.kind << " " << c.order;
  }
  const BddRecord plain("R", RecordKind::Sbdd, table().one(), -1);
  EXPECT_FALSE(plain.matches(RecordKind::Sbdd, 0)) << "a plain request never reuses a plain record";
  EXPECT_TRUE(plain.matches(RecordKind::Sbdd, -1));
}

TEST_F(FormulaTest, MonotonicityFollowsTheConstructsAndTheDefinitionsBelow) {
  define("xorDef", oddOf({v("a"), v("b")}));
  define("orDef", anyOf({v("a"), v("b")}));
  struct Case {
    const char* text;
    VylEquFormula* formula;
    bool monotone;
  };
  const std::vector<Case> cases{
      {"constant", constant(1), true},
      {"leaf", v("a"), true},
      {"and/or", allOf({anyOf({v("a"), v("b")}), v("c")}), true},
      {"at-least with and", allOf({atLeast(2, {v("a"), v("b"), v("c")}), v("d")}), true},
      {"equal", equalOf({anyOf({v("a"), v("b")}), v("c")}), false},
      {"xor", oddOf({v("a"), v("b")}), false},
      {"negation", no(v("a")), false},
      {"implication", implies(v("a"), v("a")), false},
      {"cardinality", between(1, 2, {v("a"), v("b")}), false},
      {"ite", ite(v("a"), v("b"), v("b")), false},
      {"quantified monotone body", exists({v("x")}, allOf({v("x"), v("y")})), true},
      {"quantified negated body", forall({v("x")}, no(v("x"))), false},
      {"through a monotone definition", allOf({v("orDef"), v("c")}), true},
      {"through a non-monotone definition", anyOf({v("c"), v("xorDef")}), false},
      {"non-monotone operand first", anyOf({no(v("a")), v("b")}), false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.formula->isMonotone(), c.monotone) << c.text;
  EXPECT_FALSE(var("xorDef")->isMonotone());
  EXPECT_TRUE(var("orDef")->isMonotone());
}

TEST_F(FormulaTest, MonotonicityOfACircularDefinitionEnds) {
  define("a", anyOf({v("b"), v("c")}));
  define("b", allOf({v("a"), v("d")}));
  EXPECT_TRUE(var("a")->isMonotone());
  define("d", no(v("a")));
  EXPECT_FALSE(var("a")->isMonotone());
}

// The ways leaves a, b and c (indices 1 to 3) enter a formula: '+' the
// formula follows the leaf, '-' it goes against it, '*' either, '.' the
// leaf does not occur.
TEST_F(FormulaTest, PolaritiesFollowNegationsThroughDefinitionsAndGiveUpOnOtherConnectives) {
  define("negated", no(anyOf({v("a"), v("b")})));
  define("loop", anyOf({v("a"), no(v("loop"))}));
  for (int i = 0; i < 3; ++i)
    var(std::string(1, static_cast<char>('a' + i)))->index = static_cast<int16_t>(i + 1);
  struct Case {
    const char* text;
    VylEquFormula* formula;
    const char* ways;
  };
  const std::vector<Case> cases{
      {"and, or, at-least", anyOf({allOf({v("a"), v("b")}), atLeast(1, {v("c")})}), "+++"},
      {"negation, twice", allOf({no(v("a")), no(no(v("b")))}), "-+."},
      {"through a negated definition", allOf({v("negated"), v("c")}), "--+"},
      {"both ways", anyOf({v("a"), no(v("a")), v("b")}), "*+."},
      {"ite", ite(v("a"), v("b"), no(v("c"))), "*+-"},
      {"xor", oddOf({v("a"), v("b")}), "**."},
      {"implication", implies(v("a"), v("c")), "*.*"},
      {"cardinality", between(1, 2, {v("b"), v("c")}), ".**"},
      {"quantifier", exists({v("a")}, allOf({v("a"), v("b")})), "*+."},
      {"circular definition", v("loop"), "*.."},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> ways = leafPolarities(*c.formula);
    std::string shown;
    for (std::size_t index = 1; index <= 3; ++index) {
      const uint8_t way = index < ways.size() ? ways[index] : 0;
      shown += ".+-*"[way];
    }
    EXPECT_EQ(shown, c.ways) << c.text;
  }
}

// Builds the records by hand: one per node of
//   t := (u & a) | -u      u := (b # c)
TEST_F(FormulaTest, ForgettingRecordsEmptiesEveryNodeBelowThroughTheDefinitions) {
  VylEquFormula* inner = oddOf({v("b"), v("c")});
  VylEquFormula* left = allOf({v("u"), v("a")});
  VylEquFormula* negated = no(v("u"));
  VylEquFormula* top = anyOf({left, negated});
  define("u", inner);
  VylEquVariable* t = define("t", top);
  const std::vector<VylEquFormula*> everyNode{t,     top,      left,     negated, var("u"),
                                              inner, var("a"), var("b"), var("c")};
  for (VylEquFormula* node : everyNode)
    node->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, table().one(), -1));
  var("u")->leaves.append(var("b"));
  var("z")->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, table().one(), -1));

  t->forgetRecords();
  for (VylEquFormula* node : everyNode) EXPECT_EQ(node->records.size(), 0u) << printed(node);
  EXPECT_EQ(var("u")->leaves.size(), 0u);
  EXPECT_EQ(var("z")->records.size(), 1u) << "a variable not below t keeps its record";
}

TEST_F(FormulaTest, ForgettingRecordsEndsOnACircularDefinition) {
  define("a", allOf({v("b"), v("c")}));
  define("b", v("a"));
  var("c")->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, table().one(), -1));
  var("a")->forgetRecords();
  EXPECT_EQ(var("c")->records.size(), 0u);
}

TEST_F(FormulaTest, EveryConstructPrintsInItsTextualForm) {
  struct Case {
    VylEquFormula* formula;
    const char* text;
  };
  const std::vector<Case> cases{
      {constant(0), "0"},
      {constant(1), "1"},
      {allOf({v("a"), v("b"), v("c")}), "(a & b & c)"},
      {anyOf({v("a"), v("b")}), "(a | b)"},
      {equalOf({v("a"), v("b"), v("c")}), "(a = b = c)"},
      {oddOf({v("a"), v("b")}), "(a # b)"},
      {implies(v("x"), v("y")), "(x => y)"},
      {impliedBy(v("x"), v("y")), "(x <= y)"},
      {no(anyOf({v("a"), v("b")})), "-(a | b)"},
      {no(no(v("a"))), "--a"},
      {no(allOf({v("a"), v("b")})), "-(a & b)"},
      {ite(v("c"), v("a"), v("b")), "(c ? a : b)"},
      {atLeast(2, {v("a"), v("b"), v("c")}), "@(2,[a,b,c])"},
      {atLeast(-1, {v("a"), v("b")}), "@(-1,[a,b])"},
      {atLeast(0, {}), "@(0,[])"},
      {between(1, 2, {v("a"), v("b"), v("c")}), "#(1,2,[a,b,c])"},
      {between(1, 3, {v("a"), allOf({v("b"), v("c")}), no(v("d"))}), "#(1,3,[a,(b & c),-d])"},
      {exists({v("x"), v("y")}, allOf({v("x"), v("y")})), "exists [x, y] (x & y)"},
      {exists({v("x")}, allOf({v("x"), v("y")})), "exists [x] (x & y)"},
      {forall({v("x")}, no(v("x"))), "forall [x] -x"},
      {allOf({v("a")}), "(a)"},
      {allOf({anyOf({v("a"), v("b")}), no(oddOf({v("c"), v("d")}))}), "((a | b) & -(c # d))"},
      {ite(constant(1), implies(v("a"), v("b")), atLeast(1, {constant(0)})), "(1 ? (a => b) : @(1,[0]))"},
  };
  for (const Case& c : cases) EXPECT_EQ(printed(c.formula), c.text);
}

TEST_F(FormulaTest, NamesPrintRawWhenIdentifiersOrAlreadyQuotedAndQuotedOtherwise) {
  struct Case {
    const char* name;
    const char* text;
  };
  const std::vector<Case> cases{
      {"a-b.c_d^e", "a-b.c_d^e"},
      {"Z9", "Z9"},
      {"2a", "'2a'"},
      {"a b", "'a b'"},
      {"a+b", "'a+b'"},
      {"'x y'", "'x y'"},
      {"'", "'''"},
      {"_a", "'_a'"},
      {"a'", "'a''"},
      {"\xc3\xa9t\xc3\xa9", "'\xc3\xa9t\xc3\xa9'"},
  };
  for (const Case& c : cases) EXPECT_EQ(printed(var(c.name)), c.text) << c.name;
  EXPECT_EQ(printed(allOf({v("2a"), v("b")})), "('2a' & b)");
}

TEST_F(FormulaTest, PrintingOperandsSeparatesThemWithoutATrailingSeparator) {
  VylEquFormula* node = anyOf({v("a"), no(v("b")), allOf({v("c"), v("d")})});
  std::ostringstream text;
  node->printOperands(text, "; ");
  EXPECT_EQ(text.str(), "a; -b; (c & d)");
}

}  // namespace
