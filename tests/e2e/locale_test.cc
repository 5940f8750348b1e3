// Under a legacy locale (GBK, GB18030) the tool prints the same bytes, ends
// with the same status and writes the same error.json as under C.UTF-8, in
// good time, and loads no code of the system's while it runs: a static
// executable that loaded the host's character-set converter modules hung or
// crashed wherever they belonged to another C library.
//
// The locales are compiled once into the build tree (compiled_locale.h).
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/compiled_locale.h"
#include "tests/e2e/limited_run.h"
#include "tests/e2e/photo_set.h"

namespace {

namespace fs = std::filesystem;

using e2e::compileLocale;
using e2e::environmentFor;

bool exists(const std::string& path) { return e2e::pathExists(path); }

TEST(Locale, LegacyChineseLocalesGiveTheBytesOfCUtf8) {
  if (!e2e::canCompileLocales()) {
    GTEST_SKIP() << "needs localedef and the zh_CN locale source (Debian package locales; "
                    "scripts/test.sh installs it)";
  }
  // A set that fails every check, so the report and every group kind come.
  TempFolder root;
  const std::string images = root / "images";
  const std::string output = root / "out";
  e2e::writePhoto(images + "/a.jpg", e2e::Photo{});
  e2e::Photo other;
  other.width = 5000;
  other.make = "Nikon";
  other.focalLength35mm.reset();
  other.gps.reset();
  e2e::writePhoto(images + "/b.jpg", other);
  writeFileBytes(images + "/c.jpg", "not a photo");
  const std::string settings = root / "photocheck.settings";
  std::string text;
  for (const auto& [key, value] : e2e::settingsOf(images, output, {})) {
    text += key + " = " + value + "\n";
  }
  writeFileBytes(settings, text);

  const auto runIn = [&](const std::string& locale, bool* timedOut) {
    fs::remove(output + "/error.json");
    e2e::RunLimits run;
    run.environment = environmentFor(locale);
    run.timeout = std::chrono::seconds(10);
    const ToolRun result = e2e::runLimited(PHOTOCHECK_EXE, {settings}, run, timedOut);
    return std::make_pair(result, readFileBytes(output + "/error.json"));
  };
  bool timedOut = false;
  const auto reference = runIn("C.UTF-8", &timedOut);
  ASSERT_FALSE(timedOut);
  ASSERT_EQ(reference.first.status, 1);
  ASSERT_TRUE(reference.second.has_value());

  for (const auto& [locale, charset] :
       {std::pair<std::string, std::string>{"zh_CN.GBK", "GBK"}, {"zh_CN.GB18030", "GB18030"}}) {
    SCOPED_TRACE(locale);
    ASSERT_TRUE(compileLocale(locale, charset)) << "localedef could not make " << locale;
    const auto run = runIn(locale, &timedOut);
    EXPECT_FALSE(timedOut) << "the run hung";
    EXPECT_EQ(run.first.out, reference.first.out);
    EXPECT_EQ(run.first.status, reference.first.status);
    EXPECT_EQ(run.second, reference.second);
  }

  // Where strace is at hand: the run opens none of the system's converter
  // modules (GBK.so and the like, which pull in the C library of the system).
  const char* const strace = "/usr/bin/strace";
  if (!exists(strace)) return;
  const std::string trace = root / "trace.txt";
  e2e::RunLimits traced;
  traced.environment = environmentFor("zh_CN.GBK");
  traced.timeout = std::chrono::seconds(20);
  const ToolRun run = e2e::runLimited(
      strace, {"-f", "-e", "trace=openat,open", "-o", trace, PHOTOCHECK_EXE, settings}, traced);
  const std::optional<std::string> opened = readFileBytes(trace);
  if (run.status != 1 || !opened || opened->find("openat") == std::string::npos) {
    return;  // strace cannot trace here (no ptrace in this container)
  }
  std::size_t start = 0;
  while (start < opened->size()) {
    std::size_t end = opened->find('\n', start);
    if (end == std::string::npos) end = opened->size();
    const std::string line = opened->substr(start, end - start);
    EXPECT_TRUE(line.find("/gconv/") == std::string::npos ||
                line.find(".so\"") == std::string::npos)
        << line;
    start = end + 1;
  }
}

}  // namespace
#endif
