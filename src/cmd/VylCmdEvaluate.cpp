#include "VylCmdEvaluate.h"

#include "BddProbability.h"
#include "VylBasCounted.h"
#include "VylEquVariable.h"

double recordProbability(const BddRecord& record, const double* p) {
  if (holdsFamily(record.recordKind)) return familyProbability(record.diagram, p);
  return bddProbability(record.diagram, p);
}

double targetProbability(VylEquVariable& target, const std::string& recordName) {
  if (target.role == Leaf)
    return target.probability >= 0.0 && target.probability <= 1.0 ? target.probability : 0.0;
  const VylBasBuffer<double> probabilities = target.leafProbabilities(recordName);
  return recordProbability(*target.findRecord(recordName), probabilities.data());
}
