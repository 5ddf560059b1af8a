// Draws the picture of the about box and writes it out twice: as a C++ source
// file that holds the device-independent bitmap and registers it as the
// bitmap resource IDB_ABOUT, and as a .bmp file to look at.
//
//   make_about OUTPUT.cpp OUTPUT.bmp
//
// The picture is drawn with antialiasing in full colour and then mapped onto
// a fixed palette of 256 colours built from the few colours the drawing uses
// (the blue band, its blends with white and black, greys, the amber accent),
// so the 8-bit picture keeps smooth text edges without dithering noise. The
// output depends on nothing but this file and the DejaVu Sans font, and the
// same input always gives the same bytes.
#include <QColor>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kWidth = 457;
constexpr int kHeight = 250;
constexpr int kBandHeight = 132;
constexpr int kRuleHeight = 3;

const QColor kBandLeft(0x10, 0x28, 0x52);
const QColor kBandRight(0x2C, 0x6A, 0xB3);
const QColor kAmber(0xE8, 0xA2, 0x32);
const QColor kVersionText(0xCC, 0xDD, 0xF3);
const QColor kDarkText(0x2A, 0x2A, 0x2A);
const QColor kGreyText(0x5C, 0x5C, 0x5C);

// How far along the band's gradient a point lies, 0 at the top left corner
// and 1 at the bottom right one. The band is mostly a left-to-right sweep
// with a little fall from top to bottom.
double BandPosition(double x, double y) {
  const double t = 0.85 * x / (kWidth - 1) + 0.15 * y / (kBandHeight - 1);
  return std::clamp(t, 0.0, 1.0);
}

QRgb Mix(QRgb a, QRgb b, double f) {
  auto channel = [f](int p, int q) { return int(std::lround(p + (q - p) * f)); };
  return qRgb(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)), channel(qBlue(a), qBlue(b)));
}

QRgb BandColour(double t) { return Mix(kBandLeft.rgb(), kBandRight.rgb(), t); }

// The fixed palette, in blocks: the band itself in fine steps so that its
// gradient shows no bands; the band blended with white (white text and the
// light version line on it) and with black (the floppy's shadow and outline
// over it) in coarser steps; a ramp of greys for the floppy and the text on
// white; the amber accent blended with white. 48 + 14 x 7 + 10 x 3 + 68 + 12
// colours make the 256.
std::vector<QRgb> Palette() {
  std::vector<QRgb> palette;
  for (int i = 0; i < 48; ++i) palette.push_back(BandColour(i / 47.0));
  for (int i = 0; i < 14; ++i)
    for (double towardWhite : {0.12, 0.25, 0.38, 0.5, 0.62, 0.75, 0.88})
      palette.push_back(Mix(BandColour(i / 13.0), qRgb(255, 255, 255), towardWhite));
  for (int i = 0; i < 10; ++i)
    for (double towardBlack : {0.35, 0.6, 0.8}) palette.push_back(Mix(BandColour(i / 9.0), qRgb(0, 0, 0), towardBlack));
  for (int i = 0; i < 68; ++i) {
    const int v = int(std::lround(i * 255.0 / 67));
    palette.push_back(qRgb(v, v, v));
  }
  for (int i = 0; i < 12; ++i) palette.push_back(Mix(kAmber.rgb(), qRgb(255, 255, 255), i / 12.0));
  return palette;
}

// The index of the palette colour nearest to c, weighting the channels by
// how strongly the eye sees them.
int Nearest(const std::vector<QRgb>& palette, QRgb c) {
  int best = 0;
  long bestDistance = -1;
  for (size_t i = 0; i < palette.size(); ++i) {
    const long dr = qRed(c) - qRed(palette[i]);
    const long dg = qGreen(c) - qGreen(palette[i]);
    const long db = qBlue(c) - qBlue(palette[i]);
    const long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      bestDistance = distance;
      best = int(i);
    }
  }
  return best;
}

QFont Font(int pixelSize, QFont::Weight weight) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  font.setStretch(QFont::Unstretched);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

