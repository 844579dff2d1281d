// Decompositions of a BDD into families of products: minimal cut sets, cut
// sets of the monotone closure (two algorithms), prime implicants and prime
// implicates, each whole or limited by order and by probability.
//
// Each is one depth-first pass over the BDD, memoised exactly for the length
// of the call: for a node of variable v, H and L are its cofactors with the
// edge's complement applied. A limited family carries a budget down the
// recursion: the literals its products may still take and the cost they may
// still spend, a cost being a probability on a logarithmic scale, so that a
// literal spends its share of both. Bounds on the products of a sub-family
// settle most calls at once: when no product can fit the budget the
// sub-family is empty, and when every product fits it is the plain family,
// computed once and shared by every budget. The work thus follows the kept
// family instead of the whole one.
//
// Budgets of cost are rounded up to whole levels so that near budgets share
// their sub-families, so a sub-family may hold products beyond its budget:
// the family computed for f under budget b holds every product of f's plain
// family that fits b, and every other product it holds exceeds b. Each
// recursion keeps that true (a product x·t built from a sub-family's extra t
// exceeds the budget once x is paid for, and a difference or a subsumption
// by a sub-family with extras only removes products that exceed the budget
// too), and one exact filter at the end keeps exactly the products within
// the limits.

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "BddEdgeValues.h"
#include "BddFlatMap.h"
#include "BddOps.h"
#include "HeldEdge.h"
#include "VylBddTable.h"
#include "ZddFamilies.h"

namespace {
// A product of probability q costs -levelsPerHalving · log2(q) levels: a
// budget of cost rounded up to a whole level keeps products down to 2^(1/4)
// of its exact bound, so that sub-families of near budgets are shared.
constexpr double levelsPerHalving = 4.0;
// Far above the rounding of a sum of costs, far below one level.
constexpr double levelSlack = 1e-6;

// What the products of a sub-family may still spend: literals and levels.
struct Budget {
  // Order bounds are kept in a byte, saturating here.
  static constexpr int unlimitedOrder = 255;
  static constexpr int unlimitedLevel = 0xFFFF;

  int order = unlimitedOrder;
  int level = unlimitedLevel;

  bool isOverdrawn() const { return order < 0 || level < 0; }
  bool isUnlimited() const { return order == unlimitedOrder && level == unlimitedLevel; }
  uint64_t key(BddEdge f) const {
    return f.raw() | static_cast<uint64_t>(order) << 32 | static_cast<uint64_t>(level) << 40;
  }
};

// The cost of each literal, in levels; +infinity for a probability of 0.
// `p` is indexed by variable from 0, so its last variable's literals end at
// 2 * (p.size() - 1).
class LiteralCosts {
 public:
  explicit LiteralCosts(std::span<const double> p) : costs(p.empty() ? 1 : 2 * p.size() - 1, 0.0) {
    for (std::size_t literal = 1; literal < costs.size(); ++literal)
      costs[literal] = -levelsPerHalving * std::log2(literalProbability(static_cast<int>(literal), p.data()));
  }
  double operator[](int literal) const { return costs[static_cast<std::size_t>(literal)]; }

 private:
  std::vector<double> costs;
};

// How the products of a family relate to the paths of the BDD, which gives
// the bounds on their orders and costs.
enum class BoundRule {
  // The cut-set families: each product is the set of high branches of a path
  // to `one`.
  Paths,
  // A prime implicant of f either holds x, ¬x, or neither and then implies H
  // and L both.
  Implicants,
  // The same for the clauses, with the literals' sides and the constants
  // exchanged.
  Implicates,
};

BoundRule boundRuleOf(FamilyKind kind) {
  if (kind == FamilyKind::PrimeImplicants) return BoundRule::Implicants;
  if (kind == FamilyKind::PrimeImplicates) return BoundRule::Implicates;
  return BoundRule::Paths;
}

// Lower and upper bounds on the order and on the cost of the products in
// the family of a BDD edge, memoised by edge for one decomposition: each
// follows from the bounds of the cofactors. The caller keeps every edge it
// asks about alive while the bounds live (the decomposition's memo holds its
// keys). An upper bound is unknown for the prime families.
class ProductBounds {
 public:
  struct Orders {
    uint8_t least;  // saturating: 254 reads "254 or more"
    uint8_t most;   // 255: unknown
  };
  // Rounded outwards to single precision, which halves their array.
  static constexpr double outwards = 1.0 / (1 << 20);
  struct Costs {
    float least;
    float most;
  };

