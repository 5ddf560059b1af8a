#include "platform/registry/files.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/io/posix.h"

extern char** environ;

namespace platform::registry {
namespace {

using io::FolderOf;

bool WriteAll(int fd, const std::string& bytes) {
  DWORD done = 0;
  return io::WriteFully(fd, bytes.data(), DWORD(bytes.size()), -1, done) && done == bytes.size();
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return home;
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr)
    return found->pw_dir;
  return "/";
}

}  // namespace

std::string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && *xdg == '/') return xdg;
  return HomeFolder() + "/.local/share";
}

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::absent : ReadResult::failed;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return ReadResult::failed;
    }
    if (got == 0) break;
    bytes.append(buffer, size_t(got));
  }
  ::close(fd);
  return ReadResult::ok;
}

bool MakeFolders(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = FolderOf(path);
  if (parent != path && !MakeFolders(parent)) return false;
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool ReplaceFile(const std::string& path, const std::string& bytes, bool durable, unsigned mode) {
  // One temporary name per process: writers of the same file in different
  // processes never share a temporary file, and within a process the
  // registry's lock keeps them apart.
  const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode_t(mode));
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  if (ok && durable) ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (durable) io::SyncFolder(FolderOf(path));
  return true;
}

bool MoveAside(const std::string& path, const std::string& what, const std::string& reason) {
  const std::string base = path + ".broken-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
  std::string aside = base;
  struct stat st;
  for (int n = 2; ::lstat(aside.c_str(), &st) == 0; ++n) aside = base + "-" + std::to_string(n);
  if (::rename(path.c_str(), aside.c_str()) == 0) {
    std::fprintf(stderr, "varnel: %s %s cannot be read (%s); it was moved to %s and a new one begins\n", what.c_str(),
                 path.c_str(), reason.c_str(), aside.c_str());
    return true;
  }
  std::fprintf(stderr, "varnel: %s %s cannot be read (%s) nor moved aside (%s)\n", what.c_str(), path.c_str(),
               reason.c_str(), std::strerror(errno));
  return false;
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  const std::string folders = path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    const size_t end = folders.find(':', start);
    const std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!folder.empty()) {
      const std::string candidate = folder + "/" + name;
      struct stat st;
      if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
        return candidate;
    }
    if (end == std::string::npos) return "";
    start = end + 1;
  }
}

bool RunProgram(const std::string& program, const std::vector<std::string>& arguments, int timeoutMs) {
  std::vector<std::string> words;
  words.push_back(program);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // The calling thread may block or ignore signals for its own reasons; the
  // tool starts with the defaults.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return false;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace platform::registry