// A grey 3.5-inch floppy disk seen from its label side, w x h pixels with its
// top left corner at (x, y): the metal shutter with its window at the top,
// the label below it, the write-protect hole in the bottom right corner and
// the corner cut off at the top right.
void DrawFloppy(QPainter& p, double x, double y, double w, double h) {
  const double cut = w * 0.09;
  QPainterPath body;
  body.moveTo(x, y);
  body.lineTo(x + w - cut, y);
  body.lineTo(x + w, y + cut);
  body.lineTo(x + w, y + h);
  body.lineTo(x, y + h);
  body.closeSubpath();

  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 89));  // 35 % black: one of the band's darker blends
  p.drawPath(body.translated(5, 5));

  QLinearGradient bodyShade(x, y, x + w, y + h);
  bodyShade.setColorAt(0, QColor(0x74, 0x74, 0x74));
  bodyShade.setColorAt(1, QColor(0x58, 0x58, 0x58));
  p.setBrush(bodyShade);
  p.setPen(QPen(QColor(0x22, 0x22, 0x22), 1.5));
  p.drawPath(body);

  // The recess the shutter slides along, then the shutter over it.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x4E, 0x4E, 0x4E));
  p.drawRect(QRectF(x + w * 0.12, y + 1, w * 0.64, h * 0.40));
  const QRectF shutter(x + w * 0.26, y + 0.75, w * 0.50, h * 0.43);
  QLinearGradient metal(shutter.topLeft(), shutter.topRight());
  metal.setColorAt(0, QColor(0xEC, 0xEC, 0xEC));
  metal.setColorAt(0.55, QColor(0xC8, 0xC8, 0xC8));
  metal.setColorAt(1, QColor(0xA4, 0xA4, 0xA4));
  p.setBrush(metal);
  p.setPen(QPen(QColor(0x3C, 0x3C, 0x3C), 1));
  p.drawRect(shutter);
  p.setBrush(QColor(0x26, 0x26, 0x26));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(shutter.left() + shutter.width() * 0.56, shutter.top() + shutter.height() * 0.16,
                           shutter.width() * 0.24, shutter.height() * 0.66),
                    1.5, 1.5);

  // The label, with a coloured strip along its top and ruled lines.
  const QRectF label(x + w * 0.12, y + h * 0.52, w * 0.70, h * 0.48 - 1);
  p.setBrush(QColor(0xF6, 0xF6, 0xF6));
  p.drawRect(label);
  p.setBrush(kAmber);
  p.drawRect(QRectF(label.left(), label.top(), label.width(), h * 0.08));
  p.setPen(QPen(QColor(0xC4, 0xC4, 0xC4), 1));
  for (double line : {0.42, 0.62, 0.82}) {
    const double ly = std::floor(label.top() + label.height() * line) + 0.5;
    p.drawLine(QPointF(label.left() + 6, ly), QPointF(label.right() - 6, ly));
  }

  // The write-protect hole, open: the disk may be written.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1A, 0x1A, 0x1A));
  p.drawRect(QRectF(x + w * 0.86, y + h * 0.84, w * 0.08, h * 0.09));
}

QImage Draw() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  for (int y = 0; y < kBandHeight; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kWidth; ++x) row[x] = BandColour(BandPosition(x, y));
  }
  p.fillRect(0, kBandHeight, kWidth, kRuleHeight, kAmber);

  DrawFloppy(p, 338, 22, 88, 92);

  p.setPen(Qt::white);
  p.setFont(Font(50, QFont::Bold));
  p.drawText(QPointF(28, 74), QStringLiteral("Varnel"));
  p.setPen(kVersionText);
  p.setFont(Font(16, QFont::Normal));
  p.drawText(QPointF(31, 104), QStringLiteral("Version 1.0.0.1"));

  p.setPen(kDarkText);
  p.setFont(Font(15, QFont::Bold));
  p.drawText(QPointF(28, 170), QStringLiteral("Exact images of floppy disks, and back again."));
  p.setPen(kGreyText);
  p.setFont(Font(12, QFont::Normal));
  p.drawText(QPointF(28, 200), QStringLiteral("Copyright (C) 2026 the Varnel developers"));
  p.drawText(QPointF(28, 220), QStringLiteral("With thanks to everyone who kept their old drives and disks"));
  p.drawText(QPointF(28, 236), QStringLiteral("and lent them to us for testing."));
  p.end();
  return image;
}

