#include "platform/registry/bridge.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "platform/registry/files.h"
#include "platform/ui/internal.h"
#include "platform/win32/io.h"

namespace platform::registry {
namespace {

// The tools rebuild caches of a few files; a tool that takes longer than this
// hangs, and the user-interface thread that waits for it must go on.
constexpr int kToolTimeoutMs = 10000;
// Shared-mime-info's default glob weight is 50. The extension was registered
// for this program on purpose, so its type wins over a generic one.
constexpr int kGlobWeight = 60;
const int kIconSizes[] = {16, 32};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// ---- Commands -------------------------------------------------------------

struct Word {
  std::string text;
  bool file;  // the shell's placeholder for the file's path
};

// At `at`: blanks, then the placeholder "%1" or %1, then a blank or the end.
bool PlaceholderFollows(const std::string& command, size_t at) {
  if (at >= command.size() || !IsBlank(command[at])) return false;
  while (at < command.size() && IsBlank(command[at])) ++at;
  if (command.compare(at, 4, "\"%1\"") == 0)
    at += 4;
  else if (command.compare(at, 2, "%1") == 0)
    at += 2;
  else
    return false;
  return at == command.size() || IsBlank(command[at]);
}

// The words after the program, as the program's runtime splits its command
// line on the platform: blanks separate words, double quotes group and are
// removed, and backslashes count only before a quote.
std::vector<Word> SplitArguments(const std::string& text) {
  std::vector<Word> words;
  size_t i = 0;
  const size_t n = text.size();
  for (;;) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i >= n) break;
    std::string word;
    bool quoted = false;
    while (i < n) {
      const char c = text[i];
      if (c == '\\') {
        size_t count = 0;
        while (i < n && text[i] == '\\') ++count, ++i;
        if (i < n && text[i] == '"') {
          word.append(count / 2, '\\');
          if (count % 2 == 1) word += '"', ++i;
        } else {
          word.append(count, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < n && text[i + 1] == '"') {
          word += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else if (!quoted && IsBlank(c)) {
        break;
      } else {
        word += c;
        ++i;
      }
    }
    words.push_back({word, word == "%1" || word == "%L" || word == "%l"});
  }
  return words;
}

bool IsProgramFile(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The program of a command and its other words. Linux paths may hold quotes
// and blanks, so the first quote is not necessarily the closing one of a
// quoted program path: it closes at the first quote that ends a word and
// leaves the path of an existing file, else at the last quote before the
// placeholder, else at the first quote that ends a word.
bool SplitCommand(const std::string& command, std::string& program, std::vector<Word>& words) {
  const size_t start = command.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  size_t rest = 0;
  if (command[start] == '"') {
    const size_t none = std::string::npos;
    size_t naming = none, beforePlaceholder = none, endingWord = none;
    for (size_t q = command.find('"', start + 1); q != none; q = command.find('"', q + 1)) {
      if (q + 1 != command.size() && !IsBlank(command[q + 1])) continue;
      if (endingWord == none) endingWord = q;
      if (naming == none && IsProgramFile(command.substr(start + 1, q - start - 1))) naming = q;
      if (PlaceholderFollows(command, q + 1)) beforePlaceholder = q;
    }
    const size_t close = naming != none ? naming : beforePlaceholder != none ? beforePlaceholder : endingWord;
    if (close == none) return false;
    program = command.substr(start + 1, close - start - 1);
    rest = close + 1;
  } else {
    const size_t end = command.find_first_of(" \t", start);
    program = command.substr(start, end == std::string::npos ? std::string::npos : end - start);
    rest = end == std::string::npos ? command.size() : end;
  }
  if (program.empty()) return false;
  words = SplitArguments(command.substr(rest));
  return true;
}

// One argument of an Exec line by the Desktop Entry rules: an argument with a
// reserved character is quoted, and inside the quotes ", `, $ and \ are
// escaped with a backslash; a literal % is always doubled.
std::string ExecArgument(const std::string& argument) {
  static const std::string kReserved = std::string(" \t\n\r\"'\\><~|&;$*?#()`");
  const bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
  std::string out;
  if (quote) out += '"';
  for (char c : argument) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

// The escapes of a string value in a desktop entry file, applied after the
// Exec quoting: this doubles every backslash once more.
std::string EscapeValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case ' ':
        out += i == 0 ? "\\s" : " ";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

std::string EscapeXml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // XML 1.0 has no way to write the other control characters.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
        break;
    }
  }
  return out;
}

// A glob that matches the extension literally.
std::string GlobOf(const std::string& extension) {
  std::string glob = "*.";
  for (char c : extension) {
    if (c == '*' || c == '?' || c == '[')
      glob += std::string("[") + c + "]";
    else
      glob += c;
  }
  return glob;
}

// ---- Associations ---------------------------------------------------------

struct Verb {
  std::string name;  // the verb's key name, shown as the menu text
  std::string exec;
  std::string entry;  // desktop entry id without ".desktop"
};

struct Association {
  const Key* type = nullptr;
  std::string id;  // "varnel-<class>", the name of its files and icon
  std::vector<std::string> extensions;
  std::vector<Verb> verbs;
};

// A name reduced to what is valid in a MIME type, a desktop-file id and an
// icon name: lower-case letters and digits, with one hyphen for each run of
// anything else.
std::string Token(const std::string& name) {
  std::string token;
  bool gap = false;
  for (unsigned char c : name) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) {
      gap = true;
      continue;
    }
    if (gap && !token.empty()) token += '-';
    gap = false;
    token += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  if (token.empty()) {
    // A name of other letters only still needs a name of its own.
    static const char kHex[] = "0123456789abcdef";
    token = "x";
    for (unsigned char c : name) token += kHex[c >> 4], token += kHex[c & 15];
  }
  return token;
}

// Two names may reduce to the same token; the later one gets a number.
std::string Unique(const std::string& token, std::set<std::string>& used) {
  std::string candidate = token;
  for (int n = 2; !used.insert(candidate).second; ++n) candidate = token + "-" + std::to_string(n);
  return candidate;
}

std::vector<Association> AssociationsOf(const Key& root) {
  std::vector<Association> associations;
  std::map<const Key*, size_t> byType;
  for (const Key& extension : root.subkeys) {
    if (extension.name.size() < 2 || extension.name[0] != '.' || !extension.value) continue;
    std::vector<std::string> path;
    if (!SplitPath(extension.value->c_str(), path) || path.empty()) continue;
    const Key* type = root.Walk(path);
    if (type == nullptr) continue;
    auto found = byType.emplace(type, associations.size());
    if (found.second) {
      associations.emplace_back();
      associations.back().type = type;
    }
    associations[found.first->second].extensions.push_back(extension.name.substr(1));
  }

  std::vector<Association> withVerbs;
  std::set<std::string> ids, entries;
  for (Association& association : associations) {
    const Key* shell = association.type->Find("shell");
    if (shell == nullptr) continue;
    for (const Key& verb : shell->subkeys) {
      const Key* command = verb.Find("command");
      std::string exec;
      if (command == nullptr || !command->value || !DesktopExec(*command->value, exec)) continue;
      association.verbs.push_back({verb.name, exec, ""});
    }
    if (association.verbs.empty()) continue;
    association.id = Unique("varnel-" + Token(association.type->name), ids);
    for (Verb& verb : association.verbs) verb.entry = Unique(association.id + "-" + Token(verb.name), entries);
    withVerbs.push_back(std::move(association));
  }
  return withVerbs;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The icons of the class's DefaultIcon ("PATH,N"), by size. Only this
// program's own icons can be read; others are left to the desktop's default.
std::map<int, std::string> IconsOf(const Key& type) {
  std::map<int, std::string> icons;
  const Key* defaultIcon = type.Find("DefaultIcon");
  if (defaultIcon == nullptr || !defaultIcon->value) return icons;
  const std::string& value = *defaultIcon->value;
  const size_t comma = value.rfind(',');
  std::string file = value.substr(0, comma);
  int index = 0;
  if (comma != std::string::npos) {
    const std::string number = value.substr(comma + 1);
    char* end = nullptr;
    const long parsed = std::strtol(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || parsed < 0 || parsed > 0xFFFF) return icons;
    index = int(parsed);
  }
  if (file.size() >= 2 && file.front() == '"' && file.back() == '"') file = file.substr(1, file.size() - 2);
  char self[PATH_MAX];
  if (GetModuleFileNameA(nullptr, self, sizeof self) == 0) return icons;
  const std::string program = RealPath(file);
  if (program.empty() || program != RealPath(self)) return icons;
  for (int size : kIconSizes) {
    const QByteArray png = platform::ui::IconPng(index, size);
    if (!png.isEmpty()) icons[size] = png.toStdString();
  }
  return icons;
}

std::string MimePackage(const Association& association, const std::string& mimeType, bool icon) {
  const std::string comment =
      association.type->value && !association.type->value->empty() ? *association.type->value : association.type->name;
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- Written by Varnel for a registered file type; Varnel removes it when the type is unregistered. -->\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"" +
      mimeType +
      "\">\n"
      "    <comment>" +
      EscapeXml(comment) + "</comment>\n";
  if (icon) xml += "    <icon name=\"" + association.id + "\"/>\n";
  for (const std::string& extension : association.extensions)
    xml +=
        "    <glob pattern=\"" + EscapeXml(GlobOf(extension)) + "\" weight=\"" + std::to_string(kGlobWeight) + "\"/>\n";
  xml += "  </mime-type>\n</mime-info>\n";
  return xml;
}

std::string DesktopEntry(const Association& association, const Verb& verb, const std::string& mimeType, bool icon) {
  std::string entry =
      "# Written by Varnel for a registered file type; Varnel removes it when the type is unregistered.\n"
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=" +
      EscapeValue(verb.name) +
      "\n"
      "Exec=" +
      verb.exec +
      "\n"
      "MimeType=" +
      mimeType + ";\n";
  if (icon) entry += "Icon=" + association.id + "\n";
  entry += "NoDisplay=true\nTerminal=false\n";
  return entry;
}

// The files every association needs, by path below the data folder.
std::map<std::string, std::string> DesiredFiles(const Key& root) {
  std::map<std::string, std::string> files;
  for (const Association& association : AssociationsOf(root)) {
    const std::string mimeType = "application/x-" + association.id;
    const std::map<int, std::string> icons = IconsOf(*association.type);
    for (const auto& icon : icons) {
      const std::string size = std::to_string(icon.first);
      files["icons/hicolor/" + size + "x" + size + "/apps/" + association.id + ".png"] = icon.second;
    }
    files["mime/packages/" + association.id + ".xml"] = MimePackage(association, mimeType, !icons.empty());
    for (const Verb& verb : association.verbs)
      files["applications/" + verb.entry + ".desktop"] = DesktopEntry(association, verb, mimeType, !icons.empty());
  }
  return files;
}

// ---- The list of files made -----------------------------------------------

std::string ManifestPath(const std::string& dataHome) { return dataHome + "/varnel/bridge.json"; }

// The files the bridge made, as its list names them; false when the list
// cannot be read and stays where it is, so that nothing overwrites it. A list
// that cannot be parsed is moved aside, and the files it named stay in place.
bool ReadManifest(const std::string& dataHome, std::set<std::string>& files) {
  files.clear();
  std::string bytes;
  const ReadResult read = ReadWholeFile(ManifestPath(dataHome), bytes);
  if (read == ReadResult::absent) return true;
  if (read == ReadResult::failed) {
    std::fprintf(stderr, "varnel: the list of desktop files %s cannot be read: %s\n", ManifestPath(dataHome).c_str(),
                 std::strerror(errno));
    return false;
  }
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(bytes));
  const QJsonValue list = document.object().value("files");
  if (!list.isArray()) return MoveAside(ManifestPath(dataHome), "the list of desktop files", "no list of files");
  for (const QJsonValue& file : list.toArray())
    if (file.isString()) files.insert(file.toString().toStdString());
  return true;
}

bool WriteManifest(const std::string& dataHome, const std::set<std::string>& files) {
  QJsonArray list;
  for (const std::string& file : files) list.append(QString::fromStdString(file));
  QJsonObject top;
  top.insert("format", "varnel-desktop-files");
  top.insert("version", 1);
  top.insert("files", list);
  return MakeFolders(dataHome + "/varnel") &&
         ReplaceFile(ManifestPath(dataHome), QJsonDocument(top).toJson(QJsonDocument::Indented).toStdString(), true);
}

// Only files of the bridge's own names in its own folders are ever removed,
// whatever the list says.
bool IsBridgeFile(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find('/', start);
    parts.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  for (const std::string& part : parts)
    if (part.empty() || part == "." || part == "..") return false;
  const bool folder = (parts.size() == 3 && parts[0] == "mime" && parts[1] == "packages") ||
                      (parts.size() == 2 && parts[0] == "applications") ||
                      (parts.size() == 5 && parts[0] == "icons" && parts[1] == "hicolor" && parts[3] == "apps");
  return folder && parts.back().rfind("varnel-", 0) == 0;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

void RunTool(const char* name, const std::string& folder) {
  const std::string tool = FindProgram(name);
  if (!tool.empty() && !RunProgram(tool, {folder}, kToolTimeoutMs))
    std::fprintf(stderr, "varnel: %s %s did not succeed\n", name, folder.c_str());
}

}  // namespace

bool DesktopExec(const std::string& command, std::string& exec) {
  std::string program;
  std::vector<Word> words;
  if (!SplitCommand(command, program, words)) return false;
  // GLib looks for an entry's program before it turns "%%" back into "%",
  // so it refuses an entry whose program path holds a "%". The shell then
  // starts the program instead: there the path is an ordinary argument,
  // which reaches it unchanged and becomes its $0.
  std::string line = program.find('%') == std::string::npos
                         ? ExecArgument(program)
                         : "/bin/sh -c " + ExecArgument("exec \"$0\" \"$@\"") + " " + ExecArgument(program);
  for (const Word& word : words) line += " " + (word.file ? std::string("%f") : ExecArgument(word.text));
  exec = EscapeValue(line);
  return true;
}

void SyncDesktop(const std::string& dataHome, const Key& root) {
  const std::map<std::string, std::string> desired = DesiredFiles(root);
  std::set<std::string> made;
  if (!ReadManifest(dataHome, made)) {
    std::fprintf(stderr, "varnel: the desktop files are left as they are\n");
    return;
  }

  // The list names every file before it is written, so that a crash in
  // between leaves no file the bridge does not know it made.
  std::set<std::string> listed = made;
  for (const auto& file : desired) listed.insert(file.first);
  if (listed != made && !WriteManifest(dataHome, listed)) {
    std::fprintf(stderr, "varnel: cannot write %s; the desktop files are left as they are\n",
                 ManifestPath(dataHome).c_str());
    return;
  }

  std::set<std::string> changedFolders;
  for (const auto& file : desired) {
    const std::string path = dataHome + "/" + file.first;
    std::string current;
    if (ReadWholeFile(path, current) == ReadResult::ok && current == file.second) continue;
    if (MakeFolders(FolderOf(path)) && ReplaceFile(path, file.second, false))
      changedFolders.insert(file.first.substr(0, file.first.find('/')));
    else
      std::fprintf(stderr, "varnel: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
  }
  std::set<std::string> kept;
  for (const auto& file : desired) kept.insert(file.first);
  for (const std::string& file : made) {
    if (desired.count(file) != 0 || !IsBridgeFile(file)) continue;
    const std::string path = dataHome + "/" + file;
    if (::unlink(path.c_str()) == 0)
      changedFolders.insert(file.substr(0, file.find('/')));
    else if (errno != ENOENT)
      kept.insert(file);
  }
  if (kept != listed) WriteManifest(dataHome, kept);

  if (changedFolders.count("mime") != 0) RunTool("update-mime-database", dataHome + "/mime");
  if (changedFolders.count("applications") != 0) RunTool("update-desktop-database", dataHome + "/applications");
}

}  // namespace platform::registry
