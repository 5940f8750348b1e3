// Each photo is read once, ahead of the printing and several at a time: the
// output of a set larger than the read-ahead window is the same, byte for
// byte, as reading one photo after another for each check gives; a text that
// declares far more bytes than it holds costs the memory of what it holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/console_texts.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"

namespace {

using e2e::groupReport;
using e2e::jsonGroup;
using e2e::listing;

std::string nameOf(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "p%03d.jpg", i);
  return name;
}

// 300 files, far more than the read-ahead window: a few not photos at all,
// and in each check a few photos that differ from the rest. All four checks
// run, the first reads every file, the other three use what it kept.
TEST(ReadOnce, AllFourChecksOverASetLargerThanTheWindowKeepListOrder) {
  TempFolder root;
  const std::string images = root / "images";
  constexpr int kCount = 300;
  std::vector<std::string> errors, wide, nikon, noFocal, noGps;
  for (int i = 0; i < kCount; ++i) {
    const std::string name = nameOf(i);
    if (i % 50 == 7) {
      writeFileBytes(images + kSep + name, "not a photo");
      errors.push_back(name);
      continue;
    }
    e2e::Photo photo;
    if (i % 10 == 3) {
      photo.width = 5000;
      wide.push_back(name);
    }
    if (i % 25 == 4) {
      photo.make = "Nikon";
      nikon.push_back(name);
    }
    if (i % 30 == 5) {
      photo.focalLength35mm.reset();
      noFocal.push_back(name);
    }
    if (i % 40 == 6) {
      photo.gps.reset();
      noGps.push_back(name);
    }
    e2e::writePhoto(images + kSep + name, photo);
  }
  const auto others = [&](const std::vector<std::string>& apart) {
    return kCount - errors.size() - apart.size();
  };
  const std::string expectedOut =
      e2e::checkStart(texts::kStartResolution, texts::kResolutionHeader, kCount) +
      listing("error", errors.size()) + groupReport(errors) + listing("4000*3000", others(wide)) +
      listing("5000*3000", wide.size()) + groupReport(wide) +
      e2e::checkStart(texts::kStartCameraMaker, texts::kCameraMakerHeader, kCount) +
      listing("error", errors.size()) + groupReport(errors) + listing("Canon", others(nikon)) +
      listing("Nikon", nikon.size()) + groupReport(nikon) +
      e2e::checkStart(texts::kStartFocalLength, texts::kFocalLengthHeader, kCount) +
      listing("0", noFocal.size()) + groupReport(noFocal) + listing("24", others(noFocal)) +
      listing("error", errors.size()) + groupReport(errors) +
      e2e::checkStart(texts::kStartGps, texts::kGpsHeader, kCount) + listing("1", noGps.size()) +
      groupReport(noGps) + listing("error", errors.size()) + groupReport(errors);
  const auto joined = [](std::vector<std::string> first, const std::vector<std::string>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
  };
  const std::string report = e2e::jsonReport({
      jsonGroup(101, texts::kResolutionDescription, joined(errors, wide)),
      jsonGroup(102, texts::kCameraMakerDescription, joined(errors, nikon)),
      jsonGroup(103, texts::kFocalLengthDescription, joined(noFocal, errors)),
      jsonGroup(104, texts::kGpsDescription, joined(noGps, errors)),
  });

  const e2e::PhotoRun r = e2e::runOn(root, images, root / "out");
  EXPECT_EQ(r.run.out,
            expectedConsole(e2e::runStart(r, images, root / "out") + expectedOut + report + "\n"));
  EXPECT_EQ(r.run.status, 1);
  EXPECT_EQ(r.report, report);
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A photo whose maker entry claims 1 GiB of a sparse file, where the text
// ends at its first byte (a zero byte), under an address space limit of
// 64 MiB: the text is read up to that byte, so the photo is read like any
// other (it has no GPS position and is reported for that alone).
// (The sanitizer builds reserve far more address space than any such limit.)
TEST(ReadOnce, ATextThatDeclaresAGigabyteCostsWhatItHolds) {
  TempFolder root;
  const std::string images = root / "images";
  constexpr std::uint32_t kValueAt = 64 * 1024;  // from the TIFF header
  constexpr std::uint32_t kMakerLength = 1u << 30;
  testsupport::ExifBuilder exif;
  exif.addRaw(testsupport::Ifd::ifd0, 0x010F, testsupport::kAscii, kMakerLength, kValueAt);  // Make
  const std::string big = images + "/a-big.jpg";
  writeFileBytes(big, testsupport::JpegBuilder().exif(exif.segment()).build());
  // Zeros up to past the maker value (a hole in the file), then the end marker.
  const std::uintmax_t size = std::uintmax_t{kValueAt} + kMakerLength + 4096;
  std::filesystem::resize_file(big, size - 2);
  std::ofstream(big, std::ios::binary | std::ios::app).write("\xff\xd9", 2);
  ASSERT_EQ(std::filesystem::file_size(big), size);
  e2e::writePhoto(images + "/b.jpg", e2e::Photo{});

  const std::string settings = root / "photocheck.settings";
  writeFileBytes(settings,
                 "a=false\nb=true\nc=false\nd=false\ne=" + images + "\nf=" + (root / "out") + "\n");
  const ToolRun run =
      runTool("/bin/sh", {"-c", "ulimit -v 65536 && exec \"$0\" \"$1\"", PHOTOCHECK_EXE, settings});
  const std::string report =
      e2e::jsonReport({jsonGroup(104, texts::kGpsDescription, {"a-big.jpg"})});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(listing("1", 1) + groupReport({"a-big.jpg"}) + report + "\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(readFileBytes(root / "out/error.json"), report);
}
#endif

}  // namespace
