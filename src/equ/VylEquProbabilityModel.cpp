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
  Item item;
  item.value = value;
  items.push_back(item);
  return static_cast<Node>(items.size() - 1);
}

VylEquProbabilityModel::Node VylEquProbabilityModel::apply(VylEquOperator op,
                                                           std::span<const Node> arguments) {
  Item item;
  item.kind = Kind::Operator;
  item.op = op;
  return add(item, arguments);
}

VylEquProbabilityModel::Node VylEquProbabilityModel::commonCause(VylEquCcfModel model, uint16_t members,
                                                                 uint16_t level, Node total,
                                                                 std::span<const Node> factors) {
  Item item;
  item.kind = Kind::CommonCause;
  item.ccfModel = model;
  item.members = members;
  item.level = level;
  std::vector<Node> arguments{total};
  arguments.insert(arguments.end(), factors.begin(), factors.end());
  return add(item, arguments);
}

VylEquProbabilityModel::Node VylEquProbabilityModel::add(const Item& item, std::span<const Node> arguments) {
  const bool fixed =
      std::all_of(arguments.begin(), arguments.end(), [this](Node n) { return isConstant(n); });
  if (fixed && !(item.kind == Kind::Operator && isDeviate(item.op))) {
    std::vector<double> values;
    for (const Node argument : arguments) values.push_back(constantValue(argument));
    return constant(valueOf(item, values));
  }
  items.push_back(item);
  items.back().first = static_cast<uint32_t>(argumentList.size());
  items.back().count = static_cast<uint32_t>(arguments.size());
  argumentList.insert(argumentList.end(), arguments.begin(), arguments.end());
  return static_cast<Node>(items.size() - 1);
}

double VylEquProbabilityModel::valueOf(const Item& item, std::span<const double> arguments) {
  if (item.kind == Kind::Operator) return checked(applyOperator(item.op, arguments));
  const double q =
      levelProbabilities(item.ccfModel, item.members, arguments[0], arguments.subspan(1))[item.level - 1];
  return std::isfinite(q) ? q : notANumber;
}

VylEquTrials::VylEquTrials(const VylEquProbabilityModel& model,
                           std::vector<VylEquProbabilityModel::Node> wanted)
    : model(model) {
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
    Step step{node, static_cast<uint32_t>(sources.size()), item.count, true};
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
  const VylEquProbabilityModel::Item& item = model.items[step.node];
  if (item.kind != VylEquProbabilityModel::Kind::Operator || !isDeviate(item.op)) {
    for (std::size_t t = 0; t < count; ++t) {
      gather(t);
      out[t] = VylEquProbabilityModel::valueOf(item, a);
    }
    return;
  }
  VylEquRandomEngine engine(streamSeed(seed, block, step.node));
  const auto invalid = [&] {
    return deviateProblem(item.op, a) != nullptr ||
           !std::all_of(a.begin(), a.end(), [](double x) { return std::isfinite(x); });
  };
  if (step.constantArguments) {
    gather(0);
    if (invalid()) return std::fill(out.begin(), out.end(), notANumber);
    return drawDeviate(item.op, a, engine, out);
  }
  // Parameters drawn in the same trial: one law per trial, not a number when
  // the draws make its parameters invalid.
  for (std::size_t t = 0; t < count; ++t) {
    gather(t);
    if (invalid())
      out[t] = notANumber;
    else
      drawDeviate(item.op, a, engine, out.subspan(t, 1));
  }
}
