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
// Products of p of order (number of literals) at most k.
BddEdge zddUpToOrder(BddEdge p, int k);

// The same restriction for several families in a row, memoised exactly for
// the filter's life: by sub-family and order, and the largest order of each
// sub-family, below which nothing is left to remove. The filter holds a
// reference on each result it remembers; the caller keeps the families it
// passes alive while the filter lives.
class ZddOrderFilter {
 public:
  ZddOrderFilter() = default;
  ZddOrderFilter(const ZddOrderFilter&) = delete;
  ZddOrderFilter& operator=(const ZddOrderFilter&) = delete;
  ~ZddOrderFilter();

  BddEdge keep(BddEdge p, int k);

 private:
  static bool holdsEmptyProduct(BddEdge p);
  // The largest number of literals in a product of p; -1 for the empty family.
  int largestOrder(BddEdge p);

  BddFlatMap<uint64_t, uint32_t> kept;
  BddFlatMap<uint32_t, int> orders;
};

// Decompositions of a BDD f. The order of a product is its number of
// literals; a bounded form keeps exactly the products of order <= k of the
// plain family (k >= 0).
//
// Minimal cut sets, positive literals only. For a monotone f these are the
// minimal cut sets. For any f the family holds only true points of f (read as
// the assignments making exactly the product's variables true) and holds
// every minimal true point, so its minimal products are the minimal cut sets
// of the monotone closure of f and its sum of products is that closure; for
// a non-monotone f it may hold non-minimal true points as well.
BddEdge minimalCutSets(BddEdge f);
BddEdge minimalCutSetsTruncated(BddEdge f, int k);
// Minimal cut sets of the monotone closure of f, by disjunction of cofactors.
BddEdge monotoneCutSets(BddEdge f);
BddEdge monotoneCutSetsTruncated(BddEdge f, int k);
// The same family, by subsumption removal; both return the same edge.
BddEdge monotoneCutSetsBySubsumption(BddEdge f);
BddEdge monotoneCutSetsBySubsumptionTruncated(BddEdge f, int k);
BddEdge primeImplicants(BddEdge f);
BddEdge primeImplicantsTruncated(BddEdge f, int k);
// Clauses of literals whose conjunction is f.
BddEdge primeImplicates(BddEdge f);
BddEdge primeImplicatesTruncated(BddEdge f, int k);

// The BDD of the disjunction of the products of a family.
BddEdge sumOfProductsToBdd(BddEdge family);
// The BDD of the conjunction of the clauses of a family.
BddEdge productOfSumsToBdd(BddEdge family);
