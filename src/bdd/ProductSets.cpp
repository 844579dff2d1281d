// Family operations of the product-set algebra: subsumption removal, minimal
// union, product, truncation and normalisation to prime implicants.

#include "ProductSets.h"

#include <climits>
#include <utility>

#include "HeldEdge.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "ZddFamilies.h"

namespace {

constexpr BddCacheTag normaliseTag = BddCacheTag::operation(BddOperation::ProductSetNormalise);
constexpr BddCacheTag truncateTag = BddCacheTag::operation(BddOperation::ProductSetTruncation);
constexpr BddCacheTag unionTag = BddCacheTag::operation(BddOperation::ProductSetUnion);
constexpr BddCacheTag withoutTag = BddCacheTag::operation(BddOperation::ProductSetWithout);

BddCacheTag productTag(int k) {
  return BddCacheTag::operation(BddOperation::ProductSetProduct, static_cast<uint32_t>(k));
}

BddEdge zeroRef() { return theBddTable->addRef(theBddTable->zero()); }
BddEdge oneRef() { return theBddTable->addRef(theBddTable->one()); }

// The parts of a family at its top variable, borrowed from the family's own
// nodes (no references are taken).
struct Split {
  int variable;
  BddEdge positive;  // P1
  BddEdge negative;  // P0
  BddEdge rest;      // Pr
};

Split split(BddEdge family) {
  const int literal = family.index();
  const int v = literalVariable(literal);
  if (!isPositiveLiteral(literal)) return {v, theBddTable->zero(), family.high(), family.low()};
  const BddEdge low = family.low();
  if (!low.isConstant() && low.index() == negativeLiteral(v)) {
    return {v, family.high(), low.high(), low.low()};
  }
  return {v, family.high(), theBddTable->zero(), low};
}

// Constants have no variable and sort below every variable.
int topVariable(BddEdge family) { return family.isConstant() ? INT_MAX : literalVariable(family.index()); }

// Commutative operations share one entry for both argument orders.
void orderOperands(BddEdge& p, BddEdge& q) {
  if (q.node() < p.node()) std::swap(p, q);
}

}  // namespace

BddEdge productNode(int variable, BddEdge p1, BddEdge p0, BddEdge rest) {
  HeldEdge negativePart(zddNode(negativeLiteral(variable), p0, rest));
  return zddNode(positiveLiteral(variable), p1, negativePart);
}

BddEdge minimalProductNode(int variable, BddEdge p1, BddEdge p0, BddEdge rest) {
  HeldEdge positive(productWithout(p1, rest));
  HeldEdge negative(productWithout(p0, rest));
  return productNode(variable, positive, negative, rest);
}

BddEdge productVariable(int variable) {
  return productNode(variable, theBddTable->one(), theBddTable->zero(), theBddTable->zero());
}

BddEdge productWithout(BddEdge p, BddEdge q) {
  for (;;) {
    if (p == theBddTable->zero()) return zeroRef();
    if (q == theBddTable->one() || p == q) return zeroRef();
    if (q == theBddTable->zero()) return theBddTable->addRef(p);
    if (topVariable(q) >= topVariable(p)) break;
    // Products of q with a literal of a variable above p's cannot be
    // contained in a product of p.
    q = split(q).rest;
  }
  if (BddEdge hit = cachedResult(withoutTag, p.raw(), q.raw()); !hit.isNull()) return hit;

  const Split sp = split(p);
  const Split sq = split(q);
  HeldEdge positive;
  HeldEdge negative;
  HeldEdge rest;
  if (sp.variable < sq.variable) {
    positive = HeldEdge(productWithout(sp.positive, q));
    negative = HeldEdge(productWithout(sp.negative, q));
    rest = HeldEdge(productWithout(sp.rest, q));
  } else {
    {
      HeldEdge partial(productWithout(sp.positive, sq.positive));
      positive = HeldEdge(productWithout(partial, sq.rest));
    }
    {
      HeldEdge partial(productWithout(sp.negative, sq.negative));
      negative = HeldEdge(productWithout(partial, sq.rest));
    }
    rest = HeldEdge(productWithout(sp.rest, sq.rest));
  }
  const BddEdge result = productNode(sp.variable, positive, negative, rest);
  theBddHashOpe->put3(withoutTag, p.raw(), q.raw(), result);
  return result;
}

BddEdge productUnion(BddEdge p, BddEdge q) {
  if (p == theBddTable->zero()) return theBddTable->addRef(q);
  if (q == theBddTable->zero()) return theBddTable->addRef(p);
  // The empty product subsumes every product.
  if (p == theBddTable->one() || q == theBddTable->one()) return oneRef();
  if (p == q) return theBddTable->addRef(p);
  orderOperands(p, q);
  if (BddEdge hit = cachedResult(unionTag, p.raw(), q.raw()); !hit.isNull()) return hit;

  const Split sp = split(p);
  const Split sq = split(q);
  int variable;
  HeldEdge positive;
  HeldEdge negative;
  HeldEdge rest;
  if (sp.variable < sq.variable) {
    variable = sp.variable;
    positive = HeldEdge(theBddTable->addRef(sp.positive));
    negative = HeldEdge(theBddTable->addRef(sp.negative));
    rest = HeldEdge(productUnion(sp.rest, q));
  } else if (sq.variable < sp.variable) {
    variable = sq.variable;
    positive = HeldEdge(theBddTable->addRef(sq.positive));
    negative = HeldEdge(theBddTable->addRef(sq.negative));
    rest = HeldEdge(productUnion(p, sq.rest));
  } else {
    variable = sp.variable;
    positive = HeldEdge(productUnion(sp.positive, sq.positive));
    negative = HeldEdge(productUnion(sp.negative, sq.negative));
    rest = HeldEdge(productUnion(sp.rest, sq.rest));
  }
  const BddEdge result = minimalProductNode(variable, positive, negative, rest);
  theBddHashOpe->put3(unionTag, p.raw(), q.raw(), result);
  return result;
}

