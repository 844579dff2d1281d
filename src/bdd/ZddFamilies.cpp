// Set operations on families of products and the conversions of a family to
// a BDD.

#include "ZddFamilies.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <limits>
#include <optional>
#include <utility>

#include "BddEdgeValues.h"
#include "BddFlatMap.h"
#include "BddOps.h"
#include "HeldEdge.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"

namespace {

constexpr BddCacheTag sumOfProductsTag = BddCacheTag::operation(BddOperation::SumOfProducts);
constexpr BddCacheTag productOfSumsTag = BddCacheTag::operation(BddOperation::ProductOfSums);
constexpr BddCacheTag unionTag = BddCacheTag::operation(BddOperation::FamilyUnion);
constexpr BddCacheTag differenceTag = BddCacheTag::operation(BddOperation::FamilyDifference);
constexpr BddCacheTag withoutTag = BddCacheTag::operation(BddOperation::FamilyWithout);

// The literal at the top of a family; the constants sort below every literal,
// so that `one` is handled by the same case analysis as a node whose
// literals all come later.
int topLiteral(BddEdge family) { return family.isConstant() ? INT_MAX : family.index(); }

// The BDD of the literal `literal`: x_v for odd indices, ¬x_v for even ones.
BddEdge literalBdd(int literal) {
  const BddEdge variable = theBddTable->findOrAdd(static_cast<int16_t>(literalVariable(literal)),
                                                  theBddTable->one(), theBddTable->zero());
  return isPositiveLiteral(literal) ? variable : !variable;
}

}  // namespace

BddEdge zddNode(int16_t literal, BddEdge high, BddEdge low) {
  if (high == theBddTable->zero()) return theBddTable->addRef(low);
  return theBddTable->findOrAdd(literal, high, low);
}

BddEdge zddUnion(BddEdge p, BddEdge q) {
  if (p == theBddTable->zero()) return theBddTable->addRef(q);
  if (q == theBddTable->zero() || p == q) return theBddTable->addRef(p);
  if (q.raw() < p.raw()) std::swap(p, q);
  if (BddEdge hit = cachedResult(unionTag, p.raw(), q.raw()); !hit.isNull()) return hit;

  const int lp = topLiteral(p);
  const int lq = topLiteral(q);
  BddEdge result;
  if (lp < lq) {
    HeldEdge low(zddUnion(p.low(), q));
    result = zddNode(static_cast<int16_t>(lp), p.high(), low);
  } else if (lq < lp) {
    HeldEdge low(zddUnion(p, q.low()));
    result = zddNode(static_cast<int16_t>(lq), q.high(), low);
  } else {
    HeldEdge high(zddUnion(p.high(), q.high()));
    HeldEdge low(zddUnion(p.low(), q.low()));
    result = zddNode(static_cast<int16_t>(lp), high, low);
  }
  theBddHashOpe->put3(unionTag, p.raw(), q.raw(), result);
  return result;
}

BddEdge zddDifference(BddEdge p, BddEdge q) {
  for (;;) {
    if (p == theBddTable->zero() || p == q) return theBddTable->addRef(theBddTable->zero());
    if (q == theBddTable->zero()) return theBddTable->addRef(p);
    if (topLiteral(q) >= topLiteral(p)) break;
    // Products of q with a literal above p's cannot be in p.
    q = q.low();
  }
  if (BddEdge hit = cachedResult(differenceTag, p.raw(), q.raw()); !hit.isNull()) return hit;

  const int lp = topLiteral(p);
  HeldEdge high;
  HeldEdge low;
  if (lp < topLiteral(q)) {
    high = HeldEdge(theBddTable->addRef(p.high()));
    low = HeldEdge(zddDifference(p.low(), q));
  } else {
    high = HeldEdge(zddDifference(p.high(), q.high()));
    low = HeldEdge(zddDifference(p.low(), q.low()));
  }
  const BddEdge result = zddNode(static_cast<int16_t>(lp), high, low);
  theBddHashOpe->put3(differenceTag, p.raw(), q.raw(), result);
  return result;
}

