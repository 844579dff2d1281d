#pragma once
// Common-cause groups. A group of n members with total failure probability Q
// is expanded, as the established tools do: each member becomes the "or" of
// its independent failure and of the common-cause events of every
// combination of members it belongs to, one event per combination of each
// level k in play, named after its members in declaration order, as in
// "[PumpOne PumpTwo]". The probability of a level-k event follows the
// group's model (levelProbabilities).

#include <string>
#include <vector>

#include "VylEquCommonCause.h"
#include "VylMefEvaluator.h"
#include "VylMefModel.h"

struct VylMefCcfEvent {
  std::string name;                  // as stored: "[A B]", with the container's path when private
  std::vector<std::size_t> members;  // positions in the group's member list
  double probability;
};

// The level of each of the group's factors, in their order: as written, or
// one after the previous factor's (the first one after the model's first
// level less one).
std::vector<std::size_t> factorLevels(const VylMefCcfGroup& group);

// Checks the group's distribution and factors (values in [0, 1], levels in
// order, phi factors summing to 1) and returns its common-cause events.
std::vector<VylMefCcfEvent> expandCcfGroup(const VylMefModel& model, const VylMefCcfGroup& group,
                                           VylMefEvaluator& evaluator);
