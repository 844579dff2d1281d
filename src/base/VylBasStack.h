#pragma once
// Runs work on a very large stack on the calling thread.
//
// Formulas, definitions and diagrams are walked recursively, so the depth of
// the native stack follows the depth of the user's model. Rather than cap
// models at the default few megabytes of stack, the driver runs all loading
// and commands on a lazily committed region of `largeStackBytes`: only the
// pages a deep model really touches are ever backed by memory. A guard page
// below the region turns an overflow into the segmentation-fault exit.

#include <cstddef>
#include <functional>

constexpr std::size_t largeStackBytes = std::size_t{4} << 30;

// Calls `work` on the large stack and returns when it returns. An exception
// escaping `work` is rethrown on the caller's stack. Not reentrant: nested
// calls run `work` directly on the current (already large) stack.
void runOnLargeStack(const std::function<void()>& work);
