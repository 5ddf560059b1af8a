// The command line as the runtime splits it. On Linux the arguments arrive
// split already; they are taken before any static object is constructed, so
// the application object can rely on them as it can on the platform.
#include "platform/win32.h"

int __argc = 0;
char** __argv = nullptr;

namespace {

void TakeCommandLine(int argc, char** argv, char**) {
  __argc = argc;
  __argv = argv;
}

__attribute__((section(".init_array.00101"), used)) void (*const kTakeCommandLine)(int, char**, char**) =
    &TakeCommandLine;

}  // namespace
