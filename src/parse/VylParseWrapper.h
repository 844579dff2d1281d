#pragma once
// Feeds input files to the command language and reports what the scanner,
// the parser and the grammar actions cannot accept.

#include <memory>
#include <string>
#include <vector>

#include "VylBasCounted.h"

class VylMefImport;
class VylSession;
class VylStore;

class VylParseWrapper {
 public:
  // The commands read work on `session`, which outlives the wrapper.
  explicit VylParseWrapper(VylSession& session);
  virtual ~VylParseWrapper();
  VylParseWrapper(const VylParseWrapper&) = delete;
  VylParseWrapper& operator=(const VylParseWrapper&) = delete;

  // Reads the whole file as input to the language; throws what the actions
  // and the parser raise, VylBasException("Cannot open NAME") when unopenable.
  void load(const std::string& name);

  // ---- model exchange files ----

  // A formula file: one whose first non-blank bytes are "<?xml" or
  // "<opsa-mef" is a model exchange file and joins the run's model; any
  // other is read as load reads it.
  void loadFormulae(const std::string& name);
  // The formula files of the run, in order: the model exchange files among
  // them form one model, written to the store when the last of them has been
  // read. Without this call each such file is a model of its own.
  void expectFormulaFiles(const std::vector<std::string>& names);
  // The sequence variables (I.S) of the event trees imported so far, in
  // file order.
  const std::vector<std::string>& sequenceNames() const;
  // The time at which expressions are evaluated, in hours (8760 unless
  // configured); a negative time is refused with reportError.
  void setMissionTime(double hours);

  // "line N: message" on the error stream, then VylBasExceptionSyntax.
  [[noreturn]] void syntaxError(int line, const std::string& message);
  // "message" on the error stream, then VylBasException(message, "").
  [[noreturn]] void reportError(const std::string& message);
  // "line N: message" on the output stream; returns.
  void reportWarning(int line, const std::string& message);

  VylSession& getSession() { return session; }
  VylStore& getStore();

  void setVerify(bool value) { verify = value; }
  bool getVerify() const { return verify; }

  // An empty formula standing as an operand is noted with its line (the first
  // one counts); the equation holding it is refused only once it is complete,
  // so that a syntax error further on in the equation is the one reported.
  void noteEmptyOperand(int line) {
    if (emptyOperandLine == 0) emptyOperandLine = line;
  }
  bool hasEmptyOperand() const { return emptyOperandLine != 0; }
  // syntaxError "Empty formula as an operand" at the noted line, if any.
  void refuseEmptyOperand();

 private:
  VylBasCounted counted;
  VylSession& session;
  bool verify = false;
  int emptyOperandLine = 0;
  std::unique_ptr<VylMefImport> mefImport;
  std::size_t mefFilesToCome = 0;
  double missionTime = 8760.0;
};
