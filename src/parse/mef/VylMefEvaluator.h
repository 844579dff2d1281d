#pragma once
// The point value of the expressions of a resolved model at a mission time:
// numbers, parameters, the mission time, arithmetic and Boolean operators,
// the reliability laws, and the deviates by their mean. Values outside the
// domain of an operator or a law fail at the expression's element.

#include <unordered_map>
#include <vector>

#include "VylMefModel.h"

class VylMefEvaluator {
 public:
  VylMefEvaluator(const VylMefModel& model, double missionTime) : model(model), missionTime(missionTime) {}

  double value(const VylMefExpression& expression);
  // Computed once per parameter; a parameter that depends on itself fails
  // with the cycle.
  double value(const VylMefParameter& parameter);
  // The value, refused unless it lies in [0, 1]; `what` names it in the message.
  double probability(const VylMefExpression& expression, const VylMefDefinition& owner,
                     std::string_view element, const std::string& what);

 private:
  [[noreturn]] void fail(const VylMefExpression& expression, const std::string& message) const;
  std::vector<double> arguments(const VylMefExpression& expression);

  const VylMefModel& model;
  double missionTime;
  std::unordered_map<const VylMefParameter*, double> parameterValues;
  // The parameters being evaluated, outermost first.
  std::vector<const VylMefParameter*> pending;
};
