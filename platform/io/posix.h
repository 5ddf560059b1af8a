// Small POSIX helpers shared by the layer's file, drive, dialog and registry
// code.
#pragma once

#include <string>

#include "platform/win32/types.h"

namespace platform::io {

// Moves count bytes unless the end of the data or an error stops it, retrying
// after interruptions; at offset, or at the file position when offset is
// negative. False on an error; done is what moved before it. A write that
// meets the end of a device after moving something stops short without error.
bool ReadFully(int fd, void* buffer, DWORD count, long long offset, DWORD& done);
bool WriteFully(int fd, const void* buffer, DWORD count, long long offset, DWORD& done);

// The folder part of a path: "." for a bare name, "/" for a name at the root.
std::string FolderOf(const std::string& path);
// Makes the folder's entries (a rename into it) reach the disk.
bool SyncFolder(const std::string& folder);

}  // namespace platform::io
