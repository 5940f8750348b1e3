// The reader against real files of the shared corpus: the camera photos are
// compared with the values ExifTool reads (truth.json, less the known
// differences of tests/support/corpus_truth.cc), and the malformed
// files must each give a known result code without a crash (run this suite
// under the asan preset to make "no crash" mean "no invalid read").

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "exif/exif_record.h"
#include "tests/support/corpus_truth.h"
#include "tests/support/jpeg_builder.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;

Bytes readFile(const fs::path& path) {
  const std::optional<std::string> bytes = readFileBytes(path.string());
  return bytes ? Bytes(bytes->begin(), bytes->end()) : Bytes();
}

// Make as ExifTool reports it: up to the first zero byte, trailing blanks
// dropped. Several cameras pad the field with blanks or zero bytes, and our
// reader keeps the stored bytes (less one terminating zero byte).
std::string makeAsExifTool(const std::string& stored) {
  std::string text = stored.substr(0, stored.find('\0'));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// True when truth's `notes` say ExifTool turned this tag's value into
// something that is not a number (then a null is not "tag absent").
bool noteMentions(const TruthValues& truth, const std::string& tagName) {
  for (const std::string& note : truth.notes) {
    if (note.find(tagName) != std::string::npos) return true;
  }
  return false;
}

// Compares one numeric member. A null agrees with our reset 0 only when the
// tag was absent for ExifTool too (no note says it held a non-number).
bool numberAgrees(const TruthValues& truth, const TruthNumber& member, double ours) {
  const std::optional<double>& theirs = truth.*(member.value);
  if (!theirs) return ours == 0 && !noteMentions(truth, member.tagName);
  // truth.json holds ExifTool's 15 significant digits.
  return std::fabs(ours - *theirs) <= 1e-9 * std::max(1.0, std::fabs(*theirs));
}

// The reader's value for a numeric member of truth.json.
double readerNumber(const ExifRecord& r, const std::string& member) {
  if (member == "exifImageWidth") return r.imageWidth;
  if (member == "exifImageHeight") return r.imageHeight;
  if (member == "focalLength35mm") return r.focalLength35mm;
  if (member == "gpsAltitude") return r.gps.altitude;
  if (member == "gpsLatitude") return r.gps.latitude;
  if (member == "gpsLongitude") return r.gps.longitude;
  ADD_FAILURE() << "no reader value for truth member " << member;
  return 0;
}

// Members of `truth` that differ from what the reader gives for this file,
// sorted and space-separated.
std::string differences(const TruthValues& truth, ExifResult result, const ExifRecord& r) {
  std::vector<std::string> differing;
  if ((result == exifOk) != truth.byteOrder.has_value()) {
    differing.push_back("byteOrder");
  } else if (result == exifOk) {
    if (*truth.byteOrder != (r.intelByteOrder ? "II" : "MM")) differing.push_back("byteOrder");
    if (truth.make ? makeAsExifTool(r.make) != *truth.make : !r.make.empty()) {
      differing.push_back("make");
    }
    for (const TruthNumber& member : kTruthNumbers) {
      if (!numberAgrees(truth, member, readerNumber(r, member.member))) {
        differing.push_back(member.member);
      }
    }
  }
  std::sort(differing.begin(), differing.end());
  std::string joined;
  for (const std::string& d : differing) joined += (joined.empty() ? "" : " ") + d;
  return joined;
}

std::string describe(ExifResult result, const ExifRecord& r) {
  std::ostringstream out;
  out << "result " << result << ", make \"" << makeAsExifTool(r.make) << "\", " << r.imageWidth
      << "x" << r.imageHeight << ", 35mm " << r.focalLength35mm << ", gps " << r.gps.latitude << " "
      << r.gps.longitude << " " << r.gps.altitude;
  return out.str();
}

std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& item : fs::directory_iterator(folder)) {
    if (item.is_regular_file()) files.push_back(item.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

ExifResult parseFile(const Bytes& bytes, ExifRecord& record) {
  return record.parseJpeg(bytes.empty() ? nullptr : bytes.data(),
                          static_cast<std::uint32_t>(bytes.size()));
}

bool isKnownResult(ExifResult result) {
  return result == exifOk || result == exifNotJpeg || result == exifNoExif ||
         result == exifUnknownByteOrder || result == exifCorrupt;
}

TEST(Corpus, CameraPhotosAgreeWithExifTool) {
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  const CorpusTruth truth = readCorpusTruth(corpus);
  ASSERT_EQ(truth.error, "");
  std::map<std::string, const CorpusPhoto*> byKey;
  for (const CorpusPhoto& photo : truth.cameras) byKey[photo.key] = &photo;

  int compared = 0, agreeing = 0, listed = 0;
  std::set<std::string> seen;
  for (const fs::path& path : filesIn(fs::path(corpus) / "cameras")) {
    const std::string key = "cameras/" + path.filename().string();
    ASSERT_EQ(byKey.count(key), 1u) << key << " is missing from truth.json";
    const CorpusPhoto& photo = *byKey[key];
    const Bytes bytes = readFile(path);
    ExifRecord record;
    const ExifResult result = parseFile(bytes, record);
    const std::string differing = differences(photo.exifTool, result, record);
    ++compared;
    seen.insert(key);
    if (photo.difference != nullptr) {
      ++listed;
      EXPECT_EQ(differing, photo.differingMembers)
          << key << " (" << photo.difference->reason << "): " << describe(result, record);
      EXPECT_EQ(differences(photo.ours, result, record), "")
          << key << " reads otherwise than its known difference " << photo.difference->ours
          << " says: " << describe(result, record);
    } else {
      if (differing.empty()) ++agreeing;
      EXPECT_EQ(differing, "") << key << ": " << describe(result, record);
    }
  }
  for (const KnownDifference& k : knownDifferences()) {
    EXPECT_EQ(seen.count(k.key), 1u) << k.key << " is listed but not in the corpus";
  }
  EXPECT_GT(compared, 0);
  std::printf("corpus: %d photos compared, %d agree with ExifTool, %d listed differences\n",
              compared, agreeing, listed);
  RecordProperty("compared", compared);
  RecordProperty("agreeing", agreeing);
  RecordProperty("listed", listed);
}

// Malformed files: each gives one of the five codes; every cut of a few of
// them too. Under ASan any read outside the given bytes fails the test.
TEST(Corpus, HostileFilesGiveAKnownResult) {
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  const fs::path hostile = fs::path(corpus) / "hostile";
  ASSERT_TRUE(fs::is_directory(hostile)) << hostile;
  const std::set<std::string> sweep = {"max_uint32_exif.jpg", "truncated_exif_dpi.jpg",
                                       "exif-ifd-offset.jpg", "huge_tag_exif.jpg"};
  std::map<int, int> counts;
  for (const fs::path& path : filesIn(hostile)) {
    const Bytes bytes = readFile(path);
    ExifRecord record;
    const ExifResult result = parseFile(bytes, record);
    EXPECT_TRUE(isKnownResult(result)) << path.filename() << ": " << result;
    ++counts[result];
    if (sweep.count(path.filename().string()) == 0) continue;
    // Cut the file at every length up to 4 KiB past the segment start, each
    // cut in its own buffer so that ASan sees reads past its end.
    const std::size_t limit = std::min<std::size_t>(bytes.size(), 4096);
    for (std::size_t n = 0; n <= limit; ++n) {
      Bytes cut(bytes.begin(), bytes.begin() + n);
      cut.push_back(0xFF);  // keep an end marker so the EXIF code is reached
      cut.push_back(0xD9);
      ExifRecord r;
      EXPECT_TRUE(isKnownResult(parseFile(cut, r))) << path.filename() << " cut at " << n;
    }
  }
  std::printf("hostile:");
  for (const auto& [code, count] : counts) std::printf(" %d x %d", count, code);
  std::printf("\n");
}

}  // namespace
