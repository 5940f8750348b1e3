// The run as a calling script sees it: arguments, settings, output folder,
// scan, and the exit status, with no photo involved.
#include <filesystem>

#include "console/console_texts.h"
#include "gtest/gtest.h"
#include "tests/support/expected_console.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kAllClear = std::string(texts::kAllClear) + "\n";

ToolRun photocheck(const std::vector<std::string>& arguments) {
  return runTool(PHOTOCHECK_EXE, arguments);
}

// A settings file whose six keys sort a..f, in the given line order.
std::string settingsText(const std::string& imageFolder, const std::string& outputFolder,
                         const std::string& switches = "false") {
  return "f_output = " + outputFolder + "\n" + "e_images = " + imageFolder + "\n" +
         "d_resolution = " + switches + "\n" + "c_maker = " + switches + "\n" +
         "b_gps = " + switches + "\n" + "a_focal = " + switches + "\n";
}

std::string echoOf(const std::string& imageFolder, const std::string& outputFolder,
                   const std::string& switches = "false") {
  return "a_focal=" + switches + "\nb_gps=" + switches + "\nc_maker=" + switches +
         "\nd_resolution=" + switches + "\ne_images=" + imageFolder + "\nf_output=" + outputFolder +
         "\n";
}

TEST(RunFlow, CommandLineAndSettingsFileProblems) {
  TempFolder root;
  const ToolRun noArgument = photocheck({});
  EXPECT_EQ(noArgument.out, expectedConsole("usage: photocheck <settings file>\n"));
  EXPECT_EQ(noArgument.status, 1);

  const std::string missing = root / "absent.settings";
  const ToolRun missingFile = photocheck({missing});
  EXPECT_EQ(missingFile.out, expectedConsole(missing + "\nopen file failed!\n"));
  EXPECT_EQ(missingFile.status, 1);

  // Too few values: the echo, the count, and nothing created or scanned.
  const std::string shortSettings = root / "short.settings";
  writeFileBytes(shortSettings, "a=true\nb=" + (root / "out") + "\n# c=x\n");
  const ToolRun tooFew = photocheck({shortSettings});
  EXPECT_EQ(tooFew.out, expectedConsole(shortSettings + "\na=true\nb=" + (root / "out") +
                                        "\nthe settings file holds 2 values; 6 are needed\n"));
  EXPECT_EQ(tooFew.status, 1);
  EXPECT_FALSE(fs::exists(root / "out"));

  const std::string noImages = root / "noimages.settings";
  writeFileBytes(noImages, settingsText("", root / "out"));
  const ToolRun emptyImageFolder = photocheck({noImages});
  EXPECT_EQ(emptyImageFolder.out, expectedConsole(noImages + "\n" + echoOf("", root / "out") +
                                                  "the image folder setting is empty\n"));
  EXPECT_EQ(emptyImageFolder.status, 1);

  // Both folder texts empty: only the first failing test speaks.
  const std::string noFolders = root / "nofolders.settings";
  writeFileBytes(noFolders, settingsText("", ""));
  EXPECT_EQ(photocheck({noFolders}).out, expectedConsole(noFolders + "\n" + echoOf("", "") +
                                                         "the image folder setting is empty\n"));

  const std::string noOutput = root / "nooutput.settings";
  writeFileBytes(noOutput, settingsText(root / "images", "  "));
  const ToolRun emptyOutput = photocheck({noOutput});
  EXPECT_EQ(emptyOutput.out, expectedConsole(noOutput + "\n" + echoOf(root / "images", "") +
                                             "the output folder setting is empty\n"));
  EXPECT_EQ(emptyOutput.status, 1);
  EXPECT_FALSE(fs::exists(root / "out"));
}

TEST(RunFlow, AllClearWhenNoCheckIsOnAndImagesExist) {
  TempFolder root;
  const std::string images = root / "images";
  writeFileBytes(images + "/one.jpg", "not even a photo");
  const std::string output = root / "deep/er/out";
  const std::string settings = root / "run.settings";
  // Switches that are not exactly "true" leave their checks off.
  writeFileBytes(settings, "a_focal = True\nb_gps = TRUE\nc_maker = 1\nd_resolution = yes\n" +
                               std::string("e_images = ") + images + "\nf_output = " + output +
                               "\n");
  // Further arguments are echoed; one that starts with "-" after "--" (it
  // would be an option before it).
  const ToolRun run = photocheck({settings, "extra one", "--", "-x"});
  EXPECT_EQ(run.out, expectedConsole(settings + "\n\nextra one\n\n-x\n" +
                                     "a_focal=True\nb_gps=TRUE\nc_maker=1\n" +
                                     "d_resolution=yes\ne_images=" + images +
                                     "\nf_output=" + output + "\n" + kAllClear));
  EXPECT_EQ(run.status, 0);
  // The output folder is made with its missing parents, even on an all-clear
  // run, and no report is written.
  EXPECT_TRUE(fs::is_directory(output));
  EXPECT_FALSE(fs::exists(output + "/error.json"));
}

TEST(RunFlow, KeyOrderDecidesTheRoles) {
  TempFolder root;
  writeFileBytes(root / "img/x.jpg", "x");
  const std::string settings = root / "run.settings";
  // The key that sorts last is the output folder whatever it is called; a
  // seventh key sorting after the six is echoed and ignored.
  writeFileBytes(settings, "zzz = ignored\nOUT = " + (root / "img") + "\nm = " + (root / "made") +
                               "\nA = no\nB = no\nC = no\nD = no\n");
  const ToolRun run = photocheck({settings});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(fs::is_directory(root / "made")) << run.out;
  EXPECT_EQ(run.out, expectedConsole(settings + "\nA=no\nB=no\nC=no\nD=no\nOUT=" + (root / "img") +
                                     "\nm=" + (root / "made") + "\nzzz=ignored\n" + kAllClear));
}

TEST(RunFlow, EmptyOrMissingImageFolderFailsTheRun) {
  TempFolder root;
  fs::create_directory(root / "empty");
  const std::string settings = root / "run.settings";
  writeFileBytes(settings, settingsText(root / "missing", root / "out"));
  const ToolRun missing = photocheck({settings});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find(expectedConsole(echoOf(root / "missing", root / "out") +
                                             "can not found the file ... \n")),
            std::string::npos)
      << missing.out;

  writeFileBytes(settings, settingsText(root / "empty", root / "out"));
  EXPECT_EQ(photocheck({settings}).status, 1);
}

}  // namespace
