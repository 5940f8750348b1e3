// The page with a readiness result: the verdict in the header, the findings
// with their photos, the flagged table's flight, time and position and its
// order by flight, and the map's footprints, broken line and gaps. The
// result is made by hand here: what the analyses find is their own tests'.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>
#include <vector>

#include "page/page_text.h"
#include "tests/support/count_of.h"

namespace {

rapidjson::Document mapData(const std::string& page) {
  const std::string start = "<script type=application/json id=mapdata>";
  const std::size_t from = page.find(start) + start.size();
  rapidjson::Document data;
  data.Parse(page.substr(from, page.find("</script>", from) - from).c_str());
  return data;
}

CaptureTime at(std::uint8_t day, std::uint8_t hour) {
  CaptureTime time;
  time.year = 2024;
  time.month = 5;
  time.day = day;
  time.hour = hour;
  return time;
}

// Five photos in two flights: flight 1 (a day later) is c.jpg and d.jpg,
// flight 2 a.jpg, b.jpg (line 1) and e.jpg (line 2); all but b.jpg flagged
// by the resolution check. In path order a, c, d, e; by flight and capture
// time c, d, a, e.
struct SurveyRun {
  platform::PathList images{"set/a.jpg", "set/b.jpg", "set/c.jpg", "set/d.jpg", "set/e.jpg"};
  std::vector<ImageFacts> facts;
  CheckOutcome resolution{{{"1*1", {0, 2, 3, 4}}, {"4000*3000", {1}}}, {0, 2, 3, 4}};
  readiness::ReadinessResult result;

  SurveyRun() {
    const double north[] = {30.2600, 30.2602, 30.2610, 30.2612, 30.2604};
    const std::uint8_t days[] = {18, 18, 17, 17, 18};
    const std::uint8_t hours[] = {10, 11, 9, 8, 12};
    const std::uint32_t flights[] = {1, 1, 0, 0, 1};
    const std::uint32_t lines[] = {1, 1, 0, 0, 2};
    for (std::size_t k = 0; k < images.size(); ++k) {
      ImageFacts photo;
      photo.read = ImageRead::decoded;
      photo.latitude = north[k];
      photo.longitude = 120.1;
      photo.imageWidth = 4000;
      photo.imageHeight = 3000;
      photo.captured = at(days[k], hours[k]);
      photo.flaggedBy = k == 1 ? 0 : 1;
      facts.push_back(photo);
      readiness::PhotoReadiness measured;
      measured.flight = flights[k];
      measured.line = lines[k];
      measured.gsdCm = 2.0f;
      measured.yawDeg = 90.0f;
      measured.forwardOverlap = 0.5f + 0.1f * static_cast<float>(k);
      measured.views = static_cast<std::uint16_t>(k + 2);
      result.photos.push_back(measured);
    }
    result.verdict = readiness::Verdict::atRisk;
    result.flightCount = 2;
    readiness::Finding gap;
    gap.kind = readiness::FindingKind::coverageGap;
    gap.cause = readiness::FindingCause::fewViews;
    gap.photos = {0, 4};
    gap.photoCount = 2;
    gap.value = 2;
    readiness::Finding forward;
    forward.kind = readiness::FindingKind::lowForwardOverlap;
    forward.cause = readiness::FindingCause::forwardBelow;
    forward.photos = {0, 1};
    forward.photoCount = 2;
    forward.flight = 1;
    forward.line = 1;
    forward.value = 0.5;
    result.findings = {gap, forward};
    // Two by two cells from a.jpg's position northwards and eastwards: the
    // south-west one a gap's, seen by 3; the north-east one by 200.
    result.coverage.south = 30.2600;
    result.coverage.west = 120.1;
    result.coverage.cellNorth = result.coverage.cellEast = 0.0001;
    result.coverage.columns = result.coverage.rows = 2;
    result.coverage.views = {3, 7, 12, 200};
    result.coverage.gaps = {1, 0, 0, 0};
  }

