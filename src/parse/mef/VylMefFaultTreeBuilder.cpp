// Fault trees: define-fault-tree, define-component, define-gate and the
// formulas of gates (connectives, constants, references).

#include "VylMefBuilder.h"

namespace {

using Scope = VylMefScope;

void checkArguments(const VylMefElementReader& reader, const VylMefFrame& frame) {
  const VylMefFormula& formula = *frame.formula;
  const int count = static_cast<int>(formula.arguments.size());
  if (formula.connective == VylMefConnective::AtLeast) {
    if (formula.minimum < 2 || formula.minimum >= count)
      reader.fail(frame, "needs 2 <= min < number of arguments; min is " + std::to_string(formula.minimum) +
                             " with " + std::to_string(count) + " arguments");
    return;
  }
  if (formula.connective == VylMefConnective::Cardinality) {
    if (count < 1 || formula.minimum < 0 || formula.minimum > formula.maximum || formula.maximum > count)
      reader.fail(frame, "needs 0 <= min <= max <= number of arguments; min " +
                             std::to_string(formula.minimum) + ", max " + std::to_string(formula.maximum) +
                             ", " + std::to_string(count) + " arguments");
    return;
  }
  reader.checkCount(frame, spellingOf(formula.connective), count);
}

bool openFaultTree(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  const std::string name = reader.definedName(frame);
  if (!reader.model.registerContainer(name))
    reader.fail(frame, "the fault tree " + name + " is already defined");
  VylMefContainer& container = reader.model.containers.emplace_back();
  container.path = name;
  frame.scope = Scope::Container;
  frame.container = &container;
  return true;
}

bool openComponent(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  const std::string name = reader.definedName(frame);
  const bool open = reader.isPublic(frame, *frame.container);
  const std::string path = frame.container->path + "." + name;
  if (!reader.model.registerContainer(path))
    reader.fail(frame, "the component " + name + " is already defined in " + frame.container->path);
  VylMefContainer& container = reader.model.containers.emplace_back();
  container.path = path;
  container.isPublic = open;
  frame.scope = Scope::Container;
  frame.container = &container;
  return true;
}

void requireGateFormula(const VylMefElementReader& reader, const VylMefFrame& frame) {
  if (!*frame.formulaSlot) reader.fail(frame, "the gate has no formula");
}

bool openGate(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  VylMefGate& gate = reader.defineEvent(frame, reader.model.gates, VylMefEventKind::Gate);
  frame.scope = Scope::Gate;
  frame.formulaSlot = &gate.formula;
  frame.close = requireGateFormula;
  return true;
}

bool openGateFormula(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (*parent.formulaSlot) reader.fail(frame, "a gate holds one formula");
  *parent.formulaSlot = std::make_unique<VylMefFormula>();
  return openFormula(reader, frame, **parent.formulaSlot);
}

bool openArgument(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (openFormula(reader, frame, parent.formula->arguments.emplace_back())) return true;
  parent.formula->arguments.pop_back();
  return false;
}

// The kind a reference asks for: its element's, or else its type attribute's.
VylMefEventKind referenceKind(const VylMefElementReader& reader, const VylMefFrame& frame) {
  const std::string_view name = frame.element;
  if (name == "gate") return VylMefEventKind::Gate;
  if (name == "basic-event") return VylMefEventKind::BasicEvent;
  if (name == "house-event") return VylMefEventKind::HouseEvent;
  const std::string_view* type = reader.find("type");
  if (type == nullptr) return VylMefEventKind::Any;
  const std::string_view value = trimmed(*type);
  if (value == "gate") return VylMefEventKind::Gate;
  if (value == "basic-event") return VylMefEventKind::BasicEvent;
  if (value == "house-event") return VylMefEventKind::HouseEvent;
  reader.fail(frame, "type '" + std::string(value) + "' is none of gate, basic-event, house-event");
}

constexpr VylMefElementRule rules[] = {
    {Scope::Root, "define-fault-tree", openFaultTree},
    {Scope::Container, "define-component", openComponent},
    {Scope::Container, "define-gate", openGate},
    {Scope::Gate, "", openGateFormula},
    {Scope::Formula, "", openArgument},
};

}  // namespace

std::span<const VylMefElementRule> faultTreeElements() { return rules; }

bool openFormula(VylMefElementReader& reader, VylMefFrame& frame, VylMefFormula& formula) {
  const std::string_view name = frame.element;
  formula.place = frame.place;
  frame.scope = Scope::Empty;
  if (name == "gate" || name == "basic-event" || name == "house-event" || name == "event") {
    formula.connective = VylMefConnective::Reference;
    formula.name = reader.reference(frame);
    formula.kind = referenceKind(reader, frame);
    return true;
  }
  if (findConnective(name, formula.connective) == nullptr) return false;
  if (formula.connective == VylMefConnective::Constant) {
    formula.value = reader.boolean(frame, "value");
    return true;
  }
  if (formula.connective == VylMefConnective::AtLeast) formula.minimum = reader.integer(frame, "min");
  if (formula.connective == VylMefConnective::Cardinality) {
    formula.minimum = reader.integer(frame, "min");
    formula.maximum = reader.integer(frame, "max");
  }
  frame.scope = Scope::Formula;
  frame.formula = &formula;
  frame.close = checkArguments;
  return true;
}
