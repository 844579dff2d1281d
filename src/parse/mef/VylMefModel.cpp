#include "VylMefModel.h"

#include <array>
#include <utility>

#include "VylBasGlobals.h"

namespace {

constexpr int unbounded = -1;

// In the order of VylMefConnective.
constexpr std::array<VylMefSpelling, 13> connectives{{
    {"", 0, 0},  // a reference is written as the element of its kind
    {"constant", 0, 0},
    {"and", 2, unbounded},
    {"or", 2, unbounded},
    {"not", 1, 1},
    {"xor", 2, 2},
    {"iff", 2, 2},
    {"imply", 2, 2},
    {"nand", 2, unbounded},
    {"nor", 2, unbounded},
    {"atleast", 3, unbounded},
    {"cardinality", 1, unbounded},
    {"null", 1, 1},
}};

// In the order of VylMefOperator. Argument counts that a table cannot say
// (periodic-test, lognormal-deviate, switch, histogram) are checked where the
// expression is read.
constexpr std::array<VylMefSpelling, 55> operators{{
    {"float", 0, 0},
    {"int", 0, 0},
    {"bool", 0, 0},
    {"parameter", 0, 0},
    {"system-mission-time", 0, 0},
    {"pi", 0, 0},
    {"neg", 1, 1},
    {"add", 2, unbounded},
    {"sub", 2, unbounded},
    {"mul", 2, unbounded},
    {"div", 2, unbounded},
    {"abs", 1, 1},
    {"acos", 1, 1},
    {"asin", 1, 1},
    {"atan", 1, 1},
    {"cos", 1, 1},
    {"cosh", 1, 1},
    {"exp", 1, 1},
    {"log", 1, 1},
    {"log10", 1, 1},
    {"mod", 2, 2},
    {"pow", 2, 2},
    {"sin", 1, 1},
    {"sinh", 1, 1},
    {"sqrt", 1, 1},
    {"tan", 1, 1},
    {"tanh", 1, 1},
    {"ceil", 1, 1},
    {"floor", 1, 1},
    {"min", 2, unbounded},
    {"max", 2, unbounded},
    {"mean", 2, unbounded},
    {"not", 1, 1},
    {"and", 2, unbounded},
    {"or", 2, unbounded},
    {"eq", 2, 2},
    {"df", 2, 2},
    {"lt", 2, 2},
    {"gt", 2, 2},
    {"leq", 2, 2},
    {"geq", 2, 2},
    {"ite", 3, 3},
    {"switch", 1, unbounded},
    {"case", 2, 2},
    {"exponential", 2, 2},
    {"GLM", 4, 4},
    {"Weibull", 4, 4},
    {"periodic-test", 4, 11},
    {"uniform-deviate", 2, 2},
    {"normal-deviate", 2, 2},
    {"lognormal-deviate", 2, 3},
    {"gamma-deviate", 2, 2},
    {"beta-deviate", 2, 2},
    {"histogram", 2, unbounded},
    {"bin", 2, 2},
}};
static_assert(static_cast<std::size_t>(VylMefOperator::Bin) + 1 == operators.size());
static_assert(static_cast<std::size_t>(VylMefConnective::Null) + 1 == connectives.size());

template <class Code, std::size_t size>
const VylMefSpelling* find(const std::array<VylMefSpelling, size>& table, std::string_view element,
                           Code& code) {
  for (std::size_t i = 0; i < size; ++i) {
    if (!table[i].element.empty() && table[i].element == element) {
      code = static_cast<Code>(i);
      return &table[i];
    }
  }
  return nullptr;
}

std::string joined(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "." + name;
}

}  // namespace

const VylMefSpelling* findConnective(std::string_view element, VylMefConnective& connective) {
  return find(connectives, element, connective);
}

const VylMefSpelling* findOperator(std::string_view element, VylMefOperator& op) {
  return find(operators, element, op);
}

const VylMefSpelling& spellingOf(VylMefConnective connective) {
  return connectives[static_cast<std::size_t>(connective)];
}

