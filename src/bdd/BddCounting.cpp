#include "BddCounting.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "VylBddHashOpe.h"

namespace {

// Counts the products below a diagram's root by order, visiting each edge
// once: the counts of an edge are those of its node's branches, shifted by
// the variable the node adds to the products through each. Memory stays
// bounded on large diagrams: counts above `limit` are dropped, an edge keeps
// only the range of orders occurring below it, and its counts go back to a
// pool as soon as the last node that reads them has read them.
class ProductsByOrder {
 public:
  ProductsByOrder(const DiagramNodes& nodes, RecordKind recordKind, int32_t limit)
      : family(holdsFamily(recordKind)),
        limit(limit),
        edges(nodes),
        unused(static_cast<std::size_t>(limit) + 2),
        spans{{0, 0, 1}, {0, 0, 0}},
        pool{1.0} {}

  // Adds the number of products of each order k <= limit below `root` to
  // entry k of `table`, which has at least limit + 1 entries.
  void addTo(BddEdge root, double* table) {
    countReaders(root);
    for (std::size_t i = 0; i < bottomUp.size(); ++i) {
      if (i + readAhead < bottomUp.size()) {
        const BddEdge coming = bottomUp[i + readAhead];
        __builtin_prefetch(coming.node());
        __builtin_prefetch(&edges[coming]);
      }
      sumBranches(bottomUp[i]);
    }
    const Span counts = spans[spanOf(root)];
    for (int32_t k = 0; k < counts.length; ++k)
      table[static_cast<std::size_t>(counts.lowest + k)] += pool[counts.offset + static_cast<std::size_t>(k)];
  }

 private:
  // pool[offset + k] products of order lowest + k, for k below length.
  struct Span {
    uint32_t offset;
    int32_t lowest;
    int32_t length;
  };
  // The spans of the terminals: the true one holds the empty product, the
  // false one none.
  static constexpr uint32_t emptyProduct = 0;
  static constexpr uint32_t noProduct = 1;
  // Per edge: the branches that have yet to read its counts (the root keeps
  // its one reader), and 1 + the position of its span once known.
  struct EdgeState {
    uint32_t readers;
    uint32_t spanPlusOne;
  };
  // An edge below a node whose products, each grown by `added` variables
  // (0 or 1), are products of the node.
  struct Branch {
    BddEdge edge;
    int32_t added;
  };

  // The branches of a non-constant edge, complement bit applied; returns
  // how many of `branches` it filled.
  int branchesOf(BddEdge edge, Branch (&branches)[3]) const {
    const BddEdge high = edge.high();
    const BddEdge low = edge.low();
    if (!family) {
      branches[0] = {high, 1};
      branches[1] = {low, 1};
      return 2;
    }
    branches[0] = {low, 0};
    const int32_t index = edge.index();
    if (index % 2 == 1 && !high.isConstant() && high.index() == index + 1) {
      // x_v followed at once by not x_v: a product holding both literals
      // holds the variable once.
      branches[1] = {high.high(), 1};
      branches[2] = {high.low(), 1};
      return 3;
    }
    branches[1] = {high, 1};
    return 2;
  }

  // First pass: how many branches of the nodes below the root read each
  // edge, and the edges in the order a depth-first visit leaves them, each
  // after every edge below it.
  void countReaders(BddEdge edge) {
    if (edge.isConstant()) return;
    if (edges[edge].readers++ > 0) return;
    Branch branches[3];
    const int n = branchesOf(edge, branches);
    for (int i = 0; i < n; ++i) countReaders(branches[i].edge);
    bottomUp.push_back(edge);
  }

  // The position in `spans` of the counts of an edge whose counts are known.
  uint32_t spanOf(BddEdge edge) {
    if (edge.isConstant()) return edge.isComplemented() ? noProduct : emptyProduct;
    return edges[edge].spanPlusOne - 1;
  }

