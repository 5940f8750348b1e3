#include "exif/marker_search.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned char kMarkerPrefix = 0xFF;

std::uint32_t nextChunkSize(std::uint32_t size, const ChunkPlan& plan) {
  return size >= plan.max / 2 ? plan.max : size * 2;
}

}  // namespace

MarkerSearch findFirstMarker(const ByteSpan& span, unsigned char code, ChunkPlan plan,
                             std::uint32_t& position) {
  std::vector<unsigned char> chunk;
  std::uint32_t size = plan.first;
  // Invariant: every pair that starts before `from` has been tested, and
  // from <= span.length - 2, so a chunk from there holds at least one pair.
  for (std::uint32_t from = 0; span.length >= 2 && from <= span.length - 2;) {
    const std::uint32_t n = std::min(size, span.length - from);
    chunk.resize(std::max<std::size_t>(chunk.size(), n));
    if (!span.read(from, n, chunk.data())) return MarkerSearch::readFailed;
    // memchr finds each 0xFF among the n - 1 bytes that start a pair here;
    // its follower is inside the chunk.
    for (std::uint32_t at = 0; at < n - 1;) {
      const void* found = std::memchr(chunk.data() + at, kMarkerPrefix, n - 1 - at);
      if (found == nullptr) break;
      at = static_cast<std::uint32_t>(static_cast<const unsigned char*>(found) - chunk.data());
      if (chunk[at + 1] == code) {
        position = from + at;
        return MarkerSearch::found;
      }
      ++at;
    }
    from += n - 1;  // the chunk's last byte starts the next one
    size = nextChunkSize(size, plan);
  }
  return MarkerSearch::absent;
}

MarkerSearch findLastMarker(const ByteSpan& span, unsigned char code, ChunkPlan plan,
                            std::uint32_t& position) {
  std::vector<unsigned char> chunk;
  std::uint32_t size = plan.first;
  // Invariant: every pair that ends after `to` has been tested, and to >= 2,
  // so a chunk that ends there holds at least one pair.
  for (std::uint32_t to = span.length; to >= 2;) {
    const std::uint32_t n = std::min(size, to);
    const std::uint32_t from = to - n;
    chunk.resize(std::max<std::size_t>(chunk.size(), n));
    if (!span.read(from, n, chunk.data())) return MarkerSearch::readFailed;
    for (std::uint32_t at = n - 1; at-- > 0;) {
      if (chunk[at] == kMarkerPrefix && chunk[at + 1] == code) {
        position = from + at;
        return MarkerSearch::found;
      }
    }
    if (from == 0) break;
    to = from + 1;  // the chunk's first byte ends the next one
    size = nextChunkSize(size, plan);
  }
  return MarkerSearch::absent;
}
