// The bundled sample set (examples/) run the way the README runs it: from a
// folder holding examples/, with the settings file's relative folders. The
// console bytes and error.json must be those kept in examples/expected, and
// docs/usage.md must show that same output, so that neither can drift.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "console/console_texts.h"
#include "tests/support/expected_console.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

#if __has_include(<iconv.h>)
#include <iconv.h>
#define PHOTOCHECK_HAVE_ICONV 1
#endif

namespace {

namespace fs = std::filesystem;

const fs::path kCheckout = PHOTOCHECK_SOURCE_DIR;

const char kRemake[] =
    "if the change is wanted, remake the kept output on Linux from the checkout: "
    "photocheck examples/photocheck.settings > examples/expected/console.txt; "
    "cp build/example-output/error.json examples/expected/; then update docs/usage.md";

// Where `actual` first departs from `wanted`, as a line number and both
// lines, for a failure message that points at the change.
std::string firstDifference(const std::string& wanted, const std::string& actual) {
  std::size_t line = 1, start = 0;
  for (std::size_t i = 0; i < std::min(wanted.size(), actual.size()); ++i) {
    if (wanted[i] != actual[i]) break;
    if (wanted[i] == '\n') ++line, start = i + 1;
  }
  if (wanted == actual) return "no difference";
  auto lineAt = [start](const std::string& text) {
    return text.substr(start, text.find('\n', start) - start);
  };
  return "first difference in line " + std::to_string(line) + ": wanted \"" + lineAt(wanted) +
         "\", got \"" + lineAt(actual) + "\"";
}

// A file of examples/expected.
std::string expected(const char* name) {
  const std::optional<std::string> bytes =
      readFileBytes((kCheckout / "examples" / "expected" / name).string());
  EXPECT_TRUE(bytes.has_value()) << "examples/expected/" << name << " is missing";
  return bytes.value_or("");
}

// A copy of the sample in `root`, so that a run writes its report into the
// test's folder and not into the checkout.
void copySample(const TempFolder& root) {
  const fs::path examples = kCheckout / "examples";
  ASSERT_TRUE(fs::exists(examples / "photocheck.settings")) << examples;
  fs::create_directories(fs::path(root.path()) / "examples");
  fs::copy(examples / "images", fs::path(root.path()) / "examples" / "images");
  fs::copy_file(examples / "photocheck.settings",
                fs::path(root.path()) / "examples" / "photocheck.settings");
}

// `console` (line feeds) without the checks' line per photo: the header
// text of its check and the photo's number.
std::string withoutLinesPerPhoto(const std::string& console) {
  const char* const headers[] = {texts::kResolutionHeader, texts::kCameraMakerHeader,
                                 texts::kFocalLengthHeader, texts::kGpsHeader};
  std::string kept;
  for (std::size_t start = 0; start < console.size();) {
    const std::size_t end = std::min(console.find('\n', start), console.size() - 1) + 1;
    const std::string line = console.substr(start, end - start);
    bool perPhoto = false;
    for (const char* header : headers) perPhoto = perPhoto || line.rfind(header, 0) == 0;
    if (!perPhoto) kept += line;
    start = end;
  }
  return kept;
}

TEST(Examples, SampleRunMatchesTheExpectedOutput) {
  TempFolder root;
  copySample(root);
  const ToolRun run = runTool(PHOTOCHECK_EXE, {"examples/photocheck.settings"}, root.path());
  const std::string console = expected("console.txt");
  const std::string report = expected("error.json");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, expectedConsole(console))
      << firstDifference(expectedConsole(console), run.out) << "; " << kRemake;
  EXPECT_EQ(readFileBytes(root / "build" + kSep + "example-output" + kSep + "error.json"), report)
      << kRemake;
  // What the kept report says: each check finds its one photo.
  EXPECT_EQ(report,
            e2e::jsonReport({e2e::jsonGroup(101, texts::kResolutionDescription, {"DJI_0004.JPG"}),
                             e2e::jsonGroup(102, texts::kCameraMakerDescription, {"DJI_0006.JPG"}),
                             e2e::jsonGroup(103, texts::kFocalLengthDescription, {"DJI_0008.JPG"}),
                             e2e::jsonGroup(104, texts::kGpsDescription, {"DJI_0009.JPG"})}));
}

