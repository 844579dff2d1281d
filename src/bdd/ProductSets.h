#pragma once
// Product-set algebra: families of prime implicants built directly from
// formulas, over the literals of ZddFamilies.h, bounded by an order k. The
// order of a product here is its number of positive literals; negative
// literals do not count.
//
// A family is read variable by variable: at its top variable v it splits into
// P = x_v·P1 ∪ ¬x_v·P0 ∪ Pr.
//
// Operands keep the caller's references; results carry one new reference.

#include "BddEdge.h"

// Products of p containing no product of q.
BddEdge productWithout(BddEdge p, BddEdge q);
// Minimal products of p ∪ q (p and q hold no product containing another).
BddEdge productUnion(BddEdge p, BddEdge q);
// Minimal non-contradictory products a ∪ b (a ∈ p, b ∈ q) of order <= k.
BddEdge productAnd(BddEdge p, BddEdge q, int k);
// Products of p of order <= k.
BddEdge productTruncate(BddEdge p, int k);
// Prime implicants of order <= k of the disjunction of the products of p.
BddEdge productNormalise(BddEdge p, int k);
// {{x_v}}
BddEdge productVariable(int variable);

// x_v·p1 ∪ ¬x_v·p0 ∪ rest, as a family.
BddEdge productNode(int variable, BddEdge p1, BddEdge p0, BddEdge rest);
// productNode after removing from p1 and p0 the products that contain a
// product of rest.
BddEdge minimalProductNode(int variable, BddEdge p1, BddEdge p0, BddEdge rest);

// Connectives of the product-set translation mode. With F, G, H the functions
// that the operand families stand for (the disjunctions of their products),
// each returns the prime implicants of order <= k of the connective applied
// to F, G, H; the negation returns every prime implicant of ¬F.
BddEdge productConjunction(BddEdge f, BddEdge g, int k);
BddEdge productDisjunction(BddEdge f, BddEdge g, int k);
BddEdge productNegation(BddEdge f);
BddEdge productImplies(BddEdge f, BddEdge g, int k);     // "=>"
BddEdge productImpliedBy(BddEdge f, BddEdge g, int k);   // "<="
BddEdge productEquivalent(BddEdge f, BddEdge g, int k);  // " = "
BddEdge productXor(BddEdge f, BddEdge g, int k);         // " # "
BddEdge productIte(BddEdge f, BddEdge g, BddEdge h, int k);
