// The side files (PHOTOCHECK_HTML, PHOTOCHECK_GEOJSON) from the caller's
// side: they never take the place of what the run must leave alone, any
// name the file system takes can be written, and a run short of memory
// loses only them.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include "tests/e2e/limited_run.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the runs a test starts, unsets it at the
// end.
class Variable {
 public:
  Variable(const char* name, const std::string& value) : name_(name) {
    ::setenv(name, value.c_str(), 1);
  }
  ~Variable() { ::unsetenv(name_); }
  Variable(const Variable&) = delete;
  Variable& operator=(const Variable&) = delete;

 private:
  const char* name_;
};

// What a path holds: a file's bytes, or its kind.
std::string stateOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return "nothing";
  if (S_ISLNK(st.st_mode)) return "link to " + fs::read_symlink(path).string();
  if (S_ISDIR(st.st_mode)) return "folder";
  if (S_ISFIFO(st.st_mode)) return "fifo";
  if (S_ISCHR(st.st_mode)) return "character device";
  return "file: " + readFileBytes(path).value_or("?");
}

// A link "link.html" in `root` to `target`; its path.
std::string linkAt(const TempFolder& root, const std::string& target) {
  fs::create_symlink(target, root / "link.html");
  return root / "link.html";
}

struct GuardCase {
  const char* what;
  // Makes what stands at the page's path (if anything) and returns the path.
  std::function<std::string(const TempFolder& root)> place;
  bool refused;
};

// A set of three photos in two folders, one without GPS (so error.json is
// written) unless the set is to pass.
struct GuardSet {
  TempFolder root;
  std::string images = root / "images";
  std::string output = root / "out";
  e2e::PhotoRun plain;

  explicit GuardSet(bool passes = false) {
    e2e::writePhoto(images + "/p0.jpg", e2e::Photo{});
    e2e::Photo noGps;
    if (!passes) noGps.gps.reset();
    e2e::writePhoto(images + "/p1.jpg", noGps);
    e2e::writePhoto(images + "/sub/p2.jpg", e2e::Photo{});
    ::unsetenv("PHOTOCHECK_HTML");
    ::unsetenv("PHOTOCHECK_GEOJSON");
    plain = e2e::runOn(root, images, output);
  }
};

