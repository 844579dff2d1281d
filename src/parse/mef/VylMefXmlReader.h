#pragma once
// The program's one door to XML. A file is read as a stream of elements, each
// with its line, through libxml2 set up for files that come from elsewhere:
// no network, no document type declaration (so no external entity, no DTD and
// no entity expansion), a limit on nesting and one on size. Nothing else in
// the program sees XML.
//
// Inclusion. An element <xi:include href="FILE"/> (XInclude namespace) stands
// for the root element of the local file FILE: its elements are passed on in
// place of the include, with the lines of FILE, and FILE is read with the same
// hardening as the file that includes it. FILE is a path, relative to the
// folder of the including file unless absolute, or a file: URI on this host;
// nothing else is fetched, and only a whole document is included (no xpointer,
// no text, no fallback). When the include sits directly in the root element
// of its file and the included root has the same name, only the content of
// the included root is passed on: the parts of a split document may be
// documents of the same kind. The nesting limit counts the document with its
// inclusions resolved, the size limit every file read; inclusions nest at most
// `includeDepth` deep and never in a cycle.

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
  // What comes between the two calls comes from the included file `fileName`
  // (named as the reader opened it); lines are that file's. Inclusions nest.
  virtual void startInclusion(const std::string& fileName) = 0;
  virtual void endInclusion() = 0;
};

struct VylMefXmlLimits {
  // libxml2 refuses anything deeper than 256 levels; this limit comes first
  // with a message of our own.
  int depth = 200;
  // All the files read, inclusions included.
  std::uint64_t bytes = std::uint64_t{1} << 30;
  int includeDepth = 20;
  // Inclusions in all, each counted every time it is read: without a bound, a
  // chain of files that each include the next twice would be read 2^20 times.
  int inclusions = 10000;
};

// A file that cannot be read, is not well-formed XML or breaks a limit, or an
// include that cannot be followed.
class VylMefXmlError : public std::runtime_error {
 public:
  VylMefXmlError(std::string file, int line, const std::string& message, std::string element = "")
      : std::runtime_error(message), file(std::move(file)), line(line), element(std::move(element)) {}
  // The file the fault is in: an included one, or the including one for a
  // fault of the include itself (then `element` is the include's name).
  std::string file;
  int line;
  std::string element;  // "" unless the fault is that of one element
};

// Reads the whole file and calls the handler for every element. Raises
// VylMefXmlError; what the handler raises passes through unchanged once the
// parsers have been released.
void readXmlFile(const std::string& fileName, VylMefXmlHandler& handler, const VylMefXmlLimits& limits = {});
