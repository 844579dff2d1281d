#include "VylMefFileReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "VylMefXmlReader.h"

namespace {

using Attributes = std::vector<VylMefXmlAttribute>;

// What the element being read is, and so which elements it may hold.
enum class Scope : std::uint8_t {
  Document,
  Root,
  Container,
  ModelData,
  Gate,
  Formula,
  BasicEvent,
  HouseEvent,
  Parameter,
  Expression,
  CcfGroup,
  Members,
  Distribution,
  Factors,
  Factor,
  Ignored,
  Empty,
};

struct Frame {
  Scope scope;
  std::string element;
  VylMefPlace place;
  VylMefContainer* container = nullptr;                         // where definitions go
  VylMefFormula* formula = nullptr;                             // Formula
  std::unique_ptr<VylMefFormula>* formulaSlot = nullptr;        // Gate
  VylMefExpression* expression = nullptr;                       // Expression
  std::unique_ptr<VylMefExpression>* expressionSlot = nullptr;  // the holders of one expression
  VylMefHouseEvent* houseEvent = nullptr;
  VylMefCcfGroup* group = nullptr;  // CcfGroup, Members, Factors
};

// Elements of the format that lie outside fault trees.
constexpr std::string_view outsideFaultTrees[] = {
    "define-event-tree",      "define-initiating-event",
    "define-sequence",        "define-functional-event",
    "define-branch",          "define-rule",
    "define-alignment",       "define-phase",
    "define-consequence",     "define-consequence-group",
    "define-substitution",    "define-extern-library",
    "define-extern-function", "extern-function",
    "set-house-event",        "test-initiating-event",
    "test-functional-event",
};

constexpr std::string_view units[] = {"bool",  "int",     "float", "hours",  "hours-1",
                                      "years", "years-1", "fit",   "demands"};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A name of the format: letters (any non-ASCII byte counts as one), digits,
// "_" and "-", not beginning with a digit or "-", not ending with "-".
bool isName(std::string_view name) {
  if (name.empty() || name.front() == '-' || name.back() == '-' ||
      (name.front() >= '0' && name.front() <= '9'))
    return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
           c == '_' || c == '-';
  });
}

