// Starting transfers: the read and write buttons with their file dialogs, the
// command line, dropped files, and start requests while a transfer runs.
#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <cstring>

#include "platform/ui/drops.h"
#include "tests/support.h"

namespace varnel_test {
namespace {

using platform::testing::FileDialogAnswer;
using platform::testing::FileDialogRequest;
using platform::testing::MessageBoxRequest;
using platform::testing::SimDrive;

// What the file dialog was asked, field by field.
struct Asked {
  DWORD structSize = 0;
  HWND owner = nullptr;
  std::string filter;  // the whole block, NULs included, up to its double NUL
  DWORD filterIndex = 0;
  DWORD maxFile = 0;
  std::string title;
  DWORD flags = 0;
  std::string defaultExtension;
  bool save = false;
  bool emptyName = false;
};

Asked Describe(const FileDialogRequest& request) {
  const OPENFILENAMEA& record = *request.record;
  Asked asked;
  asked.structSize = record.lStructSize;
  asked.owner = record.hwndOwner;
  const char* end = record.lpstrFilter;
  while (end[0] != '\0' || end[1] != '\0') ++end;
  asked.filter.assign(record.lpstrFilter, size_t(end - record.lpstrFilter) + 2);
  asked.filterIndex = record.nFilterIndex;
  asked.maxFile = record.nMaxFile;
  asked.title = record.lpstrTitle;
  asked.flags = record.Flags;
  asked.defaultExtension = record.lpstrDefExt;
  asked.save = request.save;
  asked.emptyName = record.lpstrFile[0] == '\0';
  return asked;
}

class StarterTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    for (char letter : {'a', 'b'}) {
      drives[letter] = SimDrive::WithGeometry(2, 2, 9, 512);
      platform::testing::InstallSimDrive(letter, drives[letter]);
    }
  }

  // Clicks a button with the file dialog answered as given.
  void Click(int id, FileDialogAnswer answer) {
    platform::testing::SetFileDialogHandler([&, answer](const FileDialogRequest& request) {
      asked.push_back(Describe(request));
      return answer;
    });
    SendMessageA(Control(id), BM_CLICK, 0, 0);
    WaitForWorkers();
  }

  std::map<char, std::shared_ptr<SimDrive>> drives;
  std::vector<Asked> asked;
};

