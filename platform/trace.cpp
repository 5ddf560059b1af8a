#include "platform/trace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace platform {
namespace {

struct TraceFile {
  std::mutex mutex;
  FILE* file = nullptr;
  std::map<std::thread::id, int> threadNumbers;

  TraceFile() {
    const char* path = std::getenv("VARNEL_TRACE");
    if (path != nullptr && *path != '\0') file = std::fopen(path, "a");
  }
  ~TraceFile() {
    if (file != nullptr) std::fclose(file);
  }
};

TraceFile& Trace() {
  static TraceFile trace;
  return trace;
}

}  // namespace

bool TraceEnabled() {
  static const bool enabled = Trace().file != nullptr;
  return enabled;
}

std::string ThreadName() {
  TraceFile& trace = Trace();
  std::lock_guard<std::mutex> lock(trace.mutex);
  auto inserted = trace.threadNumbers.emplace(std::this_thread::get_id(), int(trace.threadNumbers.size()) + 1);
  return "T" + std::to_string(inserted.first->second);
}

void TraceLine(const std::string& line) {
  if (!TraceEnabled()) return;
  const std::string thread = ThreadName();
  TraceFile& trace = Trace();
  std::lock_guard<std::mutex> lock(trace.mutex);
  std::fprintf(trace.file, "%s %s\n", thread.c_str(), line.c_str());
  std::fflush(trace.file);
}

std::string Hex(unsigned long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", value);
  return text;
}

}  // namespace platform
