// A program that faults on purpose, for the test of platform::endOnFault: it
// readies the process for faults as photocheck does, then faults as its one
// argument says ("access", "abort", "terminate", "worker": an access
// violation on a platform thread; anything else ends normally), after
// telling that its verdict is out when the argument begins with "verdict ".
// Built with the Windows tests only, never into the tool.
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/platform.h"

namespace {

volatile int* gNowhere = nullptr;

void writeNowhere(void*) { *gNowhere = 1; }

}  // namespace

int main(int argc, char** argv) {
  platform::endOnFault("fault probe: ended by a fault", "fault probe: ended after its verdict");
  std::string how = argc > 1 ? argv[1] : "";
  const std::string afterVerdict = "verdict ";
  if (how.rfind(afterVerdict, 0) == 0) {
    platform::noteVerdictPrinted();
    how.erase(0, afterVerdict.size());
  }
  if (how == "access") writeNowhere(nullptr);
  if (how == "abort") std::abort();
  if (how == "terminate") std::terminate();
  if (how == "worker") {
    platform::Thread worker;
    if (platform::startThread(worker, writeNowhere, nullptr)) platform::joinThread(worker);
  }
  return 0;
}
