#include "page/page_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::size_t countOf(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

ImageFacts photoAt(double latitude, double longitude, std::uint8_t flaggedBy = 0) {
  ImageFacts facts;
  facts.read = ImageRead::decoded;
  facts.latitude = latitude;
  facts.longitude = longitude;
  facts.imageWidth = 160;
  facts.imageHeight = 120;
  facts.flaggedBy = flaggedBy;
  return facts;
}

CaptureTime at(std::uint8_t hour) {
  CaptureTime time;
  time.year = 2024;
  time.month = 5;
  time.day = 17;
  time.hour = hour;
  return time;
}

// Four photos in two folders: one that passes, one of another size (flagged
// by the resolution check) whose name holds markup, one without GPS and one
// without an EXIF block (flagged by both checks).
struct SmallRun {
  platform::PathList images{"set/a/DJI_0001.JPG", "set/b/a<b>&\"c.jpg", "set/b/nogps.jpg",
                            "set/a/DJI_0001.txt"};
  std::vector<ImageFacts> facts{photoAt(30.2600, 120.1000), photoAt(30.2610, 120.1010, 1),
                                photoAt(0, 0, 8), photoAt(0, 0, 9)};
  CheckOutcome resolution{{{"120*160", {1}}, {"160*120", {0, 2}}, {"error", {3}}}, {1, 3}};
  CheckOutcome gps{{{"1", {2}}, {"error", {3}}}, {2, 3}};

  SmallRun() {
    facts[1].imageWidth = 120;
    facts[1].imageHeight = 160;
    facts[3].result = exifNoExif;
    facts[0].captured = at(11);
    facts[1].captured = at(10);
  }

  PageInput input() const {
    PageInput page;
    page.status = 1;
    page.settings = {{"image folder", "set"}, {"output folder", "out<put>"}};
    page.version = "1.2.0";
    page.runTime = "2026-12-09 22:40:00";
    page.folderShown = "/home/survey/set&1";
    page.imageFolder = platform::FilePath("set");
    page.images = &images;
    page.facts = &facts;
    page.outcomes[0] = &resolution;
    page.outcomes[3] = &gps;
    return page;
  }
};

TEST(PageText, TheFlaggedTableComesFirstWithPathsChecksAndWhy) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  const std::size_t table = page.find("<table class=flagged>");
  ASSERT_NE(table, std::string::npos);
  EXPECT_LT(table, page.find("<svg"));
  EXPECT_LT(page.find("<table class=counts>"), table);
  EXPECT_GT(page.find(u8"<span data-t=34>设置</span>"), page.find("<svg"));  // settings last
  struct Row {
    const char* start;
    const char* cells;
  };
  const Row rows[] = {
      {"<tr id=r1 data-i=1><td class=n>b/a&lt;b&gt;&amp;&quot;c.jpg</td>", u8">分辨率</span>"},
      {"<tr id=r1 ", u8"120 × 160</td></tr>"},
      {"<tr id=r2 data-i=2><td class=n>b/nogps.jpg</td>", u8">没有GPS位置</span></td></tr>"},
      {"<tr id=r3 data-i=3><td class=n>a/DJI_0001.txt</td>", u8"GPS</span></td><td>"},
      {"<tr id=r3 ", u8">没有EXIF数据</span></td></tr>"},
  };
  for (const Row& row : rows) {
    const std::size_t at = page.find(row.start);
    ASSERT_NE(at, std::string::npos) << row.start;
    EXPECT_LT(page.find(row.cells, at), page.find("</tr>", at) + 5) << row.cells;
  }
  EXPECT_EQ(page.find("<tr id=r0 "), std::string::npos);  // passed: not in the table
  EXPECT_EQ(page.find("a<b>"), std::string::npos);
}

TEST(PageText, TheHeaderTellsWhenWhichToolAndWhichFolder) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  const std::size_t header = page.find("</header>");
  for (const char* piece : {"2026-12-09 22:40:00", "1.2.0", "/home/survey/set&amp;1",
                            "<h1 class=fail>", u8"4 <span data-t=2>张影像</span>"}) {
    EXPECT_LT(page.find(piece), header) << piece;
  }
  EXPECT_NE(page.find("<html lang=\"zh-CN\">"), std::string::npos);
  EXPECT_NE(page.find("en:[\"The set passed\",\"The set failed\""), std::string::npos);
}

