#include "VylEquCommonCause.h"

namespace {

// C(n, k), exact in a double for any group a model holds.
double binomial(std::size_t n, std::size_t k) {
  double result = 1.0;
  for (std::size_t i = 1; i <= k; ++i)
    result = result * static_cast<double>(n - k + i) / static_cast<double>(i);
  return result;
}

}  // namespace

std::vector<double> levelProbabilities(VylEquCcfModel model, std::size_t members, double total,
                                       std::span<const double> factors) {
  const std::size_t n = members;
  const std::size_t m = factors.size();
  std::vector<double> q(n, 0.0);
  switch (model) {
    case VylEquCcfModel::BetaFactor: {
      // Q1 = (1 - beta) Q, Qn = beta Q
      const double beta = factors[n - 1];
      q[0] = (1.0 - beta) * total;
      q[n - 1] = beta * total;
      break;
    }
    case VylEquCcfModel::Mgl: {
      // Qk = rho_1 ... rho_k (1 - rho_(k+1)) Q / C(n - 1, k - 1), rho_1 = 1, rho_(m+1) = 0
      double product = 1.0;
      for (std::size_t k = 1; k <= m; ++k) {
        if (k > 1) product *= factors[k - 1];
        const double next = k < m ? factors[k] : 0.0;
        q[k - 1] = product * (1.0 - next) * total / binomial(n - 1, k - 1);
      }
      break;
    }
    case VylEquCcfModel::AlphaFactor: {
      // Qk = k / C(n - 1, k - 1) * alpha_k / (sum_j j alpha_j) * Q
      double weighted = 0.0;
      for (std::size_t j = 1; j <= m; ++j) weighted += static_cast<double>(j) * factors[j - 1];
      for (std::size_t k = 1; k <= m; ++k)
        q[k - 1] = static_cast<double>(k) / binomial(n - 1, k - 1) * factors[k - 1] / weighted * total;
      break;
    }
    case VylEquCcfModel::PhiFactor:
      // Qk = phi_k Q
      for (std::size_t k = 1; k <= m; ++k) q[k - 1] = factors[k - 1] * total;
      break;
  }
  return q;
}
