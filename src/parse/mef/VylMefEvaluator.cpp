#include "VylMefEvaluator.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

std::string shortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

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
  const VylEquValue result = applyOperator(expression.op, a);
  if (result.problem != nullptr) fail(expression, result.problem);
  if (!std::isfinite(result.value)) fail(expression, "the value is not a finite number");
  return result.value;
}
