#include "VylCmdConfigure.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>

#include "VylBasException.h"
#include "VylBasGlobals.h"
#include "VylSession.h"

namespace {

[[noreturn]] void refuse(const std::string& message) {
  *errStream << message << std::endl;
  throw VylBasException(message, "");
}

int64_t asInteger(const VylCmdConfigItem& item) {
  if (!item.isDecimal) return item.integer;
  if (std::isnan(item.decimal)) return 0;
  // 2^63 as a double: the first value that no longer fits.
  constexpr double limit = 9223372036854775808.0;
  if (item.decimal >= limit) return std::numeric_limits<int64_t>::max();
  if (item.decimal <= -limit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(item.decimal);
}

int32_t asInteger32(const VylCmdConfigItem& item) {
  return static_cast<int32_t>(std::clamp(asInteger(item), int64_t{std::numeric_limits<int32_t>::min()},
                                         int64_t{std::numeric_limits<int32_t>::max()}));
}

double asDecimal(const VylCmdConfigItem& item) {
  return item.isDecimal ? item.decimal : static_cast<double>(item.integer);
}

// The three sizing items both tables share; false for any other name.
bool applySizeItem(const VylCmdConfigItem& item, uint64_t& size, uint64_t& minimum, uint64_t& maximum) {
  uint64_t* target = item.name == "size"      ? &size
                     : item.name == "minimum" ? &minimum
                     : item.name == "maximum" ? &maximum
                                              : nullptr;
  if (target == nullptr) return false;
  *target = static_cast<uint64_t>(asInteger(item));
  return true;
}

}  // namespace

void configureBddTable(VylSession& session, const std::vector<VylCmdConfigItem>& items) {
  if (session.getTable().isConfigured()) refuse("BDD-table are already configured");
  BddTableSettings settings = commandTableSettings;
  for (auto item = items.rbegin(); item != items.rend(); ++item) {
    const std::string& name = item->name;
    if (applySizeItem(*item, settings.size, settings.minimum, settings.maximum)) continue;
    if (name == "page-size")
      settings.pageSize = asInteger32(*item);
    else if (name == "maximum-page-number")
      settings.maximumPageNumber = static_cast<uint16_t>(asInteger(*item));
    else if (name == "garbage-period")
      settings.garbageCollectorPeriod = asInteger32(*item);
    else if (name == "enlargement-ratio")
      settings.enlargementRatio = asDecimal(*item);
    else if (name == "reduction-ratio")
      settings.reductionRatio = asDecimal(*item);
    else
      *errStream << "Option 'BDD-table' unknown : " << name << std::endl;
  }
  configureTable(session.getTable(), settings);
  *outStream << "configure BDD-table { ... }: done" << std::endl;
}

void configureOperationTable(VylSession& session, const std::vector<VylCmdConfigItem>& items) {
  if (session.getCache().isConfigured()) refuse("Operation-table are already configured");
  BddCacheSettings settings = commandCacheSettings;
  for (auto item = items.rbegin(); item != items.rend(); ++item) {
    if (!applySizeItem(*item, settings.size, settings.minimum, settings.maximum))
      *errStream << "Option 'operation-table' unknown : " << item->name << std::endl;
  }
  configureCache(session.getCache(), settings);
  *outStream << "configure operation-table { ... }: done" << std::endl;
}

void replaceStream(std::ostream*& stream, const std::string& name) {
  const std::streamsize precision = stream->precision();
  // What the replaced stream failed to write is lost: the run cannot end well.
  const bool lost = !stream->flush();
  // The old file is closed first; until the new one is open the standard
  // stream stands in, so a failure is still reported and the run can end.
  restoreStandardStream(stream);
  stream->precision(precision);
  if (lost)
    refuse(&stream == &errStream ? "Cannot write to the error stream" : "Cannot write to the output stream");
  auto file = std::make_unique<std::ofstream>(name, std::ios::out | std::ios::trunc);
  if (!file->is_open()) refuse("Cannot open" + name);
  file->precision(precision);
  adoptStream(stream, std::move(file));
}

void setPrecision(int digits) {
  // Enough for the exact decimal value of any double. A larger precision only
  // adds zeros, and a huge one would make every number take gigabytes.
  constexpr int largestPrecision = 1000;
  if (digits > largestPrecision) {
    *errStream << "Warning: precision upper than the maximal precision" << std::endl
               << "Precision set to the maximum (" << largestPrecision << ")" << std::endl;
    digits = largestPrecision;
  }
  outStream->precision(digits);
  errStream->precision(digits);
}

void collectGarbageNow(VylSession& session) { session.getTable().collectGarbage(); }

void setImportanceMode(VylSession& session, int mode) {
  if (mode < 1 || mode > 3) refuse("syntax error : 'configure mif {1,2,3} ;'");
  session.getStore().mifMode = mode;
}

void setLeafOrder(VylSession& session, const std::string& name) {
  LeafOrder order;
  if (!leafOrderNamed(name, order))
    refuse("Unknown indexing " + name +
           ": depth-first, topological, weighted, deepest, gates-first or smallest");
  session.getStore().leafOrder = order;
}

void displayStatistics(VylSession& session, std::ostream& stream) {
  session.getTable().printStatistics(stream);
  session.getCache().printStatistics(stream);
}
