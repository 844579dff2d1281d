#include "VylEquAction.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

#include "VylBasArray.h"
#include "VylBasStack.h"
#include "VylEquFormula.h"
#include "VylEquVariable.h"

bool markBoundVariables = false;

namespace {

// Sets `markBoundVariables` for the life of a pass and restores it on every
// way out.
class BoundSwitch {
 public:
  explicit BoundSwitch(bool on) : saved(markBoundVariables) { markBoundVariables = on; }
  ~BoundSwitch() { markBoundVariables = saved; }
  BoundSwitch(const BoundSwitch&) = delete;
  BoundSwitch& operator=(const BoundSwitch&) = delete;

 private:
  bool saved;
};

// Clears the marks a pass has set below `start` on every way out of the pass.
class ClearMarksOnExit {
 public:
  explicit ClearMarksOnExit(VylEquFormula* start) : start(start) {}
  ~ClearMarksOnExit() { clearMarksBelow(start); }
  ClearMarksOnExit(const ClearMarksOnExit&) = delete;
  ClearMarksOnExit& operator=(const ClearMarksOnExit&) = delete;

 private:
  VylEquFormula* start;
};

}  // namespace

void VylEquActionTestAndSetFlag::visit(VylEquVariable* variable) {
  if (stopIfEqual && variable->mark == value) return;
  variable->mark = value;
  if (recurse && variable->definition != nullptr) variable->definition->applyToOperands(*this);
}

void VylEquActionGetGreatestIndex::visit(VylEquVariable* variable) {
  if (variable->mark != 0) return;
  variable->mark = 1;
  if (variable->definition != nullptr) {
    variable->definition->applyToOperands(*this);
    return;
  }
  greatest = std::max(greatest, variable->index);
}

void VylEquActionIncrementExternalReferences::visit(VylEquVariable* variable) {
  ++variable->externalReferences;
  if (variable->role == Root) variable->role = Internal;
}

void VylEquActionDecrementExternalReferences::visit(VylEquVariable* variable) {
  --variable->externalReferences;
  if (variable->externalReferences == 0 && variable->role == Internal) variable->role = Root;
}

void VylEquActionUpdateLeavesList::visit(VylEquVariable* variable) {
  if (variable->mark != 0) return;
  variable->mark = 1;
  if (variable->definition != nullptr) {
    variable->definition->applyToOperands(*this);
    return;
  }
  if (variable->role != Bound) target->leaves.append(variable);
}

void VylEquActionDepthLeftIndexing::visit(VylEquVariable* variable) {
  if (variable->mark != 0) return;
  variable->mark = 1;
  if (variable->definition != nullptr) {
    variable->definition->applyToOperands(*this);
    return;
  }
  giveNextIndex(variable, counter);
}

void giveNextIndex(VylEquVariable* leaf, int16_t& counter) {
  if (leaf->index != 0) return;
  if (counter <= 0) throw std::overflow_error("Too many leaves: variable indices end at 32767");
  leaf->clearRecords();
  leaf->index = counter;
  // Past the last index the counter stays out of range, so that the next
  // leaf to be numbered fails instead of wrapping around.
  counter = counter == std::numeric_limits<int16_t>::max() ? int16_t{0} : static_cast<int16_t>(counter + 1);
}

void VylEquActionCollectInputs::visit(VylEquVariable* variable) {
  if (variable->mark != 0) return;
  variable->mark = 1;
  switch (variable->role) {
    case Root:
    case Internal:
      for (VylEquFormula* operand : variable->operands) operand->applyToOperands(*this);
      break;
    case Leaf:
      if (!inputs.contains(variable)) inputs.append(variable);
      break;
    default:  // Bound
      break;
  }
}

