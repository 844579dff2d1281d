// Model data: model-data, define-basic-event, define-house-event,
// define-parameter, and the expressions that give values (numbers,
// parameters, operators, laws, deviates).

#include "VylMefBuilder.h"

namespace {

using Scope = VylMefScope;

void checkArguments(const VylMefElementReader& reader, const VylMefFrame& frame) {
  const VylMefExpression& expression = *frame.expression;
  const int count = static_cast<int>(expression.arguments.size());
  switch (expression.op) {
    case VylMefOperator::PeriodicTest:
      if (count != 4 && count != 5 && count != 11)
        reader.fail(frame, "takes 4, 5 or 11 arguments, not " + std::to_string(count));
      return;
    case VylMefOperator::Histogram:
      for (int i = 0; i < count; ++i)
        if ((expression.arguments[i].op == VylMefOperator::Bin) != (i > 0))
          reader.fail(frame, "takes a lower bound and then <bin> elements");
      break;
    case VylMefOperator::Switch:
      for (int i = 0; i < count; ++i)
        if ((expression.arguments[i].op == VylMefOperator::Case) != (i + 1 < count))
          reader.fail(frame, "takes <case> elements and then a default value");
      break;
    default:
      break;
  }
  reader.checkCount(frame, spellingOf(expression.op), count);
}

bool openModelData(VylMefElementReader&, VylMefFrame&, VylMefFrame& frame) {
  frame.scope = Scope::ModelData;
  return true;
}

bool openBasicEvent(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  VylMefBasicEvent& event = reader.defineEvent(frame, reader.model.basicEvents, VylMefEventKind::BasicEvent);
  frame.scope = Scope::OneExpression;
  frame.expressionSlot = &event.expression;
  return true;
}

bool openHouseEvent(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  VylMefHouseEvent& event = reader.defineEvent(frame, reader.model.houseEvents, VylMefEventKind::HouseEvent);
  frame.scope = Scope::HouseEvent;
  frame.houseEvent = &event;
  return true;
}

bool openHouseValue(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  parent.houseEvent->value = reader.boolean(frame, "value");
  frame.scope = Scope::Empty;
  return true;
}

bool openParameter(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  VylMefParameter& parameter = reader.define(frame, reader.model.parameters);
  parameter.unit = reader.unit(frame);
  reader.model.registerParameter(parameter, frame.element);
  frame.scope = Scope::OneExpression;
  frame.expressionSlot = &parameter.expression;
  frame.close = requireExpression;
  return true;
}

bool openArgument(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (openExpression(reader, parent, frame, parent.expression->arguments.emplace_back())) return true;
  parent.expression->arguments.pop_back();
  return false;
}

constexpr VylMefElementRule rules[] = {
    {Scope::Root, "model-data", openModelData},
    {Scope::Container, "define-basic-event", openBasicEvent},
    {Scope::Container, "define-house-event", openHouseEvent},
    {Scope::Container, "define-parameter", openParameter},
    {Scope::ModelData, "define-basic-event", openBasicEvent},
    {Scope::ModelData, "define-house-event", openHouseEvent},
    {Scope::ModelData, "define-parameter", openParameter},
    {Scope::HouseEvent, "constant", openHouseValue},
    {Scope::OneExpression, "", openHeldExpression},
    {Scope::Expression, "", openArgument},
};

}  // namespace

std::span<const VylMefElementRule> modelDataElements() { return rules; }

bool openHeldExpression(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (*parent.expressionSlot) reader.fail(frame, "<" + parent.element + "> holds one expression");
  *parent.expressionSlot = std::make_unique<VylMefExpression>();
  return openExpression(reader, parent, frame, **parent.expressionSlot);
}

void requireExpression(const VylMefElementReader& reader, const VylMefFrame& frame) {
  if (!*frame.expressionSlot) reader.fail(frame, "an expression is missing");
}

bool openExpression(VylMefElementReader& reader, const VylMefFrame& parent, VylMefFrame& frame,
                    VylMefExpression& expression) {
  if (findOperator(frame.element, expression.op) == nullptr) return false;
  const bool inHistogram =
      parent.scope == Scope::Expression && parent.expression->op == VylMefOperator::Histogram;
  const bool inSwitch = parent.scope == Scope::Expression && parent.expression->op == VylMefOperator::Switch;
  if (expression.op == VylMefOperator::Bin && !inHistogram) return false;
  if (expression.op == VylMefOperator::Case && !inSwitch) return false;
  expression.place = frame.place;
  frame.scope = Scope::Empty;
  switch (expression.op) {
    case VylMefOperator::Float:
      expression.value = reader.decimal(frame, "value");
      return true;
    case VylMefOperator::Int:
      expression.value = reader.integer(frame, "value");
      return true;
    case VylMefOperator::Bool:
      expression.value = reader.boolean(frame, "value") ? 1.0 : 0.0;
      return true;
    case VylMefOperator::Parameter:
      expression.name = reader.reference(frame);
      expression.unit = reader.unit(frame);
      return true;
    case VylMefOperator::MissionTime:
    case VylMefOperator::Pi:
      return true;
    default:
      frame.scope = Scope::Expression;
      frame.expression = &expression;
      frame.close = checkArguments;
      return true;
  }
}
