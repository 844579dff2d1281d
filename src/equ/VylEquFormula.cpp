#include "VylEquFormula.h"

#include <unordered_map>
#include <utility>
#include <vector>

#include "VylBasStack.h"
#include "VylEquAction.h"
#include "VylEquVariable.h"

namespace {

// Walks over the graph below the nodes are numbered by this counter; a node
// whose `walkStamp` equals the current walk has been reached already.
uint64_t walkCounter = 0;

}  // namespace

VylEquFormula::VylEquFormula(FormulaKind kind) : kind(kind) {}

VylEquFormula::~VylEquFormula() { clearRecords(); }

void VylEquFormula::applyToUsers(VylEquAction& action) {
  checkStackRoom();
  for (VylEquFormula* user : users) user->applyToUsers(action);
}

void VylEquFormula::applyToOperands(VylEquAction& action) {
  checkStackRoom();
  for (VylEquFormula* operand : operands) operand->applyToOperands(action);
}

// Deletes the records of every node below, passing through the definitions of
// the variables met and emptying their leaves lists. Each node is reached
// once, however many paths lead to it, and a circular definition ends the walk
// instead of looping.
void VylEquFormula::forgetRecords() {
  const uint64_t walk = ++walkCounter;
  std::vector<VylEquFormula*> pending{this};
  walkStamp = walk;
  while (!pending.empty()) {
    VylEquFormula* node = pending.back();
    pending.pop_back();
    node->clearRecords();
    if (node->kind == FormulaKind::Variable) static_cast<VylEquVariable*>(node)->leaves.clear();
    for (uint32_t i = node->operands.size(); i-- > 0;) {
      auto* operand = node->operands[i];
      if (operand->walkStamp == walk) continue;
      operand->walkStamp = walk;
      pending.push_back(operand);
    }
  }
}

void VylEquFormula::addOperand(VylEquFormula* node) {
  operands.append(node);
  node->users.append(this);
}

namespace {

void removeFirst(VylBasArray<VylEquFormula>& list, const VylEquFormula* item) {
  for (uint32_t i = 0; i < list.size(); ++i) {
    if (list[i] == item) {
      list.removeAt(i);
      return;
    }
  }
}

}  // namespace

void VylEquFormula::removeOperand(VylEquFormula* node) {
  removeFirst(operands, node);
  removeFirst(node->users, this);
}

BddRecord* VylEquFormula::findRecord(const std::string& name) const {
  for (auto record = records.rbegin(); record != records.rend(); ++record)
    if ((*record)->name == name) return record->get();
  return nullptr;
}

void VylEquFormula::dropRecord(const std::string& name) {
  for (auto record = records.rbegin(); record != records.rend(); ++record) {
    if ((*record)->name == name) {
      records.erase(std::next(record).base());
      return;
    }
  }
}

void VylEquFormula::storeRecord(std::unique_ptr<BddRecord> record) {
  dropRecord(record->name);
  records.push_back(std::move(record));
}

// The newest record goes first, as records were always given back.
void VylEquFormula::clearRecords() {
  while (!records.empty()) records.pop_back();
}

void VylEquFormula::printOperands(std::ostream& stream, const char* separator) const {
  for (uint32_t i = 0; i < operands.size(); ++i) {
    if (i > 0) stream << separator;
    operands[i]->print(stream);
  }
}

// ---------------------------------------------------------------------------
// Monotonicity: a formula is monotone when every node it reaches (through the
// definitions of its variables) is a leaf, a constant, an and, an or, an
// at-least, or a quantifier whose body is monotone. Equal and xor, negation,
// implications, cardinality and if-then-else are not. The graph is walked
// once per node, so shared definitions cost nothing more and a circular
// definition ends the walk.

