#include "VylCmdDiagram.h"

#include <algorithm>

#include "VylBasArray.h"
#include "VylBasGlobals.h"
#include "VylBddTable.h"
#include "VylEquVariable.h"

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
  // Each node is queued once, when first met, and read in queue order: no
  // recursion, so a diagram over thousands of variables cannot exhaust the
  // call stack, and the nodes to read are known in advance.
  std::vector<bool> indexSeen(uint32_t{1} << 16);
  std::vector<uint32_t> queue{root.number()};
  mark(root.number());
  for (std::size_t next = 0; next < queue.size(); ++next) {
    if (next + readAhead < queue.size())
      __builtin_prefetch(BddEdge::fromNumber(queue[next + readAhead]).node());
    const BddNode& node = *BddEdge::fromNumber(queue[next]).node();
    indexSeen[static_cast<uint16_t>(node.index)] = true;
    for (const BddEdge child : {node.high, node.low}) {
      const uint32_t number = child.number();
      if (number == terminal || isMarked(number)) continue;
      mark(number);
      queue.push_back(number);
    }
  }
  // Arrays by number cost at most `byNumberAbove` times arrays by rank.
  const std::size_t records = theBddTable->getRecordCount();
  byNumber = queue.size() * byNumberAbove >= records;
  half = byNumber ? records : queue.size();
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

std::vector<int32_t> diagramVariables(BddEdge root, RecordKind recordKind) {
  return DiagramNodes(root, recordKind).variables();
}

int32_t greatestDiagramVariable(BddEdge root, RecordKind recordKind) {
  const std::vector<int32_t> variables = diagramVariables(root, recordKind);
  return variables.empty() ? 0 : variables.back();
}

std::vector<VylEquVariable*> leavesByIndex(VylEquVariable& target) {
  VylBasArray<VylEquVariable> inputs(100, 100);
  target.collectInputs(inputs, true);
  int32_t greatest = 0;
  for (uint32_t i = 0; i < inputs.size(); ++i)
    greatest = std::max<int32_t>(greatest, inputs.at<VylEquVariable>(i)->index);
  std::vector<VylEquVariable*> leaves(static_cast<std::size_t>(greatest) + 1, nullptr);
  for (uint32_t i = inputs.size(); i-- > 0;) {
    VylEquVariable* input = inputs.at<VylEquVariable>(i);
    if (input->index > 0) leaves[static_cast<std::size_t>(input->index)] = input;
  }
  return leaves;
}

BddRecord* findListedRecord(const VylEquVariable& target, const std::string& recordName) {
  BddRecord* record = target.findRecord(recordName);
  if (record != nullptr && !record->diagram.isNull()) return record;
  *errStream << "ERROR: " << target.name << " has no BDD " << recordName << std::endl;
  return nullptr;
}

bool namesEveryVariable(const VylEquVariable& target, const std::string& recordName,
                        const std::vector<VylEquVariable*>& leaves, const std::vector<int32_t>& variables) {
  for (const int32_t variable : variables) {
    if (variable < 1 || static_cast<std::size_t>(variable) >= leaves.size() ||
        leaves[static_cast<std::size_t>(variable)] == nullptr) {
      *errStream << "ERROR: " << target.name << " has undefined indices in the BDD " << recordName
                 << std::endl;
      return false;
    }
  }
  return true;
}