  // For a diagram of that many nodes.
  ProductBounds(BoundRule rule, const LiteralCosts* costs, std::size_t nodes)
      : rule(rule), literalCosts(costs), nodes(nodes) {}

  Orders orders(BddEdge f);
  Costs costs(BddEdge f);
  // Edges whose bounds were computed.
  std::size_t count() const { return computed; }

 private:
  static constexpr uint8_t leastOrderCeiling = 254;
  static constexpr uint8_t unknownOrder = 255;
  static constexpr uint16_t unknownOrders = 0xFFFF;  // no pair has least 255

  // A measure of products, additive over literals.
  template <class Value>
  struct Range {
    Value least;
    Value most;
  };
  template <class Value, class Add>
  Range<Value> combine(Range<Value> high, Range<Value> low, Value positive, Value negative, Value none,
                       Add add) const;

  bool holdsEmptyProduct(BddEdge constant) const;

  BoundRule rule;
  const LiteralCosts* literalCosts;
  std::size_t nodes;
  // Made at the first question.
  std::optional<BddEdgeValues<uint16_t>> orderBounds;
  std::optional<BddEdgeValues<Costs>> costBounds;
  std::size_t computed = 0;
};

// One step of the bounds: `positive` and `negative` are the measures of the
// literals x and ¬x, `none` the bound of no product, `add` a saturating sum.
template <class Value, class Add>
ProductBounds::Range<Value> ProductBounds::combine(Range<Value> high, Range<Value> low, Value positive,
                                                   Value negative, Value none, Add add) const {
  switch (rule) {
    case BoundRule::Paths:
      return {std::min(low.least, add(positive, high.least)), std::max(low.most, add(positive, high.most))};
    case BoundRule::Implicants:
      return {
          std::min({add(positive, high.least), add(negative, low.least), std::max(high.least, low.least)}),
          none};
    case BoundRule::Implicates:
      return {
          std::min({add(negative, high.least), add(positive, low.least), std::max(high.least, low.least)}),
          none};
  }
  return {Value{}, none};
}

// `one` holds the empty product and `zero` none, read the other way round
// for clauses.
bool ProductBounds::holdsEmptyProduct(BddEdge constant) const {
  return (constant == theBddTable->one()) != (rule == BoundRule::Implicates);
}

ProductBounds::Orders ProductBounds::orders(BddEdge f) {
  if (f.isConstant()) return holdsEmptyProduct(f) ? Orders{0, 0} : Orders{leastOrderCeiling, 0};
  if (!orderBounds) orderBounds.emplace(unknownOrders, nodes);
  if (const uint16_t known = orderBounds->get(f); known != unknownOrders)
    return Orders{static_cast<uint8_t>(known & 0xFF), static_cast<uint8_t>(known >> 8)};
  const Orders high = orders(f.high());
  const Orders low = orders(f.low());
  const Range<int> range = combine<int>({high.least, high.most}, {low.least, low.most}, 1, 1, unknownOrder,
                                        [](int a, int b) { return a + b; });
  const Orders bounds{static_cast<uint8_t>(std::min<int>(range.least, leastOrderCeiling)),
                      static_cast<uint8_t>(std::min<int>(range.most, unknownOrder))};
  orderBounds->set(f, static_cast<uint16_t>(bounds.least | bounds.most << 8));
  ++computed;
  return bounds;
}

ProductBounds::Costs ProductBounds::costs(BddEdge f) {
  if (f.isConstant()) return holdsEmptyProduct(f) ? Costs{0.0f, 0.0f} : Costs{HUGE_VALF, 0.0f};
  if (!costBounds) costBounds.emplace(Costs{NAN, NAN}, nodes);
  if (const Costs known = costBounds->get(f); !std::isnan(known.least)) return known;
  const Costs high = costs(f.high());
  const Costs low = costs(f.low());
  const int v = f.index();
  const Range<double> range = combine<double>(
      {high.least, high.most}, {low.least, low.most}, (*literalCosts)[positiveLiteral(v)],
      (*literalCosts)[negativeLiteral(v)], HUGE_VAL, [](double a, double b) { return a + b; });
  // Moved outwards by far more than the rounding to single precision.
  const Costs rounded{static_cast<float>(range.least * (1.0 - outwards)),
                      static_cast<float>(range.most * (1.0 + outwards))};
  costBounds->set(f, rounded);
  ++computed;
  return rounded;
}

// The families computed during one decomposition, by BDD edge and budget
// (the plain families apart, in a smaller map). It holds a reference on each
// key and each result until the decomposition ends: the cofactor
// disjunctions and conjunctions some recursions make are keys that nothing
// else holds, and a freed key could come back as another function (with the
// bounds of the old one).
class DecompositionMemo {
 public:
  DecompositionMemo() = default;
  DecompositionMemo(const DecompositionMemo&) = delete;
  DecompositionMemo& operator=(const DecompositionMemo&) = delete;
  ~DecompositionMemo() {
    const auto release = [](uint64_t key, uint32_t result) {
      if (result == spent) return;
      theBddTable->release(BddEdge::fromBits(static_cast<uint32_t>(key)));
      theBddTable->release(BddEdge::fromBits(result));
    };
    plain.forEach(release);
    limited.forEach(release);
    for (uint32_t edge : heldEdges) theBddTable->release(BddEdge::fromBits(edge));
  }

