// The common file dialogs on Qt's file dialog. What the caller's record asks
// for is honoured here for shown and answered dialogs alike: the filter list,
// the default extension, names that must exist, and a buffer the path must
// fit in whole.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <cstring>
#include <mutex>

#include "platform/io/posix.h"
#include "platform/testing.h"
#include "platform/ui/internal.h"

namespace {

using platform::io::FolderOf;
using platform::testing::FileDialogAnswer;
using platform::testing::FileDialogRequest;

struct Handler {
  std::mutex mutex;
  std::function<FileDialogAnswer(const FileDialogRequest&)> answer;
};

Handler& TheHandler() {
  static Handler handler;
  return handler;
}

struct Filter {
  std::string name;
  std::string patterns;  // "*.dsk;*.img"
};

// The NUL-separated pairs of name and patterns, ended by an empty string.
std::vector<Filter> ParseFilters(LPCSTR block) {
  std::vector<Filter> filters;
  if (block == nullptr) return filters;
  for (const char* p = block; *p != '\0';) {
    Filter filter;
    filter.name = p;
    p += filter.name.size() + 1;
    if (*p == '\0') break;
    filter.patterns = p;
    p += filter.patterns.size() + 1;
    filters.push_back(filter);
  }
  return filters;
}

bool Exists(const std::string& path, bool folder) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (folder ? S_ISDIR(st.st_mode) : !S_ISDIR(st.st_mode));
}

bool HasExtension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && dot > 0 && dot + 1 < name.size();
}

std::string Absolute(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  char folder[MAX_PATH];
  if (::getcwd(folder, sizeof folder) == nullptr) return name;
  return std::string(folder) + "/" + name;
}

// The full path the dialog closes with for a typed name, or why it refuses it.
bool Complete(const OPENFILENAMEA& record, bool save, const std::string& typed, std::string& path,
              std::string& refusal) {
  if (typed.empty()) {
    refusal = "no name";
    return false;
  }
  path = Absolute(typed);
  if (!HasExtension(path) && record.lpstrDefExt != nullptr && *record.lpstrDefExt != '\0') {
    const std::string extended = path + "." + record.lpstrDefExt;
    // An open dialog takes a name without extension as it stands when only
    // that file exists.
    if (save || !Exists(path, false) || Exists(extended, false)) path = extended;
  }
  if ((record.Flags & OFN_PATHMUSTEXIST) && !Exists(FolderOf(path), true)) {
    refusal = "folder does not exist: " + FolderOf(path);
    return false;
  }
  if ((record.Flags & OFN_FILEMUSTEXIST) && !Exists(path, false)) {
    refusal = "file does not exist: " + path;
    return false;
  }
  if (Exists(path, true)) {
    refusal = "is a folder: " + path;
    return false;
  }
  return true;
}

FileDialogAnswer ShowDialog(const OPENFILENAMEA& record, bool save, const std::string& refused) {
  using platform::ui::FromText;
  QFileDialog dialog(platform::ui::WidgetOf(record.hwndOwner));
  if (record.lpstrTitle != nullptr) dialog.setWindowTitle(FromText(record.lpstrTitle));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(record.Flags & OFN_FILEMUSTEXIST ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  // The platform's save dialog asks before replacing a file only when told.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (record.Flags & OFN_OVERWRITEPROMPT) == 0);
  QStringList names;
  for (const Filter& filter : ParseFilters(record.lpstrFilter)) {
    QString patterns = FromText(filter.patterns);
    patterns.replace(';', ' ');
    if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
    names << FromText(filter.name) + QStringLiteral(" (") + patterns + QStringLiteral(")");
  }
  if (!names.isEmpty()) {
    dialog.setNameFilters(names);
    const int index = record.nFilterIndex >= 1 && int(record.nFilterIndex) <= names.size() ? int(record.nFilterIndex) - 1 : 0;
    dialog.selectNameFilter(names[index]);
  }
  if (!refused.empty()) dialog.setDirectory(FromText(FolderOf(refused)));
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {true, {}};
  return {false, platform::ui::ToText(dialog.selectedFiles().first())};
}

BOOL RunFileDialog(LPOPENFILENAMEA record, bool save) {
  if (record == nullptr || record->lStructSize != sizeof(OPENFILENAMEA) || record->lpstrFile == nullptr ||
      record->nMaxFile == 0)
    return FALSE;
  std::function<FileDialogAnswer(const FileDialogRequest&)> handler;
  {
    std::lock_guard<std::mutex> lock(TheHandler().mutex);
    handler = TheHandler().answer;
  }
  std::string refused;
  for (;;) {
    const FileDialogAnswer answer = handler ? handler(FileDialogRequest{record, save, refused})
                                            : ShowDialog(*record, save, refused);
    if (answer.cancel) return FALSE;
    std::string path, refusal;
    if (!Complete(*record, save, answer.name, path, refusal)) {
      refused = answer.name;
      continue;
    }
    // A path longer than the caller's buffer is never cut short: the dialog
    // ends as if cancelled and the buffer keeps its first byte.
    if (path.size() + 1 > record->nMaxFile) return FALSE;
    std::memcpy(record->lpstrFile, path.c_str(), path.size() + 1);
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    record->nFileOffset = WORD(std::min<size_t>(slash + 1, 0xFFFF));
    record->nFileExtension = WORD(dot != std::string::npos && dot > slash ? std::min<size_t>(dot + 1, 0xFFFF) : 0);
    return TRUE;
  }
}

}  // namespace

BOOL GetOpenFileNameA(LPOPENFILENAMEA lpofn) { return RunFileDialog(lpofn, false); }
BOOL GetSaveFileNameA(LPOPENFILENAMEA lpofn) { return RunFileDialog(lpofn, true); }

namespace platform::testing {

void SetFileDialogHandler(std::function<FileDialogAnswer(const FileDialogRequest&)> handler) {
  std::lock_guard<std::mutex> lock(TheHandler().mutex);
  TheHandler().answer = std::move(handler);
}

}  // namespace platform::testing
