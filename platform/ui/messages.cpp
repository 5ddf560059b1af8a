// SendMessageA and PostMessageA. On the window's own thread a send calls the
// window procedure directly. From another thread it waits until the window's
// thread has handled the message: the message is queued, and an event counter
// that the user-interface thread's event loops watch wakes whichever of them
// runs (the dialog's, a file dialog's, a message box's) to deliver it. A
// worker thus never calls into the toolkit.
#include "platform/ui/messages.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/testing.h"
#include "platform/trace.h"
#include "platform/ui/window_table.h"

namespace platform::ui {
namespace {

// A message on its way to the user-interface thread. A sent one has a sender
// waiting for done; a posted one has none.
struct Pending {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  std::string sender;
  bool posted;
  LRESULT result = 0;
  bool done = false;
};

struct Delivery {
  std::mutex mutex;
  std::condition_variable answered;
  std::deque<std::shared_ptr<Pending>> queue;
  bool running = false;
  std::thread::id uiThread;
  int wakeup = -1;                      // an eventfd the user-interface thread watches
  QSocketNotifier* notifier = nullptr;  // lives on the user-interface thread
  std::function<void(const testing::MessageRecord&)> hook;
  std::atomic<bool> hooked{false};  // a hook is installed: worth naming senders
};

Delivery& TheDelivery() {
  static Delivery delivery;
  return delivery;
}

LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, const std::string& sender) {
  WNDPROC proc = nullptr;
  if (!OwnedByThisThread(hwnd, &proc) || proc == nullptr) return 0;
  Delivery& delivery = TheDelivery();
  std::function<void(const testing::MessageRecord&)> hook;
  if (delivery.hooked) {
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
    std::shared_ptr<Pending> pending;
    {
      std::lock_guard<std::mutex> lock(delivery.mutex);
      if (delivery.queue.empty()) return;
      pending = delivery.queue.front();
      delivery.queue.pop_front();
    }
    const LRESULT result = Deliver(pending->hwnd, pending->msg, pending->wParam, pending->lParam, pending->sender);
    if (pending->posted) continue;
    {
      std::lock_guard<std::mutex> lock(delivery.mutex);
      pending->result = result;
      pending->done = true;
    }
    delivery.answered.notify_all();
  }
}

// Queues a message for the user-interface thread and wakes it; false when no
// loop will run there any more.
bool Enqueue(const std::shared_ptr<Pending>& pending) {
  Delivery& delivery = TheDelivery();
  int wakeup = -1;
  {
    std::lock_guard<std::mutex> lock(delivery.mutex);
    if (!delivery.running) return false;
    delivery.queue.push_back(pending);
    wakeup = delivery.wakeup;
  }
  const uint64_t one = 1;
  while (::write(wakeup, &one, sizeof one) < 0 && errno == EINTR) {
  }
  return true;
}

// "WM_COMMAND" for a message number, or its number in hex.
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

// True on the user-interface thread while its loops deliver messages.
bool IsUiThread() {
  Delivery& delivery = TheDelivery();
  std::lock_guard<std::mutex> lock(delivery.mutex);
  return delivery.running && delivery.uiThread == std::this_thread::get_id();
}

// The sending thread's name, for the trace and a test's hook; nothing to
// look up when neither is on.
std::string SenderName() {
  return TheDelivery().hooked || platform::TraceEnabled() ? platform::ThreadName() : std::string();
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
  if (delivery.wakeup < 0) delivery.wakeup = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (delivery.notifier == nullptr) {
    delivery.notifier = new QSocketNotifier(delivery.wakeup, QSocketNotifier::Read);
    // The counter only wakes the loop; the queue is delivered by every loop
    // of this thread each time it looks for work, nested ones included. A
    // message's handler may run a modal loop (a message box opened for a
    // dropped file) in which the worker's sends must still arrive, and the
    // toolkit neither activates a notifier again while its handler runs nor
    // can be relied on to deliver its own events from inside another.
    QObject::connect(delivery.notifier, &QSocketNotifier::activated, delivery.notifier, [] {
      uint64_t count = 0;
      while (::read(TheDelivery().wakeup, &count, sizeof count) < 0 && errno == EINTR) {
      }
    });
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, delivery.notifier, &DrainQueue);
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, delivery.notifier, &DrainQueue);
  }
  delivery.notifier->setEnabled(true);
  delivery.uiThread = std::this_thread::get_id();
  delivery.running = true;
}

void StopDelivery() {
  Delivery& delivery = TheDelivery();
  {
    std::lock_guard<std::mutex> lock(delivery.mutex);
    delivery.running = false;
    for (const std::shared_ptr<Pending>& pending : delivery.queue) {
      pending->result = 0;
      pending->done = true;
    }
    delivery.queue.clear();
    if (delivery.notifier != nullptr) delivery.notifier->setEnabled(false);
  }
  delivery.answered.notify_all();
}



}  // namespace platform::ui

using namespace platform::ui;

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (platform::TraceEnabled()) TraceSend("send", hWnd, Msg, wParam, lParam);
  const std::string sender = SenderName();
  if (OwnedByThisThread(hWnd)) return Deliver(hWnd, Msg, wParam, lParam, sender);
  if (WindowOf(hWnd) == nullptr) return 0;

  auto pending = std::make_shared<Pending>(Pending{hWnd, Msg, wParam, lParam, sender, false});
  if (IsUiThread() || !Enqueue(pending)) return 0;
  Delivery& delivery = TheDelivery();
  std::unique_lock<std::mutex> lock(delivery.mutex);
  delivery.answered.wait(lock, [&] { return pending->done; });
  return pending->result;
}

// Like the platform's, a posted message is delivered later by the window's
// thread, whichever thread posts it.
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (platform::TraceEnabled()) TraceSend("post", hWnd, Msg, wParam, lParam);
  if (WindowOf(hWnd) == nullptr) return FALSE;
  return Enqueue(std::make_shared<Pending>(Pending{hWnd, Msg, wParam, lParam, SenderName(), true})) ? TRUE
                                                                                                           : FALSE;
}

namespace platform::testing {

void SetMessageHook(std::function<void(const MessageRecord&)> hook) {
  Delivery& delivery = TheDelivery();
  std::lock_guard<std::mutex> lock(delivery.mutex);
  delivery.hooked = static_cast<bool>(hook);
  delivery.hook = std::move(hook);
}

}  // namespace platform::testing
