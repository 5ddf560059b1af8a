// The main dialog: its state after set-up, the drive switch, the worker's
// notifications, the system-menu routing, the minimised icon, and closing.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <thread>

#include "jobs/TransferJob.h"
#include "platform/trace.h"
#include "tests/support.h"

namespace varnel_test {
namespace {

using platform::testing::SimDrive;

std::string MenuText(HMENU menu, int position) {
  char text[128] = "";
  GetMenuStringA(menu, UINT(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

void PressKey(HWND window, int key) {
  QWidget* widget = static_cast<QWidget*>(platform::testing::WidgetOf(window));
  ASSERT_NE(widget, nullptr);
  // Keys go where the user's would: to the control that has the focus.
  QWidget* target = widget->focusWidget() != nullptr ? widget->focusWidget() : widget;
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &press);
}

class MainDialogTest : public DialogTest {};

TEST_F(MainDialogTest, StateRightAfterSetUp) {
  EXPECT_EQ(dlg->m_nDrive, 0);
  EXPECT_EQ(Text(IDC_READ), "Read A:");
  EXPECT_EQ(Text(IDC_WRITE), "Write A:");
  EXPECT_EQ(Text(IDC_SWITCH), "&Switch");
  EXPECT_EQ(Text(IDC_LOG), "");
  char caption[64] = "";
  GetWindowTextA(dlg->m_hWnd, caption, sizeof caption);
  EXPECT_STREQ(caption, "Varnel for WinNT");
  EXPECT_EQ(SendMessageA(Control(IDC_PROGRESS), PBM_GETRANGE, TRUE, 0), 1);
  EXPECT_EQ(SendMessageA(Control(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendMessageA(Control(IDC_PROGRESS), PBM_GETPOS, 0, 0), 1);
  for (int id : {IDC_READ, IDC_WRITE, IDC_SWITCH, IDC_LOG, IDC_PROGRESS}) EXPECT_TRUE(IsWindowEnabled(Control(id)));
  EXPECT_NE(dlg->m_hIcon, nullptr);
  EXPECT_EQ(SendMessageA(dlg->m_hWnd, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(dlg->m_hIcon));
  EXPECT_EQ(SendMessageA(dlg->m_hWnd, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(dlg->m_hIcon));

  // The system menu: what the layer can honour, then the appended items.
  HMENU menu = GetSystemMenu(dlg->m_hWnd, FALSE);
  ASSERT_NE(menu, nullptr);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 5);
  EXPECT_EQ(GetMenuState(menu, UINT(count - 5), MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
  EXPECT_EQ(MenuText(menu, count - 4), "&Reg Filetypes");
  EXPECT_EQ(GetMenuItemID(menu, count - 4), UINT(IDM_REG_FILETYPES));
  EXPECT_EQ(MenuText(menu, count - 3), "&UnReg Filetypes");
  EXPECT_EQ(GetMenuItemID(menu, count - 3), UINT(IDM_UNREG_FILETYPES));
  EXPECT_EQ(GetMenuState(menu, UINT(count - 2), MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
  EXPECT_EQ(MenuText(menu, count - 1), "&About...");
  EXPECT_EQ(GetMenuItemID(menu, count - 1), UINT(IDM_ABOUTBOX));
  EXPECT_EQ(GetMenuState(menu, IDM_ABOUTBOX, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED | MF_CHECKED), 0u);
  EXPECT_EQ(platform::testing::LiveWorkerThreads(), 0u) << "no command line, no transfer";
}

TEST_F(MainDialogTest, SwitchTogglesTheDriveAndTheButtonTexts) {
  SendMessageA(Control(IDC_SWITCH), BM_CLICK, 0, 0);
  EXPECT_EQ(dlg->m_nDrive, 1);
  EXPECT_EQ(Text(IDC_READ), "Read B:");
  EXPECT_EQ(Text(IDC_WRITE), "Write B:");
  SendMessageA(Control(IDC_SWITCH), BM_CLICK, 0, 0);
  EXPECT_EQ(dlg->m_nDrive, 0);
  EXPECT_EQ(Text(IDC_READ), "Read A:");
  EXPECT_EQ(Text(IDC_WRITE), "Write A:");
  EXPECT_EQ(Text(IDC_SWITCH), "&Switch");
}

TEST_F(MainDialogTest, NotificationsMoveButtonsAndLog) {
  auto enabled = [&] {
    std::vector<bool> state;
    for (int id : {IDC_READ, IDC_WRITE, IDC_SWITCH, IDC_LOG, IDC_PROGRESS}) state.push_back(IsWindowEnabled(Control(id)));
    return state;
  };
  SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_BEGIN, 0);
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, true, true}));
  SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_END, 0);
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true, true}));

  dlg->m_strLog = "opening disk a:...";
  SendMessageA(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(ID_NOTIFY_UPDATE_LOG, 1), 0);
  EXPECT_EQ(Text(IDC_LOG), "") << "101 in the low half only is no log refresh";
  SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_UPDATE_LOG, 0);
  EXPECT_EQ(Text(IDC_LOG), "opening disk a:...");
  SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_CLEAR_LOG, 0);
  EXPECT_EQ(Text(IDC_LOG), "");
  EXPECT_EQ(dlg->m_strLog, "");
}

TEST_F(MainDialogTest, SystemCommandsAreRecognisedOnlyAsSystemCommands) {
  TempDir data;
  ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
  platform::testing::ResetRegistry();
  HKEY key = nullptr;
  auto registered = [&] {
    const bool found = RegOpenKeyA(HKEY_CLASSES_ROOT, ".dsk", &key) == ERROR_SUCCESS;
    if (found) RegCloseKey(key);
    return found;
  };

  // Other messages that carry 108 or 107 are only passed on.
  SendMessageA(dlg->m_hWnd, WM_USER, IDM_REG_FILETYPES, 0);
  SendMessageA(dlg->m_hWnd, WM_COMMAND, IDM_REG_FILETYPES, 0);
  EXPECT_FALSE(registered());
  HWND opened = nullptr;
  QTimer::singleShot(0, [&] {
    opened = platform::testing::ActiveModalDialog();
    if (opened != nullptr) EndDialog(opened, IDCANCEL);
  });
  SendMessageA(dlg->m_hWnd, WM_COMMAND, IDM_ABOUTBOX, 0);
  platform::testing::PumpUntil([] { return false; }, 50);
  EXPECT_EQ(opened, nullptr);

  SendMessageA(dlg->m_hWnd, WM_SYSCOMMAND, IDM_REG_FILETYPES, 0);
  EXPECT_TRUE(registered());
  // The commands name the program by its absolute path, wherever it was
  // started from.
  char program[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, program, sizeof program), 0u);
  ASSERT_EQ(program[0], '/');
  char command[2 * MAX_PATH] = "";
  LONG size = sizeof command;
  ASSERT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, "DiskImage\\shell\\write to b:\\command", command, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(command), "\"" + std::string(program) + "\" \"%1\" b:");
  SendMessageA(dlg->m_hWnd, WM_SYSCOMMAND, IDM_UNREG_FILETYPES, 0);
  EXPECT_FALSE(registered());

  QTimer::singleShot(0, [&] {
    opened = platform::testing::ActiveModalDialog();
    if (opened != nullptr) EndDialog(opened, IDCANCEL);
  });
  SendMessageA(dlg->m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  ASSERT_NE(opened, nullptr);
  EXPECT_NE(opened, dlg->m_hWnd);
  EXPECT_FALSE(IsWindow(opened)) << "the about box is gone when its handler returns";

  platform::testing::ResetRegistry();
  ::unsetenv("XDG_DATA_HOME");
}

