// What a run prints before it looks at any photo: --help and --version (each
// spelling, with and without a file of that name; the other options are in
// options_test.cc), and the reason a run that
// cannot start writes to standard error beside its unchanged console line,
// and one that cannot list its image folder.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "tests/support/expected_console.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

const bool kWindows = kSep == '\\';

const std::string kHelp = std::string(texts::kHelp) + "\n";
const std::string kVersion = std::string("photocheck ") + PHOTOCHECK_VERSION_TEXT + "\n" +
                             PHOTOCHECK_COPYRIGHT + texts::kLicence + "\n";

struct OptionCase {
  std::vector<std::string> arguments;
  std::string out;  // without a file of that name
  int status;
  bool helpHint;  // standard error's reason points to --help
};

TEST(Startup, HelpAndVersionSpellingsUnlessAFileHasThatName) {
  const std::string notAnOption = "\nopen file failed!\n";
  const OptionCase cases[] = {
      {{"--help"}, kHelp, 0, false},
      {{"-h"}, kHelp, 0, false},
      {{"--version"}, kVersion, 0, false},
      {{"-V"}, kVersion, 0, false},
      // The Windows spelling; on POSIX a path like any other.
      {{"/?"}, kWindows ? kHelp : "/?" + notAnOption, kWindows ? 0 : 1, false},
      // Beside another argument too; not a spelling: refused as a settings
      // file that does not open, the reason pointing to --help.
      {{"--help", "x"}, kHelp, 0, false},
      {{"--HELP"}, "--HELP" + notAnOption, 1, true},
      {{"-help"}, "-help" + notAnOption, 1, true},
      {{"--version="}, "--version=" + notAnOption, 1, true},
      {{"--hlep"}, "--hlep" + notAnOption, 1, true},
  };
  const std::string hint = expectedConsole(std::string(texts::kHelpHint) + "\n");
  for (const OptionCase& c : cases) {
    TempFolder folder;
    const ToolRun run = runTool(PHOTOCHECK_EXE, c.arguments, folder.path());
    EXPECT_EQ(run.out, expectedConsole(c.out)) << c.arguments[0];
    EXPECT_EQ(run.status, c.status) << c.arguments[0];
    const bool hinted = run.err.size() > hint.size() &&
                        run.err.compare(run.err.size() - hint.size(), hint.size(), hint) == 0;
    EXPECT_EQ(hinted, c.helpHint) << c.arguments[0] << ": " << run.err;

    // A file of that name is a settings file: echoed and counted. ("/?" can
    // be no file's name on Windows, and on POSIX lies outside the folder.)
    if (c.arguments[0] == "/?") continue;
    writeFileBytes(folder / c.arguments[0], "key = value\n");
    const ToolRun withFile = runTool(PHOTOCHECK_EXE, c.arguments, folder.path());
    std::string echo;
    for (const std::string& argument : c.arguments) echo += (echo.empty() ? "" : "\n\n") + argument;
    EXPECT_EQ(
        withFile.out,
        expectedConsole(echo + "\nkey=value\nthe settings file holds 1 values; 6 are needed\n"))
        << c.arguments[0];
    EXPECT_EQ(withFile.status, 1) << c.arguments[0];
    EXPECT_EQ(withFile.err, expectedConsole("photocheck: settings file \"" + c.arguments[0] +
                                            "\" holds 1 values; 6 are needed\n"))
        << c.arguments[0];
  }
}

struct FolderCase {
  const char* name;
  const char* value;   // the image folder's settings value, relative to the run's folder
  const char* made;    // what is made at "Job": "", "folder", "file" or "locked" (a
                       // folder no one may list)
  std::string reason;  // after the quoted folder; empty: no line at all
};

