#include "exif/directory_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A segment: "Exif" 00 00, then `rest`. Entries are placed by the tests.
Bytes segmentWith(const Bytes& rest) {
  Bytes s = {'E', 'x', 'i', 'f', 0, 0};
  s.insert(s.end(), rest.begin(), rest.end());
  return s;
}

DirectoryEntry decode(const Bytes& segment, std::uint32_t position, bool intel) {
  return decodeDirectoryEntry(segment.data(), position, intel, 6,
                              static_cast<std::uint32_t>(segment.size()));
}

TEST(ByteOrderPrimitives, ReadFromTheGivenPointerInEitherOrder) {
  // Distinct bytes catch a swapped order; starting at +1 catches an off-by-one.
  const unsigned char bytes[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
  EXPECT_EQ(readU16(bytes + 1, true), 0x0201);
  EXPECT_EQ(readU16(bytes + 1, false), 0x0102);
  EXPECT_EQ(readU32(bytes + 1, true), 0x04030201u);
  EXPECT_EQ(readU32(bytes + 1, false), 0x01020304u);
  const Rational le = readRationalPair(bytes + 1, true);
  EXPECT_EQ(le.numerator, 0x04030201u);
  EXPECT_EQ(le.denominator, 0x08070605u);
  const Rational be = readRationalPair(bytes + 1, false);
  EXPECT_EQ(be.numerator, 0x01020304u);
  EXPECT_EQ(be.denominator, 0x05060708u);
  // High bytes: no sign extension through int promotion.
  const unsigned char high[] = {0xFF, 0xFE, 0xFD, 0xFC};
  EXPECT_EQ(readU16(high, true), 0xFEFF);
  EXPECT_EQ(readU32(high, true), 0xFCFDFEFFu);
  EXPECT_EQ(readU32(high, false), 0xFFFEFDFCu);

  const unsigned char entry[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                                 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
  const EntryHeader h = readEntryHeader(entry, false);
  EXPECT_EQ(h.tag, 0x0102);
  EXPECT_EQ(h.format, 0x0304);
  EXPECT_EQ(h.count, 0x05060708u);
  EXPECT_EQ(h.valueField, 0x090A0B0Cu);
}

TEST(ByteOrderPrimitives, RationalToDouble) {
  EXPECT_EQ(rationalToDouble({0, 0}), 0.0);
  EXPECT_EQ(rationalToDouble({7, 0}), 0.0);
  EXPECT_EQ(rationalToDouble({3, 2}), 1.5);
  EXPECT_EQ(rationalToDouble({4294967295u, 1}), 4294967295.0);  // unsigned numerator
  EXPECT_EQ(rationalToDouble({1, 4294967295u}), 1.0 / 4294967295.0);
}

// One 12-byte entry at segment position 8, followed by `data` at position 20
// (TIFF offset 14). Fields in the given order.
Bytes entryAt8(bool intel, std::uint16_t tag, std::uint16_t format, std::uint32_t count,
               const Bytes& field, const Bytes& data = {}) {
  auto u16 = [&](std::uint16_t v) {
    return intel ? Bytes{static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)}
                 : Bytes{static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  };
  auto u32 = [&](std::uint32_t v) {
    Bytes b = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
               static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    return intel ? b : Bytes(b.rbegin(), b.rend());
  };
  Bytes s = segmentWith({0xAA, 0xBB});  // two filler bytes: the entry starts at 8
  for (const Bytes& part : {u16(tag), u16(format), u32(count), field, data}) {
    s.insert(s.end(), part.begin(), part.end());
  }
  return s;
}

TEST(DecodeDirectoryEntry, InlineShortsAreReadFromTheFieldBytesInSegmentOrder) {
  // The same field bytes mean different values in the two orders.
  const Bytes field = {0x06, 0x00, 0x00, 0x00};
  const DirectoryEntry le = decode(entryAt8(true, 0x0112, 3, 1, field), 8, true);
  EXPECT_EQ(le.tag, 0x0112);
  EXPECT_EQ(std::get<std::vector<std::uint16_t>>(le.values), std::vector<std::uint16_t>{6});
  const DirectoryEntry be = decode(entryAt8(false, 0x0112, 3, 1, field), 8, false);
  EXPECT_EQ(std::get<std::vector<std::uint16_t>>(be.values), std::vector<std::uint16_t>{0x0600});
  const DirectoryEntry be6 = decode(entryAt8(false, 0x0112, 3, 1, {0, 6, 0, 0}), 8, false);
  EXPECT_EQ(std::get<std::vector<std::uint16_t>>(be6.values), std::vector<std::uint16_t>{6});
}

TEST(DecodeDirectoryEntry, InlineLimitsPerFormatInBothOrders) {
  // Out-of-line data at TIFF offset 14 (segment position 20, just after the
  // entry) holds values 1, 2, 3... as u16, u32 or rationals. The field bytes
  // 0x09 0x0A 0x0B 0x0C hold different values, so reading the wrong place shows.
  for (bool intel : {true, false}) {
    SCOPED_TRACE(intel ? "Intel" : "Motorola");
    const Bytes offset14 = intel ? Bytes{14, 0, 0, 0} : Bytes{0, 0, 0, 14};
    const Bytes inlineField = {0x09, 0x0A, 0x0B, 0x0C};
    auto u16 = [&](std::uint16_t v) {
      return intel ? Bytes{static_cast<unsigned char>(v), 0}
                   : Bytes{0, static_cast<unsigned char>(v)};
    };
    Bytes data;
    for (std::uint16_t v = 1; v <= 8; ++v) {
      Bytes b = u16(v);
      data.insert(data.end(), b.begin(), b.end());
    }

    // SHORT: 2 inline, 3 out of line.
    auto shorts = [&](std::uint32_t count, const Bytes& field) {
      return std::get<std::vector<std::uint16_t>>(
          decode(entryAt8(intel, 1, 3, count, field, data), 8, intel).values);
    };
    EXPECT_EQ(shorts(2, inlineField), (intel ? std::vector<std::uint16_t>{0x0A09, 0x0C0B}
                                             : std::vector<std::uint16_t>{0x090A, 0x0B0C}));
    EXPECT_EQ(shorts(3, offset14), (std::vector<std::uint16_t>{1, 2, 3}));

    // LONG: 1 inline (equals the value field), 2 out of line.
    const DirectoryEntry long1 = decode(entryAt8(intel, 1, 4, 1, inlineField, data), 8, intel);
    EXPECT_EQ(std::get<std::vector<std::uint32_t>>(long1.values),
              std::vector<std::uint32_t>{long1.valueField});
    const auto long2 = std::get<std::vector<std::uint32_t>>(
        decode(entryAt8(intel, 1, 4, 2, offset14, data), 8, intel).values);
    EXPECT_EQ(long2, (intel ? std::vector<std::uint32_t>{0x00020001, 0x00040003}
                            : std::vector<std::uint32_t>{0x00010002, 0x00030004}));

    // BYTE: 4 inline, 5 out of line.
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(
                  decode(entryAt8(intel, 1, 1, 4, inlineField, data), 8, intel).values),
              (std::vector<std::uint8_t>{9, 10, 11, 12}));
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(
                  decode(entryAt8(intel, 1, 1, 5, offset14, data), 8, intel).values),
              (std::vector<std::uint8_t>(data.begin(), data.begin() + 5)));

    // RATIONAL: always out of line; count 0 is an empty list.
    const auto rationals = std::get<std::vector<Rational>>(
        decode(entryAt8(intel, 1, 5, 2, offset14, data), 8, intel).values);
    ASSERT_EQ(rationals.size(), 2u);
    EXPECT_EQ(rationals[1].numerator, intel ? 0x00060005u : 0x00050006u);
    EXPECT_EQ(rationals[1].denominator, intel ? 0x00080007u : 0x00070008u);
    const DirectoryEntry none = decode(entryAt8(intel, 1, 5, 0, offset14, data), 8, intel);
    EXPECT_EQ(none.tag, 1);
    EXPECT_TRUE(std::get<std::vector<Rational>>(none.values).empty());
  }
}

