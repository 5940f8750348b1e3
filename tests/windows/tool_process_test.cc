// The Windows executable as a process: its command line as the C runtime
// parses it, text-mode standard output, and its start under locale settings
// the mingw C++ library cannot make.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"
#include "tests/windows/wide_files.h"

namespace {

ToolRun photocheck(const std::vector<std::string>& arguments) {
  return runTool(PHOTOCHECK_EXE, arguments);
}

TEST(WindowsProcess, ArgumentsArriveIntactAndLinesEndInCrLf) {
  TempFolder root;
  // The tool echoes every argument before it tests the settings file.
  const std::vector<std::string> arguments = {
      root / "no such folder\\run settings.txt",
      "",
      "two  blanks\tand a tab",
      "a \"quoted\" word",
      "trailing backslash\\",
      "\\\\server\\share\\",
      "back\\\\\"slash",
      "\"",
  };
  const ToolRun run = photocheck(arguments);
  std::string expected = arguments[0] + "\n";
  for (std::size_t i = 1; i < arguments.size(); ++i) expected += "\n" + arguments[i] + "\n";
  expected += "open file failed!\n";
  EXPECT_EQ(run.out, expectedConsole(expected));
  // Standard error says why in the system's words, naming the path as it
  // arrived, on one line.
  const std::string prefix = "photocheck: cannot open settings file \"" + arguments[0] + "\": ";
  EXPECT_EQ(run.err.rfind(prefix, 0), 0U) << run.err;
  EXPECT_GT(run.err.size(), prefix.size() + 2) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  EXPECT_EQ(run.status, 1);
}

// A fault of the process's own never reads as a pass, whatever host runs it
// (under Wine an unhandled exception used to end a process with status 0):
// it ends with the fault status and one line on standard error naming the
// fault's code; once the verdict is out, the line that says the fault came
// after it. The probe readies the process as photocheck's main does.
TEST(WindowsProcess, AFaultEndsTheProcessWithTheFaultStatusAndOneLine) {
  struct Case {
    const char* how;
    const char* line;  // empty: no fault
  };
  const Case cases[] = {
      {"access", "fault probe: ended by a fault (0xC0000005)"},     // an access violation
      {"worker", "fault probe: ended by a fault (0xC0000005)"},     // ... on a thread of the tool's
      {"abort", "fault probe: ended by a fault (0x00000003)"},      // abort (SIGABRT)
      {"terminate", "fault probe: ended by a fault (0x00000004)"},  // std::terminate
      {"none", ""},
      {"verdict access", "fault probe: ended after its verdict (0xC0000005)"},
      {"verdict worker", "fault probe: ended after its verdict (0xC0000005)"},
      {"verdict abort", "fault probe: ended after its verdict (0x00000003)"},
      {"verdict none", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    const ToolRun run = runTool(PHOTOCHECK_FAULT_PROBE, {c.how});
    if (*c.line == '\0') {
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.err, "");
      continue;
    }
    EXPECT_EQ(run.status, platform::kFaultStatus);
    EXPECT_EQ(run.err, std::string(c.line) + "\r\n");
  }
}

// Sets an environment variable of this process, which the tool inherits, and
// restores it at the end of the scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    char buffer[256];
    const DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) old_ = std::string(buffer, length);
    ::SetEnvironmentVariableA(name, value);
  }
  ~ScopedVariable() { ::SetEnvironmentVariableA(name_, old_ ? old_->c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(WindowsProcess, AnyLocaleSettingLeavesTheRunWhole) {
  TempFolder root;
  writeFileBytes(root / "images\\one.jpg", "x");
  const std::string settings = root / "run.settings";
  writeFileBytes(settings,
                 "a=no\nb=no\nc=no\nd=no\ne=" + (root / "images") + "\nf=" + (root / "out") + "\n");
  const std::string expected = settings + "\na=no\nb=no\nc=no\nd=no\ne=" + (root / "images") +
                               "\nf=" + (root / "out") + "\n" + texts::kAllClear + "\n";
  // The mingw C++ library makes no locale but "C" and "POSIX": each of these
  // would make the user's locale throw, and the tool must not end there.
  const std::pair<const char*, const char*> settingsOfUsers[] = {
      {"LANG", "en_US.UTF-8"},
      {"LANG", "zh_CN.GBK"},
      {"LC_ALL", "de_DE"},
      {"LC_NUMERIC", "fr_FR.UTF-8"},
  };
  for (const auto& [name, value] : settingsOfUsers) {
    SCOPED_TRACE(std::string(name) + "=" + value);
    const ScopedVariable variable(name, value);
    const ToolRun run = photocheck({settings});
    EXPECT_EQ(run.out, expectedConsole(expected));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
  }
}

// A photo another program holds open without sharing exists but cannot be
// opened: the run reports it instead of passing it over. Once it is free
// again, the same set passes.
TEST(WindowsProcess, APhotoLockedByAnotherProgramIsReported) {
  TempFolder root;
  const std::string images = root / "images";
  e2e::writePhoto(images + "\\free.jpg", e2e::Photo{});
  e2e::writePhoto(images + "\\locked.jpg", e2e::Photo{});
  const e2e::Switches gpsOnly{false, false, false, true};
  {
    const HANDLE lock = ::CreateFileA((images + "\\locked.jpg").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const e2e::PhotoRun locked = e2e::runOn(root, images, root / "out", gpsOnly);
    ::CloseHandle(lock);
    EXPECT_EQ(locked.run.status, 1);
    EXPECT_EQ(locked.report,
              e2e::jsonReport({e2e::jsonGroup(104, texts::kGpsDescription, {"locked.jpg"})}));
  }
  const e2e::PhotoRun released = e2e::runOn(root, images, root / "free-out", gpsOnly);
  EXPECT_EQ(released.run.status, 0);
  EXPECT_FALSE(released.report);
}

// What others left in a shared output folder under names a report could be
// written through: a folder where the old fixed temporary name was, a file
// under the new names' pattern, and error.json itself a link to a file of
// theirs. The report is written all the same, and nothing of theirs changes.
TEST(WindowsProcess, ThingsPlantedInTheOutputFolderDoNotBreakTheReport) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string images = root / "images";
  const std::string output = root / "out";
  e2e::Photo noGps;
  noGps.gps.reset();
  e2e::writePhoto(images + "\\nogps.jpg", noGps);
  std::filesystem::create_directories(output + "\\error.json.tmp");
  writeFileBytes(output + "\\.photocheck-000000", "theirs");
  writeFileBytes(root / "victim.txt", "theirs");
  const bool linked =
      widefiles::makeLink(widefiles::extended(output, L"error.json"), L"..\\victim.txt", false);

  const e2e::PhotoRun r = e2e::runOn(root, images, output, {false, false, false, true});
  EXPECT_EQ(r.run.status, 1);
  EXPECT_EQ(r.report,
            e2e::jsonReport({e2e::jsonGroup(104, texts::kGpsDescription, {"nogps.jpg"})}));
  EXPECT_EQ(e2e::lastLine(r.run.out), r.report.value_or(""));
  EXPECT_EQ(readFileBytes(root / "victim.txt"), "theirs");
  EXPECT_EQ(readFileBytes(output + "\\.photocheck-000000"), "theirs");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(output)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{".photocheck-000000", "error.json", "error.json.tmp"}));
  if (!linked) std::cout << "[   NOTE   ] no link could be made: error.json was not planted\n";
}

