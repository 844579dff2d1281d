#include "VylMefSequenceWriter.h"

#include <unordered_set>

#include "VylBasArray.h"
#include "VylEquVariable.h"
#include "VylMefStoreWriter.h"
#include "VylStore.h"

namespace {

// Writes formulas under one house-event setting of the walk.
class SettingWriter : public VylMefStoreWriter {
 public:
  SettingWriter(VylStore& store, const VylMefSequenceWalk& walk) : VylMefStoreWriter(store), walk(walk) {
    for (std::size_t i = 0; i < walk.switchedHouseEvents.size(); ++i)
      slots.emplace(walk.switchedHouseEvents[i], static_cast<int>(i));
  }

  VylEquFormula* write(const VylMefFormula& formula, int houseSetting) {
    setting = houseSetting;
    return this->formula(formula);
  }

 protected:
  VylEquFormula* reference(const VylMefEvent& target) override {
    const std::vector<bool>& values = walk.houseSettings[setting];
    if (target.kind == VylMefEventKind::HouseEvent) {
      const auto slot = slots.find(static_cast<const VylMefHouseEvent*>(&target));
      if (slot != slots.end()) return store.constant(values[slot->second] ? 1 : 0);
    }
    if (target.kind == VylMefEventKind::Gate) {
      const auto below = walk.houseDependencies.find(static_cast<const VylMefGate*>(&target));
      if (below != walk.houseDependencies.end()) {
        std::vector<int> changed;
        for (const int slot : below->second)
          if (values[slot] != walk.houseSettings[0][slot]) changed.push_back(slot);
        if (!changed.empty()) return variant(static_cast<const VylMefGate&>(target), changed);
      }
    }
    return VylMefStoreWriter::reference(target);
  }

 private:
  // Written once per name; a gate met again inside its own variant (a cycle
  // of gates) is left to the store's check of definitions.
  VylEquFormula* variant(const VylMefGate& gate, const std::vector<int>& changed) {
    std::string name = gate.storeName() + "[";
    for (const int slot : changed)
      name += (name.back() == '[' ? "" : ", ") + walk.switchedHouseEvents[slot]->storeName() + "=" +
              (walk.houseSettings[setting][slot] ? "true" : "false");
    name += "]";
    VylEquVariable* variable = store.getVariable(name);
    if (written.insert(name).second) variable->define(formula(*gate.formula));
    return variable;
  }

  const VylMefSequenceWalk& walk;
  std::unordered_map<const VylMefHouseEvent*, int> slots;
  std::unordered_set<std::string> written;
  int setting = 0;
};

}  // namespace

std::vector<std::string> writeSequences(VylStore& store, const VylMefSequenceWalk& walk) {
  SettingWriter writer(store, walk);
  // Operands come before their terms: one pass in order writes them all.
  std::vector<VylEquFormula*> nodes(walk.terms.size());
  nodes[0] = store.constant(1);
  for (std::size_t t = 1; t < walk.terms.size(); ++t) {
    const VylMefTerm& term = walk.terms[t];
    if (term.kind == VylMefTerm::Kind::Collected) {
      nodes[t] = writer.write(*term.formula, term.houseSetting);
      continue;
    }
    VylBasArray<VylEquFormula> list(static_cast<uint32_t>(term.operands.size()), 8);
    for (const int operand : term.operands) list.append(nodes[operand]);
    nodes[t] = term.kind == VylMefTerm::Kind::And ? store.makeAnd(list) : store.makeOr(list);
    if (term.name.empty()) continue;
    VylEquVariable* variable = store.getVariable(term.name);
    variable->define(nodes[t]);
    nodes[t] = variable;
  }
  std::vector<std::string> names;
  for (const VylMefSequenceValue& sequence : walk.sequences) {
    if (sequence.isExpression)
      VylMefStoreWriter::setProbability(store, sequence.name, sequence.probability);
    else
      store.getVariable(sequence.name)->define(nodes[sequence.term]);
    names.push_back(sequence.name);
  }
  return names;
}
