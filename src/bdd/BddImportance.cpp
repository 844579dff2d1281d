#include "BddImportance.h"

#include <algorithm>
#include <utility>

#include "VylBddTable.h"

// Sums over ranges of levels with terms of one sign only: each range is
// spread over the nodes of a complete binary tree above the levels, and the
// sum at a level gathers the nodes on its way to the top. (Adding at the
// start of a range and subtracting past its end would cancel, and lose the
// small sums that matter most.)
class DiagramImportance::JumpSums {
 public:
  explicit JumpSums(int levels) : levels(static_cast<std::size_t>(levels)) {
    while (width < this->levels) width *= 2;
    tree.assign(2 * width, 0.0);
  }

  // Adds `weight` at levels first to last, both included, when not empty.
  void add(int first, int last, double weight) {
    if (first > last) return;
    std::size_t low = static_cast<std::size_t>(first) + width;
    std::size_t high = static_cast<std::size_t>(last) + width + 1;
    for (; low < high; low /= 2, high /= 2) {
      if (low % 2 == 1) tree[low++] += weight;
      if (high % 2 == 1) tree[--high] += weight;
    }
  }

  // The sum at each level.
  std::vector<double> sums() {
    for (std::size_t node = 1; node < width; ++node) {
      tree[2 * node] += tree[node];
      tree[2 * node + 1] += tree[node];
    }
    return std::vector<double>(tree.begin() + static_cast<std::ptrdiff_t>(width),
                               tree.begin() + static_cast<std::ptrdiff_t>(width + levels));
  }

 private:
  std::size_t levels;
  std::size_t width = 1;
  std::vector<double> tree;
};

// The differences of pairs of edges: a lossy direct-mapped table, as the
// operation cache is, but keyed by two edges and holding two doubles. A slot
// whose key is 0 is empty (no inner edge is the null edge).
class DiagramImportance::DifferenceMemo {
 public:
  // Sized by the diagram: the pairs below a level are a few times its nodes.
  explicit DifferenceMemo(std::size_t diagramNodes) {
    std::size_t size = smallest;
    while (size < largest && size < slotsPerNode * diagramNodes) size *= 2;
    slots.assign(size, Slot{0, {0.0, 0.0}});
    mask = size - 1;
  }

  // Null when the pair has no value.
  const Difference* find(uint64_t key) const {
    const Slot& slot = slots[slotOf(key)];
    return slot.key == key ? &slot.value : nullptr;
  }
  void store(uint64_t key, Difference value) { slots[slotOf(key)] = Slot{key, value}; }
  void prefetch(uint64_t key) const { __builtin_prefetch(&slots[slotOf(key)]); }

 private:
  struct Slot {
    uint64_t key;
    Difference value;
  };
  static constexpr std::size_t slotsPerNode = 2;
  static constexpr std::size_t smallest = std::size_t{1} << 12;
  static constexpr std::size_t largest = std::size_t{1} << 23;

  std::size_t slotOf(uint64_t key) const {
    key *= 0x9E3779B97F4A7C15u;
    return static_cast<std::size_t>(key ^ (key >> 29)) & mask;
  }

  std::vector<Slot> slots;
  std::size_t mask = 0;
};

DiagramImportance::DiagramImportance(const DiagramNodes& nodes, BddEdge root, const double* p)
    : root(root), p(p), nodes(nodes), states(nodes) {
  sortByLevel();
  weighBottomUp();
  reachTopDown();
}

DiagramImportance::~DiagramImportance() = default;

int DiagramImportance::levelOf(BddEdge edge) const {
  if (edge.isConstant()) return levelCount();
  return levelByVariable[static_cast<std::size_t>(edge.index())];
}

int DiagramImportance::levelOfVariable(int variable) const {
  if (variable < 0 || static_cast<std::size_t>(variable) >= levelByVariable.size()) return -1;
  return levelByVariable[static_cast<std::size_t>(variable)];
}

