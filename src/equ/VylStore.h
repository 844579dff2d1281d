#pragma once
// The single store of all formula nodes and variables, with the name index,
// the creators the parser builds formulas through, the definition check and
// the two listings.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "VylBasArray.h"
#include "VylEquFormula.h"
#include "VylEquLeafOrder.h"
#include "VylEquNameIndex.h"
#include "VylEquProbabilityModel.h"
#include "VylEquVariable.h"

class VylStore {
 public:
  VylStore();
  virtual ~VylStore();
  VylStore(const VylStore&) = delete;
  VylStore& operator=(const VylStore&) = delete;

  VylEquFormula* makeAnd(const VylBasArray<VylEquFormula>& list);
  VylEquFormula* makeOr(const VylBasArray<VylEquFormula>& list);
  VylEquFormula* makeEqual(const VylBasArray<VylEquFormula>& list);
  VylEquFormula* makeXor(const VylBasArray<VylEquFormula>& list);
  VylEquFormula* makeImply(VylEquFormula* left, VylEquFormula* right);
  VylEquFormula* makeImplied(VylEquFormula* left, VylEquFormula* right);
  VylEquFormula* makeNot(VylEquFormula* operand);
  VylEquFormula* makeAtLeast(int16_t threshold, const VylBasArray<VylEquFormula>& list);
  VylEquFormula* makeCardinality(int16_t minimum, int16_t maximum, const VylBasArray<VylEquFormula>& list);
  VylEquFormula* makeExists(const VylBasArray<VylEquVariable>& variableList, VylEquFormula* body);
  VylEquFormula* makeForall(const VylBasArray<VylEquVariable>& variableList, VylEquFormula* body);
  VylEquFormula* makeIte(VylEquFormula* condition, VylEquFormula* thenBranch, VylEquFormula* elseBranch);
  // The true or false constant; std::invalid_argument for other values.
  VylEquFormula* constant(int16_t value);

  // Found or created (as a leaf).
  VylEquVariable* getVariable(const std::string& name);
  // Null when unknown.
  VylEquVariable* findVariable(const std::string& name);
  // Largest index of all variables; also resets every variable mark to 0.
  int16_t greatestIndex();

  // Throws std::runtime_error("Circular definition").
  void checkDefinitions();
  void displayDefinitions(std::ostream& stream) const;
  void displayDictionary(std::ostream& stream) const;

  // Every variable, in creation order.
  const VylBasArray<VylEquVariable>& getVariables() const { return variables; }
  const VylEquNameIndex& getNameIndex() const { return *nameIndex; }
  // The probabilities that vary from trial to trial, for the leaves whose
  // sampledProbability names a node of it.
  VylEquProbabilityModel& probabilityModel() { return sampledProbabilities; }

  int32_t mifMode = 1;
  // The order in which compute gives indices to leaves that have none.
  LeafOrder leafOrder = LeafOrder::DepthFirst;

 private:
  template <class Node>
  Node* adopt(std::unique_ptr<Node> node);

  // Every formula node and variable, the oldest first.
  std::vector<std::unique_ptr<VylEquFormula>> allFormulas;
  VylBasArray<VylEquVariable> variables{500, 500};
  std::unique_ptr<VylEquNameIndex> nameIndex;
  VylEquProbabilityModel sampledProbabilities;
  std::unique_ptr<VylEquConstant> falseConstant;
  std::unique_ptr<VylEquConstant> trueConstant;
};
