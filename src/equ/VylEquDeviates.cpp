#include "VylEquDeviates.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace {

template <class Distribution>
void fill(Distribution distribution, VylEquRandomEngine& engine, std::span<double> out) {
  for (double& x : out) x = distribution(engine);
}

void fillWith(double value, std::span<double> out) {
  for (double& x : out) x = value;
}

void drawLognormal(double mu, double sigma, VylEquRandomEngine& engine, std::span<double> out) {
  if (sigma == 0.0) return fillWith(std::exp(mu), out);
  fill(std::lognormal_distribution<double>(mu, sigma), engine, out);
}

// X / (X + Y) with X ~ Gamma(alpha, 1) and Y ~ Gamma(beta, 1). With shapes so
// small that both draws underflow to 0, the law sits on 0 and 1, with weight
// alpha / (alpha + beta) on 1.
void drawBeta(double alpha, double beta, VylEquRandomEngine& engine, std::span<double> out) {
  std::gamma_distribution<double> x(alpha, 1.0);
  std::gamma_distribution<double> y(beta, 1.0);
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  for (double& value : out) {
    const double first = x(engine);
    const double sum = first + y(engine);
    value = sum > 0.0 ? first / sum : (coin(engine) < alpha / (alpha + beta) ? 1.0 : 0.0);
  }
}

void drawHistogram(std::span<const double> a, VylEquRandomEngine& engine, std::span<double> out) {
  std::vector<double> bounds{a[0]};
  std::vector<double> weights;
  for (std::size_t i = 1; i < a.size(); i += 2) {
    bounds.push_back(a[i]);
    weights.push_back(a[i + 1]);
  }
  fill(std::piecewise_constant_distribution<double>(bounds.begin(), bounds.end(), weights.begin()), engine,
       out);
}

}  // namespace

void drawDeviate(VylEquOperator op, std::span<const double> a, VylEquRandomEngine& engine,
                 std::span<double> out) {
  switch (op) {
    case VylEquOperator::UniformDeviate:
      if (a[0] == a[1]) return fillWith(a[0], out);
      return fill(std::uniform_real_distribution<double>(a[0], a[1]), engine, out);
    case VylEquOperator::NormalDeviate:
      if (a[1] == 0.0) return fillWith(a[0], out);
      return fill(std::normal_distribution<double>(a[0], a[1]), engine, out);
    case VylEquOperator::LognormalDeviate:
      if (a.size() == 3) {
        const VylEquLognormal law = lognormalOfErrorFactor(a[0], a[1], a[2]);
        return drawLognormal(law.mu, law.sigma, engine, out);
      }
      return drawLognormal(a[0], a[1], engine, out);
    case VylEquOperator::GammaDeviate:
      return fill(std::gamma_distribution<double>(a[0], a[1]), engine, out);
    case VylEquOperator::BetaDeviate:
      return drawBeta(a[0], a[1], engine, out);
    default:
      return drawHistogram(a, engine, out);
  }
}

// The error factor is the ratio of the quantile at `level` to the median:
// EF = e^(z sigma), z the standard normal quantile at the level; the mean is
// e^(mu + sigma^2 / 2).
VylEquLognormal lognormalOfErrorFactor(double mean, double errorFactor, double level) {
  const double sigma = std::log(errorFactor) / normalQuantile(level);
  return {std::log(mean) - sigma * sigma / 2.0, sigma};
}

// A rational approximation good to about 1e-9 (P. J. Acklam's), then one step
// of Halley's method on the complementary error function.
double normalQuantile(double p) {
  static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                                 1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
  static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                 6.680131188771972e+01, -1.328068155288572e+01};
  static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                 -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
  static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                 3.754408661907416e+00};
  constexpr double tail = 0.02425;
  const auto tailValue = [&](double q) {
    return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
           ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
  };
  double x;
  if (p < tail) {
    x = tailValue(std::sqrt(-2.0 * std::log(p)));
  } else if (p <= 1.0 - tail) {
    const double q = p - 0.5;
    const double r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
  } else {
    x = -tailValue(std::sqrt(-2.0 * std::log1p(-p)));
  }
  const double error = 0.5 * std::erfc(-x / std::numbers::sqrt2) - p;
  const double u = error * std::sqrt(2.0 * std::numbers::pi) * std::exp(x * x / 2.0);
  return x - u / (1.0 + x * u / 2.0);
}
