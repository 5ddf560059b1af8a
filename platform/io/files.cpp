// CreateFileA and the operations on its handles: regular files, and volumes
// named "\\.\a:" or "\\.\b:".
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/io/drive.h"
#include "platform/io/events.h"
#include "platform/io/handles.h"
#include "platform/io/posix_drive.h"
#include "platform/io/sim.h"
#include "platform/testing.h"
#include "platform/trace.h"
#include "platform/win32/io.h"

namespace platform::io {
namespace {

// Test faults of file reads and writes, by call number since they were set.
struct FileFaults {
  std::mutex mutex;
  std::map<unsigned, testing::SimFault> reads, writes;
  unsigned readCalls = 0, writeCalls = 0;

  // The count a call may move, or false when it must fail.
  bool Apply(bool write, DWORD& count) {
    std::lock_guard<std::mutex> lock(mutex);
    auto& faults = write ? writes : reads;
    const unsigned call = write ? writeCalls++ : readCalls++;
    auto fault = faults.find(call);
    if (fault == faults.end()) return true;
    if (fault->second.fail) return false;
    count = std::min(count, fault->second.count);
    return true;
  }
};

FileFaults& TheFileFaults() {
  static FileFaults faults;
  return faults;
}

class FileObject : public Object {
 public:
  FileObject(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
  ~FileObject() override { ::close(m_fd); }
  std::string Describe() const override { return "file " + m_path; }

  bool Read(void* buffer, DWORD count, DWORD& done) override {
    done = 0;
    return TheFileFaults().Apply(false, count) && ReadFully(m_fd, buffer, count, -1, done);
  }

  bool Write(const void* buffer, DWORD count, DWORD& done) override {
    done = 0;
    return TheFileFaults().Apply(true, count) && WriteFully(m_fd, buffer, count, -1, done);
  }

  bool Size(ULONGLONG& size) override {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return false;
    size = ULONGLONG(st.st_size);
    return true;
  }

  bool Flush() override { return ::fsync(m_fd) == 0; }

 private:
  int m_fd;
  std::string m_path;
};

class VolumeObject : public Object {
 public:
  VolumeObject(std::unique_ptr<DriveBackend> drive, char letter) : m_drive(std::move(drive)), m_letter(letter) {}
  std::string Describe() const override {
    return std::string("volume ") + m_letter + ": (" + m_drive->Describe() + ")";
  }

  bool Read(void* buffer, DWORD count, DWORD& done) override {
    const bool ok = m_drive->ReadAt(m_position, buffer, count, done);
    m_position += done;
    return ok;
  }

  bool Write(const void* buffer, DWORD count, DWORD& done) override {
    const bool ok = m_drive->WriteAt(m_position, buffer, count, done);
    m_position += done;
    return ok;
  }

  bool Size(ULONGLONG& size) override {
    DISK_GEOMETRY geometry;
    if (!m_drive->Geometry(geometry)) return false;
    size = ULONGLONG(geometry.Cylinders.QuadPart) * geometry.TracksPerCylinder * geometry.SectorsPerTrack *
           geometry.BytesPerSector;
    return true;
  }

  bool Flush() override { return m_drive->Dismount(); }

  DriveBackend& Drive() { return *m_drive; }

