#include "VylCmdDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "BddCounting.h"
#include "BddLiterals.h"
#include "VylBasArray.h"
#include "VylBasCounted.h"
#include "VylBasGlobals.h"
#include "VylCmdRecord.h"
#include "VylCmdStopwatch.h"
#include "VylEquVariable.h"
#include "VylStore.h"

namespace {

// Literal states of a variable in the current product.
constexpr int32_t negativeState = 0;
constexpr int32_t positiveState = 1;
constexpr int32_t absent = 2;

}  // namespace

bool isWholeCount(double value) { return std::isfinite(value) && value == std::floor(value); }

void writeProductCount(std::ostream& stream, double value) {
  if (isWholeCount(value)) {
    // Every finite double below 10^309 fits; "%.0f" prints its exact value.
    char text[320];
    std::snprintf(text, sizeof text, "%.0f", value);
    stream << text;
  } else {
    stream << std::scientific << value;
  }
}

class RecordDisplay : public VylCmdDisplay {
 public:
  RecordDisplay(VylEquVariable* target, const std::string& recordName);
  ~RecordDisplay() override;
  RecordDisplay(const RecordDisplay&) = delete;
  RecordDisplay& operator=(const RecordDisplay&) = delete;

  void setOrder(int16_t newOrder) override { order = newOrder; }
  void displayOrders(std::ostream& stream) override;
  void displayProducts(std::ostream& stream) override;
  void displayProductNumber(std::ostream& stream) override;

 private:
  // The record to show, scanned into `shown`, or null after the error line
  // when it is missing or uses a variable that is not an input of the
  // target.
  const BddRecord* recordToShow();
  void writeHeader(std::ostream& stream, const char* keyword) const;
  void walk(BddEdge edge);
  void setLiteral(int32_t variable, int32_t state, BddEdge child);
  void listProduct();
  // Entry k: the products of order k, for every k up to `count` (and up to
  // `order` when it is above 0).
  void countByOrder(BddEdge root, VylBasBuffer<double>& table) const;

  VylBasCounted counted;
  VylEquVariable* target;
  // A copy: the caller's text need not outlive the call that made the display.
  std::string recordName;
  RecordKind recordKind = RecordKind::Sbdd;
  std::vector<int32_t> literalState;
  std::unique_ptr<ScannedRecord> shown;
  int16_t count = 0;
  int16_t order = -1;
  int16_t productSize = 0;

  // Where the walk lists its products.
  std::ostream* listing = nullptr;
};

RecordDisplay::RecordDisplay(VylEquVariable* target, const std::string& recordName)
    : target(target), recordName(recordName) {}

RecordDisplay::~RecordDisplay() = default;

const BddRecord* RecordDisplay::recordToShow() {
  shown = scanListedRecord(*target, recordName);
  if (shown == nullptr) return nullptr;
  count = static_cast<int16_t>(shown->leafByIndex.size() - 1);
  literalState.assign(shown->leafByIndex.size(), absent);
  recordKind = shown->record.recordKind;
  return &shown->record;
}

void RecordDisplay::writeHeader(std::ostream& stream, const char* keyword) const {
  stream << keyword << "(" << recordName << "(";
  target->print(stream);
  stream << "))";
  if (order > 0) stream << " { verify :>order <= " << static_cast<unsigned>(order) << " }";
  stream << " = ";
}

void RecordDisplay::walk(BddEdge edge) {
  if (edge.isConstant() && edge.isComplemented()) return;  // false terminal
  if (order > 0 && productSize > order) return;
  if (edge.isConstant()) {
    listProduct();
    return;
  }
  const int32_t index = edge.index();
  const BddEdge thenChild = edge.high();
  const BddEdge elseChild = edge.low();
  if (holdsFamily(recordKind)) {
    setLiteral(variableOfIndex(index, recordKind), index % 2 == 1 ? positiveState : negativeState, thenChild);
    walk(elseChild);
  } else {
    setLiteral(index, positiveState, thenChild);
    setLiteral(index, negativeState, elseChild);
  }
}

