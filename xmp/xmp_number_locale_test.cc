// The numbers of an XMP packet are read the same under a C locale whose
// decimal point is a comma. POSIX only: the locale is compiled with
// localedef into a temporary folder (no root needed) and found through
// LOCPATH.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/temp_folder.h"
#include "xmp/xmp_number.h"

namespace {

// True when LC_NUMERIC is now de_DE.UTF-8, the system's own or compiled.
bool useDecimalCommaLocale(const TempFolder& folder) {
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) return true;
  if (!std::filesystem::exists("/usr/bin/localedef") ||
      !std::filesystem::exists("/usr/share/i18n/locales/de_DE")) {
    return false;
  }
  const std::string command =
      "/usr/bin/localedef -i de_DE -f UTF-8 '" + folder.path() + "/de_DE.UTF-8' >/dev/null 2>&1";
  // localedef says 1 for warnings about the source; the files count.
  if (std::system(command.c_str()) == -1) return false;
  ::setenv("LOCPATH", folder.path().c_str(), 1);
  return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

TEST(XmpNumber, IgnoresTheCLocale) {
  const TempFolder folder;
  if (!useDecimalCommaLocale(folder)) {
    GTEST_SKIP() << "no locale with a decimal comma (Debian package locales makes one)";
  }
  ASSERT_EQ(*std::localeconv()->decimal_point, ',');
  double value = 0;
  EXPECT_TRUE(parseXmpNumber("-12.25", 6, value));
  EXPECT_EQ(value, -12.25);
  EXPECT_FALSE(parseXmpNumber("-12,25", 6, value));
  std::setlocale(LC_NUMERIC, "C");
  ::unsetenv("LOCPATH");
}

}  // namespace
