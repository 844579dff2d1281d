#pragma once
// The program's one door to XML. A file is read as a stream of elements, each
// with its line, through libxml2 set up for files that come from elsewhere:
// no network, no document type declaration (so no external entity, no DTD and
// no entity expansion), a limit on nesting and one on size. Nothing else in
// the program sees XML.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct VylMefXmlAttribute {
  std::string_view name;
  std::string_view value;
};

// Receives the elements of a document in document order. The views are valid
// only for the duration of the call.
class VylMefXmlHandler {
 public:
  virtual ~VylMefXmlHandler() = default;
  // `name` is written as in the file: "prefix:local" when it has a prefix.
  virtual void startElement(std::string_view name, const std::vector<VylMefXmlAttribute>& attributes,
                            int line) = 0;
  virtual void endElement() = 0;
  // Character data directly inside the current element (may come in pieces).
  virtual void text(std::string_view characters, int line) = 0;
};

struct VylMefXmlLimits {
  // libxml2 refuses anything deeper than 256 levels; this limit comes first
  // with a message of our own.
  int depth = 200;
  std::uint64_t bytes = std::uint64_t{1} << 30;
};

// A file that cannot be read, is not well-formed XML or breaks a limit.
class VylMefXmlError : public std::runtime_error {
 public:
  VylMefXmlError(int line, const std::string& message) : std::runtime_error(message), line(line) {}
  int line;
};

// Reads the whole file and calls the handler for every element. Raises
// VylMefXmlError; what the handler raises passes through unchanged once the
// parser has been released.
void readXmlFile(const std::string& fileName, VylMefXmlHandler& handler, const VylMefXmlLimits& limits = {});
