// Folder values and listed names that no ordinary path reaches: device names
// and names ending in dots or blanks typed in the settings, a folder value
// too long for any path, a listed name holding a backslash; and the settings
// file read from a named pipe, and a report write killed half-way.
#include <windows.h>

#include <filesystem>
#include <thread>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"
#include "tests/windows/wide_files.h"
#include "tests/windows/wide_run.h"

namespace {

using namespace e2e;

const Switches kGpsOnly{false, false, false, true};

// The exact names in `folder` (an extended path), "." and ".." left out,
// below it too, each with its path from `folder`.
void collectNames(const std::wstring& folder, const std::wstring& prefix,
                  std::vector<std::wstring>& names) {
  WIN32_FIND_DATAW entry;
  const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    names.push_back(prefix + name);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      collectNames(folder + L"\\" + name, prefix + name + L"\\", names);
    }
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
}

std::vector<std::wstring> namesBelow(const std::string& folder) {
  std::vector<std::wstring> names;
  collectNames(L"\\\\?\\" + widefiles::widen(folder), L"", names);
  return names;
}

// A photo without GPS data, so a GPS-only run writes a report.
std::string noGpsSet(const TempFolder& root) {
  const std::string images = root / "images";
  Photo noGps;
  noGps.gps.reset();
  writePhoto(images + "\\nogps.jpg", noGps);
  return images;
}

const std::string kNoGpsReport =
    jsonReport({jsonGroup(104, texts::kGpsDescription, {"nogps.jpg"})});

// Runs the GPS check over `images` with the settings file in `root` and the
// working folder `work`.
ToolRun runIn(const TempFolder& root, const std::string& work, const std::string& images,
              const std::string& output) {
  std::string settings;
  for (const auto& [key, value] : settingsOf(images, output, kGpsOnly)) {
    settings += key + "=" + value + "\n";
  }
  writeFileBytes(root / "photocheck.settings", settings);
  std::filesystem::create_directories(work);
  return runTool(PHOTOCHECK_EXE, {root / "photocheck.settings"}, work);
}

std::string startOf(const TempFolder& root, const std::string& images, const std::string& output) {
  std::string text = root / "photocheck.settings" + "\n";
  for (const auto& [key, value] : settingsOf(images, output, kGpsOnly)) {
    text += key + "=" + value + "\n";
  }
  return text;
}

