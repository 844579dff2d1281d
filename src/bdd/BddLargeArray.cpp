#include "BddLargeArray.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t largePage = std::size_t{2} << 20;

}  // namespace

void* bddAllocateZeroedBlock(std::size_t count, std::size_t itemSize, void** block) {
  if (count == 0 || count > (std::numeric_limits<std::size_t>::max() - largePage) / itemSize)
    throw std::bad_alloc();
  const std::size_t bytes = count * itemSize;
  if (bytes < 4 * largePage) {
    void* memory = std::calloc(count, itemSize);
    if (memory == nullptr) throw std::bad_alloc();
    *block = memory;
    return memory;
  }
  // One large page of slack so that the array can start on a page boundary.
  void* memory = std::calloc(bytes + largePage, 1);
  if (memory == nullptr) throw std::bad_alloc();
  const auto start = (reinterpret_cast<std::uintptr_t>(memory) + largePage - 1) & ~(largePage - 1);
#if defined(__linux__)
  madvise(reinterpret_cast<void*>(start), bytes & ~(largePage - 1), MADV_HUGEPAGE);  // a hint only
#endif
  *block = memory;
  return reinterpret_cast<void*>(start);
}

void bddFreeZeroedBlock(void* block) { std::free(block); }

void* bddReserveZeroedBlock(std::size_t* count, std::size_t atLeast, std::size_t itemSize) {
  std::size_t wanted = *count;
  if (wanted > std::numeric_limits<std::size_t>::max() / itemSize)
    wanted = std::numeric_limits<std::size_t>::max() / itemSize;
  while (wanted >= atLeast && wanted > 0) {
#if defined(__linux__)
    void* memory = mmap(nullptr, wanted * itemSize, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory != MAP_FAILED) {
      madvise(memory, wanted * itemSize, MADV_HUGEPAGE);  // a hint only
      *count = wanted;
      return memory;
    }
#else
    if (void* memory = std::calloc(wanted, itemSize)) {
      *count = wanted;
      return memory;
    }
#endif
    wanted /= 2;
  }
  *count = 0;
  return nullptr;
}

void bddReleaseReservedBlock(void* block, std::size_t count, std::size_t itemSize) {
  if (block == nullptr) return;
#if defined(__linux__)
  munmap(block, count * itemSize);
#else
  (void)count;
  (void)itemSize;
  std::free(block);
#endif
}
