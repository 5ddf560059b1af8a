#include "platform/io/handles.h"

#include <mutex>
#include <vector>

namespace platform::io {
namespace {

// Handles are multiples of 4 starting at 4, as the platform's are; slot i is
// handle 4 * (i + 1). Freed slots are reused.
struct Table {
  std::mutex mutex;
  std::vector<std::shared_ptr<Object>> slots;
};

Table& TheTable() {
  static Table table;
  return table;
}

bool SlotOf(HANDLE handle, size_t& slot) {
  const auto value = reinterpret_cast<ULONG_PTR>(handle);
  if (value == 0 || value % 4 != 0 || handle == INVALID_HANDLE_VALUE) return false;
  slot = value / 4 - 1;
  return true;
}

}  // namespace

HANDLE AddObject(std::unique_ptr<Object> object) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  size_t slot = 0;
  while (slot < table.slots.size() && table.slots[slot]) ++slot;
  if (slot == table.slots.size()) table.slots.emplace_back();
  table.slots[slot] = std::shared_ptr<Object>(std::move(object));
  return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>((slot + 1) * 4));
}

std::shared_ptr<Object> FindObject(HANDLE handle) {
  size_t slot = 0;
  if (!SlotOf(handle, slot)) return nullptr;
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  return slot < table.slots.size() ? table.slots[slot] : nullptr;
}

bool RemoveObject(HANDLE handle) {
  size_t slot = 0;
  if (!SlotOf(handle, slot)) return false;
  std::shared_ptr<Object> removed;
  {
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (slot >= table.slots.size() || !table.slots[slot]) return false;
    removed.swap(table.slots[slot]);
  }
  return true;  // the object closes when the last user lets go of it
}

size_t OpenObjectCount() {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  size_t count = 0;
  for (const auto& slot : table.slots) count += slot ? 1 : 0;
  return count;
}

}  // namespace platform::io
