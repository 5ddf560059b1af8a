// Dialogs built from templates, their modal loops and the dialog manager's
// keyboard: Escape gives IDCANCEL and Enter IDOK (or clicks the focused push
// button), F1 asks for help, Alt+Space and a right click open the system menu.
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QtMath>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/testing.h"
#include "platform/ui/drops.h"
#include "platform/ui/internal.h"
#include "platform/ui/window_table.h"

namespace platform::ui {
namespace {

std::function<void()>& HelpKeyHandler() {
  static std::function<void()> handler;
  return handler;
}

// The modal loops running now, innermost last.
struct ModalRun {
  HWND dialog;
  QEventLoop* loop;
};
std::vector<ModalRun>& ModalRuns() {
  static std::vector<ModalRun> runs;
  return runs;
}

int MulDiv(int value, int numerator, int denominator) {
  return (value * numerator + denominator / 2) / denominator;
}

// The dialog base units of a font, as the platform computes them: the average
// width of the 52 letters, rounded, and the character height, whose ascent
// and descent the platform rounds up each.
QSize BaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const QFontMetricsF exact(font);
  const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return QSize((width / 26 + 1) / 2, qCeil(exact.ascent()) + qCeil(exact.descent()));
}

QRect DialogRect(const QSize& base, short x, short y, short cx, short cy) {
  return QRect(MulDiv(x, base.width(), 4), MulDiv(y, base.height(), 8), MulDiv(cx, base.width(), 4),
               MulDiv(cy, base.height(), 8));
}

std::string ControlClass(const char* name) {
  std::string lower;
  for (const char* p = name; *p != '\0'; ++p) lower += char(std::tolower(static_cast<unsigned char>(*p)));
  return lower;
}

class DialogWidget : public QDialog {
 public:
  DialogWidget(HWND hwnd, QWidget* owner) : QDialog(owner), m_hwnd(hwnd) {}

  // The dialog manager sees the keyboard before the controls do, as the
  // platform's does: every control of the dialog is watched.
  void WatchKeys(QWidget* control) {
    control->installEventFilter(this);
    for (QWidget* part : control->findChildren<QWidget*>()) part->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && DialogKey(static_cast<QKeyEvent*>(event))) return true;
    return QDialog::eventFilter(watched, event);
  }

  void keyPressEvent(QKeyEvent* event) override {
    if (!DialogKey(event)) QWidget::keyPressEvent(event);
  }

  // Escape gives IDCANCEL, Enter clicks the focused push button or gives
  // IDOK, F1 asks for help and Alt+Space opens the system menu; true when the
  // key was one of them.
  bool DialogKey(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_Escape && modifiers == Qt::NoModifier) {
      Command(IDCANCEL);
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
      // The focused push button is the default button while it has the focus.
      if (auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
          button != nullptr && isAncestorOf(button)) {
        button->click();
      } else {
        Command(IDOK);
      }
    } else if (key == Qt::Key_F1 && modifiers == Qt::NoModifier) {
      if (HelpKeyHandler()) HelpKeyHandler()();
    } else if (key == Qt::Key_Space && modifiers == Qt::AltModifier) {
      ShowSystemMenu(m_hwnd, mapToGlobal(QPoint(0, 0)));
    } else {
      return false;
    }
    event->accept();
    return true;
  }

  // The close box and Alt+F4 arrive here; the dialog ends only through its
  // own handling of the system command, never through the toolkit.
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (WindowOf(m_hwnd) != nullptr) SendMessageA(m_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  }

  void contextMenuEvent(QContextMenuEvent* event) override {
    ShowSystemMenu(m_hwnd, event->globalPos());
    event->accept();
  }

  void dragEnterEvent(QDragEnterEvent* event) override {
    if (AcceptsDrop(event->mimeData())) event->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* event) override {
    if (AcceptsDrop(event->mimeData())) event->acceptProposedAction();
  }
  void dropEvent(QDropEvent* event) override {
    if (!AcceptsDrop(event->mimeData())) return;
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) paths.push_back(ToText(url.toLocalFile()));
    event->acceptProposedAction();
    // Posted, as the platform does: the drop ends at once for the program
    // the files came from, whatever the dialog then does with them.
    PostMessageA(m_hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(NewDrop(std::move(paths))), 0);
  }

  void paintEvent(QPaintEvent* event) override {
    QDialog::paintEvent(event);
    QPainter painter(this);
    SetPainter(m_hwnd, &painter);
    SendMessageA(m_hwnd, WM_PAINT, 0, 0);
    SetPainter(m_hwnd, nullptr);
  }

 private:
  bool AcceptsDrop(const QMimeData* data) const {
    const Window* window = WindowOf(m_hwnd);
    if (window == nullptr || !(window->exStyle & WS_EX_ACCEPTFILES) || !data->hasUrls()) return false;
    for (const QUrl& url : data->urls())
      if (!url.isLocalFile()) return false;
    return !data->urls().isEmpty();
  }

  void Command(int id) {
    SendMessageA(m_hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(m_hwnd, id)));
  }

  HWND m_hwnd;
};