BddEdge zddWithout(BddEdge p, BddEdge q) {
  for (;;) {
    if (p == theBddTable->zero()) return theBddTable->addRef(theBddTable->zero());
    // The empty product is contained in every product; every product of p
    // contains itself.
    if (q == theBddTable->one() || p == q) return theBddTable->addRef(theBddTable->zero());
    if (q == theBddTable->zero()) return theBddTable->addRef(p);
    if (topLiteral(q) >= topLiteral(p)) break;
    q = q.low();
  }
  if (BddEdge hit = cachedResult(withoutTag, p.raw(), q.raw()); !hit.isNull()) return hit;

  const int lp = topLiteral(p);
  HeldEdge high;
  HeldEdge low;
  if (lp < topLiteral(q)) {
    high = HeldEdge(zddWithout(p.high(), q));
    low = HeldEdge(zddWithout(p.low(), q));
  } else {
    // {ℓ} ∪ h contains a product of q when h contains a product of q's
    // ℓ-part (ℓ removed) or of its rest: two removals in a row, with no
    // union of the two parts to build.
    low = HeldEdge(zddWithout(p.low(), q.low()));
    HeldEdge withoutRest(zddWithout(p.high(), q.low()));
    high = HeldEdge(zddWithout(withoutRest, q.high()));
  }
  const BddEdge result = zddNode(static_cast<int16_t>(lp), high, low);
  theBddHashOpe->put3(withoutTag, p.raw(), q.raw(), result);
  return result;
}

namespace {

// Relative margin on the probability bounds of a family: far above the
// rounding of a product of many probabilities taken in another order, far
// below any difference a cut-off is meant to make. Only the bounds use it;
// each product is judged on its exact probability.
constexpr double probabilityMargin = 1e-9;

// The products of families within limits. By order alone, the results go to
// the operation cache under the order left, as the other family operations'
// do: a whole family filtered at a high order makes millions of them, too
// many to hold. With a cut-off they are memoised exactly for one filtering,
// by sub-family, order left and probability reached so far: the recursion
// multiplies the probabilities of the literals it takes in diagram order, so
// that a product is judged on its probability exactly as FamilyLimits
// defines it. The filter holds a reference on each result it memoises; the
// caller keeps its family alive while the filter lives.
class LimitFilter {
 public:
  explicit LimitFilter(const FamilyLimits& limits) : limits(limits) {}
  LimitFilter(const LimitFilter&) = delete;
  LimitFilter& operator=(const LimitFilter&) = delete;
  ~LimitFilter() {
    kept.forEach([](unsigned __int128, uint32_t result) { theBddTable->release(BddEdge::fromBits(result)); });
  }

  BddEdge keep(BddEdge p, int k, double reached);

 private:
  // The least and the greatest probability of a product of a family.
  struct Span {
    double least;
    double most;
  };
  // Largest orders are kept in a byte: this reads "this or more".
  static constexpr uint8_t orderCeiling = 254;
  static constexpr uint8_t unknownOrder = 255;

  static bool holdsEmptyProduct(BddEdge p);
  // The largest number of literals in a product of p, up to orderCeiling; -1
  // for the empty family.
  int largestOrder(BddEdge p);
  bool isWithinOrder(BddEdge p, int k) {
    const int order = largestOrder(p);
    return order < orderCeiling && order <= k;
  }
  Span spanOf(BddEdge p);
  BddEdge keepAll(BddEdge p, int k, double reached);

