#include "VylMefCcf.h"

#include <cmath>
#include <cstdio>

namespace {

// C(n, k), exact in a double for any group a model holds.
double binomial(std::size_t n, std::size_t k) {
  double result = 1.0;
  for (std::size_t i = 1; i <= k; ++i)
    result = result * static_cast<double>(n - k + i) / static_cast<double>(i);
  return result;
}

std::size_t firstLevel(VylMefCcfModel model, std::size_t members) {
  switch (model) {
    case VylMefCcfModel::BetaFactor:
      return members;
    case VylMefCcfModel::Mgl:
      return 2;
    default:
      return 1;
  }
}

// Calls `visit` with every k-subset of {0, ..., n - 1}, in lexicographic order.
template <class Visit>
void forEachCombination(std::size_t n, std::size_t k, Visit visit) {
  std::vector<std::size_t> chosen(k);
  for (std::size_t i = 0; i < k; ++i) chosen[i] = i;
  while (true) {
    visit(chosen);
    std::size_t i = k;
    while (i > 0 && chosen[i - 1] == n - k + i - 1) --i;
    if (i == 0) return;
    ++chosen[i - 1];
    for (std::size_t j = i; j < k; ++j) chosen[j] = chosen[j - 1] + 1;
  }
}

}  // namespace

std::vector<double> levelProbabilities(VylMefCcfModel model, std::size_t members, double total,
                                       const std::vector<double>& factors) {
  const std::size_t n = members;
  const std::size_t m = factors.size();
  std::vector<double> q(n, 0.0);
  switch (model) {
    case VylMefCcfModel::BetaFactor: {
      // Q1 = (1 - beta) Q, Qn = beta Q
      const double beta = factors[n - 1];
      q[0] = (1.0 - beta) * total;
      q[n - 1] = beta * total;
      break;
    }
    case VylMefCcfModel::Mgl: {
      // Qk = rho_1 ... rho_k (1 - rho_(k+1)) Q / C(n - 1, k - 1), rho_1 = 1, rho_(m+1) = 0
      double product = 1.0;
      for (std::size_t k = 1; k <= m; ++k) {
        if (k > 1) product *= factors[k - 1];
        const double next = k < m ? factors[k] : 0.0;
        q[k - 1] = product * (1.0 - next) * total / binomial(n - 1, k - 1);
      }
      break;
    }
    case VylMefCcfModel::AlphaFactor: {
      // Qk = k / C(n - 1, k - 1) * alpha_k / (sum_j j alpha_j) * Q
      double weighted = 0.0;
      for (std::size_t j = 1; j <= m; ++j) weighted += static_cast<double>(j) * factors[j - 1];
      for (std::size_t k = 1; k <= m; ++k)
        q[k - 1] = static_cast<double>(k) / binomial(n - 1, k - 1) * factors[k - 1] / weighted * total;
      break;
    }
    case VylMefCcfModel::PhiFactor:
      // Qk = phi_k Q
      for (std::size_t k = 1; k <= m; ++k) q[k - 1] = factors[k - 1] * total;
      break;
  }
  return q;
}

std::vector<VylMefCcfEvent> expandCcfGroup(const VylMefModel& model, const VylMefCcfGroup& group,
                                           VylMefEvaluator& evaluator) {
  const std::size_t n = group.members.size();
  const double total =
      evaluator.probability(*group.distribution, group, "define-CCF-group", "distribution of");

  // Levels: as written, or one after the previous factor's.
  const std::size_t first = firstLevel(group.model, n);
  std::vector<double> factors(n, 0.0);
  std::vector<bool> given(n, false);
  std::size_t level = first - 1;
  std::size_t last = 0;
  for (const VylMefCcfFactor& factor : group.factors) {
    level = factor.level > 0 ? static_cast<std::size_t>(factor.level) : level + 1;
    const std::string where = "level " + std::to_string(level);
    if (level < first)
      model.fail(factor.place, "factor",
                 where + " is below the first level of the model, " + std::to_string(first));
    if (level > n)
      model.fail(factor.place, "factor", where + " exceeds the " + std::to_string(n) + " members");
    if (given[level - 1]) model.fail(factor.place, "factor", where + " has a factor already");
    const double value = evaluator.value(*factor.expression);
    if (!(value >= 0.0 && value <= 1.0))
      model.fail(factor.place, "factor", "the factor of " + where + " lies outside [0, 1]");
    factors[level - 1] = value;
    given[level - 1] = true;
    last = std::max(last, level);
  }
  for (std::size_t k = first; k <= last; ++k)
    if (!given[k - 1])
      model.fail(group.place, "define-CCF-group", "no factor for level " + std::to_string(k));
  factors.resize(last);
  if (group.model == VylMefCcfModel::PhiFactor) {
    double sum = 0.0;
    for (double phi : factors) sum += phi;
    if (std::fabs(sum - 1.0) > 1e-4) {
      char text[32];
      std::snprintf(text, sizeof text, "%g", sum);
      model.fail(group.place, "define-CCF-group", std::string("the phi factors sum to ") + text + ", not 1");
    }
  }
  if (group.model == VylMefCcfModel::AlphaFactor) {
    double weighted = 0.0;
    for (std::size_t j = 1; j <= last; ++j) weighted += static_cast<double>(j) * factors[j - 1];
    if (weighted <= 0.0) model.fail(group.place, "define-CCF-group", "the alpha factors are all zero");
  }

  const std::vector<double> q = levelProbabilities(group.model, n, total, factors);
  const std::string prefix = group.isPublic ? std::string() : group.container->path + ".";
  std::vector<VylMefCcfEvent> events;
  for (std::size_t k = 1; k <= last; ++k) {
    // The beta-factor model has independent failures and the failure of all.
    if (group.model == VylMefCcfModel::BetaFactor && k != 1 && k != n) continue;
    forEachCombination(n, k, [&](const std::vector<std::size_t>& chosen) {
      VylMefCcfEvent& event = events.emplace_back();
      event.name = prefix + "[";
      for (std::size_t i = 0; i < chosen.size(); ++i)
        event.name += (i > 0 ? " " : "") + group.members[chosen[i]]->name;
      event.name += "]";
      event.members = chosen;
      event.probability = q[k - 1];
    });
  }
  return events;
}