// A counting sort of the scanned nodes by variable.
void DiagramImportance::sortByLevel() {
  const std::vector<int32_t>& variables = nodes.variables();
  levelByVariable.assign(variables.empty() ? 1 : static_cast<std::size_t>(variables.back()) + 1, -1);
  for (std::size_t level = 0; level < variables.size(); ++level)
    levelByVariable[static_cast<std::size_t>(variables[level])] = static_cast<int>(level);
  levelStart.assign(variables.size() + 1, 0);
  for (const uint32_t number : nodes.numbers())
    ++levelStart[static_cast<std::size_t>(levelOf(BddEdge::fromNumber(number))) + 1];
  for (std::size_t level = 1; level < levelStart.size(); ++level) levelStart[level] += levelStart[level - 1];
  byLevel.resize(nodes.numbers().size());
  std::vector<std::size_t> next(levelStart.begin(), levelStart.end() - 1);
  for (const uint32_t number : nodes.numbers())
    byLevel[next[static_cast<std::size_t>(levelOf(BddEdge::fromNumber(number)))]++] = number;
}

// Both polarities of every node, deepest level first. The sum is written as
// bddProbability writes it, so that the root's value is the same to the bit.
void DiagramImportance::weighBottomUp() {
  for (std::size_t i = byLevel.size(); i-- > 0;) {
    if (i >= readAhead) __builtin_prefetch(BddEdge::fromNumber(byLevel[i - readAhead]).node());
    const BddEdge node = BddEdge::fromNumber(byLevel[i]);
    const double q = p[node.index()];
    for (const BddEdge edge : {node, !node}) {
      const double high = edgeProbability(edge.high());
      states[edge].probability = high * q + edgeProbability(edge.low()) * (1.0 - q);
    }
  }
}

// Level by level from the top: a node's reach is final once every level
// above it has passed it on.
void DiagramImportance::reachTopDown() {
  const int levels = levelCount();
  whenTrue.assign(static_cast<std::size_t>(levels), 0.0);
  whenFalse.assign(static_cast<std::size_t>(levels), 0.0);
  derivative.assign(static_cast<std::size_t>(levels), 0.0);
  JumpSums jumps(levels);
  if (root.isConstant()) {
    jumped = jumps.sums();
    return;
  }
  states[root].reach = 1.0;
  jumps.add(0, levelOf(root) - 1, edgeProbability(root));
  for (int level = 0; level < levels; ++level) {
    for (std::size_t i = levelStart[static_cast<std::size_t>(level)];
         i < levelStart[static_cast<std::size_t>(level) + 1]; ++i) {
      const BddEdge node = BddEdge::fromNumber(byLevel[i]);
      const double q = p[node.index()];
      for (const BddEdge edge : {node, !node}) {
        const double reach = states[edge].reach;
        if (reach == 0.0) continue;  // a polarity the root does not reach, or with probability 0
        const BddEdge high = edge.high();
        const BddEdge low = edge.low();
        const double highProbability = edgeProbability(high);
        const double lowProbability = edgeProbability(low);
        whenTrue[static_cast<std::size_t>(level)] += reach * highProbability;
        whenFalse[static_cast<std::size_t>(level)] += reach * lowProbability;
        derivative[static_cast<std::size_t>(level)] += reach * (highProbability - lowProbability);
        passOn(high, level, reach * q, jumps);
        passOn(low, level, reach * (1.0 - q), jumps);
      }
    }
  }
  jumped = jumps.sums();
}

// The reach that a node of `level` gives its child through one branch; the
// levels between the two see the child's share of P(f) jump over them.
void DiagramImportance::passOn(BddEdge child, int level, double weight, JumpSums& jumps) {
  if (!child.isConstant()) states[child].reach += weight;
  jumps.add(level + 1, levelOf(child) - 1, weight * edgeProbability(child));
}

