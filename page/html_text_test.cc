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
      {"neighbours stay", "\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa",
       "\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa"},
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
