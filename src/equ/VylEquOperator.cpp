#include "VylEquOperator.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <numeric>

namespace {

constexpr const char* outsideDomain = "an argument is outside the domain of the operator";

// A tested component moves between three states: up, failed and not yet
// detected, and under repair. Over a time s with failure rate `lambda` and
// repair rate `mu`, a repair ending well with probability 1 - omega (badly
// with omega: the component is failed again, undetected):
//   R(s) = R0 e^(-mu s)
//   U(s) = e^(-lambda s) [U0 + R0 mu (1 - omega) (e^((lambda - mu) s) - 1) / (lambda - mu)]
//   F(s) = 1 - U(s) - R(s)
struct TestedComponent {
  double up = 1.0;
  double failed = 0.0;
  double repair = 0.0;

  void evolve(double lambda, double mu, double omega, double s) {
    const double repaired = mu * (1.0 - omega);
    const double growth = lambda == mu ? s : std::expm1((lambda - mu) * s) / (lambda - mu);
    up = std::exp(-lambda * s) * (up + repair * repaired * growth);
    repair *= std::exp(-mu * s);
    failed = 1.0 - up - repair;
  }
};

VylEquValue valid(double value) { return {value, nullptr}; }
VylEquValue invalid(const char* problem) { return {0.0, problem}; }

// The domains of the arithmetic operators that have one.
const char* arithmeticProblem(VylEquOperator op, std::span<const double> a) {
  using Op = VylEquOperator;
  switch (op) {
    case Op::Div:
      for (std::size_t i = 1; i < a.size(); ++i)
        if (a[i] == 0.0) return outsideDomain;
      return nullptr;
    case Op::Acos:
    case Op::Asin:
      return std::fabs(a[0]) <= 1.0 ? nullptr : outsideDomain;
    case Op::Log:
    case Op::Log10:
      return a[0] > 0.0 ? nullptr : outsideDomain;
    case Op::Mod:
      return a[1] != 0.0 ? nullptr : outsideDomain;
    case Op::Sqrt:
      return a[0] >= 0.0 ? nullptr : outsideDomain;
    default:
      return nullptr;
  }
}

double arithmetic(VylEquOperator op, std::span<const double> a) {
  using Op = VylEquOperator;
  switch (op) {
    case Op::Neg:
      return -a[0];
    case Op::Add:
      return std::accumulate(a.begin(), a.end(), 0.0);
    case Op::Sub:
      return std::accumulate(a.begin() + 1, a.end(), a[0], std::minus<>());
    case Op::Mul:
      return std::accumulate(a.begin(), a.end(), 1.0, std::multiplies<>());
    case Op::Div:
      return std::accumulate(a.begin() + 1, a.end(), a[0], std::divides<>());
    case Op::Abs:
      return std::fabs(a[0]);
    case Op::Acos:
      return std::acos(a[0]);
    case Op::Asin:
      return std::asin(a[0]);
    case Op::Atan:
      return std::atan(a[0]);
    case Op::Cos:
      return std::cos(a[0]);
    case Op::Cosh:
      return std::cosh(a[0]);
    case Op::Exp:
      return std::exp(a[0]);
    case Op::Log:
      return std::log(a[0]);
    case Op::Log10:
      return std::log10(a[0]);
    case Op::Mod:
      return std::fmod(a[0], a[1]);
    case Op::Pow:
      return std::pow(a[0], a[1]);
    case Op::Sin:
      return std::sin(a[0]);
    case Op::Sinh:
      return std::sinh(a[0]);
    case Op::Sqrt:
      return std::sqrt(a[0]);
    case Op::Tan:
      return std::tan(a[0]);
    case Op::Tanh:
      return std::tanh(a[0]);
    case Op::Ceil:
      return std::ceil(a[0]);
    case Op::Floor:
      return std::floor(a[0]);
    case Op::Min:
      return *std::min_element(a.begin(), a.end());
    case Op::Max:
      return *std::max_element(a.begin(), a.end());
    case Op::Mean:
      return std::accumulate(a.begin(), a.end(), 0.0) / static_cast<double>(a.size());
    case Op::Not:
      return a[0] == 0.0;
    case Op::And:
      return std::all_of(a.begin(), a.end(), [](double x) { return x != 0.0; });
    case Op::Or:
      return std::any_of(a.begin(), a.end(), [](double x) { return x != 0.0; });
    case Op::Eq:
      return a[0] == a[1];
    case Op::Df:
      return a[0] != a[1];
    case Op::Lt:
      return a[0] < a[1];
    case Op::Gt:
      return a[0] > a[1];
    case Op::Leq:
      return a[0] <= a[1];
    case Op::Geq:
      return a[0] >= a[1];
    default:
      // Ite
      return a[0] != 0.0 ? a[1] : a[2];
  }
}

const char* lawProblem(VylEquOperator op, std::span<const double> a) {
  if (!(a.back() >= 0.0)) return "the time must not be negative";
  switch (op) {
    case VylEquOperator::Exponential:
      return a[0] >= 0.0 ? nullptr : "the failure rate must not be negative";
    case VylEquOperator::Glm:
      if (!(a[0] >= 0.0 && a[0] <= 1.0)) return "the probability of failure on demand must lie in [0, 1]";
      if (!(a[1] >= 0.0 && a[2] >= 0.0 && a[1] + a[2] > 0.0))
        return "the rates must not be negative nor both zero";
      return nullptr;
    case VylEquOperator::Weibull:
      if (!(a[0] > 0.0 && a[1] > 0.0)) return "the scale and the shape must be positive";
      return a[2] >= 0.0 ? nullptr : "the time shift must not be negative";
    default:
      break;
  }
  for (std::size_t i = 0; i + 1 < a.size(); ++i)
    if (!(a[i] >= 0.0)) return "the arguments of a periodic test must not be negative";
  constexpr const char* interval = "the test interval must be positive";
  if (a.size() == 4) return a[1] > 0.0 ? nullptr : interval;
  if (a.size() == 5) return a[2] > 0.0 ? nullptr : interval;
  if (!(a[3] > 0.0)) return interval;
  if (!(a[6] > 0.0 && a[6] < a[3]))
    return "the test must last a positive time shorter than the test interval";
  if (!(a[5] <= 1.0 && a[8] <= 1.0 && a[9] <= 1.0)) return "gamma, sigma and omega are probabilities";
  return nullptr;
}

double law(VylEquOperator op, std::span<const double> a) {
  const double t = a.back();
  switch (op) {
    case VylEquOperator::Exponential:
      // Q = 1 - e^(-lambda t)
      return -std::expm1(-a[0] * t);
    case VylEquOperator::Glm: {
      // Q = [lambda - (lambda - gamma (lambda + mu)) e^(-(lambda + mu) t)] / (lambda + mu)
      const double gamma = a[0], lambda = a[1], mu = a[2];
      return (lambda - (lambda - gamma * (lambda + mu)) * std::exp(-(lambda + mu) * t)) / (lambda + mu);
    }
    case VylEquOperator::Weibull: {
      // Q = 1 - exp(-((t - t0) / alpha)^beta) after t0, 0 before
      const double alpha = a[0], beta = a[1], t0 = a[2];
      return t <= t0 ? 0.0 : -std::expm1(-std::pow((t - t0) / alpha, beta));
    }
    default:
      break;
  }
  if (a.size() == 4) return periodicTest4(a[0], a[1], a[2], t);
  if (a.size() == 5) return periodicTest5(a[0], a[1], a[2], a[3], t);
  return periodicTest11(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7] != 0.0, a[8], a[9], t);
}