TEST_F(MainDialogTest, MinimisedDialogDrawsItsIconCentred) {
  struct Case {
    int width, height, x, y;
  };
  for (const Case c : {Case{36, 36, 2, 2}, Case{20, 36, -5, 2}}) {
    SCOPED_TRACE(c.width);
    MoveWindow(dlg->m_hWnd, 0, 0, c.width, c.height, TRUE);
    ShowWindow(dlg->m_hWnd, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(dlg->m_hWnd));
    std::vector<std::pair<int, int>> drawn;
    platform::testing::SetDrawIconObserver([&](HWND window, int x, int y, HICON icon) {
      EXPECT_EQ(window, dlg->m_hWnd);
      EXPECT_EQ(icon, dlg->m_hIcon);
      drawn.emplace_back(x, y);
    });
    SendMessageA(dlg->m_hWnd, WM_PAINT, 0, 0);
    platform::testing::SetDrawIconObserver(nullptr);
    EXPECT_EQ(drawn, (std::vector<std::pair<int, int>>{{c.x, c.y}}));
  }
  ShowWindow(dlg->m_hWnd, SW_RESTORE);
  std::vector<int> drawn;
  platform::testing::SetDrawIconObserver([&](HWND, int x, int, HICON) { drawn.push_back(x); });
  SendMessageA(dlg->m_hWnd, WM_PAINT, 0, 0);
  platform::testing::SetDrawIconObserver(nullptr);
  EXPECT_TRUE(drawn.empty()) << "a dialog that is not minimised paints normally";
  EXPECT_EQ(SendMessageA(dlg->m_hWnd, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dlg->m_hIcon));
}

