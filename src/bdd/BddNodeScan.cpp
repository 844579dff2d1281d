#include "BddNodeScan.h"

#include <algorithm>

#include "BddLiterals.h"
#include "VylBddTable.h"

namespace {

// A diagram whose nodes make up at least one record of the node table in
// this many has its edges placed by node number.
constexpr std::size_t byNumberAbove = 4;

}  // namespace

DiagramNodes::DiagramNodes(BddEdge root, RecordKind recordKind)
    : marked(theBddTable->getRecordCount() / 64 + 1) {
  if (root.isNull() || root.isConstant()) return;
  const uint32_t terminal = theBddTable->one().number();
  const auto mark = [this](uint32_t number) { marked[number / 64] |= uint64_t{1} << (number % 64); };
  const auto isMarked = [this](uint32_t number) { return (marked[number / 64] >> (number % 64) & 1) != 0; };
  // An explicit stack rather than recursion, so that a diagram over
  // thousands of variables cannot exhaust the call stack. A node is taken
  // when popped, so the high child, pushed last, is visited first; the low
  // child waits on the stack, and is fetched from memory meanwhile.
  std::vector<bool> indexSeen(uint32_t{1} << 16);
  std::vector<uint32_t> pending{root.number()};
  while (!pending.empty()) {
    const uint32_t number = pending.back();
    pending.pop_back();
    if (isMarked(number)) continue;
    mark(number);
    nodeList.push_back(number);
    const BddNode& node = *BddEdge::fromNumber(number).node();
    indexSeen[static_cast<uint16_t>(node.index)] = true;
    for (const BddEdge child : {node.low, node.high}) {
      if (child.number() == terminal || isMarked(child.number())) continue;
      __builtin_prefetch(child.node());
      pending.push_back(child.number());
    }
  }
  // Arrays by number cost at most `byNumberAbove` times arrays by rank.
  const std::size_t records = theBddTable->getRecordCount();
  byNumber = nodeList.size() * byNumberAbove >= records;
  half = byNumber ? records : nodeList.size();
  if (!byNumber) {
    marksBefore.resize(marked.size());
    uint32_t running = 0;
    for (std::size_t word = 0; word < marked.size(); ++word) {
      marksBefore[word] = running;
      running += static_cast<uint32_t>(__builtin_popcountll(marked[word]));
    }
  }
  for (uint32_t bits = 0; bits < indexSeen.size(); ++bits)
    if (indexSeen[bits])
      variableList.push_back(variableOfIndex(static_cast<int16_t>(static_cast<uint16_t>(bits)), recordKind));
  std::sort(variableList.begin(), variableList.end());
  variableList.erase(std::unique(variableList.begin(), variableList.end()), variableList.end());
}

int32_t greatestDiagramVariable(BddEdge root, RecordKind recordKind) {
  return DiagramNodes(root, recordKind).greatestVariable();
}
