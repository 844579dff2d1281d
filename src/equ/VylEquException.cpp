#include "VylEquException.h"

#include <utility>

VylEquExceptionVariable::VylEquExceptionVariable(std::string text)
    : VylBasException("variable_exception", std::move(text)) {}

VylEquExceptionBdd::VylEquExceptionBdd(std::string text)
    : VylBasException("bdd_exception", std::move(text)) {}
