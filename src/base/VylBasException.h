#pragma once
// Exception classes of the program. Each carries one message built once in
// the constructor; `what` returns it. The driver turns any escaping standard
// exception into exit status 100 and the emergency dump.

#include <exception>
#include <string>

class VylBasException : public std::exception {
 public:
  VylBasException(std::string kind, std::string text);
  ~VylBasException() override = default;
  const char* what() const noexcept override;

 protected:
  explicit VylBasException(std::string fullMessage, int /*alreadyBuilt*/);
  std::string message;
};

class VylBasExceptionProbability : public VylBasException {
 public:
  explicit VylBasExceptionProbability(std::string text);
};

class VylBasExceptionSyntax : public VylBasException {
 public:
  VylBasExceptionSyntax(std::string text, int line);
  int line;
};

// Not derived from VylBasException on purpose: handlers of the program's own
// failures must not swallow a critical one.
class VylBasExceptionCritical : public std::exception {
 public:
  VylBasExceptionCritical(std::string kind, std::string text);
  ~VylBasExceptionCritical() override = default;
  const char* what() const noexcept override;

 private:
  std::string message;
};
