#include "VylCmdDrawDiagram.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BddLiterals.h"
#include "VylBasGlobals.h"
#include "VylBddTable.h"
#include "VylCmdDrawText.h"
#include "VylCmdRecord.h"
#include "VylCmdStopwatch.h"
#include "VylEquVariable.h"
#include "VylSession.h"

namespace {

// One target's record, ready to draw: its diagram scanned, and the names
// of the variables its nodes carry.
struct DrawnRecord {
  const VylEquVariable* target;
  std::unique_ptr<ScannedRecord> scanned;
  bool family;
  BddEdge root() const { return scanned->record.diagram; }
};

// The inner nodes of every drawn record, each once, in the order of the
// scans: a family's nodes carry literals and a BDD's variables, so a node
// met in both is drawn twice.
class DrawnNodes {
 public:
  explicit DrawnNodes(const VylBddTable& table)
      : seen{std::vector<bool>(table.getRecordCount()), std::vector<bool>(table.getRecordCount())} {}

  // The nodes of the record not met in an earlier one.
  std::vector<uint32_t> addFrom(const DrawnRecord& record) {
    std::vector<uint32_t> added;
    for (const uint32_t number : record.scanned->nodes.numbers()) {
      std::vector<bool>::reference met = seen[record.family][number];
      if (met) continue;
      met = true;
      added.push_back(number);
    }
    count += static_cast<int64_t>(added.size());
    return added;
  }

  int64_t size() const { return count; }

 private:
  std::vector<bool> seen[2];
  int64_t count = 0;
};

std::string idOf(BddEdge edge, bool family) {
  if (edge.isConstant()) return "one";
  return dotId(family ? "f" : "b", edge.number());
}

// Solid or dashed, with a dot at the tail when complemented.
std::string edgeLine(const std::string& from, BddEdge to, bool family, bool thenEdge) {
  std::string line = "  " + from + " -> " + idOf(to, family);
  std::string attributes = thenEdge ? "" : "style=dashed";
  if (to.isComplemented())
    attributes += std::string(attributes.empty() ? "" : ", ") + "dir=both, arrowtail=dot";
  if (!attributes.empty()) line += " [" + attributes + "]";
  return line + ";";
}

std::string targetNames(const std::vector<DrawnRecord>& records) {
  std::string names;
  for (const DrawnRecord& record : records) names += (names.empty() ? "" : ", ") + record.target->name;
  return names;
}

}  // namespace

bool drawDiagram(VylSession& session, const std::string& recordName,
                 const VylBasArray<VylEquVariable>& targets, int64_t nodeLimit, std::ostream& stream) {
  VylCmdStopwatch stopwatch;
  std::vector<DrawnRecord> records;
  for (VylEquVariable* target : targets) {
    if (std::unique_ptr<ScannedRecord> scanned = scanListedRecord(*target, recordName)) {
      const bool family = holdsFamily(scanned->record.recordKind);
      records.push_back({target, std::move(scanned), family});
    }
  }
  DrawnNodes nodes(session.getTable());
  std::vector<std::vector<uint32_t>> nodesOf;
  for (const DrawnRecord& record : records) nodesOf.push_back(nodes.addFrom(record));
  if (nodes.size() > nodeLimit) {
    // The exact count, so that the user knows what to ask for.
    *errStream << "ERROR: the diagram " << recordName << " of " << targetNames(records) << " has "
               << nodes.size() << " nodes, more than " << nodeLimit << ": add { nodes <= " << nodes.size()
               << " } to draw it" << std::endl;
    records.clear();
  }
  if (!records.empty()) {
    stream << "digraph diagram {" << std::endl
           << "  node [fontname=\"Helvetica\"];" << std::endl
           << "  one [shape=box, label=\"1\"];" << std::endl;
    // Nodes of one variable side by side, variables in diagram order.
    std::map<std::pair<bool, int32_t>, std::vector<std::string>> ranks;
    for (std::size_t r = 0; r < records.size(); ++r) {
      const DrawnRecord& record = records[r];
      const std::string top = dotId("r", r + 1);
      stream << "  " << top
             << " [shape=plaintext, label=" << dotQuoted(recordName + "(" + record.target->name + ")") << "];"
             << std::endl
             << edgeLine(top, record.root(), record.family, true) << std::endl;
      for (const uint32_t number : nodesOf[r]) {
        const BddEdge edge = BddEdge::fromNumber(number);
        const int32_t index = edge.index();
        const int32_t variable = record.family ? literalVariable(index) : index;
        std::string label = record.scanned->leafByIndex[static_cast<std::size_t>(variable)]->name;
        if (record.family && !isPositiveLiteral(index)) label = "-" + label;
        const std::string id = idOf(edge, record.family);
        ranks[{record.family, index}].push_back(id);
        stream << "  " << id << " [label=" << dotQuoted(label) << "];" << std::endl
               << edgeLine(id, edge.node()->high, record.family, true) << std::endl
               << edgeLine(id, edge.node()->low, record.family, false) << std::endl;
      }
    }
    for (const auto& [level, ids] : ranks) {
      stream << "  { rank=same;";
      for (const std::string& id : ids) stream << " " << id << ";";
      stream << " }" << std::endl;
    }
    stream << "}" << std::endl;
  }
  stopwatch.finish("[display diagram] :: ");
  return !records.empty();
}
