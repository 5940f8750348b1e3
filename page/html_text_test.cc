#include "page/html_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EscapeCase {
  const char* what;
  std::string input;
  std::string wanted;
};

TEST(HtmlText, ShowsEveryNameAsExactText) {
  const EscapeCase cases[] = {
      {"plain ASCII", "DJI_0001.JPG", "DJI_0001.JPG"},
      {"markup", "<script>.jpg", "&lt;script&gt;.jpg"},
      {"ampersand and quotes", "a&b\"c'd.jpg", "a&amp;b&quot;c&#39;d.jpg"},
      {"a character reference stays text", "&amp;.jpg", "&amp;amp;.jpg"},
      {"UTF-8 Chinese", "\xe5\xbd\xb1\xe5\x83\x8f.jpg", "\xe5\xbd\xb1\xe5\x83\x8f.jpg"},
      {"four-byte UTF-8", "\xf0\x9f\x93\xb7.jpg", "\xf0\x9f\x93\xb7.jpg"},
      {"a GBK name is not UTF-8", "\xcf\xf1.jpg", "\\xCF\\xF1.jpg"},
      {"a cut sequence", "a\xe5\xbd", "a\\xE5\\xBD"},
      {"an overlong form", "\xc0\xaf", "\\xC0\\xAF"},
      {"a surrogate", "\xed\xa0\x80", "\\xED\\xA0\\x80"},
      {"above U+10FFFF", "\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"control bytes", std::string("a\nb\tc\0d\x7f", 8), "a\\x0Ab\\x09c\\x00d\\x7F"},
      {"a lone continuation byte", "\x80", "\\x80"},
      {"empty", "", ""},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(htmlText(c.input), c.wanted) << c.what;
  }
}

TEST(HtmlText, AppendsToWhatIsThere) {
  std::string page = "<p>";
  appendHtmlText(page, "<b>");
  EXPECT_EQ(page, "<p>&lt;b&gt;");
}

}  // namespace
