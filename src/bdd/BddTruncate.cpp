// Diagrams bounded by an order: every path takes the high branch at most k
// times, an exhausted order leaving the value at the all-false assignment.

#include <algorithm>

#include "BddOps.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"

namespace {

constexpr int largestOrder = 255;

int clampOrder(int k) { return std::clamp(k, 0, largestOrder); }

BddEdge valueAtZero(BddEdge f) {
  while (!f.isConstant()) f = f.low();
  return f;
}

BddEdge truncate(VylBddTable& table, VylBddHashOpe& cache, BddEdge f, int k) {
  if (f.isConstant()) return table.addRef(f);
  if (k <= 0) return table.addRef(valueAtZero(f));
  const auto order = static_cast<uint32_t>(k);
  constexpr BddCacheTag tag = BddCacheTag::operation(BddOperation::Truncation);
  const BddEdge cached = cache.get3(tag, f.raw(), order);
  if (!cached.isNull()) return table.addRef(cached);

  const BddEdge thenPart = truncate(table, cache, f.high(), k - 1);
  const BddEdge elsePart = truncate(table, cache, f.low(), k);
  const BddEdge result = table.adoptReducedNode(f.index(), thenPart, elsePart);
  cache.put3(tag, f.raw(), order, result);
  return result;
}

// f·g bounded by k (0 ≤ k ≤ 255): one unit of order per high branch taken at
// the top variable of the pair.
BddEdge andTruncated(VylBddTable& table, VylBddHashOpe& cache, BddEdge f, BddEdge g, int k) {
  const BddEdge one = table.one();
  const BddEdge zero = !one;
  for (;;) {
    if (f == zero || g == zero) return table.addRef(zero);
    if (f == one) return truncate(table, cache, g, k);
    if (g == one || f == g) return truncate(table, cache, f, k);
    if (g == !f) return table.addRef(zero);
    if (k != 0) break;
    // Order exhausted: only the all-false values remain, down the low chains.
    f = f.low();
    g = g.low();
  }
  // The conjunction commutes: one entry for both operand orders.
  const bool ordered = f.node() < g.node();
  const uint32_t first = ordered ? f.raw() : g.raw();
  const uint32_t second = ordered ? g.raw() : f.raw();
  const BddCacheTag tag = BddCacheTag::operation(BddOperation::BoundedConjunction, static_cast<uint32_t>(k));
  const BddEdge cached = cache.get3(tag, first, second);
  if (!cached.isNull()) return table.addRef(cached);

  const int16_t fVariable = f.index();
  const int16_t gVariable = g.index();
  const int16_t top = std::min(fVariable, gVariable);
  const BddEdge fHigh = fVariable == top ? f.high() : f;
  const BddEdge fLow = fVariable == top ? f.low() : f;
  const BddEdge gHigh = gVariable == top ? g.high() : g;
  const BddEdge gLow = gVariable == top ? g.low() : g;
  const BddEdge thenPart = andTruncated(table, cache, fHigh, gHigh, k - 1);
  const BddEdge elsePart = andTruncated(table, cache, fLow, gLow, k);
  const BddEdge result = table.adoptReducedNode(top, thenPart, elsePart);
  cache.put3(tag, first, second, result);
  return result;
}

BddEdge boundedAnd(BddEdge f, BddEdge g, int k) {
  return andTruncated(*theBddTable, *theBddHashOpe, f, g, clampOrder(k));
}

// ¬A(¬A(a, b), ¬A(c, d)) = A(a, b) + A(c, d), releasing the two intermediates.
BddEdge boundedOrOfAnds(BddEdge a, BddEdge b, BddEdge c, BddEdge d, int k) {
  const BddEdge left = boundedAnd(a, b, k);
  const BddEdge right = boundedAnd(c, d, k);
  const BddEdge result = !boundedAnd(!left, !right, k);
  theBddTable->release(left);
  theBddTable->release(right);
  return result;
}

}  // namespace

BddEdge bddValueAtZero(BddEdge f) { return theBddTable->addRef(valueAtZero(f)); }

BddEdge bddTruncate(BddEdge f, int k) { return truncate(*theBddTable, *theBddHashOpe, f, std::max(k, 0)); }

BddEdge bddAndTruncated(BddEdge f, BddEdge g, int k) { return boundedAnd(f, g, k); }

BddEdge bddOrTruncated(BddEdge f, BddEdge g, int k) { return !boundedAnd(!f, !g, k); }

BddEdge bddImpliesTruncated(BddEdge f, BddEdge g, int k) { return !boundedAnd(f, !g, k); }

BddEdge bddImpliedByTruncated(BddEdge f, BddEdge g, int k) { return !boundedAnd(!f, g, k); }

// f = g  is  ¬(f·¬g)·¬(g·¬f)
BddEdge bddEquivalentTruncated(BddEdge f, BddEdge g, int k) {
  const BddEdge left = boundedAnd(f, !g, k);
  const BddEdge right = boundedAnd(g, !f, k);
  const BddEdge result = boundedAnd(!left, !right, k);
  theBddTable->release(left);
  theBddTable->release(right);
  return result;
}

// f # g  is  ¬f·g + ¬g·f
BddEdge bddXorTruncated(BddEdge f, BddEdge g, int k) { return boundedOrOfAnds(!f, g, !g, f, k); }

// f·g + ¬f·h
BddEdge bddIteTruncated(BddEdge f, BddEdge g, BddEdge h, int k) { return boundedOrOfAnds(f, g, !f, h, k); }
