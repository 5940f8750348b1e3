#include "tests/support/jpeg_builder.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace testsupport {

namespace {

// A complete 8x8 baseline gray image after the metadata segments (ITU-T T.81
// annex B), hand-made: every sample is mid-gray, so the only DCT coefficient
// is a DC difference of 0 and each table needs one code.
// clang-format off
const unsigned char kImageTables[] = {
    // DQT, length 67: table 0, 8-bit precision, 64 quantizers of 1.
    0xFF, 0xDB, 0x00, 0x43, 0x00,
    1, 1, 1, 1, 1, 1, 1, 1,  1, 1, 1, 1, 1, 1, 1, 1,  1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,  1, 1, 1, 1, 1, 1, 1, 1,  1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,  1, 1, 1, 1, 1, 1, 1, 1,
    // SOF0, length 11: 8-bit samples, 8 lines, 8 columns, 1 component
    // (id 1, sampling 1x1, quantizer table 0).
    0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00,
    // DHT, length 38: DC table 0 and AC table 0, each a single 1-bit code "0"
    // for symbol 0x00 (DC: difference category 0; AC: end of block).
    0xFF, 0xC4, 0x00, 0x26,
    0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
    0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
};
const unsigned char kScan[] = {
    // SOS, length 8: 1 component (id 1, DC table 0, AC table 0), spectral
    // selection 0-63, no approximation.
    0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00,
    // Entropy-coded data: DC "0", EOB "0", padded with 1 bits.
    0x3F,
};
// clang-format on

void appendSegment(Bytes& out, unsigned char marker, const Bytes& payload,
                   std::optional<std::uint16_t> lengthOverride = std::nullopt) {
  // The length field counts itself; a payload too large for it gets 0xFFFF.
  const std::size_t natural = std::min<std::size_t>(payload.size() + 2, 0xFFFF);
  const std::uint16_t length = lengthOverride.value_or(static_cast<std::uint16_t>(natural));
  out.insert(out.end(), {0xFF, marker, static_cast<unsigned char>(length >> 8),
                         static_cast<unsigned char>(length & 0xFF)});
  out.insert(out.end(), payload.begin(), payload.end());
}

}  // namespace

// ---------------------------------------------------------------- ExifBuilder

struct ExifBuilder::Layout {
  std::vector<Entry> ifd0;                // user entries plus pointer entries
  std::uint32_t position[3] = {0, 0, 0};  // TIFF offsets of the directories
};

ExifBuilder::ExifBuilder(bool intelByteOrder) : intel_(intelByteOrder) {
  order_[0] = order_[1] = intelByteOrder ? 0x49 : 0x4D;
}

