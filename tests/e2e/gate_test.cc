// The run is a gate: status 0 must mean that every listed photo was read and
// passed, the run writes nothing but its own report, and it neither hangs nor
// dies, whatever the folders, the settings file or the console it is given.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "gtest/gtest.h"
#include "tests/e2e/photo_set.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using e2e::Photo;
// A settings file for the GPS check alone over `images`, writing into `out`.
std::string gpsSettings(const std::string& images, const std::string& out) {
  return "a=false\nb=true\nc=false\nd=false\ne=" + images + "\nf=" + out + "\n";
}

// Used by the POSIX-only tests below alone.
[[maybe_unused]] std::string gpsReport(const std::vector<std::string>& names) {
  return e2e::jsonReport({e2e::jsonGroup(104, texts::kGpsDescription, names)});
}

TEST(Gate, ANulByteInAFolderSettingStopsTheRunBeforeAnythingIsTouched) {
  TempFolder root;
  writeFileBytes(root / "out.txt", "precious");
  struct Case {
    std::string images, out;
    const char* line;
  };
  const std::string nul(1, '\0');
  const Case cases[] = {
      {root / "images" + nul + "x", root / "made", texts::kImageFolderHoldsNul},
      {root / "images", root / "out.txt" + nul + kSep + "reports", texts::kOutputFolderHoldsNul},
      // The first failing test alone is told.
      {root / "images" + nul, "", texts::kOutputFolderEmpty},
  };
  for (const Case& c : cases) {
    const std::string settings = root / "zero-byte.settings";
    writeFileBytes(settings, gpsSettings(c.images, c.out));
    const ToolRun run = runTool(PHOTOCHECK_EXE, {settings});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(e2e::lastLine(run.out), c.line);
    EXPECT_EQ(readFileBytes(root / "out.txt"), "precious");
    EXPECT_FALSE(fs::exists(root / "made"));
  }
}

// A settings file of more than 1 MiB is refused right after the argument
// echo; one of exactly 1 MiB is read.
TEST(Gate, TheSettingsFileIsReadUpToOneMebibyte) {
  TempFolder root;
  const std::string images = root / "images";
  e2e::writePhoto(images + kSep + "a.jpg", Photo{});
  std::string text = gpsSettings(images, root / "out");
  const std::size_t limit = 1048576;
  text += "# " + std::string(limit - text.size() - 3, 'x') + "\n";
  ASSERT_EQ(text.size(), limit);
  const std::string settings = root / "big.settings";

  writeFileBytes(settings, text);
  const ToolRun atLimit = runTool(PHOTOCHECK_EXE, {settings});
  EXPECT_EQ(atLimit.status, 0);
  EXPECT_NE(atLimit.out.find(expectedConsole(texts::kAllClear)), std::string::npos);

  writeFileBytes(settings, text + "\n");
  const ToolRun over = runTool(PHOTOCHECK_EXE, {settings});
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(over.out,
            expectedConsole(settings + "\n" + texts::kSettingsTooLarge + std::string("\n")));
}

#ifndef _WIN32
// Runs a shell command line; the tool is $PC, the test's folder $T.
ToolRun shell(const std::string& command, const TempFolder& root) {
  return runTool("/bin/bash", {"-c", "PC='" + std::string(PHOTOCHECK_EXE) + "' T='" + root.path() +
                                         "'; " + command});
}

TEST(Gate, SettingsFromAPipeOrAnEndlessDeviceNeitherHangNorEatMemory) {
  TempFolder root;
  const std::string images = root / "images";
  e2e::writePhoto(images + "/a.jpg", Photo{});
  writeFileBytes(root / "s", gpsSettings(images, root / "out"));
  ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
  const ToolRun file = runTool(PHOTOCHECK_EXE, {root / "s"});
  ASSERT_EQ(file.status, 0);
  const std::string afterPath = file.out.substr(file.out.find('\n'));

  const ToolRun fifo = shell("cat \"$T/s\" > \"$T/fifo\" & timeout 20 \"$PC\" \"$T/fifo\"", root);
  EXPECT_EQ(fifo.status, 0);
  EXPECT_EQ(fifo.out, root / "fifo" + afterPath);

  const ToolRun substituted = shell("timeout 20 \"$PC\" <(cat \"$T/s\")", root);
  EXPECT_EQ(substituted.status, 0);
  EXPECT_EQ(substituted.out.substr(substituted.out.find('\n')), afterPath);

  const ToolRun zero = shell("timeout 20 \"$PC\" /dev/zero", root);
  EXPECT_EQ(zero.status, 1);
  EXPECT_EQ(zero.out, std::string("/dev/zero\n") + texts::kSettingsTooLarge + "\n");
}

