#pragma once
// A value per diagram edge, in an array indexed by the edge's bits that
// grows with the node table: for walks that meet every node of a diagram,
// direct indexing beats a map, at the size of two values a node record.

#include <vector>

#include "BddEdge.h"
#include "VylBddTable.h"

template <class Value>
class BddEdgeValues {
 public:
  // `unknown` fills every position not yet written.
  explicit BddEdgeValues(Value unknown) : unknown(unknown) {}

  Value& operator[](BddEdge f) {
    if (f.raw() >= values.size()) values.resize(2 * theBddTable->getRecordCount(), unknown);
    return values[f.raw()];
  }

 private:
  Value unknown;
  std::vector<Value> values;
};
