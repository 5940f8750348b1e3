// Writes the benchmark's photo sets: JPEG files with EXIF blocks made by the
// project's own builder, followed by random scan data.
//
//   generate_sets large DIR     200 photos of about 5 MB
//   generate_sets small DIR     20,000 photos of about 30 KB
//   generate_sets flat DIR      100,000 photos of about 2 KB in one folder
//   generate_sets deep DIR      a tree 1,000 folders deep, one photo per level
//   generate_sets survey DIR [COUNT]
//                               100,000 drone photos of about 3 KB in one folder:
//                               the flat set's photos with a survey flight's
//                               metadata (below); COUNT photos instead, the
//                               first of them (2,000 are one flight)
//
// Every run writes the same bytes (fixed seeds). What varies from photo to
// photo, by its number k:
//   - byte order: Intel for even k, Motorola for odd k;
//   - no EXIF block at all when k % 97 == 50;
//   - no GPS directory when k % 17 == 5;
//   - no 35 mm focal length when k % 13 == 3;
//   - another camera maker when k % 41 == 7, another pixel size when k % 43 == 11;
//   - a JFIF APP0 segment before the EXIF block for every third photo.
// The EXIF block holds the usual camera tags and a maker note, about 3-4 KiB
// in all (a 200-byte note in the scale sets' tiny photos). The scan data is random bytes with every
// 0xFF followed by 0x00, as in real entropy-coded data, so it forms no marker.
//
// The survey set's photos carry what a drone's do for the readiness
// analyses: 50 flights (a pause of 10 minutes between them) of 20 lines of
// 100 photos, 2 s and 20 m apart, the lines 30 m apart, a flight's block
// beside the one before; the capture time with sub-seconds and offset, a
// body serial number, and the XMP packet with the relative altitude (100 m),
// the gimbal's and the drone's attitude, the speeds and the RTK flag.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/jpeg_builder.h"

namespace {

using testsupport::Bytes;
using testsupport::ExifBuilder;
using testsupport::Ifd;
using testsupport::JpegBuilder;

// xorshift64*: fast, fixed, good enough for filler bytes.
struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
  std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
};

// Random bytes with no 0xFF byte, for maker notes.
Bytes makerNote(Random& random, std::size_t size) {
  Bytes out(size);
  for (unsigned char& b : out) b = static_cast<unsigned char>(random.next() % 0xFF);
  return out;
}

// Entropy-coded scan data of about `size` bytes: every 0xFF is stuffed with 0x00.
void appendScanData(Random& random, std::size_t size, Bytes& out) {
  out.reserve(out.size() + size + size / 128 + 16);
  std::size_t written = 0;
  while (written < size) {
    std::uint64_t word = random.next();
    for (int i = 0; i < 8 && written < size; ++i, word >>= 8) {
      const unsigned char b = static_cast<unsigned char>(word);
      out.push_back(b);
      ++written;
      if (b == 0xFF) out.push_back(0x00);
    }
  }
}

Bytes jfifPayload() { return Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 1, 0, 72, 0, 72, 0, 0}; }

