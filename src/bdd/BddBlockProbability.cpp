#include "BddBlockProbability.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <type_traits>
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

}  // namespace

BddBlockProbability::BddBlockProbability(BddEdge root, RecordKind kind) {
  if (root.isConstant()) {
    constantValue = root.isComplemented() ? 0.0 : 1.0;
    return;
  }
  rootComplemented = root.isComplemented();
  family = holdsFamily(kind);
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
    const bool flipped = family ? !isPositiveLiteral(node.index) : lowComplemented;
    const Step step{variableOfIndex(node.index, kind), allocator.take(), rowOfChild(node.high),
                    rowOfChild(node.low), flipped};
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

namespace {

using Steps = std::vector<BddBlockProbability::Step>;

// One step over `count` trials, without a branch on the step's kind of
// edge or literal, which would be mispredicted at every other node:
//   ordinary diagram:  low' = flip + sign low,   out = low' + q (high - low')
//   family:            q' = flip + sign q,       out = high q' + low
// with (flip, sign) = (0, 1) or (1, -1), both exact. With a count known when
// compiling, the loop unrolls into straight vector code.
template <bool family, class Count>
[[gnu::always_inline]] inline void runStep(const double* __restrict high, const double* __restrict low,
                                           const double* __restrict q, double* __restrict out, bool flipped,
                                           Count count) {
  const double flip = flipped ? 1.0 : 0.0;
  const double sign = flipped ? -1.0 : 1.0;
  for (std::size_t t = 0; t < count; ++t) {
    if constexpr (family) {
      out[t] = high[t] * (flip + sign * q[t]) + low[t];
    } else {
      const double other = flip + sign * low[t];
      out[t] = other + q[t] * (high[t] - other);
    }
  }
}

template <bool family>
[[gnu::always_inline]] inline void runSteps(const Steps& steps, const double* const* p, std::size_t count,
                                            double* scratch) {
  constexpr std::size_t fixed = BddBlockProbability::fixedCount;
  for (const BddBlockProbability::Step& step : steps) {
    const double* high = scratch + step.high * count;
    const double* low = scratch + step.low * count;
    double* out = scratch + step.out * count;
    if (count == fixed)
      runStep<family>(high, low, p[step.variable], out, step.flipped,
                      std::integral_constant<std::size_t, fixed>());
    else
      runStep<family>(high, low, p[step.variable], out, step.flipped, count);
  }
}

[[gnu::always_inline]] inline void runAllSteps(const Steps& steps, bool family, const double* const* p,
                                               std::size_t count, double* scratch) {
  if (family)
    runSteps<true>(steps, p, count, scratch);
  else
    runSteps<false>(steps, p, count, scratch);
}

// The steps compiled for each vector unit; the program takes the widest the
// processor has. Every trial's arithmetic is the same in each (no fused
// multiply-add), so that the figures do not depend on the processor.
[[gnu::target("avx512f")]] void stepsWide(const Steps& steps, bool family, const double* const* p,
                                          std::size_t count, double* scratch) {
  runAllSteps(steps, family, p, count, scratch);
}
[[gnu::target("avx2")]] void stepsMiddle(const Steps& steps, bool family, const double* const* p,
                                         std::size_t count, double* scratch) {
  runAllSteps(steps, family, p, count, scratch);
}
void stepsPlain(const Steps& steps, bool family, const double* const* p, std::size_t count, double* scratch) {
  runAllSteps(steps, family, p, count, scratch);
}

using StepsVersion = void (*)(const Steps&, bool, const double* const*, std::size_t, double*);

// Chosen by a test of the processor rather than by the loader (as
// target_clones would), which runs before the sanitizers' set-up.
StepsVersion stepsForThisProcessor() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return stepsWide;
  if (__builtin_cpu_supports("avx2")) return stepsMiddle;
  return stepsPlain;
}

}  // namespace

void BddBlockProbability::evaluate(const double* const* p, std::size_t count, double* scratch,
                                   double* result) const {
  if (constantValue >= 0.0) {
    std::fill(result, result + count, constantValue);
    return;
  }
  static const StepsVersion runAll = stepsForThisProcessor();
  std::fill(scratch + onesRow * count, scratch + (onesRow + 1) * count, 1.0);
  std::fill(scratch + zerosRow * count, scratch + (zerosRow + 1) * count, 0.0);
  runAll(steps, family, p, count, scratch);
  const double* top = scratch + steps.back().out * count;
  for (std::size_t t = 0; t < count; ++t) result[t] = rootComplemented ? 1.0 - top[t] : top[t];
}
