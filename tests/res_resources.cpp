// The program's icon and about picture: their stored form is what the layer
// and the desktop expect, and they really hold a drawing.
#include <gtest/gtest.h>

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/ui/internal.h"
#include "res/resource.h"

namespace {

bool Transparent(char c) { return c == '.'; }

int PaletteIndex(char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; }

int Lightness(char c) {
  const DWORD rgb = platform::res::kStandardPalette[PaletteIndex(c)];
  return QColor::fromRgb(QRgb(rgb)).lightness();
}

const platform::res::IconImage* ImageOfSize(const platform::res::IconGroup& group, int size) {
  for (const platform::res::IconImage& image : group.images)
    if (image.size == size) return &image;
  return nullptr;
}

TEST(MainIcon, HasA32AndA16ImageOfPaletteRowsOnARaisedTile) {
  const platform::res::IconGroup* group = platform::res::FindIcon(IDR_MAINFRAME);
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->images.size(), 2u);
  for (int size : {32, 16}) {
    SCOPED_TRACE(size);
    const platform::res::IconImage* image = ImageOfSize(*group, size);
    ASSERT_NE(image, nullptr);
    const char* const* rows = image->rows;
    for (int y = 0; y < size; ++y) {
      ASSERT_NE(rows[y], nullptr) << "row " << y;
      ASSERT_EQ(std::strlen(rows[y]), size_t(size)) << "row " << y;
      for (int x = 0; x < size; ++x)
        EXPECT_TRUE(Transparent(rows[y][x]) || PaletteIndex(rows[y][x]) >= 0)
            << "pixel " << x << "," << y << " is '" << rows[y][x] << "'";
    }
    const int last = size - 1;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}})
      EXPECT_TRUE(Transparent(rows[y][x])) << "corner " << x << "," << y;
    EXPECT_FALSE(Transparent(rows[size / 2][size / 2]));

    // The tile is square and raised: its edges are opaque up to the corner
    // pixels, lit on the top and left and dark on the bottom and right.
    for (int i = 1; i < last; ++i) {
      const char top = rows[0][i], left = rows[i][0], bottom = rows[last][i], right = rows[i][last];
      ASSERT_FALSE(Transparent(top) || Transparent(left) || Transparent(bottom) || Transparent(right))
          << "edge pixel " << i;
      EXPECT_GT(Lightness(top), Lightness(bottom)) << "column " << i;
      EXPECT_GT(Lightness(left), Lightness(right)) << "row " << i;
    }
  }
}

TEST(MainIcon, LoadsWithEachSizeAsDrawn) {
  const HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME));
  ASSERT_NE(icon, nullptr);
  const platform::res::IconGroup* group = platform::res::FindIcon(IDR_MAINFRAME);
  ASSERT_NE(group, nullptr);
  for (int size : {32, 16}) {
    SCOPED_TRACE(size);
    const QImage image = platform::ui::ImageOfIcon(icon, size);
    ASSERT_EQ(image.size(), QSize(size, size));
    // Pixel for pixel the drawing, not another size scaled to fit.
    const platform::res::IconImage* drawn = ImageOfSize(*group, size);
    ASSERT_NE(drawn, nullptr);
    int mismatches = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const char c = drawn->rows[y][x];
        const QRgb pixel = image.pixel(x, y);
        const bool same = Transparent(c) ? qAlpha(pixel) == 0
                                         : pixel == (0xFF000000u | platform::res::kStandardPalette[PaletteIndex(c)]);
        if (!same) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

uint32_t Read32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

TEST(AboutPicture, IsAn8BitBottomUpDibOf457By250WithAFullColourTable) {
  const platform::res::Bitmap* bitmap = platform::res::FindBitmap(IDB_ABOUT);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_NE(bitmap->dib, nullptr);
  ASSERT_GE(bitmap->size, 40u);
  const unsigned char* dib = bitmap->dib;

  struct Field {
    const char* name;
    size_t offset;
    int bytes;
    uint32_t expected;
  };
  const Field fields[] = {
      {"biSize", 0, 4, 40},       {"biWidth", 4, 4, 457},    {"biHeight (positive: bottom-up)", 8, 4, 250},
      {"biPlanes", 12, 2, 1},     {"biBitCount", 14, 2, 8},  {"biCompression (BI_RGB)", 16, 4, 0},
      {"biClrUsed", 32, 4, 256},
  };
  for (const Field& field : fields) {
    const uint32_t value = field.bytes == 4 ? Read32(dib + field.offset) : uint32_t(dib[field.offset] | dib[field.offset + 1] << 8);
    EXPECT_EQ(value, field.expected) << field.name;
  }

  // Each row of 457 one-byte pixels is padded to 460 bytes.
  const size_t pixelBytes = 460 * 250;
  const uint32_t sizeImage = Read32(dib + 20);
  EXPECT_TRUE(sizeImage == 0 || sizeImage == pixelBytes) << "biSizeImage " << sizeImage;
  EXPECT_EQ(bitmap->size, 40 + 256 * 4 + pixelBytes);
}

TEST(AboutPicture, DecodesToAColourfulPictureTheRightWayUp) {
  const platform::res::Bitmap* bitmap = platform::res::FindBitmap(IDB_ABOUT);
  ASSERT_NE(bitmap, nullptr);
  const QImage image = platform::ui::ImageFromDib(bitmap->dib, bitmap->size);
  ASSERT_EQ(image.size(), QSize(457, 250));

  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 32u) << "a drawing with text, a gradient and a floppy";

  // The dark title band is at the top and the credits stand on a light
  // ground below it; a picture stored upside down would show the reverse.
  auto lightness = [&image](int y0, int y1) {
    long sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < image.width(); ++x) sum += QColor(image.pixel(x, y)).lightness();
    return sum / long((y1 - y0) * image.width());
  };
  EXPECT_LT(lightness(0, 20), lightness(230, 250));
}

}  // namespace

namespace {

// The version record, and the name and version the toolkit and the desktop
// know the program by.
TEST(Version, RecordAndTheToolkitAgree) {
  const platform::res::VersionInfo* version = platform::res::Version();
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(std::vector<int>(version->fileVersion, version->fileVersion + 4), (std::vector<int>{1, 0, 0, 1}));
  EXPECT_EQ(std::vector<int>(version->productVersion, version->productVersion + 4), (std::vector<int>{1, 0, 0, 1}));
  EXPECT_STREQ(version->fileVersionText, "1, 0, 0, 1");
  EXPECT_STREQ(version->productVersionText, "1, 0, 0, 1");
  EXPECT_EQ(version->language, 0x0409);
  EXPECT_EQ(version->codePage, 1200);
  EXPECT_STREQ(version->fileDescription, "Varnel MFC Application");
  EXPECT_STREQ(version->internalName, "Varnel");
  EXPECT_STREQ(version->originalFilename, "Varnel.EXE");
  EXPECT_STREQ(version->productName, "Varnel Application");
  EXPECT_EQ(QCoreApplication::applicationName(), QString("Varnel"));
  EXPECT_EQ(QCoreApplication::applicationVersion(), QString("1.0.0.1"));
}

}  // namespace
