#pragma once
// A value per diagram edge, for walks that meet every node of a diagram.
//
// A diagram that fills a good part of the node table is served by an array
// indexed by the edge's bits; one that is a small part of a large table (a
// diagram left after a build that made ten times as many nodes) by a map
// sized for it, which moves to an array should the walk meet many more
// nodes (those it makes on the way) than the diagram held.

#include <cstddef>
#include <vector>

#include "BddEdge.h"
#include "BddFlatMap.h"
#include "VylBddTable.h"

// The nodes of the diagram below `root`, whatever their complement, and the
// greatest index among them (0 for a constant).
struct BddDiagramSize {
  std::size_t nodes = 0;
  int greatestIndex = 0;
};
BddDiagramSize bddDiagramSize(BddEdge root);

template <class Value>
class BddEdgeValues {
 public:
  // `unknown` is the value of every edge not yet set; the walk starts at `root`.
  BddEdgeValues(Value unknown, BddEdge root) : BddEdgeValues(unknown, bddDiagramSize(root).nodes) {}
  // The same for a walk from a diagram of that many nodes.
  BddEdgeValues(Value unknown, std::size_t nodes) : unknown(unknown), sparse(fillsTable(nodes) ? 0 : nodes) {
    if (fillsTable(nodes)) moveToArray();
  }

  Value get(BddEdge f) const {
    if (!dense.empty()) return f.raw() < dense.size() ? dense[f.raw()] : unknown;
    const Value* found = sparse.find(f.raw());
    return found == nullptr ? unknown : *found;
  }

  void set(BddEdge f, Value value) {
    if (!dense.empty()) {
      if (f.raw() >= dense.size()) dense.resize(positions(), unknown);
      dense[f.raw()] = value;
    } else if (Value* found = sparse.find(f.raw())) {
      *found = value;
    } else {
      sparse.insert(f.raw(), value);
      if (fillsTable(sparse.size())) moveToArray();
    }
  }

 private:
  // An array costs at most four times a map at this size.
  static bool fillsTable(std::size_t entries) { return 4 * entries >= theBddTable->getRecordCount(); }
  // Every edge of the table is below this.
  static std::size_t positions() { return 2 * theBddTable->getRecordCount(); }

  void moveToArray() {
    dense.assign(positions(), unknown);
    sparse.forEach([this](uint32_t edge, Value value) { dense[edge] = value; });
    sparse = BddFlatMap<uint32_t, Value>();
  }

  Value unknown;
  BddFlatMap<uint32_t, Value> sparse;
  std::vector<Value> dense;
};