// Output folder values that name a device, and names ending in dots or
// blanks, as the user types them (relative to the working folder). A device
// is no folder: nothing is created, the report says it cannot be written. A
// trailing dot or blank goes, as Win32 removes it.
TEST(FolderValues, DevicesAndTrailingDotsInTheOutputFolder) {
  struct Case {
    const char* output;
    std::vector<std::wstring> made;  // below the working folder afterwards
  };
  const Case cases[] = {
      {"con", {}},
      {"COM1", {}},
      {"CONIN$", {}},
      {"nul\\x", {}},
      {"x\\con.txt", {L"x"}},
      {"o.\\sub..", {L"o", L"o\\sub", L"o\\sub\\error.json"}},
      {"a \\b .", {L"a", L"a\\b", L"a\\b\\error.json"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    TempFolder root;
    const widefiles::TreeRemover remover{root.path()};
    const std::string images = noGpsSet(root);
    const std::string work = root / "work";
    const ToolRun run = runIn(root, work, images, c.output);
    std::string expected = startOf(root, images, c.output) +
                           checkStart(texts::kStartGps, texts::kGpsHeader, 1) + listing("1", 1) +
                           groupReport({"nogps.jpg"}) + kNoGpsReport + "\n";
    const bool written = !c.made.empty() && c.made.back().find(L"error.json") != std::wstring::npos;
    if (!written) expected += texts::kCannotWrite + std::string(c.output) + "\\error.json\n";
    EXPECT_EQ(run.out, expectedConsole(expected));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(namesBelow(work), c.made);
    if (written) {
      EXPECT_EQ(widefiles::readFile(L"\\\\?\\" + widefiles::widen(work) + L"\\" + c.made.back()),
                kNoGpsReport);
    }
  }
}

// An image folder value that names a device is a folder that is not there,
// even where a folder of that name was made through the "\\?\" form.
TEST(FolderValues, ADeviceAsImageFolderIsAMissingFolder) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string work = root / "work";
  widefiles::writeFile(widefiles::extended(work, L"con\\photo.jpg"), jpegOf(Photo{}));
  const ToolRun run = runIn(root, work, "con", root / "out");
  const std::string report = std::string("{\"errors\":[{\"errcode\":105,\"error_des\":\"") +
                             texts::kNoImageDescription + "\"}]}";
  EXPECT_EQ(run.out, expectedConsole(startOf(root, "con", root / "out") + texts::kFolderNotFound +
                                     "\n" + texts::kStartGps + "\n\n" + texts::kImageCount + "0\n" +
                                     report + "\n"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(readFileBytes(root / "out\\error.json"), report);
}

// A folder value whose full path would be longer than any path may be: the
// run stops before it creates or lists anything (the current drive's root
// is never listed in its place).
TEST(FolderValues, AValueTooLongForAnyPathStopsTheRun) {
  const std::string tooLong = "C:\\" + std::string(40000, 'a');
  struct Case {
    bool imageFolder;
    const char* line;
  };
  for (const Case& c :
       {Case{true, texts::kImageFolderPathTooLong}, Case{false, texts::kOutputFolderPathTooLong}}) {
    SCOPED_TRACE(c.line);
    TempFolder root;
    const std::string images = c.imageFolder ? tooLong : noGpsSet(root);
    const std::string output = c.imageFolder ? root / "out" : tooLong;
    const ToolRun run = runIn(root, root / "work", images, output);
    EXPECT_EQ(run.out, expectedConsole(startOf(root, images, output) + c.line + std::string("\n")));
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(std::filesystem::exists(root / "out"));
  }
}

// A name holding a backslash, as a foreign file system (here the Unix one
// under Wine) lists it: joined to its folder it would name the photo
// "x\y.jpg" below the sub-folder x, which passes. It is filed under "error".
TEST(FolderValues, AListedNameHoldingABackslashIsAnError) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string images = root / "images";
  writePhoto(images + "\\x\\y.jpg", Photo{});
  writePhoto(root / "source.jpg", Photo{});
  if (!widefiles::copyUnderUnixName(root / "source.jpg", images, "x\\y.jpg")) {
    GTEST_SKIP() << "no file can be named with a backslash here (not under Wine)";
  }
  const std::string output = root / "out";
  const ToolRun run = runIn(root, root / "work", images, output);
  const std::string report = jsonReport({jsonGroup(104, texts::kGpsDescription, {"y.jpg"})});
  // Both paths read "...\x\y.jpg"; the photo that passes is not listed.
  EXPECT_EQ(run.out, expectedConsole(startOf(root, images, output) +
                                     checkStart(texts::kStartGps, texts::kGpsHeader, 2) +
                                     listing("error", 1) + groupReport({"y.jpg"}) + report + "\n"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(readFileBytes(output + "\\error.json"), report);
}

// A named pipe as the settings file: read to its end, which is where its
// writer closes it ("broken pipe" after the data is no failure). Written in
// two pieces with a pause, and written whole and closed at once.
TEST(FolderValues, ANamedPipeIsReadToItsEnd) {
  TempFolder root;
  const std::string images = root / "images";
  writePhoto(images + "\\good.jpg", Photo{});
  const Switches allOff{false, false, false, false};
  std::string settings;
  std::string echo;
  for (const auto& [key, value] : settingsOf(images, root / "out", allOff)) {
    settings += key + "=" + value + "\n";
    echo += key + "=" + value + "\n";
  }
  for (const bool pause : {true, false}) {
    SCOPED_TRACE(pause ? "two pieces" : "whole");
    const std::wstring pipeName = L"\\\\.\\pipe\\photocheck-settings-" +
                                  std::to_wstring(::GetCurrentProcessId()) + (pause ? L"a" : L"b");
    const HANDLE pipe = ::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    std::thread writer([&] {
      if (::ConnectNamedPipe(pipe, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
        DWORD written = 0;
        const std::size_t first = pause ? settings.size() / 2 : settings.size();
        ::WriteFile(pipe, settings.data(), static_cast<DWORD>(first), &written, nullptr);
        if (pause) {
          ::Sleep(100);
          ::WriteFile(pipe, settings.data() + first, static_cast<DWORD>(settings.size() - first),
                      &written, nullptr);
        }
      }
      ::CloseHandle(pipe);
    });
    const std::string name(pipeName.begin(), pipeName.end());
    const ToolRun run = runTool(PHOTOCHECK_EXE, {name});
    writer.join();
    EXPECT_EQ(run.out, expectedConsole(name + "\n" + echo + texts::kAllClear + "\n"));
    EXPECT_EQ(run.status, 0);
  }
}

// A run killed while its report waits to replace error.json (another program
// holds it open, so the move is tried again for a while) leaves no temporary
// file: it was marked for deletion when it was made.
TEST(FolderValues, AKilledReportWriteLeavesNoTemporaryFile) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string images = noGpsSet(root);
  const std::string output = root / "out";
  writeFileBytes(output + "\\error.json", "old");
  std::string settings;
  for (const auto& [key, value] : settingsOf(images, output, kGpsOnly)) {
    settings += key + "=" + value + "\n";
  }
  writeFileBytes(root / "photocheck.settings", settings);
  const HANDLE held = ::CreateFileA((output + "\\error.json").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const HANDLE run = widerun::start({widefiles::widen(root / "photocheck.settings")});
  ASSERT_NE(run, nullptr);
  // Waits for the temporary file, then kills the run.
  bool seen = false;
  for (int i = 0; i < 1000 && !seen; ++i) {
    seen = namesBelow(output).size() > 1;
    if (!seen) ::Sleep(5);
  }
  // The file shows the moment it is made, a few microseconds before it is
  // marked; the run then tries the move for half a second. The kill comes
  // in those tries, the wait this test is about.
  ::Sleep(50);
  ::TerminateProcess(run, 9);
  ::WaitForSingleObject(run, INFINITE);
  ::CloseHandle(run);
  ::CloseHandle(held);
  EXPECT_TRUE(seen) << "the temporary file never showed";
  // The file goes when the system closes the killed process's last handle to
  // it, which may come a moment after the process has ended (Wine closes it
  // in its server): it must be gone within a second, not at once.
  for (int i = 0; i < 200 && namesBelow(output).size() > 1; ++i) ::Sleep(5);
  EXPECT_EQ(namesBelow(output), std::vector<std::wstring>{L"error.json"});
  EXPECT_EQ(readFileBytes(output + "\\error.json"), "old");
}

}  // namespace