TEST(SideFiles, PageNeverReplacesWhatTheRunMustLeaveAlone) {
  const GuardCase cases[] = {
      {"the run's error.json", [](const TempFolder& r) { return r / "out/error.json"; }, true},
      {"the settings file", [](const TempFolder& r) { return r / "photocheck.settings"; }, true},
      {"a listed photo", [](const TempFolder& r) { return r / "images/sub/p2.jpg"; }, true},
      {"a hard link to a listed photo",
       [](const TempFolder& r) {
         fs::create_hard_link(r / "images/p0.jpg", r / "hard.jpg");
         return r / "hard.jpg";
       },
       true},
      {"a photo through a linked folder",
       [](const TempFolder& r) {
         fs::create_directory_symlink(r / "images", r / "linked");
         return r / "linked/p0.jpg";
       },
       true},
      {"a FIFO",
       [](const TempFolder& r) {
         EXPECT_EQ(::mkfifo((r / "fifo").c_str(), 0666), 0);
         return r / "fifo";
       },
       true},
      {"a folder",
       [](const TempFolder& r) {
         fs::create_directory(r / "folder");
         return r / "folder";
       },
       true},
      {"a device node",
       [](const TempFolder& r) {
         // The null device's numbers, in a folder of the test's own.
         if (::mknod((r / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
           return std::string();
         return r / "null";
       },
       true},
      {"a link to a FIFO",
       [](const TempFolder& r) {
         EXPECT_EQ(::mkfifo((r / "fifo").c_str(), 0666), 0);
         fs::create_symlink(r / "fifo", r / "fifo.html");
         return r / "fifo.html";
       },
       true},
      {"a link to a device", [](const TempFolder& r) { return linkAt(r, "/dev/null"); }, true},
      {"a link to standard output, through /dev/stdout",
       [](const TempFolder& r) { return linkAt(r, "/dev/stdout"); }, true},
      {"a link to a process's descriptor",
       [](const TempFolder& r) { return linkAt(r, "/proc/self/fd/1"); }, true},
      {"a link to a link to a process's descriptor",
       [](const TempFolder& r) {
         fs::create_symlink("/dev/stdout", r / "stdout");
         return linkAt(r, r / "stdout");
       },
       true},
      {"a link to a folder",
       [](const TempFolder& r) {
         fs::create_directory(r / "folder");
         return linkAt(r, r / "folder");
       },
       true},
      {"a link to nothing: the link is replaced",
       [](const TempFolder& r) { return linkAt(r, r / "absent.html"); }, false},
      {"a link to a photo: the link is replaced",
       [](const TempFolder& r) {
         fs::create_symlink(r / "images/p0.jpg", r / "link.html");
         return r / "link.html";
       },
       false},
      {"a name of 255 bytes",
       [](const TempFolder& r) { return r / (std::string(250, 'n') + ".html"); }, false},
      {"a new name", [](const TempFolder& r) { return r / "page.html"; }, false},
  };
  for (const GuardCase& c : cases) {
    SCOPED_TRACE(c.what);
    GuardSet set;
    ASSERT_EQ(set.plain.run.status, 1);
    ASSERT_TRUE(set.plain.report.has_value());
    const std::string path = c.place(set.root);
    if (path.empty()) {
      std::cout << "[   SKIP   ] " << c.what << ": no device node can be made here ("
                << std::strerror(errno) << ")\n";
      continue;
    }
    const std::string before = stateOf(path);
    const std::string photo = readFileBytes(set.images + "/p0.jpg").value_or("");
    e2e::PhotoRun withPage;
    {
      const Variable page("PHOTOCHECK_HTML", path);
      withPage = e2e::runOn(set.root, set.images, set.output);
    }
    EXPECT_EQ(withPage.run.status, set.plain.run.status);
    EXPECT_EQ(withPage.run.err, set.plain.run.err);
    if (c.refused) {
      EXPECT_EQ(withPage.run.out, set.plain.run.out + "can not write the HTML page " + path + "\n");
      EXPECT_EQ(stateOf(path), before);
    } else {
      EXPECT_EQ(withPage.run.out, set.plain.run.out);
      EXPECT_EQ(stateOf(path).compare(0, 21, "file: <!DOCTYPE html>"), 0);
    }
    EXPECT_EQ(readFileBytes(set.output + "/error.json"), set.plain.report);
    EXPECT_EQ(readFileBytes(set.images + "/p0.jpg"), photo);
    // No temporary file is left beside it.
    for (const auto& entry : fs::directory_iterator(set.root.path())) {
      EXPECT_NE(entry.path().filename().string().rfind(".photocheck-", 0), 0u) << entry.path();
    }
  }
}

// A run that passes writes no error.json, and a caller takes one for a
// failed set: a side file whose path reaches the output folder's
// error.json, by that name or through a linked folder, is refused and
// leaves none behind.
TEST(SideFiles, NeitherSideFileBecomesTheReportOfAPassingRun) {
  GuardSet set(true);
  ASSERT_EQ(set.plain.run.status, 0);
  fs::create_directories(set.output);
  fs::create_directory_symlink(set.output, set.root / "linked-out");
  for (const auto& [variable, cannotWrite] :
       {std::pair{"PHOTOCHECK_HTML", "can not write the HTML page "},
        std::pair{"PHOTOCHECK_GEOJSON", "can not write the GeoJSON report "}}) {
    for (const std::string& path :
         {set.output + "/error.json", set.root / "linked-out/error.json"}) {
      SCOPED_TRACE(std::string(variable) + "=" + path);
      e2e::PhotoRun run;
      {
        const Variable side(variable, path);
        run = e2e::runOn(set.root, set.images, set.output);
      }
      EXPECT_EQ(run.run.status, 0);
      EXPECT_EQ(run.run.out, set.plain.run.out + cannotWrite + path + "\n");
      EXPECT_EQ(stateOf(set.output + "/error.json"), "nothing");
    }
  }
}

// The GeoJSON report passes the same guard, and never replaces the page
// the same run wrote.
TEST(SideFiles, GeoJsonPassesTheSameGuard) {
  GuardSet set;
  const std::string page = set.root / "both.html";
  e2e::PhotoRun run;
  {
    const Variable html("PHOTOCHECK_HTML", page);
    const Variable geoJson("PHOTOCHECK_GEOJSON", page);
    run = e2e::runOn(set.root, set.images, set.output);
  }
  EXPECT_EQ(run.run.out, set.plain.run.out + "can not write the GeoJSON report " + page + "\n");
  EXPECT_EQ(stateOf(page).compare(0, 21, "file: <!DOCTYPE html>"), 0);
  const std::string photo = set.images + "/p0.jpg";
  const std::string bytes = readFileBytes(photo).value_or("");
  {
    const Variable geoJson("PHOTOCHECK_GEOJSON", photo);
    run = e2e::runOn(set.root, set.images, set.output);
  }
  EXPECT_EQ(run.run.out, set.plain.run.out + "can not write the GeoJSON report " + photo + "\n");
  EXPECT_EQ(readFileBytes(photo), bytes);
  EXPECT_EQ(run.report, set.plain.report);
}

// A side file in the image folder, or in a folder below it, would be listed
// by the next run as one of its photos and fail a set that passed: it is
// refused, by the folder's identity (a linked folder counts as what it
// leads to), with its one line.
TEST(SideFiles, NoSideFileIsWrittenIntoTheImageFolder) {
  GuardSet set(true);
  ASSERT_EQ(set.plain.run.status, 0);
  fs::create_directory_symlink(set.images + "/sub", set.root / "linked-sub");
  for (const auto& [variable, cannotWrite] :
       {std::pair{"PHOTOCHECK_HTML", "can not write the HTML page "},
        std::pair{"PHOTOCHECK_GEOJSON", "can not write the GeoJSON report "}}) {
    for (const std::string& path : {set.images + "/set.html", set.images + "/sub/set.html",
                                    set.root / "linked-sub/set.html"}) {
      SCOPED_TRACE(std::string(variable) + "=" + path);
      e2e::PhotoRun run;
      {
        const Variable side(variable, path);
        run = e2e::runOn(set.root, set.images, set.output);
      }
      EXPECT_EQ(run.run.status, 0);
      EXPECT_EQ(run.run.out, set.plain.run.out + cannotWrite + path + "\n");
      EXPECT_EQ(stateOf(path), "nothing");
    }
  }
  // The next run lists what it listed before and still passes.
  EXPECT_EQ(e2e::runOn(set.root, set.images, set.output).run.out, set.plain.run.out);
}

// Another process swaps the link `side` between an empty folder and the
// image folder, again and again, while runs write their page to
// side/P0001.jpg. Each step of the write reaches the folder the path led to
// when it was opened: the page lands in the empty folder whole or is refused
// (the image folder's photo stays), and no temporary file is left in either.
TEST(SideFiles, AFolderSwappedWhileThePageIsWrittenTurnsNoPhotoIntoThePage) {
  TempFolder root;
  const std::string images = root / "images";
  const std::string empty = root / "empty";
  const std::string output = root / "out";
  const testsupport::Bytes jpeg = e2e::jpegOf(e2e::Photo{});
  for (int i = 1; i <= 200; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "/P%04d.jpg", i);
    writeFileBytes(images + name, jpeg);
  }
  fs::create_directories(empty);
  const std::string photo = images + "/P0001.jpg";
  const std::string bytes = readFileBytes(photo).value_or("");
  ASSERT_FALSE(bytes.empty());
  const std::string side = root / "side";
  fs::create_directory_symlink(empty, side);
  const std::string page = side + "/P0001.jpg";
  ::unsetenv("PHOTOCHECK_GEOJSON");
  ::unsetenv("PHOTOCHECK_HTML");
  const e2e::PhotoRun plain = e2e::runOn(root, images, output);
  ASSERT_EQ(plain.run.status, 0);

  const pid_t swapper = ::fork();
  ASSERT_GE(swapper, 0);
  if (swapper == 0) {
    // A new link made beside it and renamed over it: `side` always leads
    // to one folder or the other.
    const std::string next = root / "side.next";
    for (unsigned turn = 0;; ++turn) {
      ::unlink(next.c_str());
      if (::symlink(turn % 2 == 0 ? images.c_str() : empty.c_str(), next.c_str()) != 0 ||
          ::rename(next.c_str(), side.c_str()) != 0) {
        ::_exit(1);
      }
      ::usleep(100);
    }
  }
  int runs = 0;
  int photosReplaced = 0;
  int leftovers = 0;
  int badLines = 0;
  const auto start = std::chrono::steady_clock::now();
  for (; runs < 60 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30); ++runs) {
    e2e::PhotoRun run;
    {
      const Variable html("PHOTOCHECK_HTML", page);
      run = e2e::runOn(root, images, output);
    }
    const std::string refused = "can not write the HTML page " + page + "\n";
    if (run.run.out != plain.run.out && run.run.out != plain.run.out + refused) ++badLines;
    if (readFileBytes(photo) != bytes) {
      ++photosReplaced;
      writeFileBytes(photo, jpeg);
    }
    for (const std::string& folder : {images, empty}) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(".photocheck-", 0) == 0) {
          ++leftovers;
          fs::remove(entry.path());
        }
      }
    }
    fs::remove(empty + "/P0001.jpg");
  }
  ::kill(swapper, SIGKILL);
  ::waitpid(swapper, nullptr, 0);
  std::cout << "[   NOTE   ] " << runs << " runs with the folder swapped: " << photosReplaced
            << " turned the photo into the page, " << leftovers
            << " left a temporary file behind\n";
  EXPECT_EQ(photosReplaced, 0);
  EXPECT_EQ(leftovers, 0);
  EXPECT_EQ(badLines, 0);
  EXPECT_GE(runs, 10);
}

