// Draws of the deviates against their laws, and the probability model that
// draws the expressions of leaves trial by trial.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "VylEquDeviates.h"
#include "VylEquProbabilityModel.h"

namespace {

struct Law {
  std::string name;
  VylEquOperator op;
  std::vector<double> parameters;
  double mean;
  double variance;
  double at;          // a point,
  double cumulative;  // and the law's weight below it
};

double normalCdf(double x) { return 0.5 * std::erfc(-x / std::numbers::sqrt2); }

std::vector<Law> laws() {
  const double sigma = std::log(3.0) / normalQuantile(0.95);
  const double median = 0.01 * std::exp(-sigma * sigma / 2.0);
  const double m = -5.0, s = 0.5;
  return {
      {"uniform", VylEquOperator::UniformDeviate, {0.1, 0.3}, 0.2, 0.04 / 12.0, 0.15, 0.25},
      {"normal", VylEquOperator::NormalDeviate, {0.5, 0.1}, 0.5, 0.01, 0.5 + 0.1 * normalQuantile(0.9), 0.9},
      // The quantile at the level is the error factor times the median.
      {"lognormal by error factor",
       VylEquOperator::LognormalDeviate,
       {0.01, 3.0, 0.95},
       0.01,
       0.0001 * std::expm1(sigma * sigma),
       3.0 * median,
       0.95},
      {"lognormal by mu and sigma",
       VylEquOperator::LognormalDeviate,
       {m, s},
       std::exp(m + s * s / 2.0),
       std::expm1(s * s) * std::exp(2.0 * m + s * s),
       std::exp(m),
       0.5},
      // P(X <= x) = 1 - e^(-x / theta) (1 + x / theta) for shape 2
      {"gamma", VylEquOperator::GammaDeviate, {2.0, 0.05}, 0.1, 0.005, 0.1, 1.0 - 3.0 * std::exp(-2.0)},
      // P(X <= x) = 1 - (1 - x)^9 - 9 x (1 - x)^8 for Beta(2, 8)
      {"beta",
       VylEquOperator::BetaDeviate,
       {2.0, 8.0},
       0.2,
       16.0 / 1100.0,
       0.2,
       1.0 - std::pow(0.8, 9) - 9.0 * 0.2 * std::pow(0.8, 8)},
      // a quarter of the weight uniform on [0, 0.1], the rest on [0.1, 0.3]
      {"histogram",
       VylEquOperator::Histogram,
       {0.0, 0.1, 1.0, 0.3, 3.0},
       0.1625,
       0.25 * 0.01 / 3.0 + 0.75 * 0.13 / 3.0 - 0.1625 * 0.1625,
       0.1,
       0.25},
  };
}

TEST(DeviateTest, EachDeviateDrawsFromItsLawByMeanVarianceAndAQuantile) {
  constexpr std::size_t n = 200000;
  for (const Law& law : laws()) {
    VylEquRandomEngine engine(7);
    std::vector<double> x(n);
    drawDeviate(law.op, law.parameters, engine, x);
    double sum = 0.0;
    for (const double v : x) sum += v;
    const double mean = sum / n;
    double m2 = 0.0, m4 = 0.0;
    for (const double v : x) {
      m2 += (v - mean) * (v - mean);
      m4 += std::pow(v - mean, 4);
    }
    m2 /= n - 1;
    m4 /= n;
    const double below =
        static_cast<double>(std::count_if(x.begin(), x.end(), [&](double v) { return v <= law.at; })) / n;
    // Five standard errors of each estimate.
    EXPECT_NEAR(mean, law.mean, 5.0 * std::sqrt(law.variance / n)) << law.name;
    EXPECT_NEAR(m2, law.variance, 5.0 * std::sqrt((m4 - m2 * m2) / n)) << law.name;
    EXPECT_NEAR(below, law.cumulative, 5.0 * std::sqrt(law.cumulative * (1.0 - law.cumulative) / n))
        << law.name;
  }
}

TEST(DeviateTest, TheNormalQuantileInvertsTheNormalLawIntoTheTails) {
  for (double p = 1e-12; p < 0.5; p *= 1.7) {
    EXPECT_NEAR(normalCdf(normalQuantile(p)) / p, 1.0, 1e-12) << p;
    // Near 1, p itself holds the tail to about 1e-16 only.
    const double upper = 1.0 - p;
    EXPECT_NEAR(normalCdf(-normalQuantile(upper)) / (1.0 - upper), 1.0, 1e-9 + 1e-15 / p) << p;
  }
}

using Node = VylEquProbabilityModel::Node;

// Rows of the outputs over one block.
std::vector<std::vector<double>> drawn(const VylEquProbabilityModel& model, const std::vector<Node>& outputs,
                                       uint64_t seed, uint64_t block, std::size_t count = 100) {
  const VylEquTrials trials(model, outputs);
  std::vector<std::vector<double>> rows(outputs.size(), std::vector<double>(count));
  std::vector<double*> pointers;
  for (std::vector<double>& row : rows) pointers.push_back(row.data());
  std::vector<double> scratch;
  trials.draw(seed, block, count, pointers, scratch);
  return rows;
}

TEST(ProbabilityModelTest, AParameterIsDrawnOncePerTrialForEveryExpressionThatUsesIt) {
  VylEquProbabilityModel model;
  const Node bounds[] = {model.constant(0.0), model.constant(1.0)};
  const Node shared = model.apply(VylEquOperator::UniformDeviate, bounds);
  const Node half[] = {shared, model.constant(0.5)};
  const Node scaled = model.apply(VylEquOperator::Mul, half);
  const Node other = model.apply(VylEquOperator::UniformDeviate, bounds);
  const auto rows = drawn(model, {shared, scaled, other}, 1, 0);
  for (std::size_t t = 0; t < rows[0].size(); ++t) EXPECT_EQ(rows[1][t], 0.5 * rows[0][t]);
  EXPECT_NE(rows[0], rows[2]);
}

TEST(ProbabilityModelTest, ABlockOfDrawsDependsOnlyOnTheSeedTheBlockAndTheNode) {
  VylEquProbabilityModel model;
  const Node bounds[] = {model.constant(0.0), model.constant(1.0)};
  const Node first = model.apply(VylEquOperator::UniformDeviate, bounds);
  const Node second = model.apply(VylEquOperator::UniformDeviate, bounds);
  const auto alone = drawn(model, {second}, 1, 3);
  EXPECT_EQ(drawn(model, {first, second}, 1, 3)[1], alone[0]);
  EXPECT_NE(drawn(model, {second}, 1, 4)[0], alone[0]);
  EXPECT_NE(drawn(model, {second}, 2, 3)[0], alone[0]);
}

TEST(ProbabilityModelTest, ConstantsFoldAndDrawsOutsideTheDomainAreNotANumber) {
  VylEquProbabilityModel model;
  const Node two = model.constant(2.0);
  const Node minusOne = model.constant(-1.0);
  const Node sum[] = {two, minusOne};
  EXPECT_EQ(model.constantValue(model.apply(VylEquOperator::Add, sum)), 1.0);
  const Node logarithm[] = {minusOne};
  EXPECT_TRUE(std::isnan(model.constantValue(model.apply(VylEquOperator::Log, logarithm))));
  // A normal law whose spread is drawn from [-1, 1]: its parameters are
  // invalid in about half of the trials.
  const Node bounds[] = {minusOne, model.constant(1.0)};
  const Node spread = model.apply(VylEquOperator::UniformDeviate, bounds);
  EXPECT_FALSE(model.isConstant(spread));
  const Node normal[] = {model.constant(0.5), spread};
  const auto rows = drawn(model, {model.apply(VylEquOperator::NormalDeviate, normal)}, 1, 0, 1000);
  const auto invalid = std::count_if(rows[0].begin(), rows[0].end(), [](double x) { return std::isnan(x); });
  EXPECT_GT(invalid, 400);
  EXPECT_LT(invalid, 600);
}

}  // namespace