TEST_F(StarterTest, FileDialogsAreAskedWhatTheButtonsNeed) {
  const std::string filter("Disk Images *.dsk\0*.dsk\0All Files *.*\0*.*\0\0", 43);
  Click(IDC_READ, {true, ""});
  Click(IDC_WRITE, {true, ""});
  ASSERT_EQ(asked.size(), 2u);
  for (const Asked& a : asked) {
    EXPECT_EQ(a.structSize, sizeof(OPENFILENAMEA));
    EXPECT_EQ(a.owner, dlg->m_hWnd);
    EXPECT_EQ(a.filter, filter);
    EXPECT_EQ(a.filterIndex, 1u);
    EXPECT_EQ(a.maxFile, 500u);
    EXPECT_EQ(a.defaultExtension, "DSK");
    EXPECT_TRUE(a.emptyName) << "no name is proposed";
  }
  EXPECT_TRUE(asked[0].save);
  EXPECT_EQ(asked[0].title, "Select Image File to be created...");
  EXPECT_EQ(asked[0].flags, DWORD(OFN_HIDEREADONLY));
  EXPECT_FALSE(asked[1].save);
  EXPECT_EQ(asked[1].title, "Select Image File to be written to Floppy...");
  EXPECT_EQ(asked[1].flags, DWORD(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
}

TEST_F(StarterTest, CancelStartsNothingAndChangesNothing) {
  SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_CLEAR_LOG, 0);
  dlg->m_strLog = "earlier log";
  SendMessageA(dlg->m_hWnd, WM_COMMAND, ID_NOTIFY_UPDATE_LOG, 0);
  for (int id : {IDC_READ, IDC_WRITE}) {
    Recorder recorder(*dlg);
    Click(id, {true, ""});
    EXPECT_TRUE(recorder.events().empty());
    EXPECT_EQ(Text(IDC_LOG), "earlier log");
    for (int button : {IDC_READ, IDC_WRITE, IDC_SWITCH}) EXPECT_TRUE(IsWindowEnabled(Control(button)));
  }
  EXPECT_EQ(drives['a']->counts().opens, 0);
}

TEST_F(StarterTest, ButtonsTransferOnTheSelectedDrive) {
  const std::vector<unsigned char> image = Pattern(2 * 9216, 6);
  WriteBytes(dir / "in.dsk", image);
  for (char letter : {'a', 'b'}) {
    SCOPED_TRACE(letter);
    if (letter == 'b') SendMessageA(Control(IDC_SWITCH), BM_CLICK, 0, 0);
    Click(IDC_WRITE, {false, dir / "in.dsk"});
    EXPECT_EQ(drives[letter]->medium, image);
    EXPECT_NE(Text(IDC_LOG).find(std::string("opening disk ") + letter + ":...ok"), std::string::npos);
    // A name typed without extension gets the default one.
    Click(IDC_READ, {false, dir / "out"});
    EXPECT_EQ(ReadBytes(dir / "out.DSK"), image);
    ::unlink((dir / "out.DSK").c_str());
  }
}

TEST_F(StarterTest, OpenDialogRefusesNamesThatDoNotExist) {
  std::vector<std::string> refused;
  platform::testing::SetFileDialogHandler([&](const FileDialogRequest& request) {
    refused.push_back(request.refused);
    return request.refused.empty() ? FileDialogAnswer{false, dir / "nothing-here.dsk"} : FileDialogAnswer{true, ""};
  });
  SendMessageA(Control(IDC_WRITE), BM_CLICK, 0, 0);
  WaitForWorkers();
  EXPECT_EQ(refused, (std::vector<std::string>{"", dir / "nothing-here.dsk"}));
  EXPECT_EQ(drives['a']->counts().opens, 0) << "no transfer was started with it";
}

// The shown dialogs, driven as a user would: the title and filters the
// button asked for, a name typed without extension completed with "DSK", and
// a name that does not exist explained in a box while the dialog stays open.
TEST_F(StarterTest, ShownDialogsCompleteTypedNamesAndExplainRefusals) {
  platform::testing::SetFileDialogHandler(nullptr);
  WriteBytes(dir / "image.dsk", Pattern(2 * 9216, 3));
  struct Step {
    std::string typed;
    std::string refusal;  // the box's first line, empty: the dialog closes
  };
  struct Case {
    int button;
    std::vector<Step> steps;
    std::string title;
    std::string result;  // the file the transfer used
  };
  const std::vector<Case> cases = {
      {IDC_WRITE,
       {{"missing", dir / "missing.DSK"}, {"image", ""}},
       "Select Image File to be written to Floppy...",
       dir / "image.dsk"},
      {IDC_READ, {{"fresh", ""}}, "Select Image File to be created...", dir / "fresh.DSK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    std::vector<std::string> refusals, titles, filters;
    size_t step = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        refusals.push_back(box->text().toStdString());
        box->accept();
      } else if (auto* files = qobject_cast<QFileDialog*>(modal); files != nullptr && step < c.steps.size()) {
        titles.push_back(files->windowTitle().toStdString());
        filters.push_back((files->nameFilters().join('|') + " > " + files->selectedNameFilter()).toStdString());
        files->setDirectory(QString::fromStdString(dir.path()));
        // Typed into the name field, as a user would.
        auto* name = files->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(c.steps[step++].typed));
        QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
      }
    });
    driver.start(10);
    SendMessageA(Control(c.button), BM_CLICK, 0, 0);
    driver.stop();
    WaitForWorkers();

    std::vector<std::string> expected;
    for (const Step& s : c.steps)
      if (!s.refusal.empty()) expected.push_back(s.refusal);
    ASSERT_EQ(refusals.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(refusals[i].substr(0, refusals[i].find('\n')), expected[i]);
    EXPECT_EQ(titles, std::vector<std::string>(c.steps.size(), c.title)) << "one dialog stayed open throughout";
    EXPECT_EQ(filters.front(), "Disk Images *.dsk (*.dsk)|All Files *.* (*) > Disk Images *.dsk");
    EXPECT_EQ(ReadBytes(c.result), Pattern(2 * 9216, 3));
  }
}

TEST_F(StarterTest, PathLongerThanTheBufferIsRefusedNotCut) {
  std::string folder = dir.path();
  while (folder.size() < 520) {
    folder += "/" + std::string(60, 'd');
    ::mkdir(folder.c_str(), 0755);
  }
  Click(IDC_READ, {false, folder + "/image.dsk"});
  EXPECT_EQ(drives['a']->counts().opens, 0);
  EXPECT_FALSE(Exists(folder + "/image.dsk"));
}