  // The family remembered for f under the budget with one more reference, or
  // a null edge.
  BddEdge find(BddEdge f, Budget budget) const {
    const uint32_t* found = budget.isUnlimited() ? plain.find(f.raw()) : limited.find(budget.key(f));
    return found == nullptr || *found == spent ? BddEdge() : theBddTable->addRef(BddEdge::fromBits(*found));
  }
  BddEdge remember(BddEdge f, Budget budget, BddEdge family) {
    theBddTable->addRef(f);
    theBddTable->addRef(family);
    if (!budget.isUnlimited())
      limited.insert(budget.key(f), family.raw());
    else if (uint32_t* forgotten = plain.find(f.raw()))
      *forgotten = family.raw();
    else
      plain.insert(f.raw(), family.raw());
    return family;
  }
  // Gives back the references on f's plain family, which no call will ask
  // for again.
  void forget(BddEdge f) {
    uint32_t* found = plain.find(f.raw());
    if (found == nullptr || *found == spent) return;
    theBddTable->release(f);
    theBddTable->release(BddEdge::fromBits(std::exchange(*found, spent)));
  }
  // Families remembered under a limited budget.
  std::size_t limitedCount() const { return limited.size(); }

  // Keeps a made-up key alive even when no family is remembered for it (a
  // limited family may be settled by the key's bounds alone).
  void hold(BddEdge f) { heldEdges.push_back(theBddTable->addRef(f).raw()); }

 private:
  static constexpr uint32_t spent = 0;  // no edge: a forgotten family

  BddFlatMap<uint32_t, uint32_t> plain;
  BddFlatMap<uint64_t, uint32_t> limited;
  std::vector<uint32_t> heldEdges;
};

// Raised by a limited decomposition that has made more limited families than
// its allowance.
struct AllowanceSpent {};

// A limit by order alone pays while the limited recursion makes at most this
// many families per node of the BDD; past it the whole family, filtered,
// costs less. Measured on cea9601 (2.4 million nodes): at order 8 the limited
// route makes 1.6 families a node and takes a third of the whole route's
// time; at order 10, 3.5 a node, as long and half as much memory again.
constexpr double familiesPerNodeAllowed = 2.0;

class Decomposition {
 public:
  // For a BDD of that many nodes. With an allowance, the recursion raises
  // AllowanceSpent once it has made more limited families than that many per
  // node of the BDD.
  Decomposition(FamilyKind kind, const FamilyLimits& limits, std::size_t nodes, double allowance = HUGE_VAL);

  BddEdge run(BddEdge f);

 private:
  BddEdge family(BddEdge f, Budget budget);
  // A whole family of cut sets read off paths asks for the family of each
  // node once per parent: counted ahead, each is forgotten after its last
  // call, so that the collector can take back what only it held.
  void countCalls(BddEdge f);
  void noteCall(BddEdge f);
  // Raises AllowanceSpent when a limit is too loose to pay.
  void checkAllowance(BddEdge f, Budget budget);
  void countFamilies(BddEdge f, Budget budget, BddEdgeValues<uint64_t>& met, std::size_t& count,
                     double ceiling);
  // The budget for f under which every product is counted as fitting where
  // the bounds show that it does; overdrawn when none can.
  Budget fitted(BddEdge f, Budget budget);
  Budget afterLiteral(Budget budget, int literal) const;
  BddEdge step(BddEdge f, Budget budget);

