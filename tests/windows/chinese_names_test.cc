// Chinese file names under the Chinese ANSI code page (936, GBK): Wine runs
// this program under the zh_CN.UTF-8 locale (see CMakeLists.txt), so every
// name the tool lists, prints and reports is GBK bytes, as on a Chinese
// Windows system.
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "inventory/folder_scan.h"
#include "tests/support/captured_output.h"
#include "tests/support/expected_console.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// The names in UTF-16 (to make the files whatever the code page) and in GBK.
const wchar_t kFolderWide[] = L"\u5b50\u76ee\u5f55";  // 子目录 (sub-folder)
const char kFolderGbk[] = "\xd7\xd3\xc4\xbf\xc2\xbc";
const wchar_t kPictureWide[] = L"\u56fe.jpg";  // 图.jpg (picture)
const char kPictureGbk[] = "\xcd\xbc.jpg";
const wchar_t kPhotoWide[] = L"\u7167\u7247.jpg";  // 照片.jpg (photo)
const char kPhotoGbk[] = "\xd5\xd5\xc6\xac.jpg";
const char kSettingsGbk[] = "\xc9\xe8\xd6\xc3.txt";  // 设置.txt (settings)

void touch(const fs::path& path) { std::ofstream(path, std::ios::binary) << "not a photo"; }

class ChineseNames : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::GetACP(), 936u)
        << "Wine did not start under the Chinese code page: the zh_CN.UTF-8 locale is missing "
           "(scripts/windows.sh builds it into build/windows/locale)";
    const fs::path images = fs::path(root_.path()) / "images";
    fs::create_directories(images / kFolderWide);
    touch(images / kPhotoWide);
    touch(images / kFolderWide / kPictureWide);
  }

  TempFolder root_;
  const std::string images_ = root_ / "images";
};

TEST_F(ChineseNames, TheScanJoinsGbkNamesInTheFindFunctionsOrder) {
  // 子 (U+5B50) comes before 照 (U+7167): the sub-folder's file first.
  const std::vector<std::string> expected = {
      images_ + "\\" + kFolderGbk + "\\" + kPictureGbk,
      images_ + "\\" + kPhotoGbk,
  };
  CapturedOutput out;
  std::vector<std::string> listed;
  for (const platform::FilePath& path : listFolderFiles(images_)) listed.push_back(path.text);
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(out.text(), "");
}

TEST_F(ChineseNames, ReachTheConsoleAndTheReportAsGbkBytes) {
  // The settings file's name goes to the tool as an argument and comes back
  // in the echo.
  const std::string settings = root_ / kSettingsGbk;
  const std::string output = root_ / "out";
  writeFileBytes(settings,
                 "a=false\nb=true\nc=false\nd=false\ne=" + images_ + "\nf=" + output + "\n");
  const ToolRun run = runTool(PHOTOCHECK_EXE, {settings});

  // Neither file is a JPEG: the GPS check reports both by their bare names.
  const std::string json = std::string("{\"errors\":[{\"errcode\":104,\"error_des\":\"") +
                           texts::kGpsDescription + "\",\"images\":[\"" + kPictureGbk + "\",\"" +
                           kPhotoGbk + "\"]}]}";
  const std::string expected =
      settings + "\na=false\nb=true\nc=false\nd=false\ne=" + images_ + "\nf=" + output + "\n" +
      texts::kStartGps + "\n\n" + texts::kImageCount + "2\n" + texts::kGpsHeader + "1\n" +
      texts::kGpsHeader + "2\nerror\n2\n\n" + texts::kGroupErrorCount + "2\n" +
      texts::kErrorImageNumber + "1\n" + texts::kErrorImageName + kPictureGbk + "\n" +
      texts::kErrorImageNumber + "2\n" + texts::kErrorImageName + kPhotoGbk + "\n" + json + "\n";
  EXPECT_EQ(run.out, expectedConsole(expected));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(readFileBytes(output + "\\error.json"), json);
}

}  // namespace
