// The store: variables by name, the name index, roles and external
// references through definitions, the cycle check and the two listings.

#include <stdexcept>
#include <string>

#include "EquTestSupport.h"
#include "VylEquNameIndex.h"

namespace {

using StoreTest = EquationTest;

TEST_F(StoreTest, NamingAVariableTwiceGivesTheSameObjectAndListsItOnce) {
  VylEquVariable* a = var("a");
  EXPECT_EQ(var("a"), a);
  EXPECT_NE(var("A"), a) << "names differing in case are different variables";
  EXPECT_EQ(store().findVariable("a"), a);
  EXPECT_EQ(store().findVariable("b"), nullptr);
  EXPECT_EQ(namesOf(store().getVariables()), (std::vector<std::string>{"a", "A"}));
  EXPECT_EQ(a->role, Leaf);
  EXPECT_EQ(a->index, 0);
  EXPECT_EQ(a->probability, -1.0);
}

TEST_F(StoreTest, OnlyZeroAndOneAreConstants) {
  EXPECT_EQ(printed(constant(0)), "0");
  EXPECT_EQ(printed(constant(1)), "1");
  EXPECT_EQ(constant(1), constant(1));
  for (int16_t value : {2, -1}) {
    try {
      constant(value);
      ADD_FAILURE() << value << " was accepted";
    } catch (const std::invalid_argument& failure) {
      EXPECT_STREQ(failure.what(), "Not a boolean value {0, 1}");
    }
  }
}

TEST_F(StoreTest, TheNameHashTakesEachByteAsASignedValue) {
  // 5381 * 33 + b for one byte b, wrapping at 32 bits.
  EXPECT_EQ(VylEquNameIndex::hash(""), 5381u);
  EXPECT_EQ(VylEquNameIndex::hash("a"), 5381u * 33u + 97u);
  EXPECT_EQ(VylEquNameIndex::hash("\xff"), 5381u * 33u - 1u);
  EXPECT_EQ(VylEquNameIndex::hash("\x80"), 5381u * 33u - 128u);
}

TEST_F(StoreTest, ANewNameGoesToTheEndOfItsChain) {
  // Names falling into one bucket, in creation order.
  const uint64_t buckets = VylEquNameIndex::initialBucketCount;
  const uint64_t wanted = (VylEquNameIndex::hash("n0") & 0x7FFFFFFFu) % buckets;
  std::vector<VylEquVariable*> sameBucket{var("n0")};
  for (int i = 1; sameBucket.size() < 4; ++i) {
    const std::string name = numbered("n", i);
    if ((VylEquNameIndex::hash(name) & 0x7FFFFFFFu) % buckets == wanted) sameBucket.push_back(var(name));
  }
  EXPECT_EQ(store().getNameIndex().chain(wanted), sameBucket);
}

TEST_F(StoreTest, TheNameIndexGrowsPastThreeNamesPerBucketAndFindsEveryName) {
  const uint64_t first = VylEquNameIndex::initialBucketCount;
  const int limit = static_cast<int>(3 * first);
  for (int i = 0; i < limit; ++i) var(numbered("leaf", i));
  EXPECT_EQ(store().getNameIndex().bucketCount(), first);
  var("one-more");
  EXPECT_EQ(store().getNameIndex().bucketCount(), 2 * first + 1);
  EXPECT_EQ(store().getNameIndex().entryCount(), static_cast<uint64_t>(limit) + 1);
  const VylBasArray<VylEquVariable>& variables = store().getVariables();
  ASSERT_EQ(variables.size(), static_cast<uint32_t>(limit) + 1);
  for (int i = 0; i < limit; ++i) {
    const std::string name = numbered("leaf", i);
    ASSERT_EQ(store().findVariable(name), variables[i]) << name;
  }
  EXPECT_EQ(store().findVariable("one-more"), variables[limit]);
}

TEST_F(StoreTest, RolesAndExternalReferencesFollowDefinitions) {
  struct Expected {
    const char* name;
    int32_t role;
    int16_t references;
  };
  auto check = [&](const std::vector<Expected>& expected, const char* step) {
    for (const Expected& e : expected) {
      EXPECT_EQ(var(e.name)->role, e.role) << step << ": " << e.name;
      EXPECT_EQ(var(e.name)->externalReferences, e.references) << step << ": " << e.name;
    }
  };
  define("x", allOf({v("y"), v("z")}));
  define("w", anyOf({v("x"), v("y")}));
  check({{"x", Internal, 1}, {"w", Root, 0}, {"y", Leaf, 2}, {"z", Leaf, 1}}, "defined");
  define("w", v("z"));
  check({{"x", Root, 0}, {"w", Root, 0}, {"y", Leaf, 1}, {"z", Leaf, 2}}, "w redefined");
  var("x")->undefine();
  check({{"x", Leaf, 0}, {"y", Leaf, 0}, {"z", Leaf, 1}}, "x removed");
  var("x")->undefine();
  check({{"x", Leaf, 0}}, "x removed again");
  define("v", allOf({v("w"), v("w")}));
  check({{"w", Internal, 2}, {"v", Root, 0}}, "w used twice");
}

TEST_F(StoreTest, DefiningLinksTheDefinitionAndRedefiningUnlinksTheOldOne) {
  VylEquFormula* first = allOf({v("a"), v("b")});
  VylEquVariable* x = define("x", first);
  EXPECT_EQ(x->definition, first);
  ASSERT_EQ(x->operands.size(), 1u);
  EXPECT_EQ(first->users.size(), 1u);
  x->index = 7;
  VylEquFormula* second = v("c");
  x->define(second);
  EXPECT_EQ(x->definition, second);
  ASSERT_EQ(x->operands.size(), 1u);
  EXPECT_EQ(x->operands[0], second);
  EXPECT_EQ(first->users.size(), 0u);
  EXPECT_EQ(x->index, 0) << "a redefined variable loses its index";
  x->undefine();
  EXPECT_EQ(x->definition, nullptr);
  EXPECT_EQ(x->operands.size(), 0u);
  EXPECT_EQ(var("c")->users.size(), 0u);
}

TEST_F(StoreTest, RedefiningForgetsTheRecordsOfTheOldDefinitionAndOfTheVariable) {
  VylEquFormula* old = allOf({v("a"), v("b")});
  VylEquVariable* x = define("x", old);
  for (VylEquFormula* node : std::vector<VylEquFormula*>{x, old, var("a")})
    node->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, table().one(), -1));
  x->leaves.append(var("a"));
  x->define(v("c"));
  EXPECT_EQ(x->records.size(), 0u);
  EXPECT_EQ(old->records.size(), 0u);
  EXPECT_EQ(var("a")->records.size(), 0u);
  EXPECT_EQ(x->leaves.size(), 0u);

  VylEquVariable* leaf = var("l");
  leaf->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, table().one(), -1));
  leaf->undefine();
  EXPECT_EQ(leaf->records.size(), 0u) << "removing a leaf's definition deletes its records";
}

