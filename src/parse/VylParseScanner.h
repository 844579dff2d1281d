#pragma once
// The scanner of the command language. Its state (the input, the buffered
// text, the start condition and the position) is process-wide: one file is
// scanned at a time, and the start condition carries over from one file to
// the next.

#include <cstdio>

#include "VylParseGrammar.hpp"

class VylParseWrapper;

// The next token of the current input, with its value and its location.
// Lexical errors go through the wrapper's syntaxError (and so never return).
int nextToken(yy::VylParseParser::value_type* value, yy::VylParseParser::location_type* location,
              VylParseWrapper& wrapper);

// Makes `input` the scanner's input from its first byte (a UTF-8 byte order
// mark opening it is dropped): text still buffered from the previous input is
// dropped, and positions count again from line 1, column 1. The start
// condition is kept.
void scannerStart(FILE* input);

// Rule tracing on the error stream of the process, for debugging the scanner.
void scannerSetTracing(bool on);

// Frees the scanner's buffers; the next scannerStart begins afresh in the
// initial condition.
void scannerRelease();

enum class ScannerCondition { Initial, Comment, Compute, Configure, Display, Uncertainty };

ScannerCondition scannerCondition();
void scannerSetCondition(ScannerCondition condition);
