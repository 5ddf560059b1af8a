#include "platform/ui/window_table.h"

#include <map>
#include <mutex>

namespace platform::ui {
namespace {

struct Table {
  std::mutex mutex;
  std::map<HWND, std::unique_ptr<Window>> windows;
  ULONG_PTR next = 0x10010;
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

HWND AddWindow(std::unique_ptr<Window> window) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  HWND hwnd = reinterpret_cast<HWND>(table.next);
  table.next += 4;
  window->hwnd = hwnd;
  window->thread = std::this_thread::get_id();
  table.windows[hwnd] = std::move(window);
  return hwnd;
}

Window* WindowOf(HWND hwnd) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.windows.find(hwnd);
  return found != table.windows.end() ? found->second.get() : nullptr;
}

bool OwnedByThisThread(HWND hwnd, WNDPROC* proc) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.windows.find(hwnd);
  if (found == table.windows.end() || found->second->thread != std::this_thread::get_id()) return false;
  if (proc != nullptr) *proc = found->second->proc;
  return true;
}

void RemoveWindow(HWND hwnd) {
  std::vector<std::unique_ptr<Window>> removed;
  {
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    std::vector<HWND> pending{hwnd};
    while (!pending.empty()) {
      HWND next = pending.back();
      pending.pop_back();
      auto found = table.windows.find(next);
      if (found == table.windows.end()) continue;
      pending.insert(pending.end(), found->second->children.begin(), found->second->children.end());
      removed.push_back(std::move(found->second));
      table.windows.erase(found);
    }
  }
  // Children's widgets belong to their dialog's widget.
  for (auto& window : removed)
    if (window->widget && window->parent == nullptr) window->widget->deleteLater();
}

}  // namespace platform::ui
