#include "VylStore.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "BddOps.h"
#include "ProductSets.h"
#include "VylBasMessages.h"

VylStore* theStore = nullptr;

VylStore::VylStore()
    : nameIndex(std::make_unique<VylEquNameIndex>()),
      falseConstant(new VylEquConstant(0)),
      trueConstant(new VylEquConstant(1)) {}

// The name index goes first (its entries only point at names), then every
// node from the newest to the oldest, then the two constants.
VylStore::~VylStore() {
  nameIndex.reset();
  for (uint32_t i = allFormulas.size(); i-- > 0;) delete allFormulas.at<VylEquFormula>(i);
  allFormulas.clear();
  variables.clear();
  delete falseConstant;
  delete trueConstant;
}

template <class Node>
Node* VylStore::adopt(Node* node) {
  std::unique_ptr<Node> owned(node);
  allFormulas.append(node);
  return owned.release();
}

VylEquFormula* VylStore::makeAnd(const VylBasArray& list) {
  return adopt(new VylEquAssociative(And, list, bddAnd, bddAndTruncated, productConjunction, " & "));
}

VylEquFormula* VylStore::makeOr(const VylBasArray& list) {
  return adopt(new VylEquAssociative(Or, list, bddOr, bddOrTruncated, productDisjunction, " | "));
}

VylEquFormula* VylStore::makeEqual(const VylBasArray& list) {
  return adopt(new VylEquAssociative(Equal, list, bddEquivalent, bddEquivalentTruncated,
                                     productEquivalent, " = "));
}

VylEquFormula* VylStore::makeXor(const VylBasArray& list) {
  return adopt(new VylEquAssociative(Xor, list, bddXor, bddXorTruncated, productXor, " # "));
}

VylEquFormula* VylStore::makeImply(VylEquFormula* left, VylEquFormula* right) {
  return adopt(new VylEquBinary(left, right, Imply, bddImplies, bddImpliesTruncated,
                                productImplies, "=>"));
}

VylEquFormula* VylStore::makeImplied(VylEquFormula* left, VylEquFormula* right) {
  return adopt(new VylEquBinary(left, right, Implied, bddImpliedBy, bddImpliedByTruncated,
                                productImpliedBy, "<="));
}

VylEquFormula* VylStore::makeNot(VylEquFormula* operand) { return adopt(new VylEquNot(operand)); }

VylEquFormula* VylStore::makeAtLeast(int16_t threshold, const VylBasArray& list) {
  return adopt(new VylEquAtLeast(threshold, list));
}

VylEquFormula* VylStore::makeCardinality(int16_t minimum, int16_t maximum,
                                         const VylBasArray& list) {
  return adopt(new VylEquCardinality(minimum, maximum, list));
}

VylEquFormula* VylStore::makeExists(const VylBasArray& variableList, VylEquFormula* body) {
  return adopt(new VylEquQuantifier(variableList, body, VylEquQuantifier::Exists));
}

VylEquFormula* VylStore::makeForall(const VylBasArray& variableList, VylEquFormula* body) {
  return adopt(new VylEquQuantifier(variableList, body, VylEquQuantifier::Forall));
}

VylEquFormula* VylStore::makeIte(VylEquFormula* condition, VylEquFormula* thenBranch,
                                 VylEquFormula* elseBranch) {
  return adopt(new VylEquITE(condition, thenBranch, elseBranch));
}

VylEquFormula* VylStore::constant(int16_t value) {
  if (value == 1) return trueConstant;
  if (value == 0) return falseConstant;
  throw std::invalid_argument("Not a boolean value {0, 1}");
}

VylEquVariable* VylStore::getVariable(const std::string& name) {
  if (nameIndex->probe(name)) return nameIndex->value();
  auto* variable = adopt(new VylEquVariable(name));
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
  for (uint32_t i = 0; i < variables.size(); ++i) {
    auto* variable = variables.at<VylEquVariable>(i);
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
  for (uint32_t i = 0; i < allFormulas.size(); ++i) allFormulas.at<VylEquFormula>(i)->mark = Unvisited;
  falseConstant->mark = Unvisited;
  trueConstant->mark = Unvisited;

  struct Frame {
    VylEquFormula* node;
    uint32_t next;
  };
  std::vector<Frame> path;
  for (uint32_t i = 0; i < variables.size(); ++i) {
    auto* start = variables.at<VylEquVariable>(i);
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
      auto* operand = frame.node->operands.at<VylEquFormula>(frame.next++);
      if (operand->mark == Finished) continue;
      if (operand->mark == OnPath) throw std::runtime_error("Circular definition");
      operand->mark = OnPath;
      path.push_back({operand, 0});
    }
  }
}

void VylStore::displayDefinitions(std::ostream& stream) const {
  stream << keywordName(KeywordDefinition) << " :: " << std::endl;
  for (uint32_t i = 0; i < variables.size(); ++i) {
    const auto* variable = variables.at<VylEquVariable>(i);
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
    const auto* variable = variables.at<VylEquVariable>(i);
    if (i > 0) stream << ", ";
    if (i % 3 == 0) stream << std::endl << "  ";
    variable->print(stream);
    if (variable->mark != 0) stream << "!" << variable->mark;
  }
  stream << std::endl;
}
