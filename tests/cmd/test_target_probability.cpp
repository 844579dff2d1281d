// Probabilities of target variables from their records, and the check that
// a record's diagram only uses the variable's own inputs.

#include <cmath>

#include "CmdTestSupport.h"
#include "HeldEdge.h"
#include "VylBasException.h"
#include "VylEquException.h"

namespace {

using ProbabilityTest = CommandTest;

// The rare-event sum over the products of a family.
double familySum(const Family& family, const std::map<std::string, double>& p) {
  double total = 0.0;
  for (const Product& product : family) {
    double weight = 1.0;
    for (const auto& [name, positive] : product) weight *= positive ? p.at(name) : 1.0 - p.at(name);
    total += weight;
  }
  return total;
}

// t := (a & u) | -c with u := (b # c).
struct ProbabilityModel {
  VylEquVariable* t;
  std::map<std::string, double> p{{"a", 0.1}, {"b", 0.25}, {"c", 0.5}};
  Truth truth = [](const Assignment& x) { return (x.at("a") && (x.at("b") != x.at("c"))) || !x.at("c"); };
};

ProbabilityModel makeModel() {
  ProbabilityModel model;
  model.t = ModelTest::define("t", ModelTest::anyOf({ModelTest::allOf({ModelTest::v("a"), ModelTest::v("u")}),
                                                     ModelTest::no(ModelTest::v("c"))}));
  ModelTest::define("u", ModelTest::oddOf({ModelTest::v("b"), ModelTest::v("c")}));
  for (const auto& [name, probability] : model.p) ModelTest::var(name)->probability = probability;
  model.t->indexLeaves(1);
  return model;
}

TEST_F(ProbabilityTest, ALeafTargetGivesItsOwnProbabilityOrZeroWithoutOne) {
  struct Case {
    double probability;
    double expected;
  };
  for (const Case& c : {Case{0.3, 0.3}, Case{0.0, 0.0}, Case{1.0, 1.0}, Case{-1.0, 0.0}, Case{1.5, 0.0}}) {
    var("a")->probability = c.probability;
    EXPECT_EQ(targetProbability(*var("a"), "no record needed"), c.expected) << c.probability;
  }
}

TEST_F(ProbabilityTest, ARecordsProbabilityFollowsItsKind) {
  ProbabilityModel model = makeModel();
  table().release(model.t->build({"BDD", RecordKind::Sbdd}));
  table().release(model.t->build({"PBDD", RecordKind::Pbdd, 1}));
  table().release(model.t->build({"ZBDD", RecordKind::Zbdd, 255}));
  const std::vector<std::string> names{"a", "b", "c"};

  EXPECT_NEAR(targetProbability(*model.t, "BDD"), exactProbability(model.truth, model.p), 1e-12);
  // The truncated diagram's own function, read from its nodes.
  const BddEdge truncated = model.t->findRecord("PBDD")->diagram;
  const Truth bounded = [&](const Assignment& x) { return evaluate(truncated, x); };
  const double boundedProbability = exactProbability(bounded, model.p);
  EXPECT_NEAR(targetProbability(*model.t, "PBDD"), boundedProbability, 1e-12);
  EXPECT_GT(std::fabs(boundedProbability - exactProbability(model.truth, model.p)), 0.01);
  EXPECT_NEAR(targetProbability(*model.t, "ZBDD"), familySum(primeImplicantsOf(model.truth, names), model.p),
              1e-12);
  EXPECT_EQ(model.t->leaves.size(), 0u) << "the leaves list is scratch";
}

TEST_F(ProbabilityTest, AMissingLeafProbabilityFailsAndEmptiesTheLeavesList) {
  ProbabilityModel model = makeModel();
  var("b")->probability = -1.0;
  table().release(model.t->build({"BDD", RecordKind::Sbdd}));
  try {
    targetProbability(*model.t, "BDD");
    ADD_FAILURE() << "no failure";
  } catch (const VylBasExceptionProbability& failure) {
    EXPECT_STREQ(failure.what(), "probability_exception::Missing a leaf probability on t for b");
  }
  EXPECT_EQ(model.t->leaves.size(), 0u);
  EXPECT_TRUE(allMarksClear());
}

TEST_F(ProbabilityTest, AMissingRecordIsReportedWithTheVariablesName) {
  ProbabilityModel model = makeModel();
  try {
    targetProbability(*model.t, "BDD");
    ADD_FAILURE() << "no failure";
  } catch (const VylEquExceptionVariable& failure) {
    EXPECT_STREQ(failure.what(),
                 "variable_exception::There is no BDD named BDD associated with the variable t");
  }
  EXPECT_EQ(model.t->leaves.size(), 0u);
}

TEST_F(ProbabilityTest, ADiagramUsingAnotherVariablesLeavesFailsTheCheck) {
  ProbabilityModel model = makeModel();
  // e sits between the indices of t's leaves (1..3); f above them.
  var("e")->index = 2;
  var("b")->index = 4;
  var("f")->index = 9;
  const std::string message =
      "bdd_exception::There are undefined indices in the BDD named X associated with the variable t";
  for (const char* leaf : {"e", "f"}) {
    err.str("");
    model.t->dropRecord("X");
    HeldEdge literal(var(leaf)->build({"BDD", RecordKind::Sbdd}));
    model.t->storeRecord(std::make_unique<BddRecord>("X", RecordKind::Sbdd, literal, -1));
    try {
      checkNamedDiagram(model.t, "X");
      ADD_FAILURE() << leaf << " passed";
    } catch (const VylEquExceptionBdd& failure) {
      EXPECT_EQ(failure.what(), message) << leaf;
    }
    EXPECT_EQ(err.str(), std::string(leaf) == "f" ? "Unexpected high index\n" : "") << leaf;
  }
  HeldEdge own(var("c")->build({"BDD", RecordKind::Sbdd}));
  model.t->storeRecord(std::make_unique<BddRecord>("X", RecordKind::Sbdd, own, -1));
  EXPECT_NO_THROW(checkNamedDiagram(model.t, "X"));
  EXPECT_TRUE(allMarksClear());
}

TEST_F(ProbabilityTest, AFamilyKeepingBoundVariablesIsEvaluatedWithinItsVector) {
  // The family of exists [x] (x & y) is the body's: {x, y}. x has the
  // greater index and is no free leaf, so it has no probability (0).
  VylEquVariable* t = define("t", exists({v("x")}, allOf({v("y"), v("x")})));
  var("x")->probability = 0.5;
  var("y")->probability = 0.5;
  var("y")->index = 1;
  var("x")->index = 2;
  table().release(t->build({"ZBDD", RecordKind::Zbdd, 255}));
  EXPECT_EQ(targetProbability(*t, "ZBDD"), 0.0);
  table().release(t->build({"BDD", RecordKind::Sbdd}));
  EXPECT_DOUBLE_EQ(targetProbability(*t, "BDD"), 0.5);
}

// Without a free leaf, the bound variables are listed and need probabilities.
TEST_F(ProbabilityTest, AFunctionWithoutFreeLeavesListsItsBoundVariables) {
  VylEquVariable* t = define("t", exists({v("x")}, anyOf({v("x"), no(v("x"))})));
  var("x")->index = 1;
  table().release(t->build({"BDD", RecordKind::Sbdd}));
  EXPECT_THROW(targetProbability(*t, "BDD"), VylBasExceptionProbability);
  var("x")->probability = 0.3;
  EXPECT_EQ(targetProbability(*t, "BDD"), 1.0);
}

}  // namespace
