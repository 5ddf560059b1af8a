#include "platform/resources.h"

#include <algorithm>
#include <map>

namespace platform::res {
namespace {

// Resources register during static initialisation, before any thread exists,
// and are only read afterwards.
struct Module {
  std::map<WORD, const DialogTemplate*> dialogs;
  std::map<WORD, const IconGroup*> icons;
  std::map<WORD, const Bitmap*> bitmaps;
  const VersionInfo* version = nullptr;
};

Module& TheModule() {
  static Module module;
  return module;
}

template <typename T>
const T* Find(const std::map<WORD, const T*>& table, WORD id) {
  auto found = table.find(id);
  return found != table.end() ? found->second : nullptr;
}

}  // namespace

const DWORD kStandardPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

void Register(const DialogTemplate& dialog) { TheModule().dialogs[dialog.id] = &dialog; }
void Register(const IconGroup& icon) { TheModule().icons[icon.id] = &icon; }
void Register(const Bitmap& bitmap) { TheModule().bitmaps[bitmap.id] = &bitmap; }
void Register(const VersionInfo& version) { TheModule().version = &version; }

const DialogTemplate* FindDialog(WORD id) { return Find(TheModule().dialogs, id); }
const IconGroup* FindIcon(WORD id) { return Find(TheModule().icons, id); }
const Bitmap* FindBitmap(WORD id) { return Find(TheModule().bitmaps, id); }
const VersionInfo* Version() { return TheModule().version; }

std::vector<const IconGroup*> IconsInOrder() {
  std::vector<const IconGroup*> icons;
  for (const auto& entry : TheModule().icons) icons.push_back(entry.second);
  return icons;
}

}  // namespace platform::res
