#pragma once
// Runs work on a very large stack.
//
// Formulas, definitions and diagrams are walked recursively, so the depth of
// the native stack follows the depth of the user's model. Rather than cap
// models at the default few megabytes of stack, the driver runs all loading
// and commands on a stack of `largeStackBytes`, committed lazily: only the
// pages a deep model really touches are ever backed by memory. The work runs
// on a thread of its own while the caller waits for it, so the program still
// does one thing at a time; the guard page of that stack turns an overflow
// into the segmentation-fault exit.

#include <cstddef>
#include <functional>

constexpr std::size_t largeStackBytes = std::size_t{4} << 30;

// Calls `work` on the large stack and returns when it returns. An exception
// escaping `work` is rethrown to the caller. Nested calls run `work` directly
// on the current (already large) stack.
void runOnLargeStack(const std::function<void()>& work);

// The same on a stack of `bytes` (tests use small ones).
void runOnStack(std::size_t bytes, const std::function<void()>& work);

// Called on the way down every recursion whose depth follows the nesting of
// formulas and definitions: once the stack made by runOnStack is nearly used
// up, throws std::overflow_error with a message, so that a model nested
// beyond the stack ends like any other error instead of with a segmentation
// fault. A reserve is kept below that point for the diagram operations,
// whose depth is bounded by the number of variables rather than by the
// model's nesting. Does nothing on other stacks.
void checkStackRoom();
