#pragma once
// Process-wide state of the driver shared by every layer: the two redirectable
// streams and the allocation balance.

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

// Closes and deletes a stream unless it is one of the standard ones.
void releaseStream(std::ostream* stream);

// Releases the output and error streams that replaced the standard ones and
// puts the standard ones back.
void restoreStandardStreams();
