// Message boxes and opening documents in the desktop's viewer.
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <mutex>

#include "platform/testing.h"
#include "platform/ui/internal.h"

namespace {

struct Handlers {
  std::mutex mutex;
  std::function<int(const platform::testing::MessageBoxRequest&)> messageBox;
  std::function<void(const std::string&)> shellOpen;
};

Handlers& TheHandlers() {
  static Handlers handlers;
  return handlers;
}

}  // namespace

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  const std::string text = lpText != nullptr ? lpText : "";
  // Like the platform, a box without a caption is titled "Error".
  const std::string caption = lpCaption != nullptr ? lpCaption : "Error";
  std::function<int(const platform::testing::MessageBoxRequest&)> handler;
  {
    std::lock_guard<std::mutex> lock(TheHandlers().mutex);
    handler = TheHandlers().messageBox;
  }
  if (handler) return handler({hWnd, text, caption, uType});

  using platform::ui::FromText;
  QMessageBox box(platform::ui::WidgetOf(hWnd));
  box.setWindowTitle(FromText(caption));
  box.setText(FromText(text));
  switch (uType & MB_ICONMASK) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  switch (uType & MB_TYPEMASK) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setEscapeButton(QMessageBox::NoButton);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  box.setWindowModality(Qt::ApplicationModal);
  switch (box.exec()) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return IDOK;
  }
}

HINSTANCE ShellExecuteA(HWND /*hwnd*/, LPCSTR /*lpOperation*/, LPCSTR lpFile, LPCSTR /*lpParameters*/,
                        LPCSTR /*lpDirectory*/, INT /*nShowCmd*/) {
  if (lpFile == nullptr) return reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(2));
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard<std::mutex> lock(TheHandlers().mutex);
    handler = TheHandlers().shellOpen;
  }
  bool opened = true;
  if (handler) {
    handler(lpFile);
  } else {
    opened = QDesktopServices::openUrl(QUrl::fromLocalFile(platform::ui::FromText(lpFile)));
  }
  return reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(opened ? 42 : 31));
}

namespace platform::testing {

void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler) {
  std::lock_guard<std::mutex> lock(TheHandlers().mutex);
  TheHandlers().messageBox = std::move(handler);
}

void SetShellOpenHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard<std::mutex> lock(TheHandlers().mutex);
  TheHandlers().shellOpen = std::move(handler);
}

}  // namespace platform::testing