// The survey photo k's capture time: 2 s apart, 10 minutes between flights.
std::string surveyTime(unsigned k) {
  const unsigned seconds = 10 * 3600 + k / 2000 * (2000 * 2 + 600) + k % 2000 * 2;
  char time[32];
  std::snprintf(time, sizeof time, "2024:05:%02u %02u:%02u:%02u", 17 + seconds / 86400,
                seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
  return time;
}

// The survey photo k's EXIF block and XMP packet.
void addFlight(unsigned k, ExifBuilder& exif, JpegBuilder& jpeg) {
  const unsigned flight = k / 2000, line = k / 100 % 20, step = k % 100;
  // North along a line, the next line 30 m east; the flights' blocks 10 a row.
  const double north = (flight / 10) * 2100.0 + (line % 2 == 0 ? step : 99 - step) * 20.0;
  const double east = (flight % 10) * 620.0 + line * 30.0;
  const double latitude = 30.2 + north / 111320.0;
  const double longitude = 120.1 + east / (111320.0 * 0.8638);
  const auto dms = [](double degrees) {
    const auto whole = static_cast<std::uint32_t>(degrees);
    const double minutes = (degrees - whole) * 60;
    const auto wholeMinutes = static_cast<std::uint32_t>(minutes);
    return std::vector<testsupport::Fraction>{
        {whole, 1},
        {wholeMinutes, 1},
        {static_cast<std::uint32_t>((minutes - wholeMinutes) * 60 * 10000 + 0.5), 10000}};
  };
  exif.addAscii(Ifd::exif, 0x9011, "+08:00")
      .addAscii(Ifd::exif, 0x9291, "25")
      .addAscii(Ifd::exif, 0xA431, "0K1234ABCD")
      .addRationals(Ifd::exif, 0xA404, {{0, 0}})
      .addGpsRef(1, 'N')
      .addRationals(Ifd::gps, 2, dms(latitude))
      .addGpsRef(3, 'E')
      .addRationals(Ifd::gps, 4, dms(longitude))
      .addGpsAltitude(11234, 100, 0);
  const char* yaw = line % 2 == 0 ? "+0.0" : "+180.0";
  const char* speed = line % 2 == 0 ? "+10.0" : "-10.0";
  const std::string xml =
      std::string(
          "<?xpacket begin=\"\xef\xbb\xbf\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
          "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
          "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
          "rdf:about=\"\" xmlns:drone-dji=\"http://www.dji.com/drone-dji/1.0/\" "
          "drone-dji:AbsoluteAltitude=\"+112.34\" drone-dji:RelativeAltitude=\"+100.00\" "
          "drone-dji:GimbalRollDegree=\"+0.00\" drone-dji:GimbalYawDegree=\"") +
      yaw +
      "\" drone-dji:GimbalPitchDegree=\"-89.90\" drone-dji:FlightRollDegree=\"+1.20\" "
      "drone-dji:FlightYawDegree=\"" +
      yaw +
      "\" drone-dji:FlightPitchDegree=\"-3.10\" "
      "drone-dji:FlightXSpeed=\"" +
      speed +
      "\" drone-dji:FlightYSpeed=\"+0.0\" "
      "drone-dji:FlightZSpeed=\"+0.0\" drone-dji:RtkFlag=\"50\"/></rdf:RDF></x:xmpmeta>"
      "<?xpacket end=\"w\"?>";
  jpeg.segmentAfter(0xE1, testsupport::xmpPayload(xml));
}

Bytes exifSegment(unsigned k, std::size_t noteBytes, Random& random, JpegBuilder* flight) {
  ExifBuilder exif(/*intelByteOrder=*/k % 2 == 0);
  const bool otherMaker = k % 41 == 7;
  const bool otherSize = k % 43 == 11;
  exif.addAscii(Ifd::ifd0, 0x010F, otherMaker ? "Hasselblad" : "DJI")
      .addAscii(Ifd::ifd0, 0x0110, otherMaker ? "L1D-20c" : "FC6310")
      .addShorts(Ifd::ifd0, 0x0112, {1})
      .addAscii(Ifd::ifd0, 0x0131, "v01.08.1719")
      .addAscii(Ifd::ifd0, 0x0132, "2024:05:17 10:21:33")
      .addRationals(Ifd::exif, 0x829A, {{1, 1000}})
      .addRationals(Ifd::exif, 0x829D, {{56, 10}})
      .addShorts(Ifd::exif, 0x8822, {2})
      .addShorts(Ifd::exif, 0x8827, {100})
      .addAscii(Ifd::exif, 0x9003, flight != nullptr ? surveyTime(k) : "2024:05:17 10:21:33")
      .addAscii(Ifd::exif, 0x9004, "2024:05:17 10:21:33")
      .addShorts(Ifd::exif, 0x9207, {2})
      .addShorts(Ifd::exif, 0x9209, {32})
      .addRationals(Ifd::exif, 0x920A, {{88, 10}})
      .addLongs(Ifd::exif, 0xA002, {otherSize ? 4000u : 5472u})
      .addLongs(Ifd::exif, 0xA003, {otherSize ? 3000u : 3648u});
  if (k % 13 != 3) exif.addShorts(Ifd::exif, 0xA405, {24});
  const Bytes note = makerNote(random, noteBytes);
  exif.add(Ifd::exif, 0x927C, testsupport::kUndefined, static_cast<std::uint32_t>(note.size()),
           note);
  if (k % 17 != 5 && flight == nullptr) {
    exif.addGpsRef(1, 'N')
        .addGpsCoordinate(Ifd::gps, 2, 30, 15, 36 + k % 20)
        .addGpsRef(3, 'E')
        .addGpsCoordinate(Ifd::gps, 4, 120, 7, 12 + k % 30)
        .addGpsAltitude(12345 + k % 1000, 100, 0);
  }
  if (flight != nullptr) addFlight(k, exif, *flight);
  return exif.segment();
}

// One photo: metadata segments (a maker note of `noteBytes`), the builder's
// tiny image, and `scanBytes` of scan data spliced in before the end marker.
Bytes photo(unsigned k, std::size_t scanBytes, std::size_t noteBytes, Random& random,
            bool survey = false) {
  JpegBuilder jpeg;
  if (k % 3 == 0) jpeg.segmentBefore(0xE0, jfifPayload());
  if (k % 97 != 50 || survey)
    jpeg.exif(exifSegment(k, noteBytes, random, survey ? &jpeg : nullptr));
  Bytes file = jpeg.build();
  // The builder ends with the scan header, one byte of scan data and FF D9.
  file.resize(file.size() - 2);
  appendScanData(random, scanBytes, file);
  file.push_back(0xFF);
  file.push_back(0xD9);
  return file;
}

bool makeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool writePhoto(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string photoName(unsigned k) {
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%06u.JPG", k);
  return name;
}

// `count` photos of `meanSize` +- 10 % in `folder`.
bool writeFlatSet(const std::string& folder, unsigned count, std::size_t meanSize,
                  std::uint64_t seed, bool survey = false) {
  if (!makeFolder(folder)) return false;
  Random random{seed};
  for (unsigned k = 0; k < count; ++k) {
    const std::size_t spread = meanSize / 10;
    const std::size_t size = meanSize - spread + random.next() % (2 * spread + 1);
    const std::size_t note = meanSize >= (16u << 10) ? 2600 + random.below(900) : 200;
    if (!writePhoto(folder + "/" + photoName(k), photo(k, size, note, random, survey))) {
      return false;
    }
  }
  return true;
}

// One photo per level in a chain of `depth` folders named "d".
bool writeDeepTree(const std::string& folder, unsigned depth, std::uint64_t seed) {
  Random random{seed};
  std::string level = folder;
  if (!makeFolder(level)) return false;
  for (unsigned k = 0; k < depth; ++k) {
    level += "/d";
    if (!makeFolder(level)) return false;
    if (!writePhoto(level + "/" + photoName(k), photo(k, 1000, 200, random))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "";
  if (argc != 3 && !(argc == 4 && kind == "survey")) {
    std::fprintf(stderr,
                 "usage: generate_sets large|small|flat|deep|survey FOLDER\n"
                 "       generate_sets survey FOLDER COUNT\n");
    return 2;
  }
  const std::string folder = argv[2];
  unsigned long count = 100000;
  if (argc == 4) {
    char* end = nullptr;
    count = std::strtoul(argv[3], &end, 10);
    if (*end != '\0' || count == 0 || count > 100000) {
      std::fprintf(stderr, "COUNT must be 1 to 100000: %s\n", argv[3]);
      return 2;
    }
  }
  bool ok = false;
  if (kind == "large") {
    ok = writeFlatSet(folder, 200, 5u << 20, 0x1A6E5E7ULL);
  } else if (kind == "small") {
    ok = writeFlatSet(folder, 20000, 30u << 10, 0x5A411ULL);
  } else if (kind == "flat") {
    ok = writeFlatSet(folder, 100000, 1000, 0xF1A7ULL);
  } else if (kind == "survey") {
    ok = writeFlatSet(folder, static_cast<unsigned>(count), 1000, 0x5E7ULL, true);
  } else if (kind == "deep") {
    ok = writeDeepTree(folder, 1000, 0xDEE9ULL);
  } else {
    std::fprintf(stderr, "unknown set: %s\n", kind.c_str());
    return 2;
  }
  if (!ok) {
    std::fprintf(stderr, "cannot write the %s set into %s: %s\n", kind.c_str(), folder.c_str(),
                 std::strerror(errno));
    return 1;
  }
  return 0;
}