void Put16(std::vector<unsigned char>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The picture as a bitmap resource holds it: the 40-byte info header, the
// colour table of 256 blue-green-red-zero entries, then the rows of palette
// indexes from the bottom row up, each padded to a multiple of four bytes.
std::vector<unsigned char> Dib(const QImage& image) {
  const std::vector<QRgb> palette = Palette();
  const uint32_t stride = (uint32_t(kWidth) + 3) & ~3u;
  std::vector<unsigned char> dib;
  Put32(dib, 40);
  Put32(dib, kWidth);
  Put32(dib, kHeight);  // positive: bottom-up
  Put16(dib, 1);        // planes
  Put16(dib, 8);        // bits per pixel
  Put32(dib, 0);        // BI_RGB
  Put32(dib, stride * kHeight);
  Put32(dib, 2835);  // 72 dots per inch
  Put32(dib, 2835);
  Put32(dib, 256);  // colours used
  Put32(dib, 0);    // all of them important
  for (QRgb c : palette) {
    dib.push_back(uint8_t(qBlue(c)));
    dib.push_back(uint8_t(qGreen(c)));
    dib.push_back(uint8_t(qRed(c)));
    dib.push_back(0);
  }
  std::unordered_map<QRgb, uint8_t> nearest;
  for (int y = kHeight - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      const QRgb c = row[x] | 0xFF000000u;
      auto found = nearest.find(c);
      if (found == nearest.end()) found = nearest.emplace(c, uint8_t(Nearest(palette, c))).first;
      dib.push_back(found->second);
    }
    for (uint32_t pad = kWidth; pad < stride; ++pad) dib.push_back(0);
  }
  return dib;
}

bool WriteFile(const char* path, const std::vector<unsigned char>& bytes) {
  QFile file(QString::fromLocal8Bit(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

std::vector<unsigned char> BmpFile(const std::vector<unsigned char>& dib) {
  std::vector<unsigned char> file{'B', 'M'};
  Put32(file, uint32_t(14 + dib.size()));
  Put32(file, 0);
  Put32(file, 14 + 40 + 256 * 4);  // where the pixels start
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

std::vector<unsigned char> Source(const std::vector<unsigned char>& dib) {
  std::string text =
      "// The picture of the about box: a device-independent bitmap of 457 x 250\n"
      "// pixels in 256 colours. Generated by res/about/make_about.cpp; edit the\n"
      "// drawing there, not the bytes here.\n"
      "#include \"platform/resources.h\"\n"
      "#include \"res/resource.h\"\n"
      "\n"
      "namespace {\n"
      "\n"
      "alignas(4) const unsigned char kAboutDib[" +
      std::to_string(dib.size()) + "] = {\n";
  char byte[8];
  for (size_t i = 0; i < dib.size(); ++i) {
    if (i % 16 == 0) text += "   ";
    std::snprintf(byte, sizeof byte, " 0x%02x,", dib[i]);
    text += byte;
    if (i % 16 == 15 || i + 1 == dib.size()) text += '\n';
  }
  text +=
      "};\n"
      "\n"
      "const platform::res::Bitmap kAbout = {IDB_ABOUT, kAboutDib, sizeof kAboutDib};\n"
      "\n"
      "struct Registration {\n"
      "  Registration() { platform::res::Register(kAbout); }\n"
      "} registration;\n"
      "\n"
      "}  // namespace\n";
  return std::vector<unsigned char>(text.begin(), text.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_about OUTPUT.cpp OUTPUT.bmp\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  // Another face would draw a different picture; refuse rather than build one.
  const QFontInfo face(Font(12, QFont::Normal));
  if (face.family() != QStringLiteral("DejaVu Sans")) {
    std::fprintf(stderr, "make_about: the font DejaVu Sans is missing (found %s)\n", qPrintable(face.family()));
    return 1;
  }
  if (Palette().size() != 256) {
    std::fprintf(stderr, "make_about: the palette must have 256 colours\n");
    return 1;
  }
  const std::vector<unsigned char> dib = Dib(Draw());
  if (!WriteFile(argv[1], Source(dib)) || !WriteFile(argv[2], BmpFile(dib))) {
    std::fprintf(stderr, "make_about: cannot write %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  return 0;
}
