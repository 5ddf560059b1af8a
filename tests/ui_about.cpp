// The about box: how it opens and closes, what it shows, and that the main
// dialog waits behind it while a transfer goes on.
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "tests/support.h"

namespace varnel_test {
namespace {

QWidget* Widget(HWND window) { return static_cast<QWidget*>(platform::testing::WidgetOf(window)); }

void PressKey(HWND window, int key) {
  // Keys go where the user's would: to the control that has the focus.
  QWidget* widget = Widget(window);
  QWidget* target = widget->focusWidget() != nullptr ? widget->focusWidget() : widget;
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &press);
}

class AboutTest : public DialogTest {
 protected:
  // Sends the message that opens the box; inside() runs while it is open.
  // Unless inside() closed it, the box is closed afterwards; true when
  // inside() did.
  bool WhileOpen(UINT message, WPARAM wParam, const std::function<void(HWND)>& inside) {
    HWND about = nullptr;
    bool forced = false;
    QTimer::singleShot(0, [&] {
      about = platform::testing::ActiveModalDialog();
      if (about == nullptr) return;
      inside(about);
      QTimer::singleShot(0, [&] {
        if (!IsWindow(about)) return;
        forced = true;
        EndDialog(about, IDCANCEL);
      });
    });
    SendMessageA(dlg->m_hWnd, message, wParam, 0);
    EXPECT_NE(about, nullptr) << "the about box did not open";
    EXPECT_FALSE(IsWindow(about)) << "the about box is gone when its handler returns";
    return !forced;
  }
};

TEST_F(AboutTest, OpensFromMenuAndCommandAndClosesByEachKey) {
  struct Opening {
    const char* name;
    UINT message;
    WPARAM wParam;
  };
  struct Closing {
    const char* name;
    std::function<void(HWND)> close;
  };
  const std::vector<Opening> openings = {{"system menu", WM_SYSCOMMAND, IDM_ABOUTBOX},
                                         {"command 1004", WM_COMMAND, IDC_ABOUT}};
  const std::vector<Closing> closings = {
      {"Escape", [](HWND about) { PressKey(about, Qt::Key_Escape); }},
      {"Enter", [](HWND about) { PressKey(about, Qt::Key_Return); }},
      {"close box", [](HWND about) { Widget(about)->close(); }},
  };
  for (const Opening& opening : openings) {
    for (const Closing& closing : closings) {
      SCOPED_TRACE(std::string(opening.name) + ", " + closing.name);
      const bool closed = WhileOpen(opening.message, opening.wParam, [&](HWND about) {
        char caption[64] = "";
        GetWindowTextA(about, caption, sizeof caption);
        EXPECT_STREQ(caption, "Info about...");
        EXPECT_EQ(QApplication::activeModalWidget(), Widget(about)) << "the main dialog takes no input";
        closing.close(about);
      });
      EXPECT_TRUE(closed) << "the key did not close the box";
    }
  }
  EXPECT_EQ(dlg->m_nDrive, 0);
  EXPECT_TRUE(IsWindowEnabled(Control(IDC_READ))) << "closing it changes nothing else";
}

TEST_F(AboutTest, ShowsThePictureAtItsRealSizeCentredOnThePointer) {
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QPoint pointer = screen->availableGeometry().center() + QPoint(17, -9);
  QCursor::setPos(pointer);
  if (QCursor::pos() != pointer) GTEST_SKIP() << "this display cannot move the pointer";
  WhileOpen(WM_SYSCOMMAND, IDM_ABOUTBOX, [&](HWND about) {
    QWidget* widget = Widget(about);
    const QList<QLabel*> labels = widget->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->pixmap().size(), QSize(457, 250));
    EXPECT_EQ(labels[0]->contentsRect().size(), QSize(457, 250)) << "shown without scaling";
    EXPECT_EQ(labels[0]->frameShadow(), QFrame::Sunken);
    // Within the few pixels a window frame adds around the dialog.
    EXPECT_LE((widget->frameGeometry().center() - pointer).manhattanLength(), 6)
        << "box at " << widget->frameGeometry().x() << "," << widget->frameGeometry().y();
  });
}

TEST_F(AboutTest, TransferGoesOnBehindIt) {
  auto drive = platform::testing::SimDrive::WithGeometry(20, 2, 9, 512);
  platform::testing::InstallSimDrive('a', drive);
  WriteBytes(dir / "in.dsk", Pattern(20 * 9216, 4));
  dlg->StartWriteFromPath((dir / "in.dsk").c_str());
  WhileOpen(WM_SYSCOMMAND, IDM_ABOUTBOX, [&](HWND) {
    EXPECT_TRUE(platform::testing::PumpUntil([] { return platform::testing::LiveWorkerThreads() == 0; }));
    for (int id : {IDC_READ, IDC_WRITE, IDC_SWITCH}) EXPECT_TRUE(IsWindowEnabled(Control(id)));
  });
  EXPECT_NE(Text(IDC_LOG).find("writing image to disk...ok\r\n"), std::string::npos);
  EXPECT_EQ(drive->medium, Pattern(20 * 9216, 4));
}

}  // namespace
}  // namespace varnel_test
