// Decoding of one TIFF directory entry and the byte-order primitives.
//
// A directory entry (TIFF 6.0 section 2, "IFD Entry"; EXIF 2.3 4.6.2) is 12
// bytes, every number in the segment's byte order:
//
//   bytes 0-1   tag          what the entry describes
//   bytes 2-3   format       TIFF data type (TiffFormat)
//   bytes 4-7   count        number of components (ASCII: bytes incl. the NUL)
//   bytes 8-11  value field  the values when count x component size <= 4,
//                            else their offset from the TIFF base
//
// Offsets count from the TIFF base, which is segment position 6 (just after
// "Exif" 00 00). Nothing here copies the segment; only decoded values are
// copied into the entry.
//
// The EXIF record reader decodes no whole entry: it reads the headers, finds
// with placeValues where the values lie and reads only the values it keeps.
// decodeDirectoryEntry decodes one entry with all its values, by the same
// rules.

#ifndef PHOTOCHECK_EXIF_DIRECTORY_ENTRY_H_
#define PHOTOCHECK_EXIF_DIRECTORY_ENTRY_H_

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "exif/byte_span.h"

// TIFF data type numbers (TIFF 6.0 section 2, "Types") that the reader knows.
enum TiffFormat : std::uint16_t {
  tiffByte = 1,
  tiffAscii = 2,
  tiffShort = 3,
  tiffLong = 4,
  tiffRational = 5,
  tiffUndefined = 7,
  tiffSlong = 9,
  tiffSrational = 10,
  // Marks an entry without a valid format.
  tiffInvalidFormat = 255,
};

// The tag of an entry that failed to decode. No directory handles it.
constexpr std::uint16_t invalidTag = 0xFF;

// A TIFF RATIONAL: two unsigned 32-bit numbers, numerator first.
struct Rational {
  std::uint32_t numerator = 0;
  std::uint32_t denominator = 0;
};

// The typed values of an entry: one list whose kind follows the format.
// monostate for UNDEFINED, SLONG, SRATIONAL and invalid entries.
using EntryValues =
    std::variant<std::monostate, std::vector<std::uint8_t>, std::string, std::vector<std::uint16_t>,
                 std::vector<std::uint32_t>, std::vector<Rational>>;

// The four fields of an entry as stored, without any check.
struct EntryHeader {
  std::uint16_t tag = 0;
  std::uint16_t format = 0;
  std::uint32_t count = 0;
  std::uint32_t valueField = 0;
};

// One decoded entry. Move-only: it owns its value list.
struct DirectoryEntry {
  std::uint16_t tag = invalidTag;
  std::uint16_t format = tiffInvalidFormat;
  std::uint32_t valueField = 0;
  std::uint32_t count = 0;
  EntryValues values;

  DirectoryEntry() = default;
  DirectoryEntry(DirectoryEntry&&) = default;
  DirectoryEntry& operator=(DirectoryEntry&&) = default;
  DirectoryEntry(const DirectoryEntry&) = delete;
  DirectoryEntry& operator=(const DirectoryEntry&) = delete;

  // Takes `number` when it is an accepted format (1, 2, 3, 4, 5, 7, 9, 10,
  // 255), else tiffInvalidFormat, and replaces the value list with an empty
  // list of the kind the format calls for.
  void setFormat(std::uint16_t number);
};

// Where an entry's values lie, worked out from its header alone.
struct ValuePlace {
  // The entry decodes: its format is accepted (1, 2, 3, 4, 5, 7, 9, 10) and
  // its values lie inside the segment. An entry that does not is invalid.
  bool decodes = false;
  // The values are bytes 8-11 of the entry itself (count x component size is
  // at most 4); else they start at segment position `position`.
  bool inlineValues = true;
  std::uint64_t position = 0;
  // count x component size; 0 for the formats whose values are not read.
  std::uint64_t size = 0;
};

// Places the values of the entry with `header` in `segment`, whose stored
// offsets count from `tiffBase`.
ValuePlace placeValues(const EntryHeader& header, std::uint32_t tiffBase, const ByteSpan& segment);

// Decodes the entry at `entryPosition` of `segment` (`segmentLength` bytes).
// Never fails as a whole: an entry outside the segment, a refused format or
// out-of-line values past the end give tag invalidTag.
DirectoryEntry decodeDirectoryEntry(const unsigned char* segment, std::uint32_t entryPosition,
                                    bool intelByteOrder, std::uint32_t tiffBase,
                                    std::uint32_t segmentLength);

// Reads the four fields of the 12 bytes at `entry`; the caller guarantees
// that they are there.
EntryHeader readEntryHeader(const unsigned char* entry, bool intelByteOrder);

// The u16 of bytes 0-1: byte 0 low in Intel order, high in Motorola order.
std::uint16_t readU16(const unsigned char* bytes, bool intelByteOrder);

// The u32 of bytes 0-3: byte 0 lowest in Intel order, highest in Motorola.
std::uint32_t readU32(const unsigned char* bytes, bool intelByteOrder);

// Numerator from bytes 0-3, denominator from bytes 4-7, both unsigned.
Rational readRationalPair(const unsigned char* bytes, bool intelByteOrder);

// numerator / denominator as a double; 0.0 when the denominator is 0.
double rationalToDouble(Rational value);

#endif  // PHOTOCHECK_EXIF_DIRECTORY_ENTRY_H_
