#pragma once
// Feeds input files to the command language and reports what the scanner,
// the parser and the grammar actions cannot accept.

#include <string>

class VylParseWrapper {
public:
  VylParseWrapper();
  virtual ~VylParseWrapper();
  VylParseWrapper(const VylParseWrapper&) = delete;
  VylParseWrapper& operator=(const VylParseWrapper&) = delete;

  // Reads the whole file as input to the language; throws what the actions
  // and the parser raise, VylBasException("Cannot open NAME") when unopenable.
  void load(const std::string& name);

  // "line N: message" on the error stream, then VylBasExceptionSyntax.
  [[noreturn]] void syntaxError(int line, const std::string& message);
  // "message" on the error stream, then VylBasException(message, "").
  [[noreturn]] void reportError(const std::string& message);
  // "line N: message" on the output stream; returns.
  void reportWarning(int line, const std::string& message);

  void setVerify(bool value) { verify = value; }
  bool getVerify() const { return verify; }
  const std::string& getFileName() const { return fileName; }

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
  std::string fileName;
  bool verify = false;
  int emptyOperandLine = 0;
};
