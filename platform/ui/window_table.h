// The windows of the layer. An HWND names an entry of this table; HWND values
// are never reused, so a message to a window that is gone finds nothing and
// touches nothing.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace platform::ui {

struct Window {
  HWND hwnd = nullptr;
  HWND parent = nullptr;
  std::thread::id thread;  // the thread that owns the window
  std::string className;   // "#32770" for dialogs, else the control class
  int id = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  WNDPROC proc = nullptr;  // the window procedure
  void* context = nullptr; // what the procedure's owner attached
  QPointer<QWidget> widget;
  HICON icons[2] = {nullptr, nullptr};
  HMENU systemMenu = nullptr;
  // Progress bars.
  int rangeMin = 0, rangeMax = 100, position = 0;
  // Dialogs.
  bool ended = false;
  INT_PTR result = 0;
  std::vector<HWND> children;  // in template order
};

// Adds a window owned by the calling thread; the table owns it.
HWND AddWindow(std::unique_ptr<Window> window);
// The window, or null when the handle names none. Only the owning thread may
// use the returned window's fields.
Window* WindowOf(HWND hwnd);
// True when the window exists and the calling thread owns it.
bool OwnedByThisThread(HWND hwnd, WNDPROC* proc = nullptr);
// Removes the window and its children; their widgets are deleted later.
void RemoveWindow(HWND hwnd);

}  // namespace platform::ui
