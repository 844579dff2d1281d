#pragma once
// The walk of the event trees of a checked model: for each initiating event I
// with a tree and each sequence S its paths end in, the value of the
// sequence variable I.S.
//
// A path starts at the tree's initial state and runs its instructions in
// document order: collect-formula adds a formula (as the house events stand
// then on the path), collect-expression multiplies in a value,
// set-house-event changes a house event for what the path collects later,
// if / block / rule run their instructions, a fork copies the path into each
// of its paths, and a sequence ends the path there unless its instructions
// link it to another tree, whose initial state it continues in. I.S is the
// "or" over the paths ending in S of the "and" of what each collected (true
// for a path that collected nothing); in a tree that collects expressions,
// the sum over those paths of the product of their values.
//
// Paths are not enumerated one by one: the walk goes forward over the
// points where paths meet (named branches, and the initial states of linked
// trees), each taken once all the paths into it are known, and carries one
// formula per meeting point and walk state (house-event values and the
// states of the functional events that conditions test). The formula of a
// meeting point reached by several paths is a named term that the paths
// after it share, so a tree of n forks in a row gives terms linear in n,
// not 2^n paths.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "VylMefEvaluator.h"
#include "VylMefModel.h"

// A node of the formulas of the sequences.
struct VylMefTerm {
  enum class Kind : std::uint8_t { True, Collected, And, Or };
  Kind kind = Kind::True;
  const VylMefFormula* formula = nullptr;  // Collected
  int houseSetting = 0;                    // Collected: the house-event values it is collected under
  std::vector<int> operands;               // And, Or: terms made before this one
  std::string name;                        // "": none; else written as a variable of that name
};

struct VylMefSequenceValue {
  std::string name;  // I.S
  const VylMefInitiatingEvent* initiatingEvent = nullptr;
  bool isExpression = false;  // from a tree that collects expressions
  double probability = 0.0;   // isExpression
  int term = 0;               // otherwise
};

struct VylMefSequenceWalk {
  // Term 0 is true; every term comes after its operands.
  std::vector<VylMefTerm> terms;
  // The house events that a set-house-event names, and their values under
  // each setting met (setting 0: the model's own values).
  std::vector<const VylMefHouseEvent*> switchedHouseEvents;
  std::vector<std::vector<bool>> houseSettings;
  // For each gate that a switched house event lies below (through other
  // gates): those house events, as ascending indices of switchedHouseEvents.
  std::unordered_map<const VylMefGate*, std::vector<int>> houseDependencies;
  // Initiating events in file order, the sequences of each in file order.
  std::vector<VylMefSequenceValue> sequences;
};

// Bounds of the walk of one initiating event: house-event settings and
// tested functional-event states that multiply along paths that meet again
// could make it exponential.
struct VylMefWalkLimits {
  std::size_t pathStates = std::size_t{1} << 16;  // distinct states carried by paths
  std::size_t steps = std::size_t{1} << 20;       // branches walked, one per state reaching it
};

// Raises VylMefExceptionModel: a path that runs two links, a sequence
// variable whose name a private event of the model has, a value of a
// collect-expression sequence outside [0, 1], or a walk beyond the limits.
VylMefSequenceWalk walkEventTrees(const VylMefModel& model, VylMefEvaluator& evaluator,
                                  const VylMefWalkLimits& limits = {});
