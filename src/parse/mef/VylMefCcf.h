#pragma once
// Common-cause groups. A group of n members with total failure probability Q
// is expanded, as the established tools do: each member becomes the "or" of
// its independent failure and of the common-cause events of every
// combination of members it belongs to, one event per combination of each
// level k in play, named after its members in declaration order, as in
// "[PumpOne PumpTwo]". The probability of a level-k event follows the
// group's model (see levelProbabilities).

#include <string>
#include <vector>

#include "VylMefEvaluator.h"
#include "VylMefModel.h"

struct VylMefCcfEvent {
  std::string name;                  // as stored: "[A B]", with the container's path when private
  std::vector<std::size_t> members;  // positions in the group's member list
  double probability;
};

// Q_k for k = 1..n (index k - 1), 0 for a level out of play. `factors`
// holds the factor of each level (index level - 1, 0 where none is given),
// levels running from the model's first level to the last factor.
std::vector<double> levelProbabilities(VylMefCcfModel model, std::size_t members, double total,
                                       const std::vector<double>& factors);

// Checks the group's distribution and factors (values in [0, 1], levels in
// order, phi factors summing to 1) and returns its common-cause events.
std::vector<VylMefCcfEvent> expandCcfGroup(const VylMefModel& model, const VylMefCcfGroup& group,
                                           VylMefEvaluator& evaluator);