// Two failing runs into one output folder at once, again and again: each
// time error.json is one whole report of one of them, neither says it could
// not write, and no temporary file is left.
TEST(WindowsProcess, TwoRunsIntoOneFolderAtOnceLeaveOneWholeReport) {
  TempFolder root;
  const std::string output = root / "out";
  e2e::Photo noGps;
  noGps.gps.reset();
  std::string reports[2];
  std::string settings[2];
  for (int i = 0; i < 2; ++i) {
    const std::string images = root / ("images" + std::to_string(i));
    const std::string name = "nogps" + std::to_string(i) + ".jpg";
    e2e::writePhoto(images + "\\" + name, noGps);
    reports[i] = e2e::jsonReport({e2e::jsonGroup(104, texts::kGpsDescription, {name})});
    settings[i] = root / ("run" + std::to_string(i) + ".settings");
    writeFileBytes(settings[i],
                   "a=false\nb=true\nc=false\nd=false\ne=" + images + "\nf=" + output + "\n");
  }
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    ToolRun second;
    std::thread other([&] { second = photocheck({settings[1]}); });
    const ToolRun first = photocheck({settings[0]});
    other.join();
    for (const ToolRun& run : {first, second}) {
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.out.find(texts::kCannotWrite), std::string::npos);
    }
    const std::optional<std::string> report = readFileBytes(output + "\\error.json");
    EXPECT_TRUE(report == reports[0] || report == reports[1]) << report.value_or("(none)");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(output),
                            std::filesystem::directory_iterator()),
              1);
  }
}

}  // namespace

