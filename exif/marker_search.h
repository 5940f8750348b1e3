// Searches of a byte span for a JPEG marker pair (0xFF and a code byte), read
// in chunks so that only the bytes up to the pair are asked of the source.
// Each chunk starts on the last byte of the one before, so a pair whose 0xFF
// ends one chunk is found in the next: a chunked search finds exactly what a
// search of the whole span at once would find.

#ifndef PHOTOCHECK_EXIF_MARKER_SEARCH_H_
#define PHOTOCHECK_EXIF_MARKER_SEARCH_H_

#include <cstdint>

#include "exif/byte_span.h"

// Chunk sizes: the first read is `first` bytes, each next one twice the one
// before, up to `max`. Both are at least 2.
struct ChunkPlan {
  std::uint32_t first = 0;
  std::uint32_t max = 0;
};

enum class MarkerSearch { found, absent, readFailed };

// The first position p with p + 1 < span.length where bytes p and p + 1 are
// 0xFF and `code`, put in `position` when found.
MarkerSearch findFirstMarker(const ByteSpan& span, unsigned char code, ChunkPlan plan,
                             std::uint32_t& position);

// The last such position, searched from the back.
MarkerSearch findLastMarker(const ByteSpan& span, unsigned char code, ChunkPlan plan,
                            std::uint32_t& position);

#endif  // PHOTOCHECK_EXIF_MARKER_SEARCH_H_
