// The reader through a ByteSource: what it asks for, what a failed read does,
// and what hostile layouts and huge texts cost, counted in bytes read.

#include "exif/byte_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "exif/exif_record.h"
#include "tests/support/jpeg_builder.h"

namespace {

using testsupport::Bytes;
using testsupport::ExifBuilder;
using testsupport::Ifd;
using testsupport::JpegBuilder;

// A file made of `head`, `fillLength` bytes `fill` and `tail`, of which only
// the head and tail are held in memory. It counts what the reader asks for
// and can fail one read and every read after it.
struct FakeFile {
  Bytes head;
  std::uint32_t fillLength = 0;
  unsigned char fill = 0;
  Bytes tail;
  std::uint32_t failingRead = UINT32_MAX;  // counted from 0

  std::uint32_t reads = 0;
  std::uint64_t bytesRead = 0;
  std::uint32_t largestRead = 0;
  bool badRequest = false;  // past the end, or 0 bytes

  std::uint32_t size() const {
    return static_cast<std::uint32_t>(head.size() + fillLength + tail.size());
  }

  ByteSource source() {
    ByteSource s;
    s.size = size();
    s.context = this;
    s.read = [](void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
      return static_cast<FakeFile*>(context)->read(offset, length, out);
    };
    return s;
  }