TEST(PageText, DrawsFlaggedDotsLargerAndJoinsThemInCaptureOrder) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  EXPECT_EQ(countOf(page, "<circle "), 2u);
  EXPECT_NE(
      page.find(
          "<circle id=d0 cx=111 cy=950 r=4 class=p data-n=\"a/DJI_0001.JPG\" data-p=\"30.260000, "
          "120.100000\" data-c=\"2024-05-17 11:00:00\"/>"),
      std::string::npos);
  EXPECT_NE(page.find("<circle id=d1 cx=889 cy=50 "), std::string::npos);
  EXPECT_NE(page.find(" r=8 class=\"f c0\""), std::string::npos);
  // d1 was taken at 10:00, d0 at 11:00.
  EXPECT_NE(page.find("<polyline class=t points=\"889,50 111,950 \""), std::string::npos);
  // The photos without a position are listed beside the map by path.
  EXPECT_NE(page.find("<li data-i=2>b/nogps.jpg</li>"), std::string::npos);
  // The GPS check's colour is not offered: none of its photos can be drawn.
  EXPECT_EQ(page.find("background:#9467bd"), std::string::npos);
  EXPECT_NE(page.find(u8">GPS错误影像没有位置"), std::string::npos);
  EXPECT_NE(page.find(" m</text>"), std::string::npos);  // the scale bar
  EXPECT_NE(page.find(">N</text>"), std::string::npos);  // the north arrow
}

TEST(PageText, GroupsAreNamedByWhatTheyMean) {
  struct Case {
    std::size_t row;
    const char* key;
    const char* label;
  };
  const Case cases[] = {
      {0, "4000*3000", u8"<span class=v>4000 × 3000</span>"},
      {1, "DJI", "<span class=v>DJI</span>"},
      {1, "", u8"<span class=v><span data-t=38>（无制造商）</span></span>"},
      {2, "24", u8"<span class=v><span data-t=34>35 mm等效焦距</span> 24 mm</span>"},
      {2, "0", u8"<span class=v><span data-t=35>没有35 mm等效焦距</span></span>"},
      {3, "1", u8"<span class=v><span data-t=37>没有GPS位置</span></span>"},
      {3, "error", u8"<span class=v><span data-t=39>无法检测</span></span>"},
  };
  for (const Case& c : cases) {
    platform::PathList images{"set/x.jpg"};
    std::vector<ImageFacts> facts{photoAt(0, 0, static_cast<std::uint8_t>(1u << c.row))};
    const CheckOutcome outcome{{{c.key, {0}}}, {0}};
    PageInput input;
    input.images = &images;
    input.facts = &facts;
    input.outcomes[c.row] = &outcome;
    const std::string page = pageText(input);
    EXPECT_NE(page.find(c.label), std::string::npos) << c.key;
    EXPECT_NE(page.find("<section id=k" + std::to_string(c.row) + "><h3>"), std::string::npos);
  }
}

TEST(PageText, CountsTheLargestGroupThatPassedWithoutListingIt) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  const std::size_t resolution = page.find("<section id=k0>");
  const std::size_t end = page.find("</section>", resolution);
  const std::size_t rest = page.find(u8"<span class=\"v rest\">160 × 120</span>: 2 ", resolution);
  EXPECT_LT(rest, end);
  EXPECT_EQ(page.find("</summary>\n</details>", rest), page.find("</summary>", rest));
  EXPECT_LT(page.find("<li data-i=1>b/a&lt;b&gt;", resolution), end);  // the flagged group
  EXPECT_EQ(page.find("<li data-i=0>", resolution), std::string::npos);
  // The GPS check's rest: the photos with a position.
  EXPECT_NE(page.find(u8"<span class=\"v rest\"><span data-t=36>有GPS位置</span></span>: 2 "),
            std::string::npos);
}

TEST(PageText, IsWrittenInPiecesThatMakeTheWholePage) {
  platform::PathList images;
  std::vector<ImageFacts> facts;
  for (int i = 0; i < 3000; ++i) {
    images.push_back(platform::FilePath("set/DJI_" + std::to_string(i) + ".JPG"));
    facts.push_back(photoAt(30 + i * 1e-5, 120, i % 7 == 0 ? 1 : 0));
  }
  PageInput input;
  input.images = &images;
  input.facts = &facts;
  std::string joined;
  std::size_t pieces = 0, largest = 0;
  EXPECT_TRUE(writePage(input, [&](std::string_view piece) {
    joined += piece;
    largest = std::max(largest, piece.size());
    ++pieces;
    return true;
  }));
  EXPECT_EQ(joined, pageText(input));
  EXPECT_GT(pieces, 2u);
  EXPECT_LT(largest, 80u * 1024);
  EXPECT_EQ(countOf(joined, "<circle "), 3000u);
  EXPECT_FALSE(writePage(input, [](std::string_view) { return false; }));
}

TEST(PageText, ARunWithoutImagesStillMakesAPage) {
  PageInput input;
  input.status = 1;
  const std::string page = pageText(input);
  EXPECT_NE(page.find("<p class=meta>0 "), std::string::npos);
  EXPECT_NE(page.find(u8"影像文件夹中没有文件"), std::string::npos);
  EXPECT_EQ(countOf(page, "<circle "), 0u);
  EXPECT_NE(page.find("</html>"), std::string::npos);
}

TEST(PageText, FetchesNothing) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  for (const char* fetch : {"src=", "href=", "url(", "@import", "https:"}) {
    EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
  }
  // The SVG namespace name is the one http: text, and it is never fetched.
  EXPECT_EQ(countOf(page, "http:"), 1u);
}

}  // namespace
