#include "page/html_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

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
      {"right-to-left override", "a\xe2\x80\xaegpj.exe", "a\\u202Egpj.exe"},
      {"left-to-right embedding", "\xe2\x80\xaa", "\\u202A"},
      {"first isolate", "\xe2\x81\xa6x", "\\u2066x"},
      {"pop directional isolate", "\xe2\x81\xa9", "\\u2069"},
      {"line separator", "\xe2\x80\xa8", "\\u2028"},
      {"paragraph separator", "\xe2\x80\xa9", "\\u2029"},
      {"zero-width space", "DJI_0001\xe2\x80\x8b.JPG", "DJI_0001\\u200B.JPG"},
      {"right-to-left mark", "\xe2\x80\x8f", "\\u200F"},
      {"soft hyphen",
       "a\xc2\xad"
       "b",
       "a\\u00ADb"},
      {"combining grapheme joiner", "\xcd\x8f", "\\u034F"},
      {"Arabic letter mark", "\xd8\x9c", "\\u061C"},
      {"Hangul fillers", "\xe1\x85\x9f\xe1\x85\xa0\xe3\x85\xa4\xef\xbe\xa0",
       "\\u115F\\u1160\\u3164\\uFFA0"},
      {"Khmer inherent vowel", "\xe1\x9e\xb5", "\\u17B5"},
      {"Mongolian vowel separator", "\xe1\xa0\x8e", "\\u180E"},
      {"word joiner", "\xe2\x81\xa0", "\\u2060"},
      {"unassigned U+2065 and nominal digit shapes", "\xe2\x81\xa5\xe2\x81\xaa\xe2\x81\xaf",
       "\\u2065\\u206A\\u206F"},
      {"variation selector 16", "\xef\xb8\x8f", "\\uFE0F"},
      {"byte order mark",
       "\xef\xbb\xbf"
       "a.jpg",
       "\\uFEFFa.jpg"},
      {"reserved U+FFF0", "\xef\xbf\xb0", "\\uFFF0"},
      {"shorthand format", "\xf0\x9b\xb2\xa0", "\\u{1BCA0}"},
      {"musical begin beam", "\xf0\x9d\x85\xb3", "\\u{1D173}"},
      {"a tag and the last reserved one", "\xf3\xa0\x80\x81\xf3\xa0\xbf\xbf",
       "\\u{E0001}\\u{E0FFF}"},
      {"neighbours stay",
       "\xc2\xac\xcd\x8e\xe2\x80\x8a\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\x9f\xe2\x81\xb0"
       "\xef\xb8\x90\xef\xbf\xb9\xf0\x9d\x85\xbb\xf3\xa1\x80\x80",
       "\xc2\xac\xcd\x8e\xe2\x80\x8a\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\x9f\xe2\x81\xb0"
       "\xef\xb8\x90\xef\xbf\xb9\xf0\x9d\x85\xbb\xf3\xa1\x80\x80"},
      {"empty", "", ""},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(htmlText(c.input), c.wanted) << c.what;
  }
}

// On POSIX a backslash is a name byte and is escaped, so a name holding the
// text \xFF differs from one holding the byte; on Windows it separates.
TEST(HtmlText, ShowsABackslashInANameEscaped) {
  const bool separator = platform::kPathSeparator == '\\';
  EXPECT_EQ(htmlText("a\\b.jpg"), separator ? "a\\b.jpg" : "a\\x5Cb.jpg");
  EXPECT_EQ(htmlText("\\xFF"), separator ? "\\xFF" : "\\x5CxFF");
  if (!separator) {
    EXPECT_NE(htmlText("\\xFF"), htmlText("\xff"));
  }
}

// The map's data carries names as script text: the same shown form, markup
// characters as they are.
TEST(HtmlText, ShowsNamesForTheScriptInTheSameFormWithoutReferences) {
  std::string shown = "[";
  appendShownText(shown, "<b>&\"\xcf\n\xe2\x80\xae.jpg");
  EXPECT_EQ(shown, "[<b>&\"\\xCF\\x0A\\u202E.jpg");
}

TEST(HtmlText, AppendsToWhatIsThere) {
  std::string page = "<p>";
  appendHtmlText(page, "<b>");
  EXPECT_EQ(page, "<p>&lt;b&gt;");
}

}  // namespace