TEST_F(MainDialogTest, HelpKeyOpensTheHelpFileOnlyWhenItExists) {
  CWinApp* app = AfxGetApp();
  char program[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, program, sizeof program), 0u);
  app->SetModuleNames(dir / "prog.exe");
  std::vector<std::string> opened;
  platform::testing::SetShellOpenHandler([&](const std::string& path) { opened.push_back(path); });

  PressKey(dlg->m_hWnd, Qt::Key_F1);
  EXPECT_TRUE(opened.empty()) << "no help file, no help";
  WriteBytes(dir / "prog.html", {'<', 'p', '>'});
  PressKey(dlg->m_hWnd, Qt::Key_F1);
  EXPECT_EQ(opened, std::vector<std::string>{dir / "prog.html"});
  EXPECT_EQ(dlg->m_nDrive, 0);
  EXPECT_TRUE(IsWindowEnabled(Control(IDC_READ)));
  app->SetModuleNames(program);
  EXPECT_STREQ(app->m_pszAppName, "varnel_ui_tests") << "named after the program file";
}

TEST_F(MainDialogTest, MessagesToAWindowThatIsGoneReturnZero) {
  CDiskCopyDlg other;
  ASSERT_TRUE(other.Create(IDD_MAIN));
  const HWND gone = other.m_hWnd;
  const HWND goneLog = GetDlgItem(gone, IDC_LOG);
  other.DestroyWindow();
  EXPECT_FALSE(IsWindow(gone));
  EXPECT_EQ(SendMessageA(goneLog, WM_GETTEXTLENGTH, 0, 0), 0);
  LRESULT fromWorker = -1;
  std::thread worker([&] { fromWorker = SendMessageA(gone, WM_COMMAND, ID_NOTIFY_BEGIN, 0); });
  worker.join();  // answered at once, without the user-interface thread
  EXPECT_EQ(fromWorker, 0);
}

// ---- Transfers seen from the dialog -------------------------------------------

class TransferTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    drive = SimDrive::WithGeometry(3, 2, 9, 512);
    platform::testing::InstallSimDrive('a', drive);
  }
  std::shared_ptr<SimDrive> drive;
};

TEST_F(TransferTest, MessagesOfATransferInOrder) {
  Recorder recorder(*dlg);
  dlg->StartWriteFromPath((dir / "missing.dsk").c_str());
  for (int id : {IDC_READ, IDC_WRITE, IDC_SWITCH})
    EXPECT_FALSE(IsWindowEnabled(Control(id))) << "the buttons are disabled at the start, not only at 103";
  WaitForWorkers();
  EXPECT_EQ(recorder.events(),
            (std::vector<std::string>{"clear", "begin", "log:opening disk a:...", "log:ok\r\n",
                                      "log:checking and locking volume...", "log:ok\r\n",
                                      "log:opening image file...", "log:error\r\n",
                                      "log:unlocking volume...ok\r\n", "end", "pos:0"}));
  for (int id : {IDC_READ, IDC_WRITE, IDC_SWITCH}) EXPECT_TRUE(IsWindowEnabled(Control(id)));
  EXPECT_EQ(SendMessageA(Control(IDC_PROGRESS), PBM_GETPOS, 0, 0), 1) << "position 0 shows as the empty bar";

  // A transfer that fails at once, and its successor's log alone on view.
  drive->failOpen = true;
  recorder.Clear();
  dlg->StartWriteFromPath((dir / "missing.dsk").c_str());
  WaitForWorkers();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"clear", "begin", "log:opening disk a:...", "log:error\r\n",
                                                         "end", "pos:0"}));
  EXPECT_EQ(Text(IDC_LOG), "opening disk a:...error\r\n");
}