namespace {

// The side files never take the place of the settings file, error.json, a
// photo (also through a hard link) or a folder or device, and any name
// Windows takes, 255 units long included, can be written.
TEST(WindowsProcess, SideFilesNeverReplaceWhatTheRunMustLeaveAlone) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string images = root / "images";
  const std::string output = root / "out";
  e2e::writePhoto(images + "\\p0.jpg", e2e::Photo{});
  e2e::Photo noGps;
  noGps.gps.reset();
  e2e::writePhoto(images + "\\p1.jpg", noGps);
  const e2e::PhotoRun plain = e2e::runOn(root, images, output);
  ASSERT_EQ(plain.run.status, 1);
  ASSERT_TRUE(plain.report.has_value());
  const std::string photo = readFileBytes(images + "\\p0.jpg").value_or("");
  const bool hardLinked =
      ::CreateHardLinkA((root / "hard.jpg").c_str(), (images + "\\p0.jpg").c_str(), nullptr) != 0;
  std::filesystem::create_directories(root / "folder");
  struct Case {
    std::string path;
    bool refused;
  };
  std::vector<Case> cases = {{output + "\\error.json", true},
                             {root / "photocheck.settings", true},
                             {images + "\\p0.jpg", true},
                             {root / "folder", true},
                             {"NUL", true},
                             // Streams: of error.json, the settings file and a
                             // photo (their own data or a hidden part), and
                             // of a file that is not there yet.
                             {output + "\\error.json::$DATA", true},
                             {root / "photocheck.settings:x", true},
                             {images + "\\p0.jpg::$DATA", true},
                             {images + "\\p0.jpg:x", true},
                             {root / "page.html:x", true},
                             {root / (std::string(250, 'n') + ".html"), false}};
  if (hardLinked) cases.push_back({root / "hard.jpg", true});
  for (const char* variable : {"PHOTOCHECK_HTML", "PHOTOCHECK_GEOJSON"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(variable) + "=" + c.path);
      const std::string settings = readFileBytes(root / "photocheck.settings").value_or("");
      e2e::PhotoRun run;
      {
        const ScopedVariable side(variable, c.path.c_str());
        run = e2e::runOn(root, images, output);
      }
      const bool page = std::string(variable) == "PHOTOCHECK_HTML";
      const std::string line =
          (page ? "can not write the HTML page " : "can not write the GeoJSON report ") + c.path +
          "\n";
      EXPECT_EQ(run.run.out, plain.run.out + (c.refused ? expectedConsole(line) : ""));
      EXPECT_EQ(run.run.status, 1);
      EXPECT_EQ(run.report, plain.report);
      EXPECT_EQ(readFileBytes(images + "\\p0.jpg"), photo);
      EXPECT_EQ(readFileBytes(root / "photocheck.settings"), settings);
      if (!c.refused) {
        EXPECT_TRUE(readFileBytes(c.path).has_value());
      }
    }
  }
  if (!hardLinked) std::cout << "[   NOTE   ] no hard link could be made: that case was left out\n";
  // Once the set passes there is no error.json, and none may appear: not
  // even by a name in other letters' case, which Windows takes for it.
  e2e::writePhoto(images + "\\p1.jpg", e2e::Photo{});
  std::filesystem::remove(output + "\\error.json");
  const e2e::PhotoRun passing = e2e::runOn(root, images, output);
  ASSERT_EQ(passing.run.status, 0);
  for (const char* variable : {"PHOTOCHECK_HTML", "PHOTOCHECK_GEOJSON"}) {
    const std::string path = output + "\\ERROR.JSON";
    SCOPED_TRACE(std::string(variable) + "=" + path);
    e2e::PhotoRun run;
    {
      const ScopedVariable side(variable, path.c_str());
      run = e2e::runOn(root, images, output);
    }
    const bool page = std::string(variable) == "PHOTOCHECK_HTML";
    EXPECT_EQ(run.run.out,
              passing.run.out + expectedConsole((page ? "can not write the HTML page "
                                                      : "can not write the GeoJSON report ") +
                                                path + "\n"));
    EXPECT_EQ(run.run.status, 0);
    EXPECT_FALSE(std::filesystem::exists(output + "\\error.json"));
  }
}

// PHOTOCHECK_GEOJSON is read from the wide environment: a character the
// code page lacks never becomes a best-fit look-alike naming another file
// (under 1252 a full-width s would name s.conf).
TEST(WindowsProcess, GeoJsonPathIsNeverABestFitLookAlike) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string images = root / "images";
  e2e::writePhoto(images + "\\p0.jpg", e2e::Photo{});
  writeFileBytes(root / "s.conf", "theirs");
  const std::wstring lookAlike = widefiles::widen(root.path()) + L"\\\xFF53.conf";
  ::SetEnvironmentVariableW(L"PHOTOCHECK_GEOJSON", lookAlike.c_str());
  const e2e::PhotoRun run = e2e::runOn(root, images, root / "out");
  ::SetEnvironmentVariableW(L"PHOTOCHECK_GEOJSON", nullptr);
  EXPECT_EQ(run.run.status, 0);
  EXPECT_EQ(readFileBytes(root / "s.conf"), "theirs");
}

}  // namespace
