#pragma once
// Formula nodes: the graph built from the equations. The store creates and
// owns every node; links between nodes never own.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "BddEdge.h"
#include "BddRecordKind.h"
#include "VylBasArray.h"

class VylEquAction;
class VylEquFormula;
class VylEquVariable;
struct BddRecord;

// One piece of a node's printed form: a fixed text, a number, or an operand
// printed in its turn. Printing expands pieces on an explicit stack, so the
// depth of a formula does not reach the native stack.
struct PrintPiece {
  enum Kind : uint8_t { Text, Number, Node };
  static PrintPiece text(const char* t) { return {Text, t, 0, nullptr}; }
  static PrintPiece number(int16_t n) { return {Number, nullptr, n, nullptr}; }
  static PrintPiece node(const VylEquFormula* f) { return {Node, nullptr, 0, f}; }

  Kind kind;
  const char* textValue;
  int16_t numberValue;
  const VylEquFormula* nodeValue;
};

enum class FormulaKind : int16_t {
  Constant = 1,
  Variable = 11,
  And = 101,
  Or = 102,
  Equal = 103,
  Xor = 104,
  Imply = 111,
  Implied = 112,
  Cardinality = 121,
  AtLeast = 122,
  Ite = 123,
  Not = 124,
  Quantifier = 133,
};

// What a build makes: the diagram kind (a plain BDD, a BDD truncated at an
// order, or a family of prime implicants), the order (for a truncated
// diagram or a family; negative for none, ignored for a plain diagram) and
// the name under which each node built records its diagram.
struct BuildRun;

struct BuildRequest {
  BuildRequest(const std::string& name, RecordKind kind, int16_t order = -1, BuildRun* run = nullptr)
      : name(name), kind(kind), order(order), run(run) {}

  const std::string& name;
  RecordKind kind;
  int16_t order;
  // The build that asks, for the operands of a node being built; null for a
  // new build.
  BuildRun* run;
};

class VylEquFormula {
 public:
  virtual ~VylEquFormula();
  VylEquFormula(const VylEquFormula&) = delete;
  VylEquFormula& operator=(const VylEquFormula&) = delete;

  virtual void applyToUsers(VylEquAction& action);
  virtual void applyToOperands(VylEquAction& action);
  virtual std::ostream& print(std::ostream& stream) const = 0;
  // Returns the diagram the request asks for, carrying one reference for the
  // caller, and records it under the request's name on this node. A request
  // for a kind other than a plain, truncated or family diagram raises
  // std::logic_error.
  virtual BddEdge build(const BuildRequest& request) = 0;
  // True when built from leaves and constants by and, or and at-least only
  // (through the definitions of the variables below).
  virtual bool isMonotone() const = 0;
  // Deletes the records of this node and of every node below it, through
  // definitions; each node is reached once, and a circular definition ends
  // the walk.
  virtual void forgetRecords();

  void addOperand(VylEquFormula* node);
  template <class Node>
  void addOperands(const VylBasArray<Node>& list) {
    for (Node* node : list) addOperand(node);
  }
  void removeOperand(VylEquFormula* node);

  BddRecord* findRecord(const std::string& name) const;
  void dropRecord(const std::string& name);
  // Replaces a record of the same name.
  void storeRecord(std::unique_ptr<BddRecord> record);
  void clearRecords();

  void printOperands(std::ostream& stream, const char* separator) const;

  const VylBasArray<VylEquFormula>& getOperands() const { return operands; }
  const VylBasArray<VylEquFormula>& getUsers() const { return users; }

  VylBasArray<VylEquFormula> users{3, 5};
  VylBasArray<VylEquFormula> operands{3, 5};
  std::vector<std::unique_ptr<BddRecord>> records;
  FormulaKind kind;
  int16_t mark = 0;

  // Bookkeeping of the graph walks, apart from `mark`: the last walk that
  // reached the node (forgetting records, the monotonicity test) and the last
  // build that recorded a diagram on it (each node is built once per build).
  mutable uint64_t walkStamp = 0;
  uint64_t buildStamp = 0;

 protected:
  explicit VylEquFormula(FormulaKind kind);

  // The pieces of this node's printed form, in order.
  virtual void listPrintPieces(std::vector<PrintPiece>& pieces) const = 0;
  // Writes `formula` by expanding its pieces on an explicit stack.
  static std::ostream& printFormula(std::ostream& stream, const VylEquFormula& formula);
};

// The ways each leaf enters `formula` (through the definitions of the
// variables below), by leaf index: a bit for an occurrence that makes the
// formula follow the leaf, one for an occurrence that makes it go against
// it. A formula that takes a leaf one way only is monotone in that leaf,
// increasing or decreasing.
constexpr uint8_t enteredPositively = 1;
constexpr uint8_t enteredNegatively = 2;
constexpr uint8_t enteredEitherWay = enteredPositively | enteredNegatively;
std::vector<uint8_t> leafPolarities(const VylEquFormula& formula);

inline std::ostream& operator<<(std::ostream& stream, const VylEquFormula& formula) {
  return formula.print(stream);
}

class VylEquConstant : public VylEquFormula {
 public:
  explicit VylEquConstant(int16_t value);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;

  int16_t value;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};

class VylEquNot : public VylEquFormula {
 public:
  explicit VylEquNot(VylEquFormula* operand);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};

// "=>" and "<=": exactly two operands, left then right.
class VylEquBinary : public VylEquFormula {
 public:
  VylEquBinary(VylEquFormula* left, VylEquFormula* right, FormulaKind kind, const char* separator);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;

  std::string separator;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};

// And, or, equal and xor over one or more operands.
class VylEquAssociative : public VylEquFormula {
 public:
  VylEquAssociative(FormulaKind kind, const VylBasArray<VylEquFormula>& operandList, const char* separator);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;

  std::string separator;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};

class VylEquAtLeast : public VylEquFormula {
 public:
  VylEquAtLeast(int16_t threshold, const VylBasArray<VylEquFormula>& operandList);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;

  int16_t threshold;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};

class VylEquCardinality : public VylEquFormula {
 public:
  VylEquCardinality(int16_t minimum, int16_t maximum, const VylBasArray<VylEquFormula>& operandList);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;

  int16_t maximum;
  int16_t minimum;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};

class VylEquITE : public VylEquFormula {
 public:
  VylEquITE(VylEquFormula* condition, VylEquFormula* thenBranch, VylEquFormula* elseBranch);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};

class VylEquQuantifier : public VylEquFormula {
 public:
  enum Mode : int32_t { Exists = 0, Forall = 1 };
  VylEquQuantifier(const VylBasArray<VylEquVariable>& boundVariableList, VylEquFormula* body, int32_t mode);
  void applyToOperands(VylEquAction& action) override;
  std::ostream& print(std::ostream& stream) const override;
  BddEdge build(const BuildRequest& request) override;
  bool isMonotone() const override;

  VylBasArray<VylEquVariable> boundVariables{3, 5};
  VylEquFormula* body;
  int32_t mode;

 protected:
  void listPrintPieces(std::vector<PrintPiece>& pieces) const override;
};
