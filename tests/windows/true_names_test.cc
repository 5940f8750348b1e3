// Photos reached by their true names, run under code page 1252 and under 936:
// names the code page cannot hold or holds only through a double-byte
// character ending in 0x5C, names the ANSI calls would cut or read as a
// way out of the folder, long paths and folder links that loop.
//
// Each set holds two alike photos and one odd photo (640*480) under the name
// at test. The resolution check reports the odd photo by the name the console
// shows, which proves it was listed, read and decoded: a photo that could not
// be read would be filed under "error", one that was never listed or was
// passed over as gone would leave the set passing.
#include <windows.h>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"
#include "tests/support/temp_folder.h"
#include "tests/windows/code_page.h"
#include "tests/windows/wide_files.h"

namespace {

using namespace e2e;

const Switches kResolutionOnly{true, false, false, false};

Photo sized(std::uint32_t width, std::uint32_t height) {
  Photo photo;
  photo.width = width;
  photo.height = height;
  return photo;
}

// A name as error.json holds it: a backslash of its own is escaped; the
// second byte of a double-byte character of the code page stays as it is,
// also when it is 0x5C (the report stays readable in its code page).
std::string jsonText(const std::string& name) {
  std::string escaped;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (::IsDBCSLeadByte(static_cast<BYTE>(name[i])) && i + 1 < name.size()) {
      escaped += name.substr(i++, 2);
    } else {
      escaped += name[i] == '\\' ? std::string("\\\\") : std::string(1, name[i]);
    }
  }
  return escaped;
}

class TrueNames : public testing::Test {
 protected:
  void SetUp() override { codepage::expectTheIntendedOne(); }
  void TearDown() override { widefiles::removeTree(root_.path()); }

  // Two alike photos in the image folder `images` (below the test's folder)
  // and the odd one at `oddPhoto` below it; a photo beside the image folder,
  // which a scan that walks out of it would count.
  void makeSet(const std::wstring& images, const std::wstring& oddPhoto) {
    const std::string root = root_.path();
    widefiles::writeFile(widefiles::extended(root, images + L"\\a.jpg"), jpegOf(Photo{}));
    widefiles::writeFile(widefiles::extended(root, images + L"\\b.jpg"), jpegOf(Photo{}));
    widefiles::writeFile(widefiles::extended(root, L"beside.jpg"), jpegOf(Photo{}));
    widefiles::writeFile(widefiles::extended(root, images + L"\\" + oddPhoto),
                         jpegOf(sized(640, 480)));
  }

  // The run over `images` reports exactly the odd photo, by `shownName`, on
  // the console and in `output`'s error.json, which `outputFolder` (below the
  // test's folder) names in UTF-16.
  void expectOddPhotoReported(const std::string& images, const std::string& output,
                              const std::wstring& outputFolder, const std::string& shownName) {
    const PhotoRun r = runOn(root_, images, output, kResolutionOnly);
    const std::string report =
        jsonReport({jsonGroup(101, texts::kResolutionDescription, {jsonText(shownName)})});
    EXPECT_EQ(r.run.out,
              expectedConsole(runStart(r, images, output, kResolutionOnly) +
                              checkStart(texts::kStartResolution, texts::kResolutionHeader, 3) +
                              listing("4000*3000", 2) + listing("640*480", 1) +
                              groupReport({shownName}) + report + "\n"));
    EXPECT_EQ(r.run.status, 1);
    EXPECT_EQ(
        widefiles::readFile(widefiles::extended(root_.path(), outputFolder + L"\\error.json")),
        report);
  }

  TempFolder root_;
  const std::string images_ = root_ / "images";
  const std::string output_ = root_ / "out";
};

