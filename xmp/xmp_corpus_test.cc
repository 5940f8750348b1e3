// The XMP packets of the shared corpus's drone and panorama photos, found by
// the EXIF reader's segment walk and decoded; the values were read once from
// the packets themselves. Every other photo, and every malformed file, must
// decode (or not) without a crash: run this suite under the asan preset.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "exif/exif_record.h"
#include "exif/xmp_segment.h"
#include "tests/support/corpus_truth.h"
#include "tests/support/temp_folder.h"
#include "xmp/xmp_facts.h"

namespace {

namespace fs = std::filesystem;

struct Decoded {
  XmpSegment place;
  XmpFacts facts;
};

// The packet of the photo at `path`, found and decoded.
Decoded decodePhoto(const fs::path& path) {
  const std::optional<std::string> bytes = readFileBytes(path.string());
  EXPECT_TRUE(bytes) << path;
  Decoded out;
  if (!bytes) return out;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes->data());
  const ByteSource source = memoryByteSource(data, static_cast<std::uint32_t>(bytes->size()));
  ExifRecord record;
  record.parseJpeg(source, &out.place);
  if (!out.place.found) return out;
  std::vector<unsigned char> packet(out.place.length);
  EXPECT_TRUE(readXmpPacket(source, out.place, packet.data()));
  out.facts = decodeXmpPacket(packet.data(), packet.size());
  return out;
}

// clang-format off
struct PhotoCase {
  const char* file;
  const char* camera;
  XmpOutcome outcome;
  // NaN: the packet does not hold the field.
  double relativeAltitude, absoluteAltitude;
  double gimbalPitch, gimbalYaw, gimbalRoll;
  double flightPitch, flightYaw, flightRoll;
  double rtkFlag;
  double cameraPitch, cameraYaw, cameraRoll, gpsXYAccuracy, gpsZAccuracy;
  double posePitch, poseHeading;
  const char* projectionType;
};
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
const PhotoCase kPhotos[] = {
    {"DJI_0019.JPG", "DJI FC220", XmpOutcome::complete, 119.80, 362.97, -40.90, 126.20, 0,
     2.30, 126.30, 2.70, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, ""},
    {"DJI_0020.JPG", "DJI FC220", XmpOutcome::complete, 119.70, 362.87, -49.00, 126.20, 0,
     2.10, 126.30, 3.20, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, ""},
    {"DJI_0030.JPG", "DJI FC220", XmpOutcome::complete, 119.30, 362.47, -19.00, 117.60, 0,
     2.80, 117.60, 2.00, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, ""},
    {"issue-exifr-13.jpg", "Hasselblad L1D-20c", XmpOutcome::complete, 125.30, 1252.12, 1.00,
     -127.10, 0, 0.90, -97.00, 0, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, ""},
    {"issue-exifr-3.jpg", "DJI thermal", XmpOutcome::complete, 62.50, -8.56, -89.90, -78.80, 0,
     7.20, -78.00, -1.70, 0, kNone, kNone, kNone, kNone, kNone, kNone, kNone, ""},
    {"tiny_drone_image.jpg", "senseFly", XmpOutcome::complete, kNone, kNone, kNone, kNone, kNone,
     kNone, kNone, kNone, kNone, 2.360064983367920, 274.931243896484375, 6.698935508728027,
     5.027999877929688, 4.823999881744385, kNone, kNone, ""},
    {"issue-metadata-extractor-152.jpg", "Parrot", XmpOutcome::complete, kNone, kNone, kNone,
     kNone, kNone, kNone, kNone, kNone, kNone, 13.239553, -167.088455, 0.388475, kNone, kNone,
     kNone, kNone, ""},
    {"panorama360.jpg", "Samsung Gear 360", XmpOutcome::complete, kNone, kNone, kNone, kNone,
     kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, 0, 0,
     "equirectangular"},
};
// clang-format on

void expectNumber(const XmpNumber& number, double expected, const char* name) {
  if (std::isnan(expected)) {
    EXPECT_FALSE(number.has) << name;
  } else {
    EXPECT_TRUE(number.has) << name;
    EXPECT_DOUBLE_EQ(number.value, expected) << name;
  }
}

