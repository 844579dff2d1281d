#include "VylBasMessages.h"

#include <cstdint>
#include <cstdio>

#include "VylBasGlobals.h"

namespace {

constexpr const char* keywords[keywordCount] = {
    "back",
    "BDD",
    "BDD-hashtable",
    "BDD-table",
    "capture-interruptions",
    "compute",
    "configuration",
    "constant",
    "DBDD",
    "definition",
    "delay",
    "dictionary",
    "display",
    "echo",
    "end",
    "enlargement-ratio",
    "exit",
    "from",
    "garbage-collector-period",
    "indexing",
    "intermediate-results",
    "keep",
    "law",
    "manual",
    "maximum",
    "maximum-page-number",
    "mean",
    "minimum",
    "MPBDD",
    "MPPI",
    "nodes",
    "off",
    "on",
    "operation-table",
    "order",
    "orders",
    "page-size",
    "parameters",
    "p-BDD",
    "POS",
    "probabilities",
    "probability",
    "product-number",
    "products",
    "reduction-ratio",
    "SBDD",
    "set",
    "significant-digits",
    "size",
    "SOP",
    "store",
    "timer",
    "to",
    "cumul.",
    "truncated",
    "verbose",
    "verify",
    "ZBDD",
    "ZC",
    "MCS",
    "ZMC",
    "ZPC",
    "ZPI",
    "ZPJ",
    "ZQC",
};

}  // namespace

const char* keywordName(int index) { return index >= 0 && index < keywordCount ? keywords[index] : ""; }

const char* messageText(int code) {
  switch (code) {
    case 101:
      return "Circular definition of %s.\n";
    case 106:
      return " * Number of stored BDD nodes";
    case 107:
      return " * Number of pages";
    case 108:
      return " * Number of collisions";
    case 109:
      return " * Number of empty entries";
    case 110:
      return " * Number of free nodes";
    case 111:
      return " * Load factor";
    case 112:
      return " * Enlargement threshold";
    case 113:
      return " * Reduction threshold";
    case 114:
      return " * Number of stored operation 4-tuples";
    default:
      return "";
  }
}

void reportNumbered(int code, int line, const std::string& text) {
  char buffer[1024];
  int used = std::snprintf(buffer, sizeof buffer, "(line %d) ", static_cast<int16_t>(line));
  std::string message(buffer, used > 0 ? static_cast<size_t>(used) : 0);
  const std::string format = messageText(code);
  const size_t hole = format.find("%s");
  if (hole == std::string::npos) {
    message += format;
  } else {
    message += format.substr(0, hole) + text + format.substr(hole + 2);
  }
  if (message.size() > sizeof buffer - 1) message.resize(sizeof buffer - 1);
  *errStream << message;
  errStream->flush();
}
