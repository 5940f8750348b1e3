// What a run prints before it looks at any photo: --help and --version (each
// spelling, with and without a file of that name), and the reason a run that
// cannot start writes to standard error beside its unchanged console line.
#include <algorithm>
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
};

TEST(Startup, HelpAndVersionSpellingsUnlessAFileHasThatName) {
  const std::string notAnOption = "\nopen file failed!\n";
  const OptionCase cases[] = {
      {{"--help"}, kHelp, 0},
      {{"-h"}, kHelp, 0},
      {{"--version"}, kVersion, 0},
      {{"-V"}, kVersion, 0},
      // The Windows spelling; on POSIX a path like any other.
      {{"/?"}, kWindows ? kHelp : "/?" + notAnOption, kWindows ? 0 : 1},
      // Not the sole argument, or not a spelling: a settings path as always.
      {{"--help", "-V"}, "--help\n\n-V" + notAnOption, 1},
      {{"--HELP"}, "--HELP" + notAnOption, 1},
      {{"-help"}, "-help" + notAnOption, 1},
      {{"--version="}, "--version=" + notAnOption, 1},
  };
  for (const OptionCase& c : cases) {
    TempFolder folder;
    const ToolRun run = runTool(PHOTOCHECK_EXE, c.arguments, folder.path());
    EXPECT_EQ(run.out, expectedConsole(c.out)) << c.arguments[0];
    EXPECT_EQ(run.status, c.status) << c.arguments[0];

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
