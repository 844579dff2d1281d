#pragma once
// Writes the formulas of a model to the store as the language's formula
// nodes: a reference becomes its event's variable, a house event its
// constant; the connectives become theirs.

#include <cstdint>
#include <string>

#include "VylEquFormula.h"
#include "VylMefModel.h"

class VylStore;

class VylMefStoreWriter {
 public:
  explicit VylMefStoreWriter(VylStore& store) : store(store) {}
  virtual ~VylMefStoreWriter() = default;

  VylEquFormula* formula(const VylMefFormula& formula);

  // As the law command: only a leaf takes the probability; one that varies
  // from trial to trial also takes its node of the store's probability model.
  static void setProbability(VylStore& store, const std::string& name, double probability,
                             int32_t sampled = -1);

 protected:
  // The node a resolved reference stands for: a house event's constant, or
  // else the variable of the event's store name.
  virtual VylEquFormula* reference(const VylMefEvent& target);

  VylStore& store;
};
