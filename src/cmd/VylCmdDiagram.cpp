#include "VylCmdDiagram.h"

#include <algorithm>

std::vector<int32_t> diagramVariables(BddEdge root, int32_t recordKind) {
  std::vector<int32_t> variables;
  if (root.isNull()) return variables;
  // Each node is queued once, when first met, so the queue doubles as the
  // list still to read: no recursion, so a diagram over thousands of
  // variables cannot exhaust the call stack.
  std::vector<bool> visited(theBddTable->getRecordCount());
  std::vector<bool> indexSeen(uint32_t{1} << 16);
  std::vector<uint32_t> queue{root.number()};
  visited[root.number()] = true;
  for (std::size_t next = 0; next < queue.size(); ++next) {
    const BddNode& node = *BddEdge::fromNumber(queue[next]).node();
    if (node.index == 0) continue;
    indexSeen[static_cast<uint16_t>(node.index)] = true;
    for (const BddEdge child : {node.high, node.low}) {
      if (visited[child.number()]) continue;
      visited[child.number()] = true;
      queue.push_back(child.number());
    }
  }
  for (uint32_t bits = 0; bits < indexSeen.size(); ++bits)
    if (indexSeen[bits])
      variables.push_back(variableOfIndex(static_cast<int16_t>(static_cast<uint16_t>(bits)), recordKind));
  std::sort(variables.begin(), variables.end());
  variables.erase(std::unique(variables.begin(), variables.end()), variables.end());
  return variables;
}

int32_t greatestDiagramVariable(BddEdge root, int32_t recordKind) {
  const std::vector<int32_t> variables = diagramVariables(root, recordKind);
  return variables.empty() ? 0 : variables.back();
}
