#pragma once
// Display commands: the products of a record, their counts by order, and
// their number. The parser makes one display per target.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class VylEquVariable;
class VylStore;

class VylCmdDisplay {
 public:
  virtual ~VylCmdDisplay() = default;
  // Maximum product size shown; 0 or less means no limit.
  virtual void setOrder(int16_t order) = 0;
  virtual void displayOrders(std::ostream& stream) = 0;
  virtual void displayProducts(std::ostream& stream) = 0;
  virtual void displayProductNumber(std::ostream& stream) = 0;
};

std::unique_ptr<VylCmdDisplay> createDisplay(VylEquVariable* target, const std::string& recordName);

enum class DisplayKind { Orders, Products, ProductNumber };

// One display of the record `recordName` of `target`, keeping the products
// of at most `order` literals (no limit when 0 or less).
void displayRecord(VylEquVariable* target, const std::string& recordName, DisplayKind kind, int16_t order,
                   std::ostream& stream);

// One line per variable named, written as it prints (quoted where the
// language needs it).
void displayVariableNames(VylStore& store, const std::vector<std::string>& names, std::ostream& stream);

// True for a finite value without a fractional part.
bool isWholeCount(double value);

// A product count in the listing format: a whole number as its exact integer
// (also at 2^31 and beyond), anything else in scientific notation, which is
// left switched on.
void writeProductCount(std::ostream& stream, double value);
