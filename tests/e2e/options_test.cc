// The command-line options from a caller's side: --page, --geojson and
// --charset write what their variables ask for and win over them, leaving
// the console and error.json as a run without either; a command line the
// tool does not take stops before anything is read or written.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "console/console_texts.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const char* const kVariables[] = {"PHOTOCHECK_HTML", "PHOTOCHECK_GEOJSON", "PHOTOCHECK_CHARSET"};

void unsetVariables() {
  for (const char* name : kVariables) ::unsetenv(name);
}

// A set whose GPS check fails, so that error.json holds a Chinese text (GBK
// or UTF-8 tells the charset).
void writeFailingSet(const TempFolder& root) {
  e2e::Photo noGps;
  noGps.gps.reset();
  e2e::writePhoto(root / "images/a.jpg", e2e::Photo{});
  e2e::writePhoto(root / "images/b.jpg", noGps);
}

TEST(Options, PageGeoJsonAndCharsetWinOverTheirVariables) {
  unsetVariables();
  TempFolder root;
  writeFailingSet(root);
  const e2e::PhotoRun plain = e2e::runOn(root, root / "images", root / "out");
  ASSERT_EQ(plain.run.status, 1);
  fs::remove(root / "out/error.json");

  ::setenv("PHOTOCHECK_HTML", (root / "variable.html").c_str(), 1);
  ::setenv("PHOTOCHECK_GEOJSON", (root / "variable.geojson").c_str(), 1);
  ::setenv("PHOTOCHECK_CHARSET", "UTF-8", 1);
  const ToolRun run =
      runTool(PHOTOCHECK_EXE, {"--page", root / "option.html", plain.settingsPath,
                               "--geojson=" + root / "option.geojson", "--charset", "gbk"});
  unsetVariables();

  // The console as without options (none is echoed) and error.json in GBK,
  // as without the variable.
  EXPECT_EQ(run.out, plain.run.out);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(readFileBytes(root / "out/error.json"), plain.report);
  EXPECT_EQ(readFileBytes(root / "option.html").value_or("").rfind("<!DOCTYPE html>", 0), 0U);
  EXPECT_NE(readFileBytes(root / "option.geojson").value_or("").find("\"FeatureCollection\""),
            std::string::npos);
  EXPECT_FALSE(fs::exists(root / "variable.html"));
  EXPECT_FALSE(fs::exists(root / "variable.geojson"));

  // And the other way round: UTF-8 asked for where the variable says GBK.
  ::setenv("PHOTOCHECK_CHARSET", "GBK", 1);
  const ToolRun utf8 = runTool(PHOTOCHECK_EXE, {"--charset=utf-8", plain.settingsPath});
  unsetVariables();
  EXPECT_EQ(utf8.status, 1);
  const std::string utf8Text = texts::utf8FormOf(texts::kGpsDescription);
  EXPECT_NE(readFileBytes(root / "out/error.json").value_or("").find(utf8Text), std::string::npos);
  EXPECT_NE(utf8.out.find(utf8Text), std::string::npos);
}

struct RefusedCase {
  std::vector<std::string> options;  // put after the settings file
  std::string why;                   // standard error after "photocheck: "
};

// As a settings file that does not open: every argument echoed, then "open
// file failed!", status 1; the reason on standard error; the output folder
// is not even made.
TEST(Options, ACommandLineTheToolDoesNotTakeIsRefusedBeforeAnythingIsWritten) {
  unsetVariables();
  const RefusedCase cases[] = {
      {{"--qiuet"}, std::string(texts::kUnknownOption) + "\"--qiuet\""},
      {{"--quiet", "--page"}, std::string(texts::kOptionNamed) + "\"--page\"" + texts::kNeedsValue},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.why);
    TempFolder root;
    writeFailingSet(root);
    const std::string settings = root / "photocheck.settings";
    std::string text;
    for (const auto& [key, value] : e2e::settingsOf(root / "images", root / "out", {})) {
      text += key + " = " + value + "\n";
    }
    writeFileBytes(settings, text);
    std::vector<std::string> arguments = {settings};
    std::string echo = settings + "\n";
    for (const std::string& option : c.options) {
      arguments.push_back(option);
      echo += "\n" + option + "\n";
    }
    const ToolRun run = runTool(PHOTOCHECK_EXE, arguments);
    EXPECT_EQ(run.out, echo + texts::kOpenFileFailed + "\n");
    EXPECT_EQ(run.err, "photocheck: " + c.why + texts::kHelpHint + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(fs::exists(root / "out"));
  }
}

}  // namespace

#endif  // _WIN32
