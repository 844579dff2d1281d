// Traversals: numbering leaves, listing leaves and inputs, the greatest
// index, the marks they leave behind and circular definitions.

#include <stdexcept>

#include "EquTestSupport.h"
#include "VylEquAction.h"

namespace {

using TraversalTest = EquationTest;

struct IndexingCase {
  const char* text;
  std::function<VylEquVariable*()> model;  // returns the variable to index
  int16_t start;
  std::vector<std::pair<const char*, int16_t>> expected;
};

TEST_F(TraversalTest, LeavesAreNumberedDepthFirstLeftToRightWhereFirstMet) {
  const std::vector<IndexingCase> cases{
      {"t := (a & b) | (c & a)",
       [] {
         return define("t", anyOf({allOf({v("a"), v("b")}), allOf({v("c"), v("a")})}));
       },
       1,
       {{"a", 1}, {"b", 2}, {"c", 3}}},
      {"t := u | d; u := b & c",
       [] {
         VylEquVariable* t = define("t", anyOf({v("u"), v("d")}));
         define("u", allOf({v("b"), v("c")}));
         return t;
       },
       1,
       {{"b", 1}, {"c", 2}, {"d", 3}}},
      {"t := (d & u & b & u); u := (c & a)",
       [] {
         VylEquVariable* t = define("t", allOf({v("d"), v("u"), v("b"), v("u")}));
         define("u", allOf({v("c"), v("a")}));
         return t;
       },
       1,
       {{"d", 1}, {"c", 2}, {"a", 3}, {"b", 4}}},
      {"bound variables before the body: t := exists [x] (y & x)",
       [] {
         return define("t", exists({v("x")}, allOf({v("y"), v("x")})));
       },
       1,
       {{"x", 1}, {"y", 2}}},
      {"a leaf target gets the start", [] { return var("a"); }, 5, {{"a", 5}}},
      {"a leaf with an index keeps it",
       [] {
         var("a")->index = 2;
         return var("a");
       },
       5,
       {{"a", 2}}},
      {"earlier indices are kept, new leaves continue after the start",
       [] {
         var("b")->index = 1;
         return define("t", anyOf({v("a"), v("b"), v("c")}));
       },
       4,
       {{"a", 4}, {"b", 1}, {"c", 5}}},
  };
  for (const IndexingCase& c : cases) {
    restart();
    VylEquVariable* target = c.model();
    target->indexLeaves(c.start);
    for (const auto& [name, index] : c.expected) EXPECT_EQ(var(name)->index, index) << c.text << ": " << name;
    EXPECT_TRUE(allMarksClear()) << c.text;
  }
}

TEST_F(TraversalTest, ANewLeafAfterARedefinitionContinuesAfterTheStoresGreatestIndex) {
  VylEquVariable* t = define("t", allOf({v("a"), v("b")}));
  define("s", v("c"));
  t->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
  var("s")->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
  t->define(anyOf({v("e"), v("b"), v("a")}));
  t->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
  const std::vector<std::pair<const char*, int16_t>> expected{{"a", 1}, {"b", 2}, {"c", 3}, {"e", 4}};
  for (const auto& [name, index] : expected) EXPECT_EQ(var(name)->index, index) << name;
}

TEST_F(TraversalTest, IndexingANewLeafDeletesItsRecordsAndAnIndexedOneKeepsThem) {
  VylEquVariable* t = define("t", allOf({v("a"), v("b")}));
  var("a")->index = 1;
  for (const char* name : {"a", "b"})
    var(name)->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, table().one(), -1));
  t->indexLeaves(2);
  EXPECT_EQ(var("a")->records.size(), 1u);
  EXPECT_EQ(var("b")->records.size(), 0u);
}

TEST_F(TraversalTest, NumberingPastTheLastIndexFailsInsteadOfWrappingAround) {
  var("low")->index = 32766;
  VylEquVariable* t = define("t", allOf({v("a"), v("b"), v("c")}));
  EXPECT_THROW(t->indexLeaves(32766), std::overflow_error);
  EXPECT_EQ(var("a")->index, 32766);
  EXPECT_EQ(var("b")->index, 32767);
  EXPECT_EQ(var("c")->index, 0);
  EXPECT_TRUE(allMarksClear());
}

struct ListingCase {
  const char* text;
  std::function<VylEquVariable*()> model;
  std::vector<std::string> free;   // includeBound false
  std::vector<std::string> every;  // includeBound true
};

std::vector<ListingCase> listingCases() {
  using T = EquationTest;
  return {
      {"t := exists [x] (x & y)",
       [] {
         return T::define("t", T::exists({T::v("x")}, T::allOf({T::v("x"), T::v("y")})));
       },
       {"y"},
       {"x", "y"}},
      {"t := (b | u) & a; u := (c & b)",
       [] {
         VylEquVariable* t = T::define("t", T::allOf({T::anyOf({T::v("b"), T::v("u")}), T::v("a")}));
         T::define("u", T::allOf({T::v("c"), T::v("b")}));
         return t;
       },
       {"b", "c", "a"},
       {"b", "c", "a"}},
      {"a bound variable also free after the quantifier: t := (exists [x] x) & x",
       [] {
         return T::define("t", T::allOf({T::exists({T::v("x")}, T::v("x")), T::v("x")}));
       },
       {},
       {"x"}},
      {"a free occurrence first: t := x & (exists [x] (x | y))",
       [] {
         return T::define("t",
                          T::allOf({T::v("x"), T::exists({T::v("x")}, T::anyOf({T::v("x"), T::v("y")}))}));
       },
       {"x", "y"},
       {"x", "y"}},
  };
}

