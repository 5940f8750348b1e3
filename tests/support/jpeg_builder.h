// Builder of JPEG files with an EXIF block, for the tests, the sample set
// (examples/) and the benchmark's sets (bench/). It builds bytes in memory
// and needs nothing but the standard library: no test framework, no files.
//
// ExifBuilder makes the EXIF APP1 payload ("Exif" 00 00, TIFF header, IFD0,
// EXIF and GPS directories with their out-of-line values); JpegBuilder wraps a
// payload in a small but complete baseline JPEG (an 8x8 gray image) that
// ordinary viewers open. Both have raw overrides for making broken files.
//
//   ExifBuilder exif(/*intel=*/true);
//   exif.addAscii(Ifd::ifd0, 0x010F, "Canon")          // Make
//       .addLongs(Ifd::exif, 0xA002, {4000})           // PixelXDimension
//       .addGpsCoordinate(Ifd::gps, 2, 30, 15, 36)     // GPSLatitude 30/1 15/1 36/1
//       .addAscii(Ifd::gps, 1, "S");                   // GPSLatitudeRef
//   std::vector<unsigned char> file =
//       JpegBuilder().exif(exif.segment()).segmentBefore(0xE1, xmpPayload("<x/>")).build();
//
// Layout of ExifBuilder::segment(), offsets from the TIFF header:
//   0   byte order, 42, IFD0 offset (8 unless overridden)
//   8   IFD0: count, entries in insertion order, then the EXIF and GPS pointer
//       entries (added automatically when those directories are used), next
//       IFD offset 0, then IFD0's out-of-line values
//   ..  EXIF directory and its values, then the GPS directory and its values
// Out-of-line values are placed at even offsets, as TIFF asks.

#ifndef PHOTOCHECK_TESTS_SUPPORT_JPEG_BUILDER_H
#define PHOTOCHECK_TESTS_SUPPORT_JPEG_BUILDER_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<unsigned char>;

// The three directories the reader walks.
enum class Ifd { ifd0, exif, gps };

// TIFF type numbers, written out again on purpose rather than taken from the
// reader: fixtures built from the reader's own constants would agree with a
// wrong number there.
enum TiffType : std::uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kUndefined = 7,
  kSlong = 9,
  kSrational = 10,
};

struct Fraction {
  std::uint32_t numerator;
  std::uint32_t denominator;
};

class ExifBuilder {
 public:
  explicit ExifBuilder(bool intelByteOrder = true);

  bool intel() const { return intel_; }

  // An entry whose values are `valueBytes`, already in the segment's byte
  // order. Up to 4 bytes go inline (zero-padded), more go out of line.
  ExifBuilder& add(Ifd ifd, std::uint16_t tag, std::uint16_t format, std::uint32_t count,
                   const Bytes& valueBytes);
  // An entry written verbatim: no values are stored, the value field is
  // `valueField` as a number (for bad offsets, huge counts, pointers).
  ExifBuilder& addRaw(Ifd ifd, std::uint16_t tag, std::uint16_t format, std::uint32_t count,
                      std::uint32_t valueField);
  // An entry with its 4 value-field bytes given as they stand in the file.
  ExifBuilder& addInlineBytes(Ifd ifd, std::uint16_t tag, std::uint16_t format, std::uint32_t count,
                              const Bytes& fieldBytes);

  // ASCII text plus the terminating zero byte (count = size + 1).
  ExifBuilder& addAscii(Ifd ifd, std::uint16_t tag, const std::string& text);
  // ASCII bytes exactly as given (count = size), for padded or unterminated text.
  ExifBuilder& addAsciiBytes(Ifd ifd, std::uint16_t tag, const std::string& bytes);
  ExifBuilder& addShorts(Ifd ifd, std::uint16_t tag, const std::vector<std::uint16_t>& values);
  ExifBuilder& addLongs(Ifd ifd, std::uint16_t tag, const std::vector<std::uint32_t>& values);
  ExifBuilder& addRationals(Ifd ifd, std::uint16_t tag, const std::vector<Fraction>& values,
                            std::uint16_t format = kRational);

