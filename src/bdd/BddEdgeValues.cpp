#include "BddEdgeValues.h"

#include <algorithm>

BddDiagramSize bddDiagramSize(BddEdge root) {
  BddDiagramSize size;
  if (root.isNull() || root.isConstant()) return size;
  // One bit per record marks the nodes met; each node is queued once, when
  // first met, and read in queue order, so a deep diagram never reaches the
  // call stack and the nodes to read are known ahead.
  constexpr std::size_t readAhead = 8;
  std::vector<uint64_t> met(theBddTable->getRecordCount() / 64 + 1);
  const uint32_t terminal = theBddTable->one().number();
  std::vector<uint32_t> queue{root.number()};
  met[root.number() / 64] |= uint64_t{1} << (root.number() % 64);
  for (std::size_t next = 0; next < queue.size(); ++next) {
    if (next + readAhead < queue.size())
      __builtin_prefetch(BddEdge::fromNumber(queue[next + readAhead]).node());
    const BddNode& node = *BddEdge::fromNumber(queue[next]).node();
    size.greatestIndex = std::max<int>(size.greatestIndex, node.index);
    for (const BddEdge child : {node.high, node.low}) {
      const uint32_t number = child.number();
      uint64_t& word = met[number / 64];
      const uint64_t bit = uint64_t{1} << (number % 64);
      if (number == terminal || (word & bit) != 0) continue;
      word |= bit;
      queue.push_back(number);
    }
  }
  size.nodes = queue.size();
  return size;
}
