// SendMessageA and PostMessageA. On the window's own thread a send calls the
// window procedure directly. From another thread it waits until the window's
// thread has handled the message: the message is queued and a posted event
// makes whatever event loop runs there (the dialog's, a file dialog's, a
// message box's) deliver it.
#include "platform/ui/messages.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/testing.h"
#include "platform/trace.h"
#include "platform/ui/window_table.h"

namespace platform::ui {
namespace {

struct PendingSend {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  std::string sender;
  LRESULT result = 0;
  bool done = false;
};

struct Delivery {
  std::mutex mutex;
  std::condition_variable answered;
  std::deque<PendingSend*> queue;
  bool running = false;
  std::thread::id uiThread;
  QObject* receiver = nullptr;  // lives on the user-interface thread
  std::function<void(const testing::MessageRecord&)> hook;
};

Delivery& TheDelivery() {
  static Delivery delivery;
  return delivery;
}

LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, const std::string& sender) {
  WNDPROC proc = nullptr;
  if (!OwnedByThisThread(hwnd, &proc) || proc == nullptr) return 0;
  std::function<void(const testing::MessageRecord&)> hook;
  {
    Delivery& delivery = TheDelivery();
    std::lock_guard<std::mutex> lock(delivery.mutex);
    hook = delivery.hook;
  }
  if (hook) {
    testing::MessageRecord record{sender, hwnd, msg, wParam, lParam, {}};
    if (msg == WM_SETTEXT && lParam != 0) record.text = reinterpret_cast<const char*>(lParam);
    hook(record);
  }
  return proc(hwnd, msg, wParam, lParam);
}

void DrainQueue() {
  Delivery& delivery = TheDelivery();
  for (;;) {
    PendingSend* send = nullptr;
    {
      std::lock_guard<std::mutex> lock(delivery.mutex);
      if (delivery.queue.empty()) return;
      send = delivery.queue.front();
      delivery.queue.pop_front();
    }
    const LRESULT result = Deliver(send->hwnd, send->msg, send->wParam, send->lParam, send->sender);
    {
      std::lock_guard<std::mutex> lock(delivery.mutex);
      send->result = result;
      send->done = true;
    }
    delivery.answered.notify_all();
  }
}

void TraceSend(const char* kind, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::string line = std::string(kind) + " " + Hex(reinterpret_cast<ULONG_PTR>(hwnd)) + " " + MessageName(msg) +
                     " " + Hex(wParam) + " " + Hex(static_cast<ULONG_PTR>(lParam));
  if (msg == WM_SETTEXT && lParam != 0) {
    std::string text = reinterpret_cast<const char*>(lParam);
    std::string escaped;
    for (char c : text) escaped += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    line += " \"" + escaped + "\"";
  }
  TraceLine(line);
}

}  // namespace

void StartDelivery() {
  Delivery& delivery = TheDelivery();
  std::lock_guard<std::mutex> lock(delivery.mutex);
  if (delivery.receiver == nullptr) delivery.receiver = new QObject();
  delivery.uiThread = std::this_thread::get_id();
  delivery.running = true;
}

void StopDelivery() {
  Delivery& delivery = TheDelivery();
  {
    std::lock_guard<std::mutex> lock(delivery.mutex);
    delivery.running = false;
    for (PendingSend* send : delivery.queue) {
      send->result = 0;
      send->done = true;
    }
    delivery.queue.clear();
  }
  delivery.answered.notify_all();
}

bool IsUiThread() {
  Delivery& delivery = TheDelivery();
  std::lock_guard<std::mutex> lock(delivery.mutex);
  return delivery.running && delivery.uiThread == std::this_thread::get_id();
}

std::string MessageName(UINT msg) {
  switch (msg) {
    case WM_SETTEXT: return "WM_SETTEXT";
    case WM_GETTEXT: return "WM_GETTEXT";
    case WM_GETTEXTLENGTH: return "WM_GETTEXTLENGTH";
    case WM_PAINT: return "WM_PAINT";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_ENABLE: return "WM_ENABLE";
    case WM_SETCURSOR: return "WM_SETCURSOR";
    case WM_ICONERASEBKGND: return "WM_ICONERASEBKGND";
    case WM_QUERYDRAGICON: return "WM_QUERYDRAGICON";
    case WM_SETICON: return "WM_SETICON";
    case WM_INITDIALOG: return "WM_INITDIALOG";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_SYSCOMMAND: return "WM_SYSCOMMAND";
    case WM_DROPFILES: return "WM_DROPFILES";
    case PBM_SETRANGE: return "PBM_SETRANGE";
    case PBM_SETPOS: return "PBM_SETPOS";
    case PBM_GETPOS: return "PBM_GETPOS";
    case BM_CLICK: return "BM_CLICK";
    default: return Hex(msg);
  }
}

}  // namespace platform::ui

using namespace platform::ui;

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (platform::TraceEnabled()) TraceSend("send", hWnd, Msg, wParam, lParam);
  const std::string sender = platform::ThreadName();
  if (OwnedByThisThread(hWnd)) return Deliver(hWnd, Msg, wParam, lParam, sender);
  if (WindowOf(hWnd) == nullptr) return 0;

  Delivery& delivery = TheDelivery();
  PendingSend send{hWnd, Msg, wParam, lParam, sender};
  QObject* receiver = nullptr;
  {
    std::lock_guard<std::mutex> lock(delivery.mutex);
    if (!delivery.running || delivery.uiThread == std::this_thread::get_id()) return 0;
    delivery.queue.push_back(&send);
    receiver = delivery.receiver;
  }
  QMetaObject::invokeMethod(receiver, &DrainQueue, Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(delivery.mutex);
  delivery.answered.wait(lock, [&] { return send.done; });
  return send.result;
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (platform::TraceEnabled()) TraceSend("post", hWnd, Msg, wParam, lParam);
  if (WindowOf(hWnd) == nullptr) return FALSE;
  Delivery& delivery = TheDelivery();
  QObject* receiver = nullptr;
  {
    std::lock_guard<std::mutex> lock(delivery.mutex);
    if (!delivery.running) return FALSE;
    receiver = delivery.receiver;
  }
  const std::string sender = platform::ThreadName();
  QMetaObject::invokeMethod(
      receiver, [=] { Deliver(hWnd, Msg, wParam, lParam, sender); }, Qt::QueuedConnection);
  return TRUE;
}

namespace platform::testing {

void SetMessageHook(std::function<void(const MessageRecord&)> hook) {
  Delivery& delivery = TheDelivery();
  std::lock_guard<std::mutex> lock(delivery.mutex);
  delivery.hook = std::move(hook);
}

}  // namespace platform::testing