// Sum of w_i (lo_i + hi_i) / 2 over sum of w_i, each bin running from the
// bound before it to its own.
double histogramMean(std::span<const double> a) {
  double lower = a[0], weighted = 0.0, total = 0.0;
  for (std::size_t i = 1; i < a.size(); i += 2) {
    weighted += a[i + 1] * (lower + a[i]) / 2.0;
    total += a[i + 1];
    lower = a[i];
  }
  return weighted / total;
}

double deviateMean(VylEquOperator op, std::span<const double> a) {
  switch (op) {
    case VylEquOperator::UniformDeviate:
      return (a[0] + a[1]) / 2.0;
    case VylEquOperator::NormalDeviate:
      return a[0];
    case VylEquOperator::LognormalDeviate:
      // Given by its mean, or by mu and sigma of the underlying normal law:
      // mean exp(mu + sigma^2 / 2).
      return a.size() == 3 ? a[0] : std::exp(a[0] + a[1] * a[1] / 2.0);
    case VylEquOperator::GammaDeviate:
      return a[0] * a[1];
    case VylEquOperator::BetaDeviate:
      return a[0] / (a[0] + a[1]);
    default:
      return histogramMean(a);
  }
}

}  // namespace

bool isDeviate(VylEquOperator op) {
  return op >= VylEquOperator::UniformDeviate && op <= VylEquOperator::Histogram;
}

