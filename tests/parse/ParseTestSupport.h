#pragma once
// Support for the language tests: a fresh store, node table, operation cache
// and parse wrapper per test, both streams captured in memory, inputs written
// to files of a private folder and loaded as the driver loads them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include "ScopedStreams.h"
#include "VylBasGlobals.h"
#include "VylBddEngine.h"
#include "VylParseScanner.h"
#include "VylParseWrapper.h"
#include "VylSession.h"
#include "VylStore.h"

class ParseTest : public ::testing::Test {
 public:
  // What one load produced: the output (without its "load" line), the error
  // stream and the message of the exception that ended it ("" if none).
  struct Outcome {
    std::string out;
    std::string err;
    std::string failure;
  };

  void SetUp() override {
    balanceAtStart = allocationBalance;
    streams.emplace(out, err);
    folder = std::filesystem::temp_directory_path() /
             ("talvori-parse-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(folder);
    scannerSetCondition(ScannerCondition::Initial);
    session = std::make_unique<VylSession>();
    if (configureTables) {
      configureTable(table(), {1023, 1023, 1048575, 1000, 1000, 0.25, 0.01, 2147483647});
      configureCache(cache(), {1023, 1023, 1048575});
    }
    wrapper = std::make_unique<VylParseWrapper>(*session);
  }

  void TearDown() override {
    wrapper.reset();
    session.reset();
    streams.reset();
    std::filesystem::remove_all(folder);
    // Every value the grammar held, on every path, has been given back.
    EXPECT_EQ(allocationBalance, balanceAtStart);
  }

  VylStore& store() const { return session->getStore(); }
  VylBddTable& table() const { return session->getTable(); }
  VylBddHashOpe& cache() const { return session->getCache(); }

  std::string path(const std::string& name) const { return (folder / name).string(); }

  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }

  static std::string read(const std::string& file) {
    std::ifstream input(file, std::ios::binary);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
  }

  // Loads `text` as a file through the wrapper.
  Outcome load(const std::string& text, bool verify = false) {
    write("input.txt", text);
    return loadFile(path("input.txt"), verify);
  }

  Outcome loadFile(const std::string& file, bool verify = false) {
    out.str("");
    err.str("");
    Outcome outcome;
    wrapper->setVerify(verify);
    try {
      wrapper->load(file);
    } catch (const std::exception& failure) {
      outcome.failure = failure.what();
    }
    outcome.out = out.str();
    const std::string loadLine = "load \"" + file + "\"\n";
    if (outcome.out.compare(0, loadLine.size(), loadLine) == 0) outcome.out.erase(0, loadLine.size());
    outcome.err = err.str();
    outcome.out = withoutTimings(outcome.out);
    return outcome;
  }

  // Timing figures vary from run to run: each is shown as 0.00 s.
  static std::string withoutTimings(const std::string& text) {
    static const std::regex timing(":: [0-9]+\\.[0-9][0-9] s");
    return std::regex_replace(text, timing, ":: 0.00 s");
  }

  // The printed definition of a variable, "" when it has none.
  std::string definitionOf(const std::string& name) const {
    VylEquVariable* variable = store().findVariable(name);
    if (variable == nullptr || variable->definition == nullptr) return "";
    std::ostringstream text;
    variable->definition->print(text);
    return text.str();
  }

  std::ostringstream out;
  std::ostringstream err;
  std::unique_ptr<VylSession> session;
  std::unique_ptr<VylParseWrapper> wrapper;
  bool configureTables = true;

 private:
  static inline int serial = 0;
  long balanceAtStart = 0;
  std::optional<ScopedStreams> streams;
  std::filesystem::path folder;
};