  PageInput input() const {
    PageInput page;
    page.status = 1;
    page.imageFolder = platform::FilePath("set");
    page.images = &images;
    page.facts = &facts;
    page.outcomes[0] = &resolution;
    page.readiness = &result;
    return page;
  }
};

TEST(PageReadiness, TheHeaderTellsTheVerdictBesideTheChecks) {
  struct Case {
    readiness::Verdict verdict;
    readiness::NoFootprint why;
    const char* shown;
  };
  const Case cases[] = {
      {readiness::Verdict::ready, readiness::NoFootprint::noHeight, u8"<p class=\"rv ok\">"},
      {readiness::Verdict::atRisk, readiness::NoFootprint::noHeight, u8"<p class=\"rv risk\">"},
      {readiness::Verdict::cannotTell, readiness::NoFootprint::noHeight,
       u8"<p class=\"rv unknown\">"},
      {readiness::Verdict::cannotTell, readiness::NoFootprint::noNadirPhoto,
       u8"<p class=\"rv unknown\">"},
  };
  const char* words[] = {u8">可以重建</span></p>", u8">有重建风险</span></p>",
                         u8">无法判断：没有离地高度</span></p>",
                         u8">无法判断：没有垂直向下拍摄的影像</span></p>"};
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    SurveyRun run;
    run.result.verdict = cases[k].verdict;
    run.result.noFootprint = cases[k].why;
    const std::string page = pageText(run.input());
    const std::size_t verdict = page.find(cases[k].shown);
    EXPECT_GT(verdict, page.find("<h1 class=fail>")) << cases[k].shown;
    EXPECT_LT(page.find(words[k], verdict), page.find("</header>")) << words[k];
  }
  SurveyRun run;
  PageInput input = run.input();
  EXPECT_NE(pageText(input).find("\"cannot tell: no height above ground\""), std::string::npos);
  // What could not be measured is said under the findings' heading.
  run.result.photosWithoutHeight = 4;
  run.result.findings.clear();
  const std::string unmeasured = pageText(input);
  const std::size_t heading = unmeasured.find(u8">没有发现重建风险</span></h2>\n<p class=meta>4 ");
  EXPECT_NE(heading, std::string::npos);
  EXPECT_NE(unmeasured.find(u8">张影像有位置但没有离地高度", heading), std::string::npos);
  EXPECT_EQ(unmeasured.find(u8">张影像没有拍摄时间"), std::string::npos);  // all have one
  input.readiness = nullptr;
  const std::string without = pageText(input);
  for (const char* piece : {"class=\"rv", "id=readiness", "class=first", "data-o=", "id=sort",
                            "\"gaps\"", "<div class=nomap"}) {
    EXPECT_EQ(without.find(piece), std::string::npos) << piece;
  }
}

TEST(PageReadiness, EachFindingIsOneLineWithItsPhotosAndTheirMeasures) {
  const SurveyRun run;
  const std::string page = pageText(run.input());
  const std::size_t findings = page.find("<ul class=findings>");
  ASSERT_NE(findings, std::string::npos);
  EXPECT_LT(findings, page.find("<table class=flagged>"));
  struct Line {
    const char* summary;
    const char* photo;  // its first photo's row
  };
  const Line lines[] = {
      {u8">覆盖缺口：少于5张影像可见的区域</span> — 2 <span data-t=67>张可见</span> (2 ",
       u8"<li data-i=0>a.jpg — 2 <span data-t=67>张可见</span></li>"},
      {u8">航向重叠低于70%</span> <span data-t=65>架次</span> 2 <span data-t=66>航线</span> 2 — "
       u8"50% (2 ",
       u8"<li data-i=1>b.jpg — 60%</li>"},
  };
  std::size_t from = findings;
  for (const Line& line : lines) {
    const std::size_t summary = page.find(line.summary, from);
    ASSERT_NE(summary, std::string::npos) << line.summary;
    const std::size_t end = page.find("</li>\n</ol>", summary);
    EXPECT_LT(page.find("</summary>", summary), page.find("<ol>", summary));
    EXPECT_LT(page.find(line.photo, summary), end + 6) << line.photo;
    from = end;
  }
  EXPECT_EQ(countOf(page, "<li class=risk><details><summary>"), 2u);
  EXPECT_NE(page.find(u8"<span data-t=61>重建风险</span>: 2</h2>"), std::string::npos);
}