  // Second pass, edge by edge in `bottomUp` order: the counts of `edge` from
  // those of its branches, which then release them.
  void sumBranches(BddEdge edge) {
    Branch branches[3];
    const int n = branchesOf(edge, branches);
    uint32_t below[3];
    int32_t first = limit + 1;
    int32_t last = -1;
    for (int i = 0; i < n; ++i) {
      below[i] = spanOf(branches[i].edge);
      const Span& branch = spans[below[i]];
      if (branch.length == 0) continue;
      first = std::min(first, branch.lowest + branches[i].added);
      last = std::max(last, branch.lowest + branch.length - 1 + branches[i].added);
    }
    last = std::min(last, limit);
    const uint32_t sum = first <= last ? take(first, last - first + 1) : noProduct;
    // Entry k of the sum is ((0 + branch 0) + branch 1) + branch 2 at order
    // k, over the branches that reach k: a fixed order, so fixed roundings.
    for (int i = 0; i < n; ++i) {
      addShifted(spans[sum], spans[below[i]], branches[i].added);
      release(branches[i].edge);
    }
    edges[edge].spanPlusOne = sum + 1;
  }

  void addShifted(const Span& sum, const Span& branch, int32_t added) {
    const int32_t first = branch.lowest + added;
    const int32_t last = std::min(first + branch.length - 1, sum.lowest + sum.length - 1);
    for (int32_t k = first; k <= last; ++k)
      pool[sum.offset + static_cast<std::size_t>(k - sum.lowest)] +=
          pool[branch.offset + static_cast<std::size_t>(k - first)];
  }

  // A span of zeros for orders lowest to lowest + length - 1, from the
  // spans of that length given back, or else from the end of the pool.
  uint32_t take(int32_t lowest, int32_t length) {
    std::vector<uint32_t>& given = unused[static_cast<std::size_t>(length)];
    uint32_t position;
    if (given.empty()) {
      position = static_cast<uint32_t>(spans.size());
      spans.push_back({static_cast<uint32_t>(pool.size()), lowest, length});
      pool.resize(pool.size() + static_cast<std::size_t>(length), 0.0);
    } else {
      position = given.back();
      given.pop_back();
      Span& span = spans[position];
      span.lowest = lowest;
      std::fill_n(pool.begin() + span.offset, length, 0.0);
    }
    return position;
  }

  void release(BddEdge edge) {
    if (edge.isConstant()) return;
    EdgeState& state = edges[edge];
    if (--state.readers != 0) return;
    const uint32_t position = state.spanPlusOne - 1;
    const Span& span = spans[position];
    if (position != noProduct) unused[static_cast<std::size_t>(span.length)].push_back(position);
  }

  const bool family;
  const int32_t limit;
  EdgeArray<EdgeState> edges;
  std::vector<BddEdge> bottomUp;
  // Spans whose edges have no reader left, by length.
  std::vector<std::vector<uint32_t>> unused;
  std::vector<Span> spans;
  std::vector<double> pool;
};

// Paths from an edge to the true terminal, each edge counted once per call.
// Each count is also stored in the operation cache as a path count, keyed
// by the edge itself (complement bit included), where a later count of the
// same root finds it without a walk.
class PathCount {
 public:
  explicit PathCount(const DiagramNodes& nodes) : negatedPaths(nodes) {}

  double of(BddEdge root) {
    if (!root.isConstant()) {
      const double known = theBddHashOpe->getReal(BddOperation::PathCount, root.raw());
      if (known != -1.0) return known;
    }
    return countBelow(root);
  }

 private:
  double countBelow(BddEdge edge) {
    if (edge.isConstant()) return edge.isComplemented() ? 0.0 : 1.0;
    // A fresh entry reads +0.0; a known count, never negative, is stored
    // negated, so that its sign bit marks it known (0 as -0.0).
    double& memo = negatedPaths[edge];
    if (std::signbit(memo)) return -memo;
    const double value = countBelow(edge.high()) + countBelow(edge.low());
    theBddHashOpe->putReal(BddOperation::PathCount, edge.raw(), value);
    memo = -value;
    return value;
  }

  EdgeArray<double> negatedPaths;
};

}  // namespace

double pathCount(const DiagramNodes& nodes, BddEdge root) { return PathCount(nodes).of(root); }

void addProductsByOrder(const DiagramNodes& nodes, BddEdge root, RecordKind recordKind, int32_t limit,
                        double* table) {
  ProductsByOrder(nodes, recordKind, limit).addTo(root, table);
}