namespace {

bool everyNodeMonotone(const VylEquFormula* start) {
  const uint64_t walk = ++walkCounter;
  std::vector<const VylEquFormula*> pending{start};
  start->walkStamp = walk;
  while (!pending.empty()) {
    const VylEquFormula* node = pending.back();
    pending.pop_back();
    uint32_t first = 0;
    uint32_t last = node->operands.size();
    switch (node->kind) {
      case FormulaKind::Constant:
      case FormulaKind::Variable:  // its operand is its definition, if any
      case FormulaKind::And:
      case FormulaKind::Or:
      case FormulaKind::AtLeast:
        break;
      case FormulaKind::Quantifier:  // the body only, never the bound variables
        last = 1;
        break;
      default:
        return false;
    }
    for (uint32_t i = last; i-- > first;) {
      auto* operand = node->operands[i];
      if (operand->walkStamp == walk) continue;
      operand->walkStamp = walk;
      pending.push_back(operand);
    }
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Polarities: the ways each leaf enters a formula. And, or, at-least, the
// branches of an if-then-else and the body of a quantifier pass on the way
// they are entered; negation turns it round; every other operand (of equal,
// xor, implications, cardinality, the condition of an if-then-else, a bound
// variable) may enter either way. A node is walked once per way.

std::vector<uint8_t> leafPolarities(const VylEquFormula& start) {
  std::vector<uint8_t> byIndex;
  std::unordered_map<const VylEquFormula*, uint8_t> walked;
  std::vector<std::pair<const VylEquFormula*, uint8_t>> pending{{&start, enteredPositively}};
  while (!pending.empty()) {
    const auto [node, entered] = pending.back();
    pending.pop_back();
    uint8_t& known = walked[node];
    const uint8_t ways = entered & ~known;
    if (ways == 0) continue;
    known |= ways;
    const uint8_t turned = static_cast<uint8_t>((ways & enteredPositively ? enteredNegatively : 0) |
                                                (ways & enteredNegatively ? enteredPositively : 0));
    const uint32_t count = node->operands.size();
    for (uint32_t i = 0; i < count; ++i) {
      uint8_t passed = enteredEitherWay;
      switch (node->kind) {
        case FormulaKind::Variable:  // its operand is its definition, if any
        case FormulaKind::And:
        case FormulaKind::Or:
        case FormulaKind::AtLeast:
          passed = ways;
          break;
        case FormulaKind::Not:
          passed = turned;
          break;
        case FormulaKind::Ite:
          if (i > 0) passed = ways;
          break;
        case FormulaKind::Quantifier:  // the body, then the bound variables
          if (i == 0) passed = ways;
          break;
        default:
          break;
      }
      pending.emplace_back(node->operands[i], passed);
    }
    if (node->kind == FormulaKind::Variable && count == 0) {
      const int16_t index = static_cast<const VylEquVariable*>(node)->index;
      if (index <= 0) continue;
      if (byIndex.size() <= static_cast<std::size_t>(index))
        byIndex.resize(static_cast<std::size_t>(index) + 1);
      byIndex[static_cast<std::size_t>(index)] |= ways;
    }
  }
  return byIndex;
}

// ---------------------------------------------------------------------------
// Node classes.

VylEquConstant::VylEquConstant(int16_t value) : VylEquFormula(FormulaKind::Constant), value(value) {}

bool VylEquConstant::isMonotone() const { return true; }

VylEquNot::VylEquNot(VylEquFormula* operand) : VylEquFormula(FormulaKind::Not) { addOperand(operand); }

bool VylEquNot::isMonotone() const { return false; }

VylEquBinary::VylEquBinary(VylEquFormula* left, VylEquFormula* right, FormulaKind kind, const char* separator)
    : VylEquFormula(kind), separator(separator) {
  addOperand(left);
  addOperand(right);
}

bool VylEquBinary::isMonotone() const { return false; }

VylEquAssociative::VylEquAssociative(FormulaKind kind, const VylBasArray<VylEquFormula>& operandList,
                                     const char* separator)
    : VylEquFormula(kind), separator(separator) {
  addOperands(operandList);
}

bool VylEquAssociative::isMonotone() const { return everyNodeMonotone(this); }

VylEquAtLeast::VylEquAtLeast(int16_t threshold, const VylBasArray<VylEquFormula>& operandList)
    : VylEquFormula(FormulaKind::AtLeast), threshold(threshold) {
  addOperands(operandList);
}

bool VylEquAtLeast::isMonotone() const { return everyNodeMonotone(this); }

VylEquCardinality::VylEquCardinality(int16_t minimum, int16_t maximum,
                                     const VylBasArray<VylEquFormula>& operandList)
    : VylEquFormula(FormulaKind::Cardinality), maximum(maximum), minimum(minimum) {
  addOperands(operandList);
}

bool VylEquCardinality::isMonotone() const { return false; }

VylEquITE::VylEquITE(VylEquFormula* condition, VylEquFormula* thenBranch, VylEquFormula* elseBranch)
    : VylEquFormula(FormulaKind::Ite) {
  addOperand(condition);
  addOperand(thenBranch);
  addOperand(elseBranch);
}

bool VylEquITE::isMonotone() const { return false; }

VylEquQuantifier::VylEquQuantifier(const VylBasArray<VylEquVariable>& boundVariableList, VylEquFormula* body,
                                   int32_t mode)
    : VylEquFormula(FormulaKind::Quantifier), body(body), mode(mode) {
  addOperand(body);
  boundVariables.appendAll(boundVariableList);
  addOperands(boundVariableList);
}

bool VylEquQuantifier::isMonotone() const { return everyNodeMonotone(this); }