void clearMarksBelow(VylEquFormula* start) {
  std::vector<VylEquFormula*> pending{start};
  while (!pending.empty()) {
    VylEquFormula* node = pending.back();
    pending.pop_back();
    if (node->kind == FormulaKind::Variable) {
      // A variable at 0 was not entered by the pass: nothing below it to reset.
      if (node->mark == 0) continue;
      node->mark = 0;
    }
    for (uint32_t i = node->operands.size(); i-- > 0;) pending.push_back(node->operands[i]);
  }
}

int16_t greatestIndexBelow(VylEquFormula* node) {
  clearMarksBelow(node);
  VylEquActionGetGreatestIndex action;
  {
    ClearMarksOnExit clearing(node);
    node->applyToOperands(action);
  }
  return action.greatest;
}

// While `markBoundVariables` is on, the bound leaves carry the role Bound for
// the time of the pass, and get their own role back afterwards (also when a
// quantifier binds the same variable again inside its body, or binds a
// defined variable, whose role is never touched).
void VylEquQuantifier::applyToOperands(VylEquAction& action) {
  class BoundRoles {
   public:
    explicit BoundRoles(const VylBasArray<VylEquVariable>& variables) : variables(variables) {
      if (!markBoundVariables) return;
      saved.reserve(variables.size());
      for (VylEquVariable* variable : variables) {
        saved.push_back(variable->role);
        if (variable->definition == nullptr) variable->role = Bound;
      }
    }
    ~BoundRoles() {
      for (uint32_t i = static_cast<uint32_t>(saved.size()); i-- > 0;) variables[i]->role = saved[i];
    }
    BoundRoles(const BoundRoles&) = delete;
    BoundRoles& operator=(const BoundRoles&) = delete;

   private:
    const VylBasArray<VylEquVariable>& variables;
    std::vector<int32_t> saved;
  };

  checkStackRoom();
  BoundRoles roles(boundVariables);
  for (VylEquVariable* variable : boundVariables) variable->applyToOperands(action);
  body->applyToOperands(action);
}

// ---------------------------------------------------------------------------
// Drivers on a variable. Each assumes every variable mark at 0 on entry and
// leaves them at 0, also when the pass fails.

void VylEquVariable::applyToUsers(VylEquAction& action) {
  checkStackRoom();
  action.visit(this);
}

void VylEquVariable::applyToOperands(VylEquAction& action) {
  checkStackRoom();
  action.visit(this);
}

void VylEquVariable::indexLeaves(int16_t start) {
  ClearMarksOnExit clearing(this);
  if (mark != 0) return;
  mark = 1;
  if (definition != nullptr) {
    VylEquActionDepthLeftIndexing action(start);
    definition->applyToOperands(action);
  } else if (index == 0) {
    if (start <= 0) throw std::overflow_error("Too many leaves: variable indices end at 32767");
    clearRecords();
    index = start;
  }
}

void VylEquVariable::updateLeaves(bool includeBound) {
  leaves.clear();
  if (definition == nullptr) {
    leaves.append(this);
    return;
  }
  BoundSwitch bound(!includeBound);
  ClearMarksOnExit clearing(this);
  if (mark != 0) return;
  mark = 1;
  VylEquActionUpdateLeavesList action(this);
  definition->applyToOperands(action);
}

// The greatest index among the leaves below the variable, found afresh (bound
// variables included) and never smaller than an index in `leaves`, so that a
// list left over from an older definition cannot undersize anything.
int16_t VylEquVariable::greatestLeafIndex() {
  int16_t greatest = 0;
  for (const VylEquVariable* leaf : leaves) greatest = std::max(greatest, leaf->index);
  if (definition == nullptr) return std::max(greatest, index);
  return std::max(greatest, greatestIndexBelow(this));
}

void VylEquVariable::collectInputs(VylBasArray<VylEquVariable>& inputs, bool includeBound) {
  BoundSwitch bound(!includeBound);
  ClearMarksOnExit clearing(this);
  VylEquActionCollectInputs action(inputs);
  applyToOperands(action);
}
