// Fixtures shared by the tests: temporary folders, the command line, a record
// of what the dialog and the progress bar received, and a main dialog.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "ui/DiskCopyDlg.h"

namespace varnel_test {

// A new folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string m_path;
};

// The names in a folder, sorted; none when it does not exist.
std::vector<std::string> NamesIn(const std::string& folder);
std::vector<unsigned char> ReadBytes(const std::string& path);
// Everything the drive gave out was given back: a dismount and an unlock
// exactly when it was locked, a close for every open, and no buffer or handle
// is left.
void ExpectReleased(const platform::testing::SimDrive& drive, bool locked);
// The releases among these I/O events come in the reverse order of taking:
// the buffer, the image file, the dismount, the unlock, the volume handle,
// each at most once, and nothing is taken after the first of them.
void ExpectReleasedInReverseOrder(const std::vector<std::string>& events);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
// size bytes, each derived from its offset and seed.
std::vector<unsigned char> Pattern(size_t size, unsigned seed);
bool Exists(const std::string& path);

// Sets __argc and __argv for the lifetime of the object.
class ScopedCommandLine {
 public:
  explicit ScopedCommandLine(std::vector<std::string> arguments);
  ~ScopedCommandLine();

 private:
  std::vector<std::string> m_arguments;
  std::vector<char*> m_pointers;
  int m_savedArgc;
  char** m_savedArgv;
};

// What a dialog and its progress bar received, in order: "clear" (105),
// "begin" (103), "log:<piece>" (101, with the piece it shows), "end" (104),
// "pos:<n>" (PBM_SETPOS to the bar).
class Recorder {
 public:
  // also, when given, sees every message after the recorder.
  explicit Recorder(CDiskCopyDlg& dlg,
                    std::function<void(const platform::testing::MessageRecord&)> also = nullptr);
  ~Recorder();
  std::vector<std::string> events() const { return m_events; }
  // Only the log pieces, without the "log:" prefix.
  std::vector<std::string> Pieces() const;
  std::vector<int> Positions() const;
  void Clear() { m_events.clear(); }

 private:
  void Note(const platform::testing::MessageRecord& record);
  CDiskCopyDlg& m_dlg;
  std::function<void(const platform::testing::MessageRecord&)> m_also;
  std::vector<std::string> m_events;
  size_t m_shown = 0;
};

// Records file, volume and memory operations as "op kind" strings
// ("close volume", "free memory", ...).
class IoRecorder {
 public:
  IoRecorder();
  ~IoRecorder();
  std::vector<std::string> events() const;
  // The details of the events "op kind", in order.
  std::vector<std::string> Details(const std::string& event) const;

 private:
  struct State;
  std::shared_ptr<State> m_state;
};

// One volume and one file were opened, each with this request (access,
// sharing and disposition, as the I/O events describe it).
void ExpectOneOpenEach(const IoRecorder& io, const std::string& volumeRequest, const std::string& fileRequest);

// A main dialog created without a modal loop, as the application object's
// main window; every seam of the layer is reset around it.
class DialogTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;
  // Runs the event loop until no worker thread is left.
  void WaitForWorkers();
  HWND Control(int id) const { return GetDlgItem(dlg->m_hWnd, id); }
  std::string Text(int id) const;

  std::unique_ptr<ScopedCommandLine> commandLine;
  std::unique_ptr<CDiskCopyDlg> dlg;
  TempDir dir;
};

void ResetSeams();

}  // namespace varnel_test