// A caller that stops reading early, a full device, or no standard output at
// all: the run still does all its work, writes its report and gives its
// verdict.
TEST(Gate, AConsoleThatFailsCostsNeitherTheReportNorTheVerdict) {
  TempFolder root;
  const std::string images = root / "images";
  std::vector<std::string> names;
  for (int i = 0; i < 1500; ++i) {
    names.push_back("p" + std::to_string(1000 + i) + ".jpg");
    writeFileBytes(images + "/" + names.back(), "not a photo");
  }
  writeFileBytes(root / "s", gpsSettings(images, root / "out"));
  const std::string report = gpsReport(names);
  const std::string json = root / "out/error.json";

  struct Case {
    const char* name;
    const char* command;
  };
  const Case cases[] = {
      {"head", "\"$PC\" \"$T/s\" | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}"},
      {"grep -q", "\"$PC\" \"$T/s\" | grep -q .; exit ${PIPESTATUS[0]}"},
      {"full device", "\"$PC\" \"$T/s\" >/dev/full"},
      {"closed", "\"$PC\" \"$T/s\" >&-"},
  };
  for (const Case& c : cases) {
    fs::remove_all(root / "out");
    const ToolRun run = shell(c.command, root);
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(readFileBytes(json), report) << c.name;
  }
}

// A photo nobody may read, a sub-folder nobody may list, a folder that may
// be listed but not searched: none of them may let the set pass. Runs as an
// unprivileged user, since root may read anything.
TEST(Gate, WhatCannotBeReadOrListedFailsTheSet) {
  if (shell("setpriv --reuid=65534 --regid=65534 --clear-groups true", TempFolder()).status != 0) {
    GTEST_SKIP() << "cannot run as an unprivileged user here (setpriv)";
  }
  TempFolder root;
  fs::permissions(root.path(), fs::perms::all);
  const std::string images = root / "images";
  e2e::writePhoto(images + "/a.jpg", Photo{});
  e2e::writePhoto(images + "/locked/hidden.jpg", Photo{});
  e2e::writePhoto(images + "/nosearch/n.jpg", Photo{});
  e2e::writePhoto(images + "/secret.jpg", Photo{});
  fs::create_directories(root / "out");
  fs::permissions(root / "out", fs::perms::all);
  fs::permissions(images + "/locked", fs::perms::none);
  fs::permissions(images + "/nosearch",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(images + "/secret.jpg", fs::perms::none);
  writeFileBytes(root / "s", gpsSettings(images, root / "out"));
  fs::permissions(root / "s", fs::perms::owner_read | fs::perms::others_read);

  const ToolRun run =
      shell("setpriv --reuid=65534 --regid=65534 --clear-groups \"$PC\" \"$T/s\"", root);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(std::string(texts::kFolderNotFound) + "\n"), std::string::npos);
  EXPECT_NE(run.out.find(texts::kImageCount + std::string("4\n")), std::string::npos);
  EXPECT_EQ(readFileBytes(root / "out/error.json"), gpsReport({"locked", "n.jpg", "secret.jpg"}));
  fs::permissions(images + "/locked", fs::perms::owner_all);
  fs::permissions(images + "/nosearch", fs::perms::owner_all);
}

// Each of 20 folders holds two links to the next: 2^20 ways to the photo at
// the bottom. Each folder is listed once, where it is first met.
TEST(Gate, LinksThatReachAFolderByManyPathsListItOnce) {
  TempFolder root;
  const int depth = 20;
  for (int i = 0; i < depth; ++i) {
    const std::string folder = root / ("f" + std::to_string(i));
    fs::create_directories(folder);
    const std::string next = root / ("f" + std::to_string(i + 1));
    fs::create_directory_symlink(next, folder + "/a");
    fs::create_directory_symlink(next, folder + "/b");
  }
  e2e::writePhoto(root / ("f" + std::to_string(depth)) + "/photo.jpg", Photo{});
  writeFileBytes(root / "s", gpsSettings(root / "f0", root / "out"));
  const ToolRun run = shell("timeout 60 \"$PC\" \"$T/s\"", root);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find(texts::kImageCount + std::string("1\n")), std::string::npos);
}

