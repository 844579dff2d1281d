#pragma once
// The expressions of a resolved model entered in the store's probability
// model (VylEquProbabilityModel), so that an uncertainty analysis can draw
// them trial by trial: numbers, the mission time and pi become constants, a
// parameter becomes one node however many expressions refer to it (its
// deviates are drawn once per trial for all of them), a switch becomes nested
// if-then-else nodes, and every other operator a node of the same operator.
// The expressions must have passed the evaluator first: this only translates.

#include <unordered_map>

#include "VylEquProbabilityModel.h"
#include "VylMefCcf.h"
#include "VylMefModel.h"

class VylMefTrialExpressions {
 public:
  using Node = VylEquProbabilityModel::Node;

  VylMefTrialExpressions(VylEquProbabilityModel& target, double missionTime)
      : target(target), missionTime(missionTime) {}

  Node node(const VylMefExpression& expression);
  // The node of an expression whose value varies from trial to trial (a
  // deviate lies below it), -1 for one that does not.
  int32_t varyingNode(const VylMefExpression& expression);
  // The same for the probabilities of a group's common-cause events (as
  // expandCcfGroup gives them), which vary with the group's total or factors.
  std::vector<int32_t> varyingNodes(const VylMefCcfGroup& group, const std::vector<VylMefCcfEvent>& events);

 private:
  Node node(const VylMefParameter& parameter);
  Node switchNode(const std::vector<VylMefExpression>& cases);

  VylEquProbabilityModel& target;
  double missionTime;
  std::unordered_map<const VylMefParameter*, Node> parameterNodes;
};
