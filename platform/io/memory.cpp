// Page-aligned memory for copy buffers, and the atomic operations.
#include <sys/mman.h>

#include <map>
#include <mutex>

#include "platform/io/events.h"
#include "platform/testing.h"
#include "platform/win32/io.h"

namespace {

struct Allocations {
  std::mutex mutex;
  std::map<void*, size_t> sizes;
  std::function<bool(SIZE_T)> fails;
};

Allocations& TheAllocations() {
  static Allocations allocations;
  return allocations;
}

}  // namespace

LPVOID VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect) {
  void* block = nullptr;
  bool refused = lpAddress != nullptr || dwSize == 0 || (flAllocationType & MEM_COMMIT) == 0 ||
                 flProtect != PAGE_READWRITE;
  if (!refused) {
    std::function<bool(SIZE_T)> fails;
    {
      Allocations& allocations = TheAllocations();
      std::lock_guard<std::mutex> lock(allocations.mutex);
      fails = allocations.fails;
    }
    refused = fails && fails(dwSize);
  }
  if (!refused) {
    block = ::mmap(nullptr, dwSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
      block = nullptr;
    } else {
      Allocations& allocations = TheAllocations();
      std::lock_guard<std::mutex> lock(allocations.mutex);
      allocations.sizes[block] = dwSize;
    }
  }
  if (platform::io::Reporting())
    platform::io::Report("alloc", block, std::to_string(dwSize) + " bytes", block != nullptr);
  return block;
}

BOOL VirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType) {
  bool ok = false;
  if (dwSize == 0 && dwFreeType == MEM_RELEASE) {
    size_t size = 0;
    {
      Allocations& allocations = TheAllocations();
      std::lock_guard<std::mutex> lock(allocations.mutex);
      auto found = allocations.sizes.find(lpAddress);
      if (found != allocations.sizes.end()) {
        size = found->second;
        allocations.sizes.erase(found);
      }
    }
    ok = size != 0 && ::munmap(lpAddress, size) == 0;
  }
  if (platform::io::Reporting()) platform::io::Report("free", lpAddress, "", ok);
  return ok ? TRUE : FALSE;
}

LONG InterlockedExchange(LONG volatile* Target, LONG Value) {
  return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comperand) {
  __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return Comperand;
}

namespace platform::testing {

void SetVirtualAllocFailure(std::function<bool(SIZE_T)> fails) {
  Allocations& allocations = TheAllocations();
  std::lock_guard<std::mutex> lock(allocations.mutex);
  allocations.fails = std::move(fails);
}

size_t LiveVirtualAllocations() {
  Allocations& allocations = TheAllocations();
  std::lock_guard<std::mutex> lock(allocations.mutex);
  return allocations.sizes.size();
}

}  // namespace platform::testing
