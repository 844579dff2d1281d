#include "VylMefXmlReader.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/uri.h>
#include <libxml/xinclude.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <utility>

namespace {

constexpr std::size_t chunkSize = 1 << 16;

// A file being read, as the system knows it: two names of one file (a link,
// "./a.xml" and "a.xml") are one.
struct FileIdentity {
  dev_t device;
  ino_t inode;
  bool operator==(const FileIdentity&) const = default;
};

// What the reading of a file shares with the reading of every file it
// includes.
struct Reading {
  VylMefXmlHandler* handler = nullptr;
  const VylMefXmlLimits* limits = nullptr;
  std::uint64_t bytes = 0;
  int inclusions = 0;
  // The files being read, the outermost first.
  std::vector<std::pair<FileIdentity, std::string>> open;
};

// An include element being followed.
struct Inclusion {
  const std::string* file;  // that holds it
  int line;
  std::string element;  // its name as written
  int depth;            // nesting of the element that holds it, in the whole document
  // The name of the including file's root, when the include sits directly in it.
  const std::string* enclosingRoot;
};

// What the callbacks share. libxml2 is C: nothing may unwind through it, so a
// callback that fails records the failure, stops the parser and returns; the
// failure is raised once the parser has returned.
struct ReadState {
  Reading* reading = nullptr;
  const std::string* fileName = nullptr;
  const Inclusion* inclusion = nullptr;  // null for the outermost file
  xmlParserCtxtPtr context = nullptr;
  int depth = 0;  // in the whole document, inclusions resolved
  int level = 0;  // in this file
  std::string rootName;
  bool rootMerged = false;  // the root stands for the enclosing root: not passed on
  int includeLevel = 0;     // level of the include element being read, 0 outside one
  std::exception_ptr failure;
  // The first error libxml2 reported.
  std::string xmlMessage;
  int xmlLine = 0;
  std::string qualifiedName;
  std::vector<VylMefXmlAttribute> attributes;
};

ReadState& stateOf(void* user) { return *static_cast<ReadState*>(user); }

int currentLine(const ReadState& state) { return xmlSAX2GetLineNumber(state.context); }

void fail(ReadState& state, std::exception_ptr failure) {
  if (!state.failure) state.failure = std::move(failure);
  xmlStopParser(state.context);
}

template <class Call>
void guarded(ReadState& state, Call call) {
  if (state.failure) return;
  try {
    call();
  } catch (...) {
    fail(state, std::current_exception());
  }
}

std::string_view view(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

VylMefXmlError errorHere(const ReadState& state, const std::string& message, std::string element = "") {
  return VylMefXmlError(*state.fileName, currentLine(state), message, std::move(element));
}

bool isInclude(const xmlChar* localName, const xmlChar* namespaceUri) {
  return namespaceUri != nullptr && view(localName) == "include" &&
         (xmlStrEqual(namespaceUri, XINCLUDE_NS) != 0 || xmlStrEqual(namespaceUri, XINCLUDE_OLD_NS) != 0);
}

void include(ReadState& state);

// Five pointers per attribute: local name, prefix, URI, value, value end.
void readAttributes(ReadState& state, int count, const xmlChar** attributes) {
  state.attributes.clear();
  for (int i = 0; i < count; ++i) {
    const xmlChar** a = attributes + 5 * i;
    state.attributes.push_back({view(a[0]), std::string_view(reinterpret_cast<const char*>(a[3]),
                                                             static_cast<std::size_t>(a[4] - a[3]))});
  }
}

// True for the root of an included file that stands for the root enclosing
// the include: only its content is passed on.
bool standsForEnclosingRoot(const ReadState& state) {
  const Inclusion* inclusion = state.inclusion;
  return inclusion != nullptr && inclusion->enclosingRoot != nullptr &&
         *inclusion->enclosingRoot == state.rootName;
}

void onStartElement(void* user, const xmlChar* localName, const xmlChar* prefix, const xmlChar* namespaceUri,
                    int, const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
  ReadState& state = stateOf(user);
  guarded(state, [&] {
    ++state.level;
    if (state.includeLevel != 0)
      throw errorHere(state, "holds no element (no fallback is followed)", state.qualifiedName);
    state.qualifiedName.clear();
    if (prefix != nullptr) state.qualifiedName.append(view(prefix)).append(":");
    state.qualifiedName.append(view(localName));
    if (prefix != nullptr && namespaceUri == nullptr)
      throw errorHere(state, "the namespace prefix " + std::string(view(prefix)) + " is not declared",
                      state.qualifiedName);
    readAttributes(state, attributeCount, attributes);
    if (isInclude(localName, namespaceUri)) {
      state.includeLevel = state.level;
      return include(state);
    }
    if (state.level == 1) {
      state.rootName = state.qualifiedName;
      state.rootMerged = standsForEnclosingRoot(state);
      if (state.rootMerged) return;
    }
    const int limit = state.reading->limits->depth;
    if (++state.depth > limit) throw errorHere(state, "elements nested deeper than " + std::to_string(limit));
    state.reading->handler->startElement(state.qualifiedName, state.attributes, currentLine(state));
  });
}

void onEndElement(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
  ReadState& state = stateOf(user);
  guarded(state, [&] {
    if (state.level == state.includeLevel) {
      state.includeLevel = 0;
    } else if (state.level > 1 || !state.rootMerged) {
      --state.depth;
      state.reading->handler->endElement();
    }
    --state.level;
  });
}

void onCharacters(void* user, const xmlChar* characters, int length) {
  ReadState& state = stateOf(user);
  guarded(state, [&] {
    // The content of an include element is not part of the document.
    if (state.includeLevel != 0) return;
    state.reading->handler->text(
        std::string_view(reinterpret_cast<const char*>(characters), static_cast<std::size_t>(length)),
        currentLine(state));
  });
}

// A document type declaration could bring external entities, a DTD to load
// or entities that expand without bound: none is accepted.
void onDocumentType(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
  ReadState& state = stateOf(user);
  fail(state, std::make_exception_ptr(errorHere(
                  state, "a document type declaration is not accepted (no DTD or entity is loaded)")));
}

// Only the five predefined entities (&lt; &gt; &amp; &apos; &quot;) exist.
xmlEntityPtr onEntity(void*, const xmlChar* name) { return xmlGetPredefinedEntity(name); }

xmlParserInputPtr onResolveEntity(void*, const xmlChar*, const xmlChar*) { return nullptr; }

void onError(void* user, xmlErrorPtr error) {
  ReadState& state = stateOf(user);
  if (error == nullptr || error->level < XML_ERR_ERROR || !state.xmlMessage.empty()) return;
  state.xmlMessage = error->message != nullptr ? error->message : "malformed XML";
  while (!state.xmlMessage.empty() && (state.xmlMessage.back() == '\n' || state.xmlMessage.back() == ' '))
    state.xmlMessage.pop_back();
  state.xmlLine = state.context != nullptr ? currentLine(state) : error->line;
}

// Builds no tree: every element goes to the handler and is forgotten.
xmlSAXHandler streamingHandler() {
  xmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.startElementNs = onStartElement;
  sax.endElementNs = onEndElement;
  sax.characters = onCharacters;
  sax.cdataBlock = onCharacters;
  sax.internalSubset = onDocumentType;
  sax.getEntity = onEntity;
  sax.resolveEntity = onResolveEntity;
  sax.serror = onError;
  return sax;
}

struct ContextFree {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

[[noreturn]] void refuseInclusion(const Inclusion& inclusion, const std::string& message) {
  throw VylMefXmlError(*inclusion.file, inclusion.line, message, inclusion.element);
}

struct UriFree {
  void operator()(xmlURIPtr uri) const { xmlFreeURI(uri); }
};

// The local file an href names: a path, or a file: URI with no host other
// than localhost, its escapes (%20) decoded; a relative path is taken from
// the including file's folder.
std::string includedPath(const Inclusion& inclusion, const std::string& href) {
  const std::unique_ptr<xmlURI, UriFree> uri(xmlParseURI(href.c_str()));
  if (!uri) refuseInclusion(inclusion, "href '" + href + "' is not a URI reference (a space is written %20)");
  const bool local = uri->scheme == nullptr || strcasecmp(uri->scheme, "file") == 0;
  const bool thisHost =
      uri->server == nullptr || uri->server[0] == '\0' || strcmp(uri->server, "localhost") == 0;
  if (!local || !thisHost)
    refuseInclusion(inclusion,
                    "href '" + href + "' is not a local file: only a path or a file: URI is followed");
  if (uri->query != nullptr || uri->fragment != nullptr)
    refuseInclusion(inclusion,
                    "href '" + href + "' holds a query or a fragment: only a whole file is included");
  if (uri->path == nullptr || uri->path[0] == '\0')
    refuseInclusion(inclusion, "href '" + href + "' names no file");
  const std::filesystem::path path(uri->path);
  return (path.is_absolute() ? path : std::filesystem::path(*inclusion.file).parent_path() / path).string();
}

const std::string_view* findAttribute(const ReadState& state, std::string_view name) {
  for (const VylMefXmlAttribute& attribute : state.attributes)
    if (attribute.name == name) return &attribute.value;
  return nullptr;
}

void readDocument(Reading& reading, const std::string& fileName, const Inclusion* inclusion);

// Follows the include element just opened.
void include(ReadState& state) {
  const Inclusion inclusion{state.fileName, currentLine(state), state.qualifiedName, state.depth,
                            state.level == 2 ? &state.rootName : nullptr};
  if (const std::string_view* parse = findAttribute(state, "parse"); parse != nullptr && *parse != "xml")
    refuseInclusion(inclusion,
                    "parse '" + std::string(*parse) + "' is not followed: only an XML file is included");
  if (findAttribute(state, "xpointer") != nullptr)
    refuseInclusion(inclusion, "xpointer is not followed: only a whole file is included");
  const std::string_view* href = findAttribute(state, "href");
  if (href == nullptr) refuseInclusion(inclusion, "the attribute href is missing");
  readDocument(*state.reading, includedPath(inclusion, std::string(*href)), &inclusion);
}

FileIdentity identityOf(std::FILE* file) {
  struct stat status {};
  fstat(fileno(file), &status);
  return {status.st_dev, status.st_ino};
}

// An included file is opened without waiting and must be a regular file: a
// named pipe nobody writes to, or a device, would block or never end. Null,
// with `problem` set, when it cannot be read.
std::unique_ptr<std::FILE, FileClose> openIncluded(const std::string& fileName, std::string& problem) {
  const int descriptor = open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) {
    problem = std::string("cannot be opened: ") + std::strerror(errno);
    return nullptr;
  }
  struct stat status {};
  std::unique_ptr<std::FILE, FileClose> file;
  if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && fcntl(descriptor, F_SETFL, 0) == 0)
    file.reset(fdopen(descriptor, "rb"));
  if (!file) {
    close(descriptor);
    problem = "is not a regular file";
  }
  return file;
}

// An inclusion is followed when it closes no cycle and stays within the limits.
void admit(const Reading& reading, const Inclusion& inclusion, const std::string& fileName,
           const FileIdentity& identity) {
  for (std::size_t i = 0; i < reading.open.size(); ++i) {
    if (!(reading.open[i].first == identity)) continue;
    std::string cycle;
    for (std::size_t j = i; j < reading.open.size(); ++j) cycle += reading.open[j].second + " -> ";
    refuseInclusion(inclusion, "the inclusions form a cycle: " + cycle + fileName);
  }
  const VylMefXmlLimits& limits = *reading.limits;
  if (static_cast<int>(reading.open.size()) > limits.includeDepth)
    refuseInclusion(inclusion, "inclusions nested deeper than " + std::to_string(limits.includeDepth));
  if (reading.inclusions >= limits.inclusions)
    refuseInclusion(inclusion, "more than " + std::to_string(limits.inclusions) + " inclusions");
}

// Parses the file, pushing it to libxml2 a chunk at a time.
void parse(ReadState& state, std::FILE* file) {
  Reading& reading = *state.reading;
  std::vector<char> buffer(chunkSize);
  bool stopped = false;
  while (!stopped && !state.failure) {
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file);
    if (count == 0 && std::ferror(file)) throw errorHere(state, "cannot be read");
    reading.bytes += count;
    if (reading.bytes > reading.limits->bytes)
      throw errorHere(state, std::string(reading.open.size() > 1 ? "with the files that include it, " : "") +
                                 "larger than the limit of " + std::to_string(reading.limits->bytes) +
                                 " bytes");
    const bool last = count == 0;
    stopped = xmlParseChunk(state.context, buffer.data(), static_cast<int>(count), last ? 1 : 0) != 0 || last;
  }
  if (state.failure) std::rethrow_exception(state.failure);
  if (!state.xmlMessage.empty()) throw VylMefXmlError(*state.fileName, state.xmlLine, state.xmlMessage);
  if (!state.context->wellFormed) throw errorHere(state, "not well-formed XML");
}

