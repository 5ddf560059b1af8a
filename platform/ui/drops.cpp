// Dropped files: a drop handle names the list of paths of one drop.
#include "platform/ui/drops.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace platform::ui {
namespace {

struct Drops {
  std::mutex mutex;
  std::map<HDROP, std::vector<std::string>> lists;
  ULONG_PTR next = 0x20010;
};

Drops& TheDrops() {
  static Drops drops;
  return drops;
}

}  // namespace

HDROP NewDrop(std::vector<std::string> paths) {
  Drops& drops = TheDrops();
  std::lock_guard<std::mutex> lock(drops.mutex);
  HDROP drop = reinterpret_cast<HDROP>(drops.next);
  drops.next += 4;
  drops.lists[drop] = std::move(paths);
  return drop;
}

}  // namespace platform::ui

using namespace platform::ui;

UINT DragQueryFileA(HDROP hDrop, UINT iFile, LPSTR lpszFile, UINT cch) {
  Drops& drops = TheDrops();
  std::lock_guard<std::mutex> lock(drops.mutex);
  auto found = drops.lists.find(hDrop);
  if (found == drops.lists.end()) return 0;
  const std::vector<std::string>& paths = found->second;
  if (iFile == 0xFFFFFFFFu) return UINT(paths.size());
  if (iFile >= paths.size()) return 0;
  const std::string& path = paths[iFile];
  if (lpszFile == nullptr) return UINT(path.size());
  if (cch == 0) return 0;
  const size_t copied = std::min<size_t>(path.size(), cch - 1);
  std::memcpy(lpszFile, path.data(), copied);
  lpszFile[copied] = '\0';
  return UINT(copied);
}

void DragFinish(HDROP hDrop) {
  Drops& drops = TheDrops();
  std::lock_guard<std::mutex> lock(drops.mutex);
  drops.lists.erase(hDrop);
}
