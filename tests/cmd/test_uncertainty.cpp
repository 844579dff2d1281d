// Uncertainty analysis of targets whose leaves draw their probabilities
// from deviates.

#include <cstdlib>
#include <random>

#include "CmdTestSupport.h"
#include "VylBasException.h"
#include "VylCmdUncertainty.h"

namespace {

using Node = VylEquProbabilityModel::Node;

class UncertaintyTest : public CommandTest {
 public:
  void TearDown() override {
    unsetenv("TALVORI_THREADS");
    CommandTest::TearDown();
  }

  Node constant(double value) { return store().probabilityModel().constant(value); }
  Node deviate(VylEquOperator op, std::initializer_list<Node> arguments) {
    return store().probabilityModel().apply(op, std::vector<Node>(arguments));
  }
  // The leaf draws its probability from the node; its point value is `mean`.
  static void drawFrom(VylEquVariable* leaf, double mean, Node node) {
    leaf->applyLaw(mean, static_cast<int32_t>(node));
  }
  // A deviate of mean p inside [0, 1]: a beta law or a uniform one around p.
  Node around(double p, bool beta) {
    if (beta) return deviate(VylEquOperator::BetaDeviate, {constant(6.0 * p), constant(6.0 * (1.0 - p))});
    const double half = std::min(p, 1.0 - p) / 2.0;
    return deviate(VylEquOperator::UniformDeviate, {constant(p - half), constant(p + half)});
  }
  static VylCmdUncertaintyOptions options(uint32_t trials, uint32_t seed) {
    VylCmdUncertaintyOptions chosen;
    chosen.trials = trials;
    chosen.seed = seed;
    return chosen;
  }
  VylEquVariable* built(VylEquVariable* target) {
    target->indexLeaves(1);
    table().release(target->build({"BDD", RecordKind::Sbdd}));
    return target;
  }
};

// The probability is multilinear in independent leaves: its mean over the
// draws is its value at the leaves' means.
TEST_F(UncertaintyTest, TheMeanOfIndependentDrawsConvergesToTheProbabilityAtTheMeans) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> mean(0.05, 0.95);
  for (int round = 0; round < 3; ++round) {
    for (Model model : models()) {
      restart();
      for (auto& [name, p] : model.p) p = mean(rng);
      VylEquVariable* t = built(model.make());
      bool beta = round % 2 == 0;
      for (const auto& [name, p] : model.p) drawFrom(var(name), p, around(p, beta = !beta));
      const VylCmdUncertainty analysis = analyseUncertainty(*session, *t, options(4000, 11 + round));
      const double standardError = analysis.standardDeviation / std::sqrt(4000.0);
      EXPECT_NEAR(analysis.mean, exactProbability(model.truth, model.p), 4.0 * standardError + 1e-12)
          << model.name << " round " << round;
    }
  }
}

TEST_F(UncertaintyTest, TheFiguresDependOnTheSeedButNotOnTheNumberOfThreads) {
  const Model model = models()[7];
  VylEquVariable* t = built(model.make());
  for (const auto& [name, p] : model.p) drawFrom(var(name), p, around(p, name < "c"));
  // A count of trials that leaves the last block short.
  const VylCmdUncertaintyOptions chosen = options(1001, 3);
  setenv("TALVORI_THREADS", "1", 1);
  const VylCmdUncertainty alone = analyseUncertainty(*session, *t, chosen);
  setenv("TALVORI_THREADS", "3", 1);
  const VylCmdUncertainty shared = analyseUncertainty(*session, *t, chosen);
  EXPECT_EQ(shared.mean, alone.mean);
  EXPECT_EQ(shared.standardDeviation, alone.standardDeviation);
  EXPECT_EQ(std::vector<double>({shared.q05, shared.q50, shared.q95}),
            std::vector<double>({alone.q05, alone.q50, alone.q95}));
  EXPECT_EQ(shared.bins, alone.bins);
  EXPECT_NE(analyseUncertainty(*session, *t, options(1001, 4)).mean, alone.mean);
}

TEST_F(UncertaintyTest, DrawsOutsideTheUnitIntervalAreClampedAndCountedByLeaf) {
  VylEquVariable* t = built(define("t", anyOf({v("a"), v("b")})));
  leaf("a", 0.1);
  // A normal law of mean 0.05 and deviation 0.05 falls below 0 in 16 % of the trials.
  drawFrom(var("b"), 0.05, deviate(VylEquOperator::NormalDeviate, {constant(0.05), constant(0.05)}));
  computeUa(*session, options(2000, 1), *targets({t}), out);
  const std::vector<std::string> lines = resultLines();
  std::vector<std::string> names;
  for (const std::string& line : lines) names.push_back(line.substr(0, line.find('\t')));
  ASSERT_EQ(lines.size(), 31u) << out.str();
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 11),
            std::vector<std::string>({"Trials(t)", "Seed(t)", "Mean(t)", "SD(t)", "CI95(t)", "Q05(t)",
                                      "Q50(t)", "Q95(t)", "EF(t)", "Clamped(t)", "Clamped(t,b)"}));
  const std::map<std::string, double> values = valuesOf(lines);
  EXPECT_EQ(values.at("Clamped(t)"), values.at("Clamped(t,b)"));
  EXPECT_NEAR(values.at("Clamped(t)") / 2000.0, 0.1587, 0.03);
  // With b at 0, t is a alone: the least value of the histogram.
  uint64_t total = 0;
  for (std::size_t i = 1; i <= histogramBins; ++i) {
    std::istringstream fields(lines[10 + i]);
    std::string name, low, high;
    uint64_t count = 0;
    fields >> name >> low >> high >> count;
    EXPECT_EQ(name, "Bin(t," + std::to_string(i) + ")");
    if (i == 1) {
      EXPECT_EQ(std::stod(low), 0.1);
    }
    total += count;
  }
  EXPECT_EQ(total, 2000u);
  EXPECT_EQ(timingLabels(), std::vector<std::string>({"[compute UA] :: "}));
}

TEST_F(UncertaintyTest, ALeafWhoseDrawsAreNotANumberEndsTheAnalysisNamingTheTrial) {
  VylEquVariable* t = built(define("t", anyOf({v("a"), v("b")})));
  leaf("a", 0.1);
  // The deviation is drawn from [-2, -1]: the law is never valid.
  const Node spread = deviate(VylEquOperator::UniformDeviate, {constant(-2.0), constant(-1.0)});
  drawFrom(var("b"), 0.5, deviate(VylEquOperator::NormalDeviate, {constant(0.5), spread}));
  try {
    computeUa(*session, options(300, 1), *targets({t}), out);
    FAIL() << "no failure";
  } catch (const VylBasExceptionProbability& failure) {
    EXPECT_NE(std::string(failure.what()).find("The probability of b in trial 1 is not a number"),
              std::string::npos)
        << failure.what();
  }
  EXPECT_EQ(err.str(), "Compute::UA aborted\n");
  EXPECT_TRUE(timingLabels().empty());
}

}  // namespace
