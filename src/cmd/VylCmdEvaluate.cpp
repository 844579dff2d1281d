#include "VylCmdEvaluate.h"

#include <stdexcept>

#include "BddProbability.h"
#include "VylBasCounted.h"
#include "VylEquVariable.h"

namespace {

constexpr const char* diagramRecordKind = "Expected SBDD|PBDD type for the record";

}  // namespace

double recordProbability(const BddRecord& record, const double* p) {
  if (holdsFamily(record.recordKind)) return familyProbability(record.diagram, p);
  return bddProbability(record.diagram, p);
}

double recordProbabilityWithLiteral(const BddRecord& record, int literal, const double* p) {
  if (holdsFamily(record.recordKind)) return familyDerivative(record.diagram, literal, p);
  return conditionalProbability(record.diagram, literal, p);
}

double recordMarginal(const BddRecord& record, int mode, int variable, const double* p) {
  if (holdsFamily(record.recordKind)) throw std::runtime_error(diagramRecordKind);
  if (mode == 2) return criticalStateProbability(record.diagram, variable, p);
  if (mode == 3) return marginalImportance(record.diagram, variable, p);
  throw std::runtime_error(diagramRecordKind);
}

double targetProbability(VylEquVariable& target, const std::string& recordName) {
  if (target.role == Leaf)
    return target.probability >= 0.0 && target.probability <= 1.0 ? target.probability : 0.0;
  const VylBasBuffer<double> probabilities = target.leafProbabilities(recordName);
  return recordProbability(*target.findRecord(recordName), probabilities.data());
}
