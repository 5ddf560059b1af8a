#include "platform/io/events.h"

#include <mutex>

#include "platform/testing.h"
#include "platform/trace.h"

namespace platform::io {
namespace {

struct Observer {
  std::mutex mutex;
  std::function<void(const testing::IoEvent&)> callback;
  bool installed = false;
};

Observer& TheObserver() {
  static Observer observer;
  return observer;
}

std::string KindOf(const std::string& op, const std::string& detail) {
  if (op == "alloc" || op == "free") return "memory";
  return detail.rfind("volume", 0) == 0 ? "volume" : "file";
}

}  // namespace

bool Reporting() {
  if (TraceEnabled()) return true;
  Observer& observer = TheObserver();
  std::lock_guard<std::mutex> lock(observer.mutex);
  return observer.installed;
}

void Report(const std::string& op, HANDLE handle, const std::string& detail, bool ok) {
  if (TraceEnabled())
    TraceLine("io " + op + " " + Hex(reinterpret_cast<ULONG_PTR>(handle)) + " " + detail + (ok ? " -> ok" : " -> failed"));
  std::function<void(const testing::IoEvent&)> callback;
  {
    Observer& observer = TheObserver();
    std::lock_guard<std::mutex> lock(observer.mutex);
    callback = observer.callback;
  }
  if (callback) callback(testing::IoEvent{op, KindOf(op, detail), handle, detail, ok});
}

}  // namespace platform::io

namespace platform::testing {

void SetIoObserver(std::function<void(const IoEvent&)> observer) {
  auto& target = io::TheObserver();
  std::lock_guard<std::mutex> lock(target.mutex);
  target.installed = static_cast<bool>(observer);
  target.callback = std::move(observer);
}

}  // namespace platform::testing
