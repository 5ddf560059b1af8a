// The common file dialogs on Qt's file dialog. What the caller's record asks
// for is honoured here for shown and answered dialogs alike: the filter list,
// the default extension, names that must exist, and a buffer the path must
// fit in whole.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
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

// The name with the default extension added. Extensions are compared without
// regard to case, as on the platform: a file that has the extension in other
// letters is taken under its own spelling, so "image" finds "image.dsk".
std::string WithExtension(const std::string& path, const std::string& extension) {
  const std::string extended = path + "." + extension;
  if (Exists(extended, false)) return extended;
  const std::string folder = FolderOf(path);
  const std::string wanted = extended.substr(folder.size() + 1);
  const size_t stem = wanted.size() - extension.size();  // the name up to and with its dot
  std::string found;
  if (DIR* listing = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(listing)) {
      const std::string name = entry->d_name;
      if (name.size() == wanted.size() && name.compare(0, stem, wanted, 0, stem) == 0 &&
          ::strcasecmp(name.c_str() + stem, extension.c_str()) == 0 && Exists(folder + "/" + name, false) &&
          (found.empty() || name < found))
        found = name;
    }
    ::closedir(listing);
  }
  return found.empty() ? extended : folder + "/" + found;
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
  if (typed.empty()) return false;
  path = Absolute(typed);
  if (!HasExtension(path) && record.lpstrDefExt != nullptr && *record.lpstrDefExt != '\0') {
    const std::string extended = WithExtension(path, record.lpstrDefExt);
    // An open dialog takes a name without extension as it stands when only
    // that file exists.
    if (save || !Exists(path, false) || Exists(extended, false)) path = extended;
  }
  if ((record.Flags & OFN_PATHMUSTEXIST) && !Exists(FolderOf(path), true)) {
    refusal = FolderOf(path) + "\nPath does not exist.\nCheck the path and try again.";
    return false;
  }
  if ((record.Flags & OFN_FILEMUSTEXIST) && !Exists(path, false)) {
    refusal = path + "\nFile not found.\nCheck the file name and try again.";
    return false;
  }
  if (Exists(path, true)) {
    refusal = path + "\nis a folder. Choose a file.";
    return false;
  }
  return true;
}

// Qt's file dialog, checking the name as the platform's dialog does: a
// refused name is explained in a box and the dialog stays open with it.
class FileDialog : public QFileDialog {
 public:
  FileDialog(QWidget* owner, const OPENFILENAMEA& record, bool save)
      : QFileDialog(owner), m_record(record), m_save(save) {}
  const std::string& path() const { return m_path; }

  void accept() override {
    const QStringList files = selectedFiles();
    if (files.isEmpty()) return;
    // A typed or chosen folder is opened by the dialog itself.
    if (files.size() == 1 && QFileInfo(files.first()).isDir()) {
      QFileDialog::accept();
      return;
    }
    std::string refusal;
    if (!Complete(m_record, m_save, platform::ui::ToText(files.first()), m_path, refusal)) {
      if (!refusal.empty())
        QMessageBox::warning(this, windowTitle(), platform::ui::FromText(refusal));
      return;
    }
    QDialog::accept();
  }

 private:
  const OPENFILENAMEA& m_record;
  const bool m_save;
  std::string m_path;
};

FileDialogAnswer ShowDialog(const OPENFILENAMEA& record, bool save) {
  using platform::ui::FromText;
  FileDialog dialog(platform::ui::WidgetOf(record.hwndOwner), record, save);
  if (record.lpstrTitle != nullptr) dialog.setWindowTitle(FromText(record.lpstrTitle));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // Any typed name reaches accept(), which adds the default extension before
  // it asks whether the file must exist.
  dialog.setFileMode(QFileDialog::AnyFile);
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
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted) return {true, {}};
  return {false, dialog.path()};
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
    // A shown dialog checks the name itself and closes with a complete path.
    const FileDialogAnswer answer = handler ? handler(FileDialogRequest{record, save, refused})
                                            : ShowDialog(*record, save);
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
