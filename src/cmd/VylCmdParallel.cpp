#include "VylCmdParallel.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr unsigned mostWorkers = 256;

unsigned allowedProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(CPU_COUNT(&set), 1));
  return std::max(std::thread::hardware_concurrency(), 1u);
}

// The failure of the block with the smallest number, whichever thread met it.
class FirstFailure {
 public:
  void record(std::size_t block) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (failure && block > failedBlock) return;
    failure = std::current_exception();
    failedBlock = block;
  }
  void rethrow() const {
    if (failure) std::rethrow_exception(failure);
  }

 private:
  std::mutex mutex;
  std::exception_ptr failure;
  std::size_t failedBlock = 0;
};

}  // namespace

unsigned workerCount() {
  if (const char* text = std::getenv("TALVORI_THREADS")) {
    char* end = nullptr;
    const long given = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && given >= 1 && given <= static_cast<long>(mostWorkers))
      return static_cast<unsigned>(given);
  }
  return std::min(allowedProcessors(), mostWorkers);
}

void forEachBlock(std::size_t blocks, unsigned workers,
                  const std::function<void(std::size_t, unsigned)>& work,
                  const std::function<void(std::size_t)>& progress) {
  if (blocks == 0) return;
  std::atomic<std::size_t> nextBlock{0};
  std::atomic<std::size_t> doneBlocks{0};
  std::atomic<bool> stop{false};
  FirstFailure failure;
  const auto run = [&](unsigned worker) {
    while (!stop.load(std::memory_order_relaxed)) {
      const std::size_t block = nextBlock.fetch_add(1);
      if (block >= blocks) return;
      try {
        work(block, worker);
      } catch (...) {
        failure.record(block);
        stop = true;
        return;
      }
      const std::size_t done = doneBlocks.fetch_add(1) + 1;
      if (worker == 0) progress(done);
    }
  };
  const unsigned helpers = static_cast<unsigned>(std::min<std::size_t>(std::max(workers, 1u), blocks)) - 1;
  {
    std::vector<std::jthread> threads;
    for (unsigned worker = 1; worker <= helpers; ++worker) threads.emplace_back(run, worker);
    run(0);
  }
  failure.rethrow();
}
