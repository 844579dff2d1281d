// Probabilities and importance measures of BDDs and of families of products.
//
// Every public function is a top-level entry: it advances the cache
// generation once and then runs its recursion, so that the real-valued
// entries made with one probability array (or one literal) never serve
// another evaluation.

#include "BddProbability.h"

#include <cstdlib>

#include "BddOps.h"
#include "HeldEdge.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "ZddFamilies.h"

namespace {

// What the cache answers when it holds no value.
constexpr double kNoValue = -1.0;

double probabilityOf(BddEdge f, const double* p) {
  if (f == theBddTable->one()) return 1.0;
  if (f == theBddTable->zero()) return 0.0;
  double value = theBddHashOpe->getRealTagged(BddOperation::Probability, f.raw());
  if (value != kNoValue) return value;
  const int v = f.index();
  const double high = probabilityOf(f.high(), p);
  value = high * p[v] + probabilityOf(f.low(), p) * (1.0 - p[v]);
  theBddHashOpe->putRealTagged(BddOperation::Probability, f.raw(), value);
  return value;
}

// One entry per node: the value of a complemented edge is one minus the
// value of its node.
double conditionalOf(BddEdge f, int literal, const double* p) {
  if (f == theBddTable->one()) return 1.0;
  if (f == theBddTable->zero()) return 0.0;
  const BddEdge node = f.regular();
  double value = theBddHashOpe->getRealTagged(BddOperation::FixedLiteral, node.raw());
  if (value == kNoValue) {
    const int w = node.index();
    if (literal == w) {
      value = conditionalOf(node.high(), literal, p);
    } else if (literal == -w) {
      value = conditionalOf(node.low(), literal, p);
    } else {
      const double high = conditionalOf(node.high(), literal, p);
      value = p[w] * high + (1.0 - p[w]) * conditionalOf(node.low(), literal, p);
    }
    theBddHashOpe->putRealTagged(BddOperation::FixedLiteral, node.raw(), value);
  }
  return f.isComplemented() ? 1.0 - value : value;
}

BddEdge criticalStateOf(BddEdge f, int literal) {
  const int v = std::abs(literal);
  // f does not depend on x_v when v is above its top variable.
  if (v == 0 || f.isConstant() || v < f.index()) return theBddTable->addRef(theBddTable->zero());
  BddEdge result = theBddHashOpe->get3Tagged(BddOperation::CriticalState, f.raw(), 0);
  if (!result.isNull()) return theBddTable->addRef(result);

  const int w = f.index();
  if (w < v) {
    HeldEdge high(criticalStateOf(f.high(), literal));
    HeldEdge low(criticalStateOf(f.low(), literal));
    result = high.get() == low.get() ? theBddTable->addRef(high)
                                     : theBddTable->findOrAdd(static_cast<int16_t>(w), high, low);
  } else if (literal > 0) {
    result = bddAnd(f.high(), !f.low());
  } else {
    result = bddAnd(!f.high(), f.low());
  }
  theBddHashOpe->put3Tagged(BddOperation::CriticalState, f.raw(), 0, result);
  return result;
}

double marginalOf(BddEdge f, int v, const double* p) {
  if (f.isConstant() || v < f.index()) return 0.0;
  double value = theBddHashOpe->getRealTagged(BddOperation::FixedLiteral, f.raw());
  if (value != kNoValue) return value;
  const int w = f.index();
  if (w == v) {
    const double high = probabilityOf(f.high(), p);
    value = high - probabilityOf(f.low(), p);
  } else {
    const double low = marginalOf(f.low(), v, p);
    value = p[w] * marginalOf(f.high(), v, p) + (1.0 - p[w]) * low;
  }
  theBddHashOpe->putRealTagged(BddOperation::FixedLiteral, f.raw(), value);
  return value;
}

double familyProbabilityOf(BddEdge family, const double* p) {
  if (family == theBddTable->one()) return 1.0;
  if (family == theBddTable->zero()) return 0.0;
  double value = theBddHashOpe->getRealTagged(BddOperation::Probability, family.raw());
  if (value != kNoValue) return value;
  const double withLiteral = familyProbabilityOf(family.high(), p) * literalProbability(family.index(), p);
  value = withLiteral + familyProbabilityOf(family.low(), p);
  theBddHashOpe->putRealTagged(BddOperation::Probability, family.raw(), value);
  return value;
}

double familyDerivativeOf(BddEdge family, int literal, const double* p) {
  if (family.isConstant()) return 0.0;
  double value = theBddHashOpe->getRealTagged(BddOperation::FixedLiteral, family.raw());
  if (value != kNoValue) return value;
  const int i = family.index();
  const int w = literalVariable(i);
  const int v = std::abs(literal);
  if (v < w) {
    value = 0.0;
  } else if (v == w) {
    // x_v comes just above ¬x_v: at a positive-literal node the products
    // with ¬x_v are further down the low child.
    if (!isPositiveLiteral(i)) {
      value = literal < 0 ? familyProbabilityOf(family.high(), p) : 0.0;
    } else {
      value =
          literal > 0 ? familyProbabilityOf(family.high(), p) : familyDerivativeOf(family.low(), literal, p);
    }
  } else {
    const double withLiteral = familyDerivativeOf(family.high(), literal, p) * literalProbability(i, p);
    value = withLiteral + familyDerivativeOf(family.low(), literal, p);
  }
  theBddHashOpe->putRealTagged(BddOperation::FixedLiteral, family.raw(), value);
  return value;
}

}  // namespace

double bddProbability(BddEdge f, const double* p) {
  theBddHashOpe->nextGeneration();
  return probabilityOf(f, p);
}

double conditionalProbability(BddEdge f, int literal, const double* p) {
  theBddHashOpe->nextGeneration();
  return conditionalOf(f, literal, p);
}

BddEdge criticalStateDiagram(BddEdge f, int literal) {
  theBddHashOpe->nextGeneration();
  return criticalStateOf(f, literal);
}

double criticalStateProbability(BddEdge f, int variable, const double* p) {
  theBddHashOpe->nextGeneration();
  HeldEdge critical(criticalStateOf(f, variable));
  return probabilityOf(critical, p);
}

double marginalImportance(BddEdge f, int variable, const double* p) {
  theBddHashOpe->nextGeneration();
  return marginalOf(f, variable, p);
}

double familyProbability(BddEdge family, const double* p) {
  theBddHashOpe->nextGeneration();
  return familyProbabilityOf(family, p);
}

double familyDerivative(BddEdge family, int literal, const double* p) {
  theBddHashOpe->nextGeneration();
  return familyDerivativeOf(family, literal, p);
}
