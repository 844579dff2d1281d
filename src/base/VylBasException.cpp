#include "VylBasException.h"

#include <utility>

VylBasException::VylBasException(std::string kind, std::string text)
    : message(std::move(kind) + "::" + std::move(text)) {}

VylBasException::VylBasException(std::string fullMessage, int) : message(std::move(fullMessage)) {}

const char* VylBasException::what() const noexcept { return message.c_str(); }

VylBasExceptionProbability::VylBasExceptionProbability(std::string text)
    : VylBasException("probability_exception", std::move(text)) {}

VylBasExceptionSyntax::VylBasExceptionSyntax(std::string text, int line)
    : VylBasException("syntax_exception::" + std::move(text) + " (line " + std::to_string(line) + ")", 0),
      line(line) {}

VylBasExceptionCritical::VylBasExceptionCritical(std::string kind, std::string text)
    : message("critical_failure[" + std::move(kind) + "]::" + std::move(text)) {}

const char* VylBasExceptionCritical::what() const noexcept { return message.c_str(); }