Bytes ExifBuilder::u16(std::uint16_t v) const {
  if (intel_) return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  return {static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
}

Bytes ExifBuilder::u32(std::uint32_t v) const {
  Bytes b = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
             static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  if (!intel_) std::reverse(b.begin(), b.end());
  return b;
}

ExifBuilder& ExifBuilder::add(Ifd ifd, std::uint16_t tag, std::uint16_t format, std::uint32_t count,
                              const Bytes& valueBytes) {
  dir(ifd).entries.push_back(Entry{tag, format, count, std::nullopt, valueBytes});
  return *this;
}

ExifBuilder& ExifBuilder::addRaw(Ifd ifd, std::uint16_t tag, std::uint16_t format,
                                 std::uint32_t count, std::uint32_t valueField) {
  dir(ifd).entries.push_back(Entry{tag, format, count, valueField, {}});
  return *this;
}

ExifBuilder& ExifBuilder::addInlineBytes(Ifd ifd, std::uint16_t tag, std::uint16_t format,
                                         std::uint32_t count, const Bytes& fieldBytes) {
  Bytes field = fieldBytes;
  field.resize(4, 0);
  return add(ifd, tag, format, count, field);
}

ExifBuilder& ExifBuilder::addAscii(Ifd ifd, std::uint16_t tag, const std::string& text) {
  return addAsciiBytes(ifd, tag, text + std::string(1, '\0'));
}

ExifBuilder& ExifBuilder::addAsciiBytes(Ifd ifd, std::uint16_t tag, const std::string& bytes) {
  return add(ifd, tag, kAscii, static_cast<std::uint32_t>(bytes.size()),
             Bytes(bytes.begin(), bytes.end()));
}

ExifBuilder& ExifBuilder::addShorts(Ifd ifd, std::uint16_t tag,
                                    const std::vector<std::uint16_t>& values) {
  Bytes bytes;
  for (std::uint16_t v : values) {
    const Bytes b = u16(v);
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
  return add(ifd, tag, kShort, static_cast<std::uint32_t>(values.size()), bytes);
}

ExifBuilder& ExifBuilder::addLongs(Ifd ifd, std::uint16_t tag,
                                   const std::vector<std::uint32_t>& values) {
  Bytes bytes;
  for (std::uint32_t v : values) {
    const Bytes b = u32(v);
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
  return add(ifd, tag, kLong, static_cast<std::uint32_t>(values.size()), bytes);
}

ExifBuilder& ExifBuilder::addRationals(Ifd ifd, std::uint16_t tag,
                                       const std::vector<Fraction>& values, std::uint16_t format) {
  Bytes bytes;
  for (const Fraction& f : values) {
    const Bytes n = u32(f.numerator), d = u32(f.denominator);
    bytes.insert(bytes.end(), n.begin(), n.end());
    bytes.insert(bytes.end(), d.begin(), d.end());
  }
  // Rationals never fit the value field; keep them out of line even at count 0.
  Entry entry{tag, format, static_cast<std::uint32_t>(values.size()), std::nullopt, bytes};
  if (bytes.empty()) entry.valueField = 0;
  dir(ifd).entries.push_back(entry);
  return *this;
}

ExifBuilder& ExifBuilder::addGpsCoordinate(Ifd ifd, std::uint16_t tag, std::uint32_t degrees,
                                           std::uint32_t minutes, std::uint32_t seconds) {
  return addRationals(ifd, tag, {{degrees, 1}, {minutes, 1}, {seconds, 1}});
}

ExifBuilder& ExifBuilder::addGpsRef(std::uint16_t tag, char letter) {
  return addAscii(Ifd::gps, tag, std::string(1, letter));
}

ExifBuilder& ExifBuilder::addGpsAltitude(std::uint32_t numerator, std::uint32_t denominator,
                                         std::uint8_t ref) {
  add(Ifd::gps, 5, kByte, 1, {ref, 0, 0, 0});
  return addRationals(Ifd::gps, 6, {{numerator, denominator}});
}

ExifBuilder& ExifBuilder::byteOrderBytes(unsigned char first, unsigned char second) {
  order_[0] = first;
  order_[1] = second;
  return *this;
}

ExifBuilder& ExifBuilder::magic(std::uint16_t value) {
  magic_ = value;
  return *this;
}

ExifBuilder& ExifBuilder::ifd0Offset(std::uint32_t offset) {
  ifd0Offset_ = offset;
  return *this;
}

ExifBuilder& ExifBuilder::entryCount(Ifd ifd, std::uint16_t count) {
  dir(ifd).countOverride = count;
  return *this;
}

ExifBuilder& ExifBuilder::forceDirectory(Ifd ifd) {
  dir(ifd).forced = true;
  return *this;
}

ExifBuilder& ExifBuilder::omitPointer(Ifd ifd) {
  dir(ifd).omitPointer = true;
  return *this;
}

ExifBuilder& ExifBuilder::pointerValue(Ifd ifd, std::uint32_t valueField, std::uint16_t format) {
  dir(ifd).pointer = valueField;
  dir(ifd).pointerFormat = format;
  return *this;
}

ExifBuilder& ExifBuilder::tail(const Bytes& bytes) {
  tail_.insert(tail_.end(), bytes.begin(), bytes.end());
  return *this;
}

bool ExifBuilder::present(Ifd ifd) const {
  return ifd == Ifd::ifd0 || !dir(ifd).entries.empty() || dir(ifd).forced;
}

namespace {

// Bytes a directory takes: count, entries, next offset, then out-of-line
// values padded to even length.
template <typename EntryList>
std::uint32_t directorySize(const EntryList& entries) {
  std::size_t size = 2 + 12 * entries.size() + 4;
  for (const auto& e : entries) {
    if (!e.valueField && e.values.size() > 4) size += e.values.size() + (e.values.size() & 1);
  }
  return static_cast<std::uint32_t>(size);
}

}  // namespace

ExifBuilder::Layout ExifBuilder::layout() const {
  Layout l;
  l.ifd0 = dir(Ifd::ifd0).entries;
  const Ifd subs[2] = {Ifd::exif, Ifd::gps};
  const std::uint16_t pointerTags[2] = {0x8769, 0x8825};
  bool pointer[2] = {false, false};
  for (int i = 0; i < 2; ++i) pointer[i] = present(subs[i]) && !dir(subs[i]).omitPointer;

  // Directories follow one another; pointer entries add 12 bytes to IFD0.
  std::uint32_t next = 8;
  l.position[0] = next;
  next += directorySize(l.ifd0) + 12 * (pointer[0] + pointer[1]);
  for (Ifd ifd : subs) {
    if (!present(ifd)) continue;
    l.position[static_cast<int>(ifd)] = next;
    next += directorySize(dir(ifd).entries);
  }
  for (int i = 0; i < 2; ++i) {
    if (!pointer[i]) continue;
    const Directory& d = dir(subs[i]);
    l.ifd0.push_back(Entry{pointerTags[i],
                           d.pointerFormat,
                           1,
                           d.pointer.value_or(l.position[static_cast<int>(subs[i])]),
                           {}});
  }
  return l;
}

std::uint32_t ExifBuilder::directoryPosition(Ifd ifd) const {
  return 6 + layout().position[static_cast<int>(ifd)];
}

Bytes ExifBuilder::segment() const {
  const Layout l = layout();
  Bytes tiff = {order_[0], order_[1]};
  const Bytes m = u16(magic_), o = u32(ifd0Offset_.value_or(l.position[0]));
  tiff.insert(tiff.end(), m.begin(), m.end());
  tiff.insert(tiff.end(), o.begin(), o.end());

  auto writeDirectory = [&](const std::vector<Entry>& entries,
                            std::optional<std::uint16_t> countOverride) {
    const std::uint32_t start = static_cast<std::uint32_t>(tiff.size());
    std::uint32_t dataPosition = start + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
    Bytes data;
    auto put = [&](const Bytes& b) { tiff.insert(tiff.end(), b.begin(), b.end()); };
    put(u16(countOverride.value_or(static_cast<std::uint16_t>(entries.size()))));
    for (const Entry& e : entries) {
      put(u16(e.tag));
      put(u16(e.format));
      put(u32(e.count));
      if (e.valueField) {
        put(u32(*e.valueField));
      } else if (e.values.size() <= 4) {
        Bytes field = e.values;
        field.resize(4, 0);
        put(field);
      } else {
        put(u32(dataPosition + static_cast<std::uint32_t>(data.size())));
        data.insert(data.end(), e.values.begin(), e.values.end());
        if (data.size() & 1) data.push_back(0);
      }
    }
    put(u32(0));  // next directory: none
    put(data);
  };

  writeDirectory(l.ifd0, dir(Ifd::ifd0).countOverride);
  for (Ifd ifd : {Ifd::exif, Ifd::gps}) {
    if (present(ifd)) writeDirectory(dir(ifd).entries, dir(ifd).countOverride);
  }

  // Sized up front: growing a vector that began as a 6-byte list makes
  // GCC 12 at -O2 see a copy past its end that never happens.
  static const unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  Bytes out(sizeof kExifHeader + tiff.size() + tail_.size());
  auto at = std::copy(std::begin(kExifHeader), std::end(kExifHeader), out.begin());
  at = std::copy(tiff.begin(), tiff.end(), at);
  std::copy(tail_.begin(), tail_.end(), at);
  return out;
}

// ---------------------------------------------------------------- JpegBuilder

JpegBuilder& JpegBuilder::exif(Bytes payload) {
  exif_ = std::move(payload);
  return *this;
}

JpegBuilder& JpegBuilder::segmentBefore(unsigned char marker, const Bytes& payload) {
  before_.push_back(Segment{marker, payload});
  return *this;
}

JpegBuilder& JpegBuilder::segmentAfter(unsigned char marker, const Bytes& payload) {
  after_.push_back(Segment{marker, payload});
  return *this;
}

JpegBuilder& JpegBuilder::app1Length(std::uint16_t length) {
  app1Length_ = length;
  return *this;
}

JpegBuilder& JpegBuilder::padding(std::uint32_t n) {
  padding_ = n;
  return *this;
}

JpegBuilder& JpegBuilder::trailing(const Bytes& bytes) {
  trailing_.insert(trailing_.end(), bytes.begin(), bytes.end());
  return *this;
}

JpegBuilder& JpegBuilder::withoutEndMarker() {
  endMarker_ = false;
  return *this;
}

Bytes JpegBuilder::build() const {
  Bytes out = {0xFF, 0xD8};
  for (const Segment& s : before_) appendSegment(out, s.marker, s.payload);
  if (exif_) appendSegment(out, 0xE1, *exif_, app1Length_);
  for (const Segment& s : after_) appendSegment(out, s.marker, s.payload);
  out.insert(out.end(), std::begin(kImageTables), std::end(kImageTables));
  // Filler in COM segments (FF FE), at most 65533 bytes each; no byte is FF,
  // so the filler forms no marker.
  for (std::uint32_t left = padding_; left > 0;) {
    const std::uint32_t chunk = std::min<std::uint32_t>(left, 65533);
    Bytes filler(chunk);
    for (std::uint32_t k = 0; k < chunk; ++k) filler[k] = static_cast<unsigned char>(k % 0xFF);
    appendSegment(out, 0xFE, filler);
    left -= chunk;
  }
  out.insert(out.end(), std::begin(kScan), std::end(kScan));
  if (endMarker_) out.insert(out.end(), {0xFF, 0xD9});
  out.insert(out.end(), trailing_.begin(), trailing_.end());
  return out;
}

// ---------------------------------------------------------------- helpers

Bytes xmpPayload(const std::string& xml) {
  const std::string id = "http://ns.adobe.com/xap/1.0/";
  Bytes out(id.begin(), id.end());
  out.push_back(0);
  out.insert(out.end(), xml.begin(), xml.end());
  return out;
}

}  // namespace testsupport
