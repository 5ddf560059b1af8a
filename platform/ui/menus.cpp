// Menus: the system menu of a dialog and the items appended to it.
#include <cstring>
#include <map>
#include <mutex>

#include "platform/ui/internal.h"
#include "platform/ui/window_table.h"

namespace platform::ui {
namespace {

struct Menus {
  std::mutex mutex;
  std::map<HMENU, std::vector<MenuItem>> menus;
  ULONG_PTR next = 0x30010;
};

Menus& TheMenus() {
  static Menus menus;
  return menus;
}

// The item at a position or with an id; null when there is none.
MenuItem* Item(std::vector<MenuItem>& items, UINT which, UINT flags) {
  if (flags & MF_BYPOSITION) return which < items.size() ? &items[which] : nullptr;
  for (MenuItem& item : items)
    if (!(item.flags & MF_SEPARATOR) && item.id == which) return &item;
  return nullptr;
}

}  // namespace

// On Linux the window manager owns the title bar, so of the platform's system
// commands the menu offers the one the layer can honour for a dialog.
HMENU CreateSystemMenu() {
  Menus& menus = TheMenus();
  std::lock_guard<std::mutex> lock(menus.mutex);
  HMENU menu = reinterpret_cast<HMENU>(menus.next);
  menus.next += 4;
  menus.menus[menu] = {{MF_STRING, SC_CLOSE, "&Close\tAlt+F4"}};
  return menu;
}

void DestroyMenu(HMENU menu) {
  Menus& menus = TheMenus();
  std::lock_guard<std::mutex> lock(menus.mutex);
  menus.menus.erase(menu);
}

std::vector<MenuItem> MenuItems(HMENU menu) {
  Menus& menus = TheMenus();
  std::lock_guard<std::mutex> lock(menus.mutex);
  auto found = menus.menus.find(menu);
  return found != menus.menus.end() ? found->second : std::vector<MenuItem>{};
}

}  // namespace platform::ui

using namespace platform::ui;

HMENU GetSystemMenu(HWND hWnd, BOOL bRevert) {
  Window* window = OwnedByThisThread(hWnd) ? WindowOf(hWnd) : nullptr;
  if (window == nullptr || !(window->style & WS_SYSMENU)) return nullptr;
  if (bRevert) {
    if (window->systemMenu != nullptr) DestroyMenu(window->systemMenu);
    window->systemMenu = nullptr;
    return nullptr;
  }
  if (window->systemMenu == nullptr) window->systemMenu = CreateSystemMenu();
  return window->systemMenu;
}

BOOL AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
  Menus& menus = TheMenus();
  std::lock_guard<std::mutex> lock(menus.mutex);
  auto found = menus.menus.find(hMenu);
  if (found == menus.menus.end()) return FALSE;
  const bool separator = (uFlags & MF_SEPARATOR) != 0;
  if (!separator && lpNewItem == nullptr) return FALSE;
  found->second.push_back({uFlags, separator ? 0 : uIDNewItem, separator ? "" : lpNewItem});
  return TRUE;
}

int GetMenuItemCount(HMENU hMenu) {
  Menus& menus = TheMenus();
  std::lock_guard<std::mutex> lock(menus.mutex);
  auto found = menus.menus.find(hMenu);
  return found != menus.menus.end() ? int(found->second.size()) : -1;
}

UINT GetMenuItemID(HMENU hMenu, int nPos) {
  Menus& menus = TheMenus();
  std::lock_guard<std::mutex> lock(menus.mutex);
  auto found = menus.menus.find(hMenu);
  if (found == menus.menus.end() || nPos < 0 || size_t(nPos) >= found->second.size()) return 0xFFFFFFFFu;
  return UINT(found->second[size_t(nPos)].id);
}

UINT GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
  Menus& menus = TheMenus();
  std::lock_guard<std::mutex> lock(menus.mutex);
  auto found = menus.menus.find(hMenu);
  if (found == menus.menus.end()) return 0xFFFFFFFFu;
  const MenuItem* item = Item(found->second, uId, uFlags);
  return item != nullptr ? (item->flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED | MF_CHECKED)) : 0xFFFFFFFFu;
}

int GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags) {
  Menus& menus = TheMenus();
  std::lock_guard<std::mutex> lock(menus.mutex);
  auto found = menus.menus.find(hMenu);
  if (found == menus.menus.end()) return 0;
  const MenuItem* item = Item(found->second, uIDItem, flags);
  if (item == nullptr) return 0;
  if (lpString == nullptr || cchMax <= 0) return int(item->text.size());
  const size_t copied = std::min<size_t>(item->text.size(), size_t(cchMax) - 1);
  std::memcpy(lpString, item->text.data(), copied);
  lpString[copied] = '\0';
  return int(copied);
}