// Under an address-space limit that a run of 20,000 photos passes without
// the side files, it passes with them too: they are made after the run and
// a shortage then loses only them, with their one line each.
TEST(SideFiles, AShortageLosesOnlyTheSideFiles) {
  if (e2e::kSanitized) {
    GTEST_SKIP() << "a sanitizer runtime reserves terabytes of address space";
  }
  TempFolder root;
  const std::string images = root / "images";
  const std::string output = root / "out";
  const testsupport::Bytes photo = e2e::jpegOf(e2e::Photo{});
  for (int folder = 0; folder < 20; ++folder) {
    for (int i = 0; i < 1000; ++i) {
      writeFileBytes(images + "/f" + std::to_string(folder) + "/DJI_" + std::to_string(i) + ".JPG",
                     photo);
    }
  }
  const std::string settings = root / "photocheck.settings";
  std::string text;
  for (const auto& [key, value] : e2e::settingsOf(images, output, {})) {
    text += key + " = " + value + "\n";
  }
  writeFileBytes(settings, text);
  const rlim_t limit = 14 * 1024 * 1024;
  e2e::RunLimits plainLimits = e2e::limitedTo(RLIMIT_AS, limit);
  plainLimits.environment = {"PATH=/usr/bin:/bin"};
  const ToolRun plain = e2e::runLimited(PHOTOCHECK_EXE, {settings}, plainLimits);
  if (plain.status != 0) {
    GTEST_SKIP() << "the run does not pass under 14 MiB here without the side files either";
  }
  e2e::RunLimits sideLimits = plainLimits;
  const std::string page = root / "set.html";
  const std::string geoJson = root / "set.geojson";
  sideLimits.environment.push_back("PHOTOCHECK_HTML=" + page);
  sideLimits.environment.push_back("PHOTOCHECK_GEOJSON=" + geoJson);
  const ToolRun withSideFiles = e2e::runLimited(PHOTOCHECK_EXE, {settings}, sideLimits);
  EXPECT_EQ(withSideFiles.status, 0);
  ASSERT_EQ(withSideFiles.out.compare(0, plain.out.size(), plain.out), 0);
  const std::string told = withSideFiles.out.substr(plain.out.size());
  const std::string pageLine = "can not write the HTML page " + page + "\n";
  EXPECT_TRUE(told.empty() || told == pageLine || told.rfind(pageLine, 0) == 0 ||
              told.rfind("can not write the GeoJSON report ", 0) == 0)
      << told;
  EXPECT_FALSE(fs::exists(output + "/error.json"));
  std::cout << "[   NOTE   ] with the side files under 14 MiB: "
            << (told.empty() ? std::string("both written") : told) << "\n";
}

}  // namespace

#endif  // _WIN32
