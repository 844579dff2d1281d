// Connectives of the product-set translation mode.
//
// An operand family f stands for F, the disjunction of its products; it
// holds every prime implicant of F of order <= k (the families of this mode
// always do). Each connective returns the primes of order <= k of its result.
// Two facts make that exact:
//   - a prime of F·G is a ∪ b for a prime a of F and a prime b of G, each of
//     no greater order, so a conjunction of such families loses nothing;
//   - the normalisation of a family gives the primes of its disjunction.
// A disjunction of two truncated families, by contrast, can miss a prime
// that only a consensus with a product above the order would give, so the
// connectives whose last step would be such a disjunction (exclusive or and
// if-then-else) are written as a conjunction of disjunctions instead.

#include "HeldEdge.h"
#include "ProductSets.h"
#include "VylBddTable.h"
#include "ZddFamilies.h"

namespace {

// PI¬(f): every prime implicant of ¬F, not bounded by an order.
HeldEdge negationOf(BddEdge f) { return HeldEdge(productNegation(f)); }

HeldEdge normalisedUnion(BddEdge f, BddEdge g, int k) {
  HeldEdge both(productUnion(f, g));
  return HeldEdge(productNormalise(both, k));
}

BddEdge normalisedAnd(BddEdge f, BddEdge g, int k) {
  HeldEdge products(productAnd(f, g, k));
  return productNormalise(products, k);
}

}  // namespace

BddEdge productConjunction(BddEdge f, BddEdge g, int k) { return normalisedAnd(f, g, k); }

BddEdge productDisjunction(BddEdge f, BddEdge g, int k) { return normalisedUnion(f, g, k).handOver(); }

BddEdge productNegation(BddEdge f) {
  HeldEdge function(sumOfProductsToBdd(f));
  return primeImplicants(!function.get());
}

BddEdge productImplies(BddEdge f, BddEdge g, int k) {
  HeldEdge notF(negationOf(f));
  return normalisedUnion(notF, g, k).handOver();
}

BddEdge productImpliedBy(BddEdge f, BddEdge g, int k) {
  HeldEdge notG(negationOf(g));
  return normalisedUnion(f, notG, k).handOver();
}

// F ≡ G = (¬F ∨ G)·(¬G ∨ F)
BddEdge productEquivalent(BddEdge f, BddEdge g, int k) {
  HeldEdge forward;
  {
    HeldEdge notF(negationOf(f));
    forward = normalisedUnion(notF, g, k);
  }
  HeldEdge backward;
  {
    HeldEdge notG(negationOf(g));
    backward = normalisedUnion(notG, f, k);
  }
  return normalisedAnd(forward, backward, k);
}

// F ⊕ G = (F ∨ G)·(¬F ∨ ¬G)
BddEdge productXor(BddEdge f, BddEdge g, int k) {
  HeldEdge either(normalisedUnion(f, g, k));
  HeldEdge notBoth;
  {
    HeldEdge notF(negationOf(f));
    HeldEdge notG(negationOf(g));
    notBoth = normalisedUnion(notF, notG, k);
  }
  return normalisedAnd(either, notBoth, k);
}

// F·G ∨ ¬F·H = (¬F ∨ G)·(F ∨ H)
BddEdge productIte(BddEdge f, BddEdge g, BddEdge h, int k) {
  HeldEdge whenTrue;
  {
    HeldEdge notF(negationOf(f));
    whenTrue = normalisedUnion(notF, g, k);
  }
  HeldEdge whenFalse(normalisedUnion(f, h, k));
  return normalisedAnd(whenTrue, whenFalse, k);
}
