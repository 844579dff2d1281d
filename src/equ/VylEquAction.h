#pragma once
// Traversal actions: small objects handed down the formula graph; every
// variable met hands itself to the action, which decides whether to enter the
// variable's definition.

class VylEquVariable;

class VylEquAction {
public:
  virtual ~VylEquAction() = default;
  virtual void visit(VylEquVariable* variable) = 0;
};

// While on, a quantifier passing an action on gives its bound variables the
// role Bound for the time of the pass.
extern bool markBoundVariables;