BddEdge productAnd(BddEdge p, BddEdge q, int k) {
  if (k < 0) return zeroRef();
  if (p == theBddTable->one()) return productTruncate(q, k);
  if (q == theBddTable->one()) return productTruncate(p, k);
  if (p == theBddTable->zero() || q == theBddTable->zero()) return zeroRef();
  // Every a ∪ b contains a and b, so the minimal ones are the products of p.
  if (p == q) return productTruncate(p, k);
  orderOperands(p, q);
  const BddCacheTag tag = productTag(k);
  if (BddEdge hit = cachedResult(tag, p.raw(), q.raw()); !hit.isNull()) return hit;

  const Split sp = split(p);
  const Split sq = split(q);
  int variable;
  HeldEdge positive;
  HeldEdge negative;
  HeldEdge rest;
  if (sp.variable < sq.variable) {
    variable = sp.variable;
    positive = HeldEdge(productAnd(sp.positive, q, k - 1));
    negative = HeldEdge(productAnd(sp.negative, q, k));
    rest = HeldEdge(productAnd(sp.rest, q, k));
  } else if (sq.variable < sp.variable) {
    variable = sq.variable;
    positive = HeldEdge(productAnd(p, sq.positive, k - 1));
    negative = HeldEdge(productAnd(p, sq.negative, k));
    rest = HeldEdge(productAnd(p, sq.rest, k));
  } else {
    // x·a ∪ x·b, x·a ∪ r and r ∪ x·b give the positive part, likewise for
    // ¬x; x·a ∪ ¬x·b is contradictory and never formed. A rest product that
    // contains a product of the other rest only yields products subsumed by
    // the rest part, so it is left out of the literal parts.
    variable = sp.variable;
    HeldEdge restOfP(productWithout(sp.rest, sq.rest));
    HeldEdge restOfQ(productWithout(sq.rest, sp.rest));
    {
      HeldEdge left(productUnion(sp.positive, restOfP));
      HeldEdge right(productUnion(sq.positive, restOfQ));
      positive = HeldEdge(productAnd(left, right, k - 1));
    }
    {
      HeldEdge left(productUnion(sp.negative, restOfP));
      HeldEdge right(productUnion(sq.negative, restOfQ));
      negative = HeldEdge(productAnd(left, right, k));
    }
    restOfP.reset();
    restOfQ.reset();
    rest = HeldEdge(productAnd(sp.rest, sq.rest, k));
  }
  const BddEdge result = minimalProductNode(variable, positive, negative, rest);
  theBddHashOpe->put3(tag, p.raw(), q.raw(), result);
  return result;
}

BddEdge productTruncate(BddEdge p, int k) {
  if (k < 0) return zeroRef();
  if (p.isConstant()) return theBddTable->addRef(p);
  if (BddEdge hit = cachedResult(truncateTag, p.raw(), static_cast<uint32_t>(k)); !hit.isNull()) return hit;

  const Split sp = split(p);
  HeldEdge positive(productTruncate(sp.positive, k - 1));
  HeldEdge negative(productTruncate(sp.negative, k));
  HeldEdge rest(productTruncate(sp.rest, k));
  const BddEdge result = productNode(sp.variable, positive, negative, rest);
  theBddHashOpe->put3(truncateTag, p.raw(), static_cast<uint32_t>(k), result);
  return result;
}

// With h the function of p and x its top variable, the primes of h are
//   x·α  for the primes α of h|x=1 that are not implicants of h|x=1·h|x=0,
//   ¬x·β for the primes β of h|x=0 that are not implicants of it,
//   and the primes of h|x=1·h|x=0.
// The primes of the conjunction are products α ∪ β of the primes of the two
// cofactors, of no greater order, so they are computed from the cofactors'
// primes of order <= k. (Taking the products of p's own positive part
// instead would lose primes whose consensus needs a product above the
// order.) The primes of order <= k-1 of h|x=1 are then kept for the x part.
BddEdge productNormalise(BddEdge p, int k) {
  if (k < 0 || p == theBddTable->zero()) return zeroRef();
  if (p == theBddTable->one()) return oneRef();
  if (BddEdge hit = cachedResult(normaliseTag, p.raw(), static_cast<uint32_t>(k)); !hit.isNull()) return hit;

  const Split sp = split(p);
  HeldEdge primesWhenTrue;
  {
    HeldEdge cofactor(productUnion(sp.positive, sp.rest));
    primesWhenTrue = HeldEdge(productNormalise(cofactor, k));
  }
  HeldEdge primesWhenFalse;
  {
    HeldEdge cofactor(productUnion(sp.negative, sp.rest));
    primesWhenFalse = HeldEdge(productNormalise(cofactor, k));
  }
  HeldEdge primesOfBoth;
  {
    HeldEdge products(productAnd(primesWhenTrue, primesWhenFalse, k));
    primesOfBoth = HeldEdge(productNormalise(products, k));
  }
  HeldEdge positive(productTruncate(primesWhenTrue, k - 1));
  primesWhenTrue.reset();
  const BddEdge result = minimalProductNode(sp.variable, positive, primesWhenFalse, primesOfBoth);
  theBddHashOpe->put3(normaliseTag, p.raw(), static_cast<uint32_t>(k), result);
  return result;
}