 private:
  std::unique_ptr<DriveBackend> m_drive;
  char m_letter;
  ULONGLONG m_position = 0;
};

// "\\.\a:" or "\\.\b:", in either case; the drive letter, or 0.
char DriveLetterOf(const char* path) {
  if (std::strncmp(path, "\\\\.\\", 4) != 0) return 0;
  const char* name = path + 4;
  const char letter = char(name[0] | 0x20);
  if ((letter == 'a' || letter == 'b') && name[1] == ':' && name[2] == '\0') return letter;
  return 0;
}

bool IsDevicePath(const char* path) { return std::strncmp(path, "\\\\.\\", 4) == 0; }

HANDLE OpenVolume(const char* path, DWORD access, const std::string& request) {
  const char letter = DriveLetterOf(path);
  std::unique_ptr<DriveBackend> drive = letter != 0 ? OpenDrive(letter, access) : nullptr;
  if (!drive) {
    Report("open", INVALID_HANDLE_VALUE, std::string("volume ") + path + request, false);
    return INVALID_HANDLE_VALUE;
  }
  auto volume = std::make_unique<VolumeObject>(std::move(drive), letter);
  const std::string description = volume->Describe();
  HANDLE handle = AddObject(std::move(volume));
  Report("open", handle, description + request, true);
  return handle;
}

int CreationFlags(DWORD disposition) {
  switch (disposition) {
    case CREATE_NEW: return O_CREAT | O_EXCL;
    case CREATE_ALWAYS: return O_CREAT | O_TRUNC;
    case OPEN_EXISTING: return 0;
    case OPEN_ALWAYS: return O_CREAT;
    case TRUNCATE_EXISTING: return O_TRUNC;
    default: return -1;
  }
}

// Only regular files are files here: a folder, a pipe or a device node given
// as an image path fails to open, as it does on the platform.
HANDLE OpenFile(const char* path, DWORD access, DWORD disposition, const std::string& request) {
  const int creation = CreationFlags(disposition);
  int fd = -1;
  if (creation >= 0 && *path != '\0') {
    const int truncate = creation & O_TRUNC;
    fd = ::open(path, OpenFlagsFor(access) | (creation & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    struct stat st;
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
                    (truncate != 0 && ::ftruncate(fd, 0) != 0))) {
      ::close(fd);
      fd = -1;
    }
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  if (fd < 0) {
    if (Reporting()) Report("open", INVALID_HANDLE_VALUE, std::string("file ") + path + request, false);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = AddObject(std::make_unique<FileObject>(fd, path));
  if (Reporting()) Report("open", handle, std::string("file ") + path + request, true);
  return handle;
}

std::string Bytes(DWORD count, DWORD done) { return std::to_string(done) + "/" + std::to_string(count); }

bool WithVolume(HANDLE handle, const std::function<bool(DriveBackend&)>& action) {
  std::shared_ptr<Object> object = FindObject(handle);
  auto* volume = dynamic_cast<VolumeObject*>(object.get());
  return volume != nullptr && action(volume->Drive());
}

std::string DescribeHandle(HANDLE handle) {
  std::shared_ptr<Object> object = FindObject(handle);
  return object ? object->Describe() : "invalid handle";
}

}  // namespace
}  // namespace platform::io

using namespace platform::io;

// Sharing is not enforced: a volume is claimed by its lock, and an image file
// is the user's. The mode is reported with the rest of the request.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                   DWORD /*dwFlagsAndAttributes*/, HANDLE /*hTemplateFile*/) {
  if (lpFileName == nullptr) return INVALID_HANDLE_VALUE;
  std::string request;
  if (Reporting())
    request = " (access " + platform::Hex(dwDesiredAccess) + ", share " + platform::Hex(dwShareMode) +
              ", disposition " + std::to_string(dwCreationDisposition) + ")";
  if (IsDevicePath(lpFileName)) {
    if (dwCreationDisposition != OPEN_EXISTING) return INVALID_HANDLE_VALUE;
    return OpenVolume(lpFileName, dwDesiredAccess, request);
  }
  return OpenFile(lpFileName, dwDesiredAccess, dwCreationDisposition, request);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED /*lpOverlapped*/) {
  DWORD done = 0;
  std::shared_ptr<Object> object = FindObject(hFile);
  const bool ok = object && (lpBuffer != nullptr || nNumberOfBytesToRead == 0) &&
                  object->Read(lpBuffer, nNumberOfBytesToRead, done);
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = done;
  if (Reporting()) Report("read", hFile, DescribeHandle(hFile) + " " + Bytes(nNumberOfBytesToRead, done), ok);
  return ok ? TRUE : FALSE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED /*lpOverlapped*/) {
  DWORD done = 0;
  std::shared_ptr<Object> object = FindObject(hFile);
  const bool ok = object && (lpBuffer != nullptr || nNumberOfBytesToWrite == 0) &&
                  object->Write(lpBuffer, nNumberOfBytesToWrite, done);
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
  if (Reporting()) Report("write", hFile, DescribeHandle(hFile) + " " + Bytes(nNumberOfBytesToWrite, done), ok);
  return ok ? TRUE : FALSE;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  std::shared_ptr<Object> object = FindObject(hFile);
  ULONGLONG size = 0;
  if (!object || !object->Size(size)) {
    if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = 0;
    return INVALID_FILE_SIZE;
  }
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = DWORD(size >> 32);
  return DWORD(size);
}

BOOL FlushFileBuffers(HANDLE hFile) {
  std::shared_ptr<Object> object = FindObject(hFile);
  const bool ok = object && object->Flush();
  if (Reporting()) Report("flush", hFile, DescribeHandle(hFile), ok);
  return ok ? TRUE : FALSE;
}

BOOL CloseHandle(HANDLE hObject) {
  const std::string description = Reporting() ? DescribeHandle(hObject) : std::string();
  const bool ok = RemoveObject(hObject);
  if (Reporting()) Report("close", hObject, description, ok);
  return ok ? TRUE : FALSE;
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID /*lpInBuffer*/, DWORD /*nInBufferSize*/,
                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                     LPOVERLAPPED /*lpOverlapped*/) {
  DWORD returned = 0;
  const char* op = "ioctl";
  const bool ok = WithVolume(hDevice, [&](DriveBackend& drive) {
    switch (dwIoControlCode) {
      case FSCTL_LOCK_VOLUME:
        op = "lock";
        return drive.Lock();
      case FSCTL_UNLOCK_VOLUME:
        op = "unlock";
        return drive.Unlock();
      case FSCTL_DISMOUNT_VOLUME:
        op = "dismount";
        return drive.Dismount();
      case IOCTL_DISK_GET_DRIVE_GEOMETRY: {
        op = "geometry";
        DISK_GEOMETRY geometry;
        if (lpOutBuffer == nullptr || nOutBufferSize < sizeof geometry || !drive.Geometry(geometry)) return false;
        std::memcpy(lpOutBuffer, &geometry, sizeof geometry);
        returned = sizeof geometry;
        return true;
      }
      case IOCTL_DISK_GET_MEDIA_TYPES: {
        op = "mediatypes";
        std::vector<DISK_GEOMETRY> types;
        if (!drive.MediaTypes(types)) return false;
        const size_t bytes = types.size() * sizeof(DISK_GEOMETRY);
        if (lpOutBuffer == nullptr || nOutBufferSize < bytes) return false;
        if (bytes > 0) std::memcpy(lpOutBuffer, types.data(), bytes);
        const long reported = SimulatedMediaTypesBytes(drive);
        returned = reported >= 0 ? DWORD(std::min<size_t>(size_t(reported), nOutBufferSize)) : DWORD(bytes);
        return true;
      }
      default:
        return false;
    }
  });
  if (lpBytesReturned != nullptr) *lpBytesReturned = returned;
  if (Reporting()) Report(op, hDevice, DescribeHandle(hDevice) + " " + platform::Hex(dwIoControlCode), ok);
  return ok ? TRUE : FALSE;
}

namespace platform::testing {

void SetFileFaults(std::map<unsigned, SimFault> readFaults, std::map<unsigned, SimFault> writeFaults) {
  FileFaults& faults = TheFileFaults();
  std::lock_guard<std::mutex> lock(faults.mutex);
  faults.reads = std::move(readFaults);
  faults.writes = std::move(writeFaults);
  faults.readCalls = faults.writeCalls = 0;
}

size_t OpenHandleCount() { return OpenObjectCount(); }

}  // namespace platform::testing
