// The HTML page PHOTOCHECK_HTML asks for, from the caller's side: the run
// prints, writes and returns exactly what it does without the variable, and
// the page shows the set with every name as exact, escaped text. A page that
// cannot be written costs one console line and nothing else.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/e2e/photo_set.h"
#include "tests/support/count_of.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCheckout = PHOTOCHECK_SOURCE_DIR;

// Sets PHOTOCHECK_HTML for the runs this test starts, unsets it at the end.
class PageVariable {
 public:
  explicit PageVariable(const std::string& path) { ::setenv("PHOTOCHECK_HTML", path.c_str(), 1); }
  ~PageVariable() { ::unsetenv("PHOTOCHECK_HTML"); }
  PageVariable(const PageVariable&) = delete;
  PageVariable& operator=(const PageVariable&) = delete;
};

// The sample set copied into `root`, run from there as the README runs it.
struct SampleRun {
  ToolRun run;
  std::optional<std::string> report;
};

SampleRun runSample(const TempFolder& root) {
  const std::string report = root / "build/example-output/error.json";
  fs::remove(report);
  SampleRun sample;
  sample.run = runTool(PHOTOCHECK_EXE, {"examples/photocheck.settings"}, root.path());
  sample.report = readFileBytes(report);
  return sample;
}

void copySample(const TempFolder& root) {
  fs::create_directories(fs::path(root.path()) / "examples");
  fs::copy(kCheckout / "examples" / "images", fs::path(root.path()) / "examples" / "images");
  fs::copy_file(kCheckout / "examples" / "photocheck.settings",
                fs::path(root.path()) / "examples" / "photocheck.settings");
}

// The map's data block of a page.
std::string mapData(const std::string& page) {
  const std::string start = "<script type=application/json id=mapdata>";
  const std::size_t from = page.find(start);
  if (from == std::string::npos) return std::string();
  return page.substr(from + start.size(), page.find("</script>", from) - from - start.size());
}

TEST(HtmlPage, SampleSetPageLeavesTheRunAsItWas) {
  ::unsetenv("PHOTOCHECK_HTML");
  TempFolder root;
  copySample(root);
  const SampleRun plain = runSample(root);
  const std::string pagePath = root / "sample.html";
  SampleRun withPage;
  {
    const PageVariable variable(pagePath);
    withPage = runSample(root);
  }
  EXPECT_EQ(withPage.run.status, plain.run.status);
  EXPECT_EQ(withPage.run.status, 1);
  EXPECT_EQ(withPage.run.out, plain.run.out);
  ASSERT_TRUE(plain.report.has_value());
  EXPECT_EQ(withPage.report, plain.report);

  const std::optional<std::string> page = readFileBytes(pagePath);
  ASSERT_TRUE(page.has_value()) << "no page at " << pagePath;
  EXPECT_NE(page->find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(page->find(u8"影像检查未通过"), std::string::npos);  // "the set failed"
  // Nine photos on the map's data, the tenth (no GPS) beside it; each dot
  // [image, x, y, flags, path, ...] with the checks that flagged it.
  const std::string data = mapData(*page);
  EXPECT_EQ(countOf(data, ",\"DJI_"), 9u);
  EXPECT_NE(page->find("<li data-i=8>DJI_0009.JPG</li>"), std::string::npos);
  EXPECT_EQ(countOf(data, ",0,\"DJI_"), 6u);
  for (const char* dot : {",1,\"DJI_0004.JPG\"", ",2,\"DJI_0006.JPG\"", ",4,\"DJI_0008.JPG\""}) {
    EXPECT_NE(data.find(dot), std::string::npos) << dot;
  }
}

TEST(HtmlPage, NamesComeOutEscapedAndExact) {
  ::unsetenv("PHOTOCHECK_HTML");
  TempFolder root;
  const std::string images = root / "images";
  const std::string output = root / "output";
  for (const char* name : {"<script>.jpg", "a&b.jpg", "q\"uote.jpg",
                           "\xe5\xbd\xb1\xe5\x83\x8f.jpg",  // UTF-8 Chinese
                           "\xcf\xf1.jpg"}) {               // GBK bytes, not UTF-8
    e2e::writePhoto(images + kSep + name, e2e::Photo{});
  }
  const e2e::PhotoRun plain = e2e::runOn(root, images, output);
  const std::string pagePath = root / "names.html";
  e2e::PhotoRun withPage;
  {
    const PageVariable variable(pagePath);
    withPage = e2e::runOn(root, images, output);
  }
  EXPECT_EQ(plain.run.status, 0);
  EXPECT_EQ(withPage.run.status, 0);
  EXPECT_EQ(withPage.run.out, plain.run.out);
  EXPECT_FALSE(withPage.report.has_value());

  const std::optional<std::string> page = readFileBytes(pagePath);
  ASSERT_TRUE(page.has_value()) << "a passing run writes its page too";
  EXPECT_NE(page->find(u8"影像检查通过"), std::string::npos);  // "the set passed"
  // Each passed photo is named by its dot in the map's data (a click shows
  // the name as text): JSON strings, no '<' that could end the block.
  const std::string data = mapData(*page);
  for (const char* shown : {"\"\\u003cscript>.jpg\"", "\"a&b.jpg\"", "\"q\\\"uote.jpg\"",
                            "\"\xe5\xbd\xb1\xe5\x83\x8f.jpg\"", "\"\\\\xCF\\\\xF1.jpg\""}) {
    EXPECT_NE(data.find(shown), std::string::npos) << shown;
  }
  EXPECT_EQ(page->find("<script>.jpg"), std::string::npos);
  EXPECT_EQ(page->find("\xcf\xf1"), std::string::npos);
  EXPECT_EQ(countOf(data, ".jpg\""), 5u);
}

TEST(HtmlPage, UnwritablePageIsOneLineAndChangesNothingElse) {
  ::unsetenv("PHOTOCHECK_HTML");
  TempFolder root;
  copySample(root);
  const SampleRun plain = runSample(root);
  const std::string pagePath = root / "no-such-folder/sample.html";
  SampleRun withPage;
  {
    const PageVariable variable(pagePath);
    withPage = runSample(root);
  }
  EXPECT_EQ(withPage.run.status, plain.run.status);
  EXPECT_EQ(withPage.run.out, plain.run.out + "can not write the HTML page " + pagePath + "\n");
  EXPECT_EQ(withPage.report, plain.report);
  EXPECT_FALSE(fs::exists(fs::path(root.path()) / "no-such-folder"));
}

}  // namespace

#endif  // _WIN32