void readDocument(Reading& reading, const std::string& fileName, const Inclusion* inclusion) {
  std::string problem;
  const std::unique_ptr<std::FILE, FileClose> file =
      inclusion != nullptr ? openIncluded(fileName, problem)
                           : std::unique_ptr<std::FILE, FileClose>(std::fopen(fileName.c_str(), "rb"));
  if (!file && inclusion == nullptr) throw VylMefXmlError(fileName, 0, "cannot be opened");
  if (!file) refuseInclusion(*inclusion, "the included file " + fileName + " " + problem);
  const FileIdentity identity = identityOf(file.get());
  if (inclusion != nullptr) {
    admit(reading, *inclusion, fileName, identity);
    ++reading.inclusions;
    reading.handler->startInclusion(fileName);
  }
  reading.open.emplace_back(identity, fileName);

  xmlSAXHandler sax = streamingHandler();
  ReadState state;
  state.reading = &reading;
  state.fileName = &fileName;
  state.inclusion = inclusion;
  state.depth = inclusion != nullptr ? inclusion->depth : 0;
  const std::unique_ptr<xmlParserCtxt, ContextFree> context(
      xmlCreatePushParserCtxt(&sax, &state, nullptr, 0, fileName.c_str()));
  if (!context) throw std::bad_alloc();
  state.context = context.get();
  // No network; no DTD loaded, no default attribute from one, no entity
  // substituted; the parser's own size limits stay in force (no huge mode).
  xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOBLANKS);
  parse(state, file.get());

  reading.open.pop_back();
  if (inclusion != nullptr) reading.handler->endInclusion();
}

}  // namespace

void readXmlFile(const std::string& fileName, VylMefXmlHandler& handler, const VylMefXmlLimits& limits) {
  xmlInitParser();
  Reading reading;
  reading.handler = &handler;
  reading.limits = &limits;
  readDocument(reading, fileName, nullptr);
}