TEST_F(TransferTest, ProgressArrivesBetweenLogPiecesFromTheWorker) {
  WriteBytes(dir / "image.dsk", Pattern(3 * 9216, 1));
  std::vector<std::string> senders;
  Recorder recorder(*dlg, [&](const platform::testing::MessageRecord& record) {
    if (record.msg == PBM_SETPOS || record.msg == WM_COMMAND) senders.push_back(record.sender);
  });
  dlg->StartWriteFromPath((dir / "image.dsk").c_str());
  WaitForWorkers();
  const std::vector<std::string> events = recorder.events();
  ASSERT_GE(events.size(), 8u);
  const std::vector<std::string> copy(events.begin() + 8, events.end());
  EXPECT_EQ(copy, (std::vector<std::string>{"log:writing image to disk...", "pos:100", "pos:66", "pos:33", "pos:1",
                                            "log:ok\r\n", "log:unlocking volume...ok\r\n", "end", "pos:0"}));
  ASSERT_FALSE(senders.empty());
  EXPECT_NE(senders.front(), platform::ThreadName()) << "the worker sends, not the dialog's thread";
  EXPECT_EQ(std::vector<unsigned char>(drive->medium.begin(), drive->medium.end()), Pattern(3 * 9216, 1));
}

TEST_F(TransferTest, AnyNonzeroDirectionReads) {
  auto* job = new CTransferJob;
  job->m_pDlg = dlg.get();
  job->m_bDiskToImage = 7;
  job->m_strImagePath = (dir / "read.dsk").c_str();
  job->m_strDrive = "a:";
  ASSERT_NE(AfxBeginThread(TransferThreadProc, job), nullptr);
  WaitForWorkers();
  EXPECT_EQ(ReadBytes(dir / "read.dsk"), drive->medium);
}

TEST_F(TransferTest, ThreadThatCannotStartLeavesTheDialogAsItWas) {
  platform::testing::SetThreadStartFailure(true);
  Recorder recorder(*dlg);
  dlg->StartWriteFromPath((dir / "image.dsk").c_str());
  platform::testing::PumpUntil([] { return false; }, 50);
  EXPECT_TRUE(recorder.events().empty());
  for (int id : {IDC_READ, IDC_WRITE, IDC_SWITCH}) EXPECT_TRUE(IsWindowEnabled(Control(id)));
  EXPECT_EQ(Text(IDC_LOG), "") << "the log is as it was";
  EXPECT_EQ(drive->counts().opens, 0);

  // And the dialog is not left busy: the next start runs.
  platform::testing::SetThreadStartFailure(false);
  dlg->StartWriteFromPath((dir / "image.dsk").c_str());
  WaitForWorkers();
  EXPECT_EQ(drive->counts().opens, 1);
}

// ---- Running modally, as the program does ----------------------------------------

class ModalTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSeams(); }
  void TearDown() override { ResetSeams(); }

  // Runs a main dialog modally with this command line; during() runs once the
  // modal loop is up.
  INT_PTR Run(std::vector<std::string> arguments, std::function<void(CDiskCopyDlg&)> during,
              std::function<void(const platform::testing::MessageRecord&)> also = nullptr) {
    ScopedCommandLine line(std::move(arguments));
    CDiskCopyDlg modal;
    AfxGetApp()->m_pMainWnd = &modal;
    recorder = std::make_unique<Recorder>(modal, std::move(also));
    QTimer::singleShot(0, [&] { during(modal); });
    const INT_PTR result = modal.DoModal();
    events = recorder->events();
    recorder.reset();
    EXPECT_EQ(AfxGetApp()->m_pMainWnd, nullptr) << "the framework forgets the main window when it ends";
    AfxGetApp()->m_pMainWnd = nullptr;
    EXPECT_TRUE(platform::testing::PumpUntil([] { return platform::testing::LiveWorkerThreads() == 0; }));
    return result;
  }

  std::unique_ptr<Recorder> recorder;
  std::vector<std::string> events;
  TempDir dir;
};

// The ways a user closes the dialog; Enter ends it with IDOK, the others
// with IDCANCEL.
struct CloseRoute {
  const char* name;
  std::function<void(HWND)> close;
  INT_PTR result;
};

