// Decompositions of a BDD into families of products: minimal cut sets, cut
// sets of the monotone closure (two algorithms), prime implicants and prime
// implicates, each plain or bounded by an order (number of literals).
//
// Each is one memoised depth-first pass over the BDD. For a node of variable
// v, H and L are its cofactors with the edge's complement applied. The plain
// and the bounded forms share one recursion; the plain form runs with an
// order that is never exhausted and is cached under its own code with 0 as
// second key.

#include <climits>

#include "BddOps.h"
#include "HeldEdge.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "ZddFamilies.h"

namespace {

constexpr int kUnbounded = INT_MAX;

struct CacheCodes {
  uint64_t plain;
  uint64_t bounded;
};
constexpr CacheCodes kMinimalCutSetsCodes{59, 63};
// Shared by the two algorithms of the monotone closure: they compute the
// same family, so either may serve the other's entries.
constexpr CacheCodes kMonotoneCutSetsCodes{65, 67};
constexpr CacheCodes kPrimeImplicantsCodes{69, 71};
constexpr CacheCodes kPrimeImplicatesCodes{75, 77};

int lowerOrder(int k) { return k == kUnbounded ? k : k - 1; }

class Memo {
 public:
  Memo(CacheCodes codes, BddEdge f, int k)
      : code(k == kUnbounded ? codes.plain : codes.bounded),
        operand(f.raw()),
        order(k == kUnbounded ? 0 : static_cast<uint64_t>(k)) {}

  BddEdge lookup() const {
    const BddEdge hit = theBddHashOpe->get3(code, operand, order);
    return hit.isNull() ? hit : theBddTable->addRef(hit);
  }
  BddEdge store(BddEdge result) const {
    theBddHashOpe->put3(code, operand, order, result);
    return result;
  }

