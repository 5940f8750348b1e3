// photocheck: checks a set of photographs before it goes into a 3-D
// reconstruction. Usage: photocheck <settings file>
#include "app/run_flow.h"
#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"

namespace {

int guardedRun(int argc, char** argv) {
  try {
    return runPhotocheck(argc, argv);
  } catch (...) {
    // The run cannot go on: the system gave the tool no more memory
    // (std::bad_alloc), file descriptors or threads (ResourceShortage,
    // std::system_error) than it had, even with one photo read at a time.
    // The set has not passed; say so rather than end silently. Every console
    // line is made before its first byte is written, so the run stops at a
    // line end and this is a line of its own.
    console::line(texts::kRunCannotGoOn);
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::prepareProcess();
  platform::endOnFault(texts::kEndedByFault, texts::kEndedByFaultAfterCheck);
  platform::useUserLocale();
  // After the locale: a terminal's character set is the locale's.
  console::setUpOutput();
  const int status = platform::runWithRoomyStack(guardedRun, argc, argv);
  console::flush();
  return status;
}
