// The console writer's choice per write: the system's bytes, or UTF-8 for a
// UTF-8 terminal and PHOTOCHECK_CHARSET=UTF-8.
#include "console/console.h"

#include <string>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "tests/support/captured_output.h"

namespace {

// Puts the console back to bytes, as every other test expects it.
struct FormsInUse {
  explicit FormsInUse(const console::OutputForms& forms) { console::setOutputForms(forms); }
  ~FormsInUse() { console::setOutputForms(console::OutputForms{}); }
};

constexpr char kLongText[] =
    "a text of a hundred bytes and more, longer than the room a numbered line is made in: number ";

std::string oneOfEach() {
  CapturedOutput out;
  console::text(texts::kGroupErrorCount);
  console::write(std::uint64_t{2});
  console::endLine();
  console::text(texts::kImageCount);
  console::line("\xd5\xd5.jpg");
  console::line(console::BothForms{"?.jpg", "\xc5\x8c.jpg"});
  console::numberedLine(texts::kGroupErrorCount, 18446744073709551615u);  // 2^64 - 1
  // A text too long for the room a numbered line is made in: the same bytes.
  console::numberedLine(kLongText, 7);
  return out.text();
}

TEST(Console, EachWriteTakesTheFormTheConsoleWants) {
  const std::string settingBytes = "\xd5\xd5.jpg\n";
  struct Case {
    console::OutputForms forms;
    std::string written;
  };
  const Case cases[] = {
      {{},
       std::string(texts::kGroupErrorCount) + "2\nThe number of images: " + settingBytes +
           "?.jpg\n" + texts::kGroupErrorCount + "18446744073709551615\n" + kLongText + "7\n"},
      {{true, false, false},
       std::string(u8"该类错误影像共：") + "2\nThe number of images: " + settingBytes +
           "\xc5\x8c.jpg\n" + u8"该类错误影像共：" + "18446744073709551615\n" + kLongText + "7\n"},
      {{true, false, true},
       std::string(u8"该类错误影像共：") + "2\nThe number of images: " + settingBytes +
           "\xc5\x8c.jpg\n" + u8"该类错误影像共：" + "18446744073709551615\n" + kLongText + "7\n"},
  };
  for (const Case& c : cases) {
    FormsInUse forms(c.forms);
#ifdef _WIN32
    // Settings are ANSI bytes there, converted for a UTF-8 console.
    if (c.forms.consoleUtf8) continue;
#endif
    EXPECT_EQ(oneOfEach(), c.written);
  }
}

TEST(Console, NothingIsSetUpUntilTheRunAsks) {
  EXPECT_FALSE(console::outputForms().consoleUtf8);
  EXPECT_FALSE(console::outputForms().wideConsole);
  EXPECT_FALSE(console::outputForms().reportUtf8);
}

}  // namespace
