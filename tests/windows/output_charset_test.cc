// The report and the console in the character set a reader asks for, run
// under code page 1252 and under 936:
//   - by default error.json is in the ANSI code page and a reader that
//     decodes it in that code page gets valid JSON and the exact names, also
//     for a GBK character whose second byte is 0x5C (乗);
//   - with PHOTOCHECK_CHARSET=UTF-8 the console and error.json are UTF-8 and
//     every name is exact, made from its UTF-16 name (no "?");
//   - a console is written in UTF-16: the text it is given is checked here,
//     since under Wine a test's standard output is a pipe, never a console.
#include <rapidjson/document.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/windows_console.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"
#include "tests/support/temp_folder.h"
#include "tests/windows/code_page.h"
#include "tests/windows/wide_files.h"

namespace {

using namespace e2e;

const Switches kGpsOnly{false, false, false, true};

// Sets PHOTOCHECK_CHARSET for the test process and the runs it starts.
struct CharsetVariable {
  explicit CharsetVariable(const wchar_t* value) {
    ::SetEnvironmentVariableW(L"PHOTOCHECK_CHARSET", value);
  }
  ~CharsetVariable() { ::SetEnvironmentVariableW(L"PHOTOCHECK_CHARSET", nullptr); }
};

std::string utf8Of(const std::wstring& wide) { return platform::utf8FromWide(wide); }

// `bytes` read in `codePage`, as UTF-8.
std::string decoded(const std::string& bytes, UINT codePage) {
  const int size = static_cast<int>(bytes.size());
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(
      codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), size)));
  return utf8Of(wide);
}

