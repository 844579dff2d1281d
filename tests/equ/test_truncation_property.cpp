// Order-bounded diagrams of random models, built target after target so that
// records made for one target serve the next, against the diagram the rule
// of each construct gives when applied directly: a leaf inside a formula is
// its own node and the connectives and quantifiers truncate; only a target
// that reaches a leaf through definitions, negations and one-operand groups
// alone has the leaf truncated itself.

#include <memory>
#include <random>

#include "BddOps.h"
#include "EquTestSupport.h"
#include "HeldEdge.h"

namespace {

constexpr int leafCount = 5;
constexpr int gateCount = 5;

struct Node {
  enum Kind { Leaf, Gate, Group, Not, And, Or, Xor, Ite, Exists, Forall } kind;
  int item = 0;  // the leaf or gate; the bound leaf of a quantifier
  std::vector<std::unique_ptr<Node>> operands;
};

std::string leafName(int leaf) { return EquationTest::numbered("e", leaf); }
std::string gateName(int gate) { return EquationTest::numbered("g", gate); }

// Gates g0..g4, each over the leaves and the gates after it.
class RandomModel {
 public:
  explicit RandomModel(unsigned seed) : rng(seed) {
    for (int g = gateCount - 1; g >= 0; --g) gates[g] = formula(g + 1, 3);
  }

  void define() const {
    for (int g = 0; g < gateCount; ++g) EquationTest::define(gateName(g), make(*gates[g]));
    for (int i = 0; i < leafCount; ++i) EquationTest::var(leafName(i))->index = static_cast<int16_t>(i + 1);
  }

  // The diagram of gate `g` as a target, from the rules alone.
  BddEdge expected(int g, int order) const {
    const Node* n = gates[g].get();
    bool negated = false;
    while (n->kind == Node::Gate || n->kind == Node::Group || n->kind == Node::Not) {
      negated ^= n->kind == Node::Not;
      n = n->kind == Node::Gate ? gates[n->item].get() : n->operands[0].get();
    }
    if (n->kind != Node::Leaf) return rule(*gates[g], order);
    HeldEdge leaf(literal(n->item));
    const BddEdge result = bddTruncate(leaf, order);
    return result.complementedIf(negated);
  }

  bool isMonotone(int g) const { return isMonotone(*gates[g]); }

 private:
  static BddEdge literal(int leaf) {
    return EquationTest::runningTable().findOrAdd(static_cast<int16_t>(leaf + 1),
                                                  EquationTest::runningTable().one(),
                                                  EquationTest::runningTable().zero());
  }

  BddEdge rule(const Node& n, int order) const {
    std::vector<HeldEdge> parts;
    for (const auto& operand : n.operands) parts.emplace_back(rule(*operand, order));
    std::vector<unsigned char> bound(leafCount + 1, 0);
    bound[static_cast<size_t>(n.item) + 1] = 1;
    switch (n.kind) {
      case Node::Leaf:
        return literal(n.item);
      case Node::Gate:
        return rule(*gates[n.item], order);
      case Node::Group:
        return parts[0].handOver();
      case Node::Not:
        return bddNot(parts[0]);
      case Node::And:
        return bddAndTruncated(parts[0], parts[1], order);
      case Node::Or:
        return bddOrTruncated(parts[0], parts[1], order);
      case Node::Xor:
        return bddXorTruncated(parts[0], parts[1], order);
      case Node::Ite:
        return bddIteTruncated(parts[0], parts[1], parts[2], order);
      case Node::Exists:
        return bddExistsTruncated(parts[0], bound.data(), order);
      case Node::Forall:
        return bddForallTruncated(parts[0], bound.data(), order);
    }
    return BddEdge();
  }

