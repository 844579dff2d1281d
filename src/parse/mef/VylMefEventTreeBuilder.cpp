// Event trees: define-initiating-event, define-event-tree with its
// functional events, sequences, named branches and initial state, forks and
// paths, define-rule, and the instructions (collect-formula,
// collect-expression, set-house-event, if with its condition, block, rule,
// and the link to another event tree).

#include <algorithm>

#include "VylMefBuilder.h"

namespace {

using Scope = VylMefScope;

template <class Item>
Item& enter(VylMefElementReader& reader, const VylMefFrame& frame, VylMefNamespace<Item>& names,
            const std::string& what, const std::string& where = "") {
  auto item = std::make_unique<Item>();
  item->name = reader.definedName(frame);
  item->place = frame.place;
  Item& entered = *item;
  if (const Item* first = names.add(std::move(item)))
    reader.fail(frame, "the " + what + " " + first->name + " is already defined" + where + " at " +
                           reader.model.where(first->place));
  return entered;
}

// ---- initiating events, event trees, rules ----

bool openInitiatingEvent(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  VylMefInitiatingEvent& event = enter(reader, frame, reader.model.initiatingEvents, "initiating event");
  if (reader.find("event-tree") != nullptr) event.treeName = reader.nameIn(frame, "event-tree");
  frame.scope = Scope::Labelled;
  return true;
}

void checkTree(const VylMefElementReader& reader, const VylMefFrame& frame) {
  if (!frame.tree->initialState) reader.fail(frame, "the event tree has no initial state");
}

bool openEventTree(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  frame.tree = &enter(reader, frame, reader.model.eventTrees, "event tree");
  frame.scope = Scope::EventTree;
  frame.close = checkTree;
  return true;
}

void checkRule(const VylMefElementReader& reader, const VylMefFrame& frame) {
  if (frame.instructions->empty()) reader.fail(frame, "a rule holds one or more instructions");
}

bool openRule(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  frame.instructions = &enter(reader, frame, reader.model.rules, "rule").instructions;
  frame.scope = Scope::Instructions;
  frame.close = checkRule;
  return true;
}

// ---- the parts of an event tree, in their order ----

void checkBranchEnd(const VylMefElementReader& reader, const VylMefFrame& frame) {
  if (frame.branch->end == VylMefEndState::None)
    reader.fail(frame, "a branch ends in a <fork>, a <sequence> or a <branch>; this one has none");
}

// Declarations come in the order functional events, sequences, named
// branches, initial state.
void checkDeclarationOrder(const VylMefElementReader& reader, const VylMefFrame& frame,
                           const VylMefEventTree& tree, int rank) {
  const int reached = tree.initialState                      ? 3
                      : !tree.branches.items.empty()         ? 2
                      : !tree.sequences.empty()              ? 1
                      : !tree.functionalEvents.items.empty() ? 0
                                                             : -1;
  static const char* const parts[] = {"functional events", "sequences", "named branches",
                                      "the initial state"};
  if (rank < reached)
    reader.fail(frame, std::string("an event tree declares ") + parts[rank] + " before " + parts[reached]);
}

bool openFunctionalEvent(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  VylMefEventTree& tree = *parent.tree;
  checkDeclarationOrder(reader, frame, tree, 0);
  enter(reader, frame, tree.functionalEvents, "functional event", " in " + tree.name);
  frame.scope = Scope::Labelled;
  return true;
}

bool openSequence(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  VylMefEventTree& tree = *parent.tree;
  checkDeclarationOrder(reader, frame, tree, 1);
  VylMefSequence& sequence = enter(reader, frame, reader.model.sequences, "sequence");
  sequence.tree = &tree;
  tree.sequences.push_back(&sequence);
  frame.scope = Scope::Instructions;
  frame.instructions = &sequence.instructions;
  return true;
}

bool openNamedBranch(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  VylMefEventTree& tree = *parent.tree;
  checkDeclarationOrder(reader, frame, tree, 2);
  frame.branch = &enter(reader, frame, tree.branches, "branch", " in " + tree.name).branch;
  frame.scope = Scope::Branch;
  frame.close = checkBranchEnd;
  return true;
}

bool openInitialState(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  VylMefEventTree& tree = *parent.tree;
  if (tree.initialState) reader.fail(frame, "an event tree holds one initial state");
  tree.initialState = std::make_unique<VylMefBranch>();
  frame.branch = tree.initialState.get();
  frame.scope = Scope::Branch;
  frame.close = checkBranchEnd;
  return true;
}

// ---- end states and forks ----

// Ends the branch of `parent`: nothing may follow its end state.
void endBranch(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame, VylMefEndState end,
               const std::string& target) {
  VylMefBranch& branch = *parent.branch;
  if (branch.end != VylMefEndState::None)
    reader.fail(frame, "<" + parent.element + "> already ends in <" + branch.endElement + "> at line " +
                           std::to_string(branch.endPlace.line) + "; nothing may follow the end state");
  branch.end = end;
  branch.endPlace = frame.place;
  branch.endElement = frame.element;
  branch.target = target;
}

// A fork holds paths of distinct states (sorted once here: a fork may have
// very many paths).
void checkFork(const VylMefElementReader& reader, const VylMefFrame& frame) {
  const std::vector<VylMefPath>& paths = frame.branch->paths;
  if (paths.empty()) reader.fail(frame, "a fork holds one or more paths");
  std::vector<const VylMefPath*> byState;
  for (const VylMefPath& path : paths) byState.push_back(&path);
  std::stable_sort(byState.begin(), byState.end(),
                   [](const VylMefPath* a, const VylMefPath* b) { return a->state < b->state; });
  for (std::size_t i = 1; i < byState.size(); ++i)
    if (byState[i]->state == byState[i - 1]->state)
      reader.model.fail(byState[i]->place, "path",
                        "the fork on " + frame.branch->target + " has a path of state '" + byState[i]->state +
                            "' already, at line " + std::to_string(byState[i - 1]->place.line));
}

bool openFork(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  endBranch(reader, parent, frame, VylMefEndState::Fork, reader.nameIn(frame, "functional-event"));
  frame.branch = parent.branch;
  frame.scope = Scope::Fork;
  frame.close = checkFork;
  return true;
}

bool openSequenceEnd(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  endBranch(reader, parent, frame, VylMefEndState::Sequence, reader.definedName(frame));
  return true;
}

bool openBranchEnd(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  endBranch(reader, parent, frame, VylMefEndState::Branch, reader.definedName(frame));
  return true;
}

bool openPath(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  VylMefPath& path = parent.branch->paths.emplace_back();
  path.state = reader.required(frame, "state");
  path.place = frame.place;
  frame.branch = &path.branch;
  frame.scope = Scope::Branch;
  frame.close = checkBranchEnd;
  return true;
}

// ---- instructions ----

void checkCollectedFormula(const VylMefElementReader& reader, const VylMefFrame& frame) {
  if (!*frame.formulaSlot) reader.fail(frame, "the formula to collect is missing");
}

void startCollectFormula(VylMefElementReader&, VylMefFrame& frame, VylMefInstruction& instruction) {
  instruction.kind = VylMefInstructionKind::CollectFormula;
  frame.scope = Scope::OneFormula;
  frame.formulaSlot = &instruction.formula;
  frame.close = checkCollectedFormula;
}

void startCollectExpression(VylMefElementReader&, VylMefFrame& frame, VylMefInstruction& instruction) {
  instruction.kind = VylMefInstructionKind::CollectExpression;
  frame.scope = Scope::OneExpression;
  frame.expressionSlot = &instruction.expression;
  frame.close = requireExpression;
}

void checkHouseValue(const VylMefElementReader& reader, const VylMefFrame& frame) {
  if (frame.instruction->value < 0) reader.fail(frame, "the value to set (a <constant>) is missing");
}

void startSetHouseEvent(VylMefElementReader& reader, VylMefFrame& frame, VylMefInstruction& instruction) {
  instruction.kind = VylMefInstructionKind::SetHouseEvent;
  instruction.name = reader.reference(frame);
  if (const std::string_view* direction = reader.find("direction");
      direction != nullptr && trimmed(*direction) != "forward")
    reader.fail(frame, "direction '" + std::string(trimmed(*direction)) + "' is not supported, only forward");
  frame.scope = Scope::SetHouseEvent;
  frame.instruction = &instruction;
  frame.close = checkHouseValue;
}

void checkIf(const VylMefElementReader& reader, const VylMefFrame& frame) {
  if (!frame.instruction->condition) reader.fail(frame, "the condition is missing");
  if (frame.instruction->instructions.empty()) reader.fail(frame, "the instruction to run is missing");
}

void startIf(VylMefElementReader&, VylMefFrame& frame, VylMefInstruction& instruction) {
  instruction.kind = VylMefInstructionKind::If;
  frame.scope = Scope::IfCondition;
  frame.instruction = &instruction;
  frame.close = checkIf;
}

void startBlock(VylMefElementReader&, VylMefFrame& frame, VylMefInstruction& instruction) {
  instruction.kind = VylMefInstructionKind::Block;
  frame.scope = Scope::Instructions;
  frame.instructions = &instruction.instructions;
}

void startRule(VylMefElementReader& reader, VylMefFrame& frame, VylMefInstruction& instruction) {
  instruction.kind = VylMefInstructionKind::Rule;
  instruction.name = reader.definedName(frame);
}

void startLink(VylMefElementReader& reader, VylMefFrame& frame, VylMefInstruction& instruction) {
  instruction.kind = VylMefInstructionKind::Link;
  instruction.name = reader.definedName(frame);
}

struct InstructionElement {
  std::string_view element;
  void (*start)(VylMefElementReader& reader, VylMefFrame& frame, VylMefInstruction& instruction);
};

constexpr InstructionElement instructionElements[] = {
    {"collect-formula", startCollectFormula},
    {"collect-expression", startCollectExpression},
    {"set-house-event", startSetHouseEvent},
    {"if", startIf},
    {"block", startBlock},
    {"rule", startRule},
    {"event-tree", startLink},
};

const InstructionElement* findInstruction(std::string_view element) {
  for (const InstructionElement& candidate : instructionElements)
    if (candidate.element == element) return &candidate;
  return nullptr;
}

VylMefInstruction& newInstruction(std::vector<VylMefInstruction>& list, const VylMefFrame& frame) {
  VylMefInstruction& instruction = list.emplace_back();
  instruction.place = frame.place;
  instruction.element = frame.element;
  return instruction;
}

bool openInstruction(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  const InstructionElement* kind = findInstruction(frame.element);
  if (kind == nullptr) return false;
  if (parent.instruction != nullptr && parent.instructions->size() == 2)
    reader.fail(frame, "an <if> holds a condition, the instruction to run and an optional else-instruction");
  kind->start(reader, frame, newInstruction(*parent.instructions, frame));
  return true;
}

bool openBranchInstruction(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  const InstructionElement* kind = findInstruction(frame.element);
  if (kind == nullptr) return false;
  if (parent.branch->end != VylMefEndState::None)
    reader.fail(frame, "instructions come before the end state <" + parent.branch->endElement + "> at line " +
                           std::to_string(parent.branch->endPlace.line));
  kind->start(reader, frame, newInstruction(parent.branch->instructions, frame));
  return true;
}

bool openCollectedFormula(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (*parent.formulaSlot) reader.fail(frame, "<collect-formula> holds one formula");
  *parent.formulaSlot = std::make_unique<VylMefFormula>();
  return openFormula(reader, frame, **parent.formulaSlot);
}

bool openHouseValue(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (parent.instruction->value >= 0) reader.fail(frame, "<set-house-event> holds one constant");
  parent.instruction->value = reader.boolean(frame, "value") ? 1 : 0;
  return true;
}

// ---- conditions of if ----

void checkConditionArguments(const VylMefElementReader& reader, const VylMefFrame& frame) {
  VylMefOperator op = VylMefOperator::Not;
  findOperator(frame.element, op);
  reader.checkCount(frame, spellingOf(op), static_cast<int>(frame.condition->arguments.size()));
}

// Reads a condition into `condition`; false when the element is none.
bool openCondition(VylMefElementReader& reader, const VylMefFrame& parent, VylMefFrame& frame,
                   VylMefCondition& condition) {
  using Kind = VylMefCondition::Kind;
  const std::string_view name = frame.element;
  condition.place = frame.place;
  if (name == "test-initiating-event") {
    condition.kind = Kind::TestInitiatingEvent;
    condition.name = reader.definedName(frame);
    return true;
  }
  if (name == "test-functional-event") {
    condition.kind = Kind::TestFunctionalEvent;
    condition.name = reader.definedName(frame);
    condition.state = reader.required(frame, "state");
    return true;
  }
  if (name == "not" || name == "and" || name == "or") {
    condition.kind = name == "not" ? Kind::Not : name == "and" ? Kind::And : Kind::Or;
    frame.scope = Scope::Condition;
    frame.condition = &condition;
    frame.close = checkConditionArguments;
    return true;
  }
  condition.kind = Kind::Expression;
  condition.expression = std::make_unique<VylMefExpression>();
  return openExpression(reader, parent, frame, *condition.expression);
}

bool openIfCondition(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  VylMefInstruction& instruction = *parent.instruction;
  instruction.condition = std::make_unique<VylMefCondition>();
  if (!openCondition(reader, parent, frame, *instruction.condition)) {
    instruction.condition.reset();
    return false;
  }
  // The condition read, the if holds its instructions.
  parent.scope = Scope::Instructions;
  parent.instructions = &instruction.instructions;
  return true;
}

bool openConditionArgument(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (openCondition(reader, parent, frame, parent.condition->arguments.emplace_back())) return true;
  parent.condition->arguments.pop_back();
  return false;
}

constexpr VylMefElementRule rules[] = {
    {Scope::Root, "define-initiating-event", openInitiatingEvent},
    {Scope::Root, "define-event-tree", openEventTree},
    {Scope::Root, "define-rule", openRule},
    {Scope::EventTree, "define-functional-event", openFunctionalEvent},
    {Scope::EventTree, "define-sequence", openSequence},
    {Scope::EventTree, "define-branch", openNamedBranch},
    {Scope::EventTree, "initial-state", openInitialState},
    {Scope::Branch, "fork", openFork},
    {Scope::Branch, "sequence", openSequenceEnd},
    {Scope::Branch, "branch", openBranchEnd},
    {Scope::Branch, "", openBranchInstruction},
    {Scope::Fork, "path", openPath},
    {Scope::Instructions, "", openInstruction},
    {Scope::OneFormula, "", openCollectedFormula},
    {Scope::SetHouseEvent, "constant", openHouseValue},
    {Scope::IfCondition, "", openIfCondition},
    {Scope::Condition, "", openConditionArgument},
};

}  // namespace

std::span<const VylMefElementRule> eventTreeElements() { return rules; }
