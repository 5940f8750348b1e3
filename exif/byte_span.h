// A window of a byte source, the one bounds test that the EXIF reader uses
// for every position it reads, and the read of a tested range.

#ifndef PHOTOCHECK_EXIF_BYTE_SPAN_H_
#define PHOTOCHECK_EXIF_BYTE_SPAN_H_

#include <cstdint>

#include "exif/byte_source.h"

// `length` bytes of `source` from its offset `start` on; positions count from
// `start`. Invariant: start + length <= source->size.
struct ByteSpan {
  const ByteSource* source = nullptr;
  std::uint32_t start = 0;
  std::uint32_t length = 0;

  // True when [position, position + size) lies inside the span. Both operands
  // are 64-bit and the test never adds them, so a position or size derived
  // from a stored 32-bit offset or count (even one near 2^32, or a count
  // times a component size) cannot wrap around into the span.
  bool holds(std::uint64_t position, std::uint64_t size) const {
    return position <= length && size <= length - position;
  }

  // Copies the `size` bytes at `position`, which the caller has tested with
  // holds(); so both fit in 32 bits and start + position does not wrap.
  // False when the source cannot read them.
  bool read(std::uint64_t position, std::uint64_t size, unsigned char* out) const {
    if (size == 0) return true;
    return source->read(source->context, static_cast<std::uint32_t>(start + position),
                        static_cast<std::uint32_t>(size), out);
  }

  // The `size` bytes at `position`, tested like a read, where the source
  // keeps them in memory (valid until the next call on the source); null
  // when it does not: read them instead.
  const unsigned char* view(std::uint64_t position, std::uint64_t size) const {
    if (size == 0 || source->view == nullptr) return nullptr;
    return source->view(source->context, static_cast<std::uint32_t>(start + position),
                        static_cast<std::uint32_t>(size));
  }

  // The part from `position` to the end; `position` tested like a read.
  ByteSpan from(std::uint64_t position) const {
    return ByteSpan{source, static_cast<std::uint32_t>(start + position),
                    static_cast<std::uint32_t>(length - position)};
  }
};

#endif  // PHOTOCHECK_EXIF_BYTE_SPAN_H_
