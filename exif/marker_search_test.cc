#include "exif/marker_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A source over bytes in memory that notes a read past the end or of 0 bytes.
// With `viewed`, it also shows the ranges that start at an even offset in
// place, so that one search takes some chunks in place and reads others.
struct CheckedSource {
  const Bytes* bytes = nullptr;
  bool viewed = false;
  bool outside = false;

  ByteSource source() {
    ByteSource s;
    if (viewed) {
      s.view = [](void* context, std::uint32_t offset,
                  std::uint32_t length) -> const unsigned char* {
        auto& self = *static_cast<CheckedSource*>(context);
        self.outside |= length == 0 || std::uint64_t{offset} + length > self.bytes->size();
        if (self.outside || offset % 2 != 0) return nullptr;
        return self.bytes->data() + offset;
      };
    }
    s.size = static_cast<std::uint32_t>(bytes->size());
    s.context = this;
    s.read = [](void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
      auto& self = *static_cast<CheckedSource*>(context);
      self.outside |= length == 0 || std::uint64_t{offset} + length > self.bytes->size();
      if (self.outside) return false;
      std::memcpy(out, self.bytes->data() + offset, length);
      return true;
    };
    return s;
  }
};

// The outcome of a search, position only when found.
struct Outcome {
  MarkerSearch search;
  std::uint32_t position;
  bool operator==(const Outcome& o) const {
    return search == o.search && (search != MarkerSearch::found || position == o.position);
  }
};

// The rule itself, over the whole span at once: pairs start at 0 ... length - 2.
Outcome wholeSearch(const Bytes& b, std::uint32_t start, unsigned char code, bool last) {
  Outcome outcome{MarkerSearch::absent, 0};
  for (std::uint32_t p = start; p + 1 < b.size(); ++p) {
    if (b[p] == 0xFF && b[p + 1] == code) {
      outcome = {MarkerSearch::found, p - start};
      if (!last) break;
    }
  }
  return outcome;
}

Outcome chunkedSearch(const Bytes& b, std::uint32_t start, unsigned char code, bool last,
                      ChunkPlan plan, bool viewed) {
  CheckedSource checked;
  checked.bytes = &b;
  checked.viewed = viewed;
  const ByteSource source = checked.source();
  const ByteSpan span{&source, start, static_cast<std::uint32_t>(b.size()) - start};
  Outcome outcome{MarkerSearch::absent, 0};
  outcome.search = last ? findLastMarker(span, code, plan, outcome.position)
                        : findFirstMarker(span, code, plan, outcome.position);
  EXPECT_FALSE(checked.outside);
  return outcome;
}

// Every buffer of up to 8 bytes over FF, the code and another byte, searched
// from offset 0 and from 1, with chunks of 2 bytes up, read or seen in place:
// a pair lies at every place, and across every chunk boundary, in some
// buffer.
TEST(MarkerSearch, ChunkedSearchesFindWhatAWholeSearchFinds) {
  const unsigned char alphabet[] = {0xFF, 0xE1, 0x00};
  const ChunkPlan plans[] = {{2, 2}, {2, 3}, {2, 16}, {3, 3}, {3, 5}, {4, 64}};
  for (std::size_t length = 0; length <= 8; ++length) {
    std::size_t combinations = 1;
    for (std::size_t k = 0; k < length; ++k) combinations *= 3;
    for (std::size_t n = 0; n < combinations; ++n) {
      Bytes b(length);
      for (std::size_t k = 0, rest = n; k < length; ++k, rest /= 3) b[k] = alphabet[rest % 3];
      for (std::uint32_t start = 0; start <= 1 && start <= length; ++start) {
        for (bool last : {false, true}) {
          const Outcome expected = wholeSearch(b, start, 0xE1, last);
          for (const ChunkPlan& plan : plans) {
            for (bool viewed : {false, true}) {
              ASSERT_TRUE(chunkedSearch(b, start, 0xE1, last, plan, viewed) == expected)
                  << "buffer " << n << " of length " << length << ", start " << start
                  << (last ? ", last" : ", first") << ", plan " << plan.first << "/" << plan.max
                  << (viewed ? ", viewed" : "");
            }
          }
        }
      }
    }
  }
}

}  // namespace
