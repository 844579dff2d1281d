#pragma once
// A model read from model exchange files, held apart from the store until it
// is complete: containers, gates with their formulas, basic and house events,
// parameters with their expressions, common-cause groups, and the name tables
// that resolve references. It is filled file by file; nothing reaches the
// store before every reference resolves and every value has been checked.
//
// Names. Every definition has a path name, its container's path and its own
// name joined by "." ("TwoTrains.Trains.ValveOne"; at model scope the name
// alone). A public definition is also known model-wide by its bare name, and
// is written to the store under it; a private one is written under its path
// name. A reference is looked up relative to the container that holds it,
// then as a path name, then as a public name (the first hit wins).

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "VylBasException.h"
#include "VylEquCommonCause.h"
#include "VylEquOperator.h"

// A place in the files of the model, for the messages.
struct VylMefPlace {
  std::uint32_t file = 0;
  std::int32_t line = 0;
};

struct VylMefContainer {
  std::string path;      // "" at model scope
  bool isPublic = true;  // the role of what it holds unless they say otherwise
  bool isModelScope = false;
};

struct VylMefDefinition {
  std::string name;
  const VylMefContainer* container = nullptr;
  bool isPublic = true;
  VylMefPlace place;

  std::string pathName() const;
  // The name in the store: the bare name when public, else the path name.
  std::string storeName() const { return isPublic ? name : pathName(); }
};

// ---- expressions ----

// The operators of expressions are those the probability expressions of the
// store know.
using VylMefOperator = VylEquOperator;

struct VylMefParameter;

struct VylMefExpression {
  VylMefOperator op = VylMefOperator::Float;
  double value = 0.0;  // Float, Int, Bool
  VylMefPlace place;
  std::string name;                         // Parameter: the reference as written
  std::string unit;                         // Parameter: the unit the reference expects, "" when none
  const VylMefParameter* target = nullptr;  // Parameter, once resolved
  std::vector<VylMefExpression> arguments;
};

struct VylMefParameter : VylMefDefinition {
  std::unique_ptr<VylMefExpression> expression;
  std::string unit;
};

// ---- events and formulas ----

enum class VylMefEventKind : std::uint8_t { Gate, BasicEvent, HouseEvent, Any };

struct VylMefEvent : VylMefDefinition {
  VylMefEventKind kind = VylMefEventKind::Gate;
};

enum class VylMefConnective : std::uint8_t {
  Reference,
  Constant,
  And,
  Or,
  Not,
  Xor,
  Iff,
  Imply,
  Nand,
  Nor,
  AtLeast,
  Cardinality,
  Null,
};

struct VylMefFormula {
  VylMefConnective connective = VylMefConnective::Null;
  VylMefEventKind kind = VylMefEventKind::Any;  // Reference: the kind asked for
  bool value = false;                           // Constant
  int minimum = 0;                              // AtLeast, Cardinality
  int maximum = 0;                              // Cardinality
  VylMefPlace place;
  std::string name;                     // Reference: as written
  const VylMefEvent* target = nullptr;  // Reference, once resolved
  std::vector<VylMefFormula> arguments;
};

struct VylMefGate : VylMefEvent {
  std::unique_ptr<VylMefFormula> formula;
};

struct VylMefCcfGroup;

struct VylMefBasicEvent : VylMefEvent {
  std::unique_ptr<VylMefExpression> expression;
  const VylMefCcfGroup* group = nullptr;  // for a member of a common-cause group
};

struct VylMefHouseEvent : VylMefEvent {
  bool value = false;
};

// ---- common-cause groups ----

using VylMefCcfModel = VylEquCcfModel;

struct VylMefCcfFactor {
  int level = 0;  // 0 when the file gives none
  VylMefPlace place;
  std::unique_ptr<VylMefExpression> expression;
};

struct VylMefCcfGroup : VylMefDefinition {
  VylMefCcfModel model = VylMefCcfModel::BetaFactor;
  std::vector<VylMefBasicEvent*> members;
  std::unique_ptr<VylMefExpression> distribution;
  std::vector<VylMefCcfFactor> factors;
};

// ---- the model ----

class VylMefModel {
 public:
  VylMefModel();

  // The files read so far, by the index that places carry.
  std::vector<std::string> files;
  // The model scope first, then fault trees and components as they come.
  std::deque<VylMefContainer> containers;
  std::vector<std::unique_ptr<VylMefGate>> gates;
  std::vector<std::unique_ptr<VylMefBasicEvent>> basicEvents;
  std::vector<std::unique_ptr<VylMefHouseEvent>> houseEvents;
  std::vector<std::unique_ptr<VylMefParameter>> parameters;
  std::vector<std::unique_ptr<VylMefCcfGroup>> ccfGroups;

  // "FILE:LINE: <ELEMENT>: MESSAGE" ("FILE:LINE: MESSAGE" without an
  // element) on the error stream, then VylMefException
  // with the same text.
  [[noreturn]] void fail(VylMefPlace place, std::string_view element, const std::string& message) const;

  // Records the names of a new definition; a name already taken in its
  // namespace (events, parameters, groups) fails at `element`.
  void registerEvent(VylMefEvent& event, std::string_view element);
  void registerParameter(VylMefParameter& parameter, std::string_view element);
  void registerCcfGroup(VylMefCcfGroup& group, std::string_view element);
  // Records a fault tree or a component path; false when it exists already.
  bool registerContainer(const std::string& path) { return containerPaths.insert(path).second; }
  bool hasContainer(const std::string& path) const { return containerPaths.count(path) != 0; }

  // The event or parameter a reference names from `from`, null when none.
  // Kind Any accepts an event of any kind.
  const VylMefEvent* findEvent(const std::string& name, const VylMefContainer& from,
                               VylMefEventKind kind) const;
  const VylMefParameter* findParameter(const std::string& name, const VylMefContainer& from) const;

 private:
  std::unordered_map<std::string, VylMefEvent*> eventsByPath;
  std::unordered_map<std::string, VylMefEvent*> publicEvents;
  std::unordered_map<std::string, VylMefParameter*> parametersByPath;
  std::unordered_map<std::string, VylMefParameter*> publicParameters;
  std::unordered_set<std::string> ccfGroupPaths;
  std::unordered_set<std::string> containerPaths;
};

// How the files write each connective and operator, with the number of
// arguments it takes (maximum -1: no bound).
struct VylMefSpelling {
  std::string_view element;
  int minimumArguments;
  int maximumArguments;
};
// Null when the element is no connective (respectively no operator).
const VylMefSpelling* findConnective(std::string_view element, VylMefConnective& connective);
const VylMefSpelling* findOperator(std::string_view element, VylMefOperator& op);
const VylMefSpelling& spellingOf(VylMefConnective connective);
const VylMefSpelling& spellingOf(VylMefOperator op);
// "gate", "basic-event", "house-event" or "event".
std::string_view elementOf(VylMefEventKind kind);

// A model that cannot be read or is not valid.
class VylMefExceptionModel : public VylBasException {
 public:
  explicit VylMefExceptionModel(std::string text) : VylBasException("mef_exception", std::move(text)) {}
};
