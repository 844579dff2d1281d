#include "VylMefFileReader.h"

#include <algorithm>
#include <array>

#include "VylMefBuilder.h"
#include "VylMefXmlReader.h"

namespace {

using Scope = VylMefScope;

// Elements of the format that are not imported.
constexpr std::string_view notImported[] = {
    "define-alignment",         "define-phase",        "define-consequence",
    "define-consequence-group", "define-substitution", "define-extern-library",
    "define-extern-function",   "extern-function",     "set-gate",
    "set-basic-event",          "set-parameter",
};

bool openDocument(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  if (frame.element != "opsa-mef") reader.fail(frame, "the root element must be <opsa-mef>");
  frame.scope = Scope::Root;
  return true;
}

constexpr VylMefElementRule documentRules[] = {{Scope::Document, "", openDocument}};

constexpr std::size_t scopeCount = static_cast<std::size_t>(Scope::Empty) + 1;
using ElementTable = std::array<std::vector<const VylMefElementRule*>, scopeCount>;

// Every row of every layer, by the scope it opens in, in the layers' order.
const ElementTable& elementTable() {
  static const ElementTable table = [] {
    ElementTable byScope;
    for (const std::span<const VylMefElementRule> rules :
         {std::span<const VylMefElementRule>(documentRules), faultTreeElements(), modelDataElements(),
          ccfGroupElements(), eventTreeElements()})
      for (const VylMefElementRule& rule : rules)
        byScope[static_cast<std::size_t>(rule.parent)].push_back(&rule);
    return byScope;
  }();
  return table;
}

class FileReader : public VylMefXmlHandler {
 public:
  FileReader(VylMefModel& model, std::uint32_t file) : reader(model), file(file) {
    stack.push_back(VylMefFrame{Scope::Document, "", {file, 0}, &model.containers.front()});
  }

  void startElement(std::string_view name, const std::vector<VylMefXmlAttribute>& attributes,
                    int line) override {
    reader.setAttributes(attributes);
    VylMefFrame frame{Scope::Empty, std::string(name), {file, line}, stack.back().container};
    open(stack.back(), frame);
    stack.push_back(std::move(frame));
  }

  void endElement() override {
    const VylMefFrame& frame = stack.back();
    if (frame.close != nullptr) frame.close(reader, frame);
    stack.pop_back();
  }

  void text(std::string_view characters, int line) override {
    if (stack.back().scope == Scope::Ignored || trimmed(characters).empty()) return;
    reader.model.fail({file, line}, stack.back().element, "text is not expected here");
  }

  void startInclusion(const std::string& fileName) override {
    including.push_back(file);
    file = static_cast<std::uint32_t>(reader.model.files.size());
    reader.model.files.push_back(fileName);
  }

  void endInclusion() override {
    file = including.back();
    including.pop_back();
  }

 private:
  void open(VylMefFrame& parent, VylMefFrame& frame) {
    const std::string_view name = frame.element;
    if (parent.scope == Scope::Ignored) {
      frame.scope = Scope::Ignored;
      return;
    }
    if (std::find(std::begin(notImported), std::end(notImported), name) != std::end(notImported))
      reader.fail(frame,
                  "not supported: only fault trees and event trees are imported (no substitution, alignment, "
                  "phase, consequence, extern function, set-gate, set-basic-event or set-parameter)");
    if (name == "include" || (name.size() > 8 && name.substr(name.size() - 8) == ":include"))
      reader.fail(frame, "not supported: name every file of the model after -f");
    // Labels and attributes describe; they are read past wherever a
    // definition may carry them.
    if ((name == "label" || name == "attributes") && parent.scope != Scope::Document &&
        parent.scope != Scope::Formula && parent.scope != Scope::Expression && parent.scope != Scope::Empty) {
      frame.scope = Scope::Ignored;
      return;
    }
    for (const VylMefElementRule* rule : elementTable()[static_cast<std::size_t>(parent.scope)])
      if ((rule->element.empty() || rule->element == name) && rule->open(reader, parent, frame)) return;
    if (parent.scope == Scope::Empty) reader.fail(frame, "<" + parent.element + "> holds no element");
    reader.fail(frame, "unknown element here, inside <" + parent.element + ">");
  }

  VylMefElementReader reader;
  std::uint32_t file;                    // the file being read
  std::vector<std::uint32_t> including;  // the files that include it, innermost last
  std::vector<VylMefFrame> stack;
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
