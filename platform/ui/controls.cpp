// The control classes the dialogs use: edit, button, progress bar and static
// picture, each a Qt widget behind a window of the table.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPainter>
#include <QTimer>
#include <QStyle>
#include <QStyleOptionProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cstring>

#include "platform/ui/internal.h"
#include "platform/ui/window_table.h"

namespace platform::ui {
namespace {

// The progress bar. A new position only marks the bar for painting, and the
// bar is painted at most once per frame however many positions come in
// between: a transfer that sends one per cylinder of a fast drive never waits
// for a paint of every one.
class ProgressBar : public QWidget {
 public:
  ProgressBar(QWidget* parent, bool vertical) : QWidget(parent), m_vertical(vertical) {
    m_frame.setSingleShot(true);
    m_frame.setInterval(kFrameMs);
    QObject::connect(&m_frame, &QTimer::timeout, this, [this] { update(); });
  }

  void Show(int minimum, int maximum, int position) {
    if (minimum == m_minimum && maximum == m_maximum && position == m_position) return;
    m_minimum = minimum;
    m_maximum = maximum;
    m_position = position;
    if (!m_frame.isActive()) m_frame.start();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStyleOptionProgressBar option;
    option.initFrom(this);
    option.minimum = m_minimum;
    option.maximum = m_maximum;
    option.progress = m_position;
    option.textVisible = false;
    if (!m_vertical) option.state |= QStyle::State_Horizontal;
    QPainter painter(this);
    style()->drawControl(QStyle::CE_ProgressBarGroove, &option, &painter, this);
    option.rect = style()->subElementRect(QStyle::SE_ProgressBarContents, &option, this);
    style()->drawControl(QStyle::CE_ProgressBarContents, &option, &painter, this);
  }

 private:
  static constexpr int kFrameMs = 16;
  bool m_vertical;
  int m_minimum = 0, m_maximum = 100, m_position = 0;
  QTimer m_frame;
};

QString DisplayText(const std::string& text) {
  QString shown = FromText(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

void SetProgress(Window& window) {
  if (auto* bar = dynamic_cast<ProgressBar*>(window.widget.data()))
    bar->Show(window.rangeMin, window.rangeMax, window.position);
}

LRESULT ProgressProc(Window& window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case PBM_SETRANGE: {
      const LRESULT previous = MAKELONG(window.rangeMin, window.rangeMax);
      window.rangeMin = LOWORD(lParam);
      window.rangeMax = std::max<int>(HIWORD(lParam), window.rangeMin);
      window.position = std::clamp(window.position, window.rangeMin, window.rangeMax);
      SetProgress(window);
      return previous;
    }
    case PBM_SETPOS: {
      // Like the platform's bar, a position outside the range is clamped to it.
      const LRESULT previous = window.position;
      window.position = std::clamp(int(wParam), window.rangeMin, window.rangeMax);
      SetProgress(window);
      return previous;
    }
    case PBM_GETPOS:
      return window.position;
    case PBM_GETRANGE:
      return wParam ? window.rangeMin : window.rangeMax;
    default:
      return DefaultProcessing(window, msg, wParam, lParam);
  }
}

}  // namespace

QWidget* CreateControl(Window& control, QWidget* dialog, const QFont& font) {
  QWidget* widget = nullptr;
  const std::string& cls = control.className;
  if (cls == "edit") {
    auto* edit = new QPlainTextEdit(dialog);
    edit->setReadOnly((control.style & ES_READONLY) != 0);
    if (edit->isReadOnly())
      edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setVerticalScrollBarPolicy((control.style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy((control.style & WS_HSCROLL) ? Qt::ScrollBarAsNeeded
                                                                    : Qt::ScrollBarAlwaysOff);
    edit->setTabChangesFocus(true);
    edit->setContextMenuPolicy(Qt::DefaultContextMenu);
    if (control.exStyle & WS_EX_STATICEDGE) {
      edit->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      edit->setLineWidth(1);
    }
    edit->document()->setDocumentMargin(1);
    edit->setPlainText(DisplayText(control.text));
    widget = edit;
  } else if (cls == "button") {
    auto* button = new QPushButton(FromText(control.text), dialog);
    button->setAutoDefault(false);
    button->setDefault(false);
    const HWND hwnd = control.hwnd;
    const int id = control.id;
    QObject::connect(button, &QPushButton::clicked, button, [hwnd, id] {
      SendMessageA(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
    });
    widget = button;
  } else if (cls == "msctls_progress32") {
    auto* bar = new ProgressBar(dialog, (control.style & PBS_VERTICAL) != 0);
    control.rangeMin = 0;
    control.rangeMax = 100;
    control.position = 0;
    SetProgress(control);
    widget = bar;
  } else if (cls == "static") {
    auto* label = new QLabel(dialog);
    if (control.style & SS_SUNKEN) {
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      label->setLineWidth(1);
    }
    label->setText(FromText(control.text));
    widget = label;
  } else {
    widget = new QWidget(dialog);
  }
  widget->setFont(font);
  widget->setFocusPolicy(cls == "msctls_progress32" || cls == "static" ? Qt::NoFocus
                         : (control.style & WS_TABSTOP)              ? Qt::StrongFocus
                                                                     : Qt::ClickFocus);
  widget->setEnabled((control.style & WS_DISABLED) == 0);
  widget->setVisible((control.style & WS_VISIBLE) != 0);
  return widget;
}

// Shows a bitmap resource in a static picture control at its real size.
void SetStaticPicture(Window& control, WORD bitmapId) {
  auto* label = qobject_cast<QLabel*>(control.widget.data());
  const res::Bitmap* bitmap = res::FindBitmap(bitmapId);
  if (label == nullptr || bitmap == nullptr) return;
  const QImage image = ImageFromDib(bitmap->dib, bitmap->size);
  if (image.isNull()) return;
  label->setPixmap(QPixmap::fromImage(image));
  label->setScaledContents(false);
  const int frame = label->frameWidth();
  label->resize(image.width() + 2 * frame, image.height() + 2 * frame);
}

LRESULT ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* window = WindowOf(hwnd);
  if (window == nullptr) return 0;
  if (window->className == "msctls_progress32") return ProgressProc(*window, msg, wParam, lParam);
  switch (msg) {
    case WM_SETTEXT: {
      window->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      if (auto* edit = qobject_cast<QPlainTextEdit*>(window->widget.data())) {
        edit->setPlainText(DisplayText(window->text));
      } else if (auto* button = qobject_cast<QPushButton*>(window->widget.data())) {
        button->setText(FromText(window->text));
      } else if (auto* label = qobject_cast<QLabel*>(window->widget.data())) {
        if (label->pixmap().isNull()) label->setText(FromText(window->text));
      }
      return TRUE;
    }
    case BM_CLICK:
      if (auto* button = qobject_cast<QPushButton*>(window->widget.data()))
        if (button->isEnabled()) button->click();
      return 0;
    default:
      return DefaultProcessing(*window, msg, wParam, lParam);
  }
}

}  // namespace platform::ui