TEST(XmpCorpus, DronePhotosGiveTheirFlightFields) {
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  for (const PhotoCase& c : kPhotos) {
    SCOPED_TRACE(std::string(c.file) + ", " + c.camera);
    const Decoded d = decodePhoto(fs::path(corpus) / "cameras" / c.file);
    ASSERT_TRUE(d.place.found);
    const XmpFacts& f = d.facts;
    EXPECT_EQ(static_cast<int>(f.outcome), static_cast<int>(c.outcome));
    expectNumber(f.relativeAltitude, c.relativeAltitude, "RelativeAltitude");
    expectNumber(f.absoluteAltitude, c.absoluteAltitude, "AbsoluteAltitude");
    expectNumber(f.gimbalPitch, c.gimbalPitch, "GimbalPitchDegree");
    expectNumber(f.gimbalYaw, c.gimbalYaw, "GimbalYawDegree");
    expectNumber(f.gimbalRoll, c.gimbalRoll, "GimbalRollDegree");
    expectNumber(f.flightPitch, c.flightPitch, "FlightPitchDegree");
    expectNumber(f.flightYaw, c.flightYaw, "FlightYawDegree");
    expectNumber(f.flightRoll, c.flightRoll, "FlightRollDegree");
    expectNumber(f.rtkFlag, c.rtkFlag, "RtkFlag");
    expectNumber(f.cameraPitch, c.cameraPitch, "Camera:Pitch");
    expectNumber(f.cameraYaw, c.cameraYaw, "Camera:Yaw");
    expectNumber(f.cameraRoll, c.cameraRoll, "Camera:Roll");
    expectNumber(f.gpsXYAccuracy, c.gpsXYAccuracy, "Camera:GPSXYAccuracy");
    expectNumber(f.gpsZAccuracy, c.gpsZAccuracy, "Camera:GPSZAccuracy");
    expectNumber(f.posePitch, c.posePitch, "GPano:PosePitchDegrees");
    expectNumber(f.poseHeading, c.poseHeading, "GPano:PoseHeadingDegrees");
    EXPECT_EQ(f.projectionType, c.projectionType);
    // None of these photos has speeds or RTK deviations.
    EXPECT_FALSE(f.flightXSpeed.has || f.flightYSpeed.has || f.flightZSpeed.has);
    EXPECT_FALSE(f.rtkStdLon.has || f.rtkStdLat.has || f.rtkStdHgt.has);
  }
}

// Where the packet lies, as the segment chain of DJI_0019.JPG says: the EXIF
// APP1 segment (50,245 bytes with its thumbnail) from 2, the XMP one (8,190)
// from 50,249; the packet starts after its marker, length and identifier.
TEST(XmpCorpus, ThePacketsPlaceInADronePhoto) {
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  const Decoded d = decodePhoto(fs::path(corpus) / "cameras" / "DJI_0019.JPG");
  ASSERT_TRUE(d.place.found);
  EXPECT_EQ(d.place.offset, 50249u + 4 + 29);
  EXPECT_EQ(d.place.length, 8190u - 2 - 29);
}

// Every file of the corpus, camera photo or malformed: the walk and the
// decoder end without a crash, and the photos with a packet are the ones
// the corpus lists as having one (41) but ultrahdr.jpg: its only FF D9 pair
// is its thumbnail's (the file is cut short), so to the reader its image
// ends there, before the XMP segment.
TEST(XmpCorpus, EveryFileDecodesWithoutACrash) {
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  int camerasWithPacket = 0;
  for (const char* folder : {"cameras", "hostile"}) {
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(corpus) / folder)) {
      if (!entry.is_regular_file()) continue;
      SCOPED_TRACE(entry.path().string());
      const Decoded d = decodePhoto(entry.path());
      if (d.place.found) {
        EXPECT_LE(d.place.length, kMostXmpPacketBytes);
        EXPECT_LE(d.facts.parserPeakBytes, kMostXmpParserBytes);
        if (std::string(folder) == "cameras") ++camerasWithPacket;
      }
    }
  }
  EXPECT_EQ(camerasWithPacket, 40);
}

}  // namespace