// Places a dialog as its template asks: centred on the mouse pointer, or, when
// the template puts it at 0,0, centred on the screen; always on the screen.
void Place(QWidget* widget, const res::DialogTemplate& dialog, const QRect& frame) {
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  QPoint centre = available.center();
  if (dialog.style & DS_CENTERMOUSE) {
    centre = QCursor::pos();
  } else if (!(dialog.style & DS_CENTER) && (dialog.x != 0 || dialog.y != 0)) {
    widget->move(frame.topLeft());
    return;
  }
  QRect placed(QPoint(0, 0), frame.size());
  placed.moveCenter(centre);
  placed.moveLeft(std::clamp(placed.left(), available.left(), std::max(available.left(), available.right() - placed.width())));
  placed.moveTop(std::clamp(placed.top(), available.top(), std::max(available.top(), available.bottom() - placed.height())));
  widget->move(placed.topLeft());
}

}  // namespace

void SetHelpKeyHandler(std::function<void()> handler) { HelpKeyHandler() = std::move(handler); }

DWORD StyleOf(HWND hwnd) {
  Window* window = OwnedByThisThread(hwnd) ? WindowOf(hwnd) : nullptr;
  return window != nullptr ? window->style : 0;
}

void* ContextOf(HWND hwnd) {
  Window* window = OwnedByThisThread(hwnd) ? WindowOf(hwnd) : nullptr;
  return window != nullptr ? window->context : nullptr;
}

QWidget* WidgetOf(HWND hwnd) {
  Window* window = OwnedByThisThread(hwnd) ? WindowOf(hwnd) : nullptr;
  return window != nullptr ? window->widget.data() : nullptr;
}

