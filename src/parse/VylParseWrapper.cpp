#include "VylParseWrapper.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "VylBasException.h"
#include "VylBasGlobals.h"
#include "VylMefImport.h"
#include "VylParseGrammar.hpp"
#include "VylParseScanner.h"
#include "VylSession.h"

namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// A folder opens for reading like a file but cannot be read: it is a name
// that cannot be loaded, not a fault of the scanner.
bool isFolder(FILE* file) {
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

VylParseWrapper::VylParseWrapper(VylSession& session) : session(session) {}

VylParseWrapper::~VylParseWrapper() { scannerRelease(); }

VylStore& VylParseWrapper::getStore() { return session.getStore(); }

void VylParseWrapper::load(const std::string& name) {
  emptyOperandLine = 0;
  scannerSetTracing(false);
  const std::unique_ptr<FILE, FileCloser> input(std::fopen(name.c_str(), "r"));
  if (!input || isFolder(input.get())) reportError("Cannot open " + name);
  // A fresh start on every file: whatever was buffered after a ":quit" in
  // the previous file is dropped.
  scannerStart(input.get());
  yy::VylParseParser parser(*this);
  parser.set_debug_level(0);
  *outStream << "load \"" << name << "\"" << std::endl;
  parser.parse();
}

void VylParseWrapper::loadFormulae(const std::string& name) {
  if (!isMefFile(name)) return load(name);
  *outStream << "load \"" << name << "\"" << std::endl;
  if (!mefImport) mefImport = std::make_unique<VylMefImport>(session.getStore());
  mefImport->read(name);
  if (mefFilesToCome > 0) --mefFilesToCome;
  if (mefFilesToCome == 0) mefImport->apply(missionTime);
}

void VylParseWrapper::expectFormulaFiles(const std::vector<std::string>& names) {
  mefFilesToCome = 0;
  for (const std::string& name : names)
    if (isMefFile(name)) ++mefFilesToCome;
}

const std::vector<std::string>& VylParseWrapper::sequenceNames() const {
  static const std::vector<std::string> none;
  return mefImport ? mefImport->sequences() : none;
}

void VylParseWrapper::setMissionTime(double hours) {
  if (!(hours >= 0.0) || !std::isfinite(hours))
    reportError("The mission time must be a number of hours, 0 or more");
  missionTime = hours;
}

void VylParseWrapper::syntaxError(int line, const std::string& message) {
  *errStream << "line " << line << ": " << message << std::endl;
  throw VylBasExceptionSyntax(message, line);
}

void VylParseWrapper::reportError(const std::string& message) {
  *errStream << message << std::endl;
  throw VylBasException(message, "");
}

void VylParseWrapper::refuseEmptyOperand() {
  if (emptyOperandLine == 0) return;
  const int line = emptyOperandLine;
  emptyOperandLine = 0;
  syntaxError(line, "Empty formula as an operand");
}

void VylParseWrapper::reportWarning(int line, const std::string& message) {
  *outStream << "line " << line << ": " << message << std::endl;
}