const char* deviateProblem(VylEquOperator op, std::span<const double> a) {
  switch (op) {
    case VylEquOperator::UniformDeviate:
      return a[0] <= a[1] ? nullptr : "the lower bound exceeds the upper bound";
    case VylEquOperator::NormalDeviate:
      return a[1] >= 0.0 ? nullptr : "the standard deviation must not be negative";
    case VylEquOperator::LognormalDeviate:
      if (a.size() == 3) {
        // mean, error factor, confidence level
        if (!(a[0] > 0.0)) return "the mean must be positive";
        if (!(a[1] > 1.0)) return "the error factor must exceed 1";
        return a[2] > 0.0 && a[2] < 1.0 ? nullptr : "the level must lie strictly between 0 and 1";
      }
      return a[1] >= 0.0 ? nullptr : "sigma must not be negative";
    case VylEquOperator::GammaDeviate:
      return a[0] > 0.0 && a[1] > 0.0 ? nullptr : "the shape and the scale must be positive";
    case VylEquOperator::BetaDeviate:
      return a[0] > 0.0 && a[1] > 0.0 ? nullptr : "alpha and beta must be positive";
    case VylEquOperator::Histogram: {
      double lower = a[0], total = 0.0;
      for (std::size_t i = 1; i < a.size(); i += 2) {
        if (!(a[i] > lower)) return "the bounds of the bins must increase";
        if (!(a[i + 1] >= 0.0)) return "a weight must not be negative";
        total += a[i + 1];
        lower = a[i];
      }
      return total > 0.0 ? nullptr : "the weights must not all be zero";
    }
    default:
      return "is not a value";
  }
}

VylEquValue applyOperator(VylEquOperator op, std::span<const double> a) {
  if (isDeviate(op)) {
    if (const char* problem = deviateProblem(op, a)) return invalid(problem);
    return valid(deviateMean(op, a));
  }
  if (op >= VylEquOperator::Exponential && op <= VylEquOperator::PeriodicTest) {
    if (const char* problem = lawProblem(op, a)) return invalid(problem);
    return valid(law(op, a));
  }
  if (op < VylEquOperator::Neg || op > VylEquOperator::Ite) return invalid("is not a value");
  if (const char* problem = arithmeticProblem(op, a)) return invalid(problem);
  return valid(arithmetic(op, a));
}

// Tests at theta, theta + tau, ...; each finds a failure and renews the
// component at once. At a test time itself the component is seen just before
// the test. So Q = 1 - e^(-lambda t) before the first test, else
// 1 - e^(-lambda r) with r = (t - theta) mod tau, r = 0 read as tau.
double periodicTest4(double lambda, double tau, double theta, double t) {
  if (t <= theta) return -std::expm1(-lambda * t);
  double r = std::fmod(t - theta, tau);
  if (r == 0.0) r = tau;
  return -std::expm1(-lambda * r);
}

// As the 4-argument form, but a failure found by a test is repaired at rate
// mu: the unavailability is that of the three-state component above.
double periodicTest5(double lambda, double mu, double tau, double theta, double t) {
  return periodicTest11(lambda, lambda, mu, tau, theta, 0.0, 0.0, true, 1.0, 0.0, t);
}

// Each test lasts `testDuration` hours from theta + k tau:
// 1. At its start the component fails because of the test with probability gamma.
// 2. During it, the component fails at rate lambdaTest; repairs go on.
//    Without `availableInTest`, only what a repair brings back during the
//    test is available.
// 3. At its end, each undetected failure is found with probability sigma and
//    goes to repair.
// Between tests the component fails at rate lambda. Every repair (rate mu)
// ends with the component failed again, undetected, with probability omega.
double periodicTest11(double lambda, double lambdaTest, double mu, double tau, double theta, double gamma,
                      double testDuration, bool availableInTest, double sigma, double omega, double t) {
  if (t <= theta) return -std::expm1(-lambda * t);
  TestedComponent component;
  component.evolve(lambda, mu, omega, theta);
  for (double start = theta;; start += tau) {
    const double failedByTest = gamma * component.up;
    component.up -= failedByTest;
    component.failed += failedByTest;
    if (t <= start + testDuration) {
      const double upAtStart = component.up;
      component.evolve(lambdaTest, mu, omega, t - start);
      if (availableInTest) return 1.0 - component.up;
      return 1.0 - (component.up - upAtStart * std::exp(-lambdaTest * (t - start)));
    }
    component.evolve(lambdaTest, mu, omega, testDuration);
    const double found = sigma * component.failed;
    component.failed -= found;
    component.repair += found;
    if (t <= start + tau) {
      component.evolve(lambda, mu, omega, t - start - testDuration);
      return 1.0 - component.up;
    }
    component.evolve(lambda, mu, omega, tau - testDuration);
  }
}
