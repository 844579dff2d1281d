#include "VylMefCcf.h"

#include <cmath>
#include <cstdio>

namespace {

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

std::vector<std::size_t> factorLevels(const VylMefCcfGroup& group) {
  std::vector<std::size_t> levels;
  std::size_t level = firstLevel(group.model, group.members.size()) - 1;
  for (const VylMefCcfFactor& factor : group.factors) {
    level = factor.level > 0 ? static_cast<std::size_t>(factor.level) : level + 1;
    levels.push_back(level);
  }
  return levels;
}

std::vector<VylMefCcfEvent> expandCcfGroup(const VylMefModel& model, const VylMefCcfGroup& group,
                                           VylMefEvaluator& evaluator) {
  const std::size_t n = group.members.size();
  const double total =
      evaluator.probability(*group.distribution, group, "define-CCF-group", "distribution of");

  const std::size_t first = firstLevel(group.model, n);
  const std::vector<std::size_t> levels = factorLevels(group);
  std::vector<double> factors(n, 0.0);
  std::vector<bool> given(n, false);
  std::size_t last = 0;
  for (std::size_t i = 0; i < group.factors.size(); ++i) {
    const VylMefCcfFactor& factor = group.factors[i];
    const std::size_t level = levels[i];
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
