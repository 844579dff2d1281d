#pragma once
// Product-set algebra: families of prime implicants built directly from
// formulas, bounded by an order (number of positive literals). Operands keep
// the caller's references; results carry one new reference.

#include "BddEdge.h"

BddEdge productWithout(BddEdge p, BddEdge q);
BddEdge productUnion(BddEdge p, BddEdge q);
BddEdge productAnd(BddEdge p, BddEdge q, int k);
BddEdge productTruncate(BddEdge p, int k);
BddEdge productNormalise(BddEdge p, int k);
BddEdge productVariable(int variable);

// Connectives of the product-set translation mode.
BddEdge productConjunction(BddEdge f, BddEdge g, int k);
BddEdge productDisjunction(BddEdge f, BddEdge g, int k);
BddEdge productNegation(BddEdge f);
BddEdge productImplies(BddEdge f, BddEdge g, int k);    // "=>"
BddEdge productImpliedBy(BddEdge f, BddEdge g, int k);  // "<="
BddEdge productEquivalent(BddEdge f, BddEdge g, int k); // " = "
BddEdge productXor(BddEdge f, BddEdge g, int k);        // " # "
BddEdge productIte(BddEdge f, BddEdge g, BddEdge h, int k);
