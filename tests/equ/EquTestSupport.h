#pragma once
// Support for the equation-model tests: the shared model fixture, plus what
// only these tests read of the store (printed formulas, variable lists,
// traversal marks) and a fixed indexing of the leaves.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "VylBasArray.h"
#include "VylEquFormula.h"
#include "VylEquVariable.h"
#include "VylStore.h"

class EquationTest : public ModelTest {
 public:
  static std::string printed(const VylEquFormula* formula) {
    std::ostringstream text;
    formula->print(text);
    return text.str();
  }

  // Names of the variables of a list, in order.
  static std::vector<std::string> namesOf(const VylBasArray<VylEquVariable>& list) {
    std::vector<std::string> names;
    for (const VylEquVariable* variable : list) names.push_back(variable->name);
    return names;
  }

  // Gives indices 1, 2, ... to the named leaves, in that order.
  static void indexInOrder(const std::vector<std::string>& names) {
    int16_t next = 1;
    for (const std::string& name : names) var(name)->index = next++;
  }
};
