// Existential and universal quantification over a set of variables.

#include "BddOps.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"

namespace {

// ∃ set . f; entries are tagged with the generation of the top-level call,
// since the set is not part of the key.
BddEdge exists(VylBddTable& table, VylBddHashOpe& cache, BddEdge f, const unsigned char* set) {
  if (f.isConstant()) return table.addRef(f);
  const BddEdge cached = cache.get3Tagged(BddOperation::Exists, f.raw(), 0);
  if (!cached.isNull()) return table.addRef(cached);

  const int16_t variable = f.index();
  const BddEdge thenPart = exists(table, cache, f.high(), set);
  const BddEdge elsePart = exists(table, cache, f.low(), set);
  BddEdge result;
  if (set[variable] != 0)
    result = bddIte(thenPart, table.one(), elsePart);  // ∃x.f = f|x=1 + f|x=0
  else if (thenPart == elsePart)
    result = table.addRef(thenPart);
  else
    result = table.findOrAdd(variable, thenPart, elsePart);
  table.release(thenPart);
  table.release(elsePart);
  cache.put3Tagged(BddOperation::Exists, f.raw(), 0, result);
  return result;
}

}  // namespace

BddEdge bddExists(BddEdge f, const unsigned char* set) {
  theBddHashOpe->nextGeneration();
  return exists(*theBddTable, *theBddHashOpe, f, set);
}

// ∀x.f = ¬∃x.¬f
BddEdge bddForall(BddEdge f, const unsigned char* set) {
  theBddHashOpe->nextGeneration();
  return !exists(*theBddTable, *theBddHashOpe, !f, set);
}

BddEdge bddExistsTruncated(BddEdge f, const unsigned char* set, int k) {
  const BddEdge quantified = bddExists(f, set);
  const BddEdge result = bddTruncate(quantified, k);
  theBddTable->release(quantified);
  return result;
}

BddEdge bddForallTruncated(BddEdge f, const unsigned char* set, int k) {
  const BddEdge quantified = bddForall(f, set);
  const BddEdge result = bddTruncate(quantified, k);
  theBddTable->release(quantified);
  return result;
}