const std::vector<CloseRoute>& CloseRoutes() {
  static const std::vector<CloseRoute> routes = {
      {"Escape", [](HWND w) { PressKey(w, Qt::Key_Escape); }, IDCANCEL},
      {"Enter", [](HWND w) { PressKey(w, Qt::Key_Return); }, IDOK},
      {"close box", [](HWND w) { static_cast<QWidget*>(platform::testing::WidgetOf(w))->close(); }, IDCANCEL},
      {"Close in the system menu", [](HWND w) { SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
  };
  return routes;
}

TEST_F(ModalTest, EscapeEnterAndCloseEndTheIdleDialog) {
  for (const CloseRoute& route : CloseRoutes()) {
    SCOPED_TRACE(route.name);
    EXPECT_EQ(Run({"varnel"}, [&](CDiskCopyDlg& d) { route.close(d.m_hWnd); }), route.result);
  }
}

// Closing during a transfer asks first, by every route. Yes stops the worker
// at the next cylinder and the dialog ends once the worker's end notification
// is in; asking again meanwhile changes nothing. No changes nothing at all.
// A transfer that ends while the question is open lets Yes close at once.
TEST_F(ModalTest, CloseDuringATransferAsksAndStopsIt) {
  struct Case {
    const CloseRoute* route;
    int answer;
    bool endWhileAsking;
  };
  std::vector<Case> cases;
  for (const CloseRoute& route : CloseRoutes()) cases.push_back({&route, IDYES, false});
  cases.push_back({&CloseRoutes()[0], IDNO, false});
  cases.push_back({&CloseRoutes()[1], IDYES, true});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.route->name) + (c.answer == IDYES ? ", yes" : ", no") +
                 (c.endWhileAsking ? ", ended meanwhile" : ""));
    auto drive = SimDrive::WithGeometry(40, 2, 9, 512);
    platform::testing::InstallSimDrive('a', drive);
    std::vector<std::string> asked;
    bool answered = false;
    bool askedAgain = false;
    bool ended = false;
    platform::testing::SetMessageBoxHandler([&](const platform::testing::MessageBoxRequest& request) {
      asked.push_back(request.text + "|" + request.caption);
      EXPECT_EQ(request.type, MB_ICONWARNING | MB_YESNO);
      if (c.endWhileAsking) {
        EXPECT_TRUE(platform::testing::PumpUntil([&] { return ended; }));
      }
      answered = true;
      return c.answer;
    });
    HWND window = nullptr;
    bool closedAfterEnd = false;
    const INT_PTR result = Run(
        {"varnel"},
        [&](CDiskCopyDlg& d) {
          window = d.m_hWnd;
          platform::testing::SetFileDialogHandler([&](const platform::testing::FileDialogRequest&) {
            return platform::testing::FileDialogAnswer{false, dir / "image.dsk"};
          });
          SendMessageA(GetDlgItem(window, IDC_READ), BM_CLICK, 0, 0);
        },
        [&](const platform::testing::MessageRecord& record) {
          // Asked outside the worker's send when the worker must go on meanwhile.
          if (record.msg == PBM_SETPOS && record.wParam == 50) {
            if (c.endWhileAsking)
              QTimer::singleShot(0, [&] { c.route->close(window); });
            else
              c.route->close(window);
          }
          // The next log piece after Yes: the user insists.
          if (c.answer == IDYES && answered && !askedAgain && record.msg == WM_COMMAND &&
              record.wParam == ID_NOTIFY_UPDATE_LOG) {
            askedAgain = true;
            c.route->close(window);
          }
          if (record.msg == WM_COMMAND && record.wParam == ID_NOTIFY_END) {
            closedAfterEnd = IsWindow(window);
            ended = true;
          }
          if (c.answer == IDNO && record.msg == PBM_SETPOS && record.wParam == 0)
            QTimer::singleShot(0, [&] { PressKey(window, Qt::Key_Escape); });
        });
    EXPECT_EQ(asked, std::vector<std::string>{"transfer in progress! stop it and close?|varnel_ui_tests"});
    EXPECT_EQ(result, c.answer == IDYES ? c.route->result : IDCANCEL);
    EXPECT_TRUE(closedAfterEnd) << "the dialog still existed when the worker's end arrived";
    const auto counts = drive->counts();
    EXPECT_EQ(counts.unlocks, counts.locks);
    EXPECT_EQ(counts.closes, counts.opens);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"image.dsk"}) << "no temporary file is left";
    if (c.endWhileAsking) {
      EXPECT_EQ(ReadBytes(dir / "image.dsk"), drive->medium) << "the transfer was not stopped";
    } else if (c.answer == IDYES) {
      EXPECT_TRUE(askedAgain);
      EXPECT_NE(std::find(events.begin(), events.end(), "log:cancelled\r\n"), events.end());
      EXPECT_LT(counts.reads, 40);
      // A new file keeps the cylinders read before the stop, as after a failed read.
      EXPECT_EQ(ReadBytes(dir / "image.dsk").size(), size_t(counts.reads) * 9216);
    } else {
      EXPECT_NE(std::find(events.begin(), events.end(), "log:ok\r\n"), events.end());
      EXPECT_EQ(ReadBytes(dir / "image.dsk"), drive->medium);
    }
    ::unlink((dir / "image.dsk").c_str());
  }
}

}  // namespace
}  // namespace varnel_test