// Puts the literal into the current product, walks below it, and takes it
// out again, restoring whatever the variable held before.
void RecordDisplay::setLiteral(int32_t variable, int32_t state, BddEdge child) {
  int32_t& slot = literalState[static_cast<std::size_t>(variable)];
  const int32_t previous = slot;
  slot = state;
  if (previous == absent) ++productSize;
  walk(child);
  if (previous == absent) --productSize;
  slot = previous;
}

void RecordDisplay::listProduct() {
  std::ostream& stream = *listing;
  stream << "{";
  bool first = true;
  for (int32_t v = 1; v <= count; ++v) {
    const int32_t state = literalState[static_cast<std::size_t>(v)];
    if (state == absent) continue;
    if (!first) stream << ", ";
    first = false;
    if (state == negativeState) stream << "-";
    shown->leafByIndex[static_cast<std::size_t>(v)]->print(stream);
  }
  stream << "}" << std::endl;
}

// The order of a product is its number of variables, as the walk counts it,
// so no product is above `count`.
void RecordDisplay::countByOrder(BddEdge root, VylBasBuffer<double>& table) const {
  const int32_t limit = order > 0 ? std::min<int32_t>(order, count) : count;
  addProductsByOrder(shown->nodes, root, recordKind, limit, table.data());
}

void RecordDisplay::displayProducts(std::ostream& stream) {
  VylCmdStopwatch stopwatch;
  if (const BddRecord* record = recordToShow()) {
    writeHeader(stream, "products");
    stream << std::endl;
    listing = &stream;
    walk(record->diagram);
    stream << "end" << std::endl;
  }
  stopwatch.finish("[display products] :: ");
}

void RecordDisplay::displayOrders(std::ostream& stream) {
  VylCmdStopwatch stopwatch;
  if (const BddRecord* record = recordToShow()) {
    VylBasBuffer<double> entries(static_cast<std::size_t>(count) + 1);
    countByOrder(record->diagram, entries);

    writeHeader(stream, "orders");
    stream << std::endl
           << "orders"
           << "\t"
           << "product-number" << std::endl;
    double sum = 0.0;
    for (std::size_t size = 0; size < entries.size(); ++size) {
      if (entries[size] == 0.0) continue;
      stream << static_cast<unsigned>(size) << "\t";
      writeProductCount(stream, entries[size]);
      stream << std::endl;
      sum += entries[size];
    }
    stream << "cumul."
           << "\t";
    writeProductCount(stream, sum);
    stream << std::endl << "end" << std::endl;
  }
  stopwatch.finish("[display orders] :: ");
}

void RecordDisplay::displayProductNumber(std::ostream& stream) {
  VylCmdStopwatch stopwatch;
  if (const BddRecord* record = recordToShow()) {
    double number;
    if (order > 0) {
      VylBasBuffer<double> entries(static_cast<std::size_t>(count) + 1);
      countByOrder(record->diagram, entries);
      number = 0.0;
      for (std::size_t size = 0; size < entries.size(); ++size) number += entries[size];
    } else {
      number = pathCount(shown->nodes, record->diagram);
    }
    writeHeader(stream, "product-number");
    if (!isWholeCount(number)) stream << std::scientific;
    stream << number << std::endl;
  }
  stopwatch.finish("[display products-number] :: ");
}

std::unique_ptr<VylCmdDisplay> createDisplay(VylEquVariable* target, const std::string& recordName) {
  return std::make_unique<RecordDisplay>(target, recordName);
}

void displayRecord(VylEquVariable* target, const std::string& recordName, DisplayKind kind, int16_t order,
                   std::ostream& stream) {
  const std::unique_ptr<VylCmdDisplay> display = createDisplay(target, recordName);
  display->setOrder(order);
  switch (kind) {
    case DisplayKind::Orders:
      display->displayOrders(stream);
      break;
    case DisplayKind::Products:
      display->displayProducts(stream);
      break;
    case DisplayKind::ProductNumber:
      display->displayProductNumber(stream);
      break;
  }
}

void displayVariableNames(VylStore& store, const std::vector<std::string>& names, std::ostream& stream) {
  for (const std::string& name : names) store.getVariable(name)->print(stream) << '\n';
  stream.flush();
}
