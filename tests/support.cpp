#include "tests/support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

#include "res/resource.h"

namespace varnel_test {
namespace {

void RemoveTree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* dir = ::opendir(path.c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") RemoveTree(path + "/" + name);
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/varnel-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary folder";
  m_path = buffer.data();
}

TempDir::~TempDir() { RemoveTree(m_path); }

std::vector<std::string> TempDir::Names() const { return NamesIn(m_path); }

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ExpectReleased(const platform::testing::SimDrive& drive, bool locked) {
  const auto counts = drive.counts();
  EXPECT_EQ(counts.dismounts, locked ? 1 : 0);
  EXPECT_EQ(counts.unlocks, locked ? 1 : 0);
  EXPECT_EQ(counts.closes, counts.opens - (drive.failOpen ? 1 : 0));
  EXPECT_EQ(platform::testing::LiveVirtualAllocations(), 0u);
  EXPECT_EQ(platform::testing::OpenHandleCount(), 0u);
}

void ExpectReleasedInReverseOrder(const std::vector<std::string>& events) {
  static const std::vector<std::string> kReleases = {"free memory", "close file", "dismount volume", "unlock volume",
                                                     "close volume"};
  static const std::vector<std::string> kTakings = {"alloc memory", "open file", "open volume", "lock volume"};
  long last = -1;
  bool releasing = false;
  for (const std::string& event : events) {
    const auto release = std::find(kReleases.begin(), kReleases.end(), event);
    if (release != kReleases.end()) {
      const long rank = long(release - kReleases.begin());
      EXPECT_GT(rank, last) << event << " out of order in " << ::testing::PrintToString(events);
      last = rank;
      releasing = true;
    } else if (releasing && std::find(kTakings.begin(), kTakings.end(), event) != kTakings.end()) {
      ADD_FAILURE() << event << " after a release in " << ::testing::PrintToString(events);
    }
  }
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<unsigned char> Pattern(size_t size, unsigned seed) {
  std::vector<unsigned char> bytes(size);
  unsigned value = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    value = value * 1103515245u + 12345u;
    bytes[i] = static_cast<unsigned char>(value >> 16);
  }
  return bytes;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

ScopedCommandLine::ScopedCommandLine(std::vector<std::string> arguments)
    : m_arguments(std::move(arguments)), m_savedArgc(__argc), m_savedArgv(__argv) {
  for (std::string& argument : m_arguments) m_pointers.push_back(argument.data());
  m_pointers.push_back(nullptr);
  __argc = int(m_arguments.size());
  __argv = m_pointers.data();
}

ScopedCommandLine::~ScopedCommandLine() {
  __argc = m_savedArgc;
  __argv = m_savedArgv;
}

Recorder::Recorder(CDiskCopyDlg& dlg, std::function<void(const platform::testing::MessageRecord&)> also)
    : m_dlg(dlg), m_also(std::move(also)), m_shown(dlg.m_strLog.str().size()) {
  platform::testing::SetMessageHook([this](const platform::testing::MessageRecord& record) {
    Note(record);
    if (m_also) m_also(record);
  });
}

void Recorder::Note(const platform::testing::MessageRecord& record) {
    if (record.hwnd == m_dlg.m_hWnd && record.msg == WM_COMMAND) {
      switch (record.wParam) {
        case ID_NOTIFY_CLEAR_LOG:
          m_events.push_back("clear");
          m_shown = 0;
          break;
        case ID_NOTIFY_BEGIN:
          m_events.push_back("begin");
          break;
        case ID_NOTIFY_END:
          m_events.push_back("end");
          break;
        case ID_NOTIFY_UPDATE_LOG: {
          // The worker waits while the dialog handles this, so its log is
          // read safely here.
          const std::string& log = m_dlg.m_strLog.str();
          m_events.push_back("log:" + log.substr(std::min(m_shown, log.size())));
          m_shown = log.size();
          break;
        }
        default:
          break;
      }
    } else if (record.hwnd == m_dlg.m_progress.m_hWnd && record.msg == PBM_SETPOS) {
      m_events.push_back("pos:" + std::to_string(record.wParam));
    }
}

Recorder::~Recorder() { platform::testing::SetMessageHook(nullptr); }

std::vector<std::string> Recorder::Pieces() const {
  std::vector<std::string> pieces;
  for (const std::string& event : m_events)
    if (event.rfind("log:", 0) == 0) pieces.push_back(event.substr(4));
  return pieces;
}

std::vector<int> Recorder::Positions() const {
  std::vector<int> positions;
  for (const std::string& event : m_events)
    if (event.rfind("pos:", 0) == 0) positions.push_back(std::stoi(event.substr(4)));
  return positions;
}

struct IoRecorder::State {
  std::mutex mutex;
  std::vector<std::string> events;
  std::vector<std::string> details;
};

IoRecorder::IoRecorder() : m_state(std::make_shared<State>()) {
  std::shared_ptr<State> state = m_state;
  platform::testing::SetIoObserver([state](const platform::testing::IoEvent& event) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->events.push_back(event.op + " " + event.kind + (event.ok ? "" : " failed"));
    state->details.push_back(event.detail);
  });
}

IoRecorder::~IoRecorder() { platform::testing::SetIoObserver(nullptr); }

std::vector<std::string> IoRecorder::events() const {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return m_state->events;
}

std::vector<std::string> IoRecorder::Details(const std::string& event) const {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  std::vector<std::string> details;
  for (size_t i = 0; i < m_state->events.size(); ++i)
    if (m_state->events[i] == event) details.push_back(m_state->details[i]);
  return details;
}

void ExpectOneOpenEach(const IoRecorder& io, const std::string& volumeRequest, const std::string& fileRequest) {
  auto endsWith = [](const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  };
  for (const auto& [event, request] : {std::pair<std::string, std::string>{"open volume", volumeRequest},
                                       std::pair<std::string, std::string>{"open file", fileRequest}}) {
    const std::vector<std::string> opens = io.Details(event);
    ASSERT_EQ(opens.size(), 1u) << event;
    EXPECT_TRUE(endsWith(opens[0], request)) << opens[0];
  }
}

void ResetSeams() {
  platform::testing::RemoveSimDrives();
  platform::testing::SetIoObserver(nullptr);
  platform::testing::SetMessageHook(nullptr);
  platform::testing::SetVirtualAllocFailure(nullptr);
  platform::testing::SetFileFaults({}, {});
  platform::testing::SetMessageBoxHandler(nullptr);
  platform::testing::SetFileDialogHandler(nullptr);
  platform::testing::SetThreadStartFailure(false);
  platform::testing::SetDrawIconObserver(nullptr);
  platform::testing::SetShellOpenHandler(nullptr);
}

void DialogTest::SetUp() {
  ResetSeams();
  // Tests answer every message box; one that reaches the screen is a fault.
  platform::testing::SetMessageBoxHandler([](const platform::testing::MessageBoxRequest& request) {
    ADD_FAILURE() << "unexpected message box: " << request.text;
    return IDOK;
  });
  commandLine = std::make_unique<ScopedCommandLine>(std::vector<std::string>{"varnel"});
  dlg = std::make_unique<CDiskCopyDlg>();
  ASSERT_TRUE(dlg->Create(IDD_MAIN));
  AfxGetApp()->m_pMainWnd = dlg.get();
}

void DialogTest::TearDown() {
  WaitForWorkers();
  AfxGetApp()->m_pMainWnd = nullptr;
  if (dlg && dlg->m_hWnd != nullptr) dlg->DestroyWindow();
  dlg.reset();
  commandLine.reset();
  ResetSeams();
}

void DialogTest::WaitForWorkers() {
  EXPECT_TRUE(platform::testing::PumpUntil([] { return platform::testing::LiveWorkerThreads() == 0; }))
      << "a worker did not end";
}

std::string DialogTest::Text(int id) const {
  char text[512] = "";
  GetWindowTextA(Control(id), text, sizeof text);
  return text;
}

}  // namespace varnel_test
