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

std::size_t countOf(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

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
  // Nine photos on the map, the tenth (no GPS) beside it; each flagged one
  // in its check's colour.
  EXPECT_EQ(countOf(*page, "<circle "), 9u);
  EXPECT_NE(page->find("<li data-i=8>DJI_0009.JPG</li>"), std::string::npos);
  EXPECT_NE(page->find("<circle id=d3 "), std::string::npos);
  for (const char* dot : {"<circle id=d3 ", "<circle id=d5 ", "<circle id=d7 "}) {
    const std::size_t at = page->find(dot);
    ASSERT_NE(at, std::string::npos) << dot;
    const std::string circle = page->substr(at, page->find('>', at) - at);
    const char* wanted = std::string(dot) == "<circle id=d3 "   ? "class=\"f c0\""
                         : std::string(dot) == "<circle id=d5 " ? "class=\"f c1\""
                                                                : "class=\"f c2\"";
    EXPECT_NE(circle.find(wanted), std::string::npos) << circle;
  }
  EXPECT_EQ(countOf(*page, "class=p "), 6u);
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
  // Each passed photo is named by its dot (a click shows the name).
  for (const char* shown : {"\"&lt;script&gt;.jpg\"", "\"a&amp;b.jpg\"", "\"q&quot;uote.jpg\"",
                            "\"\xe5\xbd\xb1\xe5\x83\x8f.jpg\"", "\"\\xCF\\xF1.jpg\""}) {
    EXPECT_NE(page->find(shown), std::string::npos) << shown;
  }
  EXPECT_EQ(page->find("<script>.jpg"), std::string::npos);
  EXPECT_EQ(page->find("\xcf\xf1"), std::string::npos);
  EXPECT_EQ(countOf(*page, "<circle "), 5u);
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
