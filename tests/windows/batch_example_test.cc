// The batch example of docs/usage.md, taken from the page as it stands, run
// by cmd on the GeoJSON report of photocheck.exe: it moves exactly the
// flagged photos aside, by their paths, where two folders hold the same name.
#include <windows.h>

#include <iostream>
#include <optional>
#include <string>

#include "gtest/gtest.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/count_of.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"
#include "tests/windows/wide_files.h"

namespace {

// The ```bat block after the marker, with the CR LF line ends of a batch file.
std::string batchOfUsagePage() {
  const std::optional<std::string> usage =
      readFileBytes(std::string(PHOTOCHECK_SOURCE_DIR) + "/docs/usage.md");
  if (!usage) return std::string();
  const std::size_t at = usage->find("GeoJson.BatchExampleMovesTheFlaggedPhotos runs this block");
  const std::size_t start = usage->find("```bat\n", at);
  if (at == std::string::npos || start == std::string::npos) return std::string();
  const std::size_t code = start + 7;
  std::string script;
  for (const char c : usage->substr(code, usage->find("```", code) - code)) {
    if (c == '\n') script += '\r';
    script += c;
  }
  return script;
}

TEST(GeoJson, BatchExampleMovesTheFlaggedPhotos) {
  const std::string script = batchOfUsagePage();
  ASSERT_FALSE(script.empty()) << "docs/usage.md no longer shows the batch example";

  TempFolder root;
  const std::string images = root / "images";
  e2e::Photo noGps;
  noGps.gps.reset();
  e2e::writePhoto(images + "\\a\\DJI_0006.JPG", e2e::Photo{});
  e2e::writePhoto(images + "\\b\\DJI_0006.JPG", noGps);
  e2e::writePhoto(images + "\\x&y.jpg", noGps);
  e2e::writePhoto(images + "\\p!q^r.jpg", noGps);
  e2e::writePhoto(images + "\\100%.jpg", noGps);
  const std::wstring chinese = L"\u5f71\u50cf.jpg";  // flagged
  widefiles::writeFile(widefiles::extended(images, chinese), e2e::jpegOf(noGps));
  widefiles::writeFile(widefiles::extended(images, L"a\\\u597d.jpg"), e2e::jpegOf(e2e::Photo{}));

  ::SetEnvironmentVariableA("PHOTOCHECK_GEOJSON", (root / "set.geojson").c_str());
  const e2e::PhotoRun check = e2e::runOn(root, images, root / "out");
  ::SetEnvironmentVariableA("PHOTOCHECK_GEOJSON", nullptr);
  ASSERT_EQ(check.run.status, 1) << check.run.out;

  writeFileBytes(root / "flagged_aside.cmd", script);
  char shell[MAX_PATH] = "C:\\windows\\system32\\cmd.exe";
  ::GetEnvironmentVariableA("ComSpec", shell, sizeof shell);
  const ToolRun batch =
      runTool(shell, {"/c", "flagged_aside.cmd", "set.geojson", "images", "aside"}, root.path());

  for (const char* moved : {"b\\DJI_0006.JPG", "x&y.jpg", "p!q^r.jpg"}) {
    EXPECT_TRUE(widefiles::exists(widefiles::extended(root / "aside", widefiles::widen(moved))))
        << moved << "\n"
        << batch.out << batch.err;
    EXPECT_FALSE(widefiles::exists(widefiles::extended(images, widefiles::widen(moved)))) << moved;
  }
  for (const std::wstring& kept :
       {std::wstring(L"a\\DJI_0006.JPG"), std::wstring(L"a\\\u597d.jpg")}) {
    EXPECT_TRUE(widefiles::exists(widefiles::extended(images, kept)));
    EXPECT_FALSE(widefiles::exists(widefiles::extended(root / "aside", kept)));
  }
  // A Chinese name and a '%' are moved where cmd reads the report as UTF-8
  // and keeps a '%' in a loop variable (Windows). Wine 8's cmd reads it as
  // Latin-1 and drops the '%': there the photo must stay, named on standard
  // error, and the batch file fail.
  std::size_t refused = 0;
  for (const std::wstring& name : {chinese, std::wstring(L"100%.jpg")}) {
    if (widefiles::exists(widefiles::extended(root / "aside", name))) {
      EXPECT_FALSE(widefiles::exists(widefiles::extended(images, name)));
      continue;
    }
    ++refused;
    EXPECT_TRUE(widefiles::exists(widefiles::extended(images, name)));
  }
  if (refused > 0) {
    std::cout << "[   NOTE   ] this cmd changed " << refused
              << " name(s) of the report, which were refused, not moved\n";
  }
  EXPECT_EQ(countOf(batch.err, "not found, not moved: "), refused) << batch.err;
  EXPECT_EQ(countOf(batch.out, "moved \""), 5 - refused) << batch.out;
  EXPECT_EQ(batch.status, refused == 0 ? 0 : 1);
}

}  // namespace