TEST(PageReadiness, HoldsBackALongListOfAFindingsPhotosAndCountsWhatItLeftOut) {
  SurveyRun run;
  platform::PathList many;
  std::vector<ImageFacts> facts;
  run.result.photos.resize(120);
  readiness::Finding& oblique = run.result.findings[1];
  oblique.cause = readiness::FindingCause::horizonInView;
  oblique.photos.clear();
  for (std::uint32_t k = 0; k < 120; ++k) {
    many.push_back(platform::FilePath("set/IMG_" + std::to_string(k) + ".JPG"));
    facts.push_back(run.facts[k % 5]);
    oblique.photos.push_back(k);
  }
  oblique.photoCount = 130;
  run.result.findingsLeftOut = 3;
  PageInput input = run.input();
  input.images = &many;
  input.facts = &facts;
  const std::string page = pageText(input);
  const std::size_t line = page.find(u8">倾斜影像：云台俯仰角高于-20度");
  ASSERT_NE(line, std::string::npos);
  const std::size_t end = page.find("</details></li>", line);
  EXPECT_LT(page.find("<script type=text/html class=part><li data-i=50>", line), end);
  EXPECT_LT(page.find("(<span class=left>70</span>)</button>", line), end);
  EXPECT_LT(page.find(u8"<p>10 <span data-t=64>张未列出</span></p>", line), end);
  EXPECT_NE(page.find(u8"<p>3 <span data-t=63>条发现未列出</span></p>"), std::string::npos);
}

TEST(PageReadiness, TheFlaggedTableShowsFlightTimeAndPositionAndItsOrderByFlight) {
  const SurveyRun run;
  const std::string page = pageText(run.input());
  EXPECT_NE(page.find(u8"<button id=sort type=button data-by=i><span><span data-t=69>"
                      u8"按架次和拍摄顺序排序</span></span><span hidden>"),
            std::string::npos);
  // Path order stays the table's; data-o is the place by flight, then time.
  struct Row {
    const char* start;
  };
  const Row rows[] = {
      {"<tr id=r0 data-i=0 data-o=2><td class=n>a.jpg</td><td>2</td><td>2024-05-18 10:00:00</td>"
       "<td>30.260000, 120.100000</td><td>"},
      {"<tr id=r2 data-i=2 data-o=1><td class=n>c.jpg</td><td>1</td><td>2024-05-17 09:00:00"},
      {"<tr id=r3 data-i=3 data-o=0><td class=n>d.jpg</td><td>1</td><td>2024-05-17 08:00:00"},
      {"<tr id=r4 data-i=4 data-o=3><td class=n>e.jpg</td>"},
  };
  std::size_t from = 0;
  for (const Row& row : rows) {
    const std::size_t at = page.find(row.start);
    EXPECT_GT(at, from) << row.start;
    from = at == std::string::npos ? from : at;
  }
  EXPECT_NE(page.find(u8"<th><span data-t=47>位置</span></th>"), std::string::npos);
}

