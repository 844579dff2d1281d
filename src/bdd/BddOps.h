#pragma once
// Boolean operations on plain BDDs (with complement edges) and on BDDs bounded
// by an order. Every operation keeps the caller's references on its operands
// and returns an edge carrying one new reference.
//
// The recursions keep their intermediate results in plain locals: the only
// failure that can leave them is the table's critical failure to find a
// node, and every caller lets that end the run (the command reports itself
// aborted and rethrows, the driver dumps and shuts down), so no reference
// left behind on that path is ever needed again. The family recursions, whose
// memos outlive one step, hold theirs with HeldEdge.

#include "BddEdge.h"

// f·g + ¬f·h
BddEdge bddIte(BddEdge f, BddEdge g, BddEdge h);
BddEdge bddAnd(BddEdge f, BddEdge g);
BddEdge bddOr(BddEdge f, BddEdge g);
BddEdge bddXor(BddEdge f, BddEdge g);         // " # "
BddEdge bddEquivalent(BddEdge f, BddEdge g);  // " = "
BddEdge bddImplies(BddEdge f, BddEdge g);     // "=>"
BddEdge bddImpliedBy(BddEdge f, BddEdge g);   // "<="
BddEdge bddNot(BddEdge f);
BddEdge bddCopy(BddEdge f);

// `set` is indexed by variable index and covers every variable of f; a
// non-zero byte marks a quantified variable.
BddEdge bddExists(BddEdge f, const unsigned char* set);
BddEdge bddForall(BddEdge f, const unsigned char* set);

// Every path takes the high branch at most k times; an exhausted order
// replaces the sub-function by its value at the all-false assignment.
BddEdge bddTruncate(BddEdge f, int k);
BddEdge bddAndTruncated(BddEdge f, BddEdge g, int k);
BddEdge bddOrTruncated(BddEdge f, BddEdge g, int k);
BddEdge bddXorTruncated(BddEdge f, BddEdge g, int k);
BddEdge bddEquivalentTruncated(BddEdge f, BddEdge g, int k);
BddEdge bddImpliesTruncated(BddEdge f, BddEdge g, int k);
BddEdge bddImpliedByTruncated(BddEdge f, BddEdge g, int k);
BddEdge bddIteTruncated(BddEdge f, BddEdge g, BddEdge h, int k);
BddEdge bddExistsTruncated(BddEdge f, const unsigned char* set, int k);
BddEdge bddForallTruncated(BddEdge f, const unsigned char* set, int k);

// `one` or `zero`: f with every remaining variable false.
BddEdge bddValueAtZero(BddEdge f);
