// What the parts of the window layer offer each other and the framework.
#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QWidget>
#include <functional>
#include <string>

#include "platform/resources.h"
#include "platform/win32.h"

namespace platform::ui {

struct Window;

// Text of the platform's A functions is UTF-8 on Linux.
QString FromText(const std::string& text);
std::string ToText(const QString& text);

// Controls: creates the widget of a template item inside the dialog widget,
// and the procedure of the control classes.
QWidget* CreateControl(Window& control, QWidget* dialog, const QFont& font);
LRESULT ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Shows a bitmap resource in a static picture control at its real size.
void SetStaticPicture(Window& control, WORD bitmapId);

// Dialogs.
HWND CreateDialogFromTemplate(WORD templateId, HWND owner, WNDPROC proc, void* context);
DWORD StyleOf(HWND hwnd);
// What the creator of a window attached to it.
void* ContextOf(HWND hwnd);
INT_PTR RunModalDialog(HWND dialog);
// What F1 in any dialog of the layer does; the framework sets it.
void SetHelpKeyHandler(std::function<void()> handler);
QWidget* WidgetOf(HWND hwnd);
void ShowSystemMenu(HWND hwnd, const QPoint& where);
// The default processing of dialogs and of messages no procedure handles.
LRESULT DefaultProcessing(Window& window, UINT msg, WPARAM wParam, LPARAM lParam);

// Icons and pictures.
QIcon IconOf(HICON icon);
QImage ImageOfIcon(HICON icon, int size);
// Icon N of the program file (the Nth icon group by id) as a PNG of the given
// size; empty when there is no such icon.
QByteArray IconPng(int index, int size);
QImage ImageFromDib(const unsigned char* dib, size_t size);
void SetPainter(HWND hwnd, class QPainter* painter);

// Menus.
HMENU CreateSystemMenu();
void DestroyMenu(HMENU menu);
struct MenuItem {
  UINT flags;
  UINT_PTR id;
  std::string text;
};
std::vector<MenuItem> MenuItems(HMENU menu);

}  // namespace platform::ui
