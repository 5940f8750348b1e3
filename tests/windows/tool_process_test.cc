// The Windows executable as a process: its command line as the C runtime
// parses it, text-mode standard output, and its start under locale settings
// the mingw C++ library cannot make.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

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
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 1);
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

// Under a code page without Chinese characters (1252 here) a Chinese file
// name comes from the listing with '?' for each character, and no ANSI
// function can open it by that name. The photo is there all the same: the run
// reports it rather than passing a set nobody could read whole.
TEST(WindowsProcess, APhotoWhoseNameTheCodePageCannotHoldIsReported) {
  TempFolder root;
  const std::string images = root / "images";
  e2e::writePhoto(images + "\\ok.jpg", e2e::Photo{});
  const auto photo = e2e::jpegOf(e2e::Photo{});
  std::ofstream(std::filesystem::path(images) / L"\u7167\u7247.jpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(photo.data()),
             static_cast<std::streamsize>(photo.size()));
  platform::FolderListing listing;
  ASSERT_TRUE(platform::listFolder(images, listing));
  ASSERT_EQ(listing.entries.size(), 2u);
  if (listing.entries[1].name != "??.jpg") {
    GTEST_SKIP() << "this code page lists the name as " << listing.entries[1].name;
  }
  const e2e::PhotoRun r = e2e::runOn(root, images, root / "out", {false, false, false, true});
  EXPECT_EQ(r.run.status, 1);
  EXPECT_EQ(r.report, e2e::jsonReport({e2e::jsonGroup(104, texts::kGpsDescription, {"??.jpg"})}));
}

}  // namespace
