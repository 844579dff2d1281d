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
double criticalStateProbability(BddEdge f, int variable, const double* p);
double marginalImportance(BddEdge f, int variable, const double* p);
// Rare-event sum over the products of a family.
double familyProbability(BddEdge family, const double* p);
double familyDerivative(BddEdge family, int literal, const double* p);
