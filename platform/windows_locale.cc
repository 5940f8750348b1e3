// The user's locale on Windows.
#include <clocale>
#include <exception>
#include <locale>

#include "platform/platform.h"

namespace platform {

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
