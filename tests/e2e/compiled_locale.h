// Chinese locales for the tests that run a process under one: compiled with
// localedef into a folder of the build tree once (GB18030 takes some
// seconds) and reached through LOCPATH, so no root is needed. POSIX only.
#ifndef PHOTOCHECK_TESTS_E2E_COMPILED_LOCALE_H
#define PHOTOCHECK_TESTS_E2E_COMPILED_LOCALE_H

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/limited_run.h"

namespace e2e {

inline bool pathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

inline const char* const kLocaleDef = "/usr/bin/localedef";
inline const char* const kLocaleSources = "/usr/share/i18n/locales/zh_CN";

// True where localedef and the zh_CN source are installed (Debian package
// locales; scripts/test.sh installs it).
inline bool canCompileLocales() { return pathExists(kLocaleDef) && pathExists(kLocaleSources); }

// Where the compiled locales are kept: beside the tool in the build tree.
inline std::string localeFolder() {
  return std::filesystem::path(PHOTOCHECK_EXE).parent_path().parent_path().string() +
         "/test-locales";
}

// Compiles zh_CN with `charset` into the locale folder as `name` unless it
// is there; true when it is there afterwards.
inline bool compileLocale(const std::string& name, const std::string& charset) {
  namespace fs = std::filesystem;
  const std::string target = localeFolder() + "/" + name;
  if (pathExists(target + "/LC_CTYPE")) return true;
  fs::create_directories(localeFolder());
  const std::string building = target + ".building";
  fs::remove_all(building);
  RunLimits run;
  run.timeout = std::chrono::minutes(3);
  runLimited(kLocaleDef, {"-i", "zh_CN", "-f", charset, building}, run);
  // localedef says 1 for warnings about the source; the files count.
  if (!pathExists(building + "/LC_CTYPE")) return false;
  fs::rename(building, target);
  return true;
}

// An environment of that locale alone, with the system's programs on PATH.
inline std::vector<std::string> environmentFor(const std::string& locale) {
  return {"LANG=" + locale, "LC_ALL=" + locale, "LOCPATH=" + localeFolder(), "PATH=/usr/bin:/bin"};
}

}  // namespace e2e

#endif  // PHOTOCHECK_TESTS_E2E_COMPILED_LOCALE_H
