// Test seams of the layer. All are off by default; application code never
// knows it is under test.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform::testing {

// ---- Simulated drives ------------------------------------------------------

// One fault of a read or write call: the call fails, or moves only count bytes.
struct SimFault {
  bool fail = false;
  DWORD count = 0;
};

// An in-memory floppy drive. Configure it before a transfer; every operation
// is counted and listed in order. Safe to use from the worker and the test.
class SimDrive {
 public:
  // The medium's bytes: reads past its end deliver 0 bytes, writes past it
  // fail as on a device.
  std::vector<unsigned char> medium;
  DISK_GEOMETRY geometry{};
  std::vector<DISK_GEOMETRY> mediaTypes;
  // The byte count the media-types control reports; negative: all records.
  long mediaTypesBytes = -1;
  bool failOpen = false;
  bool failLock = false;
  bool failGeometry = false;
  bool failMediaTypes = false;
  // Faults by call number, counted from 0 over the drive's life.
  std::map<unsigned, SimFault> readFaults;
  std::map<unsigned, SimFault> writeFaults;

  struct Counts {
    int opens = 0, locks = 0, unlocks = 0, dismounts = 0, closes = 0, reads = 0, writes = 0;
  };
  Counts counts() const;
  std::vector<std::string> operations() const;

  // A drive of this geometry, listed as its only media type, whose medium
  // holds cylinders * cylinder size bytes, each byte its offset's low byte
  // mixed with the cylinder number.
  static std::shared_ptr<SimDrive> WithGeometry(DWORD cylinders, DWORD heads, DWORD sectors, DWORD bytesPerSector);

  // Used by the layer.
  mutable std::mutex mutex;
  Counts m_counts;
  std::vector<std::string> m_operations;
};

DISK_GEOMETRY MakeGeometry(LONGLONG cylinders, DWORD heads, DWORD sectors, DWORD bytesPerSector,
                           MEDIA_TYPE type = F3_1Pt44_512);

// Drive letter 'a' or 'b' is served by this drive until removed.
void InstallSimDrive(char letter, std::shared_ptr<SimDrive> drive);
void RemoveSimDrives();

// ---- File, volume and memory operations ------------------------------------

struct IoEvent {
  std::string op;      // open, close, read, write, flush, lock, unlock, dismount, geometry, mediatypes, alloc, free
  std::string kind;    // file, volume or memory
  HANDLE handle;
  std::string detail;  // path, byte counts
  bool ok;
};
// Called on the calling thread for every operation; pass nullptr to stop.
void SetIoObserver(std::function<void(const IoEvent&)> observer);

// Decides per call whether VirtualAlloc of that many bytes fails; nullptr:
// never.
void SetVirtualAllocFailure(std::function<bool(SIZE_T)> fails);
size_t LiveVirtualAllocations();
size_t OpenHandleCount();

// Faults of reads and writes on regular files, by call number from 0 over all
// file handles opened after this call; clear with empty maps.
void SetFileFaults(std::map<unsigned, SimFault> readFaults, std::map<unsigned, SimFault> writeFaults);

// ---- Windows and messages ---------------------------------------------------

// One message as a window received it, on the window's thread.
struct MessageRecord {
  std::string sender;  // the sending thread ("T1" is the first thread seen)
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  std::string text;    // the text of WM_SETTEXT
};
// Called for every message sent or posted to a window, before the window
// procedure runs; pass nullptr to stop.
void SetMessageHook(std::function<void(const MessageRecord&)> hook);

// Called for every DrawIcon; pass nullptr to stop.
void SetDrawIconObserver(std::function<void(HWND window, int x, int y, HICON icon)> observer);

// Answers message boxes without showing them: the answer is the box's result.
// The handler may run an event loop, as a shown box would.
struct MessageBoxRequest {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};
void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler);

// Answers the common file dialogs without showing them. The handler sees the
// caller's record and returns the name the user would type, or cancels. A name
// the dialog would refuse (a file that must exist and does not) is refused as
// the shown dialog refuses it, and the handler is asked again with refused set.
struct FileDialogAnswer {
  bool cancel = false;
  std::string name;
};
struct FileDialogRequest {
  const OPENFILENAMEA* record;
  bool save;
  std::string refused;  // the name refused before, if any
};
void SetFileDialogHandler(std::function<FileDialogAnswer(const FileDialogRequest&)> handler);

// Makes AfxBeginThread fail to start a thread while set.
void SetThreadStartFailure(bool fail);
// Worker threads started with AfxBeginThread that have not ended yet.
size_t LiveWorkerThreads();

// Called instead of opening a document in the desktop's viewer; nullptr:
// open it for real.
void SetShellOpenHandler(std::function<void(const std::string& path)> handler);

// Forgets the registry's keys, open handles and data folder, so that the next
// registry call reads the store under the XDG_DATA_HOME of that moment.
void ResetRegistry();

// The widget behind a window (a QWidget*), to drive it as a user would.
void* WidgetOf(HWND hwnd);

// Drops these paths on the window as the desktop would; false when the window
// refuses the drop.
bool DropFiles(HWND hwnd, const std::vector<std::string>& paths);

// Runs the calling thread's event loop until done() holds or the time is up;
// false on time-out.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000);

// The dialog the user-interface thread is running modally now, innermost
// first (none: null).
HWND ActiveModalDialog();

}  // namespace platform::testing
