// photocheck: checks a set of photographs before it goes into a 3-D
// reconstruction. Usage: photocheck <settings file>
#include <iostream>
#include <locale>

#include "app/run_flow.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  try {
    // The console keeps the classic locale (plain decimal numbers) while the
    // rest of the program uses the user's.
    std::cout.imbue(std::locale::classic());
    platform::useUserLocale();
    return runPhotocheck(argc, argv);
  } catch (...) {
    // Out of memory outside the reading of one photo (which files that photo
    // under "error" and goes on): the run cannot say whether the set passed,
    // and a caller must not take an aborted run for anything but a failure.
    return 1;
  }
}
