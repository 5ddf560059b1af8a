// Icons from the module's resources, pictures from device-independent
// bitmaps, and painting.
#include <QBuffer>
#include <QPainter>
#include <map>
#include <mutex>

#include "platform/testing.h"
#include "platform/ui/internal.h"
#include "platform/ui/window_table.h"

namespace platform::ui {
namespace {

struct Icon {
  WORD id;
  std::vector<QImage> images;  // one per size
  QIcon icon;
};

struct Icons {
  std::mutex mutex;
  std::map<HICON, Icon> icons;
  std::map<WORD, HICON> byId;  // resource icons are shared: one handle per id
  ULONG_PTR next = 0x40010;
};

Icons& TheIcons() {
  static Icons icons;
  return icons;
}

QImage ImageOf(const res::IconImage& source) {
  QImage image(source.size, source.size, QImage::Format_ARGB32);
  for (int y = 0; y < source.size; ++y) {
    const char* row = source.rows[y];
    for (int x = 0; x < source.size; ++x) {
      const char c = row[x];
      const int index = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      image.setPixel(x, y, index < 0 ? 0u : 0xFF000000u | res::kStandardPalette[index]);
    }
  }
  return image;
}

struct PaintDevice {
  HWND hwnd;
  QPainter* painter;
};

struct Painting {
  std::mutex mutex;
  std::map<HWND, QPainter*> painters;  // windows inside their paint event
  std::map<HDC, PaintDevice> devices;
  ULONG_PTR next = 0x50010;
  std::function<void(HWND, int, int, HICON)> observer;
};

Painting& ThePainting() {
  static Painting painting;
  return painting;
}

uint32_t Read32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Read16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

QIcon IconOf(HICON icon) {
  Icons& icons = TheIcons();
  std::lock_guard<std::mutex> lock(icons.mutex);
  auto found = icons.icons.find(icon);
  return found != icons.icons.end() ? found->second.icon : QIcon();
}

QImage ImageOfIcon(HICON icon, int size) {
  Icons& icons = TheIcons();
  std::lock_guard<std::mutex> lock(icons.mutex);
  auto found = icons.icons.find(icon);
  if (found == icons.icons.end() || found->second.images.empty()) return QImage();
  for (const QImage& image : found->second.images)
    if (image.width() == size) return image;
  return found->second.images.front().scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QByteArray IconPng(int index, int size) {
  const std::vector<const res::IconGroup*> groups = res::IconsInOrder();
  if (index < 0 || size_t(index) >= groups.size()) return {};
  const HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(groups[size_t(index)]->id));
  const QImage image = ImageOfIcon(icon, size);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (image.isNull() || !image.save(&buffer, "PNG")) return {};
  return png;
}

// An 8-, 24- or 32-bit uncompressed DIB, bottom-up or top-down.
QImage ImageFromDib(const unsigned char* dib, size_t size) {
  if (dib == nullptr || size < 40) return QImage();
  const uint32_t headerSize = Read32(dib);
  const int32_t width = int32_t(Read32(dib + 4));
  const int32_t height = int32_t(Read32(dib + 8));
  const uint16_t bits = Read16(dib + 14);
  const uint32_t compression = Read32(dib + 16);
  uint32_t colours = Read32(dib + 32);
  if (headerSize < 40 || width <= 0 || height == 0 || compression != 0) return QImage();
  if (bits <= 8 && colours == 0) colours = 1u << bits;
  if (bits > 8) colours = 0;
  const bool bottomUp = height > 0;
  const int rows = bottomUp ? height : -height;
  const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  const size_t pixels = headerSize + size_t(colours) * 4;
  if (pixels + stride * size_t(rows) > size) return QImage();
  QImage image(width, rows, QImage::Format_RGB32);
  for (int y = 0; y < rows; ++y) {
    const unsigned char* row = dib + pixels + stride * size_t(bottomUp ? rows - 1 - y : y);
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = nullptr;
      if (bits == 8) {
        const unsigned index = row[x];
        if (index >= colours) return QImage();
        p = dib + headerSize + index * 4;
      } else if (bits == 24) {
        p = row + x * 3;
      } else if (bits == 32) {
        p = row + x * 4;
      } else {
        return QImage();
      }
      image.setPixel(x, y, qRgb(p[2], p[1], p[0]));
    }
  }
  return image;
}

void SetPainter(HWND hwnd, QPainter* painter) {
  Painting& painting = ThePainting();
  std::lock_guard<std::mutex> lock(painting.mutex);
  if (painter != nullptr) {
    painting.painters[hwnd] = painter;
  } else {
    painting.painters.erase(hwnd);
  }
}

}  // namespace platform::ui

