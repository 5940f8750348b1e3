// The process as a whole on Windows: its standard streams, its locale and
// what the C runtime's text mode does to what it reads.

#include "platform/platform.h"

namespace platform {

const bool kTextKeepsCarriageReturns = false;

void prepareProcess() {
  // No signal comes from a closed pipe here: a failed console write simply
  // fails. A process started without standard handles has its writes fail too.
}

int runWithRoomyStack(int (*run)(int, char**), int argc, char** argv) {
  // The main thread's stack is the executable's own reserve (1 MiB), which no
  // user limit shrinks.
  return run(argc, argv);
}

}  // namespace platform
