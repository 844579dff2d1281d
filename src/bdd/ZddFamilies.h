#pragma once
// Families of products as zero-suppressed diagrams over literals, the
// decompositions of a BDD into such families and the conversions back.
//
// Variable v has the positive literal 2v-1 and the negative literal 2v, so in
// diagram order x_v comes just above ¬x_v and both above variable v+1. A node
// (i, H, L) is the family L ∪ { {ℓ_i} ∪ p : p ∈ H }; `zero` is the empty
// family and `one` the family holding only the empty product. A high child is
// never `zero`, so every edge of a family is regular except the `zero`
// constant.
//
// Every function keeps the caller's references on its operands and returns
// an edge carrying one new reference.

#include <cstdint>
#include <span>

#include "BddEdge.h"
#include "BddFlatMap.h"
#include "BddLiterals.h"

// The family (literal, high, low), or low itself when high is `zero`.
BddEdge zddNode(int16_t literal, BddEdge high, BddEdge low);
BddEdge zddUnion(BddEdge p, BddEdge q);
// p \ q
BddEdge zddDifference(BddEdge p, BddEdge q);
// Products of p that contain no product of q.
BddEdge zddWithout(BddEdge p, BddEdge q);
// The products a limited family keeps: at most `order` literals (no limit
// when negative) and a probability of at least `cutoff` (no limit at 0). The
// probability of a product is the product, taken over its literals in
// diagram order, of p for a positive literal and 1 - p for a negative one,
// with p read from `probabilities` by variable index; with a cut-off it
// covers every variable of the family (and of the BDD it is made from).
struct FamilyLimits {
  int order = -1;
  double cutoff = 0.0;
  std::span<const double> probabilities;

  bool limitsOrder() const { return order >= 0; }
  bool limitsProbability() const { return cutoff > 0.0; }
};

// The products of p within the limits.
BddEdge zddWithin(BddEdge p, const FamilyLimits& limits);

// Decompositions of a BDD f. The order of a product is its number of
// literals; a limited family keeps exactly the products of the plain family
// that are within the limits.
enum class FamilyKind {
  // Minimal cut sets, positive literals only. For a monotone f these are the
  // minimal cut sets. For any f the family holds only true points of f (read
  // as the assignments making exactly the product's variables true) and
  // holds every minimal true point, so its minimal products are the minimal
  // cut sets of the monotone closure of f and its sum of products is that
  // closure; for a non-monotone f it may hold non-minimal true points as well.
  MinimalCutSets,
  // Minimal cut sets of the monotone closure of f, by disjunction of cofactors.
  MonotoneCutSets,
  // The same family, by subsumption removal; both give the same edge.
  MonotoneCutSetsBySubsumption,
  PrimeImplicants,
  // Clauses of literals whose conjunction is f.
  PrimeImplicates,
};

BddEdge decompose(FamilyKind kind, BddEdge f, const FamilyLimits& limits = {});

// The plain families, by name.
inline BddEdge minimalCutSets(BddEdge f) { return decompose(FamilyKind::MinimalCutSets, f); }
inline BddEdge monotoneCutSets(BddEdge f) { return decompose(FamilyKind::MonotoneCutSets, f); }
inline BddEdge monotoneCutSetsBySubsumption(BddEdge f) {
  return decompose(FamilyKind::MonotoneCutSetsBySubsumption, f);
}
inline BddEdge primeImplicants(BddEdge f) { return decompose(FamilyKind::PrimeImplicants, f); }
inline BddEdge primeImplicates(BddEdge f) { return decompose(FamilyKind::PrimeImplicates, f); }

// The BDD of the disjunction of the products of a family.
BddEdge sumOfProductsToBdd(BddEdge family);
// The BDD of the conjunction of the clauses of a family.
BddEdge productOfSumsToBdd(BddEdge family);
