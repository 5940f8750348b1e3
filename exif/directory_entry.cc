#include "exif/directory_entry.h"

#include <utility>

#include "exif/byte_source.h"

namespace {

// Bytes per component of the formats whose values are decoded (TIFF 6.0
// section 2, "Types"). UNDEFINED, SLONG and SRATIONAL are accepted but never
// read, so they need no bytes and always count as inline; a refused format
// likewise. This one table drives both the inline choice and the range test.
std::uint64_t componentSize(std::uint16_t format) {
  switch (format) {
    case tiffByte:
    case tiffAscii:
      return 1;
    case tiffShort:
      return 2;
    case tiffLong:
      return 4;
    case tiffRational:
      return 8;
    default:
      return 0;
  }
}

// Reads `count` values of `stride` bytes each, starting at `bytes`.
template <typename Value, typename Read>
std::vector<Value> readList(const unsigned char* bytes, std::uint32_t count, unsigned stride,
                            Read read) {
  std::vector<Value> list;
  list.reserve(count);
  for (std::uint32_t k = 0; k < count; ++k) list.push_back(read(bytes + std::uint64_t{k} * stride));
  return list;
}

}  // namespace

void DirectoryEntry::setFormat(std::uint16_t number) {
  switch (number) {
    case tiffByte:
      values = std::vector<std::uint8_t>();
      break;
    case tiffAscii:
      values = std::string();
      break;
    case tiffShort:
      values = std::vector<std::uint16_t>();
      break;
    case tiffLong:
      values = std::vector<std::uint32_t>();
      break;
    case tiffRational:
      values = std::vector<Rational>();
      break;
    case tiffUndefined:
    case tiffSlong:
    case tiffSrational:
    case tiffInvalidFormat:
      values = std::monostate();
      break;
    default:
      number = tiffInvalidFormat;
      values = std::monostate();
      break;
  }
  format = number;
}

std::uint16_t readU16(const unsigned char* bytes, bool intelByteOrder) {
  if (intelByteOrder) return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
  return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

std::uint32_t readU32(const unsigned char* bytes, bool intelByteOrder) {
  const std::uint32_t b0 = bytes[0], b1 = bytes[1], b2 = bytes[2], b3 = bytes[3];
  if (intelByteOrder) return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
  return (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
}

Rational readRationalPair(const unsigned char* bytes, bool intelByteOrder) {
  return Rational{readU32(bytes, intelByteOrder), readU32(bytes + 4, intelByteOrder)};
}

double rationalToDouble(Rational value) {
  if (value.denominator == 0) return 0.0;
  return static_cast<double>(value.numerator) / static_cast<double>(value.denominator);
}

EntryHeader readEntryHeader(const unsigned char* entry, bool intelByteOrder) {
  EntryHeader header;
  header.tag = readU16(entry, intelByteOrder);
  header.format = readU16(entry + 2, intelByteOrder);
  header.count = readU32(entry + 4, intelByteOrder);
  header.valueField = readU32(entry + 8, intelByteOrder);
  return header;
}

ValuePlace placeValues(const EntryHeader& header, std::uint32_t tiffBase, const ByteSpan& segment) {
  ValuePlace place;
  switch (header.format) {
    case tiffByte:
    case tiffAscii:
    case tiffShort:
    case tiffLong:
    case tiffRational:
    case tiffUndefined:
    case tiffSlong:
    case tiffSrational:
      break;
    default:
      return place;  // the 255 marker or a refused format: invalid
  }
  // Values of up to 4 bytes sit in the value field itself, in the order they
  // are stored (TIFF 6.0 section 2: "the Value Offset contains the Value
  // instead of pointing to the Value if and only if the Value fits into 4
  // bytes"). Otherwise the value field is an offset from the TIFF base.
  // count is at most 2^32 - 1 and the size at most 8, so the product and the
  // start position are exact in 64 bits.
  place.size = std::uint64_t{header.count} * componentSize(header.format);
  if (place.size > 4) {
    place.inlineValues = false;
    place.position = std::uint64_t{tiffBase} + header.valueField;
    if (!segment.holds(place.position, place.size)) return place;
  }
  place.decodes = true;
  return place;
}

DirectoryEntry decodeDirectoryEntry(const unsigned char* segmentBytes, std::uint32_t entryPosition,
                                    bool intelByteOrder, std::uint32_t tiffBase,
                                    std::uint32_t segmentLength) {
  // The span only tests ranges here; the values are decoded in place.
  const ByteSource source = memoryByteSource(segmentBytes, segmentLength);
  const ByteSpan segment{&source, 0, segmentLength};
  DirectoryEntry entry;  // tag and format invalid, count and value field 0
  if (!segment.holds(entryPosition, 12)) return entry;

  const unsigned char* entryBytes = segmentBytes + entryPosition;
  const EntryHeader header = readEntryHeader(entryBytes, intelByteOrder);
  entry.tag = header.tag;
  entry.count = header.count;
  entry.valueField = header.valueField;
  entry.setFormat(header.format);
  const ValuePlace place = placeValues(header, tiffBase, segment);
  if (!place.decodes) {
    entry.tag = invalidTag;  // format refused, or values past the end: empty list
    return entry;
  }
  const unsigned char* values = place.inlineValues ? entryBytes + 8 : segmentBytes + place.position;
  // From here on [values, values + place.size) lies inside the segment.

  const std::uint32_t count = header.count;
  switch (entry.format) {
    case tiffByte:
      entry.values = std::vector<std::uint8_t>(values, values + count);
      break;
    case tiffAscii: {
      // The count includes the terminating NUL (TIFF 6.0 "ASCII"); drop that
      // one byte only, so padding and embedded NULs stay as stored.
      std::string text(reinterpret_cast<const char*>(values), count);
      if (!text.empty() && text.back() == '\0') text.pop_back();
      entry.values = std::move(text);
      break;
    }
    case tiffShort:
      entry.values = readList<std::uint16_t>(
          values, count, 2, [&](const unsigned char* p) { return readU16(p, intelByteOrder); });
      break;
    case tiffLong:
      entry.values = readList<std::uint32_t>(
          values, count, 4, [&](const unsigned char* p) { return readU32(p, intelByteOrder); });
      break;
    case tiffRational:
      entry.values = readList<Rational>(values, count, 8, [&](const unsigned char* p) {
        return readRationalPair(p, intelByteOrder);
      });
      break;
    default:
      break;  // UNDEFINED, SLONG, SRATIONAL: accepted, values not needed by any reader of ours
  }
  return entry;
}