// --quiet leaves out the line per photo and nothing else: the console is the
// kept one without those lines, error.json and the status are as without it.
TEST(Examples, QuietSampleRunLeavesOutTheLinesPerPhotoAlone) {
  TempFolder root;
  copySample(root);
  const ToolRun run =
      runTool(PHOTOCHECK_EXE, {"--quiet", "examples/photocheck.settings"}, root.path());
  const std::string console = withoutLinesPerPhoto(expected("console.txt"));
  ASSERT_LT(console.size(), expected("console.txt").size());
  EXPECT_EQ(run.out, expectedConsole(console))
      << firstDifference(expectedConsole(console), run.out);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(readFileBytes(root / "build" + kSep + "example-output" + kSep + "error.json"),
            expected("error.json"));
}

// GBK bytes as UTF-8; nothing when this C library has no GBK converter.
std::optional<std::string> utf8FromGbk(std::string gbk) {
#ifdef PHOTOCHECK_HAVE_ICONV
  const iconv_t converter = iconv_open("UTF-8", "GBK");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // A GBK character takes one or two bytes, its UTF-8 form at most three.
  std::string utf8(gbk.size() * 2, '\0');
  char* in = gbk.data();
  std::size_t inLeft = gbk.size();
  char* out = utf8.data();
  std::size_t outLeft = utf8.size();
  const bool converted =
      iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  EXPECT_TRUE(converted) << "not GBK text";
  utf8.resize(utf8.size() - outLeft);
  return utf8;
#else
  (void)gbk;
  return std::nullopt;
#endif
}

// The fenced block of `page` that follows the comment line starting with
// `marker`, up to its closing fence; nothing when there is no such block.
std::optional<std::string> blockAfter(const std::string& page, const std::string& marker) {
  const std::string fence = "```\n";
  const std::size_t at = page.find("\n" + marker);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t lineEnd = page.find('\n', at + 1);
  if (lineEnd == std::string::npos || page.compare(lineEnd + 1, fence.size(), fence) != 0) {
    return std::nullopt;
  }
  const std::size_t begin = lineEnd + 1 + fence.size();
  const std::size_t end = page.find("\n" + fence, begin);
  if (end == std::string::npos) return std::nullopt;
  return page.substr(begin, end + 1 - begin);
}

TEST(Examples, UsageShowsTheExpectedOutput) {
  const std::optional<std::string> console = utf8FromGbk(expected("console.txt"));
  const std::optional<std::string> report = utf8FromGbk(expected("error.json"));
  if (!console || !report) {
    GTEST_SKIP() << "no iconv with a GBK converter here: docs/usage.md shows the output as "
                    "UTF-8 and is compared where one is";
  }
  const std::optional<std::string> page = readFileBytes((kCheckout / "docs" / "usage.md").string());
  ASSERT_TRUE(page.has_value());
  const std::optional<std::string> shownConsole =
      blockAfter(*page, "<!-- examples/expected/console.txt");
  const std::optional<std::string> shownReport =
      blockAfter(*page, "<!-- examples/expected/error.json");
  ASSERT_TRUE(shownConsole && shownReport)
      << "docs/usage.md lacks a block after a comment naming examples/expected/...";
  EXPECT_EQ(*shownConsole, *console)
      << "docs/usage.md, the sample run's console: " << firstDifference(*console, *shownConsole);
  EXPECT_EQ(*shownReport, *report + "\n") << "docs/usage.md, the sample run's error.json";
  const std::optional<std::string> quiet =
      utf8FromGbk(withoutLinesPerPhoto(expected("console.txt")));
  const std::optional<std::string> shownQuiet =
      blockAfter(*page, "<!-- the sample run with --quiet");
  ASSERT_TRUE(shownQuiet.has_value()) << "docs/usage.md lacks the --quiet example";
  EXPECT_EQ(*shownQuiet, *quiet) << "docs/usage.md, the --quiet sample run: "
                                 << firstDifference(*quiet, *shownQuiet);
}

}  // namespace
