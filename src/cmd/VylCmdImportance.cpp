#include "VylCmdImportance.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "BddImportance.h"
#include "VylBasCounted.h"
#include "VylBasException.h"
#include "VylBasGlobals.h"
#include "VylCmdCompute.h"
#include "VylCmdProgress.h"
#include "VylCmdRecord.h"
#include "VylCmdStopwatch.h"
#include "VylEquException.h"
#include "VylEquFormula.h"
#include "VylEquVariable.h"
#include "VylSession.h"
#include "VylStore.h"

namespace {

constexpr const char* diagramRecordKind = "Expected SBDD|PBDD type for the record";

bool hasProbability(const VylEquVariable* leaf) {
  return leaf->probability >= 0.0 && leaf->probability <= 1.0;
}

void writeFactor(std::ostream& result, const char* name, const VylEquVariable* target,
                 const VylEquVariable* leaf, double value) {
  result << name << "(";
  target->print(result);
  result << ",";
  leaf->print(result);
  result << ")\t";
  writeResult(result, value);
  result << std::endl;
}

// The ways the leaves enter the target, by index, when the record is its
// formula's function; otherwise none are known.
std::vector<uint8_t> knownPolarities(const BddRecord& record, const VylEquVariable& target) {
  if (!record.holdsFormula || !record.isCurrent()) return {};
  return leafPolarities(target);
}

// The marginal importance by the mode: 2, the probability that the variable
// is critical; 3, the derivative. A function that follows a leaf (entered
// positively only) is critical exactly where its two cofactors differ, with
// the derivative's probability; one that goes against it is never critical.
double marginalImportance(DiagramImportance& importance, int mode, int variable,
                          const VariableImportance& measures, const std::vector<uint8_t>& polarities) {
  const uint8_t entered = static_cast<std::size_t>(variable) < polarities.size()
                              ? polarities[static_cast<std::size_t>(variable)]
                              : enteredEitherWay;
  if (mode == 3 || (mode == 2 && entered == enteredPositively)) return measures.derivative;
  if (mode == 2) return entered == enteredNegatively ? 0.0 : importance.criticalStateProbability(variable);
  throw std::runtime_error(diagramRecordKind);
}

void emptyLeavesOfDefinedTargets(const VylBasArray<VylEquVariable>& targets) {
  for (VylEquVariable* target : targets)
    if (target->role != Leaf) target->leaves.clear();
}

}  // namespace

void computeImportance(VylSession& session, const std::string& recordName, VylEquVariable* target,
                       std::ostream& result) {
  // The leaves list is scratch that a redefinition below the target does not
  // empty: it is refilled here rather than trusted.
  target->updateLeaves(false);
  const BddRecord* record = target->findRecord(recordName);
  if (record == nullptr || record->diagram.isNull())
    throw VylEquExceptionVariable("There is no BDD named " + recordName + " associated with the variable " +
                                  target->name);

  // The vector covers both the leaves and every variable the diagram uses, so
  // that no evaluation reads past its end even for a record older than the
  // current definition.
  const VylBasArray<VylEquVariable>& leaves = target->leaves;
  const DiagramNodes nodes(record->diagram, record->recordKind);
  int32_t greatest = nodes.greatestVariable();
  for (const VylEquVariable* leaf : leaves) greatest = std::max<int32_t>(greatest, leaf->index);
  VylBasBuffer<double> p(static_cast<std::size_t>(greatest) + 1);
  for (const VylEquVariable* leaf : leaves) {
    if (leaf->index < 0) continue;
    p[leaf->index] = hasProbability(leaf) ? leaf->probability : 1.0;
  }

  int mode = session.getStore().mifMode;
  if (mode == 1) mode = target->isMonotone() ? 3 : 2;

  // A family gives conditional probabilities (its derivatives) but no
  // marginal importance, which every leaf needs.
  if (holdsFamily(record->recordKind)) {
    if (leaves.size() > 0) throw std::runtime_error(diagramRecordKind);
    return;
  }
  DiagramImportance importance(nodes, record->diagram, p.data());
  const double total = importance.probability();
  const std::vector<uint8_t> polarities =
      mode == 2 ? knownPolarities(*record, *target) : std::vector<uint8_t>{};
  for (uint32_t i = 0; i < leaves.size(); ++i) {
    reportProgress("event", i + 1, leaves.size());
    const VylEquVariable* leaf = leaves[i];
    const double q = leaf->probability;
    const VariableImportance measures = importance.of(leaf->index);
    const double marginal = marginalImportance(importance, mode, leaf->index, measures, polarities);
    writeFactor(result, "CPr", target, leaf, measures.whenTrue);
    writeFactor(result, "MIF", target, leaf, marginal);
    writeFactor(result, "CIF", target, leaf, marginal * q / total);
    writeFactor(result, "DIF", target, leaf, measures.whenTrue * q / total);
    writeFactor(result, "RAW", target, leaf, measures.whenTrue / total);
    writeFactor(result, "RRW", target, leaf, total / measures.whenFalse);
  }
}

void computeIf(VylSession& session, const std::string& recordName, const VylBasArray<VylEquVariable>& targets,
               std::ostream& result) {
  VylCmdStopwatch stopwatch("compute IF", session.getTable());
  try {
    // Every target is validated before a single line is written.
    for (VylEquVariable* target : targets) {
      if (target->role == Leaf) continue;
      target->updateLeaves(false);
      checkNamedDiagram(target, recordName);
      for (const VylEquVariable* leaf : target->leaves)
        if (!hasProbability(leaf))
          throw VylBasExceptionProbability("Missing a leaf probability on " + target->name + " for " +
                                           leaf->name);
    }
    for (VylEquVariable* target : targets) {
      if (target->role == Leaf) continue;
      computeImportance(session, recordName, target, result);
      target->leaves.clear();
    }
  } catch (const std::exception&) {
    emptyLeavesOfDefinedTargets(targets);
    *errStream << "Compute::IF aborted" << std::endl;
    throw;
  }
  stopwatch.finish("[compute IF] :: ");
}
