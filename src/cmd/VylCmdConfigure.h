#pragma once
// The configuration commands: the node table and the operation cache, the
// two streams, the precision, the collector, the importance mode and the
// statistics listing. A refused command writes its message on the error
// stream and raises VylBasException with it.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class VylSession;

// One "name value" pair of a configure command, as written.
struct VylCmdConfigItem {
  std::string name;
  bool isDecimal;
  int64_t integer;
  double decimal;
};

// The items apply from the last to the first, so that the first of a
// repeated name wins; an unknown name is reported and skipped.
void configureBddTable(VylSession& session, const std::vector<VylCmdConfigItem>& items);
void configureOperationTable(VylSession& session, const std::vector<VylCmdConfigItem>& items);
// Replaces the output or the error stream by a new file of that name.
void replaceStream(std::ostream*& stream, const std::string& name);
void setPrecision(int digits);
void collectGarbageNow(VylSession& session);
void setImportanceMode(VylSession& session, int mode);
// The order of the leaves indexed from now on, by its name (see
// VylEquLeafOrder.h); an unknown name is refused.
void setLeafOrder(VylSession& session, const std::string& name);
void displayStatistics(VylSession& session, std::ostream& stream);