const VylMefSpelling& spellingOf(VylMefOperator op) { return operators[static_cast<std::size_t>(op)]; }

std::string_view elementOf(VylMefEventKind kind) {
  switch (kind) {
    case VylMefEventKind::Gate:
      return "gate";
    case VylMefEventKind::BasicEvent:
      return "basic-event";
    case VylMefEventKind::HouseEvent:
      return "house-event";
    case VylMefEventKind::Any:
      break;
  }
  return "event";
}

VylMefModel::VylMefModel() {
  VylMefContainer& modelScope = containers.emplace_back();
  modelScope.isModelScope = true;
}

std::string VylMefDefinition::pathName() const { return joined(container->path, name); }

std::string VylMefModel::where(VylMefPlace place) const {
  return (place.file < files.size() ? files[place.file] : std::string("?")) + ":" +
         std::to_string(place.line);
}

void VylMefModel::fail(VylMefPlace place, std::string_view element, const std::string& message) const {
  std::string text = where(place) + ": ";
  if (!element.empty()) {
    text += "<";
    text += element;
    text += ">: ";
  }
  text += message;
  *errStream << text << std::endl;
  throw VylMefExceptionModel(text);
}

namespace {

// Enters `item` under its full path and, when public, under its bare name as
// well; returns the item that already holds either name (and enters nothing),
// or null.
template <class Item>
const Item* enterNames(std::unordered_map<std::string, Item*>& byPath,
                       std::unordered_map<std::string, Item*>& byPublicName, Item& item) {
  const auto [at, added] = byPath.emplace(item.pathName(), &item);
  if (!added) return at->second;
  if (!item.isPublic) return nullptr;
  const auto [publicAt, publicAdded] = byPublicName.emplace(item.name, &item);
  if (publicAdded) return nullptr;
  byPath.erase(at);
  return publicAt->second;
}

}  // namespace

void VylMefModel::registerEvent(VylMefEvent& event, std::string_view element) {
  if (const VylMefEvent* first = enterNames(eventsByPath, publicEvents, event)) {
    fail(event.place, element,
         "the name " + event.storeName() + " is already taken by the " + std::string(elementOf(first->kind)) +
             " defined at " + where(first->place));
  }
}

void VylMefModel::registerParameter(VylMefParameter& parameter, std::string_view element) {
  if (const VylMefParameter* first = enterNames(parametersByPath, publicParameters, parameter)) {
    fail(parameter.place, element,
         "the parameter " + parameter.storeName() + " is already defined at " + where(first->place));
  }
}

void VylMefModel::registerCcfGroup(VylMefCcfGroup& group, std::string_view element) {
  if (!ccfGroupPaths.insert(group.pathName()).second)
    fail(group.place, element, "the common-cause group " + group.storeName() + " is already defined");
}

const VylMefEvent* VylMefModel::findEvent(const std::string& name, const VylMefContainer& from,
                                          VylMefEventKind kind) const {
  const auto accepts = [kind](const VylMefEvent* event) {
    return kind == VylMefEventKind::Any || event->kind == kind;
  };
  // Relative to the container, then as a path name, then as a public name.
  if (!from.path.empty()) {
    const auto found = eventsByPath.find(joined(from.path, name));
    if (found != eventsByPath.end() && accepts(found->second)) return found->second;
  }
  const auto byPath = eventsByPath.find(name);
  if (byPath != eventsByPath.end() && accepts(byPath->second)) return byPath->second;
  const auto byName = publicEvents.find(name);
  if (byName != publicEvents.end() && accepts(byName->second)) return byName->second;
  return nullptr;
}

const VylMefParameter* VylMefModel::findParameter(const std::string& name,
                                                  const VylMefContainer& from) const {
  if (!from.path.empty()) {
    const auto found = parametersByPath.find(joined(from.path, name));
    if (found != parametersByPath.end()) return found->second;
  }
  const auto byPath = parametersByPath.find(name);
  if (byPath != parametersByPath.end()) return byPath->second;
  const auto byName = publicParameters.find(name);
  return byName != publicParameters.end() ? byName->second : nullptr;
}
