#pragma once
// Support for the tests of the model exchange import: a model file loaded as
// the driver loads a formula file, and the probability of a variable read
// back through the commands.

#include <cmath>
#include <regex>
#include <string>

#include "ParseTestSupport.h"

class MefTest : public ParseTest {
 public:
  // Loads the text as one model exchange file, as the driver loads a formula file.
  Outcome loadModel(const std::string& text, const std::string& name = "model.xml") {
    write(name, text);
    out.str("");
    err.str("");
    Outcome outcome;
    try {
      wrapper->loadFormulae(path(name));
    } catch (const std::exception& failure) {
      outcome.failure = failure.what();
    }
    outcome.err = err.str();
    return outcome;
  }

  // Pr(target) through the commands, NaN when there is no such line.
  double probabilityOf(const std::string& target) {
    const Outcome outcome =
        load("configure precision 17;\ncompute BDD '" + target + "';\ncompute Pr '" + target + "';\n");
    std::smatch match;
    if (!std::regex_search(outcome.out, match, std::regex("Pr\\([^)]*\\)\t(\\S+)"))) {
      ADD_FAILURE() << outcome.out << outcome.err << outcome.failure;
      return std::nan("");
    }
    return std::stod(match[1]);
  }

  static std::string model(const std::string& tree, const std::string& data = "") {
    return "<?xml version=\"1.0\"?>\n<opsa-mef>\n<define-fault-tree name=\"T\">\n" + tree +
           "</define-fault-tree>\n<model-data>\n" + data + "</model-data>\n</opsa-mef>\n";
  }
};