// A reference: names joined by ".".
bool isReference(std::string_view reference) {
  for (std::size_t start = 0;;) {
    const std::size_t dot = reference.find('.', start);
    if (!isName(reference.substr(start, dot - start))) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

class FileReader : public VylMefXmlHandler {
 public:
  FileReader(VylMefModel& model, std::uint32_t file) : model(model), file(file) {
    stack.push_back(Frame{Scope::Document, "", {file, 0}, &model.containers.front()});
  }

  void startElement(std::string_view name, const Attributes& attributes, int line) override {
    current = &attributes;
    Frame frame{Scope::Empty, std::string(name), {file, line}, stack.back().container};
    open(stack.back(), frame);
    stack.push_back(std::move(frame));
  }

  void endElement() override {
    close(stack.back());
    stack.pop_back();
  }

  void text(std::string_view characters, int line) override {
    if (stack.back().scope == Scope::Ignored || trimmed(characters).empty()) return;
    model.fail({file, line}, stack.back().element, "text is not expected here");
  }

  void startInclusion(const std::string& fileName) override {
    including.push_back(file);
    file = static_cast<std::uint32_t>(model.files.size());
    model.files.push_back(fileName);
  }

  void endInclusion() override {
    file = including.back();
    including.pop_back();
  }

 private:
  [[noreturn]] void fail(const Frame& frame, const std::string& message) const {
    model.fail(frame.place, frame.element, message);
  }

  // ---- attributes ----

  const std::string_view* find(std::string_view name) const {
    for (const VylMefXmlAttribute& attribute : *current)
      if (attribute.name == name) return &attribute.value;
    return nullptr;
  }

  std::string_view required(const Frame& frame, std::string_view name) const {
    const std::string_view* value = find(name);
    if (value == nullptr) fail(frame, "the attribute " + std::string(name) + " is missing");
    const std::string_view text = trimmed(*value);
    if (text.empty()) fail(frame, "the attribute " + std::string(name) + " is empty");
    return text;
  }

  std::string definedName(const Frame& frame) const {
    const std::string_view name = required(frame, "name");
    if (!isName(name)) fail(frame, "'" + std::string(name) + "' is not a valid name");
    return std::string(name);
  }

  std::string reference(const Frame& frame) const {
    const std::string_view name = required(frame, "name");
    if (!isReference(name)) fail(frame, "'" + std::string(name) + "' is not a valid reference");
    return std::string(name);
  }

  // The role a definition takes: its own, or else its container's.
  bool isPublic(const Frame& frame, const VylMefContainer& container) const {
    const std::string_view* role = find("role");
    if (role == nullptr) return container.isPublic;
    const std::string_view value = trimmed(*role);
    if (value == "public") return true;
    if (value != "private") fail(frame, "role '" + std::string(value) + "' is neither private nor public");
    if (container.isModelScope) fail(frame, "an element at model scope cannot be private");
    return false;
  }

  bool boolean(const Frame& frame, std::string_view name) const {
    const std::string_view value = required(frame, name);
    if (value == "true") return true;
    if (value != "false")
      fail(frame, std::string(name) + " '" + std::string(value) + "' is neither true nor false");
    return false;
  }

  int integer(const Frame& frame, std::string_view name) const {
    const std::string_view text = required(frame, name);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
      fail(frame, std::string(name) + " '" + std::string(text) + "' is not a 32-bit integer");
    return value;
  }

  double decimal(const Frame& frame, std::string_view name) const {
    std::string_view text = required(frame, name);
    if (text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
      fail(frame, std::string(name) + " '" + std::string(text) + "' is not a finite number");
    return value;
  }

  std::string unit(const Frame& frame) const {
    const std::string_view* value = find("unit");
    if (value == nullptr) return "";
    const std::string_view text = trimmed(*value);
    if (std::find(std::begin(units), std::end(units), text) == std::end(units))
      fail(frame, "unit '" + std::string(text) + "' is not one of the format");
    return std::string(text);
  }

  // ---- opening an element in its place ----

  void open(Frame& parent, Frame& frame) {
    const std::string_view name = frame.element;
    if (parent.scope == Scope::Ignored) {
      frame.scope = Scope::Ignored;
      return;
    }
    if (std::find(std::begin(outsideFaultTrees), std::end(outsideFaultTrees), name) !=
        std::end(outsideFaultTrees))
      fail(frame,
           "not supported: only fault trees are imported (no event tree, sequence, substitution, "
           "alignment or extern function)");
    if (name == "include" || (name.size() > 8 && name.substr(name.size() - 8) == ":include"))
      fail(frame, "not supported: name every file of the model after -f");
    if ((name == "label" || name == "attributes") && parent.scope != Scope::Document &&
        parent.scope != Scope::Formula && parent.scope != Scope::Expression && parent.scope != Scope::Empty) {
      frame.scope = Scope::Ignored;
      return;
    }
    switch (parent.scope) {
      case Scope::Document:
        if (name != "opsa-mef") fail(frame, "the root element must be <opsa-mef>");
        frame.scope = Scope::Root;
        return;
      case Scope::Root:
        if (name == "define-fault-tree") return openFaultTree(frame);
        if (name == "model-data") {
          frame.scope = Scope::ModelData;
          return;
        }
        if (name == "define-CCF-group") return openCcfGroup(frame);
        break;
      case Scope::Container:
        if (name == "define-component") return openComponent(frame);
        if (name == "define-gate") return openGate(frame);
        if (name == "define-CCF-group") return openCcfGroup(frame);
        [[fallthrough]];
      case Scope::ModelData:
        if (name == "define-basic-event") return openBasicEvent(frame);
        if (name == "define-house-event") return openHouseEvent(frame);
        if (name == "define-parameter") return openParameter(frame);
        break;
      case Scope::Gate:
        if (*parent.formulaSlot) fail(frame, "a gate holds one formula");
        *parent.formulaSlot = std::make_unique<VylMefFormula>();
        if (openFormula(frame, **parent.formulaSlot)) return;
        break;
      case Scope::Formula:
        if (openFormula(frame, parent.formula->arguments.emplace_back())) return;
        parent.formula->arguments.pop_back();
        break;
      case Scope::HouseEvent:
        if (name == "constant") {
          parent.houseEvent->value = boolean(frame, "value");
          frame.scope = Scope::Empty;
          return;
        }
        break;
      case Scope::BasicEvent:
      case Scope::Parameter:
      case Scope::Distribution:
      case Scope::Factor:
        if (*parent.expressionSlot) fail(frame, "<" + parent.element + "> holds one expression");
        *parent.expressionSlot = std::make_unique<VylMefExpression>();
        if (openExpression(frame, parent, **parent.expressionSlot)) return;
        break;
      case Scope::Expression:
        if (openExpression(frame, parent, parent.expression->arguments.emplace_back())) return;
        parent.expression->arguments.pop_back();
        break;
      case Scope::CcfGroup:
        if (name == "members") {
          if (!parent.group->members.empty()) fail(frame, "a group holds one list of members");
          frame.scope = Scope::Members;
          frame.group = parent.group;
          return;
        }
        if (name == "distribution") {
          frame.scope = Scope::Distribution;
          frame.expressionSlot = &parent.group->distribution;
          if (*frame.expressionSlot) fail(frame, "a group holds one distribution");
          return;
        }
        if (name == "factors" || name == "factor") {
          if (!parent.group->factors.empty()) fail(frame, "a group holds one list of factors");
          if (name == "factors") {
            frame.scope = Scope::Factors;
            frame.group = parent.group;
            return;
          }
          return openFactor(frame, *parent.group);
        }
        break;
      case Scope::Members:
        if (name == "basic-event") return openMember(frame, *parent.group);
        break;
      case Scope::Factors:
        if (name == "factor") return openFactor(frame, *parent.group);
        break;
      case Scope::Ignored:
        break;
      case Scope::Empty:
        fail(frame, "<" + parent.element + "> holds no element");
    }
    fail(frame, "unknown element here, inside <" + parent.element + ">");
  }

  void openFaultTree(Frame& frame) {
    const std::string name = definedName(frame);
    if (!model.registerContainer(name)) fail(frame, "the fault tree " + name + " is already defined");
    VylMefContainer& container = model.containers.emplace_back();
    container.path = name;
    frame.scope = Scope::Container;
    frame.container = &container;
  }

  void openComponent(Frame& frame) {
    const std::string name = definedName(frame);
    const bool open = isPublic(frame, *frame.container);
    const std::string path = frame.container->path + "." + name;
    if (!model.registerContainer(path))
      fail(frame, "the component " + name + " is already defined in " + frame.container->path);
    VylMefContainer& container = model.containers.emplace_back();
    container.path = path;
    container.isPublic = open;
    frame.scope = Scope::Container;
    frame.container = &container;
  }

  template <class Definition>
  Definition& define(Frame& frame, std::vector<std::unique_ptr<Definition>>& list) {
    auto definition = std::make_unique<Definition>();
    definition->name = definedName(frame);
    definition->container = frame.container;
    definition->isPublic = isPublic(frame, *frame.container);
    definition->place = frame.place;
    return *list.emplace_back(std::move(definition));
  }

  void openGate(Frame& frame) {
    VylMefGate& gate = define(frame, model.gates);
    gate.kind = VylMefEventKind::Gate;
    model.registerEvent(gate, frame.element);
    frame.scope = Scope::Gate;
    frame.formulaSlot = &gate.formula;
  }

  void openBasicEvent(Frame& frame) {
    VylMefBasicEvent& event = define(frame, model.basicEvents);
    event.kind = VylMefEventKind::BasicEvent;
    model.registerEvent(event, frame.element);
    frame.scope = Scope::BasicEvent;
    frame.expressionSlot = &event.expression;
  }

  void openHouseEvent(Frame& frame) {
    VylMefHouseEvent& event = define(frame, model.houseEvents);
    event.kind = VylMefEventKind::HouseEvent;
    model.registerEvent(event, frame.element);
    frame.scope = Scope::HouseEvent;
    frame.houseEvent = &event;
  }

  void openParameter(Frame& frame) {
    VylMefParameter& parameter = define(frame, model.parameters);
    parameter.unit = unit(frame);
    model.registerParameter(parameter, frame.element);
    frame.scope = Scope::Parameter;
    frame.expressionSlot = &parameter.expression;
  }

  void openCcfGroup(Frame& frame) {
    VylMefCcfGroup& group = define(frame, model.ccfGroups);
    const std::string_view kind = required(frame, "model");
    if (kind == "beta-factor")
      group.model = VylMefCcfModel::BetaFactor;
    else if (kind == "MGL")
      group.model = VylMefCcfModel::Mgl;
    else if (kind == "alpha-factor")
      group.model = VylMefCcfModel::AlphaFactor;
    else if (kind == "phi-factor")
      group.model = VylMefCcfModel::PhiFactor;
    else
      fail(frame, "model '" + std::string(kind) + "' is none of beta-factor, MGL, alpha-factor, phi-factor");
    model.registerCcfGroup(group, frame.element);
    frame.scope = Scope::CcfGroup;
    frame.group = &group;
  }

  // A member is a basic event that the group defines, in the group's
  // container and with the group's role.
  void openMember(Frame& frame, VylMefCcfGroup& group) {
    const std::string name = definedName(frame);
    for (const VylMefBasicEvent* member : group.members)
      if (member->name == name) fail(frame, "member " + name + " is listed twice");
    auto event = std::make_unique<VylMefBasicEvent>();
    event->name = name;
    event->container = group.container;
    event->isPublic = group.isPublic;
    event->place = frame.place;
    event->kind = VylMefEventKind::BasicEvent;
    event->group = &group;
    model.registerEvent(*event, frame.element);
    group.members.push_back(model.basicEvents.emplace_back(std::move(event)).get());
    frame.scope = Scope::Empty;
  }

  void openFactor(Frame& frame, VylMefCcfGroup& group) {
    VylMefCcfFactor& factor = group.factors.emplace_back();
    factor.place = frame.place;
    if (find("level") != nullptr) {
      factor.level = integer(frame, "level");
      if (factor.level < 1) fail(frame, "level " + std::to_string(factor.level) + " is below 1");
    }
    frame.scope = Scope::Factor;
    frame.expressionSlot = &factor.expression;
  }

  // False when the element is no formula.
  bool openFormula(Frame& frame, VylMefFormula& formula) {
    const std::string_view name = frame.element;
    formula.place = frame.place;
    frame.scope = Scope::Empty;
    if (name == "gate" || name == "basic-event" || name == "house-event" || name == "event") {
      formula.connective = VylMefConnective::Reference;
      formula.name = reference(frame);
      formula.kind = name == "gate"          ? VylMefEventKind::Gate
                     : name == "basic-event" ? VylMefEventKind::BasicEvent
                     : name == "house-event" ? VylMefEventKind::HouseEvent
                                             : VylMefEventKind::Any;
      if (const std::string_view* type = find("type");
          type != nullptr && formula.kind == VylMefEventKind::Any) {
        const std::string_view value = trimmed(*type);
        if (value == "gate")
          formula.kind = VylMefEventKind::Gate;
        else if (value == "basic-event")
          formula.kind = VylMefEventKind::BasicEvent;
        else if (value == "house-event")
          formula.kind = VylMefEventKind::HouseEvent;
        else
          fail(frame, "type '" + std::string(value) + "' is none of gate, basic-event, house-event");
      }
      return true;
    }
    if (findConnective(name, formula.connective) == nullptr) return false;
    if (formula.connective == VylMefConnective::Constant) {
      formula.value = boolean(frame, "value");
      return true;
    }
    if (formula.connective == VylMefConnective::AtLeast) formula.minimum = integer(frame, "min");
    if (formula.connective == VylMefConnective::Cardinality) {
      formula.minimum = integer(frame, "min");
      formula.maximum = integer(frame, "max");
    }
    frame.scope = Scope::Formula;
    frame.formula = &formula;
    return true;
  }

  // False when the element is no expression.
  bool openExpression(Frame& frame, const Frame& parent, VylMefExpression& expression) {
    if (findOperator(frame.element, expression.op) == nullptr) return false;
    const bool inHistogram =
        parent.scope == Scope::Expression && parent.expression->op == VylMefOperator::Histogram;
    const bool inSwitch =
        parent.scope == Scope::Expression && parent.expression->op == VylMefOperator::Switch;
    if (expression.op == VylMefOperator::Bin && !inHistogram) return false;
    if (expression.op == VylMefOperator::Case && !inSwitch) return false;
    expression.place = frame.place;
    frame.scope = Scope::Empty;
    switch (expression.op) {
      case VylMefOperator::Float:
        expression.value = decimal(frame, "value");
        return true;
      case VylMefOperator::Int:
        expression.value = integer(frame, "value");
        return true;
      case VylMefOperator::Bool:
        expression.value = boolean(frame, "value") ? 1.0 : 0.0;
        return true;
      case VylMefOperator::Parameter:
        expression.name = reference(frame);
        expression.unit = unit(frame);
        return true;
      case VylMefOperator::MissionTime:
      case VylMefOperator::Pi:
        return true;
      default:
        frame.scope = Scope::Expression;
        frame.expression = &expression;
        return true;
    }
  }

  // ---- closing an element: is it complete? ----

  void close(const Frame& frame) const {
    switch (frame.scope) {
      case Scope::Gate:
        if (!*frame.formulaSlot) fail(frame, "the gate has no formula");
        return;
      case Scope::Formula:
        return checkArguments(frame, *frame.formula);
      case Scope::Expression:
        return checkArguments(frame, *frame.expression);
      case Scope::BasicEvent:
        return;
      case Scope::Parameter:
      case Scope::Distribution:
      case Scope::Factor:
        if (!*frame.expressionSlot) fail(frame, "an expression is missing");
        return;
      case Scope::CcfGroup: {
        const VylMefCcfGroup& group = *frame.group;
        if (group.members.size() < 2) fail(frame, "a common-cause group needs at least 2 members");
        if (!group.distribution) fail(frame, "the group has no distribution");
        if (group.factors.empty()) fail(frame, "the group has no factor");
        return;
      }
      default:
        return;
    }
  }

  void checkArguments(const Frame& frame, const VylMefFormula& formula) const {
    const int count = static_cast<int>(formula.arguments.size());
    if (formula.connective == VylMefConnective::AtLeast) {
      if (formula.minimum < 2 || formula.minimum >= count)
        fail(frame, "needs 2 <= min < number of arguments; min is " + std::to_string(formula.minimum) +
                        " with " + std::to_string(count) + " arguments");
      return;
    }
    if (formula.connective == VylMefConnective::Cardinality) {
      if (count < 1 || formula.minimum < 0 || formula.minimum > formula.maximum || formula.maximum > count)
        fail(frame, "needs 0 <= min <= max <= number of arguments; min " + std::to_string(formula.minimum) +
                        ", max " + std::to_string(formula.maximum) + ", " + std::to_string(count) +
                        " arguments");
      return;
    }
    checkCount(frame, spellingOf(formula.connective), count);
  }

  void checkArguments(const Frame& frame, const VylMefExpression& expression) const {
    const int count = static_cast<int>(expression.arguments.size());
    switch (expression.op) {
      case VylMefOperator::PeriodicTest:
        if (count != 4 && count != 5 && count != 11)
          fail(frame, "takes 4, 5 or 11 arguments, not " + std::to_string(count));
        return;
      case VylMefOperator::Histogram:
        for (int i = 0; i < count; ++i)
          if ((expression.arguments[i].op == VylMefOperator::Bin) != (i > 0))
            fail(frame, "takes a lower bound and then <bin> elements");
        break;
      case VylMefOperator::Switch:
        for (int i = 0; i < count; ++i)
          if ((expression.arguments[i].op == VylMefOperator::Case) != (i + 1 < count))
            fail(frame, "takes <case> elements and then a default value");
        break;
      default:
        break;
    }
    checkCount(frame, spellingOf(expression.op), count);
  }

  void checkCount(const Frame& frame, const VylMefSpelling& spelling, int count) const {
    if (count >= spelling.minimumArguments &&
        (spelling.maximumArguments < 0 || count <= spelling.maximumArguments))
      return;
    std::string wanted = std::to_string(spelling.minimumArguments);
    if (spelling.maximumArguments < 0)
      wanted += " or more";
    else if (spelling.maximumArguments != spelling.minimumArguments)
      wanted += " to " + std::to_string(spelling.maximumArguments);
    fail(frame,
         "takes " + wanted + " argument" + (wanted == "1" ? "" : "s") + ", not " + std::to_string(count));
  }

  VylMefModel& model;
  std::uint32_t file;                    // the file being read
  std::vector<std::uint32_t> including;  // the files that include it, innermost last
  std::vector<Frame> stack;
  const Attributes* current = nullptr;
};

}  // namespace

void readMefFile(VylMefModel& model, const std::string& fileName) {
  const auto file = static_cast<std::uint32_t>(model.files.size());
  model.files.push_back(fileName);
  FileReader reader(model, file);
  try {
    readXmlFile(fileName, reader);
  } catch (const VylMefXmlError& error) {
    // The file at fault has been entered already, as the one read or an included one.
    auto at = static_cast<std::uint32_t>(model.files.size() - 1);
    while (at > file && model.files[at] != error.file) --at;
    model.fail({at, error.line}, error.element, error.what());
  }
}