  // GPS coordinate (tag 2 or 4): degrees/1, minutes/1, seconds/1.
  ExifBuilder& addGpsCoordinate(Ifd ifd, std::uint16_t tag, std::uint32_t degrees,
                                std::uint32_t minutes, std::uint32_t seconds);
  // GPS reference letter (tag 1 or 3): the letter and a zero byte, inline.
  ExifBuilder& addGpsRef(std::uint16_t tag, char letter);
  // GPSAltitudeRef (tag 5, BYTE) and GPSAltitude (tag 6) = numerator/denominator.
  ExifBuilder& addGpsAltitude(std::uint32_t numerator, std::uint32_t denominator, std::uint8_t ref);

  // Raw overrides for broken segments.
  ExifBuilder& byteOrderBytes(unsigned char first, unsigned char second);
  ExifBuilder& magic(std::uint16_t value);
  ExifBuilder& ifd0Offset(std::uint32_t offset);
  // Writes `count` as the directory's entry count instead of the real one.
  ExifBuilder& entryCount(Ifd ifd, std::uint16_t count);
  // Writes the EXIF or GPS directory (and its pointer) even when it is empty.
  ExifBuilder& forceDirectory(Ifd ifd);
  // Writes no pointer entry in IFD0 for the EXIF or GPS directory, although
  // the directory itself is still written.
  ExifBuilder& omitPointer(Ifd ifd);
  // Replaces the computed pointer value (and format) for the EXIF or GPS directory.
  ExifBuilder& pointerValue(Ifd ifd, std::uint32_t valueField, std::uint16_t format = kLong);
  // Bytes appended after everything else in the segment.
  ExifBuilder& tail(const Bytes& bytes);

  // The APP1 payload: "Exif" 00 00 followed by the TIFF structure.
  Bytes segment() const;
  // Position (from the segment start) where directory `ifd` is written; the
  // EXIF and GPS directories exist only when used or forced.
  std::uint32_t directoryPosition(Ifd ifd) const;

 private:
  struct Entry {
    std::uint16_t tag;
    std::uint16_t format;
    std::uint32_t count;
    std::optional<std::uint32_t> valueField;  // verbatim number
    Bytes values;                             // inline field bytes or out-of-line data
  };
  struct Directory {
    std::vector<Entry> entries;
    std::optional<std::uint16_t> countOverride;
    bool forced = false;
    bool omitPointer = false;
    std::optional<std::uint32_t> pointer;
    std::uint16_t pointerFormat = kLong;
  };
  Directory& dir(Ifd ifd) { return dirs_[static_cast<int>(ifd)]; }
  const Directory& dir(Ifd ifd) const { return dirs_[static_cast<int>(ifd)]; }
  bool present(Ifd ifd) const;
  Bytes u16(std::uint16_t v) const;
  Bytes u32(std::uint32_t v) const;
  struct Layout;
  Layout layout() const;

  bool intel_;
  unsigned char order_[2];
  std::uint16_t magic_ = 42;
  std::optional<std::uint32_t> ifd0Offset_;
  Directory dirs_[3];
  Bytes tail_;
};

class JpegBuilder {
 public:
  // The payload of the EXIF APP1 segment (usually ExifBuilder::segment()).
  JpegBuilder& exif(Bytes payload);
  // An extra segment FF `marker` with `payload` before the EXIF APP1.
  JpegBuilder& segmentBefore(unsigned char marker, const Bytes& payload);
  // An extra segment after the EXIF APP1 (before the image tables).
  JpegBuilder& segmentAfter(unsigned char marker, const Bytes& payload);
  // Writes `length` as the EXIF APP1 length field instead of payload + 2.
  JpegBuilder& app1Length(std::uint16_t length);
  // `n` filler bytes in comment segments after the image tables, for large
  // files that stay valid JPEG. The filler holds no FF byte.
  JpegBuilder& padding(std::uint32_t n);
  // Bytes after the FF D9 end marker.
  JpegBuilder& trailing(const Bytes& bytes);
  // Leaves out the FF D9 end marker.
  JpegBuilder& withoutEndMarker();

  Bytes build() const;

 private:
  struct Segment {
    unsigned char marker;
    Bytes payload;
  };
  std::optional<Bytes> exif_;
  std::optional<std::uint16_t> app1Length_;
  std::vector<Segment> before_;
  std::vector<Segment> after_;
  std::uint32_t padding_ = 0;
  Bytes trailing_;
  bool endMarker_ = true;
};

// An XMP APP1 payload: the XMP namespace identifier, a zero byte and `xml`.
Bytes xmpPayload(const std::string& xml);

}  // namespace testsupport

#endif  // PHOTOCHECK_TESTS_SUPPORT_JPEG_BUILDER_H
