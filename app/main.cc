// photocheck: checks a set of photographs before it goes into a 3-D
// reconstruction. Usage: photocheck <settings file>
#include <iostream>
#include <locale>

#include "app/run_flow.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // The console keeps the classic locale (plain decimal numbers) while the
  // rest of the program uses the user's.
  std::cout.imbue(std::locale::classic());
  platform::useUserLocale();
  return runPhotocheck(argc, argv);
}
