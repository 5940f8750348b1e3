#include "page/page_text.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>
#include <vector>

#include "tests/support/count_of.h"

namespace {

// The map's data block, read back as JSON.
rapidjson::Document mapData(const std::string& page) {
  const std::string start = "<script type=application/json id=mapdata>";
  const std::size_t from = page.find(start) + start.size();
  rapidjson::Document data;
  data.Parse(page.substr(from, page.find("</script>", from) - from).c_str());
  return data;
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
    page.runId = "0123456789abcdef";
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
  EXPECT_LT(table, page.find("<canvas"));
  EXPECT_LT(page.find("<table class=counts>"), table);
  EXPECT_GT(page.find(u8"<span data-t=34>设置</span>"), page.find("<canvas"));  // settings last
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
  // The run's id beside its time, as the GeoJSON report's run_id names it.
  const std::size_t id = page.find("<span class=run>0123456789abcdef</span>");
  EXPECT_LT(page.find("2026-12-09 22:40:00"), id);
  EXPECT_LT(id, page.find("1.2.0"));
}

TEST(PageText, GivesTheMapEachDotWithItsFlagsAndJoinsThemInCaptureOrder) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  EXPECT_NE(page.find("<canvas id=m width=1000 height=1000 style=\"aspect-ratio:1000/1000\">"),
            std::string::npos);
  const rapidjson::Document data = mapData(page);
  ASSERT_TRUE(data.IsObject()) << data.GetParseError();
  EXPECT_EQ(data["h"].GetInt(), 1000);
  EXPECT_STREQ(data["colours"][0].GetString(), "#d62728");
  // [image, x, y, flags, path, latitude, longitude, captured]: the passed
  // photo first, then the one the resolution check flagged (bit 0).
  const rapidjson::Value& dots = data["dots"];
  ASSERT_EQ(dots.Size(), 2u);
  const rapidjson::Value& passed = dots[0];
  EXPECT_EQ(passed[0].GetInt(), 0);
  EXPECT_EQ(passed[1].GetInt(), 111);
  EXPECT_EQ(passed[2].GetInt(), 950);
  EXPECT_EQ(passed[3].GetInt(), 0);
  EXPECT_STREQ(passed[4].GetString(), "a/DJI_0001.JPG");
  // Positions and times counted from the origin: the first photo's
  // position and the earliest time (the second photo's, 10:00), plus 1.
  EXPECT_EQ(data["origin"][0].GetInt(), 30260000);
  EXPECT_EQ(data["origin"][1].GetInt(), 120100000);
  EXPECT_EQ(data["origin"][2].GetUint64(), 20240517100000u);
  EXPECT_EQ(passed[5].GetInt(), 0);
  EXPECT_EQ(passed[6].GetInt(), 0);
  EXPECT_EQ(passed[7].GetInt(), 10000 + 1);
  EXPECT_EQ(dots[1][5].GetInt(), 1000);
  EXPECT_EQ(dots[1][6].GetInt(), 1000);
  EXPECT_EQ(dots[1][7].GetInt(), 1);
  EXPECT_EQ(dots[1][0].GetInt(), 1);
  EXPECT_EQ(dots[1][3].GetInt(), 1);
  EXPECT_STREQ(dots[1][4].GetString(), "b/a<b>&\"c.jpg");
  EXPECT_EQ(page.find("a<b>"), std::string::npos);  // in the block: a\u003cb>
  // The second dot was taken at 10:00, the first at 11:00.
  ASSERT_EQ(data["track"].Size(), 2u);
  EXPECT_EQ(data["track"][0].GetInt(), 1);
  EXPECT_EQ(data["track"][1].GetInt(), 0);
  EXPECT_STREQ(data["bar"][1].GetString(), "20 m");  // the set is 111 m across
  // The photos without a position are listed beside the map by path.
  EXPECT_NE(page.find("<li data-i=2>b/nogps.jpg</li>"), std::string::npos);
  // The GPS check's colour is not offered: none of its photos can be drawn.
  EXPECT_EQ(page.find("background:#9467bd"), std::string::npos);
  EXPECT_NE(page.find(u8">GPS错误影像没有位置"), std::string::npos);
}

// A long list shows its first rows; the rest wait as text in parts of 500
// rows behind a "show more" that counts them.
TEST(PageText, HoldsBackTheRestOfALongListInParts) {
  platform::PathList images;
  std::vector<ImageFacts> facts;
  for (int i = 0; i < 1200; ++i) {
    images.push_back(platform::FilePath("set/IMG_" + std::to_string(i) + ".JPG"));
    facts.push_back(photoAt(0, 0, 8));  // no position: flagged by the GPS check
  }
  PageInput input;
  input.images = &images;
  input.facts = &facts;
  CheckOutcome gps;
  for (std::size_t i = 0; i < 1200; ++i) gps.groups["1"].push_back(i);
  input.outcomes[3] = &gps;
  const std::string page = pageText(input);
  const std::size_t table = page.find("<table class=flagged>");
  const std::size_t end = page.find("</table>", table);
  const std::size_t part = page.find("<script type=text/html class=part>", table);
  EXPECT_LT(part, end);
  EXPECT_EQ(countOf(page.substr(table, part - table), "<tr id=r"), 50u);
  EXPECT_NE(page.find("<tr id=r49 ", table), std::string::npos);
  EXPECT_GT(page.find("<tr id=r50 ", table), part);
  EXPECT_EQ(page.find("<button class=more", table), end + 9);
  EXPECT_NE(page.find(u8">显示更多</span> (<span class=left>1150</span>)</button>", end),
            std::string::npos);
  // The table, the flagged group and the list beside the map: three lists,
  // each of 50 rows and parts of 500, 500 and 150.
  EXPECT_EQ(countOf(page, "<script type=text/html class=part>"), 9u);
  EXPECT_EQ(countOf(page, "<button class=more "), 3u);
  // On paper each says how many rows it did not print.
  EXPECT_EQ(
      countOf(page, u8"<button class=more type=button><span class=prt><span data-t=56>未打印的行"),
      3u);
  EXPECT_EQ(countOf(page, "<tr id=r"), 1200u);
  EXPECT_EQ(countOf(page, "</script><script type=text/html class=part><li data-i=550>"), 2u);
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
  EXPECT_EQ(mapData(joined)["dots"].Size(), 3000u);
  EXPECT_FALSE(writePage(input, [](std::string_view) { return false; }));
}

TEST(PageText, ARunWithoutImagesStillMakesAPage) {
  PageInput input;
  input.status = 1;
  const std::string page = pageText(input);
  EXPECT_NE(page.find("<p class=meta>0 "), std::string::npos);
  EXPECT_NE(page.find(u8"影像文件夹中没有文件"), std::string::npos);
  EXPECT_EQ(mapData(page)["dots"].Size(), 0u);
  EXPECT_NE(page.find("</html>"), std::string::npos);
}

TEST(PageText, FetchesNothing) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  for (const char* fetch : {"src=", "href=", "url(", "@import", "https:"}) {
    EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
  }
  EXPECT_EQ(page.find("http:"), std::string::npos);
}

}  // namespace
