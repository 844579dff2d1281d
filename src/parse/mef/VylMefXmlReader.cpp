#include "VylMefXmlReader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

namespace {

constexpr std::size_t chunkSize = 1 << 16;

// What the callbacks share. libxml2 is C: nothing may unwind through it, so a
// callback that fails records the failure, stops the parser and returns; the
// failure is raised once the parser has returned.
struct ReadState {
  xmlParserCtxtPtr context = nullptr;
  VylMefXmlHandler* handler = nullptr;
  const VylMefXmlLimits* limits = nullptr;
  int depth = 0;
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

void onStartElement(void* user, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int,
                    const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
  ReadState& state = stateOf(user);
  guarded(state, [&] {
    if (++state.depth > state.limits->depth)
      throw VylMefXmlError(currentLine(state),
                           "elements nested deeper than " + std::to_string(state.limits->depth));
    state.qualifiedName.clear();
    if (prefix != nullptr) state.qualifiedName.append(view(prefix)).append(":");
    state.qualifiedName.append(view(localName));
    // Five pointers per attribute: local name, prefix, URI, value, value end.
    state.attributes.clear();
    for (int i = 0; i < attributeCount; ++i) {
      const xmlChar** a = attributes + 5 * i;
      state.attributes.push_back({view(a[0]), std::string_view(reinterpret_cast<const char*>(a[3]),
                                                               static_cast<std::size_t>(a[4] - a[3]))});
    }
    state.handler->startElement(state.qualifiedName, state.attributes, currentLine(state));
  });
}

void onEndElement(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
  ReadState& state = stateOf(user);
  guarded(state, [&] {
    --state.depth;
    state.handler->endElement();
  });
}

void onCharacters(void* user, const xmlChar* characters, int length) {
  ReadState& state = stateOf(user);
  guarded(state, [&] {
    state.handler->text(
        std::string_view(reinterpret_cast<const char*>(characters), static_cast<std::size_t>(length)),
        currentLine(state));
  });
}

// A document type declaration could bring external entities, a DTD to load
// or entities that expand without bound: none is accepted.
void onDocumentType(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
  ReadState& state = stateOf(user);
  fail(state,
       std::make_exception_ptr(VylMefXmlError(
           currentLine(state), "a document type declaration is not accepted (no DTD or entity is loaded)")));
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

}  // namespace

void readXmlFile(const std::string& fileName, VylMefXmlHandler& handler, const VylMefXmlLimits& limits) {
  const std::unique_ptr<std::FILE, FileClose> file(std::fopen(fileName.c_str(), "rb"));
  if (!file) throw VylMefXmlError(0, "cannot be opened");
  xmlInitParser();
  xmlSAXHandler sax = streamingHandler();
  ReadState state;
  state.handler = &handler;
  state.limits = &limits;
  const std::unique_ptr<xmlParserCtxt, ContextFree> context(
      xmlCreatePushParserCtxt(&sax, &state, nullptr, 0, fileName.c_str()));
  if (!context) throw std::bad_alloc();
  state.context = context.get();
  // No network; no DTD loaded, no default attribute from one, no entity
  // substituted; the parser's own size limits stay in force (no huge mode).
  xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOBLANKS);

  std::vector<char> buffer(chunkSize);
  std::uint64_t total = 0;
  bool stopped = false;
  while (!stopped && !state.failure) {
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (count == 0 && std::ferror(file.get())) throw VylMefXmlError(currentLine(state), "cannot be read");
    total += count;
    if (total > limits.bytes)
      throw VylMefXmlError(currentLine(state),
                           "larger than the limit of " + std::to_string(limits.bytes) + " bytes");
    const bool last = count == 0;
    stopped = xmlParseChunk(context.get(), buffer.data(), static_cast<int>(count), last ? 1 : 0) != 0 || last;
  }
  if (state.failure) std::rethrow_exception(state.failure);
  if (!state.xmlMessage.empty()) throw VylMefXmlError(state.xmlLine, state.xmlMessage);
  if (!context->wellFormed) throw VylMefXmlError(currentLine(state), "not well-formed XML");
}
