// error.json as a calling script finds it: which groups, which names, which
// bytes, and what happens to an earlier report.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console/console_texts.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"

namespace {

namespace fs = std::filesystem;

using e2e::jsonGroup;
using e2e::jsonReport;
using e2e::lastLine;
using e2e::Photo;
using e2e::PhotoRun;
using e2e::Switches;
using e2e::writePhoto;

// A set in which every check finds something: 1.jpg is of another size,
// 2.jpg of another maker, 3.jpg has no 35 mm focal length, 4.jpg no GPS.
std::string writeSetFailingEveryCheck(const TempFolder& root) {
  const std::string images = root / "images";
  Photo otherSize;
  otherSize.width = 6000;
  Photo otherMaker;
  otherMaker.make = std::string("DJI");
  Photo noFocal;
  noFocal.focalLength35mm.reset();
  Photo noGps;
  noGps.gps.reset();
  writePhoto(images + "/1.jpg", otherSize);
  writePhoto(images + "/2.jpg", otherMaker);
  writePhoto(images + "/3.jpg", noFocal);
  writePhoto(images + "/4.jpg", noGps);
  writePhoto(images + "/5.jpg", Photo{});
  return images;
}

TEST(ErrorReport, NoImageReportIsSixtyBytesOnTheConsoleAndInTheFile) {
  TempFolder root;
  const std::string images = root / "images";
  fs::create_directories(images);
  const PhotoRun r = e2e::runOn(root, images, root / "out");
  const std::string report = std::string("{\"errors\":[{\"errcode\":105,\"error_des\":\"") +
                             texts::kNoImageDescription + "\"}]}";
  ASSERT_EQ(report.size(), 60u);
  // Every switched-on check still runs over the empty list.
  const std::string emptyComparison =
      std::string("\n") + texts::kImageCount + "0\n" + texts::kGroupErrorCount + "0\n";
  EXPECT_EQ(r.run.out, expectedConsole(
                           e2e::runStart(r, images, root / "out") + texts::kStartResolution + "\n" +
                           emptyComparison + texts::kStartCameraMaker + "\n" + emptyComparison +
                           texts::kStartFocalLength + "\n\n" + texts::kImageCount + "0\n" +
                           texts::kStartGps + "\n\n" + texts::kImageCount + "0\n" + report + "\n"));
  EXPECT_EQ(r.run.status, 1);
  EXPECT_EQ(r.report, report);
}

TEST(ErrorReport, AllFourChecksFailingGiveGroups101To104InOrder) {
  TempFolder root;
  const std::string images = writeSetFailingEveryCheck(root);
  const PhotoRun r = e2e::runOn(root, images, root / "out");
  const std::string report = jsonReport({jsonGroup(101, texts::kResolutionDescription, {"1.jpg"}),
                                         jsonGroup(102, texts::kCameraMakerDescription, {"2.jpg"}),
                                         jsonGroup(103, texts::kFocalLengthDescription, {"3.jpg"}),
                                         jsonGroup(104, texts::kGpsDescription, {"4.jpg"})});
  EXPECT_EQ(r.report, report);
  EXPECT_EQ(lastLine(r.run.out), report);
  EXPECT_EQ(r.run.status, 1);
}

TEST(ErrorReport, ASwitchedOffCheckNeverYieldsAGroup) {
  TempFolder root;
  const std::string images = writeSetFailingEveryCheck(root);
  struct Case {
    Switches on;
    std::vector<std::string> groups;
  };
  const Case cases[] = {
      {{false, true, true, false},
       {jsonGroup(102, texts::kCameraMakerDescription, {"2.jpg"}),
        jsonGroup(103, texts::kFocalLengthDescription, {"3.jpg"})}},
      {{true, false, false, true},
       {jsonGroup(101, texts::kResolutionDescription, {"1.jpg"}),
        jsonGroup(104, texts::kGpsDescription, {"4.jpg"})}},
      {{false, false, false, true}, {jsonGroup(104, texts::kGpsDescription, {"4.jpg"})}},
  };
  for (const Case& c : cases) {
    const PhotoRun r = e2e::runOn(root, images, root / "out", c.on);
    EXPECT_EQ(r.report, jsonReport(c.groups));
    EXPECT_EQ(lastLine(r.run.out), jsonReport(c.groups));
    // No start line of a check that is off.
    EXPECT_EQ(r.run.out.find(texts::kStartResolution) != std::string::npos, c.on.resolution);
    EXPECT_EQ(r.run.out.find(texts::kStartCameraMaker) != std::string::npos, c.on.cameraMaker);
    EXPECT_EQ(r.run.out.find(texts::kStartFocalLength) != std::string::npos, c.on.focalLength);
    EXPECT_EQ(r.run.out.find(texts::kStartGps) != std::string::npos, c.on.gps);
  }
}

#ifndef _WIN32
// File names are written as their bytes: GBK stays GBK (no \u escape), and
// only what JSON must escape is escaped, the way RapidJSON escapes it. On
// POSIX a backslash is an ordinary file-name byte and stays in the name.
TEST(ErrorReport, NamesAreWrittenByteForByte) {
  struct Case {
    std::string name, json;
  };
  const Case cases[] = {
      {"\xd5\xd5\xc6\xac.jpg", "\xd5\xd5\xc6\xac.jpg"},  // "照片.jpg" in GBK
      {"tab\there.jpg", "tab\\there.jpg"},
      {"line\nfeed\r.jpg", "line\\nfeed\\r.jpg"},
      {"bell\x07\x1f.jpg", "bell\\u0007\\u001F.jpg"},
      {"quote\"back\\slash.jpg", "quote\\\"back\\\\slash.jpg"},
  };
  for (const Case& c : cases) {
    TempFolder root;
    const std::string images = root / "images";
    Photo noGps;
    noGps.gps.reset();
    writePhoto(images + "/" + c.name, noGps);
    const PhotoRun r = e2e::runOn(root, images, root / "out", Switches{false, false, false, true});
    const std::string report = jsonReport({jsonGroup(104, texts::kGpsDescription, {c.json})});
    EXPECT_EQ(r.report, report);
    EXPECT_EQ(lastLine(r.run.out), report);
    // The console shows the raw name.
    EXPECT_NE(r.run.out.find(texts::kErrorImageName + c.name + "\n"), std::string::npos);
  }
}
#endif

TEST(ErrorReport, APassingRunLeavesAnEarlierReportUntouched) {
  TempFolder root;
  const std::string images = root / "images";
  writePhoto(images + "/1.jpg", Photo{});
  writeFileBytes(root / "out/error.json", "earlier report");
  const PhotoRun r = e2e::runOn(root, images, root / "out");
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.report, "earlier report");
}

