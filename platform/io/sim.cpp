#include "platform/io/sim.h"

#include <cstring>

#include "platform/io/formats.h"
#include "platform/testing.h"

namespace platform::testing {

SimDrive::Counts SimDrive::counts() const {
  std::lock_guard<std::mutex> lock(mutex);
  return m_counts;
}

std::vector<std::string> SimDrive::operations() const {
  std::lock_guard<std::mutex> lock(mutex);
  return m_operations;
}

DISK_GEOMETRY MakeGeometry(LONGLONG cylinders, DWORD heads, DWORD sectors, DWORD bytesPerSector, MEDIA_TYPE type) {
  return io::MakeDiskGeometry(cylinders, heads, sectors, bytesPerSector, type);
}

std::shared_ptr<SimDrive> SimDrive::WithGeometry(DWORD cylinders, DWORD heads, DWORD sectors, DWORD bytesPerSector) {
  auto drive = std::make_shared<SimDrive>();
  drive->geometry = MakeGeometry(cylinders, heads, sectors, bytesPerSector);
  drive->mediaTypes = {drive->geometry};
  const size_t cylinderSize = size_t(heads) * sectors * bytesPerSector;
  drive->medium.resize(cylinderSize * cylinders);
  for (size_t i = 0; i < drive->medium.size(); ++i)
    drive->medium[i] = static_cast<unsigned char>(i ^ (cylinderSize ? i / cylinderSize * 37 : 0));
  return drive;
}

}  // namespace platform::testing

namespace platform::io {
namespace {

using testing::SimDrive;

struct Installed {
  std::mutex mutex;
  std::map<char, std::shared_ptr<SimDrive>> drives;
};

Installed& TheInstalled() {
  static Installed installed;
  return installed;
}

class SimBackend : public DriveBackend {
 public:
  explicit SimBackend(std::shared_ptr<SimDrive> drive) : m_drive(std::move(drive)) {}
  ~SimBackend() override { Note(m_drive->m_counts.closes, "close"); }

  std::string Describe() const override { return "simulated drive"; }
  bool Lock() override { return Note(m_drive->m_counts.locks, "lock") && !m_drive->failLock; }
  bool Unlock() override { return Note(m_drive->m_counts.unlocks, "unlock"); }
  bool Dismount() override { return Note(m_drive->m_counts.dismounts, "dismount"); }

  bool Geometry(DISK_GEOMETRY& geometry) override {
    std::lock_guard<std::mutex> lock(m_drive->mutex);
    m_drive->m_operations.push_back("geometry");
    if (m_drive->failGeometry) return false;
    geometry = m_drive->geometry;
    return true;
  }

  bool MediaTypes(std::vector<DISK_GEOMETRY>& types) override {
    std::lock_guard<std::mutex> lock(m_drive->mutex);
    m_drive->m_operations.push_back("mediatypes");
    if (m_drive->failMediaTypes) return false;
    types = m_drive->mediaTypes;
    return true;
  }

  // The byte count the control reports, when the test chose one.
  long ReportedBytes() const { return m_drive->mediaTypesBytes; }

  bool ReadAt(ULONGLONG offset, void* buffer, DWORD count, DWORD& done) override {
    std::lock_guard<std::mutex> lock(m_drive->mutex);
    done = 0;
    const unsigned call = unsigned(m_drive->m_counts.reads++);
    m_drive->m_operations.push_back("read");
    DWORD limit = count;
    if (auto fault = m_drive->readFaults.find(call); fault != m_drive->readFaults.end()) {
      if (fault->second.fail) return false;
      limit = std::min(limit, fault->second.count);
    }
    const ULONGLONG size = m_drive->medium.size();
    if (offset < size) done = DWORD(std::min<ULONGLONG>(limit, size - offset));
    if (done > 0) std::memcpy(buffer, m_drive->medium.data() + offset, done);
    return true;
  }

  bool WriteAt(ULONGLONG offset, const void* buffer, DWORD count, DWORD& done) override {
    std::lock_guard<std::mutex> lock(m_drive->mutex);
    done = 0;
    const unsigned call = unsigned(m_drive->m_counts.writes++);
    m_drive->m_operations.push_back("write");
    DWORD limit = count;
    if (auto fault = m_drive->writeFaults.find(call); fault != m_drive->writeFaults.end()) {
      if (fault->second.fail) return false;
      limit = std::min(limit, fault->second.count);
    }
    const ULONGLONG size = m_drive->medium.size();
    if (offset >= size && count > 0) return false;
    done = DWORD(std::min<ULONGLONG>(limit, size - offset));
    if (done > 0) std::memcpy(m_drive->medium.data() + offset, buffer, done);
    return true;
  }

 private:
  bool Note(int& counter, const char* operation) {
    std::lock_guard<std::mutex> lock(m_drive->mutex);
    ++counter;
    m_drive->m_operations.push_back(operation);
    return true;
  }

  std::shared_ptr<SimDrive> m_drive;
};

}  // namespace

bool OpenSimulatedDrive(char letter, std::unique_ptr<DriveBackend>& drive) {
  std::shared_ptr<SimDrive> sim;
  {
    Installed& installed = TheInstalled();
    std::lock_guard<std::mutex> lock(installed.mutex);
    auto found = installed.drives.find(letter);
    if (found == installed.drives.end()) return false;
    sim = found->second;
  }
  {
    std::lock_guard<std::mutex> lock(sim->mutex);
    ++sim->m_counts.opens;
    sim->m_operations.push_back("open");
    if (sim->failOpen) return true;
  }
  drive = std::make_unique<SimBackend>(sim);
  return true;
}

long SimulatedMediaTypesBytes(const DriveBackend& drive) {
  const auto* sim = dynamic_cast<const SimBackend*>(&drive);
  return sim != nullptr ? sim->ReportedBytes() : -1;
}

}  // namespace platform::io

namespace platform::testing {

void InstallSimDrive(char letter, std::shared_ptr<SimDrive> drive) {
  auto& installed = io::TheInstalled();
  std::lock_guard<std::mutex> lock(installed.mutex);
  installed.drives[letter] = std::move(drive);
}

void RemoveSimDrives() {
  auto& installed = io::TheInstalled();
  std::lock_guard<std::mutex> lock(installed.mutex);
  installed.drives.clear();
}

}  // namespace platform::testing
