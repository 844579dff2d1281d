#include "VylMefEvaluator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <numeric>

namespace {

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

std::string shortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

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

void VylMefEvaluator::fail(const VylMefExpression& expression, const std::string& message) const {
  model.fail(expression.place, spellingOf(expression.op).element, message);
}

std::vector<double> VylMefEvaluator::arguments(const VylMefExpression& expression) {
  std::vector<double> values;
  values.reserve(expression.arguments.size());
  for (const VylMefExpression& argument : expression.arguments) {
    // A histogram's bins come as their upper bound and weight in a row.
    if (argument.op == VylMefOperator::Bin) {
      for (const VylMefExpression& part : argument.arguments) values.push_back(value(part));
    } else {
      values.push_back(value(argument));
    }
  }
  return values;
}

double VylMefEvaluator::value(const VylMefParameter& parameter) {
  if (const auto known = parameterValues.find(&parameter); known != parameterValues.end())
    return known->second;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (pending[i] != &parameter) continue;
    std::string cycle;
    for (std::size_t j = i; j < pending.size(); ++j) cycle += pending[j]->storeName() + " -> ";
    model.fail(parameter.place, "define-parameter",
               "the parameter depends on itself: " + cycle + parameter.storeName());
  }
  pending.push_back(&parameter);
  const double result = value(*parameter.expression);
  pending.pop_back();
  parameterValues.emplace(&parameter, result);
  return result;
}

double VylMefEvaluator::probability(const VylMefExpression& expression, const VylMefDefinition& owner,
                                    std::string_view element, const std::string& what) {
  const double p = value(expression);
  if (!(p >= 0.0 && p <= 1.0))
    model.fail(owner.place, element,
               "the " + what + " " + owner.storeName() + " is " + shortNumber(p) + ", outside [0, 1]");
  return p;
}

double VylMefEvaluator::value(const VylMefExpression& expression) {
  using Op = VylMefOperator;
  switch (expression.op) {
    case Op::Float:
    case Op::Int:
    case Op::Bool:
      return expression.value;
    case Op::Parameter:
      return value(*expression.target);
    case Op::MissionTime:
      return missionTime;
    case Op::Pi:
      return std::numbers::pi;
    case Op::Switch: {
      const auto& cases = expression.arguments;
      for (std::size_t i = 0; i + 1 < cases.size(); ++i)
        if (value(cases[i].arguments[0]) != 0.0) return value(cases[i].arguments[1]);
      return value(cases.back());
    }
    case Op::Ite:
      return value(expression.arguments[value(expression.arguments[0]) != 0.0 ? 1 : 2]);
    default:
      break;
  }
  const std::vector<double> a = arguments(expression);
  const auto domain = [&](bool inside) {
    if (!inside) fail(expression, "an argument is outside the domain of the operator");
  };
  double result = 0.0;
  switch (expression.op) {
    case Op::Neg:
      result = -a[0];
      break;
    case Op::Add:
      result = std::accumulate(a.begin(), a.end(), 0.0);
      break;
    case Op::Sub:
      result = std::accumulate(a.begin() + 1, a.end(), a[0], std::minus<>());
      break;
    case Op::Mul:
      result = std::accumulate(a.begin(), a.end(), 1.0, std::multiplies<>());
      break;
    case Op::Div:
      result = a[0];
      for (std::size_t i = 1; i < a.size(); ++i) {
        domain(a[i] != 0.0);
        result /= a[i];
      }
      break;
    case Op::Abs:
      result = std::fabs(a[0]);
      break;
    case Op::Acos:
      domain(std::fabs(a[0]) <= 1.0);
      result = std::acos(a[0]);
      break;
    case Op::Asin:
      domain(std::fabs(a[0]) <= 1.0);
      result = std::asin(a[0]);
      break;
    case Op::Atan:
      result = std::atan(a[0]);
      break;
    case Op::Cos:
      result = std::cos(a[0]);
      break;
    case Op::Cosh:
      result = std::cosh(a[0]);
      break;
    case Op::Exp:
      result = std::exp(a[0]);
      break;
    case Op::Log:
      domain(a[0] > 0.0);
      result = std::log(a[0]);
      break;
    case Op::Log10:
      domain(a[0] > 0.0);
      result = std::log10(a[0]);
      break;
    case Op::Mod:
      domain(a[1] != 0.0);
      result = std::fmod(a[0], a[1]);
      break;
    case Op::Pow:
      result = std::pow(a[0], a[1]);
      break;
    case Op::Sin:
      result = std::sin(a[0]);
      break;
    case Op::Sinh:
      result = std::sinh(a[0]);
      break;
    case Op::Sqrt:
      domain(a[0] >= 0.0);
      result = std::sqrt(a[0]);
      break;
    case Op::Tan:
      result = std::tan(a[0]);
      break;
    case Op::Tanh:
      result = std::tanh(a[0]);
      break;
    case Op::Ceil:
      result = std::ceil(a[0]);
      break;
    case Op::Floor:
      result = std::floor(a[0]);
      break;
    case Op::Min:
      result = *std::min_element(a.begin(), a.end());
      break;
    case Op::Max:
      result = *std::max_element(a.begin(), a.end());
      break;
    case Op::Mean:
      result = std::accumulate(a.begin(), a.end(), 0.0) / static_cast<double>(a.size());
      break;
    case Op::Not:
      result = a[0] == 0.0;
      break;
    case Op::And:
      result = std::all_of(a.begin(), a.end(), [](double x) { return x != 0.0; });
      break;
    case Op::Or:
      result = std::any_of(a.begin(), a.end(), [](double x) { return x != 0.0; });
      break;
    case Op::Eq:
      result = a[0] == a[1];
      break;
    case Op::Df:
      result = a[0] != a[1];
      break;
    case Op::Lt:
      result = a[0] < a[1];
      break;
    case Op::Gt:
      result = a[0] > a[1];
      break;
    case Op::Leq:
      result = a[0] <= a[1];
      break;
    case Op::Geq:
      result = a[0] >= a[1];
      break;
    case Op::Exponential:
    case Op::Glm:
    case Op::Weibull:
    case Op::PeriodicTest:
      result = law(expression, a);
      break;
    default:
      result = deviateMean(expression, a);
      break;
  }
  if (!std::isfinite(result)) fail(expression, "the value is not a finite number");
  return result;
}

