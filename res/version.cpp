// The version record of the program file.
#include "platform/resources.h"

namespace {

const platform::res::VersionInfo kVersion = {
    {1, 0, 0, 1},
    {1, 0, 0, 1},
    "1, 0, 0, 1",
    "1, 0, 0, 1",
    0x0409,
    1200,
    "Varnel",
    "Varnel MFC Application",
    "Varnel",
    "Copyright (C) 2026 the Varnel developers",
    "Varnel.EXE",
    "Varnel Application",
};

struct Registration {
  Registration() { platform::res::Register(kVersion); }
} registration;

}  // namespace
