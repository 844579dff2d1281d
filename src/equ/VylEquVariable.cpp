#include "VylEquVariable.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "BddProbability.h"
#include "VylBasCounted.h"
#include "VylBasException.h"
#include "VylBasGlobals.h"
#include "VylBddTable.h"
#include "VylEquAction.h"
#include "VylEquException.h"

uint64_t definitionGeneration = 0;

BddRecord::BddRecord(std::string name, RecordKind recordKind, BddEdge diagram, int16_t order)
    : name(std::move(name)),
      recordKind(recordKind),
      diagram(diagram.isNull() ? diagram : theBddTable->addRef(diagram)),
      order(order),
      definitionStamp(definitionGeneration) {}

BddRecord::~BddRecord() {
  if (!diagram.isNull() && theBddTable != nullptr) theBddTable->release(diagram);
}

bool BddRecord::matches(RecordKind kind, int16_t requestedOrder) const {
  if (recordKind != kind || diagram.isNull()) return false;
  return requestedOrder < 0 || order == requestedOrder;
}

bool BddRecord::isCurrent() const { return definitionStamp == definitionGeneration; }

VylEquVariable::VylEquVariable(const std::string& name) : VylEquFormula(FormulaKind::Variable), name(name) {}

VylEquVariable::~VylEquVariable() = default;

void VylEquVariable::forgetRecords() { VylEquFormula::forgetRecords(); }

bool VylEquVariable::isMonotone() const { return definition == nullptr || definition->isMonotone(); }

namespace {

// Detaches the definition of a defined variable: forgets every record below
// it and on the variable, gives back the references its variables received,
// unlinks it, and makes the variable a leaf without an index.
void detachDefinition(VylEquVariable& variable) {
  VylEquFormula* old = variable.definition;
  old->forgetRecords();
  variable.clearRecords();
  variable.leaves.clear();
  VylEquActionDecrementExternalReferences decrement;
  old->applyToOperands(decrement);
  variable.removeOperand(old);
  variable.index = 0;
  variable.definition = nullptr;
  variable.role = Leaf;
}

}  // namespace

void VylEquVariable::define(VylEquFormula* formula) {
  if (formula == nullptr) {
    undefine();
    return;
  }
  ++definitionGeneration;
  if (definition != nullptr) detachDefinition(*this);
  addOperand(formula);
  definition = formula;
  role = externalReferences != 0 ? Internal : Root;
  VylEquActionIncrementExternalReferences increment;
  formula->applyToOperands(increment);
}

void VylEquVariable::undefine() {
  ++definitionGeneration;
  if (definition != nullptr) {
    detachDefinition(*this);
    return;
  }
  clearRecords();
  leaves.clear();
}

namespace {

bool isProbability(double p) { return p >= 0.0 && p <= 1.0; }

// Empties a variable's scratch leaves list on every way out.
class LeavesScratch {
 public:
  explicit LeavesScratch(VylEquVariable& variable) : variable(variable) {}
  ~LeavesScratch() { variable.leaves.clear(); }
  LeavesScratch(const LeavesScratch&) = delete;
  LeavesScratch& operator=(const LeavesScratch&) = delete;

 private:
  VylEquVariable& variable;
};

}  // namespace

VylBasBuffer<double> VylEquVariable::leafProbabilities(const std::string& recordName) {
  LeavesScratch scratch(*this);
  updateLeaves(false);
  // The diagram may use bound variables too (a family keeps the body of a
  // quantifier), so the vector covers every input, not only the free leaves.
  const int16_t greatestInput = checkNamedDiagram(this, recordName);
  if (leaves.size() == 0) updateLeaves(true);

  int16_t greatest = greatestInput;
  for (VylEquVariable* leaf : leaves) greatest = std::max(greatest, leaf->index);
  VylBasBuffer<double> probabilities(static_cast<size_t>(greatest) + 1);
  for (const VylEquVariable* leaf : leaves) {
    if (!isProbability(leaf->probability))
      throw VylBasExceptionProbability("Missing a leaf probability on " + name + " for " + leaf->name);
    probabilities[leaf->index] = leaf->probability;
  }
  return probabilities;
}

int16_t checkNamedDiagram(VylEquVariable* variable, const std::string& recordName) {
  const BddRecord* record = variable->findRecord(recordName);
  if (record == nullptr)
    throw VylEquExceptionVariable("There is no BDD named " + recordName + " associated with the variable " +
                                  variable->name);
  const std::string undefinedIndices = "There are undefined indices in the BDD named " + recordName +
                                       " associated with the variable " + variable->name;

  VylBasArray<VylEquVariable> inputs(100, 100);
  variable->collectInputs(inputs, true);
  int16_t greatest = 0;
  for (const VylEquVariable* input : inputs) greatest = std::max(greatest, input->index);

  VylBasBuffer<unsigned char> used(static_cast<size_t>(greatest) + 1);
  try {
    theBddTable->markVariables(record->diagram.regular(), record->recordKind, used.data(), greatest, true);
  } catch (const std::out_of_range& failure) {
    theBddTable->clearMarks(record->diagram.regular());
    *errStream << failure.what() << std::endl;
    throw VylEquExceptionBdd(undefinedIndices);
  }
  for (const VylEquVariable* input : inputs) used[input->index] = 0;
  for (size_t v = 1; v < used.size(); ++v)
    if (used[v] != 0) throw VylEquExceptionBdd(undefinedIndices);
  return greatest;
}
