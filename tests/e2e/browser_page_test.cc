// The sample set's HTML page in a real browser: headless Chromium (Debian's
// chromium package) loads it from the file, and the DOM it builds holds one
// dot per photo with a position, the flagged ones in their checks' classes.
// Its screenshot is the picture the README shows (remake it by copying
// sample-page.png from beside the built photocheck to docs/). Skips with a
// message where Chromium is not installed or cannot start.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCheckout = PHOTOCHECK_SOURCE_DIR;
const char kChromium[] = "/usr/bin/chromium";
const char kTimeout[] = "/usr/bin/timeout";

std::size_t countOf(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

// Chromium headless with a profile of its own, at most a minute.
ToolRun runChromium(const TempFolder& root, const std::string& option, const std::string& page) {
  return runTool(kTimeout, {"60", kChromium, "--headless", "--no-sandbox", "--disable-gpu",
                            "--hide-scrollbars", "--user-data-dir=" + (root / "profile"),
                            "--window-size=1280,1500", option, "file://" + page});
}

TEST(BrowserPage, ChromiumShowsTheSamplePage) {
  if (!fs::exists(kChromium) || !fs::exists(kTimeout)) {
    GTEST_SKIP() << "no " << kChromium << " (scripts/install-deps.sh chromium installs it)";
  }
  TempFolder root;
  fs::create_directories(fs::path(root.path()) / "examples");
  fs::copy(kCheckout / "examples" / "images", fs::path(root.path()) / "examples" / "images");
  fs::copy_file(kCheckout / "examples" / "photocheck.settings",
                fs::path(root.path()) / "examples" / "photocheck.settings");
  const std::string page = root / "sample.html";
  ::setenv("PHOTOCHECK_HTML", page.c_str(), 1);
  const ToolRun run = runTool(PHOTOCHECK_EXE, {"examples/photocheck.settings"}, root.path());
  ::unsetenv("PHOTOCHECK_HTML");
  ASSERT_EQ(run.status, 1);
  ASSERT_TRUE(fs::exists(page));

  const ToolRun dom = runChromium(root, "--dump-dom", page);
  if (dom.status != 0 || dom.out.find("<html") == std::string::npos) {
    GTEST_SKIP() << "Chromium could not start here (status " << dom.status << "): " << dom.err;
  }
  EXPECT_EQ(countOf(dom.out, "<circle "), 9u);
  EXPECT_NE(dom.out.find("<circle id=\"d3\""), std::string::npos);
  EXPECT_EQ(countOf(dom.out, "class=\"c0\""), 1u);  // DJI_0004.JPG, resolution
  EXPECT_EQ(countOf(dom.out, "class=\"c1\""), 1u);  // DJI_0006.JPG, camera maker
  EXPECT_EQ(countOf(dom.out, "class=\"c2\""), 1u);  // DJI_0008.JPG, focal length
  EXPECT_EQ(countOf(dom.out, "class=\"p\""), 6u);
  EXPECT_NE(dom.out.find("<li data-i=\"8\">DJI_0009.JPG</li>"), std::string::npos);

  const std::string screenshot =
      (fs::path(PHOTOCHECK_EXE).parent_path() / "sample-page.png").string();
  fs::remove(screenshot);
  const ToolRun shot = runChromium(root, "--screenshot=" + screenshot, page);
  EXPECT_EQ(shot.status, 0) << shot.err;
  const std::optional<std::string> png = readFileBytes(screenshot);
  ASSERT_TRUE(png.has_value()) << "no screenshot at " << screenshot;
  EXPECT_EQ(png->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace

#endif  // _WIN32
