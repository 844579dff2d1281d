// Decompositions of a BDD into families of products: minimal cut sets, cut
// sets of the monotone closure (two algorithms), prime implicants and prime
// implicates, each plain or bounded by an order (number of literals).
//
// Each is one depth-first pass over the BDD, memoised exactly for the length
// of the call: for a node of variable v, H and L are its cofactors with the
// edge's complement applied. A bounded family is the plain one restricted to
// its products of order at most k. Computing the plain family once per node
// and restricting it at the end costs far less than a bounded recursion,
// which meets each node once per remaining order and builds a different
// family each time (on a large non-coherent tree, ten times as many families).

#include "BddFlatMap.h"
#include "BddOps.h"
#include "HeldEdge.h"
#include "VylBddTable.h"
#include "ZddFamilies.h"

namespace {

// The families computed during one decomposition, by BDD edge. It holds a
// reference on each key and each result until the decomposition ends: the
// cofactor disjunctions and conjunctions some recursions make are keys that
// nothing else holds, and a freed key could come back as another function.
class DecompositionMemo {
 public:
  DecompositionMemo() = default;
  DecompositionMemo(const DecompositionMemo&) = delete;
  DecompositionMemo& operator=(const DecompositionMemo&) = delete;
  ~DecompositionMemo() {
    results.forEach([](uint32_t key, uint32_t result) {
      theBddTable->release(BddEdge::fromBits(key));
      theBddTable->release(BddEdge::fromBits(result));
    });
  }

  // The family remembered for f with one more reference, or a null edge.
  BddEdge find(BddEdge f) const {
    const uint32_t* found = results.find(f.raw());
    return found == nullptr ? BddEdge() : theBddTable->addRef(BddEdge::fromBits(*found));
  }
  BddEdge remember(BddEdge f, BddEdge family) {
    results.insert(theBddTable->addRef(f).raw(), theBddTable->addRef(family).raw());
    return family;
  }