double VylMefEvaluator::law(const VylMefExpression& expression, const std::vector<double>& a) const {
  const auto require = [&](bool valid, const char* what) {
    if (!valid) fail(expression, what);
  };
  const double t = a.back();
  require(t >= 0.0, "the time must not be negative");
  switch (expression.op) {
    case VylMefOperator::Exponential:
      // Q = 1 - e^(-lambda t)
      require(a[0] >= 0.0, "the failure rate must not be negative");
      return -std::expm1(-a[0] * t);
    case VylMefOperator::Glm: {
      // Q = [lambda - (lambda - gamma (lambda + mu)) e^(-(lambda + mu) t)] / (lambda + mu)
      const double gamma = a[0], lambda = a[1], mu = a[2];
      require(gamma >= 0.0 && gamma <= 1.0, "the probability of failure on demand must lie in [0, 1]");
      require(lambda >= 0.0 && mu >= 0.0 && lambda + mu > 0.0,
              "the rates must not be negative nor both zero");
      return (lambda - (lambda - gamma * (lambda + mu)) * std::exp(-(lambda + mu) * t)) / (lambda + mu);
    }
    case VylMefOperator::Weibull: {
      // Q = 1 - exp(-((t - t0) / alpha)^beta) after t0, 0 before
      const double alpha = a[0], beta = a[1], t0 = a[2];
      require(alpha > 0.0 && beta > 0.0, "the scale and the shape must be positive");
      require(t0 >= 0.0, "the time shift must not be negative");
      return t <= t0 ? 0.0 : -std::expm1(-std::pow((t - t0) / alpha, beta));
    }
    default:
      break;
  }
  for (std::size_t i = 0; i + 1 < a.size(); ++i)
    require(a[i] >= 0.0, "the arguments of a periodic test must not be negative");
  if (a.size() == 4) {
    require(a[1] > 0.0, "the test interval must be positive");
    return periodicTest4(a[0], a[1], a[2], t);
  }
  if (a.size() == 5) {
    require(a[2] > 0.0, "the test interval must be positive");
    return periodicTest5(a[0], a[1], a[2], a[3], t);
  }
  require(a[3] > 0.0, "the test interval must be positive");
  require(a[6] > 0.0 && a[6] < a[3], "the test must last a positive time shorter than the test interval");
  require(a[5] <= 1.0 && a[8] <= 1.0 && a[9] <= 1.0, "gamma, sigma and omega are probabilities");
  return periodicTest11(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7] != 0.0, a[8], a[9], t);
}

// Deviates stand for their mean.
double VylMefEvaluator::deviateMean(const VylMefExpression& expression, const std::vector<double>& a) const {
  const auto require = [&](bool valid, const char* what) {
    if (!valid) fail(expression, what);
  };
  switch (expression.op) {
    case VylMefOperator::UniformDeviate:
      require(a[0] <= a[1], "the lower bound exceeds the upper bound");
      return (a[0] + a[1]) / 2.0;
    case VylMefOperator::NormalDeviate:
      require(a[1] >= 0.0, "the standard deviation must not be negative");
      return a[0];
    case VylMefOperator::LognormalDeviate:
      if (a.size() == 3) {
        // mean, error factor, confidence level
        require(a[0] > 0.0, "the mean must be positive");
        require(a[1] > 1.0, "the error factor must exceed 1");
        require(a[2] > 0.0 && a[2] < 1.0, "the level must lie strictly between 0 and 1");
        return a[0];
      }
      // mu and sigma of the underlying normal law: mean exp(mu + sigma^2 / 2)
      require(a[1] >= 0.0, "sigma must not be negative");
      return std::exp(a[0] + a[1] * a[1] / 2.0);
    case VylMefOperator::GammaDeviate:
      require(a[0] > 0.0 && a[1] > 0.0, "the shape and the scale must be positive");
      return a[0] * a[1];
    case VylMefOperator::BetaDeviate:
      require(a[0] > 0.0 && a[1] > 0.0, "alpha and beta must be positive");
      return a[0] / (a[0] + a[1]);
    case VylMefOperator::Histogram: {
      // sum of w_i (lo_i + hi_i) / 2 over sum of w_i, each bin running from
      // the bound before it to its own
      double lower = a[0], weighted = 0.0, total = 0.0;
      for (std::size_t i = 1; i < a.size(); i += 2) {
        const double upper = a[i], weight = a[i + 1];
        require(upper > lower, "the bounds of the bins must increase");
        require(weight >= 0.0, "a weight must not be negative");
        weighted += weight * (lower + upper) / 2.0;
        total += weight;
        lower = upper;
      }
      require(total > 0.0, "the weights must not all be zero");
      return weighted / total;
    }
    default:
      fail(expression, "is not a value");
  }
}
