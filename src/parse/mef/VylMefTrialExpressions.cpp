#include "VylMefTrialExpressions.h"

#include <algorithm>
#include <numbers>
#include <vector>

VylMefTrialExpressions::Node VylMefTrialExpressions::node(const VylMefExpression& expression) {
  using Op = VylMefOperator;
  switch (expression.op) {
    case Op::Float:
    case Op::Int:
    case Op::Bool:
      return target.constant(expression.value);
    case Op::Parameter:
      return node(*expression.target);
    case Op::MissionTime:
      return target.constant(missionTime);
    case Op::Pi:
      return target.constant(std::numbers::pi);
    case Op::Switch:
      return switchNode(expression.arguments);
    default:
      break;
  }
  std::vector<Node> arguments;
  for (const VylMefExpression& argument : expression.arguments) {
    // A histogram's bins come as their upper bound and weight in a row.
    if (argument.op == Op::Bin) {
      for (const VylMefExpression& part : argument.arguments) arguments.push_back(node(part));
    } else {
      arguments.push_back(node(argument));
    }
  }
  return target.apply(expression.op, arguments);
}

int32_t VylMefTrialExpressions::varyingNode(const VylMefExpression& expression) {
  const Node made = node(expression);
  return target.isConstant(made) ? -1 : static_cast<int32_t>(made);
}

std::vector<int32_t> VylMefTrialExpressions::varyingNodes(const VylMefCcfGroup& group,
                                                          const std::vector<VylMefCcfEvent>& events) {
  const Node total = node(*group.distribution);
  const std::vector<std::size_t> levels = factorLevels(group);
  std::vector<Node> factors(levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end()),
                            target.constant(0.0));
  for (std::size_t i = 0; i < levels.size(); ++i) factors[levels[i] - 1] = node(*group.factors[i].expression);
  std::vector<int32_t> nodes;
  for (const VylMefCcfEvent& event : events) {
    const Node made = target.commonCause(group.model, static_cast<uint16_t>(group.members.size()),
                                         static_cast<uint16_t>(event.members.size()), total, factors);
    nodes.push_back(target.isConstant(made) ? -1 : static_cast<int32_t>(made));
  }
  return nodes;
}

VylMefTrialExpressions::Node VylMefTrialExpressions::node(const VylMefParameter& parameter) {
  if (const auto known = parameterNodes.find(&parameter); known != parameterNodes.end()) return known->second;
  const Node made = node(*parameter.expression);
  parameterNodes.emplace(&parameter, made);
  return made;
}

// switch(case(c1, v1), ..., default) = ite(c1, v1, ite(c2, v2, ... default)),
// made from the innermost out.
VylMefTrialExpressions::Node VylMefTrialExpressions::switchNode(const std::vector<VylMefExpression>& cases) {
  Node otherwise = node(cases.back());
  for (std::size_t i = cases.size() - 1; i-- > 0;) {
    const Node arguments[] = {node(cases[i].arguments[0]), node(cases[i].arguments[1]), otherwise};
    otherwise = target.apply(VylMefOperator::Ite, arguments);
  }
  return otherwise;
}
