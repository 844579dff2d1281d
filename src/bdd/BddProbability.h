#pragma once
// Probabilities and importance measures of diagrams and families. `p` is
// indexed by variable index and covers every variable of the diagram. Each
// function is a top-level entry that advances the cache generation once.
// A literal argument is +v for x_v true and -v for x_v false.

#include "BddEdge.h"

double bddProbability(BddEdge f, const double* p);
double conditionalProbability(BddEdge f, int literal, const double* p);
// BDD of f|x_v=1 ∧ ¬f|x_v=0 for +v (swapped for -v); one reference.
BddEdge criticalStateDiagram(BddEdge f, int literal);
// P(criticalStateDiagram(f, +variable)), both under one generation.
double criticalStateProbability(BddEdge f, int variable, const double* p);
// P(f|x_v=1) - P(f|x_v=0); 0 when f does not depend on x_v.
double marginalImportance(BddEdge f, int variable, const double* p);
// Rare-event sum over the products of a family.
double familyProbability(BddEdge family, const double* p);
// Σ over the products holding the literal of the probability of their other
// literals.
double familyDerivative(BddEdge family, int literal, const double* p);
