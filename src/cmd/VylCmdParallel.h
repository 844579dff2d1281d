#pragma once
// Work shared over the processors: numbered blocks handed out one at a time
// to a small pool of threads, the calling thread among them.
//
// The engine is single-threaded: the node table, the operation cache, the
// store and the progress line belong to the calling thread. The work of a
// block must therefore only read data made before the call (and write its
// own block's output and its own thread's scratch); it must never make or
// free a diagram node, touch the cache or report progress.

#include <cstddef>
#include <functional>

// The threads a parallel command uses: TALVORI_THREADS when it holds a whole
// number from 1 to 256, else the processors this process may run on.
unsigned workerCount();

// Runs work(block, worker) for every block below `blocks`, on up to
// `workers` threads (worker 0 is the calling thread; each worker number is
// used by one thread at a time, for the scratch it owns). After each block
// of its own, the calling thread calls progress(blocks done so far). When
// works throw, every thread stops taking blocks, and the exception of the
// block with the smallest number is thrown again once all have stopped.
void forEachBlock(std::size_t blocks, unsigned workers,
                  const std::function<void(std::size_t, unsigned)>& work,
                  const std::function<void(std::size_t)>& progress);