// The names of the report's single group, parsed as UTF-8 JSON and sorted;
// a report that does not parse fails the test.
std::vector<std::string> reportedNames(const std::string& utf8Json) {
  rapidjson::Document report;
  report.Parse<rapidjson::kParseValidateEncodingFlag>(utf8Json.c_str());
  EXPECT_FALSE(report.HasParseError()) << "offset " << report.GetErrorOffset() << ": " << utf8Json;
  std::vector<std::string> names;
  if (report.HasParseError()) return names;
  for (const auto& name : report["errors"][0]["images"].GetArray()) {
    names.emplace_back(name.GetString(), name.GetStringLength());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class OutputCharset : public testing::Test {
 protected:
  void SetUp() override { codepage::expectTheIntendedOne(); }
  void TearDown() override { widefiles::removeTree(root_.path()); }

  // Files that are no photos, under `names`: the GPS check reports each.
  PhotoRun runOver(const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) {
      widefiles::writeFile(widefiles::extended(root_.path(), L"images\\" + name), {'n', 'o', 't'});
    }
    return runOn(root_, images_, output_, kGpsOnly);
  }

  TempFolder root_;
  const std::string images_ = root_ / "images";
  const std::string output_ = root_ / "out";
};

// 乗 (U+4E57) is 81 5C in GBK: the report keeps the 0x5C as the character's
// second byte, at a name's end too, and reads back in GBK.
TEST_F(OutputCharset, AGbkReportReadsBackInItsCodePage) {
  if (!codepage::chinese()) GTEST_SKIP() << "code page 1252 holds no 乗";
  const PhotoRun r = runOver({L"\u4e57x.jpg", L"y\u4e57"});
  ASSERT_TRUE(r.report.has_value());
  EXPECT_NE(r.report->find("\"\x81\x5cx.jpg\""), std::string::npos) << *r.report;
  EXPECT_NE(r.report->find("\"y\x81\x5c\""), std::string::npos) << *r.report;
  EXPECT_EQ(reportedNames(decoded(*r.report, 936)),
            (std::vector<std::string>{u8"y\u4e57", u8"\u4e57x.jpg"}));
  EXPECT_EQ(asLineFeeds(lastLine(r.run.out)), *r.report);
  EXPECT_EQ(r.run.status, 1);
}

// With PHOTOCHECK_CHARSET=UTF-8 every name is exact, whatever the code page
// holds of it, and the console is UTF-8 too.
TEST_F(OutputCharset, Utf8ReportNamesEveryPhotoExactly) {
  const CharsetVariable utf8(L"uTf-8");
  const std::vector<std::wstring> names = {L"\u014csaka.jpg", L"\u4e57x.jpg", L"y\u4e57",
                                           L"\u7167\u7247_0011.JPG"};
  const PhotoRun r = runOver(names);
  ASSERT_TRUE(r.report.has_value());
  std::vector<std::string> expected;
  for (const std::wstring& name : names) expected.push_back(utf8Of(name));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(reportedNames(*r.report), expected);
  EXPECT_EQ(asLineFeeds(lastLine(r.run.out)), *r.report);
  EXPECT_NE(r.report->find(u8"\"error_des\":\"没有gps信息.\""), std::string::npos);
  const std::string console = asLineFeeds(r.run.out);
  EXPECT_NE(console.find(u8"开始检测输入影像是否含有gps...\n"), std::string::npos);
  for (const std::string& name : expected) {
    EXPECT_NE(console.find(u8"不相同的文件名为： " + name + "\n"), std::string::npos) << name;
  }
  EXPECT_EQ(r.run.status, 1);
}

// Any other value keeps the ANSI code page's bytes.
TEST_F(OutputCharset, AnotherValueKeepsTheCodePage) {
  const CharsetVariable other(L"UTF8");
  const PhotoRun r = runOver({L"a.jpg"});
  EXPECT_EQ(r.report, jsonReport({jsonGroup(104, texts::kGpsDescription, {"a.jpg"})}));
}

// What a console is given: the UTF-8 text as UTF-16, CR LF line ends, and a
// name from its exact UTF-16 form.
TEST_F(OutputCharset, TheConsoleGetsTheExactWideText) {
  EXPECT_EQ(platform::wideConsoleText(u8"不相同的文件名为： Ōsaka.jpg\n1\n"),
            L"\u4e0d\u76f8\u540c\u7684\u6587\u4ef6\u540d\u4e3a\uff1a \u014csaka.jpg\r\n1\r\n");
  platform::FilePath folder(images_);
  platform::FolderEntry entry{"?saka.jpg", L"\u014csaka.jpg", false};
  EXPECT_EQ(platform::utf8NameOf(platform::childPath(folder, entry)), u8"\u014csaka.jpg");
  EXPECT_EQ(platform::utf8FromSystemText("a\\b"), "a\\b");
}

// The console writer on a real console of this process's own: what
// WriteConsoleW put on the screen is read back from the screen buffer. Under
// Wine this needs a terminal: ctest gives none, so it skips there, and
// tests/windows/CMakeLists.txt runs it once more on a pseudo-terminal.
TEST_F(OutputCharset, AConsoleShowsTheTextsAndTheExactName) {
  // The console of this process, or a new one where it has none.
  auto openScreen = [] {
    return ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  CONSOLE_SCREEN_BUFFER_INFO info;
  HANDLE screen = openScreen();
  bool made = false;
  if (screen == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(screen, &info)) {
    if (screen != INVALID_HANDLE_VALUE) ::CloseHandle(screen);
    made = ::AllocConsole() != 0;
    screen = openScreen();
  }
  if (screen == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(screen, &info)) {
    if (screen != INVALID_HANDLE_VALUE) ::CloseHandle(screen);
    if (made) ::FreeConsole();
    // Wine started without a terminal makes a console that has no screen.
    // The run that CMake starts on a pseudo-terminal must have one.
    if (std::getenv("PHOTOCHECK_NEED_CONSOLE") != nullptr) FAIL() << "no console on a terminal";
    GTEST_SKIP() << "no console with a screen buffer here";
  }
  const HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
  ::SetStdHandle(STD_OUTPUT_HANDLE, screen);
  EXPECT_EQ(platform::standardOutputKind(), platform::StandardOutput::wideConsole);
  console::setUpOutput();
  const bool wide = console::outputForms().wideConsole && console::outputForms().consoleUtf8;
  console::text(texts::kErrorImageName);
  console::line(console::BothForms{"?saka.jpg", u8"\u014csaka.jpg"});
  console::setOutputForms(console::OutputForms{});
  ::SetStdHandle(STD_OUTPUT_HANDLE, saved);

  // The line just written ends above the cursor (the screen may have
  // scrolled). Wide characters may take two cells: compare the characters.
  ASSERT_TRUE(::GetConsoleScreenBufferInfo(screen, &info));
  const SHORT row = static_cast<SHORT>(info.dwCursorPosition.Y - 1);
  std::wstring cells(static_cast<std::size_t>(info.dwSize.X), L' ');
  DWORD read = 0;
  ASSERT_TRUE(
      ::ReadConsoleOutputCharacterW(screen, cells.data(), info.dwSize.X, COORD{0, row}, &read));
  std::wstring shown;
  for (const wchar_t c : cells.substr(0, read)) {
    if (shown.empty() || c != shown.back() || c < 0x2e80) shown += c;
  }
  ::CloseHandle(screen);
  if (made) ::FreeConsole();
  EXPECT_TRUE(wide);
  EXPECT_EQ(shown.substr(0, shown.find_last_not_of(L' ') + 1),
            L"\u4e0d\u76f8\u540c\u7684\u6587\u4ef6\u540d\u4e3a\uff1a \u014csaka.jpg");
}

}  // namespace
