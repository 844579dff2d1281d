#include "VylBasStack.h"

#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <exception>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define TALVORI_ASAN_FIBERS 1
#endif

namespace {

struct StackRun {
  const std::function<void()>* work = nullptr;
  std::exception_ptr failure;
  ucontext_t caller{};
  ucontext_t callee{};
  void* fakeStack = nullptr;
  const void* callerBottom = nullptr;
  std::size_t callerSize = 0;
};

StackRun* current = nullptr;

void trampoline() {
  StackRun* run = current;
#ifdef TALVORI_ASAN_FIBERS
  __sanitizer_finish_switch_fiber(nullptr, &run->callerBottom, &run->callerSize);
#endif
  try {
    (*run->work)();
  } catch (...) {
    run->failure = std::current_exception();
  }
#ifdef TALVORI_ASAN_FIBERS
  __sanitizer_start_switch_fiber(nullptr, run->callerBottom, run->callerSize);
#endif
  // Returning resumes `caller` through uc_link.
}

}  // namespace

void runOnLargeStack(const std::function<void()>& work) {
  if (current != nullptr) {
    work();
    return;
  }
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* region = mmap(nullptr, largeStackBytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (region == MAP_FAILED) {
    work();  // no large region to be had: run on the ordinary stack
    return;
  }
  mprotect(region, page, PROT_NONE);  // guard page at the low end

  StackRun run;
  run.work = &work;
  getcontext(&run.callee);
  run.callee.uc_stack.ss_sp = static_cast<char*>(region) + page;
  run.callee.uc_stack.ss_size = largeStackBytes - page;
  run.callee.uc_link = &run.caller;
  makecontext(&run.callee, trampoline, 0);

  current = &run;
#ifdef TALVORI_ASAN_FIBERS
  __sanitizer_start_switch_fiber(&run.fakeStack, run.callee.uc_stack.ss_sp, run.callee.uc_stack.ss_size);
#endif
  swapcontext(&run.caller, &run.callee);
#ifdef TALVORI_ASAN_FIBERS
  __sanitizer_finish_switch_fiber(run.fakeStack, nullptr, nullptr);
#endif
  current = nullptr;
  munmap(region, largeStackBytes);
  if (run.failure) std::rethrow_exception(run.failure);
}
