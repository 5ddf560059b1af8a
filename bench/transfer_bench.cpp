// Measures whole transfers through the engine against dd copying the same data
// with the same chunk size, side by side in one run, and the memory an engine
// run takes. Prints the ratio engine/dd per direction; lower is better, 1.0
// is as fast as dd.
//
//   varnel_bench [rounds]
//
// Targets: a 2.88 MB virtual floppy (a regular file), and, when run as root
// with loop devices, a 256 MiB loop block device. Reads are compared with
// "dd conv=fsync" (the engine makes its image durable before it reports it),
// writes with "dd oflag=dsync" (the engine's writes reach the medium one by
// one). Before every run of either, the kernel's cached copy of the source is
// dropped, as the engine does when it locks a volume.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "jobs/TransferJob.h"
#include "platform/testing.h"
#include "ui/DiskCopyDlg.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Target {
  std::string name;
  std::string device;  // what drive A: is mapped to
  size_t size;
  size_t chunk;        // the engine's cylinder size on it
};

// Before every run: what earlier runs left to write is written, so that no
// run pays for another's, and the source is read from its medium again.
void Settle(const std::string& path) {
  ::sync();
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ::fsync(fd);
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && ::ioctl(fd, BLKFLSBUF, 0) == 0) {
    ::close(fd);
    return;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

void Fill(const std::string& path, size_t size, unsigned seed) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<char> block(1 << 20);
  unsigned value = seed;
  for (size_t done = 0; done < size; done += block.size()) {
    for (char& c : block) c = char((value = value * 1103515245u + 12345u) >> 16);
    out.write(block.data(), std::streamsize(std::min(block.size(), size - done)));
  }
}

long Kilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  return -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Fastest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

// One transfer through a worker, as the dialog runs it; its duration from the
// worker's first notification to its last, and the memory it added.
double Engine(CDiskCopyDlg& dlg, bool read, const std::string& image, long& peakGrowth) {
  Clock::time_point started, ended;
  bool done = false;
  platform::testing::SetMessageHook([&](const platform::testing::MessageRecord& record) {
    if (record.hwnd != dlg.m_hWnd || record.msg != WM_COMMAND) return;
    if (record.wParam == ID_NOTIFY_CLEAR_LOG) started = Clock::now();
    if (record.wParam == ID_NOTIFY_END) {
      ended = Clock::now();
      done = true;
    }
  });
  std::ofstream("/proc/self/clear_refs") << "5";  // restarts the peak
  const long before = Kilobytes("VmRSS:");
  auto* job = new CTransferJob;
  job->m_pDlg = &dlg;
  job->m_bDiskToImage = read ? 1 : 0;
  job->m_strImagePath = image.c_str();
  job->m_strDrive = "a:";
  if (AfxBeginThread(TransferThreadProc, job) == nullptr) {
    delete job;
    return -1;
  }
  platform::testing::PumpUntil([&] { return done && platform::testing::LiveWorkerThreads() == 0; }, 600000);
  platform::testing::SetMessageHook(nullptr);
  peakGrowth = std::max(peakGrowth, Kilobytes("VmHWM:") - before);
  if (dlg.m_strLog.str().find("...ok\r\nunlocking") == std::string::npos) {
    std::fprintf(stderr, "the engine's transfer failed:\n%s\n", dlg.m_strLog.str().c_str());
    std::exit(1);
  }
  return std::chrono::duration<double, std::milli>(ended - started).count();
}

double Dd(const std::string& arguments) {
  const Clock::time_point started = Clock::now();
  const std::string command = "dd status=none " + arguments;
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - started).count();
}

std::string AttachLoop(const std::string& file) {
  if (::geteuid() != 0) return "";
  FILE* pipe = ::popen(("losetup --find --show '" + file + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return "";
  char line[256] = "";
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  if (::pclose(pipe) != 0 || !read) return "";
  std::string device = line;
  device.erase(device.find_last_not_of(" \n") + 1);
  return device;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!AfxWinInit(argc, argv)) return 2;
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char pattern[] = "/var/tmp/varnel-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);

  std::vector<Target> targets = {{"2.88 MB virtual floppy", dir + "/floppy.img", 2949120, 36864}};
  Fill(targets[0].device, targets[0].size, 1);
  Fill(dir + "/loop.img", 256u << 20, 2);
  const std::string loop = AttachLoop(dir + "/loop.img");
  if (!loop.empty()) {
    targets.push_back({"256 MiB loop block device", loop, 256u << 20, 8u << 20});
  } else {
    std::printf("(the loop block device needs root and losetup; measuring the floppy only)\n");
  }

  CDiskCopyDlg dlg;
  dlg.Create(IDD_MAIN);
  // The disk's own speed varies from run to run; the fastest of the runs shows
  // what each side can do, the median what it usually does.
  std::printf("%-28s %-6s %9s %11s %9s %7s %11s %9s %7s\n", "target", "dir", "chunk", "engine min", "dd min", "ratio",
              "engine med", "dd med", "ratio");
  for (const Target& target : targets) {
    ::setenv("VARNEL_DRIVE_A", target.device.c_str(), 1);
    const std::string image = dir + "/image.dsk";
    const std::string chunk = std::to_string(target.chunk);
    long peak = 0;
    for (const bool read : {true, false}) {
      std::vector<double> engine, dd;
      if (!read) Fill(image, target.size, 3);
      for (int round = 0; round < rounds; ++round) {
        Settle(read ? target.device : image);
        engine.push_back(Engine(dlg, read, image, peak));
        Settle(read ? target.device : image);
        if (read) {
          dd.push_back(Dd("if=" + target.device + " of=" + dir + "/dd.dsk bs=" + chunk + " conv=fsync"));
        } else {
          dd.push_back(Dd("if=" + image + " of=" + target.device + " bs=" + chunk + " oflag=dsync conv=notrunc"));
        }
      }
      const double e = Fastest(engine), d = Fastest(dd), em = Median(engine), dm = Median(dd);
      std::printf("%-28s %-6s %9s %11.1f %9.1f %7.2f %11.1f %9.1f %7.2f\n", target.name.c_str(),
                  read ? "read" : "write", chunk.c_str(), e, d, e / d, em, dm, em / dm);
    }
    std::printf("%-28s peak memory added by an engine run: %ld KiB\n", target.name.c_str(), peak);
  }
  dlg.DestroyWindow();
  if (!loop.empty() && std::system(("losetup -d " + loop).c_str()) != 0) std::fprintf(stderr, "cannot detach %s\n", loop.c_str());
  if (std::system(("rm -rf '" + dir + "'").c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", dir.c_str());
  AfxWinTerm();
  return 0;
}