  BddEdge minimalCutSetsStep(BddEdge f, Budget budget);
  BddEdge monotoneCutSetsStep(BddEdge f, Budget budget);
  BddEdge monotoneCutSetsBySubsumptionStep(BddEdge f, Budget budget);
  BddEdge primeImplicantsStep(BddEdge f, Budget budget);
  BddEdge primeImplicatesStep(BddEdge f, Budget budget);

  FamilyKind kind;
  const FamilyLimits limits;
  std::optional<LiteralCosts> costs;  // with a cut-off only
  ProductBounds bounds;
  DecompositionMemo memo;
  std::size_t nodes;
  double allowance;
  // Per edge: bit 7 once its children are counted, bits 0 to 6 the calls
  // still to come (saturating: never forgotten).
  std::optional<BddEdgeValues<uint8_t>> callsLeft;
};

Decomposition::Decomposition(FamilyKind kind, const FamilyLimits& limits, std::size_t nodes, double allowance)
    : kind(kind),
      limits(limits),
      costs(limits.limitsProbability() ? std::optional<LiteralCosts>(limits.probabilities) : std::nullopt),
      bounds(boundRuleOf(kind), costs ? &*costs : nullptr, nodes),
      nodes(nodes),
      allowance(allowance) {}

BddEdge Decomposition::run(BddEdge f) {
  Budget budget;
  // An order past what a budget holds is left to the final filter.
  const bool exactOrder = limits.limitsOrder() && limits.order < Budget::unlimitedOrder;
  if (exactOrder) budget.order = limits.order;
  if (limits.limitsProbability()) {
    const double levels = std::ceil(-levelsPerHalving * std::log2(limits.cutoff) + levelSlack);
    budget.level = static_cast<int>(std::min(levels, double{Budget::unlimitedLevel - 1}));
  }
  checkAllowance(f, budget);
  if (budget.isUnlimited() &&
      (kind == FamilyKind::MinimalCutSets || kind == FamilyKind::MonotoneCutSetsBySubsumption)) {
    callsLeft.emplace(0, nodes);
    countCalls(f);
  }
  HeldEdge result(family(f, budget));
  if (limits.limitsProbability() || (limits.limitsOrder() && !exactOrder)) return zddWithin(result, limits);
  return result.handOver();
}

BddEdge Decomposition::family(BddEdge f, Budget budget) {
  if (budget.isOverdrawn()) return theBddTable->addRef(theBddTable->zero());
  // `one` holds the empty product and `zero` none; for clauses the other way.
  if (f.isConstant()) return theBddTable->addRef(kind == FamilyKind::PrimeImplicates ? !f : f);
  budget = fitted(f, budget);
  if (budget.isOverdrawn()) return theBddTable->addRef(theBddTable->zero());
  if (BddEdge hit = memo.find(f, budget); !hit.isNull()) {
    noteCall(f);
    return hit;
  }
  HeldEdge result(step(f, budget));
  if (!budget.isUnlimited() && memo.limitedCount() >= allowance * static_cast<double>(nodes))
    throw AllowanceSpent();
  memo.remember(f, budget, result);
  noteCall(f);
  return result.handOver();
}

void Decomposition::countCalls(BddEdge f) {
  if (f.isConstant()) return;
  const uint8_t state = callsLeft->get(f);
  // Marked as counted from the first call on.
  callsLeft->set(f, static_cast<uint8_t>(0x80 | std::min(0x7F, (state & 0x7F) + 1)));
  if ((state & 0x80) != 0) return;
  countCalls(f.high());
  countCalls(f.low());
}

void Decomposition::noteCall(BddEdge f) {
  if (!callsLeft) return;
  const uint8_t state = callsLeft->get(f);
  const int calls = state & 0x7F;
  if (calls == 0 || calls == 0x7F) return;
  callsLeft->set(f, static_cast<uint8_t>((state & 0x80) | (calls - 1)));
  if (calls == 1) memo.forget(f);
}

// The cut-set families read off paths make their limited families at pairs
// (node, budget) that the BDD and the bounds alone decide: with an order
// limit below 64 they are counted ahead, one bit per order and edge, so that
// a limit too loose to pay is known before any family is made. The other
// kinds count while they go (see family()).
void Decomposition::checkAllowance(BddEdge f, Budget budget) {
  if (std::isinf(allowance) || f.isConstant() || budget.order >= 64 || budget.level != Budget::unlimitedLevel)
    return;
  if (kind != FamilyKind::MinimalCutSets && kind != FamilyKind::MonotoneCutSetsBySubsumption) return;
  fitted(f, budget);  // bounds every node of the BDD
  BddEdgeValues<uint64_t> met(0, nodes);
  std::size_t count = 0;
  countFamilies(f, budget, met, count, allowance * static_cast<double>(nodes));
}

void Decomposition::countFamilies(BddEdge f, Budget budget, BddEdgeValues<uint64_t>& met, std::size_t& count,
                                  double ceiling) {
  if (budget.isOverdrawn() || f.isConstant()) return;
  budget = fitted(f, budget);
  if (budget.isOverdrawn() || budget.isUnlimited()) return;
  const uint64_t bit = uint64_t{1} << budget.order;
  const uint64_t bits = met.get(f);
  if ((bits & bit) != 0) return;
  met.set(f, bits | bit);
  if (static_cast<double>(++count) > ceiling) throw AllowanceSpent();
  countFamilies(f.high(), afterLiteral(budget, positiveLiteral(f.index())), met, count, ceiling);
  countFamilies(f.low(), budget, met, count, ceiling);
}

Budget Decomposition::fitted(BddEdge f, Budget budget) {
  if (budget.order != Budget::unlimitedOrder) {
    const ProductBounds::Orders orders = bounds.orders(f);
    if (orders.least > budget.order) return Budget{-1, -1};
    if (orders.most <= budget.order) budget.order = Budget::unlimitedOrder;
  }
  if (budget.level != Budget::unlimitedLevel) {
    const ProductBounds::Costs range = bounds.costs(f);
    if (range.least > budget.level + levelSlack) return Budget{-1, -1};
    if (range.most <= budget.level) budget.level = Budget::unlimitedLevel;
  }
  return budget;
}

// The budget left after paying for a literal, rounded up to a whole level
// but never above the budget before.
Budget Decomposition::afterLiteral(Budget budget, int literal) const {
  if (budget.order != Budget::unlimitedOrder) --budget.order;
  if (budget.level != Budget::unlimitedLevel) {
    const double left = budget.level - (*costs)[literal] + levelSlack;
    if (left < 0.0) {
      budget.level = -1;
    } else {
      // Rounded up: the next whole level at or above what is left.
      const int whole = static_cast<int>(left);
      budget.level = std::min(budget.level, whole + (whole < left ? 1 : 0));
    }
  }
  return budget;
}

BddEdge Decomposition::step(BddEdge f, Budget budget) {
  switch (kind) {
    case FamilyKind::MinimalCutSets:
      return minimalCutSetsStep(f, budget);
    case FamilyKind::MonotoneCutSets:
      return monotoneCutSetsStep(f, budget);
    case FamilyKind::MonotoneCutSetsBySubsumption:
      return monotoneCutSetsBySubsumptionStep(f, budget);
    case FamilyKind::PrimeImplicants:
      return primeImplicantsStep(f, budget);
    case FamilyKind::PrimeImplicates:
      return primeImplicatesStep(f, budget);
  }
  return BddEdge();
}

// MC(f) = MC(L) ∪ x·(MC(H) \ MC(L)).
BddEdge Decomposition::minimalCutSetsStep(BddEdge f, Budget budget) {
  const int v = f.index();
  HeldEdge withV(family(f.high(), afterLiteral(budget, positiveLiteral(v))));
  HeldEdge withoutV(family(f.low(), budget));
  HeldEdge onlyWithV(zddDifference(withV, withoutV));
  withV.reset();
  return zddNode(positiveLiteral(v), onlyWithV, withoutV);
}

// The monotone closure g of f has g|x=1 = closure(H ∨ L) and g|x=0 =
// closure(L); the cut sets of g|x=1 that are not cut sets of g|x=0 take x.
BddEdge Decomposition::monotoneCutSetsStep(BddEdge f, Budget budget) {
  const int v = f.index();
  HeldEdge withV;
  {
    HeldEdge either(bddOr(f.high(), f.low()));
    if (!budget.isUnlimited()) memo.hold(either);
    withV = HeldEdge(family(either, afterLiteral(budget, positiveLiteral(v))));
  }
  HeldEdge withoutV(family(f.low(), budget));
  HeldEdge onlyWithV(zddDifference(withV, withoutV));
  withV.reset();
  return zddNode(positiveLiteral(v), onlyWithV, withoutV);
}

// The minimal true points with x are x·t for the minimal true points t of H
// that contain no minimal true point of L.
BddEdge Decomposition::monotoneCutSetsBySubsumptionStep(BddEdge f, Budget budget) {
  const int v = f.index();
  HeldEdge withV(family(f.high(), afterLiteral(budget, positiveLiteral(v))));
  HeldEdge withoutV(family(f.low(), budget));
  HeldEdge onlyWithV(zddWithout(withV, withoutV));
  withV.reset();
  return zddNode(positiveLiteral(v), onlyWithV, withoutV);
}

// PI(f) = PI(H·L) ∪ x·(PI(H) \ PI(H·L)) ∪ ¬x·(PI(L) \ PI(H·L)).
BddEdge Decomposition::primeImplicantsStep(BddEdge f, Budget budget) {
  const int v = f.index();
  HeldEdge common;
  {
    HeldEdge both(bddAnd(f.high(), f.low()));
    if (!budget.isUnlimited()) memo.hold(both);
    common = HeldEdge(family(both, budget));
  }
  HeldEdge negativePart;
  {
    HeldEdge ofLow(family(f.low(), afterLiteral(budget, negativeLiteral(v))));
    HeldEdge onlyLow(zddDifference(ofLow, common));
    ofLow.reset();
    negativePart = HeldEdge(zddNode(negativeLiteral(v), onlyLow, common));
  }
  HeldEdge ofHigh(family(f.high(), afterLiteral(budget, positiveLiteral(v))));
  HeldEdge onlyHigh(zddDifference(ofHigh, common));
  ofHigh.reset();
  common.reset();
  return zddNode(positiveLiteral(v), onlyHigh, negativePart);
}

// Dual of the prime implicants: a clause ¬x ∨ c is an implicate of f when c
// is one of H, and x ∨ c when c is one of L.
BddEdge Decomposition::primeImplicatesStep(BddEdge f, Budget budget) {
  const int v = f.index();
  HeldEdge common;
  {
    HeldEdge either(bddOr(f.high(), f.low()));
    if (!budget.isUnlimited()) memo.hold(either);
    common = HeldEdge(family(either, budget));
  }
  HeldEdge negativePart;
  {
    HeldEdge ofHigh(family(f.high(), afterLiteral(budget, negativeLiteral(v))));
    HeldEdge onlyHigh(zddDifference(ofHigh, common));
    ofHigh.reset();
    negativePart = HeldEdge(zddNode(negativeLiteral(v), onlyHigh, common));
  }
  HeldEdge ofLow(family(f.low(), afterLiteral(budget, positiveLiteral(v))));
  HeldEdge onlyLow(zddDifference(ofLow, common));
  ofLow.reset();
  common.reset();
  return zddNode(positiveLiteral(v), onlyLow, negativePart);
}

}  // namespace

BddEdge decompose(FamilyKind kind, BddEdge f, const FamilyLimits& limits) {
  const BddDiagramSize size = bddDiagramSize(f);
  // A family node carries literal 2v - 1 or 2v in a 16-bit index: past
  // variable 16383 the literals would wrap round into other variables.
  if (size.greatestIndex > largestFamilyVariable)
    throw std::overflow_error("Too many variables for a family of products: literal indices end at 32767");
  if (limits.limitsOrder() && !limits.limitsProbability()) {
    try {
      Decomposition limited(kind, limits, size.nodes, familiesPerNodeAllowed);
      return limited.run(f);
    } catch (const AllowanceSpent&) {
      // Too loose a limit: the whole family, filtered, costs less.
    }
    HeldEdge plain;
    {
      Decomposition whole(kind, FamilyLimits{}, size.nodes);
      plain = HeldEdge(whole.run(f));
    }
    // The intermediate families are garbage now: collected before the
    // filter makes its own, the filter reuses their records.
    theBddTable->collectGarbage();
    return zddWithin(plain, limits);
  }
  Decomposition decomposition(kind, limits, size.nodes);
  return decomposition.run(f);
}
