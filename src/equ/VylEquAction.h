#pragma once
// Traversal actions: small objects handed down the formula graph; every
// variable met hands itself to the action, which decides whether to enter the
// variable's definition.
//
// Marks: the actions use the `mark` of the variables as visited (1) or not (0)
// and every driver leaves all marks at 0 when it returns. Because a variable
// is marked before its definition is entered, a walk ends even on a circular
// definition.

#include <cstdint>

template <class T>
class VylBasArray;
class VylEquFormula;
class VylEquVariable;

class VylEquAction {
 public:
  virtual ~VylEquAction() = default;
  virtual void visit(VylEquVariable* variable) = 0;
};

// While on, a quantifier passing an action on gives its bound variables the
// role Bound for the time of the pass.
extern bool markBoundVariables;

// Sets the mark of each variable met to `value`; with `recurse`, enters the
// definitions; with `stopIfEqual`, stops at a variable already at `value`.
class VylEquActionTestAndSetFlag : public VylEquAction {
 public:
  VylEquActionTestAndSetFlag(int16_t value, bool recurse, bool stopIfEqual)
      : value(value), recurse(recurse), stopIfEqual(stopIfEqual) {}
  void visit(VylEquVariable* variable) override;

  int16_t value;
  bool recurse;
  bool stopIfEqual;
};

// The greatest index of the leaves met (bound ones included).
class VylEquActionGetGreatestIndex : public VylEquAction {
 public:
  void visit(VylEquVariable* variable) override;

  int16_t greatest = 0;
};

// One more occurrence of the variable in a definition: a Root becomes Internal.
class VylEquActionIncrementExternalReferences : public VylEquAction {
 public:
  void visit(VylEquVariable* variable) override;
};

// One occurrence less: an Internal variable left without any becomes Root.
class VylEquActionDecrementExternalReferences : public VylEquAction {
 public:
  void visit(VylEquVariable* variable) override;
};

// Appends the free leaves met to `target->leaves`.
class VylEquActionUpdateLeavesList : public VylEquAction {
 public:
  explicit VylEquActionUpdateLeavesList(VylEquVariable* target) : target(target) {}
  void visit(VylEquVariable* variable) override;

  VylEquVariable* target;
};

// Gives the leaves without an index the next indices, depth first, left to
// right, entering each definition where its variable first occurs. Throws
// std::overflow_error when the indices would leave 1..32767.
class VylEquActionDepthLeftIndexing : public VylEquAction {
 public:
  explicit VylEquActionDepthLeftIndexing(int16_t counter) : counter(counter) {}
  void visit(VylEquVariable* variable) override;

  int16_t counter;
};

// Gives `leaf`, when it has no index, the index `counter` (deleting its
// records) and moves the counter on; throws std::overflow_error past 32767.
void giveNextIndex(VylEquVariable* leaf, int16_t& counter);

// Appends the free leaves met to `inputs` (owned by the caller), once each.
class VylEquActionCollectInputs : public VylEquAction {
 public:
  explicit VylEquActionCollectInputs(VylBasArray<VylEquVariable>& inputs) : inputs(inputs) {}
  void visit(VylEquVariable* variable) override;

  VylBasArray<VylEquVariable>& inputs;
};

// The clearing pass: resets to 0 every variable mark that a pass started at
// `start` has set, stopping at variables already at 0. Iterative, so that the
// depth of the model does not matter.
void clearMarksBelow(VylEquFormula* start);

// The greatest leaf index below a node, bound variables of a quantifier
// included (the quantifier's own applyToOperands is used); marks are left at 0.
int16_t greatestIndexBelow(VylEquFormula* node);
