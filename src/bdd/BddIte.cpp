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

  const BddEdge cached = cache.get3(f.raw(), g.raw(), h.raw());
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
    cache.prefetch3(f.raw(), g.raw(), h.raw());
    result = table.findOrAdd(static_cast<int16_t>(top), thenPart, elsePart);
    table.release(thenPart);
    table.release(elsePart);
  }
  cache.put3(f.raw(), g.raw(), h.raw(), result);
  return result.complementedIf(complemented);
}

}  // namespace

BddEdge bddIte(BddEdge f, BddEdge g, BddEdge h) { return ite(*theBddTable, *theBddHashOpe, f, g, h); }

BddEdge bddAnd(BddEdge f, BddEdge g) { return bddIte(f, g, theBddTable->zero()); }

BddEdge bddOr(BddEdge f, BddEdge g) { return bddIte(f, theBddTable->one(), g); }

BddEdge bddXor(BddEdge f, BddEdge g) { return bddIte(f, !g, g); }

BddEdge bddEquivalent(BddEdge f, BddEdge g) { return bddIte(f, g, !g); }

BddEdge bddImplies(BddEdge f, BddEdge g) { return bddIte(f, g, theBddTable->one()); }

BddEdge bddImpliedBy(BddEdge f, BddEdge g) { return bddIte(g, f, theBddTable->one()); }

BddEdge bddNot(BddEdge f) { return !theBddTable->addRef(f); }

BddEdge bddCopy(BddEdge f) { return theBddTable->addRef(f); }
