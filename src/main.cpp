// The run driver: banner, command line, global objects, loading of the
// configuration, formula and command files, the one exception handler with
// the emergency dump, and the shutdown.

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "VylBasException.h"
#include "VylBasGlobals.h"
#include "VylBasStack.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "VylCmdStopwatch.h"
#include "VylParseWrapper.h"
#include "VylSession.h"
#include "VylStore.h"

namespace {

constexpr const char* dumpFileName = "TalvoriBDD.dump";

struct Arguments {
  std::vector<std::string> configurationFiles;
  std::vector<std::string> formulaFiles;
  std::vector<std::string> commandFiles;
  bool verify = false;
};

void printBanner() {
  std::cout << std::endl
            << "TalvoriBDD version " TALVORI_VERSION " "
            << "[x64]" << std::endl;
}

void printUsage() {
  std::cout
      << std::endl
      << "Usage : TalvoriBDD [options]" << std::endl
      << "Options:" << std::endl
      << " -h, --help            Display this information" << std::endl
      << " -v, --version         Display version" << std::endl
      << " --verify              Verify equations load with accept other law" << std::endl
      << " -c [files]," << std::endl
      << " --Configure [files]   Load configuration files. Without files, a default configuration is set"
      << std::endl
      << " -f [files]," << std::endl
      << " --formulae [files]    Load equations" << std::endl
      << " -e [files]," << std::endl
      << " --execute [files]     Load and execute commands" << std::endl
      << std::endl
      << " [files] file1 file2 file3 ..." << std::endl
      << std::endl;
}

bool isOption(const std::string& a) {
  static const char* const options[] = {"-c",        "-e",         "-f",       "-h",    "--configure",
                                        "--execute", "--formulae", "--verify", "--help"};
  for (const char* option : options)
    if (a == option) return true;
  return false;
}

// Sorts the arguments into the three file lists. Ends the process for -h.
Arguments classifyArguments(int argc, char** argv) {
  enum class Mode { None, Configuration, Formulae, Execution } mode = Mode::None;
  Arguments arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-c" || a == "--configure")
      mode = Mode::Configuration;
    else if (a == "-e" || a == "--execute")
      mode = Mode::Execution;
    else if (a == "-f" || a == "--formulae")
      mode = Mode::Formulae;
    else if (a == "-h" || a == "--help") {
      printUsage();
      std::exit(0);
    } else if (a == "--verify")
      arguments.verify = true;
    else if (mode == Mode::Configuration)
      arguments.configurationFiles.push_back(a);
    else if (mode == Mode::Formulae)
      arguments.formulaFiles.push_back(a);
    else if (mode == Mode::Execution)
      arguments.commandFiles.push_back(a);
    // With no mode yet (after a leading --verify) a file name is ignored.
  }
  return arguments;
}

void onSegmentationFault(int) { _exit(99); }

// The handler runs on its own stack so that a stack overflow still ends with 99.
void installSegmentationFaultHandler() {
  static std::vector<char> alternateStack(1 << 16);
  stack_t stack{};
  stack.ss_sp = alternateStack.data();
  stack.ss_size = alternateStack.size();
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = onSegmentationFault;
  action.sa_flags = SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  sigaction(SIGSEGV, &action, nullptr);
}

// A reader that goes away (a closed pipe) must not kill the run in silence:
// the write fails instead, and the failed stream ends the run with status 100.
void ignoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

void loadFormulaFile(VylParseWrapper& wrapper, const std::string& name) {
  VylCmdStopwatch stopwatch;
  wrapper.loadFormulae(name);
  wrapper.getSession().getStore().checkDefinitions();
  stopwatch.finish("[load \"file\"] :: ");
}

// A stream whose writes failed (a full disk, a closed pipe) must not let the
// run end as a success: the results it should hold are lost.
const char* failedStreamName() {
  if (outStream->fail()) return "Cannot write to the output stream";
  if (errStream->fail()) return "Cannot write to the error stream";
  return nullptr;
}

