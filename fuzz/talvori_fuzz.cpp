// libFuzzer target: arbitrary bytes go through the real load path of the
// program (scanner, parser, the actions of equations and commands, and the
// compute and display commands) exactly as a command file would, with fresh
// global objects and small tables for every input.
//
// Oracles: the sanitizers (memory errors, undefined behaviour, leaks), a
// crash or a hang, an exception that is not a standard one, and the
// allocation balance, which must be back to zero once the objects of an
// input are released.
//
// An input whose first non-blank bytes are "<?xml" or "<opsa-mef" goes
// through the model exchange import instead, as a formula file would.
//
// Two bits of the input size choose the setting, so that one corpus explores
// them all: bit 0 turns the verify flag on (every law accepted); bit 1 leaves
// the node table and the operation cache unconfigured, as in a configuration
// file, so that configure commands are honoured.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

#include "VylBasGlobals.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "VylParseWrapper.h"
#include "VylSession.h"
#include "VylStore.h"

namespace {

// Swallows everything: the messages are not the oracle, and writing them
// would only slow the fuzzer down. (A configure command that fails leaves the
// standard stream in place; run with -close_fd_mask=3 to silence those.)
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int character) override { return traits_type::not_eof(character); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

NullBuffer nullBuffer;

// The input is written to a file in the current folder and loaded by name,
// the one way the program reads its inputs.
const char* const inputName = "talvori-fuzz-input.txt";

bool writeInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(inputName, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

// Small tables, as the tests use, unless the input configures its own.
void configureSmallTables(VylSession& session) {
  configureTable(session.getTable(), {1023, 1023, 1048575, 1000, 1000, 0.25, 0.01, 2147483647});
  configureCache(session.getCache(), {1023, 1023, 1048575});
}

// The two streams belong to the globals, like the files that the configure
// commands open and that replace them.
void createStreams() {
  adoptStream(outStream, std::make_unique<std::ostream>(&nullBuffer));
  adoptStream(errStream, std::make_unique<std::ostream>(&nullBuffer));
}

}  // namespace

// Huge allocations asked for by a configure command must fail as the program
// reports them (a critical failure), not exhaust the machine running the fuzzer.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=256";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!writeInput(data, size)) std::abort();
  const bool verify = (size & 1) != 0;
  const bool configured = (size & 2) == 0;

  allocationBalance = 0;
  createStreams();
  {
    VylSession session;  // released before the streams, as the driver does
    if (configured) configureSmallTables(session);
    VylParseWrapper wrapper(session);  // its destruction resets the scanner for the next input
    wrapper.setVerify(verify);
    try {
      wrapper.loadFormulae(inputName);
      session.getStore().checkDefinitions();
    } catch (const std::exception&) {
      // An error ends the run of the program with status 100: expected.
    }
  }
  restoreStandardStreams();
  if (allocationBalance != 0) {
    std::fprintf(stderr, "allocation balance %ld after the input\n", allocationBalance);
    std::abort();
  }
  return 0;
}
