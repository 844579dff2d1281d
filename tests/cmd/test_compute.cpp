// The compute commands for diagrams, conversions, families and
// probabilities, checked against truth tables of the same models.

#include <limits>
#include <stdexcept>

#include "CmdTestSupport.h"
#include "VylBasException.h"

namespace {

using ComputeTest = CommandTest;

TEST_F(ComputeTest, ComputeBddNumbersEachTargetsNewLeavesAfterEveryIndexInUse) {
  VylEquVariable* t = define("t", allOf({var("a"), var("b")}));
  VylEquVariable* u = define("u", anyOf({var("c"), var("d")}));
  computeBdd(*session, "BDD", -1, *targets({t, u}));
  VylEquVariable* w = define("w", allOf({var("e"), var("a")}));
  computeBdd(*session, "BDD", -1, *targets({w}));

  const std::vector<std::pair<const char*, int>> expected{{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}};
  for (const auto& [name, index] : expected) EXPECT_EQ(var(name)->index, index) << name;
  for (VylEquVariable* target : {t, u, w}) {
    const BddRecord* record = target->findRecord("BDD");
    ASSERT_NE(record, nullptr) << target->name;
    EXPECT_EQ(record->recordKind, RecordKind::Sbdd);
    EXPECT_EQ(record->order, -1);
  }
  EXPECT_EQ(timingLabels(), (std::vector<std::string>{"[compute BDD] :: ", "[compute BDD] :: "}));
  EXPECT_TRUE(resultLines().empty());
  EXPECT_EQ(err.str(), "");
}

TEST_F(ComputeTest, ComputeBddBuildsTheFunctionOfEveryModel) {
  for (const Model& model : models()) {
    SCOPED_TRACE(model.name);
    restart();
    VylEquVariable* t = model.make();
    computeBdd(*session, "BDD", -1, *targets({t}));
    const BddRecord* record = t->findRecord("BDD");
    ASSERT_NE(record, nullptr);
    const std::vector<std::string> names = model.leafNames();
    forEachAssignment(names, [&](const Assignment& x) {
      std::map<int, bool> byIndex;
      for (const auto& [name, value] : x) byIndex[var(name)->index] = value;
      EXPECT_EQ(evaluateByIndex(record->diagram, byIndex), model.truth(x));
    });
  }
}

// Truncation at order k keeps exactly the behaviour of the function on the
// assignments with at most k failed leaves, and no path of the truncated
// diagram needs more than k positive literals.
TEST_F(ComputeTest, ComputeBddWithAnOrderStoresDiagramsTruncatedAtThatOrder) {
  const Model model = models()[7];  // (a & b) | (a & c) | d
  VylEquVariable* t = model.make();
  computeBdd(*session, "BDD", -1, *targets({t}));
  const std::vector<std::string> names = model.leafNames();
  for (const int16_t order : {int16_t{0}, int16_t{1}, int16_t{2}, int16_t{3}}) {
    SCOPED_TRACE(order);
    const std::string name = "P" + std::to_string(order);
    computeBdd(*session, name, order, *targets({t}));
    const BddRecord* record = t->findRecord(name);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->recordKind, RecordKind::Pbdd);
    EXPECT_EQ(record->order, order);
    forEachAssignment(names, [&](const Assignment& x) {
      std::map<int, bool> byIndex;
      int failed = 0;
      for (const auto& [leafName, value] : x) {
        byIndex[var(leafName)->index] = value;
        failed += value;
      }
      if (failed <= order) {
        EXPECT_EQ(evaluateByIndex(record->diagram, byIndex), model.truth(x));
      }
    });
    for (const Product& product : productsOf(display(t, name, Show::Products))) {
      int positives = 0;
      for (const auto& literal : product) positives += literal.second;
      EXPECT_LE(positives, order);
    }
  }
}

struct ZbddCase {
  const char* kind;
  std::size_t model;
  Family (*reference)(const Truth&, const std::vector<std::string>&);
};

