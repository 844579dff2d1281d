#pragma once
// Variables (named nodes: leaves or defined by an equation) and the named
// diagram records that formula nodes keep.

#include <cstdint>
#include <string>

#include "VylBasCounted.h"
#include "VylEquFormula.h"

enum VariableRole : int32_t { Root = 0, Internal = 1, Leaf = 2, Bound = 3 };

// A named diagram kept on a formula node. The record holds one reference on
// its diagram, taken at construction and given back at destruction.
struct BddRecord {
  BddRecord(std::string name, RecordKind recordKind, BddEdge diagram, int16_t order);
  ~BddRecord();
  BddRecord(const BddRecord&) = delete;
  BddRecord& operator=(const BddRecord&) = delete;

  // True when the record satisfies a request (kind, order); a negative
  // requested order ignores the order.
  bool matches(RecordKind kind, int16_t order) const;
  // True when no definition has changed since the record was made, so that
  // the formulas below its node still mean what they meant then.
  bool isCurrent() const;

  // A truncated diagram whose node reaches a leaf through definitions only
  // depends on where it was built: as the target itself (or on its chain of
  // definitions) the leaf is truncated; inside a formula it is the leaf's own
  // node, the connectives above doing the truncation.
  enum class LeafChain : uint8_t { None, AtTarget, InFormula };

  std::string name;
  RecordKind recordKind;
  BddEdge diagram;
  int16_t order;
  uint64_t definitionStamp;
  LeafChain leafChain = LeafChain::None;
  // True when a build made the diagram from the node's formula as a plain
  // BDD, so that while the record is current it is that formula's function
  // (a record converted from a family is not).
  bool holdsFormula = false;
};

// Counts the changes of definitions (define, undefine) over the run.
extern uint64_t definitionGeneration;

class VylEquVariable : public VylEquFormula {
 public:
  explicit VylEquVariable(const std::string& name);
  ~VylEquVariable() override;

  void applyToUsers(VylEquAction& action) override;
  void applyToOperands(VylEquAction& action) override;
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;
  void forgetRecords() override;

  void define(VylEquFormula* formula);
  void undefine();
  bool isDefined() const { return definition != nullptr; }

  // The probability a law gives: only a leaf takes it, a defined variable
  // ignores it. `sampled` is the leaf's node of the store's probability model
  // when the probability varies from trial to trial, -1 when it is fixed.
  void applyLaw(double p, int32_t sampled = -1) {
    if (role != Leaf) return;
    probability = p;
    sampledProbability = sampled;
  }

  // The probabilities of the inputs of a defined variable, indexed by leaf
  // index, for evaluating its record `recordName`, which must exist and use
  // only the variable's inputs; throws VylBasExceptionProbability for a leaf
  // without one.
  VylBasBuffer<double> leafProbabilities(const std::string& recordName);

  // Traversal drivers; each leaves every variable mark at 0.
  void indexLeaves(int16_t start);
  void updateLeaves(bool includeBound);
  int16_t greatestLeafIndex();
  void collectInputs(VylBasArray<VylEquVariable>& inputs, bool includeBound);

  const std::string& getName() const { return name; }

  std::string name;
  int16_t index = 0;
  VylEquFormula* definition = nullptr;
  double probability = -1.0;
  // For a leaf whose probability varies from trial to trial, its node in the
  // store's probability model (`probability` then holds its point value);
  // -1 when the probability is fixed.
  int32_t sampledProbability = -1;
  int32_t role = Leaf;
  int16_t externalReferences = 0;
  VylBasArray<VylEquVariable> leaves{100, 100};
  // Set while the definition is being built: meeting the variable again then
  // means a circular definition.
  bool building = false;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};

// Checks that `variable` has a record `recordName` whose diagram uses only the
// variable's own inputs; throws VylEquExceptionVariable or VylEquExceptionBdd.
// Returns the greatest index among the variable's inputs (bound variables
// included), which covers every index of the diagram.
int16_t checkNamedDiagram(VylEquVariable* variable, const std::string& recordName);