TEST(ErrorReport, AFailingRunReplacesAnEarlierReportWhole) {
  TempFolder root;
  const std::string images = root / "images";
  writeFileBytes(images + "/1.jpg", "not a photo");
  writeFileBytes(root / "out/error.json", std::string(500, 'x'));
  const PhotoRun r = e2e::runOn(root, images, root / "out", Switches{false, false, true, false});
  EXPECT_EQ(r.report, jsonReport({jsonGroup(103, texts::kFocalLengthDescription, {"1.jpg"})}));
  EXPECT_FALSE(fs::exists(root / "out/error.json.tmp"));
}

// A report that cannot be written: the JSON line, then "can not write" and
// the path, status 1. The output folder here is a plain file (so it cannot
// be created), or error.json's temporary file cannot be made because a
// folder of that name is in the way (a permission test would not stop a
// root user); the earlier error.json must then survive unchanged.
TEST(ErrorReport, AnUnwritableReportIsToldAndAnEarlierOneSurvives) {
  TempFolder root;
  const std::string images = root / "images";
  writeFileBytes(images + "/1.jpg", "not a photo");
  const std::string report = jsonReport({jsonGroup(104, texts::kGpsDescription, {"1.jpg"})});
  const Switches gpsOnly{false, false, false, true};

  writeFileBytes(root / "file", "a file, not a folder");
  const std::string fileAsFolder = root / "file";
  const PhotoRun notAFolder = e2e::runOn(root, images, fileAsFolder, gpsOnly);
  EXPECT_EQ(lastLine(notAFolder.run.out), texts::kCannotWrite + fileAsFolder + kSep + "error.json");
  EXPECT_NE(notAFolder.run.out.find(expectedConsole("\n" + report + "\n") + texts::kCannotWrite),
            std::string::npos);
  EXPECT_EQ(notAFolder.run.status, 1);

  // A folder standing where the report goes cannot be replaced: it stays as
  // it was, with what it holds, and no temporary file is left beside it.
  const std::string out = root / "out";
  writeFileBytes(out + kSep + "error.json" + kSep + "kept", "earlier content");
  const PhotoRun blocked = e2e::runOn(root, images, out, gpsOnly);
  EXPECT_EQ(lastLine(blocked.run.out), texts::kCannotWrite + out + kSep + "error.json");
  EXPECT_NE(blocked.run.out.find(expectedConsole("\n" + report + "\n") + texts::kCannotWrite),
            std::string::npos);
  EXPECT_EQ(blocked.run.status, 1);
  EXPECT_EQ(readFileBytes(out + kSep + "error.json" + kSep + "kept"), "earlier content");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

}  // namespace
