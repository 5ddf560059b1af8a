// The window operations on the table's windows.
#include <QApplication>
#include <QWidget>

#include "platform/ui/internal.h"
#include "platform/ui/window_table.h"

namespace platform::ui {

QString FromText(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
std::string ToText(const QString& text) { return text.toUtf8().toStdString(); }

namespace {

Window* Own(HWND hwnd) { return OwnedByThisThread(hwnd) ? WindowOf(hwnd) : nullptr; }

}  // namespace
}  // namespace platform::ui

using namespace platform::ui;

BOOL IsWindow(HWND hWnd) { return WindowOf(hWnd) != nullptr ? TRUE : FALSE; }

BOOL DestroyWindow(HWND hWnd) {
  Window* window = Own(hWnd);
  if (window == nullptr) return FALSE;
  if (window->widget && window->parent == nullptr) window->widget->hide();
  if (window->systemMenu != nullptr) DestroyMenu(window->systemMenu);
  RemoveWindow(hWnd);
  return TRUE;
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
  Window* window = Own(hWnd);
  if (window == nullptr) return FALSE;
  const bool wasDisabled = (window->style & WS_DISABLED) != 0;
  if (bEnable) {
    window->style &= ~WS_DISABLED;
  } else {
    window->style |= WS_DISABLED;
  }
  if (window->widget) window->widget->setEnabled(bEnable != FALSE);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) {
  Window* window = Own(hWnd);
  return window != nullptr && !(window->style & WS_DISABLED) ? TRUE : FALSE;
}


BOOL ShowWindow(HWND hWnd, int nCmdShow) {
  Window* window = Own(hWnd);
  if (window == nullptr || !window->widget) return FALSE;
  const bool wasVisible = window->widget->isVisible();
  switch (nCmdShow) {
    case SW_HIDE: window->widget->hide(); break;
    case SW_MINIMIZE: window->widget->showMinimized(); break;
    case SW_RESTORE: window->widget->showNormal(); break;
    default: window->widget->show(); break;
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL IsIconic(HWND hWnd) {
  Window* window = Own(hWnd);
  return window != nullptr && window->widget && (window->widget->windowState() & Qt::WindowMinimized) ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : "")) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  if (lpString == nullptr || nMaxCount <= 0) return 0;
  return int(SendMessageA(hWnd, WM_GETTEXT, WPARAM(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthA(HWND hWnd) { return int(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0)); }

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
  Window* dialog = Own(hDlg);
  if (dialog == nullptr) return nullptr;
  for (HWND child : dialog->children) {
    Window* control = WindowOf(child);
    if (control != nullptr && control->id == nIDDlgItem) return child;
  }
  return nullptr;
}


HWND GetParent(HWND hWnd) {
  Window* window = Own(hWnd);
  return window != nullptr ? window->parent : nullptr;
}



BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
  Window* window = Own(hWnd);
  if (window == nullptr || !window->widget || lpRect == nullptr) return FALSE;
  *lpRect = RECT{0, 0, window->widget->width(), window->widget->height()};
  return TRUE;
}


BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL /*bRepaint*/) {
  Window* window = Own(hWnd);
  if (window == nullptr || !window->widget) return FALSE;
  QWidget* widget = window->widget.data();
  if (window->parent == nullptr && widget->minimumSize() == widget->maximumSize())
    widget->setFixedSize(nWidth, nHeight);
  widget->setGeometry(X, Y, nWidth, nHeight);
  return TRUE;
}

