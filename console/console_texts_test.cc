// Every console text in its two forms: the GBK bytes must decode to the UTF-8
// form beside them. The decoding is the iconv command's, so a wrong escape in
// the texts header cannot hide behind a wrong expectation written the same
// way; the Linux executable itself never converts (it is static and carries
// both forms).
#include "console/console_texts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "gtest/gtest.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// Byte lengths of the GBK forms, in the order of texts::kTextForms.
const std::size_t kGbkBytes[] = {21, 21, 23, 30, 60, 22, 26, 20, 23,
                                 16, 14, 19, 17, 17, 15, 12, 17};

#ifndef _WIN32
std::string temporaryPath(const char* name) {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/" + name;
}

// What `iconv -f GBK -t UTF-8` makes of `gbk`. False when the command cannot
// be run or cannot read it.
bool iconvGbkToUtf8(const std::string& gbk, std::string& utf8) {
  const std::string in = temporaryPath(("pc_texts_" + std::to_string(::getpid())).c_str());
  std::FILE* file = std::fopen(in.c_str(), "wb");
  if (file == nullptr) return false;
  std::fwrite(gbk.data(), 1, gbk.size(), file);
  std::fclose(file);
  std::FILE* pipe = ::popen(("iconv -f GBK -t UTF-8 '" + in + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[512];
  std::size_t got = 0;
  utf8.clear();
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) utf8.append(buffer, got);
  const int status = ::pclose(pipe);
  std::remove(in.c_str());
  return status == 0;
}
#endif

TEST(ConsoleTexts, EveryChineseTextHasBothForms) {
  ASSERT_EQ(std::size(texts::kTextForms), std::size(kGbkBytes));
  for (std::size_t i = 0; i < std::size(kGbkBytes); ++i) {
    SCOPED_TRACE(texts::kTextForms[i].utf8);
    EXPECT_EQ(std::strlen(texts::kTextForms[i].gbk), kGbkBytes[i]);
    EXPECT_EQ(texts::utf8FormOf(texts::kTextForms[i].gbk), texts::kTextForms[i].utf8);
  }
  // A plain ASCII text is its own UTF-8 form.
  EXPECT_EQ(texts::utf8FormOf(texts::kImageCount), texts::kImageCount);
}

TEST(ConsoleTexts, Utf8FormsAreWhatIconvReadsInTheGbkForms) {
#ifdef _WIN32
  GTEST_SKIP() << "the iconv command is a Linux tool";
#else
  std::string probe;
  if (!iconvGbkToUtf8("a", probe)) GTEST_SKIP() << "no iconv command that knows GBK";
  for (const texts::TextForms& forms : texts::kTextForms) {
    SCOPED_TRACE(forms.utf8);
    std::string utf8;
    ASSERT_TRUE(iconvGbkToUtf8(forms.gbk, utf8));
    EXPECT_EQ(utf8, forms.utf8);
  }
#endif
}

}  // namespace