HWND CreateDialogFromTemplate(WORD templateId, HWND owner, WNDPROC proc, void* context) {
  const res::DialogTemplate* dialog = res::FindDialog(templateId);
  if (dialog == nullptr || QApplication::instance() == nullptr) return nullptr;

  // The platform's dialog font is not here; a sans serif of the same metrics
  // (Arial's) lays dialogs out as on the platform, with the same base units.
  static const bool substituted = [] {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                                QStringLiteral("DejaVu Sans")});
    return true;
  }();
  (void)substituted;
  QFont font(QString::fromLatin1(dialog->typeface));
  // Whole pixels, as the platform sizes a font from its points: 8 points are
  // 11 pixels at 96 dots per inch.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int dpi = screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 96;
  font.setPixelSize(MulDiv(dialog->pointSize, dpi, 72));
  if (dialog->weight >= 700) font.setBold(true);
  font.setItalic(dialog->italic);
  const QSize base = BaseUnits(font);

  auto window = std::make_unique<Window>();
  window->className = "#32770";
  window->style = dialog->style;
  window->exStyle = dialog->exStyle;
  window->text = dialog->caption;
  window->proc = proc;
  window->context = context;
  Window* dialogWindow = window.get();
  const HWND hwnd = AddWindow(std::move(window));

  auto* widget = new DialogWidget(hwnd, WidgetOf(owner));
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (dialog->style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (dialog->style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
  widget->setWindowFlags(flags);
  widget->setWindowTitle(FromText(dialogWindow->text));
  widget->setFont(font);
  widget->setAcceptDrops((dialog->exStyle & WS_EX_ACCEPTFILES) != 0);
  const QRect frame = DialogRect(base, dialog->x, dialog->y, dialog->cx, dialog->cy);
  widget->setFixedSize(frame.size());
  dialogWindow->widget = widget;

  QWidget* previous = nullptr;
  for (const res::DialogItem& item : dialog->items) {
    auto control = std::make_unique<Window>();
    control->className = ControlClass(item.className);
    control->parent = hwnd;
    control->id = item.id;
    control->style = item.style;
    control->exStyle = item.exStyle;
    control->text = item.text != nullptr ? item.text : "";
    control->proc = &ControlProc;
    Window* controlWindow = control.get();
    const HWND child = AddWindow(std::move(control));
    dialogWindow->children.push_back(child);
    QWidget* controlWidget = CreateControl(*controlWindow, widget, font);
    widget->WatchKeys(controlWidget);
    controlWidget->setGeometry(DialogRect(base, item.x, item.y, item.cx, item.cy));
    controlWindow->widget = controlWidget;
    if (controlWindow->className == "static" && (item.style & 0x1F) == SS_BITMAP && item.textOrdinal != 0)
      SetStaticPicture(*controlWindow, item.textOrdinal);
    if (controlWidget->focusPolicy() != Qt::NoFocus) {
      if (previous != nullptr) QWidget::setTabOrder(previous, controlWidget);
      previous = controlWidget;
    }
  }
  Place(widget, *dialog, frame);

  HWND firstTabStop = nullptr;
  for (HWND child : dialogWindow->children) {
    Window* control = WindowOf(child);
    if (control != nullptr && (control->style & WS_TABSTOP) && !(control->style & WS_DISABLED)) {
      firstTabStop = child;
      break;
    }
  }
  if (SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), 0) && firstTabStop != nullptr)
    if (QWidget* focus = WidgetOf(firstTabStop)) focus->setFocus(Qt::OtherFocusReason);
  return hwnd;
}

INT_PTR RunModalDialog(HWND hwnd) {
  Window* window = WindowOf(hwnd);
  if (window == nullptr || !window->widget) return -1;
  QWidget* widget = window->widget.data();
  QWidget* focus = QApplication::focusWidget();
  widget->setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  ModalRuns().push_back({hwnd, &loop});
  if (!window->ended) {
    QWidget* initialFocus = widget->focusWidget();
    widget->show();
    widget->raise();
    widget->activateWindow();
    if (initialFocus != nullptr) initialFocus->setFocus(Qt::ActiveWindowFocusReason);
    loop.exec(QEventLoop::DialogExec);
  }
  ModalRuns().pop_back();
  window = WindowOf(hwnd);
  const INT_PTR result = window != nullptr ? window->result : -1;
  DestroyWindow(hwnd);
  if (focus != nullptr && focus->isVisible()) focus->activateWindow();
  return result;
}

void ShowSystemMenu(HWND hwnd, const QPoint& where) {
  Window* window = WindowOf(hwnd);
  if (window == nullptr || !(window->style & WS_SYSMENU)) return;
  if (window->systemMenu == nullptr) window->systemMenu = CreateSystemMenu();
  QMenu menu(window->widget.data());
  std::map<QAction*, UINT_PTR> ids;
  for (const MenuItem& item : MenuItems(window->systemMenu)) {
    if (item.flags & MF_SEPARATOR) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(FromText(item.text));
    action->setEnabled((item.flags & (MF_GRAYED | MF_DISABLED)) == 0);
    if (item.flags & MF_CHECKED) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    ids[action] = item.id;
  }
  QAction* chosen = menu.exec(where);
  if (chosen != nullptr && WindowOf(hwnd) != nullptr) SendMessageA(hwnd, WM_SYSCOMMAND, ids[chosen], 0);
}

