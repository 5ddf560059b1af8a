// The table of open objects behind HANDLE values: a handle is an index into
// this table, so a stale or foreign handle is refused instead of followed.
#pragma once

#include <memory>
#include <string>

#include "platform/win32/types.h"

namespace platform::io {

class Object {
 public:
  virtual ~Object() = default;
  // Moves up to count bytes from the current position; false on an error.
  virtual bool Read(void* buffer, DWORD count, DWORD& done) = 0;
  virtual bool Write(const void* buffer, DWORD count, DWORD& done) = 0;
  virtual bool Size(ULONGLONG& size) = 0;
  virtual bool Flush() = 0;
  virtual std::string Describe() const = 0;
};

HANDLE AddObject(std::unique_ptr<Object> object);
// The object behind a handle, kept alive while the caller uses it; null for an
// invalid handle.
std::shared_ptr<Object> FindObject(HANDLE handle);
// Removes the handle; false when it named nothing.
bool RemoveObject(HANDLE handle);
size_t OpenObjectCount();

}  // namespace platform::io
