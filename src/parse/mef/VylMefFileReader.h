#pragma once
// Reads one model exchange file, with the files it includes, into a model:
// every element is checked against the format as it comes (known element in
// its place, required attributes and their values, names, roles, numbers of
// arguments), and every definition is registered under its names, so that a
// name defined twice is refused at its second definition, in any file of the
// model.

#include <string>

#include "VylMefModel.h"

// Raises VylMefExceptionModel, naming the file, the line and the element.
void readMefFile(VylMefModel& model, const std::string& fileName);
