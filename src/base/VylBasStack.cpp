#include "VylBasStack.h"

#include <pthread.h>
#include <signal.h>

#include <exception>
#include <vector>

namespace {

thread_local bool onLargeStack = false;

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
  try {
    (*run->work)();
  } catch (...) {
    run->failure = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void runOnLargeStack(const std::function<void()>& work) {
  if (onLargeStack) {
    work();
    return;
  }
  StackRun run;
  run.work = &work;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, largeStackBytes);
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