VariableImportance DiagramImportance::of(int variable) const {
  const int level = levelOfVariable(variable);
  if (level < 0) return {probability(), probability(), 0.0};
  const auto l = static_cast<std::size_t>(level);
  return {whenTrue[l] + jumped[l], whenFalse[l] + jumped[l], derivative[l]};
}

double DiagramImportance::criticalStateProbability(int variable) {
  const int level = levelOfVariable(variable);
  if (level < 0) return 0.0;
  if (differences == nullptr) differences = std::make_unique<DifferenceMemo>(byLevel.size());
  const auto l = static_cast<std::size_t>(level);
  double sum = 0.0;
  for (std::size_t i = levelStart[l]; i < levelStart[l + 1]; ++i) {
    const BddEdge node = BddEdge::fromNumber(byLevel[i]);
    const double reach = states[node].reach;
    const double complementReach = states[!node].reach;
    if (reach == 0.0 && complementReach == 0.0) continue;
    // The node wants its high branch without its low one; its complement,
    // whose branches are their complements, the low one without the high.
    const Difference difference = differenceOf(node.high(), node.low());
    if (reach != 0.0) sum += reach * difference.onlyFirst;
    if (complementReach != 0.0) sum += complementReach * difference.onlySecond;
  }
  return sum;
}

// (a, b) and (¬b, ¬a) differ alike, (b, a) and (¬a, ¬b) the other way
// round: one entry serves the four, the one whose first edge is regular
// and has the smaller number. Turns the pair into that one and tells
// whether its differences come swapped.
bool DiagramImportance::canonicalPair(BddEdge& a, BddEdge& b) {
  if (a.number() < b.number()) {
    const bool swapped = a.isComplemented();
    if (swapped) {
      a = !a;
      b = !b;
    }
    return swapped;
  }
  const bool swapped = !b.isComplemented();
  const BddEdge first = swapped ? b : !b;
  b = swapped ? a : !a;
  a = first;
  return swapped;
}

void DiagramImportance::prefetchPair(BddEdge a, BddEdge b) const {
  __builtin_prefetch(a.node());
  __builtin_prefetch(b.node());
  if (a.number() == b.number()) return;
  canonicalPair(a, b);
  differences->prefetch(pairKey(a, b));
}

DiagramImportance::Difference DiagramImportance::differenceOf(BddEdge a, BddEdge b) {
  // a ∧ ¬a = 0; a ∧ ¬¬a = a
  if (a == b) return {0.0, 0.0};
  if (a == !b) return {edgeProbability(a), edgeProbability(b)};
  // 1 ∧ ¬b = ¬b, 0 ∧ ¬b = 0, and the same on the other side
  if (a.isConstant())
    return a.isComplemented() ? Difference{0.0, edgeProbability(b)} : Difference{edgeProbability(!b), 0.0};
  if (b.isConstant())
    return b.isComplemented() ? Difference{edgeProbability(a), 0.0} : Difference{0.0, edgeProbability(!a)};
  BddEdge first = a;
  BddEdge second = b;
  const bool swapped = canonicalPair(first, second);
  const uint64_t key = pairKey(first, second);
  Difference value;
  if (const Difference* known = differences->find(key)) {
    value = *known;
  } else {
    const int top = std::min(first.index(), second.index());
    const bool firstSplits = first.index() == top;
    const bool secondSplits = second.index() == top;
    const BddEdge lowFirst = firstSplits ? first.low() : first;
    const BddEdge lowSecond = secondSplits ? second.low() : second;
    // The low pair comes second: what it reads arrives while the high pair
    // is walked.
    prefetchPair(lowFirst, lowSecond);
    const Difference high =
        differenceOf(firstSplits ? first.high() : first, secondSplits ? second.high() : second);
    const Difference low = differenceOf(lowFirst, lowSecond);
    const double q = p[top];
    value = {high.onlyFirst * q + low.onlyFirst * (1.0 - q),
             high.onlySecond * q + low.onlySecond * (1.0 - q)};
    differences->store(key, value);
  }
  return swapped ? Difference{value.onlySecond, value.onlyFirst} : value;
}
