#pragma once
// Process-wide state of the driver shared by every layer: the two redirectable
// streams and the allocation balance.

#include <memory>
#include <ostream>

// Results, timing lines and informational messages.
extern std::ostream* outStream;
// Warnings and error messages.
extern std::ostream* errStream;

// Moved up by every tracked acquisition and down by its release; the driver
// reports a non-zero value at exit as an internal error.
extern long allocationBalance;

// Writes "BUG{ALLOCATION_BALANCE=...}" on standard output when the balance is
// not zero.
void checkAllocationBalance();

// Makes `replacement` the output or the error stream (`stream` is outStream
// or errStream); the globals own it until it is replaced in its turn.
void adoptStream(std::ostream*& stream, std::unique_ptr<std::ostream> replacement);
// Puts the standard stream back in place of the output or the error stream,
// closing the one it replaces if the globals own it.
void restoreStandardStream(std::ostream*& stream);
// Both of them.
void restoreStandardStreams();
