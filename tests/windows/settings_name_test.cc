// The settings file named on the command line is read by the very name the
// user typed, under code page 1252 and under 936, also where the code page
// cannot hold it: the ANSI command line would hold a look-alike (best fit),
// and a file under that look-alike's name, which names another set, must
// never be read in its place.
//
// Each name's own settings file names a set that fails (a photo without GPS
// data); the look-alike's names a set that passes. The run must fail, and
// echo the name as the code page holds it ('?' for what it lacks). The same
// for the page's path in PHOTOCHECK_HTML.
#include <windows.h>

#include <filesystem>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"
#include "tests/support/temp_folder.h"
#include "tests/windows/code_page.h"
#include "tests/windows/wide_files.h"
#include "tests/windows/wide_run.h"

namespace {

using namespace e2e;

const Switches kGpsOnly{false, false, false, true};

std::string settingsText(const std::string& images, const std::string& output) {
  std::string text;
  for (const auto& [key, value] : settingsOf(images, output, kGpsOnly)) {
    text += key + " = " + value + "\n";
  }
  return text;
}

// The working folder of a run over a set that passes: "run.settings" in
// root\\work names root\\images, which holds one good photo.
std::string passingWork(const TempFolder& root) {
  writePhoto(root / "images\\good.jpg", Photo{});
  writeFileBytes(root / "work\\run.settings", settingsText(root / "images", root / "out"));
  return root / "work";
}

TEST(SettingsName, TheTypedNameIsReadNeverItsLookAlike) {
  codepage::expectTheIntendedOne();
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string failing = root / "failing";
  const std::string passing = root / "passing";
  Photo noGps;
  noGps.gps.reset();
  writePhoto(failing + "\\nogps.jpg", noGps);
  writePhoto(passing + "\\good.jpg", Photo{});
  const std::string work = root / "work";
  std::filesystem::create_directories(work);

  struct Case {
    std::wstring typed;     // relative to the working folder
    const char* shown1252;  // the echo under each code page
    const char* shown936;
    const char* lookAlike1252;  // what the ANSI command line holds instead
    const char* lookAlike936;   // (nullptr: the code page holds the name)
  };
  const Case cases[] = {
      {L"ch\u00e2teau.conf", "ch\xe2teau.conf", "ch?teau.conf", nullptr, "chateau.conf"},
      {L"\uff53et.conf", "?et.conf",
       "\xa3\xf3"
       "et.conf",
       "set.conf", nullptr},
      {L"\uff0e\uff0e\uff3cs.conf", "???s.conf", "\xa3\xae\xa3\xae\xa3\xdcs.conf", "..\\s.conf",
       nullptr},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string shown = codepage::pick(c.shown1252, c.shown936);
    SCOPED_TRACE(shown);
    const std::string output = root / ("out" + std::to_string(n));
    const std::string otherOutput = root / ("other" + std::to_string(n++));
    const std::string text = settingsText(failing, output);
    const std::string bytes(text.begin(), text.end());
    widefiles::writeFile(widefiles::extended(work, c.typed),
                         std::vector<unsigned char>(bytes.begin(), bytes.end()));
    const char* lookAlike = codepage::pick(c.lookAlike1252, c.lookAlike936);
    if (lookAlike != nullptr) {
      writeFileBytes(work + "\\" + lookAlike, settingsText(passing, otherOutput));
    }

    const ToolRun run = widerun::run({c.typed}, widefiles::widen(work));
    std::string expected = shown + "\n";
    for (const auto& [key, value] : settingsOf(failing, output, kGpsOnly)) {
      expected += key + "=" + value + "\n";
    }
    const std::string report = jsonReport({jsonGroup(104, texts::kGpsDescription, {"nogps.jpg"})});
    expected += checkStart(texts::kStartGps, texts::kGpsHeader, 1) + listing("1", 1) +
                groupReport({"nogps.jpg"}) + report + "\n";
    EXPECT_EQ(run.out, expectedConsole(expected));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(readFileBytes(output + "\\error.json"), report);
    EXPECT_FALSE(std::filesystem::exists(otherOutput));
  }
}

// The page's path in PHOTOCHECK_HTML or --page is taken the same way: the
// page goes to the very name set or typed, never to the look-alike the ANSI
// environment or command line holds, which may be the settings file, the
// report, a photo or a file outside the folder.
TEST(SettingsName, ThePagePathIsTheNameSetNeverItsLookAlike) {
  codepage::expectTheIntendedOne();
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string work = passingWork(root);

  struct Case {
    std::wstring page;  // relative to the working folder
    const char* lookAlike1252;
    const char* lookAlike936;  // (nullptr: the code page holds the name)
  };
  const Case cases[] = {
      {L"\uff53.conf", "s.conf", nullptr},
      {L"\uff0e\uff0e\uff3cx.html", "..\\x.html", nullptr},
  };
  enum class Given { variable, option, optionWithEquals };
  for (const Given given : {Given::variable, Given::option, Given::optionWithEquals}) {
    for (const Case& c : cases) {
      const char* lookAlike = codepage::pick(c.lookAlike1252, c.lookAlike936);
      SCOPED_TRACE(lookAlike != nullptr ? lookAlike : "no look-alike");
      SCOPED_TRACE(static_cast<int>(given));
      if (lookAlike != nullptr) writeFileBytes(work + "\\" + lookAlike, "keep");
      std::vector<std::wstring> arguments = {L"run.settings"};
      if (given == Given::variable) ::SetEnvironmentVariableW(L"PHOTOCHECK_HTML", c.page.c_str());
      if (given == Given::option) arguments.insert(arguments.end(), {L"--page", c.page});
      if (given == Given::optionWithEquals) arguments.push_back(L"--page=" + c.page);
      const ToolRun run = widerun::run(arguments, widefiles::widen(work));
      ::SetEnvironmentVariableW(L"PHOTOCHECK_HTML", nullptr);
      EXPECT_EQ(run.out.rfind(expectedConsole("run.settings\n"), 0), 0U) << run.out;
      EXPECT_EQ(run.out.find("--page"), std::string::npos) << run.out;  // options are not echoed
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(run.status, 0);
      const std::wstring page = widefiles::extended(work, c.page);
      EXPECT_EQ(widefiles::readFile(page).rfind("<!DOCTYPE html>", 0), 0U);
      ::DeleteFileW(page.c_str());
      if (lookAlike != nullptr) {
        EXPECT_EQ(readFileBytes(work + "\\" + lookAlike), "keep");
      }
    }
  }
}

// An option is one as typed: "--quiet" leaves out the line per photo, and a
// full-width look-alike of it, which the ANSI command line may hold as
// "--quiet", is an argument that is only echoed.
TEST(SettingsName, AnOptionIsTakenFromTheTypedCommandLine) {
  codepage::expectTheIntendedOne();
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string work = passingWork(root);
  const std::string perPhoto = expectedConsole(std::string(texts::kGpsHeader) + "1\n");

  const ToolRun quiet = widerun::run({L"--quiet", L"run.settings"}, widefiles::widen(work));
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out.rfind(expectedConsole("run.settings\n"), 0), 0U) << quiet.out;
  EXPECT_EQ(quiet.out.find(perPhoto), std::string::npos) << quiet.out;
  EXPECT_NE(quiet.out.find(expectedConsole(texts::kAllClear)), std::string::npos) << quiet.out;

  const ToolRun lookAlike =
      widerun::run({L"run.settings", L"\uff0d\uff0dquiet"}, widefiles::widen(work));
  EXPECT_EQ(lookAlike.status, 0);
  EXPECT_NE(lookAlike.out.find(perPhoto), std::string::npos) << lookAlike.out;
  EXPECT_EQ(lookAlike.err, "");
}

}  // namespace
