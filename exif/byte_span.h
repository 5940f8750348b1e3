// A read-only run of bytes with its length, and the one bounds test that the
// EXIF reader uses for every position it reads.

#ifndef PHOTOCHECK_EXIF_BYTE_SPAN_H_
#define PHOTOCHECK_EXIF_BYTE_SPAN_H_

#include <cstdint>

struct ByteSpan {
  const unsigned char* bytes = nullptr;
  std::uint32_t length = 0;

  // True when [position, position + size) lies inside the span. Both operands
  // are 64-bit and the test never adds them, so a position or size derived
  // from a stored 32-bit offset or count (even one near 2^32, or a count
  // times a component size) cannot wrap around into the span.
  bool holds(std::uint64_t position, std::uint64_t size) const {
    return position <= length && size <= length - position;
  }

  // The byte at `position`; the caller has tested it with holds().
  const unsigned char* at(std::uint64_t position) const { return bytes + position; }
};

#endif  // PHOTOCHECK_EXIF_BYTE_SPAN_H_
