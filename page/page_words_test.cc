#include "page/page_words.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PageWords, EachWordStandsInChineseAndBothListsHoldIt) {
  struct Case {
    Word word;
    const char* markup;
    const char* english;
  };
  const Case cases[] = {
      {Word::setPassed, u8"<span data-t=0>影像检查通过</span>", "\"The set passed\""},
      {Word::resolution, u8">分辨率</span>", "\"resolution\""},
      {Word::cameraMaker, u8">相机制造商</span>", "\"camera maker\""},
      {Word::focalLength, u8">焦距</span>", "\"focal length\""},
      {Word::withoutGps, u8">没有GPS位置</span>", "\"without GPS position\""},
      {Word::notJpeg, u8">不是JPEG文件</span>", "\"not a JPEG\""},
  };
  std::string lists;
  appendWordLists(lists);
  const std::size_t english = lists.find("en:[");
  ASSERT_NE(english, std::string::npos);
  for (const Case& c : cases) {
    std::string page;
    appendWord(page, c.word);
    EXPECT_NE(page.find(c.markup), std::string::npos) << page;
    EXPECT_GT(lists.find(c.english), english) << c.english;
  }
}

// A count of one takes the word's form for one photo ("1 photo", not
// "1 photos"); Chinese has one form for both.
TEST(PageWords, CountsOfPhotosTakeTheFormForOneOrMany) {
  struct Case {
    long long count;
    Word word;
    Word shown;
  };
  const Case cases[] = {
      {1, Word::photos, Word::photo},
      {2, Word::photos, Word::photos},
      {0, Word::photos, Word::photos},
      {1, Word::photosWithoutTime, Word::photoWithoutTime},
      {12, Word::photosWithoutTime, Word::photosWithoutTime},
      {1, Word::photosWithoutHeight, Word::photoWithoutHeight},
      {1, Word::flaggedGroup, Word::flaggedGroup},  // not a count's word
  };
  for (const Case& c : cases) {
    std::string page;
    appendPhotoCount(page, c.count, c.word);
    std::string expected = std::to_string(c.count) + ' ';
    appendWord(expected, c.shown);
    EXPECT_EQ(page, expected) << c.count;
  }
  std::string lists;
  appendWordLists(lists);
  EXPECT_NE(lists.find("\"photo\","), std::string::npos);
  EXPECT_NE(lists.find("\"photo without a capture time: in no flight or line\","),
            std::string::npos);
}

TEST(PageWords, NamesChecksProblemsAndSettings) {
  EXPECT_EQ(checkWord(0), Word::resolution);
  EXPECT_EQ(checkWord(3), Word::gps);
  EXPECT_EQ(checkWord(4), Word::count);
  EXPECT_EQ(problemWord(ImageProblem::noExif), Word::noExif);
  EXPECT_EQ(problemWord(ImageProblem::none), Word::count);
  EXPECT_EQ(settingWord("image folder"), Word::imageFolder);
  EXPECT_EQ(settingWord("GPS check"), Word::gpsCheck);
  EXPECT_EQ(settingWord("something else"), Word::count);
  std::string page = "x";
  appendWord(page, Word::count);
  EXPECT_EQ(page, "x");
}

}  // namespace