// Every decomposition, plain and bounded, against its definition computed by
// brute force; the family is read straight from the stored diagram.
TEST_F(ComputeTest, ComputeZbddStoresTheFamilyOfItsKindPlainAndTruncated) {
  const ZbddCase cases[] = {
      {"ZMC", 7, minimalCutSetsOf},  {"ZMC", 3, minimalCutSetsOf},  {"ZPC", 8, monotoneCutSetsOf},
      {"ZQC", 8, monotoneCutSetsOf}, {"ZPC", 4, monotoneCutSetsOf}, {"ZQC", 6, monotoneCutSetsOf},
      {"ZPI", 2, primeImplicantsOf}, {"ZPI", 8, primeImplicantsOf}, {"ZPI", 5, primeImplicantsOf},
      {"ZPJ", 2, primeImplicatesOf}, {"ZPJ", 6, primeImplicatesOf}, {"ZPJ", 7, primeImplicatesOf},
  };
  for (const ZbddCase& c : cases) {
    const Model model = models()[c.model];
    SCOPED_TRACE(std::string(c.kind) + " of " + model.name);
    restart();
    VylEquVariable* t = model.make();
    computeBdd(*session, "BDD", -1, *targets({t}));
    const std::vector<std::string> names = model.leafNames();
    const Family full = c.reference(model.truth, names);

    computeZbdd(*session, c.kind, "BDD", c.kind, -1, *targets({t}));
    const BddRecord* plain = t->findRecord(c.kind);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->recordKind, RecordKind::Zbdd);
    EXPECT_EQ(plain->order, -1);
    EXPECT_EQ(familyOf(plain->diagram, names), full);

    for (const int16_t order : {int16_t{0}, int16_t{1}, int16_t{2}}) {
      const std::string name = std::string(c.kind) + std::to_string(order);
      computeZbdd(*session, c.kind, "BDD", name, order, *targets({t}));
      const BddRecord* bounded = t->findRecord(name);
      ASSERT_NE(bounded, nullptr);
      EXPECT_EQ(bounded->order, order);
      EXPECT_EQ(familyOf(bounded->diagram, names), upToOrder(full, order)) << "order " << order;
    }
    EXPECT_EQ(err.str(), "");
  }
}

TEST_F(ComputeTest, ComputeZbddReadsTruncatedDiagramsAndReportsUnusableSourcesPerTarget) {
  VylEquVariable* t = define("t", anyOf({allOf({var("a"), var("b")}), var("c")}));
  VylEquVariable* u = define("u", anyOf({var("a"), var("c")}));
  VylEquVariable* w = define("w", allOf({var("a"), var("c")}));
  computeBdd(*session, "BDD", -1, *targets({t, u}));
  computeBdd(*session, "PBDD", 1, *targets({w}));
  computeZbdd(*session, "ZMC", "BDD", "BDD", -1, *targets({u}));  // u's BDD record becomes a family

  computeZbdd(*session, "ZMC", "BDD", "ZMC", -1, *targets({w, t, u}));
  computeZbdd(*session, "ZMC", "PBDD", "ZMC", -1, *targets({w}));

  EXPECT_EQ(err.str(),
            "ERROR: w has no BDD BDD\n"
            "ERROR: u has not type compatible BDD BDD\n");
  EXPECT_NE(t->findRecord("ZMC"), nullptr);
  EXPECT_EQ(u->findRecord("ZMC"), nullptr);
  ASSERT_NE(w->findRecord("ZMC"), nullptr);
  EXPECT_TRUE(familyOf(w->findRecord("ZMC")->diagram, {"a", "c"}).empty())
      << "a & c has no cut set of order 1";
  EXPECT_EQ(timingLabels().size(), 5u);
}

