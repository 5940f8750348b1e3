// photocheck: checks a set of photographs before it goes into a 3-D
// reconstruction. Usage: photocheck <settings file>
#include <iostream>
#include <locale>

#include "app/run_flow.h"
#include "console/console.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::prepareProcess();
  // The console keeps the classic locale (plain decimal numbers) while the
  // rest of the program uses the user's.
  std::cout.imbue(std::locale::classic());
  platform::useUserLocale();
  // After the locale: a terminal's character set is the locale's.
  console::setUpOutput();
  try {
    return runPhotocheck(argc, argv);
  } catch (...) {
    // Nothing is meant to get here (an image that cannot get its memory is
    // filed as unreadable); should anything, the set has not passed, and the
    // caller learns it from the status rather than from a crash.
    return 1;
  }
}
