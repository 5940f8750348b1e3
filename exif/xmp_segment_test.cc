// The walk for the XMP packet's place: which segment it takes, what it reads,
// and that a parse not asked for it reads what it read before.

#include "exif/xmp_segment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "exif/exif_record.h"
#include "tests/support/jpeg_builder.h"

namespace {

using testsupport::Bytes;
using testsupport::ExifBuilder;
using testsupport::Ifd;
using testsupport::JpegBuilder;
using testsupport::xmpPayload;

// A file in memory that logs every range asked of it and can fail one read.
struct LoggedFile {
  explicit LoggedFile(Bytes file) : bytes(std::move(file)) {}
  Bytes bytes;
  std::uint32_t failingRead = UINT32_MAX;                      // counted from 0
  std::vector<std::pair<std::uint32_t, std::uint32_t>> reads;  // offset, length

  ByteSource source() {
    ByteSource s;
    s.size = static_cast<std::uint32_t>(bytes.size());
    s.context = this;
    s.read = [](void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
      auto& file = *static_cast<LoggedFile*>(context);
      if (file.reads.size() >= file.failingRead) {
        file.reads.emplace_back(offset, length);
        return false;
      }
      file.reads.emplace_back(offset, length);
      std::memcpy(out, file.bytes.data() + offset, length);
      return true;
    };
    return s;
  }
};

Bytes typicalExif() {
  ExifBuilder b(true);
  b.addAscii(Ifd::ifd0, 0x010F, "DJI").addShorts(Ifd::exif, 0xA405, {24});
  return b.segment();
}

const std::string kXml = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>";

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// A segment FF `marker` with `payload`, its length counting itself.
Bytes segment(unsigned char marker, const Bytes& payload) {
  const std::size_t length = payload.size() + 2;
  return concat({{0xFF, marker, static_cast<unsigned char>(length >> 8),
                  static_cast<unsigned char>(length & 0xFF)},
                 payload});
}

const Bytes kSoi = {0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

// Where the packet of `xml` starts when its segment begins at `segmentAt`.
std::uint32_t packetAt(std::size_t segmentAt) {
  return static_cast<std::uint32_t>(segmentAt + 4 + 29);
}

struct PlaceCase {
  const char* name;
  Bytes file;
  bool found;
  std::uint32_t offset;  // when found
  std::string packet;    // when found
};

TEST(XmpSegment, TakesTheFirstXmpSegmentOfTheChain) {
  const Bytes exif = typicalExif();
  const Bytes xmp = xmpPayload(kXml);
  const Bytes extended = bytesOf(std::string("http://ns.adobe.com/xmp/extension/") + '\0' + "x");
  // The identifier without its zero byte, as the whole data of the segment.
  const Bytes bareId = bytesOf("http://ns.adobe.com/xap/1.0/");
  const Bytes tinyComment = segment(0xFE, {});
  Bytes manySegments = kSoi;
  for (std::uint32_t k = 0; k < kMostWalkedSegments; ++k) {
    manySegments = concat({manySegments, tinyComment});
  }
  const PlaceCase cases[] = {
      {"after the EXIF segment", JpegBuilder().exif(exif).segmentAfter(0xE1, xmp).build(), true,
       packetAt(2 + 4 + exif.size()), kXml},
      {"before the EXIF segment", JpegBuilder().exif(exif).segmentBefore(0xE1, xmp).build(), true,
       packetAt(2), kXml},
      {"two packets: the first counts",
       JpegBuilder()
           .exif(exif)
           .segmentAfter(0xE1, xmp)
           .segmentAfter(0xE1, xmpPayload("<b/>"))
           .build(),
       true, packetAt(2 + 4 + exif.size()), kXml},
      {"after an empty packet", concat({kSoi, segment(0xE1, xmpPayload("")), kEoi}), true,
       packetAt(2), ""},
      {"after fill bytes", concat({kSoi, {0xFF, 0xFF, 0xFF}, segment(0xE1, xmp), kEoi}), true,
       packetAt(5), kXml},
      {"after restart and TEM markers",
       concat({kSoi, {0xFF, 0xD0, 0xFF, 0x01}, segment(0xE1, xmp), kEoi}), true, packetAt(6), kXml},
      {"no XMP segment", JpegBuilder().exif(exif).build(), false, 0, ""},
      {"extended XMP only", JpegBuilder().exif(exif).segmentAfter(0xE1, extended).build(), false, 0,
       ""},
      {"the identifier without its zero byte", concat({kSoi, segment(0xE1, bareId), kEoi}), false,
       0, ""},
      {"the identifier in another segment",
       concat({kSoi, segment(0xFE, concat({{0xFF, 0xE1, 0, 40}, xmp})), kEoi}), false, 0, ""},
      {"an XMP segment in another marker", concat({kSoi, segment(0xE2, xmp), kEoi}), false, 0, ""},
      {"after the start of scan", concat({kSoi, segment(0xDA, {0, 0}), segment(0xE1, xmp), kEoi}),
       false, 0, ""},
      {"after bytes that are no marker", concat({kSoi, {0x00, 0x00}, segment(0xE1, xmp), kEoi}),
       false, 0, ""},
      {"a length past the image's end",
       concat({kSoi, {0xFF, 0xE1, 0xFF, 0xF0}, Bytes(xmp.begin(), xmp.end()), kEoi}), false, 0, ""},
      {"a length below 2", concat({kSoi, {0xFF, 0xE1, 0x00, 0x01}, segment(0xE1, xmp), kEoi}),
       false, 0, ""},
      {"past the most segments walked", concat({manySegments, segment(0xE1, xmp), kEoi}), false, 0,
       ""},
      {"as the last segment walked",
       concat({Bytes(manySegments.begin(), manySegments.end() - tinyComment.size()),
               segment(0xE1, xmp), kEoi}),
       true, packetAt(manySegments.size() - tinyComment.size()), kXml},
      {"after the end marker", concat({kSoi, kEoi, segment(0xE1, xmp)}), false, 0, ""},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    LoggedFile file(c.file);
    const ByteSource source = file.source();
    XmpSegment place;
    place.found = !c.found;  // a stale place must not survive
    ExifRecord record;
    record.parseJpeg(source, &place);
    ASSERT_EQ(place.found, c.found);
    if (!c.found) continue;
    EXPECT_EQ(place.offset, c.offset);
    ASSERT_EQ(place.length, c.packet.size());
    std::string packet(place.length, '\0');
    file.reads.clear();
    ASSERT_TRUE(readXmpPacket(source, place, reinterpret_cast<unsigned char*>(packet.data())));
    EXPECT_EQ(packet, c.packet);
    EXPECT_LE(file.reads.size(), 1u) << "one read for the packet (none for an empty one)";
  }
}

// Not asked, a parse makes exactly the reads it made before the walk
// existed; asked, it makes those and the walk's, one per segment walked,
// before the EXIF search.
TEST(XmpSegment, OnlyAParseThatAsksWalksTheSegments) {
  const Bytes exif = typicalExif();
  const Bytes file = JpegBuilder()
                         .exif(exif)
                         .segmentAfter(0xE2, Bytes(100, 'i'))
                         .segmentAfter(0xE1, xmpPayload(kXml))
                         .padding(200 * 1024)
                         .build();
  LoggedFile plain(file);
  ExifRecord plainRecord;
  ASSERT_EQ(plainRecord.parseJpeg(plain.source()), exifOk);

  LoggedFile asking(file);
  ExifRecord askingRecord;
  XmpSegment place;
  ASSERT_EQ(askingRecord.parseJpeg(asking.source(), &place), exifOk);
  ASSERT_TRUE(place.found);
  EXPECT_EQ(askingRecord.make, plainRecord.make);

  // The start marker and the end marker search come first in both.
  ASSERT_GE(plain.reads.size(), 2u);
  const std::size_t walked = 3;  // EXIF APP1, APP2, XMP APP1
  ASSERT_EQ(asking.reads.size(), plain.reads.size() + walked);
  auto walk = asking.reads;
  walk.erase(walk.begin() + 2 + walked, walk.end());
  walk.erase(walk.begin(), walk.begin() + 2);
  const std::uint32_t app2At = static_cast<std::uint32_t>(2 + 4 + exif.size());
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> expectedWalk = {
      {2, 33}, {app2At, 33}, {app2At + 4 + 100, 33}};
  EXPECT_EQ(walk, expectedWalk);
  asking.reads.erase(asking.reads.begin() + 2, asking.reads.begin() + 2 + walked);
  EXPECT_EQ(asking.reads, plain.reads);
}

// A read that fails in the walk ends the parse: it is the last read.
TEST(XmpSegment, AFailedReadInTheWalkEndsTheParse) {
  const Bytes file = JpegBuilder().exif(typicalExif()).segmentAfter(0xE1, xmpPayload(kXml)).build();
  for (std::uint32_t failing = 2; failing < 4; ++failing) {  // the walk's two reads
    SCOPED_TRACE(failing);
    LoggedFile logged(file);
    logged.failingRead = failing;
    ExifRecord record;
    XmpSegment place;
    EXPECT_NE(record.parseJpeg(logged.source(), &place), exifOk);
    EXPECT_EQ(logged.reads.size(), failing + 1);
    EXPECT_FALSE(place.found);
  }
}

TEST(XmpSegment, ReadsThePacketOnlyInsideTheSource) {
  const Bytes file = JpegBuilder().exif(typicalExif()).segmentAfter(0xE1, xmpPayload(kXml)).build();
  LoggedFile logged(file);
  const ByteSource source = logged.source();
  unsigned char out[8];
  XmpSegment outside;
  outside.found = true;
  outside.offset = static_cast<std::uint32_t>(file.size()) - 4;
  outside.length = 8;
  EXPECT_FALSE(readXmpPacket(source, outside, out));
  EXPECT_TRUE(logged.reads.empty());
  EXPECT_TRUE(readXmpPacket(source, XmpSegment(), out)) << "nothing to read";
  EXPECT_TRUE(logged.reads.empty());
}

}  // namespace
