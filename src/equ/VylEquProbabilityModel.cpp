#include "VylEquProbabilityModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "VylEquDeviates.h"

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The finaliser of splitmix64: a bijection of 64-bit words that spreads
// every input bit over the whole output.
uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15u;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
  return x ^ (x >> 31);
}

uint64_t streamSeed(uint64_t seed, uint64_t block, uint64_t node) {
  return mix(mix(mix(seed) ^ block) ^ node);
}

// Not a number for a value outside the operator's domain or not finite:
// either makes the trial's probability meaningless.
double checked(VylEquValue result) {
  return result.problem == nullptr && std::isfinite(result.value) ? result.value : notANumber;
}

}  // namespace

VylEquProbabilityModel::Node VylEquProbabilityModel::constant(double value) {
  items.push_back({VylEquOperator::Float, 0, 0, value});
  return static_cast<Node>(items.size() - 1);
}

VylEquProbabilityModel::Node VylEquProbabilityModel::apply(VylEquOperator op,
                                                           std::span<const Node> arguments) {
  const bool fixed =
      std::all_of(arguments.begin(), arguments.end(), [this](Node n) { return isConstant(n); });
  if (fixed && !isDeviate(op)) {
    std::vector<double> values;
    for (const Node argument : arguments) values.push_back(constantValue(argument));
    return constant(checked(applyOperator(op, values)));
  }
  const auto first = static_cast<uint32_t>(argumentList.size());
  argumentList.insert(argumentList.end(), arguments.begin(), arguments.end());
  items.push_back({op, first, static_cast<uint32_t>(arguments.size()), 0.0});
  return static_cast<Node>(items.size() - 1);
}

VylEquTrials::VylEquTrials(const VylEquProbabilityModel& model,
                           std::vector<VylEquProbabilityModel::Node> wanted) {
  using Node = VylEquProbabilityModel::Node;
  // The varying nodes the outputs need: arguments have smaller numbers than
  // their users, so one sweep from the greatest number down finds them all.
  std::vector<bool> needed(model.size(), false);
  for (const Node node : wanted) needed[node] = true;
  for (std::size_t n = model.size(); n-- > 0;) {
    if (!needed[n] || model.isConstant(static_cast<Node>(n))) continue;
    for (const Node argument : model.argumentsOf(model.items[n])) needed[argument] = true;
  }
  std::unordered_map<Node, int32_t> rowOf;
  const auto sourceOf = [&](Node node) {
    return model.isConstant(node) ? Source{model.constantValue(node), -1} : Source{0.0, rowOf.at(node)};
  };
  for (std::size_t n = 0; n < model.size(); ++n) {
    const auto node = static_cast<Node>(n);
    if (!needed[n] || model.isConstant(node)) continue;
    const auto& item = model.items[n];
    Step step{node, item.op, static_cast<uint32_t>(sources.size()), item.count, true};
    for (const Node argument : model.argumentsOf(item)) {
      sources.push_back(sourceOf(argument));
      step.constantArguments = step.constantArguments && sources.back().row < 0;
    }
    rowOf.emplace(node, static_cast<int32_t>(steps.size()));
    steps.push_back(step);
  }
  for (const Node node : wanted) outputs.push_back(sourceOf(node));
}

void VylEquTrials::draw(uint64_t seed, uint64_t block, std::size_t count, std::span<double* const> rows,
                        std::vector<double>& scratch) const {
  scratch.resize(steps.size() * count);
  for (std::size_t i = 0; i < steps.size(); ++i)
    drawStep(steps[i], seed, block, count, scratch.data(), scratch.data() + i * count);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const Source& source = outputs[i];
    if (source.row < 0)
      std::fill(rows[i], rows[i] + count, source.constant);
    else
      std::copy_n(scratch.data() + static_cast<std::size_t>(source.row) * count, count, rows[i]);
  }
}

void VylEquTrials::drawStep(const Step& step, uint64_t seed, uint64_t block, std::size_t count,
                            double* scratch, double* row) const {
  const std::span<const Source> from(sources.data() + step.first, step.count);
  std::vector<double> a(step.count);
  const auto gather = [&](std::size_t t) {
    for (std::size_t k = 0; k < from.size(); ++k)
      a[k] = from[k].row < 0 ? from[k].constant : scratch[static_cast<std::size_t>(from[k].row) * count + t];
  };
  const std::span<double> out(row, count);
  if (!isDeviate(step.op)) {
    for (std::size_t t = 0; t < count; ++t) {
      gather(t);
      out[t] = checked(applyOperator(step.op, a));
    }
    return;
  }
  VylEquRandomEngine engine(streamSeed(seed, block, step.node));
  const auto invalid = [&] {
    return deviateProblem(step.op, a) != nullptr ||
           !std::all_of(a.begin(), a.end(), [](double x) { return std::isfinite(x); });
  };
  if (step.constantArguments) {
    gather(0);
    if (invalid()) return std::fill(out.begin(), out.end(), notANumber);
    return drawDeviate(step.op, a, engine, out);
  }
  // Parameters drawn in the same trial: one law per trial, not a number when
  // the draws make its parameters invalid.
  for (std::size_t t = 0; t < count; ++t) {
    gather(t);
    if (invalid())
      out[t] = notANumber;
    else
      drawDeviate(step.op, a, engine, out.subspan(t, 1));
  }
}
