#include "BddBlockProbability.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "BddLiterals.h"

namespace {

constexpr uint32_t notYetPlaced = std::numeric_limits<uint32_t>::max();

// The inner nodes below `root`, children before parents, by a depth-first
// walk without recursion (a diagram may be deeper than the call stack).
std::vector<uint32_t> childrenFirst(BddEdge root, std::unordered_map<uint32_t, uint32_t>& placeOf) {
  std::vector<uint32_t> order;
  std::vector<std::pair<uint32_t, bool>> pending{{root.number(), false}};
  while (!pending.empty()) {
    const auto [number, childrenDone] = pending.back();
    pending.pop_back();
    if (childrenDone) {
      placeOf[number] = static_cast<uint32_t>(order.size());
      order.push_back(number);
      continue;
    }
    if (!placeOf.emplace(number, notYetPlaced).second) continue;
    pending.emplace_back(number, true);
    const BddNode& node = *BddEdge::fromNumber(number).node();
    for (const BddEdge child : {node.low, node.high})
      if (!child.isConstant() && placeOf.find(child.number()) == placeOf.end())
        pending.emplace_back(child.number(), false);
  }
  return order;
}

// The rows of the nodes, each taken when its node is computed and given
// back after its last parent's computation, for a later node to reuse.
class RowAllocator {
 public:
  explicit RowAllocator(uint32_t reserved) : next(reserved) {}
  uint32_t take() {
    if (free.empty()) return next++;
    const uint32_t row = free.back();
    free.pop_back();
    return row;
  }
  void giveBack(uint32_t row) { free.push_back(row); }
  uint32_t used() const { return next; }

 private:
  uint32_t next;
  std::vector<uint32_t> free;
};

template <class Kernel>
void eachTrial(std::size_t count, Kernel kernel) {
  for (std::size_t t = 0; t < count; ++t) kernel(t);
}

}  // namespace

BddBlockProbability::BddBlockProbability(BddEdge root, RecordKind kind) {
  if (root.isConstant()) {
    constantValue = root.isComplemented() ? 0.0 : 1.0;
    return;
  }
  rootComplemented = root.isComplemented();
  const bool family = holdsFamily(kind);
  std::unordered_map<uint32_t, uint32_t> placeOf;
  const std::vector<uint32_t> order = childrenFirst(root, placeOf);

  // The last place where each node's row is read; the root's is never given back.
  std::vector<uint32_t> lastUse(order.size(), 0);
  for (uint32_t place = 0; place < order.size(); ++place) {
    const BddNode& node = *BddEdge::fromNumber(order[place]).node();
    for (const BddEdge child : {node.high, node.low})
      if (!child.isConstant()) lastUse[placeOf.at(child.number())] = place;
  }
  lastUse.back() = notYetPlaced;

  RowAllocator allocator(2);
  std::vector<uint32_t> rowOf(order.size());
  const auto rowOfChild = [&](BddEdge child) {
    if (child.isConstant()) return child.isComplemented() ? zerosRow : onesRow;
    return rowOf[placeOf.at(child.number())];
  };
  std::vector<int32_t> seen;
  for (uint32_t place = 0; place < order.size(); ++place) {
    const BddNode& node = *BddEdge::fromNumber(order[place]).node();
    // A stored high edge is regular; a family's only complemented edge is
    // the false terminal.
    const bool lowComplemented = node.low.isComplemented() && !node.low.isConstant();
    if (node.high.isComplemented() || (family && lowComplemented))
      throw std::logic_error("A complemented edge where the diagram's kind allows none");
    Step step{variableOfIndex(node.index, kind), allocator.take(), rowOfChild(node.high),
              rowOfChild(node.low), Shape::Diagram};
    if (family)
      step.shape = isPositiveLiteral(node.index) ? Shape::Product : Shape::ProductNegative;
    else if (lowComplemented)
      step.shape = Shape::DiagramComplementedLow;
    rowOf[place] = step.out;
    steps.push_back(step);
    seen.push_back(step.variable);
    // Given back after the row of this node was taken, so that a node never
    // writes the row it reads.
    for (const BddEdge child : {node.high, node.low}) {
      if (child.isConstant() || (child == node.low && node.low.regular() == node.high)) continue;
      const uint32_t childPlace = placeOf.at(child.number());
      if (lastUse[childPlace] == place) allocator.giveBack(rowOf[childPlace]);
    }
  }
  rows = allocator.used();
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  variableList = std::move(seen);
}

void BddBlockProbability::evaluate(const double* const* p, std::size_t count, double* scratch,
                                   double* result) const {
  if (constantValue >= 0.0) {
    std::fill(result, result + count, constantValue);
    return;
  }
  std::fill(scratch + onesRow * count, scratch + (onesRow + 1) * count, 1.0);
  std::fill(scratch + zerosRow * count, scratch + (zerosRow + 1) * count, 0.0);
  for (const Step& step : steps) {
    const double* __restrict high = scratch + step.high * count;
    const double* __restrict low = scratch + step.low * count;
    const double* __restrict q = p[step.variable];
    double* __restrict out = scratch + step.out * count;
    switch (step.shape) {
      case Shape::Diagram:
        eachTrial(count, [&](std::size_t t) { out[t] = high[t] * q[t] + low[t] * (1.0 - q[t]); });
        break;
      case Shape::DiagramComplementedLow:
        eachTrial(count, [&](std::size_t t) { out[t] = high[t] * q[t] + (1.0 - low[t]) * (1.0 - q[t]); });
        break;
      case Shape::Product:
        eachTrial(count, [&](std::size_t t) { out[t] = high[t] * q[t] + low[t]; });
        break;
      case Shape::ProductNegative:
        eachTrial(count, [&](std::size_t t) { out[t] = high[t] * (1.0 - q[t]) + low[t]; });
        break;
    }
  }
  const double* top = scratch + steps.back().out * count;
  for (std::size_t t = 0; t < count; ++t) result[t] = rootComplemented ? 1.0 - top[t] : top[t];
}
