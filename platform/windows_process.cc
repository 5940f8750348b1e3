// The process as a whole on Windows: its standard streams, its locale and
// what the C runtime's text mode does to what it reads.
#include <clocale>
#include <exception>
#include <locale>

#include "platform/platform.h"

namespace platform {

const bool kTextKeepsCarriageReturns = false;

void prepareProcess() {
  // No signal comes from a closed pipe here: a failed console write simply
  // fails. A process started without standard handles has its writes fail too.
}

void useUserLocale() {
  // The mingw C++ library knows only the "C" and "POSIX" locales: it throws
  // whenever LANG or an LC_* variable names another. The classic locale then
  // stays. Even when it succeeds it yields "C" and sets the C runtime to
  // "C", so the C runtime is set to the user's default afterwards in either
  // case.
  try {
    std::locale::global(std::locale(""));
  } catch (const std::exception&) {
  }
  std::setlocale(LC_ALL, "");
}

}  // namespace platform
