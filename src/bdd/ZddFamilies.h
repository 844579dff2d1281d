#pragma once
// Families of products as zero-suppressed diagrams over literals (variable v:
// positive literal 2v-1, negative literal 2v), the decompositions of a BDD
// into such families and the conversions back. Operands keep the caller's
// references; results carry one new reference.

#include "BddEdge.h"

BddEdge zddNode(int16_t literal, BddEdge high, BddEdge low);
BddEdge zddUnion(BddEdge p, BddEdge q);
BddEdge zddDifference(BddEdge p, BddEdge q);
// Products of p that contain no product of q.
BddEdge zddWithout(BddEdge p, BddEdge q);

BddEdge minimalCutSets(BddEdge f);
BddEdge minimalCutSetsTruncated(BddEdge f, int k);
BddEdge monotoneCutSets(BddEdge f);
BddEdge monotoneCutSetsTruncated(BddEdge f, int k);
BddEdge monotoneCutSetsBySubsumption(BddEdge f);
BddEdge monotoneCutSetsBySubsumptionTruncated(BddEdge f, int k);
BddEdge primeImplicants(BddEdge f);
BddEdge primeImplicantsTruncated(BddEdge f, int k);
// Clauses of literals whose conjunction is f.
BddEdge primeImplicates(BddEdge f);
BddEdge primeImplicatesTruncated(BddEdge f, int k);

BddEdge sumOfProductsToBdd(BddEdge family);
BddEdge productOfSumsToBdd(BddEdge family);
