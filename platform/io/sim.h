#pragma once

#include <memory>

#include "platform/io/drive.h"

namespace platform::io {

// True when a test installed a simulated drive for this letter; drive is then
// the opened drive, or null when the simulated open fails.
bool OpenSimulatedDrive(char letter, std::unique_ptr<DriveBackend>& drive);

// The byte count a simulated drive's media-types control reports, or -1.
long SimulatedMediaTypesBytes(const DriveBackend& drive);

}  // namespace platform::io