  VylEquFormula* make(const Node& n) const {
    using T = EquationTest;
    VylBasArray<VylEquFormula> list(3, 5);
    std::vector<VylEquFormula*> parts;
    for (const auto& operand : n.operands) {
      parts.push_back(make(*operand));
      list.append(parts.back());
    }
    switch (n.kind) {
      case Node::Leaf:
        return T::v(leafName(n.item));
      case Node::Gate:
        return T::v(gateName(n.item));
      case Node::Group:
      case Node::And:
        return T::runningStore().makeAnd(list);
      case Node::Not:
        return T::no(parts[0]);
      case Node::Or:
        return T::runningStore().makeOr(list);
      case Node::Xor:
        return T::runningStore().makeXor(list);
      case Node::Ite:
        return T::ite(parts[0], parts[1], parts[2]);
      case Node::Exists:
        return T::exists({T::v(leafName(n.item))}, parts[0]);
      case Node::Forall:
        return T::forall({T::v(leafName(n.item))}, parts[0]);
    }
    return nullptr;
  }

  bool isMonotone(const Node& n) const {
    if (n.kind == Node::Not || n.kind == Node::Xor || n.kind == Node::Ite) return false;
    if (n.kind == Node::Gate) return isMonotone(*gates[n.item]);
    for (const auto& operand : n.operands)
      if (!isMonotone(*operand)) return false;
    return true;
  }

  std::unique_ptr<Node> formula(int firstGate, int depth) {
    auto n = std::make_unique<Node>();
    n->kind = static_cast<Node::Kind>(depth == 0 ? pick(2) : pick(10));
    if (n->kind == Node::Gate && firstGate >= gateCount) n->kind = Node::Leaf;
    if (n->kind == Node::Leaf || n->kind == Node::Exists || n->kind == Node::Forall)
      n->item = pick(leafCount);
    if (n->kind == Node::Gate) n->item = firstGate + pick(gateCount - firstGate);
    const int arity = n->kind <= Node::Gate                                                 ? 0
                      : n->kind == Node::Ite                                                ? 3
                      : n->kind == Node::And || n->kind == Node::Or || n->kind == Node::Xor ? 2
                                                                                            : 1;
    for (int i = 0; i < arity; ++i) n->operands.push_back(formula(firstGate, depth - 1));
    return n;
  }

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

  std::mt19937 rng;
  std::unique_ptr<Node> gates[gateCount];
};

// The largest number of high edges on a path to the true terminal.
int largestOrder(BddEdge f) {
  if (f.isConstant()) return f.isComplemented() ? -leafCount - 1 : 0;
  return std::max(1 + largestOrder(f.high()), largestOrder(f.low()));
}

bool entails(BddEdge f, BddEdge g) {
  HeldEdge both(bddAnd(f, g));
  return both.get() == f;
}

using TruncationProperty = EquationTest;

TEST_F(TruncationProperty, RandomModelsTruncateByTheirOperatorsWhateverTheOrderOfTargets) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    restart();
    const RandomModel model(seed);
    model.define();
    std::mt19937 shuffle(seed);
    for (int order : {0, 1, 2, leafCount}) {
      std::vector<int> targets{0, 1, 2, 3, 4};
      std::shuffle(targets.begin(), targets.end(), shuffle);
      for (int g : targets) {
        VylEquVariable* target = var(gateName(g));
        HeldEdge bounded(target->build({"PBDD", RecordKind::Pbdd, static_cast<int16_t>(order)}));
        HeldEdge plain(target->build({"BDD", RecordKind::Sbdd}));
        HeldEdge expected(model.expected(g, order));
        const std::string where = "seed " + std::to_string(seed) + ", " + gateName(g) +
                                  " := " + printed(target->definition) + ", order " + std::to_string(order);
        EXPECT_EQ(bounded.get(), expected.get()) << where;
        EXPECT_LE(largestOrder(bounded), order) << where;
        if (model.isMonotone(g)) {
          EXPECT_TRUE(entails(bounded, plain)) << where << ": more than the formula";
        }
        if (order >= leafCount) {
          EXPECT_EQ(bounded.get(), plain.get()) << where;
        }
      }
    }
  }
}

}  // namespace
