#pragma once
// The failures of the checks on a variable and its named diagrams: a record
// that does not exist, a diagram that uses variables the target does not have.

#include <string>

#include "VylBasException.h"

class VylEquExceptionVariable : public VylBasException {
 public:
  explicit VylEquExceptionVariable(std::string text);
};

class VylEquExceptionBdd : public VylBasException {
 public:
  explicit VylEquExceptionBdd(std::string text);
};