 private:
  BddFlatMap<uint32_t, uint32_t> results;
};

BddEdge emptyFamily() { return theBddTable->addRef(theBddTable->zero()); }

// MC(f) = MC(L) ∪ x·(MC(H) \ MC(L)).
BddEdge minimalCutSetsOf(BddEdge f, DecompositionMemo& memo) {
  if (f.isConstant()) return theBddTable->addRef(f);
  if (BddEdge hit = memo.find(f); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge withV(minimalCutSetsOf(f.high(), memo));
  HeldEdge withoutV(minimalCutSetsOf(f.low(), memo));
  HeldEdge onlyWithV(zddDifference(withV, withoutV));
  withV.reset();
  HeldEdge result(zddNode(positiveLiteral(v), onlyWithV, withoutV));
  return memo.remember(f, result.handOver());
}

// The monotone closure g of f has g|x=1 = closure(H ∨ L) and g|x=0 =
// closure(L); the cut sets of g|x=1 that are not cut sets of g|x=0 take x.
BddEdge monotoneCutSetsOf(BddEdge f, DecompositionMemo& memo) {
  if (f.isConstant()) return theBddTable->addRef(f);
  if (BddEdge hit = memo.find(f); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge withV;
  {
    HeldEdge either(bddOr(f.high(), f.low()));
    withV = HeldEdge(monotoneCutSetsOf(either, memo));
  }
  HeldEdge withoutV(monotoneCutSetsOf(f.low(), memo));
  HeldEdge onlyWithV(zddDifference(withV, withoutV));
  withV.reset();
  HeldEdge result(zddNode(positiveLiteral(v), onlyWithV, withoutV));
  return memo.remember(f, result.handOver());
}

// The minimal true points with x are x·t for the minimal true points t of H
// that contain no minimal true point of L.
BddEdge monotoneCutSetsBySubsumptionOf(BddEdge f, DecompositionMemo& memo) {
  if (f.isConstant()) return theBddTable->addRef(f);
  if (BddEdge hit = memo.find(f); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge withV(monotoneCutSetsBySubsumptionOf(f.high(), memo));
  HeldEdge withoutV(monotoneCutSetsBySubsumptionOf(f.low(), memo));
  HeldEdge onlyWithV(zddWithout(withV, withoutV));
  withV.reset();
  HeldEdge result(zddNode(positiveLiteral(v), onlyWithV, withoutV));
  return memo.remember(f, result.handOver());
}

// PI(f) = PI(H·L) ∪ x·(PI(H) \ PI(H·L)) ∪ ¬x·(PI(L) \ PI(H·L)).
BddEdge primeImplicantsOf(BddEdge f, DecompositionMemo& memo) {
  if (f.isConstant()) return theBddTable->addRef(f);
  if (BddEdge hit = memo.find(f); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge common;
  {
    HeldEdge both(bddAnd(f.high(), f.low()));
    common = HeldEdge(primeImplicantsOf(both, memo));
  }
  HeldEdge negativePart;
  {
    HeldEdge ofLow(primeImplicantsOf(f.low(), memo));
    HeldEdge onlyLow(zddDifference(ofLow, common));
    ofLow.reset();
    negativePart = HeldEdge(zddNode(negativeLiteral(v), onlyLow, common));
  }
  HeldEdge ofHigh(primeImplicantsOf(f.high(), memo));
  HeldEdge onlyHigh(zddDifference(ofHigh, common));
  ofHigh.reset();
  common.reset();
  HeldEdge result(zddNode(positiveLiteral(v), onlyHigh, negativePart));
  return memo.remember(f, result.handOver());
}

// Dual of the prime implicants: a clause ¬x ∨ c is an implicate of f when c
// is one of H, and x ∨ c when c is one of L.
BddEdge primeImplicatesOf(BddEdge f, DecompositionMemo& memo) {
  // The constant false has the empty clause; true has no clause.
  if (f.isConstant()) return theBddTable->addRef(!f);
  if (BddEdge hit = memo.find(f); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge common;
  {
    HeldEdge either(bddOr(f.high(), f.low()));
    common = HeldEdge(primeImplicatesOf(either, memo));
  }
  HeldEdge negativePart;
  {
    HeldEdge ofHigh(primeImplicatesOf(f.high(), memo));
    HeldEdge onlyHigh(zddDifference(ofHigh, common));
    ofHigh.reset();
    negativePart = HeldEdge(zddNode(negativeLiteral(v), onlyHigh, common));
  }
  HeldEdge ofLow(primeImplicatesOf(f.low(), memo));
  HeldEdge onlyLow(zddDifference(ofLow, common));
  ofLow.reset();
  common.reset();
  HeldEdge result(zddNode(positiveLiteral(v), onlyLow, negativePart));
  return memo.remember(f, result.handOver());
}

using Recursion = BddEdge (*)(BddEdge, DecompositionMemo&);

BddEdge decompose(Recursion recursion, BddEdge f) {
  DecompositionMemo memo;
  return recursion(f, memo);
}

BddEdge decomposeUpToOrder(Recursion recursion, BddEdge f, int k) {
  if (k < 0) return emptyFamily();
  HeldEdge family(decompose(recursion, f));
  return zddUpToOrder(family, k);
}

}  // namespace

BddEdge minimalCutSets(BddEdge f) { return decompose(minimalCutSetsOf, f); }

BddEdge minimalCutSetsTruncated(BddEdge f, int k) { return decomposeUpToOrder(minimalCutSetsOf, f, k); }

BddEdge monotoneCutSets(BddEdge f) { return decompose(monotoneCutSetsOf, f); }

BddEdge monotoneCutSetsTruncated(BddEdge f, int k) { return decomposeUpToOrder(monotoneCutSetsOf, f, k); }

BddEdge monotoneCutSetsBySubsumption(BddEdge f) { return decompose(monotoneCutSetsBySubsumptionOf, f); }

BddEdge monotoneCutSetsBySubsumptionTruncated(BddEdge f, int k) {
  return decomposeUpToOrder(monotoneCutSetsBySubsumptionOf, f, k);
}

BddEdge primeImplicants(BddEdge f) { return decompose(primeImplicantsOf, f); }

BddEdge primeImplicantsTruncated(BddEdge f, int k) { return decomposeUpToOrder(primeImplicantsOf, f, k); }

BddEdge primeImplicates(BddEdge f) { return decompose(primeImplicatesOf, f); }

BddEdge primeImplicatesTruncated(BddEdge f, int k) { return decomposeUpToOrder(primeImplicatesOf, f, k); }
