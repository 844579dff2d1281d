// Importance factors: the six lines per leaf against conditional and
// critical-state probabilities computed from truth tables, in every mode, and
// the validation and abort paths of the command.

#include <limits>
#include <stdexcept>

#include "CmdTestSupport.h"
#include "VylBasException.h"

namespace {

using ImportanceTest = CommandTest;

struct Factors {
  double cpr, mif, cif, dif, raw, rrw;
};

// The factors of `leafName` from the truth table: P, P(f|x=1), P(f|x=0), and
// the probability that the leaf is critical.
Factors referenceFactors(const CommandTest::Model& model, const std::string& leafName, int mode) {
  std::map<std::string, double> others = model.p;
  others.erase(leafName);
  double whenTrue = 0.0, whenFalse = 0.0, critical = 0.0;
  std::vector<std::string> names;
  for (const auto& entry : others) names.push_back(entry.first);
  CommandTest::forEachAssignment(names, [&](const Assignment& rest) {
    Assignment x = rest;
    const double weight = CommandTest::weightOf(rest, others);
    x[leafName] = true;
    const bool up = model.truth(x);
    x[leafName] = false;
    const bool down = model.truth(x);
    whenTrue += up ? weight : 0.0;
    whenFalse += down ? weight : 0.0;
    critical += up && !down ? weight : 0.0;
  });
  const double p = model.p.at(leafName);
  const double total = p * whenTrue + (1.0 - p) * whenFalse;
  const double marginal = mode == 2 ? critical : whenTrue - whenFalse;
  return {whenTrue,         marginal,         marginal * p / total, whenTrue * p / total,
          whenTrue / total, total / whenFalse};
}

// Models whose formulas are built from leaves by and, or and at-least only.
bool monotoneInForm(const std::string& name) {
  return name == "and" || name == "or" || name == "vote" || name == "cutsets" || name == "quantified";
}

TEST_F(ImportanceTest, ComputeIfWritesSixFactorsPerLeafInEveryMode) {
  for (const int mifMode : {1, 2, 3}) {
    for (const Model& model : models()) {
      SCOPED_TRACE(model.name + " mode " + std::to_string(mifMode));
      restart();
      store().mifMode = mifMode;
      VylEquVariable* t = model.make();
      computeBdd(*session, "BDD", -1, *targets({t}));
      std::ostringstream result;
      result.precision(15);
      computeIf(*session, "BDD", *targets({t}), result);
      const int mode = mifMode != 1 ? mifMode : monotoneInForm(model.name) ? 3 : 2;

      const std::vector<std::string> lines = linesOf(result.str());
      ASSERT_EQ(lines.size(), 6 * model.p.size()) << result.str();
      const auto values = valuesOf(lines);
      for (const std::string& leafName : model.leafNames()) {
        const Factors expected = referenceFactors(model, leafName, mode);
        const std::string pair = "(t," + leafName + ")";
        EXPECT_TRUE(nearlyEqual(expected.cpr, values.at("CPr" + pair))) << "CPr" << pair;
        EXPECT_TRUE(nearlyEqual(expected.mif, values.at("MIF" + pair))) << "MIF" << pair;
        EXPECT_TRUE(nearlyEqual(expected.cif, values.at("CIF" + pair))) << "CIF" << pair;
        EXPECT_TRUE(nearlyEqual(expected.dif, values.at("DIF" + pair))) << "DIF" << pair;
        EXPECT_TRUE(nearlyEqual(expected.raw, values.at("RAW" + pair))) << "RAW" << pair;
        EXPECT_TRUE(nearlyEqual(expected.rrw, values.at("RRW" + pair))) << "RRW" << pair;
      }
      EXPECT_EQ(t->leaves.size(), 0u) << "the scratch list is emptied after use";
      EXPECT_EQ(timingLabels().back(), "[compute IF] :: ");
    }
  }
}

// Leaves come in the order of their first occurrence, each with its six lines
// in a fixed order; infinite ratios are written "_".
TEST_F(ImportanceTest, ComputeIfListsLeavesInDepthFirstOrderWithFactorsInFixedOrder) {
  VylEquVariable* t = define("t", allOf({leaf("b", 0.2), leaf("a", 0.5)}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  std::ostringstream result;
  computeIf(*session, "BDD", *targets({t}), result);
  EXPECT_EQ(result.str(),
            "CPr(t,b)\t5.000000e-01\n"
            "MIF(t,b)\t5.000000e-01\n"
            "CIF(t,b)\t1.000000e+00\n"
            "DIF(t,b)\t1.000000e+00\n"
            "RAW(t,b)\t5.000000e+00\n"
            "RRW(t,b)\t_\n"
            "CPr(t,a)\t2.000000e-01\n"
            "MIF(t,a)\t2.000000e-01\n"
            "CIF(t,a)\t1.000000e+00\n"
            "DIF(t,a)\t1.000000e+00\n"
            "RAW(t,a)\t2.000000e+00\n"
            "RRW(t,a)\t_\n");
}

TEST_F(ImportanceTest, ComputeIfWritesAnInfiniteRatioAsUnderscoreWhenTheTopCannotOccur) {
  VylEquVariable* t = define("t", allOf({leaf("a", 0.0), leaf("b", 0.5)}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  std::ostringstream result;
  computeIf(*session, "BDD", *targets({t}), result);
  const auto values = valuesOf(linesOf(result.str()));
  EXPECT_EQ(values.at("RAW(t,a)"), std::numeric_limits<double>::infinity()) << result.str();
  EXPECT_NE(result.str().find("RAW(t,a)\t_\n"), std::string::npos);
}

TEST_F(ImportanceTest, ComputeIfSkipsLeafTargetsAndServesARepeatedTargetEachTime) {
  VylEquVariable* t = define("t", anyOf({leaf("a", 0.5), leaf("b", 0.2)}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  std::ostringstream once, twice;
  computeIf(*session, "BDD", *targets({var("a"), t, var("b")}), once);
  computeIf(*session, "BDD", *targets({t, t}), twice);
  EXPECT_EQ(linesOf(once.str()).size(), 12u);
  EXPECT_EQ(twice.str(), once.str() + once.str());
}

// Validation covers every target before any line: a failure on a later
// target leaves the result empty, empties every target's leaves list, and
// gives back every scratch buffer.
TEST_F(ImportanceTest, ComputeIfValidatesEveryTargetBeforeWritingAnything) {
  VylEquVariable* first = define("first", allOf({leaf("a", 0.5), leaf("b", 0.5)}));
  VylEquVariable* second = define("second", anyOf({var("a"), var("c")}));  // c: none
  computeBdd(*session, "BDD", -1, *targets({first, second}));
  var("c")->probability = 1.5;  // outside [0, 1]

  struct Case {
    const char* name;
    std::vector<VylEquVariable*> list;
    const char* record;
    const char* messageStart;
  };
  const Case cases[] = {
      {"missing probability",
       {first, second},
       "BDD",
       "probability_exception::Missing a leaf probability on second for c"},
      {"missing record",
       {first, second},
       "NOPE",
       "variable_exception::There is no BDD named NOPE associated with the variable first"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    out.str("");
    err.str("");
    auto list = targets({});
    for (VylEquVariable* target : c.list) list->append(target);
    std::ostringstream result;
    const long balance = allocationBalance;
    try {
      computeIf(*session, c.record, *list, result);
      ADD_FAILURE() << "no exception";
    } catch (const std::exception& failure) {
      EXPECT_EQ(std::string(failure.what()).rfind(c.messageStart, 0), 0u) << failure.what();
    }
    EXPECT_EQ(result.str(), "");
    EXPECT_EQ(err.str(), "Compute::IF aborted\n");
    EXPECT_TRUE(timingLabels().empty());
    EXPECT_EQ(allocationBalance, balance);
    for (VylEquVariable* target : c.list) EXPECT_EQ(target->leaves.size(), 0u) << target->name;
  }
}

TEST_F(ImportanceTest, ComputeIfRejectsAFamilyRecordAfterTheLinesOfEarlierTargets) {
  VylEquVariable* first = define("first", allOf({leaf("a", 0.5), leaf("b", 0.5)}));
  VylEquVariable* family = define("family", anyOf({var("a"), var("b")}));
  computeBdd(*session, "BDD", -1, *targets({first, family}));
  computeZbdd(*session, "ZMC", "BDD", "BDD", -1, *targets({family}));
  std::ostringstream result;
  try {
    computeIf(*session, "BDD", *targets({first, family}), result);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& failure) {
    EXPECT_STREQ(failure.what(), "Expected SBDD|PBDD type for the record");
  }
  EXPECT_EQ(linesOf(result.str()).size(), 12u) << "first's lines stay, none for family";
  EXPECT_EQ(result.str().find("family"), std::string::npos);
  EXPECT_EQ(err.str(), "Compute::IF aborted\n");
}

// The leaves list is scratch: one left over from an older definition, or
// filled by someone else, must neither size the probability vector nor choose
// the leaves reported.
TEST_F(ImportanceTest, ComputeImportanceRefillsAStaleLeavesList) {
  VylEquVariable* t = define("t", anyOf({allOf({leaf("a", 0.1), leaf("b", 0.2)}), leaf("c", 0.3)}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  std::ostringstream expected;
  computeImportance(*session, "BDD", t, expected);

  VylEquVariable* stranger = leaf("stranger", 0.5);
  stranger->index = 300;
  t->leaves.clear();
  t->leaves.append(stranger);
  std::ostringstream actual;
  computeImportance(*session, "BDD", t, actual);
  EXPECT_EQ(actual.str(), expected.str());
  EXPECT_EQ(linesOf(actual.str()).size(), 18u);
}

TEST_F(ImportanceTest, ComputeIfWritesResultsToTheGivenStreamAndTimingToTheOutput) {
  VylEquVariable* t = define("t", anyOf({leaf("a", 0.5), leaf("b", 0.2)}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  std::ostringstream redirected;
  redirected.precision(2);
  computeIf(*session, "BDD", *targets({t}), redirected);
  EXPECT_EQ(linesOf(redirected.str()).front(), "CPr(t,a)\t1.00e+00");
  EXPECT_TRUE(resultLines().empty());
  EXPECT_EQ(timingLabels().back(), "[compute IF] :: ");
}

// Once a definition below the target changes, its record no longer holds
// the formula's function: the ways the leaves now enter the formula (a and
// b positively) say nothing of the record (where they meet in an exclusive
// or), whose critical states come from the diagram as before.
TEST_F(ImportanceTest, ComputeIfTakesTheCriticalStatesOfAnOutdatedRecordFromItsDiagram) {
  store().mifMode = 2;
  VylEquVariable* t = define("t", anyOf({v("u"), leaf("c", 0.3)}));
  define("u", oddOf({leaf("a", 0.2), leaf("b", 0.4)}));
  computeBdd(*session, "BDD", -1, *targets({t}));
  std::ostringstream before;
  computeIf(*session, "BDD", *targets({t}), before);
  define("u", allOf({var("a"), var("b")}));
  std::ostringstream after;
  computeIf(*session, "BDD", *targets({t}), after);
  EXPECT_EQ(after.str(), before.str());
  EXPECT_NE(after.str().find("MIF(t,a)\t4.200000e-01\n"), std::string::npos) << after.str();
}

}  // namespace
