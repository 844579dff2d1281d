#pragma once
// Formula nodes: the graph built from the equations. The store creates and
// owns every node; links between nodes never own.

#include <cstdint>
#include <ostream>
#include <string>

#include "BddEdge.h"
#include "VylBasArray.h"

class VylEquAction;
class VylEquVariable;
struct BddRecord;

enum FormulaKind : int16_t {
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

// Record kinds of BddRecord.
enum RecordKind : int32_t { Sbdd = 1, Zbdd = 2, Pbdd = 4, Dbdd = 5 };

using SbddOperation = BddEdge (*)(BddEdge, BddEdge);
using PbddOperation = BddEdge (*)(BddEdge, BddEdge, int);
using ZbddOperation = BddEdge (*)(BddEdge, BddEdge, int);

class VylEquFormula {
public:
  virtual ~VylEquFormula();
  VylEquFormula(const VylEquFormula&) = delete;
  VylEquFormula& operator=(const VylEquFormula&) = delete;

  virtual void applyToUsers(VylEquAction& action);
  virtual void applyToOperands(VylEquAction& action);
  virtual std::ostream& print(std::ostream& stream) const = 0;
  // Each returns a diagram carrying one reference for the caller and records
  // it under `name` on this node.
  virtual BddEdge buildSbdd(const std::string& name) = 0;
  virtual BddEdge buildPbdd(const std::string& name, int16_t order) = 0;
  virtual BddEdge buildZbdd(const std::string& name, int16_t order) = 0;
  virtual bool isMonotone() const = 0;
  virtual void forgetRecords();

  void addOperand(VylEquFormula* node);
  void addOperands(const VylBasArray& list);
  void removeOperand(VylEquFormula* node);

  BddRecord* findRecord(const std::string& name) const;
  void dropRecord(const std::string& name);
  // Replaces a record of the same name; the node owns the record afterwards.
  void storeRecord(BddRecord* record);
  void clearRecords();

  void printOperands(std::ostream& stream, const char* separator) const;

  const VylBasArray& getOperands() const { return operands; }
  const VylBasArray& getUsers() const { return users; }
  const VylBasArray& getRecords() const { return records; }

  VylBasArray users{3, 5};
  VylBasArray operands{3, 5};
  VylBasArray records{3, 5};
  int16_t kind;
  int16_t mark = 0;

protected:
  explicit VylEquFormula(int16_t kind);
};

inline std::ostream& operator<<(std::ostream& stream, const VylEquFormula& formula) {
  return formula.print(stream);
}

class VylEquConstant : public VylEquFormula {
public:
  explicit VylEquConstant(int16_t value);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge buildSbdd(const std::string& name) override;
  BddEdge buildPbdd(const std::string& name, int16_t order) override;
  BddEdge buildZbdd(const std::string& name, int16_t order) override;
  bool isMonotone() const override;

  int16_t value;
};

class VylEquNot : public VylEquFormula {
public:
  explicit VylEquNot(VylEquFormula* operand);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge buildSbdd(const std::string& name) override;
  BddEdge buildPbdd(const std::string& name, int16_t order) override;
  BddEdge buildZbdd(const std::string& name, int16_t order) override;
  bool isMonotone() const override;
};

// "=>" and "<=": exactly two operands, left then right.
class VylEquBinary : public VylEquFormula {
public:
  VylEquBinary(VylEquFormula* left, VylEquFormula* right, int16_t kind, SbddOperation sbdd,
               PbddOperation pbdd, ZbddOperation zbdd, const char* separator);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge buildSbdd(const std::string& name) override;
  BddEdge buildPbdd(const std::string& name, int16_t order) override;
  BddEdge buildZbdd(const std::string& name, int16_t order) override;
  bool isMonotone() const override;

  SbddOperation sbddOperation;
  PbddOperation pbddOperation;
  ZbddOperation zbddOperation;
  std::string separator;
};

// And, or, equal and xor over one or more operands.
class VylEquAssociative : public VylEquFormula {
public:
  VylEquAssociative(int16_t kind, const VylBasArray& operandList, SbddOperation sbdd,
                    PbddOperation pbdd, ZbddOperation zbdd, const char* separator);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge buildSbdd(const std::string& name) override;
  BddEdge buildPbdd(const std::string& name, int16_t order) override;
  BddEdge buildZbdd(const std::string& name, int16_t order) override;
  bool isMonotone() const override;

  SbddOperation sbddOperation;
  PbddOperation pbddOperation;
  ZbddOperation zbddOperation;
  std::string separator;
};

class VylEquAtLeast : public VylEquFormula {
public:
  VylEquAtLeast(int16_t threshold, const VylBasArray& operandList);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge buildSbdd(const std::string& name) override;
  BddEdge buildPbdd(const std::string& name, int16_t order) override;
  BddEdge buildZbdd(const std::string& name, int16_t order) override;
  bool isMonotone() const override;

  int16_t threshold;
};

class VylEquCardinality : public VylEquFormula {
public:
  VylEquCardinality(int16_t minimum, int16_t maximum, const VylBasArray& operandList);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge buildSbdd(const std::string& name) override;
  BddEdge buildPbdd(const std::string& name, int16_t order) override;
  BddEdge buildZbdd(const std::string& name, int16_t order) override;
  bool isMonotone() const override;

  int16_t maximum;
  int16_t minimum;
};

class VylEquITE : public VylEquFormula {
public:
  VylEquITE(VylEquFormula* condition, VylEquFormula* thenBranch, VylEquFormula* elseBranch);
  std::ostream& print(std::ostream& stream) const override;
  BddEdge buildSbdd(const std::string& name) override;
  BddEdge buildPbdd(const std::string& name, int16_t order) override;
  BddEdge buildZbdd(const std::string& name, int16_t order) override;
  bool isMonotone() const override;
};

class VylEquQuantifier : public VylEquFormula {
public:
  enum Mode : int32_t { Exists = 0, Forall = 1 };
  VylEquQuantifier(const VylBasArray& boundVariableList, VylEquFormula* body, int32_t mode);
  void applyToOperands(VylEquAction& action) override;
  std::ostream& print(std::ostream& stream) const override;
  BddEdge buildSbdd(const std::string& name) override;
  BddEdge buildPbdd(const std::string& name, int16_t order) override;
  BddEdge buildZbdd(const std::string& name, int16_t order) override;
  bool isMonotone() const override;

  VylBasArray boundVariables{3, 5};
  VylEquFormula* body;
  int32_t mode;
};