TEST_F(StarterTest, CommandLineStartsAWriteWhenItNamesImageAndDrive) {
  struct Case {
    std::vector<std::string> arguments;
    char drive;  // 0: nothing starts
  };
  const std::string image = dir / "in.dsk";
  WriteBytes(image, Pattern(100, 1));
  const std::vector<Case> cases = {
      {{"varnel"}, 0},
      {{"varnel", image}, 0},
      {{"varnel", image, "a:"}, 'a'},
      {{"varnel", image, "A:"}, 'a'},
      {{"varnel", image, "x:"}, 'a'},
      {{"varnel", image, "b"}, 'a'},
      {{"varnel", image, "b:"}, 'b'},
      {{"varnel", image, "B:"}, 'b'},
      {{"varnel", image, "b:", "a:", "more"}, 'b'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.size() > 2 ? c.arguments[2] : "(none)");
    ScopedCommandLine line(c.arguments);
    CDiskCopyDlg other;
    ASSERT_TRUE(other.Create(IDD_MAIN));
    const std::string readText = [&] {
      char text[32] = "";
      GetWindowTextA(GetDlgItem(other.m_hWnd, IDC_READ), text, sizeof text);
      return std::string(text);
    }();
    WaitForWorkers();
    EXPECT_EQ(other.m_nDrive, c.drive == 'b' ? 1 : 0);
    EXPECT_EQ(readText, c.drive == 'b' ? "Read B:" : "Read A:");
    EXPECT_EQ(other.m_strLog.str().rfind("opening disk ", 0) == 0, c.drive != 0) << other.m_strLog.str();
    if (c.drive != 0) {
      EXPECT_EQ(other.m_strLog.str().substr(0, 18), std::string("opening disk ") + c.drive + ":...");
      EXPECT_NE(other.m_strLog.str().find("opening image file...ok"), std::string::npos);
    }
    other.DestroyWindow();
  }
}

TEST_F(StarterTest, DroppedFilesStartAWriteOnlyWhenThereIsOne) {
  std::vector<MessageBoxRequest> boxes;
  platform::testing::SetMessageBoxHandler([&](const MessageBoxRequest& request) {
    boxes.push_back(request);
    return IDOK;
  });
  const std::vector<unsigned char> image = Pattern(2 * 9216, 3);
  WriteBytes(dir / "one.dsk", image);
  WriteBytes(dir / "two.dsk", image);
  SendMessageA(Control(IDC_SWITCH), BM_CLICK, 0, 0);

  ASSERT_TRUE(platform::testing::DropFiles(dlg->m_hWnd, {dir / "one.dsk"}));
  platform::testing::PumpUntil([&] { return drives['b']->counts().closes > 0; });
  WaitForWorkers();
  EXPECT_EQ(drives['b']->medium, image) << "one file is written onto the selected drive";
  EXPECT_TRUE(boxes.empty());

  ASSERT_TRUE(platform::testing::DropFiles(dlg->m_hWnd, {dir / "one.dsk", dir / "two.dsk"}));
  platform::testing::PumpUntil([&] { return !boxes.empty(); });
  // No file at all cannot come from a desktop drop; a drop handle can still
  // hold none.
  const HDROP none = platform::ui::NewDrop({});
  SendMessageA(dlg->m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(none), 0);
  ASSERT_EQ(boxes.size(), 2u);
  // The dialog released the handles it was given, whatever their count.
  const HDROP one = platform::ui::NewDrop({dir / "one.dsk"});
  SendMessageA(dlg->m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(one), 0);
  WaitForWorkers();
  for (HDROP released : {none, one}) EXPECT_EQ(DragQueryFileA(released, 0xFFFFFFFF, nullptr, 0), 0u);
  for (const MessageBoxRequest& box : boxes) {
    EXPECT_EQ(box.text, "too many files dropped!");
    EXPECT_EQ(box.caption, "varnel_ui_tests");
    EXPECT_EQ(box.type, MB_ICONWARNING | MB_OK);
    EXPECT_EQ(box.owner, dlg->m_hWnd);
  }
  WaitForWorkers();
  EXPECT_EQ(drives['b']->counts().opens, 2) << "no write started for two files or none";

  // A folder counts as one file: the write starts and fails on it.
  ASSERT_TRUE(platform::testing::DropFiles(dlg->m_hWnd, {dir.path()}));
  platform::testing::PumpUntil([&] { return drives['b']->counts().opens == 3; });
  WaitForWorkers();
  EXPECT_NE(Text(IDC_LOG).find("opening image file...error\r\n"), std::string::npos) << Text(IDC_LOG);
}