  bool read(std::uint32_t offset, std::uint32_t length, unsigned char* out) {
    badRequest |= length == 0 || std::uint64_t{offset} + length > size();
    if (reads++ >= failingRead || badRequest) return false;
    bytesRead += length;
    if (length > largestRead) {
      largestRead = length;
    }
    const std::uint64_t fillEnd = head.size() + std::uint64_t{fillLength};
    for (std::uint64_t at = offset, end = std::uint64_t{offset} + length; at < end;) {
      std::uint64_t n;
      if (at < head.size()) {
        n = std::min<std::uint64_t>(end, head.size()) - at;
        std::memcpy(out, head.data() + at, n);
      } else if (at < fillEnd) {
        n = std::min(end, fillEnd) - at;
        std::memset(out, fill, n);
      } else {
        n = end - at;
        std::memcpy(out, tail.data() + (at - fillEnd), n);
      }
      at += n;
      out += n;
    }
    return true;
  }
};

FakeFile fileOf(Bytes bytes) {
  FakeFile file;
  file.head = std::move(bytes);
  return file;
}

ExifBuilder typicalExif() {
  ExifBuilder b(true);
  b.addAscii(Ifd::ifd0, 0x010F, "Canon")
      .addShorts(Ifd::ifd0, 0x0112, {6})
      .addLongs(Ifd::exif, 0xA002, {3888})
      .addShorts(Ifd::exif, 0xA405, {28})
      .addGpsRef(1, 'S')
      .addGpsCoordinate(Ifd::gps, 2, 30, 15, 36)
      .addGpsAltitude(1234, 10, 0);
  return b;
}

// A COM segment of `n` bytes without FF, to move what follows.
Bytes comment(std::uint32_t n) { return Bytes(n, 'c'); }

TEST(ReadOnDemand, AsksOnlyForTheHeadAndTheTailOfAPhoto) {
  const Bytes trailer(300 * 1024, 0x00);
  struct Case {
    const char* name;
    Bytes file;
    ExifResult result;
    std::uint64_t atLeast;  // bytes read
    std::uint64_t atMost;
  };
  const Case cases[] = {
      {"5 MB photo, EXIF in the head",
       JpegBuilder().exif(typicalExif().segment()).padding(5u << 20).build(), exifOk, 0, 8 * 1024},
      // The FF E1 search reads every byte once, plus one byte per chunk.
      {"5 MB photo without EXIF", JpegBuilder().padding(5u << 20).build(), exifNoExif, 5u << 20,
       (5u << 20) + 4 * 1024},
      // The FF D9 search from the back reads the trailer and at most one
      // chunk of 64 KiB before the marker.
      {"5 MB photo with 300 KiB after its end marker",
       JpegBuilder().exif(typicalExif().segment()).padding(5u << 20).trailing(trailer).build(),
       exifOk, trailer.size(), trailer.size() + 72 * 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFile file = fileOf(c.file);
    ExifRecord record;
    ASSERT_EQ(record.parseJpeg(file.source()), c.result);
    EXPECT_FALSE(file.badRequest);
    EXPECT_GE(file.bytesRead, c.atLeast);
    EXPECT_LE(file.bytesRead, c.atMost);
    if (c.result == exifOk) {
      EXPECT_EQ(record.make, "Canon");
      EXPECT_EQ(record.gps.altitude, 123.4);
    }
  }
}

// The two searches read in chunks; a marker pair split between two chunks is
// still found. Moves the APP1 marker across the first front chunk boundary and
// the end marker across the first few back chunk boundaries.
TEST(ReadOnDemand, FindsMarkersAcrossChunkBoundaries) {
  for (std::uint32_t app1 = 4 * 1024 - 3; app1 <= 4 * 1024 + 1; ++app1) {
    // FF D8, then a COM segment (FF FE, length, data) that ends at `app1`.
    const Bytes exifFile =
        JpegBuilder().segmentBefore(0xFE, comment(app1 - 6)).exif(typicalExif().segment()).build();
    ASSERT_EQ(exifFile[app1], 0xFF);
    ASSERT_EQ(exifFile[app1 + 1], 0xE1);
    for (std::uint32_t trailing = 0; trailing <= 40; ++trailing) {
      Bytes file = exifFile;
      file.insert(file.end(), trailing, 0x00);
      FakeFile fake = fileOf(file);
      ExifRecord record;
      ASSERT_EQ(record.parseJpeg(fake.source()), exifOk) << app1 << " " << trailing;
      EXPECT_EQ(record.make, "Canon");
    }
  }
}

TEST(ReadOnDemand, AFailedReadStopsTheParse) {
  const Bytes files[] = {
      JpegBuilder().exif(typicalExif().segment()).build(),
      // Both searches take several chunks.
      JpegBuilder()
          .segmentBefore(0xFE, comment(9000))
          .exif(typicalExif().segment())
          .trailing(Bytes(5000, 0x00))
          .build(),
  };
  for (const Bytes& bytes : files) {
    FakeFile whole = fileOf(bytes);
    ExifRecord record;
    ASSERT_EQ(record.parseJpeg(whole.source()), exifOk);
    ASSERT_GT(whole.reads, 10u);  // head, tail, marker, header, three directories, values
    for (std::uint32_t failing = 0; failing < whole.reads; ++failing) {
      FakeFile file = fileOf(bytes);
      file.failingRead = failing;
      EXPECT_NE(record.parseJpeg(file.source()), exifOk) << failing;
      EXPECT_EQ(file.reads, failing + 1) << "read after a failed one";
    }
  }
}

// Intel order. A segment of `size` bytes from "Exif" to the end marker; IFD0
// holds `pointers` (EXIF and GPS directories back at IFD0 itself) and as many
// entries with `tag` and `format` as fit, each of whose values spans the
// segment from the TIFF base to the end. The rest is 'A'.
Bytes packedIfd0File(std::uint32_t size, std::uint16_t tag, std::uint16_t format, bool pointers) {
  Bytes file(6 + size, 'A');
  // clang-format off
  const unsigned char head[] = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10,  // SOI, APP1 of length 16
                                'E', 'x', 'i', 'f', 0, 0,
                                'I', 'I', 42, 0,  // TIFF header, Intel
                                8, 0, 0, 0};      // IFD0 at TIFF offset 8
  // clang-format on
  std::copy(std::begin(head), std::end(head), file.begin());
  auto put16 = [&](std::uint32_t at, std::uint32_t v) {
    file[at] = static_cast<unsigned char>(v);
    file[at + 1] = static_cast<unsigned char>(v >> 8);
  };
  auto put32 = [&](std::uint32_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  const std::uint32_t ifd0 = sizeof head;
  const std::uint32_t count = pointers ? std::min<std::uint32_t>((size - 40) / 12, 0xFFFF) : 1;
  const std::uint32_t componentSize = format == 5 ? 8 : format == 4 ? 4 : format == 3 ? 2 : 1;
  put16(ifd0, count);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t at = ifd0 + 2 + 12 * k;
    if (pointers && k < 2) {
      put16(at, k == 0 ? 0x8769 : 0x8825);  // EXIF, GPS pointer
      put16(at + 2, 4);                     // LONG
      put32(at + 4, 1);
      put32(at + 8, 8);  // IFD0 again
    } else {
      put16(at, tag);
      put16(at + 2, format);
      put32(at + 4, (size - 6) / componentSize);
      put32(at + 8, 0);  // from the TIFF base on
    }
  }
  put32(ifd0 + 2 + 12 * count, 0);  // no next directory
  file[file.size() - 2] = 0xFF;     // end of image, inside the last value
  file[file.size() - 1] = 0xD9;
  return file;
}

// Every entry of the packed directories lies over the whole segment, and the
// directories are read three times (IFD0, EXIF, GPS). Decoding every value of
// every entry costs entries x segment size; the reader must stay within a
// small factor of reading the segment once.
TEST(ReadOnDemand, HostileLayoutsCostAboutAsMuchAsAPlainOne) {
  const std::uint32_t size = 512 * 1024;
  FakeFile plain = fileOf(packedIfd0File(size, 0x010F, 2, false));  // one Make
  ExifRecord plainRecord;
  ASSERT_EQ(plainRecord.parseJpeg(plain.source()), exifOk);
  // The text starts at the TIFF header, "II", 42, 0: it ends at that zero.
  ASSERT_EQ(plainRecord.make, "II*");

  struct Case {
    const char* name;
    std::uint16_t tag;
    std::uint16_t format;
  };
  const Case cases[] = {
      {"Make, ASCII", 0x010F, 2},
      {"Orientation, SHORT", 0x0112, 3},
      {"PixelXDimension, LONG", 0xA002, 4},
      {"ExposureTime, RATIONAL", 0x829A, 5},
      {"LensSpecification, RATIONAL", 0xA432, 5},
      {"GPSAltitude, RATIONAL", 6, 5},
      {"unknown tag, BYTE", 0x0100, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFile file = fileOf(packedIfd0File(size, c.tag, c.format, true));
    ExifRecord record;
    ASSERT_EQ(record.parseJpeg(file.source()), exifOk);
    EXPECT_FALSE(file.badRequest);
    EXPECT_LE(file.bytesRead, 10 * std::uint64_t{size});
    // The values start at the TIFF header: "II", 42.
    if (c.tag == 0x010F) {
      EXPECT_EQ(record.make, "II*");
    } else if (c.tag == 0x0112) {
      EXPECT_EQ(record.orientation, 0x4949);
    } else if (c.tag == 0xA002) {
      EXPECT_EQ(record.imageWidth, 0x002A4949u);
    }
  }
}

// A 1 GiB Make text, served by a source that makes up the bytes: the text is
// read in pieces of at most 1 MiB into the string the record keeps, and
// besides it the reader asks for a few KiB.
TEST(ReadOnDemand, KeepsAOneGiBTextReadInPieces) {
  const std::uint32_t textLength = 1u << 30;
  FakeFile file;
  // clang-format off
  file.head = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10,  // SOI, APP1 of length 16
               'E', 'x', 'i', 'f', 0, 0,
               'I', 'I', 42, 0, 8, 0, 0, 0,  // TIFF header, IFD0 at TIFF offset 8
               1, 0,                          // IFD0: one entry
               0x0F, 0x01, 2, 0,              //   Make, ASCII
               0x01, 0x00, 0x00, 0x40,        //   count 2^30 + 1
               26, 0, 0, 0,                   //   at TIFF offset 26
               0, 0, 0, 0};                   // no next directory
  // clang-format on
  file.fillLength = textLength;
  file.fill = 'M';
  file.tail = {0x00, 0xFF, 0xD9};  // the text's NUL, end of image
  ExifRecord record;
  ASSERT_EQ(record.parseJpeg(file.source()), exifOk);
  ASSERT_EQ(record.make.size(), textLength);
  for (std::uint32_t at = 0; at < textLength; at += 64u << 20) EXPECT_EQ(record.make[at], 'M');
  EXPECT_EQ(record.make.back(), 'M');
  EXPECT_EQ(file.largestRead, 1u << 20);
  EXPECT_LE(file.bytesRead, textLength + 8 * 1024u);
}

}  // namespace