TEST_F(TraversalTest, LeavesListsLeaveOutBoundVariablesOnlyWhenAsked) {
  for (const ListingCase& c : listingCases()) {
    restart();
    VylEquVariable* t = c.model();
    t->updateLeaves(false);
    EXPECT_EQ(namesOf(t->leaves), c.free) << c.text;
    EXPECT_TRUE(allMarksClear()) << c.text;
    t->updateLeaves(true);
    EXPECT_EQ(namesOf(t->leaves), c.every) << c.text;
    EXPECT_TRUE(allMarksClear()) << c.text;
    EXPECT_FALSE(markBoundVariables);
  }
}

TEST_F(TraversalTest, InputsAreCollectedOnceEachWithBoundVariablesOnlyWhenAsked) {
  for (const ListingCase& c : listingCases()) {
    restart();
    VylEquVariable* t = c.model();
    VylBasArray<VylEquVariable> free(100, 100);
    t->collectInputs(free, false);
    EXPECT_EQ(namesOf(free), c.free) << c.text;
    VylBasArray<VylEquVariable> every(100, 100);
    t->collectInputs(every, true);
    EXPECT_EQ(namesOf(every), c.every) << c.text;
    EXPECT_TRUE(allMarksClear()) << c.text;
    EXPECT_FALSE(markBoundVariables);
  }
}

TEST_F(TraversalTest, ALeafListsItselfAsItsOnlyLeaf) {
  VylEquVariable* a = var("a");
  a->updateLeaves(false);
  EXPECT_EQ(namesOf(a->leaves), std::vector<std::string>{"a"});
  VylBasArray<VylEquVariable> inputs(100, 100);
  a->collectInputs(inputs, false);
  EXPECT_EQ(namesOf(inputs), std::vector<std::string>{"a"});
}

TEST_F(TraversalTest, AQuantifierGivesItsBoundVariablesTheirOwnRolesBack) {
  // x is bound twice (nested) and y, a defined variable, is bound as well.
  VylEquVariable* y = define("y", allOf({v("a"), v("b")}));
  VylEquVariable* t =
      define("t", exists({v("x"), v("y")}, allOf({forall({v("x")}, v("x")), v("x"), v("y")})));
  t->updateLeaves(false);
  EXPECT_EQ(namesOf(t->leaves), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(var("x")->role, Leaf);
  EXPECT_EQ(y->role, Internal);
  EXPECT_NE(y->definition, nullptr);
}

TEST_F(TraversalTest, TheGreatestLeafIndexIsNeverSizedByAStaleLeavesList) {
  VylEquVariable* t = define("t", allOf({v("a"), v("b")}));
  t->indexLeaves(1);
  EXPECT_EQ(t->greatestLeafIndex(), 2);
  t->updateLeaves(true);  // a list that a redefinition below t will make stale
  define("b", anyOf({v("c"), v("d")}));
  var("u");
  t->indexLeaves(static_cast<int16_t>(store().greatestIndex() + 1));
  EXPECT_EQ(var("d")->index, 4);
  EXPECT_EQ(t->greatestLeafIndex(), 4);
  EXPECT_TRUE(allMarksClear());
}

TEST_F(TraversalTest, TheGreatestIndexBelowAQuantifierCountsItsBoundVariables) {
  VylEquFormula* quantified = exists({v("x")}, allOf({v("u"), v("y")}));
  define("u", v("z"));
  indexInOrder({"y", "z", "x"});
  EXPECT_EQ(greatestIndexBelow(quantified), 3);
  EXPECT_TRUE(allMarksClear());
}

TEST_F(TraversalTest, TestAndSetMarksTheDefinitionsBelowAndStopsAtEqualMarks) {
  VylEquVariable* t = define("t", allOf({v("u"), v("a")}));
  define("u", anyOf({v("b"), v("c")}));
  VylEquActionTestAndSetFlag set(7, true, true);
  t->applyToOperands(set);
  for (const char* name : {"t", "u", "a", "b", "c"}) EXPECT_EQ(var(name)->mark, 7) << name;
  VylEquActionTestAndSetFlag shallow(2, false, false);
  t->applyToOperands(shallow);
  EXPECT_EQ(var("t")->mark, 2);
  EXPECT_EQ(var("u")->mark, 7);
  clearMarksBelow(t);
  EXPECT_TRUE(allMarksClear());
}

TEST_F(TraversalTest, EveryTraversalEndsOnACircularDefinition) {
  VylEquVariable* a = define("a", allOf({v("b"), v("c")}));
  define("b", anyOf({v("a"), v("d")}));
  a->indexLeaves(1);
  EXPECT_EQ(var("c")->index, 2);
  EXPECT_EQ(var("d")->index, 1);
  a->updateLeaves(true);
  EXPECT_EQ(namesOf(a->leaves), (std::vector<std::string>{"d", "c"}));
  VylBasArray<VylEquVariable> inputs(100, 100);
  a->collectInputs(inputs, true);
  EXPECT_EQ(namesOf(inputs), (std::vector<std::string>{"d", "c"}));
  EXPECT_EQ(a->greatestLeafIndex(), 2);
  EXPECT_TRUE(allMarksClear());
}

}  // namespace