TEST_F(StarterTest, DropHandleIsAnsweredAndReleased) {
  HDROP drop = platform::ui::NewDrop({"/tmp/a.dsk", "/tmp/longer-name.dsk"});
  EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 2u);
  EXPECT_EQ(DragQueryFileA(drop, 1, nullptr, 0), 20u) << "the length without its NUL";
  char small[8];
  EXPECT_EQ(DragQueryFileA(drop, 1, small, sizeof small), 7u);
  EXPECT_STREQ(small, "/tmp/lo");
  DragFinish(drop);
  EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 0u);
}

// While a transfer runs, any other start request is refused with a warning,
// and the running transfer's messages keep arriving while the warning is open.
TEST_F(StarterTest, StartRequestWhileBusyIsRefusedAndTheTransferGoesOn) {
  drives['a'] = SimDrive::WithGeometry(30, 2, 9, 512);
  platform::testing::InstallSimDrive('a', drives['a']);
  WriteBytes(dir / "in.dsk", Pattern(30 * 9216, 2));
  size_t eventsDuringBox = 0;
  std::vector<std::string> texts;
  Recorder recorder(*dlg);
  platform::testing::SetMessageBoxHandler([&](const MessageBoxRequest& request) {
    texts.push_back(request.text + "|" + request.caption);
    EXPECT_EQ(request.type, MB_ICONWARNING | MB_OK);
    // The box stays open until the transfer has ended behind it.
    const size_t before = recorder.events().size();
    EXPECT_TRUE(platform::testing::PumpUntil([&] {
      const auto events = recorder.events();
      return !events.empty() && events.back() == "pos:0";
    }));
    eventsDuringBox = recorder.events().size() - before;
    return IDOK;
  });
  dlg->StartWriteFromPath((dir / "in.dsk").c_str());
  ASSERT_TRUE(platform::testing::DropFiles(dlg->m_hWnd, {dir / "in.dsk"}));
  platform::testing::PumpUntil([&] { return !texts.empty(); });
  WaitForWorkers();
  EXPECT_EQ(texts, std::vector<std::string>{"transfer in progress!|varnel_ui_tests"});
  EXPECT_GT(eventsDuringBox, 10u);
  EXPECT_EQ(drives['a']->counts().opens, 1) << "no second worker";
  EXPECT_EQ(recorder.Pieces().back(), "unlocking volume...ok\r\n");
  EXPECT_NE(Text(IDC_LOG).find("writing image to disk...ok\r\n"), std::string::npos);
}

// The same with the real message box, whose loop has no timer of its own: the
// worker's messages must wake it, not merely arrive when something else does.
TEST_F(StarterTest, WorkerMessagesWakeARealMessageBox) {
  drives['a'] = SimDrive::WithGeometry(30, 2, 9, 512);
  platform::testing::InstallSimDrive('a', drives['a']);
  WriteBytes(dir / "in.dsk", Pattern(30 * 9216, 5));
  platform::testing::SetMessageBoxHandler(nullptr);
  bool endedUnderTheBox = false;
  Recorder recorder(*dlg, [&](const platform::testing::MessageRecord& record) {
    if (record.msg != PBM_SETPOS || record.wParam != 0) return;
    if (QWidget* box = QApplication::activeModalWidget()) {
      endedUnderTheBox = true;
      QTimer::singleShot(0, box, [box] { box->close(); });
    }
  });
  // Only a safety net: the box is closed long before, when the transfer ends.
  QTimer::singleShot(15000, [] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  dlg->StartWriteFromPath((dir / "in.dsk").c_str());
  ASSERT_TRUE(platform::testing::DropFiles(dlg->m_hWnd, {dir / "in.dsk"}));
  WaitForWorkers();
  platform::testing::PumpUntil([] { return QApplication::activeModalWidget() == nullptr; });
  EXPECT_TRUE(endedUnderTheBox) << "the transfer did not go on while the box was open";
  EXPECT_EQ(drives['a']->medium, Pattern(30 * 9216, 5));
}

}  // namespace
}  // namespace varnel_test