TEST(PageReadiness, TheMapDrawsFootprintsByFlightBreaksTheLineBetweenLinesAndOutlinesGaps) {
  const SurveyRun run;
  const std::string page = pageText(run.input());
  EXPECT_LT(page.find("<div class=first><div class=lists>"), page.find("<table class=flagged>"));
  EXPECT_LT(page.find("</div><div class=where>"), page.find("<canvas"));
  const rapidjson::Document data = mapData(page);
  ASSERT_TRUE(data.IsObject());
  // b.jpg (passed) drawn first: flight 1 (0-based), 4000 x 3000 pixels of
  // 2 cm are 80 m across and 60 m along its heading, 90 degrees; the set
  // is 133 m from south to north, 900 map units: 6.75 units a metre.
  const rapidjson::Value& dots = data["dots"];
  ASSERT_EQ(dots.Size(), 5u);
  ASSERT_EQ(dots[0].Size(), 18u);
  EXPECT_EQ(dots[0][0].GetInt(), 1);
  EXPECT_EQ(dots[0][8].GetInt(), 1);
  EXPECT_NEAR(dots[0][9].GetDouble() / dots[0][10].GetDouble(), 0.75, 0.01);
  EXPECT_NEAR(dots[0][10].GetInt() / 10.0, 80 * 900 / 133.43, 1.5);
  EXPECT_EQ(dots[0][11].GetInt(), 90);
  // Its details: line 1 (0-based), no height, GSD 2.00 cm, forward overlap
  // 60 %, no side overlap, 3 views; no pitch and no smear, left out at the
  // end; and their words.
  EXPECT_EQ(dots[0][12].GetInt(), 1);
  EXPECT_TRUE(dots[0][13].IsNull());
  EXPECT_EQ(dots[0][14].GetInt(), 200);
  EXPECT_EQ(dots[0][15].GetInt(), 60);
  EXPECT_TRUE(dots[0][16].IsNull());
  EXPECT_EQ(dots[0][17].GetInt(), 3);
  ASSERT_EQ(data["rw"].Size(), 9u);
  EXPECT_EQ(data["rw"][0].GetInt(), 65);  // flight
  // The coverage raster: its south-west corner where a.jpg stands, a cell
  // 0.0001 degree of latitude (11.12 m) high; its bytes the views, 127 at
  // most, and 128 in the gap's cell.
  const rapidjson::Value& cov = data["cov"];
  ASSERT_EQ(cov.Size(), 7u);
  const rapidjson::Value* a = nullptr;
  for (const rapidjson::Value& dot : dots.GetArray()) {
    if (dot[0].GetInt() == 0) a = &dot;
  }
  ASSERT_NE(a, nullptr);
  EXPECT_NEAR(cov[0].GetDouble(), (*a)[1].GetDouble(), 0.6);
  EXPECT_NEAR(cov[1].GetDouble(), (*a)[2].GetDouble(), 0.6);
  EXPECT_NEAR(cov[3].GetDouble(), 11.119 * 900 / 133.43, 0.05);
  EXPECT_EQ(cov[4].GetInt(), 2);
  EXPECT_EQ(cov[5].GetInt(), 2);
  EXPECT_STREQ(cov[6].GetString(), "gwcMfw==");
  // Capture order d, c | a, b | e: two breaks, between the lines.
  std::vector<int> track;
  for (const rapidjson::Value& k : data["track"].GetArray()) {
    track.push_back(k.GetInt() < 0 ? -1 : dots[k.GetInt()][0].GetInt());
  }
  EXPECT_EQ(track, (std::vector<int>{3, 2, -1, 0, 1, -1, 4}));
  // The gap's photos, a.jpg and e.jpg, by their places among the dots.
  ASSERT_EQ(data["gaps"].Size(), 1u);
  ASSERT_EQ(data["gaps"][0].Size(), 2u);
  EXPECT_EQ(dots[data["gaps"][0][0].GetInt()][0].GetInt(), 0);
  EXPECT_EQ(dots[data["gaps"][0][1].GetInt()][0].GetInt(), 4);
  // Each flight's colour, in the data and in the legend.
  ASSERT_EQ(data["flightColours"].Size(), 8u);
  for (const unsigned flight : {0u, 1u}) {
    const std::string key = std::string("<span class=key style=\"border-radius:0;background:") +
                            data["flightColours"][flight].GetString() + "\"></span>";
    EXPECT_NE(page.find(key + u8"<span data-t=65>架次</span> " + std::to_string(flight + 1)),
              std::string::npos);
  }
}

// a.jpg and b.jpg, one line 22 m apart, with footprints of 8 m by 6 m: the
// ground between them is not covered, and the line breaks there too.
TEST(PageReadiness, TheLineBreaksWhereNeighboursFootprintsDoNotMeet) {
  SurveyRun run;
  run.result.photos[0].gsdCm = run.result.photos[1].gsdCm = 0.2f;
  const rapidjson::Document data = mapData(pageText(run.input()));
  ASSERT_TRUE(data.IsObject());
  const rapidjson::Value& dots = data["dots"];
  std::vector<int> track;
  for (const rapidjson::Value& k : data["track"].GetArray()) {
    track.push_back(k.GetInt() < 0 ? -1 : dots[k.GetInt()][0].GetInt());
  }
  EXPECT_EQ(track, (std::vector<int>{3, 2, -1, 0, -1, 1, -1, 4}));
}

TEST(PageReadiness, ASetWithoutAnyPositionGetsNoEmptyMap) {
  SurveyRun run;
  for (ImageFacts& photo : run.facts) photo.latitude = photo.longitude = 0;
  const std::string page = pageText(run.input());
  const std::size_t hidden = page.find("<div class=nomap>\n<h2>");
  ASSERT_NE(hidden, std::string::npos);
  EXPECT_LT(hidden, page.find("<canvas"));
  EXPECT_NE(page.find(".nomap>h2,.nomap>p,.nomap canvas{display:none}"), std::string::npos);
  EXPECT_NE(page.find("<li data-i=0>a.jpg</li>"), std::string::npos);  // without a position
}

}  // namespace