// An image folder that cannot be listed is named on standard error with the
// system's reason, and a value cut at a "#" says so; standard output, the
// report and the status stay as they were (a set with no image: 105).
TEST(Startup, AnImageFolderThatCannotBeListedIsNamedWithItsReason) {
  const std::string hash = texts::kCutAtHashHint;
  const FolderCase cases[] = {
      {"missing", "Job", "", ": No such file or directory"},
      {"cut at #", "Job #3", "", ": No such file or directory" + hash},
      {"a file", "Job", "file", ": Not a directory"},
      {"locked", "Job", "locked", ": Permission denied"},
      {"empty", "Job", "folder", ""},
      {"empty, cut at #", "Job#3", "folder", ""},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string job = folder / "Job";
    const std::string made = c.made;
    if (made == "file") writeFileBytes(job, "x");
    if (made == "folder" || made == "locked") writeFileBytes(folder / "Job" + kSep + "x", "x");
    if (made == "folder") std::remove((folder / "Job" + kSep + "x").c_str());
#ifdef _WIN32
    if (made == "locked") continue;  // no such folder made here
#else
    if (made == "locked" && ::geteuid() == 0) continue;  // root lists any folder
    if (made == "locked") ::chmod(job.c_str(), 0);
#endif
    writeFileBytes(folder / "run.settings",
                   std::string("a=x\nb=x\nc=x\nd=x\ne = ") + c.value + "\nf=out\n");
    const ToolRun run = runTool(PHOTOCHECK_EXE, {"run.settings"}, folder.path());
#ifndef _WIN32
    if (made == "locked") ::chmod(job.c_str(), 0700);
#endif
    const bool listable = made == "folder";
    const std::string noImage = std::string("{\"errors\":[{\"errcode\":105,\"error_des\":\"") +
                                texts::kNoImageDescription + "\"}]}";
    EXPECT_EQ(run.out, expectedConsole("run.settings\na=x\nb=x\nc=x\nd=x\ne=Job\nf=out\n" +
                                       std::string(listable ? "" : texts::kFolderNotFound) +
                                       (listable ? "" : "\n") + noImage + "\n"));
    EXPECT_EQ(readFileBytes(folder / "out" + kSep + "error.json"), noImage);
    EXPECT_EQ(run.status, 1);
    if (c.reason.empty()) {
      EXPECT_EQ(run.err, "");
      continue;
    }
    const std::string prefix = "photocheck: cannot list image folder \"Job\"";
#ifdef _WIN32
    // Windows words the reason itself ("The system cannot find the path
    // specified."); the hint is the tool's.
    EXPECT_EQ(run.err.rfind(prefix + ": ", 0), 0U) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.err.find(hash) != std::string::npos, c.reason.find(hash) != std::string::npos);
#else
    EXPECT_EQ(run.err, prefix + c.reason + "\n");
#endif
  }
}

struct FailureCase {
  const char* name;
  std::string settings;  // the settings file's bytes; no file when empty
  std::string lastLine;  // the console's last line, as before
  std::string reason;    // after photocheck: and the quoted path
};

TEST(Startup, EachStartUpFailureTellsItsReasonOnStandardError) {
  const std::string nul(1, '\0');
  const std::string switches = "a=true\nb=true\nc=true\nd=true\n";
  const FailureCase cases[] = {
      {"missing", "", "open file failed!", ": No such file or directory"},
      {"large", std::string(1048577, '#'), "the settings file holds more than 1048576 bytes",
       " is larger than 1048576 bytes"},
      {"few", "a=true\nb=x\n", "the settings file holds 2 values; 6 are needed",
       " holds 2 values; 6 are needed"},
      {"noimages", switches + "e=\nf=out\n", "the image folder setting is empty",
       ": the image folder value (the 5th) is empty"},
      {"nooutput", switches + "e=img\nf= \n", "the output folder setting is empty",
       ": the output folder value (the 6th) is empty"},
      {"nulimages", switches + "e=i" + nul + "g\nf=out\n",
       "the image folder setting holds a NUL byte",
       ": the image folder value (the 5th) holds a NUL byte"},
      {"nuloutput", switches + "e=img\nf=o" + nul + "ut\n",
       "the output folder setting holds a NUL byte",
       ": the output folder value (the 6th) holds a NUL byte"},
  };
  for (const FailureCase& c : cases) {
    TempFolder folder;
    const std::string path = folder / (std::string(c.name) + ".settings");
    if (!c.settings.empty()) writeFileBytes(path, c.settings);
    const ToolRun run = runTool(PHOTOCHECK_EXE, {path}, folder.path());
    const std::string quoted = "\"" + path + "\"";
    const std::string expectedErr =
        c.settings.empty() ? "photocheck: cannot open settings file " + quoted + c.reason + "\n"
                           : "photocheck: settings file " + quoted + c.reason + "\n";
#ifdef _WIN32
    if (c.settings.empty()) {
      // Windows words the reason itself ("The system cannot find the file
      // specified."; Wine: "File not found.").
      const std::string prefix = "photocheck: cannot open settings file " + quoted + ": ";
      EXPECT_EQ(run.err.rfind(prefix, 0), 0U) << c.name;
      EXPECT_GT(run.err.size(), prefix.size() + 2) << c.name;
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << c.name;
    } else {
      EXPECT_EQ(run.err, expectedConsole(expectedErr)) << c.name;
    }
#else
    EXPECT_EQ(run.err, expectedConsole(expectedErr)) << c.name;
#endif
    const std::string tail = expectedConsole(c.lastLine + "\n");
    EXPECT_EQ(run.out.substr(run.out.size() - std::min(run.out.size(), tail.size())), tail)
        << c.name;
    EXPECT_EQ(run.out.rfind(expectedConsole(path + "\n"), 0), 0U) << c.name;
    EXPECT_EQ(run.status, 1) << c.name;
  }

  const ToolRun noArgument = runTool(PHOTOCHECK_EXE, {});
  EXPECT_EQ(noArgument.out, expectedConsole(std::string(texts::kUsage) + "\n"));
  // --help opens with the same usage line.
  EXPECT_EQ(std::string(texts::kHelp).substr(0, std::string(texts::kUsage).size() + 1),
            std::string(texts::kUsage) + "\n");
  EXPECT_EQ(noArgument.err,
            expectedConsole("photocheck: no settings file given (photocheck --help tells how to "
                            "use it)\n"));
  EXPECT_EQ(noArgument.status, 1);
}

}  // namespace