// Whatever stands in the output folder under a name a temporary file might
// take (a link to a file of the user's, a named pipe, a folder), the report
// is written whole, the linked file is untouched, nothing is left behind.
TEST(Gate, NothingPlantedInTheOutputFolderIsFollowedOrBlocksTheReport) {
  TempFolder root;
  const std::string images = root / "images";
  writeFileBytes(images + "/1.jpg", "not a photo");
  writeFileBytes(root / "victim", "the user's own file");
  const std::string out = root / "out";
  const std::vector<std::string> planted = {"error.json.tmp",     "error.json.XXXXXX",
                                            ".photocheck-XXXXXX", "error.json~",
                                            ".error.json",        "error.json.new"};
  for (const char* kind : {"link", "pipe", "folder"}) {
    fs::remove_all(out);
    fs::create_directories(out);
    for (const std::string& name : planted) {
      const std::string path = out + "/" + name;
      if (kind == std::string("link")) fs::create_symlink(root / "victim", path);
      if (kind == std::string("pipe")) {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      }
      if (kind == std::string("folder")) fs::create_directories(path);
    }
    // The report's own name a link too: it is replaced, never written through.
    if (kind == std::string("link")) fs::create_symlink(root / "victim", out + "/error.json");
    writeFileBytes(root / "s", gpsSettings(images, out));
    const ToolRun run = shell("timeout 20 \"$PC\" \"$T/s\"", root);
    EXPECT_EQ(run.status, 1) << kind;
    EXPECT_EQ(e2e::lastLine(run.out), gpsReport({"1.jpg"})) << kind;
    EXPECT_FALSE(fs::is_symlink(out + "/error.json")) << kind;
    EXPECT_EQ(readFileBytes(out + "/error.json"), gpsReport({"1.jpg"})) << kind;
    EXPECT_EQ(readFileBytes(root / "victim"), "the user's own file") << kind;
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(out)) left.insert(entry.path().filename());
    std::set<std::string> expected(planted.begin(), planted.end());
    expected.insert("error.json");
    EXPECT_EQ(left, expected) << kind;
  }
}

// Two failing runs into one folder at once: error.json is always one whole
// report of one of them, and neither says it could not write.
TEST(Gate, TwoRunsIntoOneFolderLeaveOneWholeReport) {
  TempFolder root;
  writeFileBytes(root / "one/1.jpg", "not a photo");
  writeFileBytes(root / "two/2.jpg", "not a photo");
  writeFileBytes(root / "s1", gpsSettings(root / "one", root / "out"));
  writeFileBytes(root / "s2", gpsSettings(root / "two", root / "out"));
  const std::set<std::string> whole = {gpsReport({"1.jpg"}), gpsReport({"2.jpg"})};
  const ToolRun runs = shell(
      "for i in $(seq 50); do"
      " (\"$PC\" \"$T/s1\" > \"$T/o1\"; echo $? > \"$T/r1\") &"
      " (\"$PC\" \"$T/s2\" > \"$T/o2\"; echo $? > \"$T/r2\") & wait;"
      " echo \"status $(cat \"$T/r1\" \"$T/r2\" | tr '\\n' ' ')\";"
      " echo \"report $(cat \"$T/out/error.json\")\";"
      " echo \"cannot $(cat \"$T/o1\" \"$T/o2\" | grep -c 'can not write')\"; done",
      root);
  std::map<std::string, std::size_t> seen;
  std::size_t start = 0;
  while (start < runs.out.size()) {
    const std::size_t end = runs.out.find('\n', start);
    const std::string line = runs.out.substr(start, end - start);
    start = end == std::string::npos ? runs.out.size() : end + 1;
    const std::string kind = line.substr(0, line.find(' '));
    const std::string rest = line.substr(kind.size() + 1);
    ++seen[kind];
    if (kind == "status") {
      EXPECT_EQ(rest, "1 1 ");
    }
    if (kind == "report") {
      EXPECT_EQ(whole.count(rest), 1u) << "not one whole report: " << rest;
    }
    if (kind == "cannot") {
      EXPECT_EQ(rest, "0");
    }
  }
  EXPECT_EQ(seen,
            (std::map<std::string, std::size_t>{{"cannot", 50}, {"report", 50}, {"status", 50}}));
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "out"), fs::directory_iterator()), 1);
}
#endif

}  // namespace
