// The module's resources as data: dialog templates, icons, bitmaps and the
// version record. res/ defines them and registers them at start-up, as a
// resource compiler would link them into the program file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32/types.h"

namespace platform::res {

struct DialogItem {
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
  WORD id;             // 0xFFFF: a control that is never addressed
  const char* className;
  const char* text;    // null when the text is a resource ordinal
  WORD textOrdinal;    // the picture of an SS_BITMAP static
};

struct DialogTemplate {
  WORD id;
  bool extended;  // the extended template form
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
  const char* caption;
  WORD pointSize;
  WORD weight;
  bool italic;
  BYTE charset;
  const char* typeface;
  DWORD helpId;
  std::vector<DialogItem> items;  // in template order, which is the tab order
};

// One image of an icon: rows of characters, one per pixel, each a hex digit
// naming a colour of the 16-colour palette or '.' for a transparent pixel.
struct IconImage {
  int size;
  const char* const* rows;
};

struct IconGroup {
  WORD id;
  std::vector<IconImage> images;
};

// The 16 colours of the standard palette, 0x00RRGGBB, for IconImage rows.
extern const DWORD kStandardPalette[16];

// A device-independent bitmap as stored in a bitmap resource: the info header,
// the colour table and the pixels, without a file header.
struct Bitmap {
  WORD id;
  const unsigned char* dib;
  size_t size;
};

struct VersionInfo {
  WORD fileVersion[4];
  WORD productVersion[4];
  const char* fileVersionText;     // "1, 0, 0, 1"
  const char* productVersionText;
  WORD language;                   // 0x0409, US English
  WORD codePage;                   // 1200, Unicode
  const char* companyName;
  const char* fileDescription;
  const char* internalName;
  const char* legalCopyright;
  const char* originalFilename;
  const char* productName;
};

void Register(const DialogTemplate& dialog);
void Register(const IconGroup& icon);
void Register(const Bitmap& bitmap);
void Register(const VersionInfo& version);

const DialogTemplate* FindDialog(WORD id);
const IconGroup* FindIcon(WORD id);
// The icon groups in the order of their ids: index N is "icon N" of the
// program file.
std::vector<const IconGroup*> IconsInOrder();
const Bitmap* FindBitmap(WORD id);
const VersionInfo* Version();

}  // namespace platform::res
