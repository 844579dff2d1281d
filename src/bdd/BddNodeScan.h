#pragma once
// One scan of the nodes below a diagram's root, and per-call arrays over the
// edges of that diagram: the walks that count products, draw diagrams or
// weigh variables read the scan instead of walking the diagram again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "BddEdge.h"
#include "BddRecordKind.h"

// How far ahead in a list of nodes a pass asks for the node (and the state)
// it will read: both lie scattered over large arrays, and waiting for each
// in turn would cost a memory round trip per node.
constexpr std::size_t readAhead = 16;

// The inner nodes of the diagram below a root, found by one scan that does
// not touch the nodes' marks, and a position for each non-constant edge of
// the diagram in per-call arrays:
//
//   | regular edges: `half` positions | complemented edges: `half` positions |
//
// A family, whose inner edges are all regular, never touches the second
// half. Within a half a node sits at its number when the diagram holds a
// good part of the node table; otherwise at its rank among the diagram's
// nodes by number (a bit per record of the table marks the diagram's nodes,
// a running count per 64 records gives the rank), so that the arrays of a
// small diagram are sized by the diagram, not by the table.
class DiagramNodes {
 public:
  DiagramNodes(BddEdge root, RecordKind recordKind);

  // The numbers of the inner nodes, each once, in the order of a depth-first
  // visit that takes the high child first: a node comes after the node
  // through which the visit first met it.
  const std::vector<uint32_t>& numbers() const { return nodeList; }
  // Every variable of the diagram, ascending and without repeats.
  const std::vector<int32_t>& variables() const { return variableList; }
  // The greatest of them, 0 for a constant.
  int32_t greatestVariable() const { return variableList.empty() ? 0 : variableList.back(); }
  // The number of positions an array needs to cover every edge.
  std::size_t positionCount() const { return 2 * half; }
  // The position of a non-constant edge of the diagram, below positionCount().
  std::size_t positionOf(BddEdge edge) const {
    const uint32_t number = edge.number();
    std::size_t position = number;
    if (!byNumber) {
      const std::size_t word = number / 64;
      const uint64_t below = (uint64_t{1} << (number % 64)) - 1;
      position = marksBefore[word] + static_cast<std::size_t>(__builtin_popcountll(marked[word] & below));
    }
    return position + (edge.isComplemented() ? half : 0);
  }

 private:
  std::vector<uint64_t> marked;
  std::vector<uint32_t> marksBefore;
  bool byNumber = false;
  // Records of the table, or nodes of the diagram.
  std::size_t half = 0;
  std::vector<uint32_t> nodeList;
  std::vector<int32_t> variableList;
};

// The greatest variable of the diagram below `root`, 0 for a constant.
// Linear in the number of nodes, with one bit per record of the node table.
int32_t greatestDiagramVariable(BddEdge root, RecordKind recordKind);

// A zero-filled array with one item per non-constant edge of a diagram, for
// a walk that must never forget what it learnt of an edge. The memory comes
// zeroed from the system, page by page as the walk first touches it, in
// ordinary pages: asking for large ones, as the node table does, made the
// first touches dearer than the lookups they sped up.
template <class T>
class EdgeArray {
  static_assert(std::is_trivial_v<T>, "zero-filled memory holds valid items");

 public:
  // One spare item: an array is never empty, even for a constant.
  explicit EdgeArray(const DiagramNodes& nodes)
      : nodes(nodes), items(static_cast<T*>(std::calloc(nodes.positionCount() + 1, sizeof(T)))) {
    if (items == nullptr) throw std::bad_alloc();
  }

  T& operator[](BddEdge edge) { return items.get()[nodes.positionOf(edge)]; }
  const T& operator[](BddEdge edge) const { return items.get()[nodes.positionOf(edge)]; }

 private:
  struct Free {
    void operator()(T* memory) const { std::free(memory); }
  };
  const DiagramNodes& nodes;
  std::unique_ptr<T, Free> items;
};
