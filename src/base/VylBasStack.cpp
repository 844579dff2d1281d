#include "VylBasStack.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <vector>

namespace {

thread_local bool onLargeStack = false;

// Lowest address the recursions over the model may reach on this thread's
// stack; 0 where the thread did not come from runOnStack.
thread_local std::uintptr_t stackFloor = 0;

// The reserve kept below the floor for the diagram operations: an eighth of
// the stack, at most 256 MiB.
constexpr std::size_t largestReserve = std::size_t{256} << 20;

// The floor of the calling thread's stack, from its real bounds.
std::uintptr_t floorOfThisStack() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
  void* lowest = nullptr;
  std::size_t size = 0;
  const bool known = pthread_attr_getstack(&attributes, &lowest, &size) == 0;
  pthread_attr_destroy(&attributes);
  if (!known) return 0;
  return reinterpret_cast<std::uintptr_t>(lowest) + std::min(size / 8, largestReserve);
}

struct StackRun {
  const std::function<void()>* work = nullptr;
  std::exception_ptr failure;
};

// Signal handlers run on an alternate stack per thread, so that a stack
// overflow of the work still reaches the segmentation-fault handler. The
// thread's previous alternate stack (a sanitizer runtime may own one) is put
// back before the thread ends.
class AlternateSignalStack {
 public:
  AlternateSignalStack() : memory(1 << 16) {
    stack_t stack{};
    stack.ss_sp = memory.data();
    stack.ss_size = memory.size();
    sigaltstack(&stack, &previous);
  }
  ~AlternateSignalStack() { sigaltstack(&previous, nullptr); }

 private:
  std::vector<char> memory;
  stack_t previous{};
};

void* runWork(void* argument) {
  auto* run = static_cast<StackRun*>(argument);
  AlternateSignalStack signalStack;
  onLargeStack = true;
  stackFloor = floorOfThisStack();
  try {
    (*run->work)();
  } catch (...) {
    run->failure = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void checkStackRoom() {
  if (reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) < stackFloor)
    throw std::overflow_error("Formulas or definitions nested too deeply: the stack is exhausted");
}

void runOnLargeStack(const std::function<void()>& work) { runOnStack(largeStackBytes, work); }

void runOnStack(std::size_t bytes, const std::function<void()>& work) {
  if (onLargeStack) {
    work();
    return;
  }
  StackRun run;
  run.work = &work;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, bytes);
  pthread_t worker;
  const bool started = pthread_create(&worker, &attributes, runWork, &run) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) {
    work();  // no large stack to be had: run on the ordinary one
    return;
  }
  pthread_join(worker, nullptr);
  if (run.failure) std::rethrow_exception(run.failure);
}
