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

// What the drone photos of the corpus hold in the fields a flight's analysis
// reads, as their bytes say, and three other photos that carry the GPS speed,
// image direction and time offset that no drone photo here has.
struct FlightPhoto {
  const char* file;
  const char* model;
  const char* serial;
  std::optional<double> zoom;
  std::optional<double> subseconds;
  std::optional<int> offsetMinutes;
  std::optional<double> altitude;
  std::optional<double> speed;  // metres per second
  std::optional<double> direction;
  std::optional<double> track;
};
const FlightPhoto kFlightPhotos[] = {
    // DJI Phantom 4 camera: zoom stored as 0/0, "not used".
    {"DJI_0019.JPG", "FC220", "", 1.0, {}, {}, 362.966, {}, {}, {}},
    {"DJI_0020.JPG", "FC220", "", 1.0, {}, {}, 362.866, {}, {}, {}},
    {"DJI_0030.JPG", "FC220", "", 1.0, {}, {}, 362.466, {}, {}, {}},
    // Hasselblad L1D-20c of a DJI Mavic 2 Pro.
    {"issue-exifr-13.jpg", "L1D-20c", "0K8TFBK0020618", 1.0, {}, {}, 1252.0, {}, {}, {}},
    // Parrot Sequoia multispectral camera.
    {"issue-metadata-extractor-152.jpg",
     "Chlorophyll",
     "PI040378D25L000046",
     {},
     0.602359,
     {},
     2147483647.0 / 13199039.0,
     {},
     {},
     {}},
    // DJI thermal camera, below sea level (altitude reference 1).
    {"issue-exifr-3.jpg", "FLIR", "", {}, 0.606, {}, -8.5, {}, {}, {}},
    // FLIR Vue Pro drone payload: speed 0 km/h, track 0 true.
    {"FLIR_Vue_Pro_640.jpg", "", "", {}, {}, {}, 0.0, 0.0, {}, 0.0},
    // Canon PowerShot S110 of a fixed-wing drone: a track without its reference.
    {"tiny_drone_image.jpg",
     "Canon PowerShot S110",
     "",
     1.0,
     {},
     {},
     99907.0 / 228.0,
     {},
     {},
     271907.0 / 989.0},
    {"Sony_DSC-HX5V_2.jpg", "DSC-HX5V", "", {}, {}, {}, 93.3, 1.1 * 1000 / 3600, 46.5, 89.31},
    {"ultrahdr.jpg", "Pixel 6", "", 1.0, 0.046, 480, 98.9, {}, 99.0, {}},
    {"IMG_8568.JPG", "iPhone 13 Pro", "", 3.0, 0.832, -360, {}, {}, {}, {}},
};

template <typename T>
std::optional<T> ifHas(bool has, T value) {
  return has ? std::optional<T>(value) : std::nullopt;
}

void expectNear(const std::optional<double>& ours, const std::optional<double>& stored,
                const char* what) {
  ASSERT_EQ(ours.has_value(), stored.has_value()) << what;
  if (stored) {
    EXPECT_NEAR(*ours, *stored, 1e-9 * std::max(1.0, std::fabs(*stored))) << what;
  }
}

TEST(Corpus, DronePhotosGiveTheirFlightFields) {
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  for (const FlightPhoto& photo : kFlightPhotos) {
    SCOPED_TRACE(photo.file);
    const Bytes bytes = readFile(fs::path(corpus) / "cameras" / photo.file);
    ASSERT_FALSE(bytes.empty());
    ExifRecord r;
    ASSERT_EQ(parseFile(bytes, r), exifOk);
    EXPECT_EQ(r.model.substr(0, r.model.find('\0')), photo.model);
    EXPECT_EQ(r.bodySerialNumber, photo.serial);
    expectNear(ifHas(r.hasDigitalZoomRatio, r.digitalZoomRatio), photo.zoom, "zoom");
    expectNear(ifHas(r.hasSubsecondsOriginal, r.subsecondsOriginal), photo.subseconds, "subsec");
    EXPECT_EQ(ifHas<int>(r.hasOffsetOriginal, r.offsetMinutesOriginal), photo.offsetMinutes);
    expectNear(ifHas(r.gps.hasAltitude, r.gps.altitude), photo.altitude, "altitude");
    expectNear(ifHas(r.gps.hasSpeed, r.gps.speed), photo.speed, "speed");
    expectNear(ifHas(r.gps.imageDirection.has, r.gps.imageDirection.degrees), photo.direction,
               "direction");
    expectNear(ifHas(r.gps.track.has, r.gps.track.degrees), photo.track, "track");
  }
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