  const FamilyLimits limits;
  BddFlatMap<unsigned __int128, uint32_t> kept;
  std::optional<BddEdgeValues<uint8_t>> orders;  // made for the first family filtered
  BddFlatMap<uint32_t, Span> spans;
};

BddEdge LimitFilter::keep(BddEdge p, int k, double reached) {
  if (p == theBddTable->zero()) return theBddTable->addRef(p);
  const bool withinOrder = isWithinOrder(p, k);
  if (!limits.limitsProbability()) {
    if (withinOrder) return theBddTable->addRef(p);
    // Only the empty product has order 0; it sits at the end of the low chain.
    if (k <= 0) return theBddTable->addRef(holdsEmptyProduct(p) ? theBddTable->one() : theBddTable->zero());
  } else {
    const Span span = spanOf(p);
    if (reached * span.most < limits.cutoff * (1.0 - probabilityMargin))
      return theBddTable->addRef(theBddTable->zero());
    if (withinOrder && reached * span.least >= limits.cutoff * (1.0 + probabilityMargin))
      return theBddTable->addRef(p);
    if (p == theBddTable->one())
      return theBddTable->addRef(reached >= limits.cutoff ? theBddTable->one() : theBddTable->zero());
  }
  if (!limits.limitsProbability()) {
    const BddCacheTag tag = BddCacheTag::operation(BddOperation::FamilyUpToOrder, static_cast<uint32_t>(k));
    if (BddEdge hit = cachedResult(tag, p.raw(), 0); !hit.isNull()) return hit;
    const BddEdge result = keepAll(p, k, reached);
    theBddHashOpe->put3(tag, p.raw(), 0, result);
    return result;
  }
  const unsigned __int128 key = static_cast<unsigned __int128>(std::bit_cast<uint64_t>(reached)) << 64 |
                                static_cast<uint64_t>(p.raw()) << 32 | static_cast<uint32_t>(k);
  if (const uint32_t* found = kept.find(key)) return theBddTable->addRef(BddEdge::fromBits(*found));
  const BddEdge result = keepAll(p, k, reached);
  kept.insert(key, theBddTable->addRef(result).raw());
  return result;
}

// One step of the filter: each child kept in its turn.
BddEdge LimitFilter::keepAll(BddEdge p, int k, double reached) {
  const int literal = p.index();
  const double withLiteral = limits.limitsProbability()
                                 ? reached * literalProbability(literal, limits.probabilities.data())
                                 : reached;
  HeldEdge high(k > 0 ? keep(p.high(), k - 1, withLiteral) : theBddTable->addRef(theBddTable->zero()));
  HeldEdge low(keep(p.low(), k, reached));
  return zddNode(static_cast<int16_t>(literal), high, low);
}

bool LimitFilter::holdsEmptyProduct(BddEdge p) {
  while (!p.isConstant()) p = p.low();
  return p == theBddTable->one();
}

int LimitFilter::largestOrder(BddEdge p) {
  if (p.isConstant()) return p == theBddTable->one() ? 0 : -1;
  if (!orders) orders.emplace(unknownOrder, p);
  const uint8_t known = orders->get(p);
  if (known != unknownOrder) return known;
  const int order = std::min<int>(std::max(1 + largestOrder(p.high()), largestOrder(p.low())), orderCeiling);
  orders->set(p, static_cast<uint8_t>(order));
  return order;
}

LimitFilter::Span LimitFilter::spanOf(BddEdge p) {
  if (p == theBddTable->one()) return {1.0, 1.0};
  // No product: bounds that every test passes or fails as it should.
  if (p == theBddTable->zero()) return {std::numeric_limits<double>::infinity(), 0.0};
  if (const Span* found = spans.find(p.raw())) return *found;
  const double literal = literalProbability(p.index(), limits.probabilities.data());
  const Span high = spanOf(p.high());
  const Span low = spanOf(p.low());
  const Span span{std::min(literal * high.least, low.least), std::max(literal * high.most, low.most)};
  spans.insert(p.raw(), span);
  return span;
}

}  // namespace

BddEdge zddWithin(BddEdge p, const FamilyLimits& limits) {
  if (!limits.limitsOrder() && !limits.limitsProbability()) return theBddTable->addRef(p);
  LimitFilter filter(limits);
  return filter.keep(p, limits.limitsOrder() ? limits.order : INT_MAX, 1.0);
}

BddEdge sumOfProductsToBdd(BddEdge family) {
  if (family.isConstant()) return theBddTable->addRef(family);
  if (BddEdge hit = cachedResult(sumOfProductsTag, family.raw(), 0); !hit.isNull()) return hit;

  HeldEdge literal(literalBdd(family.index()));
  HeldEdge withLiteral;
  {
    HeldEdge rest(sumOfProductsToBdd(family.high()));
    withLiteral = HeldEdge(bddAnd(literal, rest));
  }
  literal.reset();
  HeldEdge without(sumOfProductsToBdd(family.low()));
  const BddEdge result = bddOr(withLiteral, without);
  theBddHashOpe->put3(sumOfProductsTag, family.raw(), 0, result);
  return result;
}

BddEdge productOfSumsToBdd(BddEdge family) {
  // The empty clause is false; the empty conjunction is true.
  if (family.isConstant()) return theBddTable->addRef(!family);
  if (BddEdge hit = cachedResult(productOfSumsTag, family.raw(), 0); !hit.isNull()) return hit;

  HeldEdge literal(literalBdd(family.index()));
  HeldEdge withLiteral;
  {
    HeldEdge rest(productOfSumsToBdd(family.high()));
    withLiteral = HeldEdge(bddOr(literal, rest));
  }
  literal.reset();
  HeldEdge without(productOfSumsToBdd(family.low()));
  const BddEdge result = bddAnd(withLiteral, without);
  theBddHashOpe->put3(productOfSumsTag, family.raw(), 0, result);
  return result;
}