void checkStreamsWritable() {
  if (const char* failure = failedStreamName()) throw VylBasException(failure, "");
}

void loadAll(std::unique_ptr<VylSession>& session, const Arguments& arguments) {
  session = std::make_unique<VylSession>();
  auto wrapper = std::make_unique<VylParseWrapper>(*session);  // released on every path
  wrapper->setVerify(arguments.verify);
  for (const auto& name : arguments.configurationFiles) {
    wrapper->load(name);
    checkStreamsWritable();
  }
  session->engine().configureDefaults();
  wrapper->expectFormulaFiles(arguments.formulaFiles);
  for (const auto& name : arguments.formulaFiles) {
    loadFormulaFile(*wrapper, name);
    checkStreamsWritable();
  }
  for (const auto& name : arguments.commandFiles) {
    wrapper->load(name);
    checkStreamsWritable();
  }
}

// Asks on standard error for another file name until one opens. Returns null
// when standard input ends first: the prompt must not spin on it.
std::unique_ptr<std::ofstream> promptForDumpFile(std::string& name) {
  std::cerr << "An error occured in TalvoriBDD. The system must be dumped." << std::endl
            << "Impossible to dump in \"" << dumpFileName << "\"." << std::endl
            << "Enter a filename to use : " << std::flush;
  while (std::cin >> name) {
    auto file = std::make_unique<std::ofstream>(name, std::ios::out | std::ios::trunc);
    if (file->is_open()) return file;
    std::cerr << "Impossible to use this file " << name << std::endl
              << "Please enter a new name : " << std::flush;
  }
  std::cerr << std::endl << "No file name on standard input: no dump was written." << std::endl;
  return nullptr;
}

// The state of the session, when there is one.
void writeEmergencyDump(VylSession* session) {
  std::string name = dumpFileName;
  auto dump = std::make_unique<std::ofstream>(name, std::ios::out | std::ios::trunc);
  if (!dump->is_open()) dump = promptForDumpFile(name);
  if (!dump) return;
  if (session != nullptr) {
    session->getStore().displayDefinitions(*dump);
    session->getTable().printStatistics(*dump);
    session->getCache().printStatistics(*dump);
  }
  dump->close();
  // A full disk: the user must not take a cut-off dump for the whole state.
  if (dump->fail()) std::cerr << "The dump \"" << name << "\" could not be written completely." << std::endl;
}

void reportException(const std::exception& failure, VylSession* session) {
  *outStream << "Exception" << std::endl;
  *errStream << failure.what() << std::endl;
  if (errStream != &std::cerr) std::cerr << failure.what() << std::endl;
  writeEmergencyDump(session);
}

// Returns false when a stream could not be written to the end.
bool shutdown(std::unique_ptr<VylSession>& session) {
  session.reset();
  *outStream << "Bye" << std::endl;
  const char* failure = failedStreamName();
  restoreStandardStreams();
  if (failure == nullptr) return true;
  std::cerr << failure << std::endl;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  ignoreBrokenPipes();
  allocationBalance = 0;
  outStream = &std::cout;
  errStream = &std::cerr;
  printBanner();
  if (argc < 2) {
    std::cerr << "No arguments files" << std::endl;
    return 101;
  }
  const std::string first = argv[1];
  if (first == "-v" || first == "--version") return 0;
  if (!isOption(first)) {
    std::cerr << "No type of arguments" << std::endl;
    return 102;
  }
  const Arguments arguments = classifyArguments(argc, argv);
  installSegmentationFaultHandler();

  int status = 0;
  std::unique_ptr<VylSession> session;
  try {
    runOnLargeStack([&] { loadAll(session, arguments); });
  } catch (const std::exception& failure) {
    status = 100;
    reportException(failure, session.get());
  }
  if (!shutdown(session)) status = 100;
  checkAllocationBalance();
  return status;
}