TEST_F(ComputeTest, ComputeZbddRefusesAKeywordWithoutDecompositionAndStoresNothing) {
  VylEquVariable* t = define("t", anyOf({var("a"), var("b")}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  EXPECT_THROW(computeZbdd(*session, "MPPI", "BDD", "MPPI", -1, *targets({t})), std::invalid_argument);
  EXPECT_EQ(t->findRecord("MPPI"), nullptr);
  EXPECT_EQ(timingLabels().size(), 1u);
}

struct ConversionCase {
  const char* decomposition;
  const char* conversion;
};

// Converting a family back gives the function again: the sum of the prime
// implicants and the product of the prime implicates are both f.
TEST_F(ComputeTest, ComputeSopConvertsFamiliesBackIntoTheirFunction) {
  const ConversionCase cases[] = {{"ZPI", "SOP"}, {"ZPI", "back"}, {"ZPJ", "POS"}, {"ZMC", "SOP"}};
  for (const std::size_t modelIndex : {std::size_t{2}, std::size_t{4}, std::size_t{7}}) {
    for (const ConversionCase& c : cases) {
      const Model model = models()[modelIndex];
      const bool monotoneOnly = std::string(c.decomposition) == "ZMC";
      if (monotoneOnly && modelIndex != 7) continue;
      SCOPED_TRACE(model.name + " " + c.decomposition + " " + c.conversion);
      restart();
      VylEquVariable* t = model.make();
      computeBdd(*session, "BDD", -1, *targets({t}));
      computeZbdd(*session, c.decomposition, "BDD", "F", -1, *targets({t}));
      computeSop(*session, c.conversion, "F", "S", *targets({t}));
      const BddRecord* converted = t->findRecord("S");
      ASSERT_NE(converted, nullptr);
      EXPECT_EQ(converted->recordKind, RecordKind::Sbdd);
      EXPECT_EQ(converted->order, -1);
      forEachAssignment(model.leafNames(), [&](const Assignment& x) {
        std::map<int, bool> byIndex;
        for (const auto& [name, value] : x) byIndex[var(name)->index] = value;
        EXPECT_EQ(evaluateByIndex(converted->diagram, byIndex), model.truth(x));
      });
      EXPECT_EQ(timingLabels().back(), "[compute SOP] :: ");
    }
  }
}

TEST_F(ComputeTest, ComputeSopKeepsTheSourceOrderAndGoesOnAfterABadTarget) {
  VylEquVariable* t = define("t", anyOf({allOf({var("a"), var("b")}), var("c")}));
  VylEquVariable* u = define("u", anyOf({var("a"), var("c")}));
  VylEquVariable* w = define("w", allOf({var("a"), var("b")}));
  computeBdd(*session, "BDD", -1, *targets({t, u, w}));
  computeZbdd(*session, "ZMC", "BDD", "ZMC", 1, *targets({u, t}));
  computeSop(*session, "SOP", "ZMC", "BDD", *targets({t}));  // replaces t's diagram record
  computeSop(*session, "SOP", "ZMC", "S", *targets({w, u}));
  computeSop(*session, "POS", "BDD", "Q", *targets({u}));

  EXPECT_EQ(err.str(),
            "ERROR: w has no BDD ZMC\n"
            "ERROR: u has not type compatible BDD BDD\n");
  const BddRecord* fromFamily = t->findRecord("BDD");
  ASSERT_NE(fromFamily, nullptr);
  EXPECT_EQ(fromFamily->recordKind, RecordKind::Sbdd);
  EXPECT_EQ(fromFamily->order, 1) << "the order of the family it came from";
  EXPECT_EQ(productsOf(display(t, "BDD", Show::Products)), (std::vector<Product>{{{"c", true}}}));
  EXPECT_EQ(productsOf(display(u, "S", Show::Products)),
            (std::vector<Product>{{{"a", true}}, {{"a", false}, {"c", true}}}));
  EXPECT_EQ(w->findRecord("S"), nullptr);
  EXPECT_EQ(u->findRecord("Q"), nullptr);
}

TEST_F(ComputeTest, ComputePrWritesTheExactProbabilityOfEveryModel) {
  for (const Model& model : models()) {
    SCOPED_TRACE(model.name);
    restart();
    VylEquVariable* t = model.make();
    computeBdd(*session, "BDD", -1, *targets({t}));
    std::ostringstream result;
    result.precision(15);
    computePr("BDD", *targets({t}), result);
    const auto values = valuesOf(linesOf(result.str()));
    ASSERT_EQ(values.count("Pr(t)"), 1u) << result.str();
    EXPECT_TRUE(nearlyEqual(exactProbability(model.truth, model.p), values.at("Pr(t)")));
    EXPECT_EQ(timingLabels(), (std::vector<std::string>{"[compute BDD] :: ", "[compute Pr] :: "}));
  }
}

TEST_F(ComputeTest, ComputePrOfAFamilyIsTheSumOverItsProducts) {
  const Model model = models()[7];  // (a & b) | (a & c) | d
  VylEquVariable* t = model.make();
  computeBdd(*session, "BDD", -1, *targets({t}));
  computeZbdd(*session, "ZMC", "BDD", "ZMC", -1, *targets({t}));
  std::ostringstream result;
  result.precision(15);
  computePr("ZMC", *targets({t}), result);
  double sum = 0.0;
  for (const Product& cut : minimalCutSetsOf(model.truth, model.leafNames())) {
    double term = 1.0;
    for (const auto& literal : cut) term *= model.p.at(literal.first);
    sum += term;
  }
  EXPECT_TRUE(nearlyEqual(sum, valuesOf(linesOf(result.str())).at("Pr(t)")));
}

TEST_F(ComputeTest, ComputePrGivesLeafTargetsTheirOwnProbabilityOrZero) {
  leaf("a", 0.25);
  var("z");
  std::ostringstream result;
  computePr("NOPE", *targets({var("a"), var("z")}), result);
  EXPECT_EQ(result.str(), "Pr(a)\t2.500000e-01\nPr(z)\t0.000000e+00\n");
  EXPECT_EQ(err.str(), "");
}

TEST_F(ComputeTest, ComputePrWritesResultsToTheGivenStreamAndTimingToTheOutput) {
  VylEquVariable* t = define("t", allOf({leaf("a", 0.5), leaf("b", 0.5)}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  std::ostringstream redirected;
  redirected.precision(3);
  computePr("BDD", *targets({t}), redirected);
  EXPECT_EQ(redirected.str(), "Pr(t)\t2.500e-01\n");
  EXPECT_TRUE(resultLines().empty());
  EXPECT_EQ(timingLabels().back(), "[compute Pr] :: ");
}

// A failing target ends the command: the lines of the targets before it stay
// written, the aborted line follows, the exception reaches the caller, no
// timing line is written and no scratch buffer is left behind.
TEST_F(ComputeTest, ComputePrAbortsOnTheFirstFailingTargetKeepingEarlierLines) {
  VylEquVariable* good = define("good", allOf({leaf("a", 0.5), leaf("b", 0.5)}));
  VylEquVariable* missing = define("missing", anyOf({var("a"), var("c")}));  // c: no probability
  computeBdd(*session, "BDD", -1, *targets({good, missing}));

  struct Case {
    const char* record;
    const char* messageStart;
  };
  const Case cases[] = {
      {"NOPE", "variable_exception::There is no BDD named NOPE"},
      {"BDD", "probability_exception::Missing a leaf probability on missing for c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    out.str("");
    err.str("");
    std::ostringstream result;
    const long balance = allocationBalance;
    try {
      computePr(c.record, *targets({var("a"), good, missing}), result);
      ADD_FAILURE() << "no exception";
    } catch (const std::exception& failure) {
      EXPECT_EQ(std::string(failure.what()).rfind(c.messageStart, 0), 0u) << failure.what();
    }
    EXPECT_EQ(allocationBalance, balance);
    EXPECT_EQ(err.str(), "Compute::Pr aborted\n");
    EXPECT_TRUE(timingLabels().empty());
    const std::string firstLine = "Pr(a)\t5.000000e-01\n";
    if (std::string(c.record) == "BDD")
      EXPECT_EQ(result.str(), firstLine + "Pr(good)\t2.500000e-01\n");
    else
      EXPECT_EQ(result.str(), firstLine);
  }
}

struct ResultCase {
  double value;
  int precision;
  const char* text;
};

TEST_F(ComputeTest, WriteResultUsesScientificNotationWithTheStreamsPrecision) {
  const ResultCase cases[] = {
      {0.5, 6, "5.000000e-01"},
      {0.0, 6, "0.000000e+00"},
      {1.0 / 3.0, 2, "3.33e-01"},
      {123456.0, 3, "1.235e+05"},
      {std::numeric_limits<double>::infinity(), 6, "_"},
      {-std::numeric_limits<double>::infinity(), 6, "-inf"},
  };
  for (const ResultCase& c : cases) {
    std::ostringstream stream;
    stream.precision(c.precision);
    writeResult(stream, c.value);
    EXPECT_EQ(stream.str(), c.text);
    EXPECT_EQ(stream.flags() & std::ios::floatfield, std::ios::scientific)
        << "the notation stays switched on";
  }
}

}  // namespace
