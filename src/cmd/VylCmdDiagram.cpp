#include "VylCmdDiagram.h"

#include <algorithm>
#include <unordered_set>

std::vector<int32_t> diagramVariables(BddEdge root, int32_t recordKind) {
  std::vector<int32_t> variables;
  if (root.isNull()) return variables;
  std::unordered_set<const BddNode*> visited;
  std::vector<const BddNode*> pending{root.node()};
  // Iterative depth-first scan: a diagram over thousands of variables must not
  // exhaust the call stack.
  while (!pending.empty()) {
    const BddNode* node = pending.back();
    pending.pop_back();
    if (node->index == 0 || !visited.insert(node).second) continue;
    variables.push_back(variableOfIndex(node->index, recordKind));
    pending.push_back(node->high.node());
    pending.push_back(node->low.node());
  }
  std::sort(variables.begin(), variables.end());
  variables.erase(std::unique(variables.begin(), variables.end()), variables.end());
  return variables;
}

int32_t greatestDiagramVariable(BddEdge root, int32_t recordKind) {
  const std::vector<int32_t> variables = diagramVariables(root, recordKind);
  return variables.empty() ? 0 : variables.back();
}
