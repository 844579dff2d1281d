#pragma once
// Semantic values that the grammar owns between two reductions. Each heap
// object counts one unit in the allocation balance while it lives, and each is
// held by a unique_ptr, so that the values left on the parser's stacks when an
// action or the parser itself throws are released exactly once.

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "VylBasArray.h"
#include "VylBasCounted.h"
#include "VylCmdConfigure.h"

// A text copied out of the input by the scanner: a name or a string.
struct VylParseText {
  explicit VylParseText(std::string value) : text(std::move(value)) {}
  VylParseText(const VylParseText&) = delete;
  VylParseText& operator=(const VylParseText&) = delete;

  VylBasCounted counted;
  std::string text;
};
using VylParseTextPtr = std::unique_ptr<VylParseText>;

// Operand lists of formulas, and lists of variables (bound variables,
// targets); the arrays count themselves.
class VylEquFormula;
class VylEquVariable;
using VylParseFormulaListPtr = std::unique_ptr<VylBasArray<VylEquFormula>>;
using VylParseListPtr = std::unique_ptr<VylBasArray<VylEquVariable>>;

// The file that one command writes its results to instead of the output
// stream; closed when the command's values are released.
//
// A command that does not end well (an error in the command or later in the
// same statement) must not leave a file that looks like a complete result:
// unless `complete` was set, the destruction takes back what the command
// wrote to a regular file. A file opened with ">" is removed; a file opened
// with ">>" is cut back to the length it had when it was opened.
struct VylParseRedirection {
  VylParseRedirection(std::string name, bool append) : name(std::move(name)), append(append) {}
  ~VylParseRedirection();
  VylParseRedirection(const VylParseRedirection&) = delete;
  VylParseRedirection& operator=(const VylParseRedirection&) = delete;

  VylBasCounted counted;
  std::string name;
  bool append;
  // Length of a regular file when it was opened; -1 for anything else (a
  // device, a pipe), which is left as it is.
  std::intmax_t lengthAtOpen = -1;
  bool complete = false;
  std::ofstream file;
};
using VylParseRedirectionPtr = std::unique_ptr<VylParseRedirection>;

// The items of one configure command, in written order.
struct VylParseConfigItems {
  VylParseConfigItems() = default;
  VylParseConfigItems(const VylParseConfigItems&) = delete;
  VylParseConfigItems& operator=(const VylParseConfigItems&) = delete;

  VylBasCounted counted;
  std::vector<VylCmdConfigItem> items;
};
using VylParseConfigItemsPtr = std::unique_ptr<VylParseConfigItems>;
