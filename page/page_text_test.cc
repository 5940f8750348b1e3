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

ImageFacts photoAt(double latitude, double longitude, double altitude) {
  ImageFacts facts;
  facts.read = ImageRead::decoded;
  facts.latitude = latitude;
  facts.longitude = longitude;
  facts.altitude = altitude;
  return facts;
}

// Three photos: one that passes, one of another size (flagged by the
// resolution check) whose name holds markup, and one without GPS.
struct SmallRun {
  platform::PathList images{"set/DJI_0001.JPG", "set/a<b>&\"c.jpg", "set/nogps.jpg"};
  std::vector<ImageFacts> facts{photoAt(30.2600, 120.1000, 100), photoAt(30.2610, 120.1010, 100),
                                photoAt(0, 0, 0)};
  CheckOutcome resolution{{{"120*160", {1}}, {"160*120", {0, 2}}}, {1}};
  CheckOutcome gps{{{"1", {2}}}, {2}};

  PageInput input() const {
    PageInput page;
    page.status = 1;
    page.settings = {{"image folder", "set"}, {"output folder", "out<put>"}};
    page.images = &images;
    page.facts = &facts;
    page.outcomes[0] = &resolution;
    page.outcomes[3] = &gps;
    return page;
  }
};

TEST(PageText, DrawsOneDotPerPhotoWithAPosition) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  EXPECT_EQ(countOf(page, "<circle "), 2u);
  EXPECT_NE(page.find("<circle id=d0 "), std::string::npos);
  EXPECT_NE(page.find("<circle id=d1 "), std::string::npos);
  EXPECT_EQ(page.find("id=d2"), std::string::npos);
  // Coloured by the check that flagged it, grey when it passed.
  const std::size_t dot1 = page.find("<circle id=d1 ");
  EXPECT_NE(page.find("class=c0>", dot1), std::string::npos);
  EXPECT_LT(page.find("class=c0>", dot1), page.find("</circle>", dot1));
  const std::size_t dot0 = page.find("<circle id=d0 ");
  EXPECT_LT(page.find("class=p>", dot0), page.find("</circle>", dot0));
  // The photo without a position is listed beside the map, clickable.
  EXPECT_NE(page.find("<li data-i=2>nogps.jpg</li>"), std::string::npos);
  EXPECT_NE(page.find(" m</text>"), std::string::npos);  // the scale bar
  EXPECT_NE(page.find(">N</text>"), std::string::npos);  // the north arrow
}

TEST(PageText, EscapesNamesAndValuesAndFetchesNothing) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(page.find("<li data-i=1>a&lt;b&gt;&amp;&quot;c.jpg</li>"), std::string::npos);
  EXPECT_EQ(page.find("a<b>"), std::string::npos);
  EXPECT_NE(page.find("out&lt;put&gt;"), std::string::npos);
  for (const char* fetch : {"src=", "href=", "url(", "@import", "http:", "https:"}) {
    if (std::string(fetch) == "http:") {
      // The SVG namespace name is the one http: text, and it is never fetched.
      EXPECT_EQ(countOf(page, fetch), 1u);
      continue;
    }
    EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
  }
}

TEST(PageText, ListsFlaggedGroupsFirstAndChecksThatDidNotRun) {
  const SmallRun run;
  const std::string page = pageText(run.input());
  const std::size_t flagged = page.find("120*160: 1 photo, flagged");
  const std::size_t majority = page.find("160*120: 2 photos</summary>");
  ASSERT_NE(flagged, std::string::npos);
  ASSERT_NE(majority, std::string::npos);
  EXPECT_LT(flagged, majority);
  EXPECT_NE(page.find("camera maker: not run"), std::string::npos);
  EXPECT_NE(page.find("GPS: 1 flagged"), std::string::npos);
  EXPECT_NE(page.find("with a position: 2 photos"), std::string::npos);
  EXPECT_NE(page.find("The set failed"), std::string::npos);
}

TEST(PageText, ARunWithoutImagesStillMakesAPage) {
  PageInput input;
  input.status = 1;
  const std::string page = pageText(input);
  EXPECT_NE(page.find("0 images"), std::string::npos);
  EXPECT_EQ(countOf(page, "<circle "), 0u);
  EXPECT_NE(page.find("</html>"), std::string::npos);
}

}  // namespace