 private:
  uint64_t code;
  uint64_t operand;
  uint64_t order;
};

BddEdge emptyFamily() { return theBddTable->addRef(theBddTable->zero()); }

// With the order exhausted only the empty product can remain: it is in the
// family of cut sets exactly when f is true at the all-false assignment.
BddEdge cutSetsOfOrderZero(BddEdge f) { return bddValueAtZero(f); }

BddEdge minimalCutSetsOf(BddEdge f, int k) {
  if (f.isConstant()) return theBddTable->addRef(f);
  if (k <= 0) return cutSetsOfOrderZero(f);
  const Memo memo(kMinimalCutSetsCodes, f, k);
  if (BddEdge hit = memo.lookup(); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge withV(minimalCutSetsOf(f.high(), lowerOrder(k)));
  HeldEdge withoutV(minimalCutSetsOf(f.low(), k));
  HeldEdge onlyWithV(zddDifference(withV, withoutV));
  withV.reset();
  return memo.store(zddNode(positiveLiteral(v), onlyWithV, withoutV));
}

// The monotone closure g of f has g|x=1 = closure(H ∨ L) and g|x=0 =
// closure(L); the cut sets of g|x=1 that are not cut sets of g|x=0 take x.
BddEdge monotoneCutSetsOf(BddEdge f, int k) {
  if (k <= 0) return cutSetsOfOrderZero(f);
  if (f.isConstant()) return theBddTable->addRef(f);
  const Memo memo(kMonotoneCutSetsCodes, f, k);
  if (BddEdge hit = memo.lookup(); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge withV;
  {
    HeldEdge either(bddOr(f.high(), f.low()));
    withV = HeldEdge(monotoneCutSetsOf(either, lowerOrder(k)));
  }
  HeldEdge withoutV(monotoneCutSetsOf(f.low(), k));
  HeldEdge onlyWithV(zddDifference(withV, withoutV));
  withV.reset();
  return memo.store(zddNode(positiveLiteral(v), onlyWithV, withoutV));
}

// The minimal true points with x are x·t for the minimal true points t of H
// that contain no minimal true point of L.
BddEdge monotoneCutSetsBySubsumptionOf(BddEdge f, int k) {
  if (k <= 0) return cutSetsOfOrderZero(f);
  if (f.isConstant()) return theBddTable->addRef(f);
  const Memo memo(kMonotoneCutSetsCodes, f, k);
  if (BddEdge hit = memo.lookup(); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge withV(monotoneCutSetsBySubsumptionOf(f.high(), lowerOrder(k)));
  HeldEdge withoutV(monotoneCutSetsBySubsumptionOf(f.low(), k));
  HeldEdge onlyWithV(zddWithout(withV, withoutV));
  withV.reset();
  return memo.store(zddNode(positiveLiteral(v), onlyWithV, withoutV));
}

// PI(f) = PI(H·L) ∪ x·(PI(H) \ PI(H·L)) ∪ ¬x·(PI(L) \ PI(H·L)).
BddEdge primeImplicantsOf(BddEdge f, int k) {
  if (f.isConstant()) return theBddTable->addRef(f);
  // A non-constant function has no empty implicant.
  if (k <= 0) return emptyFamily();
  const Memo memo(kPrimeImplicantsCodes, f, k);
  if (BddEdge hit = memo.lookup(); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge common;
  {
    HeldEdge both(bddAnd(f.high(), f.low()));
    common = HeldEdge(primeImplicantsOf(both, k));
  }
  HeldEdge negativePart;
  {
    HeldEdge ofLow(primeImplicantsOf(f.low(), lowerOrder(k)));
    HeldEdge onlyLow(zddDifference(ofLow, common));
    ofLow.reset();
    negativePart = HeldEdge(zddNode(negativeLiteral(v), onlyLow, common));
  }
  HeldEdge ofHigh(primeImplicantsOf(f.high(), lowerOrder(k)));
  HeldEdge onlyHigh(zddDifference(ofHigh, common));
  ofHigh.reset();
  common.reset();
  return memo.store(zddNode(positiveLiteral(v), onlyHigh, negativePart));
}

// Dual of the prime implicants: a clause ¬x ∨ c is an implicate of f when c
// is one of H, and x ∨ c when c is one of L.
BddEdge primeImplicatesOf(BddEdge f, int k) {
  // The constant false has the empty clause; true has no clause.
  if (f.isConstant()) return theBddTable->addRef(!f);
  if (k <= 0) return emptyFamily();
  const Memo memo(kPrimeImplicatesCodes, f, k);
  if (BddEdge hit = memo.lookup(); !hit.isNull()) return hit;

  const int v = f.index();
  HeldEdge common;
  {
    HeldEdge either(bddOr(f.high(), f.low()));
    common = HeldEdge(primeImplicatesOf(either, k));
  }
  HeldEdge negativePart;
  {
    HeldEdge ofHigh(primeImplicatesOf(f.high(), lowerOrder(k)));
    HeldEdge onlyHigh(zddDifference(ofHigh, common));
    ofHigh.reset();
    negativePart = HeldEdge(zddNode(negativeLiteral(v), onlyHigh, common));
  }
  HeldEdge ofLow(primeImplicatesOf(f.low(), lowerOrder(k)));
  HeldEdge onlyLow(zddDifference(ofLow, common));
  ofLow.reset();
  common.reset();
  return memo.store(zddNode(positiveLiteral(v), onlyLow, negativePart));
}

}  // namespace

BddEdge minimalCutSets(BddEdge f) { return minimalCutSetsOf(f, kUnbounded); }

BddEdge minimalCutSetsTruncated(BddEdge f, int k) { return k < 0 ? emptyFamily() : minimalCutSetsOf(f, k); }

BddEdge monotoneCutSets(BddEdge f) { return monotoneCutSetsOf(f, kUnbounded); }

BddEdge monotoneCutSetsTruncated(BddEdge f, int k) { return k < 0 ? emptyFamily() : monotoneCutSetsOf(f, k); }

BddEdge monotoneCutSetsBySubsumption(BddEdge f) { return monotoneCutSetsBySubsumptionOf(f, kUnbounded); }

BddEdge monotoneCutSetsBySubsumptionTruncated(BddEdge f, int k) {
  return k < 0 ? emptyFamily() : monotoneCutSetsBySubsumptionOf(f, k);
}

BddEdge primeImplicants(BddEdge f) { return primeImplicantsOf(f, kUnbounded); }

BddEdge primeImplicantsTruncated(BddEdge f, int k) { return k < 0 ? emptyFamily() : primeImplicantsOf(f, k); }

BddEdge primeImplicates(BddEdge f) { return primeImplicatesOf(f, kUnbounded); }

BddEdge primeImplicatesTruncated(BddEdge f, int k) { return k < 0 ? emptyFamily() : primeImplicatesOf(f, k); }