LRESULT DefaultProcessing(Window& window, UINT msg, WPARAM wParam, LPARAM lParam) {
  const bool dialog = window.className == "#32770";
  switch (msg) {
    case WM_SETTEXT:
      window.text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      if (dialog && window.widget) window.widget->setWindowTitle(FromText(window.text));
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      const size_t copied = std::min<size_t>(window.text.size(), wParam - 1);
      auto* buffer = reinterpret_cast<char*>(lParam);
      std::memcpy(buffer, window.text.data(), copied);
      buffer[copied] = '\0';
      return LRESULT(copied);
    }
    case WM_GETTEXTLENGTH:
      return LRESULT(window.text.size());
    case WM_SETICON: {
      const int which = wParam == ICON_BIG ? 1 : 0;
      const HICON previous = window.icons[which];
      window.icons[which] = reinterpret_cast<HICON>(lParam);
      if (window.widget) {
        QIcon icon;
        for (HICON each : window.icons)
          if (each != nullptr)
            for (const QSize& size : IconOf(each).availableSizes()) icon.addPixmap(IconOf(each).pixmap(size));
        window.widget->setWindowIcon(icon);
      }
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETICON:
      return reinterpret_cast<LRESULT>(window.icons[wParam == ICON_BIG ? 1 : 0]);
    case WM_CLOSE:
      if (dialog) {
        SendMessageA(window.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window.hwnd, IDCANCEL)));
      } else {
        DestroyWindow(window.hwnd);
      }
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessageA(window.hwnd, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(window.hwnd, SW_MINIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(window.hwnd, SW_RESTORE);
          break;
        case SC_KEYMENU:
          if (window.widget) ShowSystemMenu(window.hwnd, window.widget->mapToGlobal(QPoint(0, 0)));
          break;
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace platform::ui

using namespace platform::ui;

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window* window = OwnedByThisThread(hWnd) ? WindowOf(hWnd) : nullptr;
  return window != nullptr ? DefaultProcessing(*window, Msg, wParam, lParam) : 0;
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
  Window* window = OwnedByThisThread(hDlg) ? WindowOf(hDlg) : nullptr;
  if (window == nullptr || window->className != "#32770") return FALSE;
  window->ended = true;
  window->result = nResult;
  for (const ModalRun& run : ModalRuns())
    if (run.dialog == hDlg) run.loop->quit();
  return TRUE;
}

namespace platform::testing {

HWND ActiveModalDialog() { return ModalRuns().empty() ? nullptr : ModalRuns().back().dialog; }

void* WidgetOf(HWND hwnd) { return platform::ui::WidgetOf(hwnd); }

bool DropFiles(HWND hwnd, const std::vector<std::string>& paths) {
  QWidget* widget = platform::ui::WidgetOf(hwnd);
  if (widget == nullptr) return false;
  auto* data = new QMimeData();
  QList<QUrl> urls;
  for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(FromText(path)));
  data->setUrls(urls);
  const QPoint centre = widget->rect().center();
  QDragEnterEvent enter(centre, Qt::CopyAction, data, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &enter);
  bool accepted = enter.isAccepted();
  if (accepted) {
    QDropEvent drop(QPointF(centre), Qt::CopyAction, data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);
    accepted = drop.isAccepted();
  }
  delete data;
  return accepted;
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    // A short loop of its own wakes for every posted event, so a worker's
    // sends are answered at once, and gives the processor back in between.
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

}  // namespace platform::testing