using namespace platform::ui;

HICON LoadIconA(HINSTANCE /*hInstance*/, LPCSTR lpIconName) {
  if (!IS_INTRESOURCE(lpIconName)) return nullptr;
  const WORD id = WORD(reinterpret_cast<ULONG_PTR>(lpIconName));
  Icons& icons = TheIcons();
  std::lock_guard<std::mutex> lock(icons.mutex);
  auto known = icons.byId.find(id);
  if (known != icons.byId.end()) return known->second;
  const platform::res::IconGroup* group = platform::res::FindIcon(id);
  if (group == nullptr) return nullptr;
  Icon icon{id, {}, {}};
  for (const platform::res::IconImage& image : group->images) {
    icon.images.push_back(ImageOf(image));
    icon.icon.addPixmap(QPixmap::fromImage(icon.images.back()));
  }
  HICON handle = reinterpret_cast<HICON>(icons.next);
  icons.next += 4;
  icons.icons[handle] = std::move(icon);
  icons.byId[id] = handle;
  return handle;
}

int GetSystemMetrics(int nIndex) {
  switch (nIndex) {
    case SM_CXICON:
    case SM_CYICON:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    default:
      return 0;
  }
}

HDC BeginPaint(HWND hWnd, PAINTSTRUCT* lpPaint) {
  Painting& painting = ThePainting();
  std::lock_guard<std::mutex> lock(painting.mutex);
  auto painter = painting.painters.find(hWnd);
  HDC hdc = reinterpret_cast<HDC>(painting.next);
  painting.next += 4;
  painting.devices[hdc] = PaintDevice{hWnd, painter != painting.painters.end() ? painter->second : nullptr};
  if (lpPaint != nullptr) {
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = hdc;
    GetClientRect(hWnd, &lpPaint->rcPaint);
  }
  return hdc;
}

BOOL EndPaint(HWND /*hWnd*/, const PAINTSTRUCT* lpPaint) {
  if (lpPaint == nullptr) return FALSE;
  Painting& painting = ThePainting();
  std::lock_guard<std::mutex> lock(painting.mutex);
  return painting.devices.erase(lpPaint->hdc) != 0 ? TRUE : FALSE;
}

BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
  PaintDevice device{};
  std::function<void(HWND, int, int, HICON)> observer;
  {
    Painting& painting = ThePainting();
    std::lock_guard<std::mutex> lock(painting.mutex);
    auto found = painting.devices.find(hDC);
    if (found == painting.devices.end()) return FALSE;
    device = found->second;
    observer = painting.observer;
  }
  if (observer) observer(device.hwnd, X, Y, hIcon);
  const QImage image = ImageOfIcon(hIcon, GetSystemMetrics(SM_CXICON));
  if (image.isNull()) return FALSE;
  if (device.painter != nullptr) device.painter->drawImage(X, Y, image);
  return TRUE;
}

namespace platform::testing {

void SetDrawIconObserver(std::function<void(HWND, int, int, HICON)> observer) {
  Painting& painting = ThePainting();
  std::lock_guard<std::mutex> lock(painting.mutex);
  painting.observer = std::move(observer);
}

}  // namespace platform::testing
