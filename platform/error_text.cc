// The English text of a C library error number, whatever the user's locale:
// a reason written to standard error reads the same on every machine, and
// scripts that match on it keep working.
#include <cstring>
#include <string>

#include "platform/platform.h"

#ifndef _WIN32
#include <locale.h>
#endif

namespace platform {

std::string errorText(int error) {
#ifdef _WIN32
  // The C runtime's messages are English only.
  const char* text = std::strerror(error);
  return text != nullptr ? text : "unknown error";
#else
  // The classic locale's messages, never a translation: the user's locale
  // (set up at start) would pick the message catalogue of its language.
  const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (classic == static_cast<locale_t>(0)) return "error " + std::to_string(error);
  std::string text = strerror_l(error, classic);
  freelocale(classic);
  return text;
#endif
}

}  // namespace platform
