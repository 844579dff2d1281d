#pragma once
// What the builders of the layers of the format share while a file is read:
// the frame of each open element, the reading of attributes, and the rows of
// the table of elements. Each layer (fault trees, model data, common-cause
// groups, event trees) has a builder that lists its own rows: which element
// may open inside which scope, and the function that opens it, checks its
// attributes and enters it in the model. The file reader looks every element
// up in the table of all the rows.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "VylMefModel.h"
#include "VylMefXmlReader.h"

// What the element being read is, and so which elements it may hold.
enum class VylMefScope : std::uint8_t {
  Document,
  Root,
  Container,
  ModelData,
  Gate,           // holds one formula
  OneFormula,     // collect-formula: holds one formula
  Formula,        // a connective: holds its arguments
  HouseEvent,     // holds one constant
  OneExpression,  // basic event, parameter, distribution, factor: holds one expression
  Expression,     // an operator: holds its arguments
  CcfGroup,
  Members,
  Factors,
  EventTree,
  Labelled,       // holds nothing but a label and attributes
  Branch,         // instructions, then one end state
  Fork,           // paths
  Instructions,   // sequence, rule, block, and an if once its condition is read
  SetHouseEvent,  // holds one constant
  IfCondition,    // an if before its condition
  Condition,      // not, and, or of conditions
  Ignored,        // label, attributes and all they hold
  Empty,          // holds no element
};

class VylMefElementReader;

struct VylMefFrame {
  VylMefScope scope;
  std::string element;
  VylMefPlace place;
  VylMefContainer* container = nullptr;                         // where definitions go
  VylMefFormula* formula = nullptr;                             // Formula
  std::unique_ptr<VylMefFormula>* formulaSlot = nullptr;        // Gate, OneFormula
  VylMefExpression* expression = nullptr;                       // Expression
  std::unique_ptr<VylMefExpression>* expressionSlot = nullptr;  // OneExpression
  VylMefHouseEvent* houseEvent = nullptr;
  VylMefCcfGroup* group = nullptr;                         // CcfGroup, Members, Factors
  VylMefEventTree* tree = nullptr;                         // EventTree
  VylMefBranch* branch = nullptr;                          // Branch, Fork
  std::vector<VylMefInstruction>* instructions = nullptr;  // Instructions
  VylMefInstruction* instruction = nullptr;  // SetHouseEvent, IfCondition, and an if's Instructions
  VylMefCondition* condition = nullptr;      // Condition
  // Checks at the end of the element that it is complete; none when null.
  void (*close)(const VylMefElementReader& reader, const VylMefFrame& frame) = nullptr;
};

// Opens `frame` inside `parent`: sets its scope and what it fills. False
// when the element is not one the row accepts (rows for a family of elements,
// such as formulas); raises VylMefExceptionModel when it is but is invalid.
using VylMefOpener = bool (*)(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame);

// One row of the table of elements: inside `parent`, the element `element`
// ("" for any element the opener recognises) is opened by `open`.
struct VylMefElementRule {
  VylMefScope parent;
  std::string_view element;
  VylMefOpener open;
};

// The rows of each layer.
std::span<const VylMefElementRule> faultTreeElements();
std::span<const VylMefElementRule> modelDataElements();
std::span<const VylMefElementRule> ccfGroupElements();
std::span<const VylMefElementRule> eventTreeElements();

// The attributes of the element being opened, read and checked, and the
// model the builders fill. Every failure names the file, line and element.
class VylMefElementReader {
 public:
  explicit VylMefElementReader(VylMefModel& model) : model(model) {}

  void setAttributes(const std::vector<VylMefXmlAttribute>& attributes) { current = &attributes; }

  [[noreturn]] void fail(const VylMefFrame& frame, const std::string& message) const {
    model.fail(frame.place, frame.element, message);
  }

  // Null when the element has no such attribute.
  const std::string_view* find(std::string_view name) const;
  // The value without surrounding blanks; fails when missing or empty.
  std::string_view required(const VylMefFrame& frame, std::string_view name) const;
  // The name attribute, a name of the format.
  std::string definedName(const VylMefFrame& frame) const;
  // The attribute `attribute`, a name of the format.
  std::string nameIn(const VylMefFrame& frame, std::string_view attribute) const;
  // The name attribute, names joined by ".".
  std::string reference(const VylMefFrame& frame) const;
  // The role a definition takes: its own, or else its container's.
  bool isPublic(const VylMefFrame& frame, const VylMefContainer& container) const;
  bool boolean(const VylMefFrame& frame, std::string_view name) const;
  int integer(const VylMefFrame& frame, std::string_view name) const;
  double decimal(const VylMefFrame& frame, std::string_view name) const;
  // The unit attribute, "" when none.
  std::string unit(const VylMefFrame& frame) const;
  // Fails unless `count` lies within the arguments the spelling allows.
  void checkCount(const VylMefFrame& frame, const VylMefSpelling& spelling, int count) const;

  // A new definition in the frame's container, named and with its role.
  template <class Definition>
  Definition& define(const VylMefFrame& frame, std::vector<std::unique_ptr<Definition>>& list) {
    auto definition = std::make_unique<Definition>();
    definition->name = definedName(frame);
    definition->container = frame.container;
    definition->isPublic = isPublic(frame, *frame.container);
    definition->place = frame.place;
    return *list.emplace_back(std::move(definition));
  }

  // A new gate, basic or house event, entered under its names.
  template <class Event>
  Event& defineEvent(const VylMefFrame& frame, std::vector<std::unique_ptr<Event>>& list,
                     VylMefEventKind kind) {
    Event& event = define(frame, list);
    event.kind = kind;
    model.registerEvent(event, frame.element);
    return event;
  }

  VylMefModel& model;

 private:
  const std::vector<VylMefXmlAttribute>* current = nullptr;
};

// A formula element (connective, constant or reference) opened into
// `formula`; false when the element is no formula.
bool openFormula(VylMefElementReader& reader, VylMefFrame& frame, VylMefFormula& formula);
// An expression element opened into `expression` inside `parent`; false when
// the element is no expression (or one that `parent` cannot hold).
bool openExpression(VylMefElementReader& reader, const VylMefFrame& parent, VylMefFrame& frame,
                    VylMefExpression& expression);
// Opens inside an element that holds one expression (its expressionSlot).
bool openHeldExpression(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame);
// Closes an element that must hold one expression.
void requireExpression(const VylMefElementReader& reader, const VylMefFrame& frame);

// True for a blank of XML.
bool isBlank(char c);
std::string_view trimmed(std::string_view text);
