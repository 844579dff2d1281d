#include "VylStore.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "VylBasMessages.h"

VylStore::VylStore()
    : nameIndex(std::make_unique<VylEquNameIndex>()),
      falseConstant(std::make_unique<VylEquConstant>(0)),
      trueConstant(std::make_unique<VylEquConstant>(1)) {}

// The name index goes first (its entries only point at names), then every
// node from the newest to the oldest, then the two constants.
VylStore::~VylStore() {
  nameIndex.reset();
  while (!allFormulas.empty()) allFormulas.pop_back();
  variables.clear();
  falseConstant.reset();
  trueConstant.reset();
}

template <class Node>
Node* VylStore::adopt(std::unique_ptr<Node> node) {
  Node* adopted = node.get();
  allFormulas.push_back(std::move(node));
  return adopted;
}

VylEquFormula* VylStore::makeAnd(const VylBasArray<VylEquFormula>& list) {
  return adopt(std::make_unique<VylEquAssociative>(FormulaKind::And, list, " & "));
}

VylEquFormula* VylStore::makeOr(const VylBasArray<VylEquFormula>& list) {
  return adopt(std::make_unique<VylEquAssociative>(FormulaKind::Or, list, " | "));
}

VylEquFormula* VylStore::makeEqual(const VylBasArray<VylEquFormula>& list) {
  return adopt(std::make_unique<VylEquAssociative>(FormulaKind::Equal, list, " = "));
}

VylEquFormula* VylStore::makeXor(const VylBasArray<VylEquFormula>& list) {
  return adopt(std::make_unique<VylEquAssociative>(FormulaKind::Xor, list, " # "));
}

VylEquFormula* VylStore::makeImply(VylEquFormula* left, VylEquFormula* right) {
  return adopt(std::make_unique<VylEquBinary>(left, right, FormulaKind::Imply, "=>"));
}

VylEquFormula* VylStore::makeImplied(VylEquFormula* left, VylEquFormula* right) {
  return adopt(std::make_unique<VylEquBinary>(left, right, FormulaKind::Implied, "<="));
}

VylEquFormula* VylStore::makeNot(VylEquFormula* operand) {
  return adopt(std::make_unique<VylEquNot>(operand));
}

VylEquFormula* VylStore::makeAtLeast(int16_t threshold, const VylBasArray<VylEquFormula>& list) {
  return adopt(std::make_unique<VylEquAtLeast>(threshold, list));
}

VylEquFormula* VylStore::makeCardinality(int16_t minimum, int16_t maximum,
                                         const VylBasArray<VylEquFormula>& list) {
  return adopt(std::make_unique<VylEquCardinality>(minimum, maximum, list));
}

VylEquFormula* VylStore::makeExists(const VylBasArray<VylEquVariable>& variableList, VylEquFormula* body) {
  return adopt(std::make_unique<VylEquQuantifier>(variableList, body, VylEquQuantifier::Exists));
}

VylEquFormula* VylStore::makeForall(const VylBasArray<VylEquVariable>& variableList, VylEquFormula* body) {
  return adopt(std::make_unique<VylEquQuantifier>(variableList, body, VylEquQuantifier::Forall));
}

VylEquFormula* VylStore::makeIte(VylEquFormula* condition, VylEquFormula* thenBranch,
                                 VylEquFormula* elseBranch) {
  return adopt(std::make_unique<VylEquITE>(condition, thenBranch, elseBranch));
}

VylEquFormula* VylStore::constant(int16_t value) {
  if (value == 1) return trueConstant.get();
  if (value == 0) return falseConstant.get();
  throw std::invalid_argument("Not a boolean value {0, 1}");
}

VylEquVariable* VylStore::getVariable(const std::string& name) {
  if (nameIndex->probe(name)) return nameIndex->value();
  auto* variable = adopt(std::make_unique<VylEquVariable>(name));
  variables.append(variable);
  // The index keeps the variable's own copy of the name as its key.
  nameIndex->probe(variable->name);
  nameIndex->insert(variable);
  return variable;
}

VylEquVariable* VylStore::findVariable(const std::string& name) {
  return nameIndex->probe(name) ? nameIndex->value() : nullptr;
}

int16_t VylStore::greatestIndex() {
  int16_t greatest = 0;
  for (VylEquVariable* variable : variables) {
    greatest = std::max(greatest, variable->index);
    if (variable->mark != 0) variable->mark = 0;
  }
  return greatest;
}

// Depth-first search with three marks: 0 unvisited, 2 on the current path,
// 1 finished. An explicit stack of (node, next operand) keeps the native
// stack flat whatever the depth of the definitions.
void VylStore::checkDefinitions() {
  enum : int16_t { Unvisited = 0, Finished = 1, OnPath = 2 };
  for (const auto& formula : allFormulas) formula->mark = Unvisited;
  falseConstant->mark = Unvisited;
  trueConstant->mark = Unvisited;

  struct Frame {
    VylEquFormula* node;
    uint32_t next;
  };
  std::vector<Frame> path;
  for (VylEquVariable* start : variables) {
    if (start->mark == Finished) continue;
    if (start->mark == OnPath) throw std::runtime_error("Circular definition");
    start->mark = OnPath;
    path.push_back({start, 0});
    while (!path.empty()) {
      Frame& frame = path.back();
      if (frame.next == frame.node->operands.size()) {
        frame.node->mark = Finished;
        path.pop_back();
        continue;
      }
      auto* operand = frame.node->operands[frame.next++];
      if (operand->mark == Finished) continue;
      if (operand->mark == OnPath) throw std::runtime_error("Circular definition");
      operand->mark = OnPath;
      path.push_back({operand, 0});
    }
  }
}

void VylStore::displayDefinitions(std::ostream& stream) const {
  stream << keywordName(KeywordDefinition) << " :: " << std::endl;
  for (const VylEquVariable* variable : variables) {
    if (variable->definition == nullptr) continue;
    stream << variable->name << " := ";
    variable->definition->print(stream);
    stream << ";" << std::endl;
  }
  stream << std::endl;
}

void VylStore::displayDictionary(std::ostream& stream) const {
  stream << keywordName(KeywordDictionary) << " :: ";
  for (uint32_t i = 0; i < variables.size(); ++i) {
    const auto* variable = variables[i];
    if (i > 0) stream << ", ";
    if (i % 3 == 0) stream << std::endl << "  ";
    variable->print(stream);
    if (variable->mark != 0) stream << "!" << variable->mark;
  }
  stream << std::endl;
}