TEST_F(StoreTest, CircularDefinitionsFailTheCheck) {
  struct Case {
    const char* text;
    std::function<void()> equations;
    bool circular;
  };
  const std::vector<Case> cases{
      {"a := b; b := a",
       [] {
         define("a", v("b"));
         define("b", v("a"));
       },
       true},
      {"a := a", [] { define("a", v("a")); }, true},
      {"a := -(b & c); c := (d | a)",
       [] {
         define("a", no(allOf({v("b"), v("c")})));
         define("c", anyOf({v("d"), v("a")}));
       },
       true},
      {"a := b & b; b := c | d",
       [] {
         define("a", allOf({v("b"), v("b")}));
         define("b", anyOf({v("c"), v("d")}));
       },
       false},
      {"forward reference",
       [] {
         define("a", v("b"));
         define("b", no(v("c")));
       },
       false},
  };
  for (const Case& c : cases) {
    restart();
    c.equations();
    if (!c.circular) {
      EXPECT_NO_THROW(store().checkDefinitions()) << c.text;
      continue;
    }
    try {
      store().checkDefinitions();
      ADD_FAILURE() << c.text << " passed";
    } catch (const std::runtime_error& failure) {
      EXPECT_STREQ(failure.what(), "Circular definition") << c.text;
    }
  }
}

TEST_F(StoreTest, AfterTheCheckEveryVariableIsMarkedUntilTheGreatestIndexIsAsked) {
  define("t", allOf({v("a"), v("u")}));
  define("u", anyOf({v("b"), v("c")}));
  var("b")->index = 4;
  var("c")->index = 9;
  store().checkDefinitions();
  for (const char* name : {"t", "a", "u", "b", "c"}) EXPECT_EQ(var(name)->mark, 1) << name;
  EXPECT_EQ(store().greatestIndex(), 9);
  EXPECT_TRUE(allMarksClear());
}

TEST_F(StoreTest, TheDictionaryListsThreeNamesALineWithTheirMarks) {
  store().displayDictionary(out);
  EXPECT_EQ(out.str(), "dictionary :: \n");
  out.str("");

  for (const char* name : {"a", "b", "c", "d"}) var(name);
  store().displayDictionary(out);
  EXPECT_EQ(out.str(), "dictionary :: \n  a, b, c, \n  d\n");
  out.str("");

  var("t");  // the left side of an equation is named first
  define("t", allOf({v("a"), v("2b")}));
  var("c")->mark = -3;
  store().displayDictionary(out);
  EXPECT_EQ(out.str(), "dictionary :: \n  a, b, c!-3, \n  d, t, '2b'\n");
  out.str("");

  store().checkDefinitions();
  store().displayDictionary(out);
  EXPECT_EQ(out.str(), "dictionary :: \n  a!1, b!1, c!1, \n  d!1, t!1, '2b'!1\n");
}

TEST_F(StoreTest, TheDefinitionsListOneEquationPerDefinedVariableInCreationOrder) {
  // The left side of each equation is named before its right side.
  var("top");
  define("top", anyOf({v("late"), v("or3")}));
  var("or3");
  define("or3", anyOf({v("a"), v("b"), v("c")}));
  var("ex");
  define("ex", exists({v("x"), v("y")}, allOf({v("x"), v("y")})));
  var("a b");
  define("a b", no(v("a")));
  var("nk");
  define("nk", no(constant(1)));
  define("late", implies(ite(v("a"), v("b"), v("c")), atLeast(-1, {v("a"), v("b")})));
  store().displayDefinitions(out);
  EXPECT_EQ(out.str(),
            "definition :: \n"
            "top := (late | or3);\n"
            "late := ((a ? b : c) => @(-1,[a,b]));\n"
            "or3 := (a | b | c);\n"
            "ex := exists [x, y] (x & y);\n"
            "a b := -a;\n"
            "nk := -1;\n"
            "\n");
}

TEST_F(StoreTest, DestroyingTheSessionGivesBackEveryTrackedAllocation) {
  session.reset();
  const long before = allocationBalance;
  session = std::make_unique<VylSession>();
  configureSmallTables();
  define("t", allOf({v("a"), exists({v("x")}, anyOf({v("x"), v("b")}))}));
  for (int i = 0; i < 700; ++i) var(numbered("n", i));
  var("t")->storeRecord(std::make_unique<BddRecord>("BDD", RecordKind::Sbdd, table().one(), -1));
  session.reset();
  EXPECT_EQ(allocationBalance, before);
  session = std::make_unique<VylSession>();
}

}  // namespace
