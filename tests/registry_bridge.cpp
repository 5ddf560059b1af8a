// The desktop bridge: what a registered file type leaves in the user's
// desktop database, and that the desktop can run its verbs.
#include <sys/stat.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <sstream>
#include <thread>

#include "platform/registry/bridge.h"
#include "platform/ui/internal.h"
#include "platform/win32.h"
#include "shell/FileTypes.h"
#include "tests/registry_fixture.h"

namespace varnel_test {
namespace {

using Strings = std::vector<std::string>;
using Fields = std::map<std::string, std::string>;

const char* const kMimeType = "application/x-varnel-diskimage";
const char* const kPackage = "mime/packages/varnel-diskimage.xml";
const char* const kEntryA = "applications/varnel-diskimage-write-to-a.desktop";
const char* const kEntryB = "applications/varnel-diskimage-write-to-b.desktop";

std::string Text(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  ::mkdir(path.c_str(), 0755);
}

// The keys of a desktop entry's main group, their values as written.
Fields EntryFields(const std::string& path) {
  Fields fields;
  std::istringstream lines(Text(path));
  std::string line;
  bool inMain = false;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inMain = line == "[Desktop Entry]";
      continue;
    }
    const size_t equals = line.find('=');
    if (inMain && equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

// Reads an Exec value as freedesktop.org's Desktop Entry rules say a desktop
// does: the string escapes of the file, then the quoting of arguments, then
// the field codes, with %f standing for the file.
Strings ExpandExec(const std::string& value, const std::string& file) {
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      text += value[i];
      continue;
    }
    const char c = ++i < value.size() ? value[i] : '\0';
    if (c == 's')
      text += ' ';
    else if (c == 'n')
      text += '\n';
    else if (c == 't')
      text += '\t';
    else if (c == 'r')
      text += '\r';
    else if (c == '\\')
      text += '\\';
    else
      ADD_FAILURE() << "not a string escape: \\" << c << " in " << value;
  }
  Strings arguments;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    std::string argument;
    if (text[i] == '"') {
      for (++i; i < n && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < n && std::strchr("\"`$\\", text[i + 1]) != nullptr) {
          argument += text[++i];
        } else if (text[i] == '%') {
          if (i + 1 < n && text[i + 1] == '%')
            argument += text[++i];
          else
            ADD_FAILURE() << "a field code inside quotes: " << text;
        } else if (text[i] == '\\' || text[i] == '`' || text[i] == '$') {
          ADD_FAILURE() << "an unescaped " << text[i] << " inside quotes: " << text;
        } else {
          argument += text[i];
        }
      }
      if (i >= n) ADD_FAILURE() << "an unterminated quote: " << text;
      ++i;
      if (i < n && text[i] != ' ') ADD_FAILURE() << "a quoted argument runs on: " << text;
    } else {
      std::string raw;
      while (i < n && text[i] != ' ') raw += text[i++];
      if (raw == "%f") {
        arguments.push_back(file);
        continue;
      }
      for (size_t k = 0; k < raw.size(); ++k) {
        if (std::strchr("\t\n\r\"'\\><~|&;$*?#()`", raw[k]) != nullptr)
          ADD_FAILURE() << "a reserved character outside quotes: " << text;
        if (raw[k] == '%' && (k + 1 >= raw.size() || raw[++k] != '%')) ADD_FAILURE() << "a lone %: " << text;
        argument += raw[k];
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

// Starts a desktop entry for a file as a desktop does: with gio when it is
// installed, else by its Exec line read by the Desktop Entry rules.
bool Launch(const std::string& entry, const std::string& file, const std::map<std::string, std::string>& environment) {
  std::map<std::string, std::string> variables = environment;
  variables["GIO_USE_VFS"] = "local";
  if (HaveProgram("gio")) return RunCommand({"gio", "launch", entry, file}, variables).exitCode == 0;
  const Strings command = ExpandExec(EntryFields(entry)["Exec"], file);
  return !command.empty() && RunCommand(command, variables).exitCode == 0;
}

class Bridge : public RegistryTest {
 protected:
  struct Identity {
    ino_t inode;
    long long modified;
    bool operator==(const Identity& other) const { return inode == other.inode && modified == other.modified; }
  };
  std::map<std::string, Identity> Identities(const Strings& names) {
    std::map<std::string, Identity> identities;
    for (const std::string& name : names) {
      struct stat st;
      if (::stat(Data(name).c_str(), &st) == 0)
        identities[name] = {st.st_ino, (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
    }
    return identities;
  }
};

TEST_F(Bridge, RegisteringMakesTheDesktopFilesAndUnregisteringRemovesExactlyThose) {
  // Files of other origin in the same folders, some of them named as the
  // bridge names its own.
  const Strings foreign = {"mime/packages/varnel-foreign.xml", "applications/varnel-foreign.desktop",
                           "applications/other.desktop", "icons/hicolor/16x16/apps/varnel-foreign.png"};
  for (const std::string& name : foreign) MakeFolders(Data(name.substr(0, name.rfind('/'))));
  WriteText(Data(foreign[0]),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"application/x-foreign\"><comment>Foreign</comment><glob "
            "pattern=\"*.foreign\"/></mime-type>\n"
            "</mime-info>\n");
  for (size_t i = 1; i < 3; ++i)
    WriteText(Data(foreign[i]), "[Desktop Entry]\nType=Application\nName=Foreign\nExec=true\n");
  WriteText(Data(foreign[3]), "not really a picture");

  RegisterImageFileTypes("/opt/varnel/bin/varnel");

  const Fields common = {{"Type", "Application"},
                         {"MimeType", std::string(kMimeType) + ";"},
                         {"NoDisplay", "true"},
                         {"Terminal", "false"}};
  for (const char* drive : {"a", "b"}) {
    Fields expected = common;
    expected["Name"] = std::string("write to ") + drive + ":";
    expected["Exec"] = std::string("/opt/varnel/bin/varnel %f ") + drive + ":";
    const std::string entry = Data(drive[0] == 'a' ? kEntryA : kEntryB);
    EXPECT_EQ(EntryFields(entry), expected) << "another program's icon is not taken over";
    if (HaveProgram("desktop-file-validate")) {
      const RunResult validation = RunCommand({"desktop-file-validate", entry});
      EXPECT_EQ(validation.exitCode, 0) << validation.output;
    }
  }
  const std::string package = Text(Data(kPackage));
  EXPECT_NE(package.find(std::string("<mime-type type=\"") + kMimeType + "\">"), std::string::npos) << package;
  EXPECT_NE(package.find("<comment>Varnel Disk Image</comment>"), std::string::npos) << package;
  EXPECT_NE(package.find("<glob pattern=\"*.dsk\""), std::string::npos) << package;
  EXPECT_EQ(package.find("<icon"), std::string::npos) << package;

  UnregisterImageFileTypes();

  for (const char* made : {kPackage, kEntryA, kEntryB}) EXPECT_FALSE(Exists(Data(made))) << made;
  for (const std::string& name : foreign) EXPECT_TRUE(Exists(Data(name))) << name;
  Strings entries = NamesIn(Data("applications"));
  entries.erase(std::remove(entries.begin(), entries.end(), "mimeinfo.cache"), entries.end());
  EXPECT_EQ(entries, (Strings{"other.desktop", "varnel-foreign.desktop"}));
  EXPECT_EQ(NamesIn(Data("mime/packages")), Strings{"varnel-foreign.xml"});
  EXPECT_EQ(NamesIn(Data("icons/hicolor/16x16/apps")), Strings{"varnel-foreign.png"});
}

// A list of made files that cannot be parsed is kept aside, never
// overwritten; the bridge starts a new list and goes on.
TEST_F(Bridge, ABrokenListOfMadeFilesIsMovedAsideAndANewOneBegins) {
  MakeFolders(Data("varnel"));
  WriteText(Data("varnel/bridge.json"), "{ not json");
  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  Strings aside;
  for (const std::string& name : NamesIn(Data("varnel")))
    if (name.rfind("bridge.json.broken-", 0) == 0) aside.push_back(name);
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(Text(Data("varnel/" + aside[0])), "{ not json");
  EXPECT_TRUE(Exists(Data(kEntryA)));

  UnregisterImageFileTypes();
  for (const char* made : {kPackage, kEntryA, kEntryB}) EXPECT_FALSE(Exists(Data(made))) << made;
}

TEST_F(Bridge, TheProgramsOwnIconGoesIntoTheIconTheme) {
  if (platform::ui::IconPng(0, 32).isEmpty())
    GTEST_SKIP() << "the program has no icon pixels yet: IconPng(0, 32) is empty";
  char self[4096];
  ASSERT_NE(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
  RegisterImageFileTypes(self);

  for (int size : {16, 32}) {
    const std::string path =
        Data("icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/varnel-diskimage.png");
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(path), "PNG")) << path;
    EXPECT_EQ(image.width(), size);
    EXPECT_EQ(image.height(), size);
  }
  EXPECT_EQ(EntryFields(Data(kEntryA))["Icon"], "varnel-diskimage");
  EXPECT_EQ(EntryFields(Data(kEntryB))["Icon"], "varnel-diskimage");
  EXPECT_NE(Text(Data(kPackage)).find("<icon name=\"varnel-diskimage\"/>"), std::string::npos);

  UnregisterImageFileTypes();
  EXPECT_EQ(NamesIn(Data("icons/hicolor/16x16/apps")), Strings{});
  EXPECT_EQ(NamesIn(Data("icons/hicolor/32x32/apps")), Strings{});
}

TEST_F(Bridge, OnlyChangedFilesAreRewrittenOnlyTheToolsThatReadThemRunAndLostOnesComeBack) {
  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  // The tools replace their caches whenever they run.
  const Strings watched = {
      kPackage, kEntryA, kEntryB, "varnel/bridge.json", "mime/mime.cache", "applications/mimeinfo.cache"};
  const auto registered = Identities(watched);
  EXPECT_EQ(registered.size(),
            size_t(4 + HaveProgram("update-mime-database") + HaveProgram("update-desktop-database")));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));

  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  SetKey("Unrelated", "a key the desktop does not see");
  EXPECT_TRUE(Identities(watched) == registered);

  SetKey("DiskImage\\shell\\write to b:\\command", "\"/opt/varnel/bin/varnel\" \"%1\" B:");
  auto changed = Identities(watched);
  EXPECT_FALSE(changed[kEntryB] == registered.at(kEntryB));
  changed.erase(kEntryB);
  changed.erase("applications/mimeinfo.cache");
  auto unchanged = registered;
  unchanged.erase(kEntryB);
  unchanged.erase("applications/mimeinfo.cache");
  EXPECT_TRUE(changed == unchanged) << "a file or the MIME cache was rewritten without a change";

  // Registering again, with no key to change, puts back a file that was
  // removed behind Varnel's back.
  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  ASSERT_EQ(::unlink(Data(kEntryA).c_str()), 0);
  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  EXPECT_EQ(EntryFields(Data(kEntryA))["Exec"], "/opt/varnel/bin/varnel %f a:");
}

TEST_F(Bridge, TheDesktopGivesImageFilesTheRegisteredType) {
  for (const char* tool : {"xdg-mime", "gio", "update-mime-database"})
    if (!HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
  const std::string image = dir / "x.dsk";
  WriteBytes(image, Pattern(1024, 3));
  // As under GNOME, xdg-mime asks gio, which reads the shared-mime-info
  // database of XDG_DATA_HOME; elsewhere it may ask file(1), which does not.
  const std::map<std::string, std::string> desktop = {{"XDG_CURRENT_DESKTOP", "GNOME"}, {"GIO_USE_VFS", "local"}};

  RegisterImageFileTypes("/opt/varnel/bin/varnel");
  const RunResult registered = RunCommand({"xdg-mime", "query", "filetype", image}, desktop);
  EXPECT_EQ(registered.exitCode, 0);
  EXPECT_EQ(registered.output, std::string(kMimeType) + "\n");

  UnregisterImageFileTypes();
  const RunResult unregistered = RunCommand({"xdg-mime", "query", "filetype", image}, desktop);
  EXPECT_EQ(unregistered.output.find(kMimeType), std::string::npos) << unregistered.output;
}

struct ExecCase {
  const char* command;
  Strings arguments;  // "<file>" for the file's path
};

TEST_F(Bridge, ExecLinesPassTheCommandsWordsUnchanged) {
  const std::vector<ExecCase> cases = {
      {R"("/opt/varnel/bin/varnel" "%1" a:)", {"/opt/varnel/bin/varnel", "<file>", "a:"}},
      {R"("/opt/my programs/varnel" %1 b:)", {"/opt/my programs/varnel", "<file>", "b:"}},
      {R"(/usr/bin/prog "%1")", {"/usr/bin/prog", "<file>"}},
      {R"("/p" "%1" "two words" x\"y 50% $HOME)", {"/p", "<file>", "two words", "x\"y", "50%", "$HOME"}},
      // The program path holds a quote followed by a blank.
      {R"("/a" "b/prog" "%1" c:)", {"/a\" \"b/prog", "<file>", "c:"}},
      {R"("/quote"inside/p" "%1")", {"/quote\"inside/p", "<file>"}},
      {R"("/tick`\back\$x/p" "%1")", {"/tick`\\back\\$x/p", "<file>"}},
      {R"("/no placeholder" --flag)", {"/no placeholder", "--flag"}},
      // Another program's command: its path ends at the first quote that
      // names an existing file, whatever follows.
      {R"("/bin/sh" "-c" "%1")", {"/bin/sh", "-c", "<file>"}},
  };
  for (const ExecCase& c : cases) {
    SCOPED_TRACE(c.command);
    std::string exec;
    ASSERT_TRUE(platform::registry::DesktopExec(c.command, exec));
    EXPECT_EQ(ExpandExec(exec, "<file>"), c.arguments) << exec;
  }
  for (const char* command : {"", "   ", "\"unterminated", "\"\" \"%1\""}) {
    std::string exec;
    EXPECT_FALSE(platform::registry::DesktopExec(command, exec)) << command;
  }
}

TEST_F(Bridge, AVerbStartsAProgramUnderAnOddPathByThatExactPath) {
  if (!HaveProgram("gio")) std::cerr << "gio is not installed: the entries are started by their Exec lines\n";
  const Strings folders = {"we\"ird $HOME\\dir", "100% sure", "a\" \"%1\" b", "tab\tand\nnewline",
                           "`tick` (p) ~;&|*?#<>'"};
  const std::string image = dir / "my image's $x.odd";
  WriteBytes(image, Pattern(64, 1));
  const std::string record = dir / "arguments";
  for (size_t i = 0; i < folders.size(); ++i) {
    SCOPED_TRACE(folders[i]);
    const std::string folder = dir / ("odd" + std::to_string(i));
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((folder + "/" + folders[i]).c_str(), 0755), 0);
    const std::string program = folder + "/" + folders[i] + "/prog";
    WriteText(program,
              "#!/bin/sh\n"
              "printf '%s\\0' \"$0\" \"$@\" > \"$VARNEL_TEST_RECORD.part\" && mv \"$VARNEL_TEST_RECORD.part\" "
              "\"$VARNEL_TEST_RECORD\"\n");
    ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
    ::unlink(record.c_str());

    SetKey(".odd", "OddFile");
    SetKey("OddFile\\shell\\run it\\command", "\"" + program + "\" \"%1\" a:");
    const std::string entry = Data("applications/varnel-oddfile-run-it.desktop");
    ASSERT_TRUE(Exists(entry));
    ASSERT_TRUE(Launch(entry, image, {{"VARNEL_TEST_RECORD", record}})) << Text(entry);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Exists(record) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(Exists(record)) << "the program did not start: " << Text(entry);
    const std::string text = Text(record);
    Strings arguments;
    for (size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
      arguments.push_back(text.substr(start, end - start));
    EXPECT_EQ(arguments, (Strings{program, image, "a:"}));
  }
}

}  // namespace
}  // namespace varnel_test