TEST_F(TrueNames, EveryPhotoIsReadAndShownAsTheCodePageHoldsItsName) {
  // Folders of 50 characters, five deep: the photo's path is past 300.
  std::wstring deep;
  for (int level = 0; level < 5; ++level) deep += std::wstring(49, L'a' + level) + L"\\";
  struct Case {
    std::wstring oddPhoto;  // below the image folder
    const char* under1252;  // its bare name as shown
    const char* under936;
  };
  const Case cases[] = {
      // Best fit would show (and fail to open) "Osaka.jpg" and "*.jpg".
      {L"\u014csaka.jpg", "?saka.jpg", "?saka.jpg"},
      {L"\uff0a.jpg", "?.jpg", "\xa3\xaa.jpg"},
      {L"\u7167\u7247.jpg", "??.jpg", "\xd5\xd5\xc6\xac.jpg"},
      // The second byte of the GBK character is 0x5C: the whole name shows.
      {L"\u4e57x.jpg", "?x.jpg", "\x81\x5cx.jpg"},
      // Names every ANSI call would cut.
      {L"b.jpg.", "b.jpg.", "b.jpg."},
      {L"c.jpg ", "c.jpg ", "c.jpg "},
      {L"dots.\\in.jpg", "in.jpg", "in.jpg"},
      // Best fit would turn these folder names into "x\..\.." (a way out of
      // the image folder) and ".." (passed over with what it holds).
      {L"x\uff3c..\uff3c..\\in.jpg", "in.jpg", "in.jpg"},
      {L"\uff0e\uff0e\\in.jpg", "in.jpg", "in.jpg"},
      {L"\u4e57\\in.jpg", "in.jpg", "in.jpg"},
      {deep + L"deep.jpg", "deep.jpg", "deep.jpg"},
  };
  ASSERT_GT(widefiles::extended(root_ / "set10", cases[10].oddPhoto).size(), 300u);
  int run = 0;
  for (const Case& c : cases) {
    const std::string shown = codepage::pick(c.under1252, c.under936);
    SCOPED_TRACE(shown);
    const std::string set = "set" + std::to_string(run);
    const std::string output = "out" + std::to_string(run++);
    makeSet(widefiles::widen(set), c.oddPhoto);
    expectOddPhotoReported(root_ / set, root_ / output, widefiles::widen(output), shown);
  }
}

// The output folder's text holds a GBK character whose second byte is 0x5C,
// and neither it nor its parent exists yet: it is created as named, and the
// report is written there.
TEST_F(TrueNames, AnOutputFolderWithA5cTrailByteIsCreatedWhole) {
  if (!codepage::chinese()) GTEST_SKIP() << "code page 1252 has no double-byte characters";
  const std::string output = root_ / "out\\\x81\x5c\\deep";
  makeSet(L"\u4e57", L"\u4e57x.jpg");
  expectOddPhotoReported(root_ / "\x81\x5c", output, L"out\\\u4e57\\deep", "\x81\x5cx.jpg");

  // Nothing else was made on the way (cut at the 0x5C, the first level
  // would be a folder named by the lone first byte).
  WIN32_FIND_DATAW entry;
  const HANDLE find = ::FindFirstFileW(widefiles::extended(output_, L"*").c_str(), &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::wstring> names;
  do {
    names.push_back(entry.cFileName);
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  EXPECT_EQ(names, (std::vector<std::wstring>{L".", L"..", L"\u4e57"}));
}

// Two sub-folders each holding a link back to the image folder: the scan
// lists every folder once and ends at once.
TEST_F(TrueNames, FolderLinksThatLoopListEachFolderOnce) {
  makeSet(L"images", L"a\\odd.jpg");
  widefiles::makeFolders(widefiles::extended(images_, L"b"));
  for (const wchar_t* link : {L"a\\up", L"b\\up"}) {
    if (!widefiles::makeLink(widefiles::extended(images_, link), L"..", true)) {
      GTEST_SKIP() << "no folder link can be made here";
    }
  }
  expectOddPhotoReported(images_, output_, L"out", "odd.jpg");
}

}  // namespace
