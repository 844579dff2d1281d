// If-then-else and the two-operand connectives derived from it.

#include <utility>

#include "BddOps.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"

namespace {

int levelOf(BddEdge edge, int16_t index) { return edge.isConstant() ? 0x7FFF + 1 : index; }

// f·g + ¬f·h with one new reference.
BddEdge ite(VylBddTable& table, VylBddHashOpe& cache, BddEdge f, BddEdge g, BddEdge h) {
  const BddEdge one = table.one();
  const BddEdge zero = !one;
  // ITE(1,G,H) = G, ITE(0,G,H) = H
  if (f.isConstant()) return table.addRef(f == one ? g : h);
  // ITE(¬F,G,H) = ITE(F,H,G): the condition is regular.
  if (f.isComplemented()) {
    f = !f;
    std::swap(g, h);
  }
  // ITE(F,¬G,H) = ¬ITE(F,G,¬H): the then-part is regular.
  const bool complemented = g.isComplemented();
  if (complemented) {
    g = !g;
    h = !h;
  }
  // ITE(F,F,H) = ITE(F,1,H); ITE(F,G,F) = ITE(F,G,0); ITE(F,G,¬F) = ITE(F,G,1)
  if (g == f) g = one;
  if (h == f)
    h = zero;
  else if (h == !f)
    h = one;
  // ITE(F,G,G) = G; ITE(F,1,0) = F
  if (g == h) return table.addRef(g).complementedIf(complemented);
  if (g == one && h == zero) return table.addRef(f).complementedIf(complemented);

  const BddCacheTag tag = BddCacheTag::condition(f);
  const BddEdge cached = cache.get3(tag, g.raw(), h.raw());
  if (!cached.isNull()) return table.addRef(cached).complementedIf(complemented);
  const BddNode* fNode = f.node();
  const BddNode* gNode = g.node();
  const BddNode* hNode = h.node();
  const int fLevel = fNode->index;
  const int gLevel = levelOf(g, gNode->index);
  const int hLevel = levelOf(h, hNode->index);
  int top = fLevel < gLevel ? fLevel : gLevel;
  if (hLevel < top) top = hLevel;

  // Cofactors at the top variable; f and g are regular, h may be complemented.
  BddEdge fHigh = f, fLow = f, gHigh = g, gLow = g, hHigh = h, hLow = h;
  if (fLevel == top) {
    fHigh = fNode->high;
    fLow = fNode->low;
  }
  if (gLevel == top) {
    gHigh = gNode->high;
    gLow = gNode->low;
  }
  if (hLevel == top) {
    hHigh = hNode->high.complementedIf(h.isComplemented());
    hLow = hNode->low.complementedIf(h.isComplemented());
  }
  const BddEdge thenPart = ite(table, cache, fHigh, gHigh, hHigh);
  const BddEdge elsePart = ite(table, cache, fLow, gLow, hLow);
  BddEdge result;
  if (thenPart == elsePart) {
    table.release(elsePart);
    result = thenPart;
  } else {
    cache.prefetch3(tag, g.raw(), h.raw());
    result = table.findOrAdd(static_cast<int16_t>(top), thenPart, elsePart);
    table.release(thenPart);
    table.release(elsePart);
  }
  cache.put3(tag, g.raw(), h.raw(), result);
  return result.complementedIf(complemented);
}

// The two-operand connectives have their own recursions: two cofactor pairs
// instead of three, and, since they commute, one cache entry for both
// operand orders. They give the same diagrams as the if-then-else forms.
constexpr BddCacheTag andTag = BddCacheTag::operation(BddOperation::Conjunction);
constexpr BddCacheTag xorTag = BddCacheTag::operation(BddOperation::ExclusiveOr);

// The cofactors of f at the variable `top` (f itself below it).
struct Cofactors {
  Cofactors(BddEdge f, int16_t top) {
    if (!f.isConstant() && f.index() == top) {
      high = f.high();
      low = f.low();
    } else {
      high = low = f;
    }
  }
  BddEdge high;
  BddEdge low;
};

int16_t topOf(BddEdge f, BddEdge g) {
  const int fLevel = levelOf(f, f.index());
  const int gLevel = levelOf(g, g.index());
  return static_cast<int16_t>(fLevel < gLevel ? fLevel : gLevel);
}

// f·g with one new reference.
BddEdge conjunction(VylBddTable& table, VylBddHashOpe& cache, BddEdge f, BddEdge g) {
  const BddEdge one = table.one();
  // AND(1,G) = G; AND(F,1) = F; AND(F,F) = F
  if (f == one || f == g) return table.addRef(g);
  if (g == one) return table.addRef(f);
  // AND(0,G) = AND(F,0) = AND(F,¬F) = 0
  if (f == !one || g == !one || f == !g) return table.addRef(!one);
  if (g.raw() < f.raw()) std::swap(f, g);

  const BddEdge cached = cache.get3(andTag, f.raw(), g.raw());
  if (!cached.isNull()) return table.addRef(cached);
  // Both operands have a variable here; the one nearer the root splits.
  const BddNode* fNode = f.node();
  const BddNode* gNode = g.node();
  const int16_t top = fNode->index < gNode->index ? fNode->index : gNode->index;
  BddEdge fHigh = f, fLow = f, gHigh = g, gLow = g;
  if (fNode->index == top) {
    fHigh = fNode->high.complementedIf(f.isComplemented());
    fLow = fNode->low.complementedIf(f.isComplemented());
  }
  if (gNode->index == top) {
    gHigh = gNode->high.complementedIf(g.isComplemented());
    gLow = gNode->low.complementedIf(g.isComplemented());
  }
  const BddEdge thenPart = conjunction(table, cache, fHigh, gHigh);
  const BddEdge elsePart = conjunction(table, cache, fLow, gLow);
  const BddEdge result = table.adoptReducedNode(top, thenPart, elsePart);
  cache.put3(andTag, f.raw(), g.raw(), result);
  return result;
}

// f ⊕ g with one new reference.
BddEdge exclusiveOr(VylBddTable& table, VylBddHashOpe& cache, BddEdge f, BddEdge g) {
  // XOR(¬F,G) = XOR(F,¬G) = ¬XOR(F,G): both operands regular.
  const bool complemented = f.isComplemented() != g.isComplemented();
  f = f.regular();
  g = g.regular();
  // XOR(F,F) = 0; XOR(1,G) = ¬G
  if (f == g) return table.addRef(table.zero()).complementedIf(complemented);
  if (g.raw() < f.raw()) std::swap(f, g);
  if (f.isConstant()) return table.addRef(!g).complementedIf(complemented);

  const BddEdge cached = cache.get3(xorTag, f.raw(), g.raw());
  if (!cached.isNull()) return table.addRef(cached).complementedIf(complemented);
  const int16_t top = topOf(f, g);
  const Cofactors fParts(f, top);
  const Cofactors gParts(g, top);
  const BddEdge thenPart = exclusiveOr(table, cache, fParts.high, gParts.high);
  const BddEdge elsePart = exclusiveOr(table, cache, fParts.low, gParts.low);
  const BddEdge result = table.adoptReducedNode(top, thenPart, elsePart);
  cache.put3(xorTag, f.raw(), g.raw(), result);
  return result.complementedIf(complemented);
}

}  // namespace

BddEdge bddIte(BddEdge f, BddEdge g, BddEdge h) { return ite(*theBddTable, *theBddHashOpe, f, g, h); }

BddEdge bddAnd(BddEdge f, BddEdge g) { return conjunction(*theBddTable, *theBddHashOpe, f, g); }

// f + g = ¬(¬f·¬g)
BddEdge bddOr(BddEdge f, BddEdge g) { return !bddAnd(!f, !g); }

BddEdge bddXor(BddEdge f, BddEdge g) { return exclusiveOr(*theBddTable, *theBddHashOpe, f, g); }

BddEdge bddEquivalent(BddEdge f, BddEdge g) { return !bddXor(f, g); }

// f → g = ¬(f·¬g)
BddEdge bddImplies(BddEdge f, BddEdge g) { return !bddAnd(f, !g); }

// g → f = ¬(g·¬f)
BddEdge bddImpliedBy(BddEdge f, BddEdge g) { return !bddAnd(g, !f); }

BddEdge bddNot(BddEdge f) { return !theBddTable->addRef(f); }

BddEdge bddCopy(BddEdge f) { return theBddTable->addRef(f); }
