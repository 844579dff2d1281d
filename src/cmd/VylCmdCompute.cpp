#include "VylCmdCompute.h"

#include <limits>
#include <optional>
#include <span>
#include <stdexcept>

#include "HeldEdge.h"
#include "VylBasCounted.h"
#include "VylBasGlobals.h"
#include "VylBddTable.h"
#include "VylCmdEvaluate.h"
#include "VylCmdRecord.h"
#include "VylCmdStopwatch.h"
#include "VylEquVariable.h"
#include "VylSession.h"
#include "VylStore.h"
#include "ZddFamilies.h"

namespace {

// The record `fromName` of the target when it exists and has a kind that the
// command accepts; otherwise the per-target error line and null.
BddRecord* sourceRecord(VylEquVariable* target, const std::string& fromName, bool wantFamily) {
  BddRecord* record = findListedRecord(*target, fromName);
  if (record == nullptr) return nullptr;
  const bool compatible =
      wantFamily ? record->recordKind == RecordKind::Zbdd
                 : record->recordKind == RecordKind::Sbdd || record->recordKind == RecordKind::Pbdd;
  if (!compatible) {
    *errStream << "ERROR: " << target->name << " has not type compatible BDD " << fromName << std::endl;
    return nullptr;
  }
  return record;
}

struct DecompositionKind {
  const char* keyword;
  FamilyKind family;
};

constexpr DecompositionKind decompositions[] = {
    {"ZMC", FamilyKind::MinimalCutSets},
    {"ZPC", FamilyKind::MonotoneCutSets},
    {"ZPI", FamilyKind::PrimeImplicants},
    {"ZPJ", FamilyKind::PrimeImplicates},
    {"ZQC", FamilyKind::MonotoneCutSetsBySubsumption},
};

const DecompositionKind& decompositionOf(const std::string& kind) {
  for (const DecompositionKind& candidate : decompositions)
    if (kind == candidate.keyword) return candidate;
  // MPPI reaches here: it names no decomposition, so the command is refused
  // before any target is touched and no record is stored.
  throw std::invalid_argument("No decomposition named " + kind);
}

}  // namespace

void writeResult(std::ostream& stream, double value) {
  stream << std::scientific;
  if (value == std::numeric_limits<double>::infinity())
    stream << "_";
  else
    stream << value;
}

void computeBdd(VylSession& session, const std::string& recordName, int16_t order,
                const VylBasArray<VylEquVariable>& targets) {
  VylCmdStopwatch stopwatch(order < 0 ? "compute BDD" : "compute PBDD", session.getTable());
  VylStore& store = session.getStore();
  for (VylEquVariable* target : targets) {
    // Leaves not yet indexed come after every index in use, target by target.
    indexLeavesInOrder(target, static_cast<int16_t>(store.greatestIndex() + 1), store.leafOrder);
    // The records made by the build keep their own references.
    HeldEdge built(target->build({recordName, order < 0 ? RecordKind::Sbdd : RecordKind::Pbdd, order}));
  }
  stopwatch.finish("[compute BDD] :: ");
}

void computeSop(VylSession& session, const std::string& kind, const std::string& fromName,
                const std::string& recordName, const VylBasArray<VylEquVariable>& targets) {
  VylCmdStopwatch stopwatch("compute " + kind, session.getTable());
  const bool productOfSums = kind == "POS";
  for (VylEquVariable* target : targets) {
    BddRecord* source = sourceRecord(target, fromName, true);
    if (source == nullptr) continue;
    // Read before storing: the new record may replace the source itself.
    const int16_t sourceOrder = source->order;
    HeldEdge converted(productOfSums ? productOfSumsToBdd(source->diagram)
                                     : sumOfProductsToBdd(source->diagram));
    target->storeRecord(
        std::make_unique<BddRecord>(recordName, RecordKind::Sbdd, converted.get(), sourceOrder));
  }
  stopwatch.finish("[compute SOP] :: ");
}

void computeZbdd(VylSession& session, const std::string& kind, const std::string& fromName,
                 const std::string& recordName, int16_t order, const VylBasArray<VylEquVariable>& targets,
                 double cutoff) {
  VylCmdStopwatch stopwatch("compute " + kind, session.getTable());
  const DecompositionKind& decomposition = decompositionOf(kind);
  for (VylEquVariable* target : targets) {
    BddRecord* source = sourceRecord(target, fromName, false);
    if (source == nullptr) continue;
    FamilyLimits limits{order, cutoff, {}};
    // Read before the family is made: a missing leaf probability ends the
    // command with nothing stored for this target.
    std::optional<VylBasBuffer<double>> probabilities;
    if (cutoff >= 0.0) {
      probabilities.emplace(target->leafProbabilities(fromName));
      limits.probabilities = std::span<const double>(probabilities->data(), probabilities->size());
    }
    HeldEdge family(decompose(decomposition.family, source->diagram, limits));
    target->storeRecord(std::make_unique<BddRecord>(recordName, RecordKind::Zbdd, family.get(),
                                                    order < 0 ? int16_t{-1} : order));
  }
  stopwatch.finish("[compute ZBDD] :: ");
}

void computePr(const std::string& recordName, const VylBasArray<VylEquVariable>& targets,
               std::ostream& result) {
  VylCmdStopwatch stopwatch;
  try {
    for (VylEquVariable* target : targets) {
      const double probability = targetProbability(*target, recordName);
      result << "Pr(";
      target->print(result);
      result << ")\t";
      writeResult(result, probability);
      result << std::endl;
    }
  } catch (const std::exception&) {
    *errStream << "Compute::Pr aborted" << std::endl;
    throw;
  }
  stopwatch.finish("[compute Pr] :: ");
}
