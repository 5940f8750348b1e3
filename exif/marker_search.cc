#include "exif/marker_search.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned char kMarkerPrefix = 0xFF;

std::uint32_t nextChunkSize(std::uint32_t size, const ChunkPlan& plan) {
  return size >= plan.max / 2 ? plan.max : size * 2;
}

// The `n` bytes of `span` at `from`: where the source keeps them, else read
// into `chunk`; null when they cannot be read.
const unsigned char* chunkAt(const ByteSpan& span, std::uint32_t from, std::uint32_t n,
                             std::vector<unsigned char>& chunk) {
  if (const unsigned char* kept = span.view(from, n)) return kept;
  chunk.resize(std::max<std::size_t>(chunk.size(), n));
  return span.read(from, n, chunk.data()) ? chunk.data() : nullptr;
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
    const unsigned char* bytes = chunkAt(span, from, n, chunk);
    if (bytes == nullptr) return MarkerSearch::readFailed;
    // memchr finds each 0xFF among the n - 1 bytes that start a pair here;
    // its follower is inside the chunk.
    for (std::uint32_t at = 0; at < n - 1;) {
      const void* found = std::memchr(bytes + at, kMarkerPrefix, n - 1 - at);
      if (found == nullptr) break;
      at = static_cast<std::uint32_t>(static_cast<const unsigned char*>(found) - bytes);
      if (bytes[at + 1] == code) {
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
    const unsigned char* bytes = chunkAt(span, from, n, chunk);
    if (bytes == nullptr) return MarkerSearch::readFailed;
    for (std::uint32_t at = n - 1; at-- > 0;) {
      if (bytes[at] == kMarkerPrefix && bytes[at + 1] == code) {
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
