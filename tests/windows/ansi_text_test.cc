// The ANSI code page and UTF-16 forms of a path, under code page 1252 and
// under 936: conversions, the native form, and bare names cut only at whole
// separators.
#include <windows.h>

#include "checks/file_name.h"
#include "gtest/gtest.h"
#include "platform/windows_paths.h"
#include "tests/windows/code_page.h"

namespace {

class AnsiText : public testing::Test {
 protected:
  void SetUp() override { codepage::expectTheIntendedOne(); }
};

// How each name is shown: its bytes in the code page when it holds every
// character (then they turn back into the very name), else '?' for each
// character it lacks. A best fit would show the look-alike in brackets.
TEST_F(AnsiText, NamesAreShownExactlyOrWithQuestionMarks) {
  struct Case {
    const wchar_t* name;
    const char* under1252;
    const char* under936;
    bool heldBy1252;
    bool heldBy936;
  };
  const Case cases[] = {
      {L"photo.jpg", "photo.jpg", "photo.jpg", true, true},
      {L"caf\u00e9.jpg", "caf\xe9.jpg", "caf\xa8\xa6.jpg", true, true},
      {L"\u014csaka.jpg", "?saka.jpg", "?saka.jpg", false, false},              // [Osaka.jpg]
      {L"\uff0a.jpg", "?.jpg", "\xa3\xaa.jpg", false, true},                    // [*.jpg]
      {L"x\uff3c..\uff3c..", "x?..?..", "x\xa3\xdc..\xa3\xdc..", false, true},  // [x\..\..]
      {L"\uff0e\uff0e", "??", "\xa3\xae\xa3\xae", false, true},                 // [..]
      {L"\u7167\u7247.jpg", "??.jpg", "\xd5\xd5\xc6\xac.jpg", false, true},
      {L"\u4e57x.jpg", "?x.jpg", "\x81\x5cx.jpg", false, true},  // second byte 0x5C
      {L"b.jpg. ", "b.jpg. ", "b.jpg. ", true, true},
      {L"lone\xd800half", "lone?half", "lone?half", false, false},  // half a surrogate pair
  };
  for (const Case& c : cases) {
    const std::string shown = codepage::pick(c.under1252, c.under936);
    const std::wstring name = c.name;
    EXPECT_EQ(platform::ansiFromWide(name), shown) << shown;
    if (codepage::chinese() ? c.heldBy936 : c.heldBy1252) {
      EXPECT_EQ(platform::wideFromAnsi(shown), name) << shown;
    }
  }
  EXPECT_EQ(platform::ansiFromWide(L""), "");
  EXPECT_EQ(platform::wideFromAnsi(""), L"");
}

// The native form of a user's path text: absolute, extended, and naming the
// folder a joined name is found in.
TEST_F(AnsiText, UserTextsBecomeExtendedAbsolutePaths) {
  wchar_t current[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 2u);
  const std::wstring here = current;
  struct Case {
    std::string text;
    std::wstring native;  // empty: no such text under this code page
  };
  const Case cases[] = {
      {"C:", L"\\\\?\\C:\\"},
      {"C:\\photos\\", L"\\\\?\\C:\\photos"},
      {"C:/photos//set", L"\\\\?\\C:\\photos\\set"},
      {"C:\\photos\\..\\set\\.", L"\\\\?\\C:\\set"},
      // Each typed name loses its trailing dots and blanks, as Win32 makes
      // the folders one after another.
      {"C:\\photos.", L"\\\\?\\C:\\photos"},
      {"C:\\photos ", L"\\\\?\\C:\\photos"},
      {"C:\\o.\\sub..", L"\\\\?\\C:\\o\\sub"},
      {"C:\\a .\\b. \\", L"\\\\?\\C:\\a\\b"},
      // A device is no folder: its own path, which no folder call takes.
      {"con", L"\\\\.\\con"},
      {"C:\\x\\COM1\\", L"\\\\.\\COM1"},
      {"CONIN$", L"\\\\.\\CONIN$"},
      {"nul\\x", L"\\\\?\\" + here + L"\\nul\\x"},
      {"\\\\server\\share\\photos", L"\\\\?\\UNC\\server\\share\\photos"},
      {"\\\\server\\share", L"\\\\?\\UNC\\server\\share\\"},
      {"\\\\?\\C:\\as\\given.", L"\\\\?\\C:\\as\\given."},
      {"", L"\\\\?\\" + here.substr(0, 3)},
      {"set", L"\\\\?\\" + here + L"\\set"},
      // Converted whole: the 0x5C inside the character is no separator.
      {"C:\\\x81\x5c\\deep", codepage::chinese() ? L"\\\\?\\C:\\\u4e57\\deep" : L""},
  };
  for (const Case& c : cases) {
    if (c.native.empty()) continue;
    EXPECT_EQ(platform::nativePathOf(c.text), c.native) << c.text;
  }
  // No path is longer than 32,767 units: none is made.
  EXPECT_EQ(platform::nativePathOf("C:\\" + std::string(32767, 'a')), L"");
  EXPECT_EQ(platform::nativePathOf("C:\\" + std::string(32000, 'a')).size(), 32007u);
}

TEST_F(AnsiText, BareNamesAreCutOnlyAtWholeSeparators) {
  struct Case {
    const char* path;
    const char* under1252;
    const char* under936;
  };
  const Case cases[] = {
      // 0x81 begins a character in 936 and the 0x5C after it is its second
      // byte; in 1252 both are characters of their own.
      {"dir\\\x81\x5cx.jpg", "x.jpg", "\x81\x5cx.jpg"},
      {"dir/\x81\x5c", "", "\x81\x5c"},
      {"\x81\x5c\\photo.jpg", "photo.jpg", "photo.jpg"},
      {"dir\\\xd5\xd5\xc6\xac.jpg", "\xd5\xd5\xc6\xac.jpg", "\xd5\xd5\xc6\xac.jpg"},
      {"x\xa3\xdc..\xa3\xdc..\\in.jpg", "in.jpg", "in.jpg"},
      {"dir\\?x.jpg", "?x.jpg", "?x.jpg"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fileNameOf(c.path), codepage::pick(c.under1252, c.under936)) << c.path;
  }
}

}  // namespace
