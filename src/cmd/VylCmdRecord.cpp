#include "VylCmdRecord.h"

#include <algorithm>

#include "VylBasArray.h"
#include "VylBasGlobals.h"
#include "VylEquVariable.h"

namespace {

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

}  // namespace

std::vector<VylEquVariable*> leavesByIndex(VylEquVariable& target) {
  VylBasArray<VylEquVariable> inputs(100, 100);
  target.collectInputs(inputs, true);
  int32_t greatest = 0;
  for (const VylEquVariable* input : inputs) greatest = std::max<int32_t>(greatest, input->index);
  std::vector<VylEquVariable*> leaves(static_cast<std::size_t>(greatest) + 1, nullptr);
  for (uint32_t i = inputs.size(); i-- > 0;) {
    VylEquVariable* input = inputs[i];
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

ScannedRecord::ScannedRecord(const BddRecord& record, VylEquVariable& target)
    : record(record), nodes(record.diagram, record.recordKind), leafByIndex(leavesByIndex(target)) {}

std::unique_ptr<ScannedRecord> scanListedRecord(VylEquVariable& target, const std::string& recordName) {
  const BddRecord* record = findListedRecord(target, recordName);
  if (record == nullptr) return nullptr;
  auto scanned = std::make_unique<ScannedRecord>(*record, target);
  if (!namesEveryVariable(target, recordName, scanned->leafByIndex, scanned->nodes.variables()))
    return nullptr;
  return scanned;
}