TEST(DecodeDirectoryEntry, AsciiDropsExactlyOneTrailingZero) {
  const Bytes offset14 = {14, 0, 0, 0};
  struct Case {
    const char* what;
    std::uint32_t count;
    std::string stored;  // count bytes, inline or at offset 14
    std::string expected;
  };
  const Case cases[] = {
      {"name and one NUL", 6, std::string("Canon\0", 6), "Canon"},
      {"padded with three NULs", 8, std::string("Canon\0\0\0", 8), std::string("Canon\0\0", 7)},
      {"inline, three letters", 4, std::string("DJI\0", 4), "DJI"},
      {"no terminator", 5, "Canon", "Canon"},
      {"embedded NUL kept", 6, std::string("Ca\0on\0", 6), std::string("Ca\0on", 5)},
      {"trailing blank kept", 7, std::string("Canon \0", 7), "Canon "},
      {"count 0", 0, "", ""},
      {"a lone NUL", 1, std::string("\0", 1), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes stored(c.stored.begin(), c.stored.end());
    const Bytes segment = c.count <= 4 ? entryAt8(true, 0x010F, 2, c.count,
                                                  [&] {
                                                    Bytes f = stored;
                                                    f.resize(4, 0);
                                                    return f;
                                                  }())
                                       : entryAt8(true, 0x010F, 2, c.count, offset14, stored);
    const DirectoryEntry entry = decode(segment, 8, true);
    EXPECT_EQ(entry.tag, 0x010F);
    EXPECT_EQ(std::get<std::string>(entry.values), c.expected);
  }
}

TEST(DecodeDirectoryEntry, OutOfLineRangeAndEntryBounds) {
  // 8 bytes of SHORT data at segment position 20 end exactly at the end.
  const Bytes data(8, 0x11);
  const Bytes segment = entryAt8(true, 0x0102, 3, 4, {14, 0, 0, 0}, data);
  const auto length = static_cast<std::uint32_t>(segment.size());
  EXPECT_EQ(decode(segment, 8, true).tag, 0x0102);

  // One more component runs past the end: invalid, but format, count and
  // value field stay as read and the list is empty.
  const DirectoryEntry tooLong = decode(entryAt8(true, 0x0102, 3, 5, {14, 0, 0, 0}, data), 8, true);
  EXPECT_EQ(tooLong.tag, invalidTag);
  EXPECT_EQ(tooLong.format, 3);
  EXPECT_EQ(tooLong.count, 5u);
  EXPECT_EQ(tooLong.valueField, 14u);
  EXPECT_TRUE(std::get<std::vector<std::uint16_t>>(tooLong.values).empty());

  // Offsets and counts near 2^32 must not wrap around into the segment.
  struct Huge {
    std::uint32_t count;
    std::uint32_t valueField;
  };
  for (const Huge h : {Huge{5, 0xFFFFFFFF}, Huge{5, 0xFFFFFFFA}, Huge{0x80000001, 14},
                       Huge{0xFFFFFFFF, 0xFFFFFFFF}}) {
    const Bytes field = {static_cast<unsigned char>(h.valueField),
                         static_cast<unsigned char>(h.valueField >> 8),
                         static_cast<unsigned char>(h.valueField >> 16),
                         static_cast<unsigned char>(h.valueField >> 24)};
    for (std::uint16_t format : {1, 2, 3, 4, 5}) {
      EXPECT_EQ(decode(entryAt8(true, 0x0102, format, h.count, field, data), 8, true).tag,
                invalidTag)
          << "format " << format << " count " << h.count << " field " << h.valueField;
    }
  }

  // An entry must lie wholly inside the segment: 11 bytes before the end is
  // too late, 12 is fine.
  const Bytes lastEntry = entryAt8(true, 0x0102, 3, 1, {1, 0, 0, 0});
  const DirectoryEntry late = decode(lastEntry, 9, true);
  EXPECT_EQ(late.tag, invalidTag);
  EXPECT_EQ(late.format, tiffInvalidFormat);
  EXPECT_EQ(late.count, 0u);
  EXPECT_EQ(late.valueField, 0u);
  EXPECT_EQ(decode(lastEntry, 8, true).tag, 0x0102);
  EXPECT_EQ(decode(segment, length, true).tag, invalidTag);
  EXPECT_EQ(decode(segment, 0xFFFFFFFF, true).tag, invalidTag);
}

TEST(DecodeDirectoryEntry, FormatsOutsideTheReadSet) {
  // A huge count pointing far outside: formats without decoded values never
  // look at their data, so they keep the tag.
  const Bytes farField = {0xF0, 0xFF, 0xFF, 0xFF};
  for (std::uint16_t format : {7, 9, 10}) {
    const DirectoryEntry e = decode(entryAt8(true, 0x8769, format, 0xFFFFFFFF, farField), 8, true);
    EXPECT_EQ(e.tag, 0x8769) << format;
    EXPECT_EQ(e.format, format);
    EXPECT_EQ(e.valueField, 0xFFFFFFF0u);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(e.values));
  }
  for (std::uint16_t format : {0, 6, 8, 11, 12, 13, 255, 256, 0x0300}) {
    const DirectoryEntry e = decode(entryAt8(true, 0x8769, format, 1, {1, 0, 0, 0}), 8, true);
    EXPECT_EQ(e.tag, invalidTag) << format;
    EXPECT_EQ(e.format, tiffInvalidFormat) << format;
    EXPECT_EQ(e.count, 1u);
    EXPECT_EQ(e.valueField, 1u);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(e.values));
  }
}

TEST(DirectoryEntry, SetFormatReplacesTheList) {
  DirectoryEntry e;
  e.setFormat(tiffAscii);
  std::get<std::string>(e.values) = "x";
  e.setFormat(tiffAscii);
  EXPECT_TRUE(std::get<std::string>(e.values).empty());
  e.setFormat(tiffShort);
  EXPECT_TRUE(std::holds_alternative<std::vector<std::uint16_t>>(e.values));
  e.setFormat(6);
  EXPECT_EQ(e.format, tiffInvalidFormat);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(e.values));
}

}  // namespace
