#include "examples/tiny_jpeg.h"

#include <cmath>
#include <cstddef>

namespace {

using Bytes = std::vector<unsigned char>;

// Position in the 8x8 block of the k-th coefficient in zig-zag order.
constexpr int kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// One flat quantisation step for every coefficient: plain, and fine at
// these sizes.
constexpr int kQuantStep = 6;

// Huffman tables with codes of one length: every DC category (0-11) gets a
// 4-bit code, every AC symbol (EOB, ZRL and run/size for sizes 1-10) an
// 8-bit one. Canonical codes then are the symbol's index, never all ones.
constexpr int kDcCodeLength = 4;
constexpr int kAcCodeLength = 8;

std::vector<int> acSymbols() {
  std::vector<int> symbols = {0x00, 0xF0};  // EOB, ZRL
  for (int run = 0; run < 16; ++run) {
    for (int size = 1; size <= 10; ++size) symbols.push_back(run << 4 | size);
  }
  return symbols;
}

struct BitWriter {
  Bytes& out;
  std::uint32_t buffer = 0;
  int count = 0;

  void put(std::uint32_t bits, int length) {
    for (int i = length - 1; i >= 0; --i) {
      buffer = buffer << 1 | ((bits >> i) & 1u);
      if (++count == 8) {
        out.push_back(static_cast<unsigned char>(buffer));
        if (buffer == 0xFF) out.push_back(0x00);  // byte stuffing
        buffer = 0;
        count = 0;
      }
    }
  }
  // Pads the last byte with one bits.
  void flush() {
    while (count != 0) put(1, 1);
  }
};

// Number of bits of |value| (the JPEG magnitude category).
int categoryOf(int value) {
  int magnitude = value < 0 ? -value : value;
  int category = 0;
  while (magnitude != 0) {
    ++category;
    magnitude >>= 1;
  }
  return category;
}

// The category's extra bits: the value itself, or value - 1 in
// one's-complement form when negative.
std::uint32_t extraBits(int value, int category) {
  return static_cast<std::uint32_t>(value < 0 ? value + (1 << category) - 1 : value);
}

void putSegment(Bytes& out, unsigned char marker, const Bytes& payload) {
  const std::size_t length = payload.size() + 2;
  out.insert(out.end(), {0xFF, marker, static_cast<unsigned char>(length >> 8),
                         static_cast<unsigned char>(length & 0xFF)});
  out.insert(out.end(), payload.begin(), payload.end());
}

// Forward DCT of one level-shifted block, quantised, in zig-zag order.
void transformBlock(const double (&samples)[64], int (&zigzag)[64]) {
  const double pi = std::acos(-1.0);
  int natural[64];
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          sum += samples[y * 8 + x] * std::cos((2 * x + 1) * u * pi / 16) *
                 std::cos((2 * y + 1) * v * pi / 16);
        }
      }
      const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
      const double cv = v == 0 ? std::sqrt(0.5) : 1.0;
      natural[v * 8 + u] = static_cast<int>(std::lround(0.25 * cu * cv * sum / kQuantStep));
    }
  }
  for (int k = 0; k < 64; ++k) zigzag[k] = natural[kZigZag[k]];
}

void encodeBlock(const int (&zigzag)[64], int& previousDc, const std::vector<int>& symbols,
                 BitWriter& bits) {
  const int difference = zigzag[0] - previousDc;
  previousDc = zigzag[0];
  const int dcCategory = categoryOf(difference);
  bits.put(static_cast<std::uint32_t>(dcCategory), kDcCodeLength);
  bits.put(extraBits(difference, dcCategory), dcCategory);

  auto putSymbol = [&](int symbol) {
    for (std::size_t index = 0; index < symbols.size(); ++index) {
      if (symbols[index] == symbol) bits.put(static_cast<std::uint32_t>(index), kAcCodeLength);
    }
  };
  int run = 0;
  for (int k = 1; k < 64; ++k) {
    if (zigzag[k] == 0) {
      ++run;
      continue;
    }
    for (; run >= 16; run -= 16) putSymbol(0xF0);
    const int category = categoryOf(zigzag[k]);
    putSymbol(run << 4 | category);
    bits.put(extraBits(zigzag[k], category), category);
    run = 0;
  }
  if (run != 0) putSymbol(0x00);
}

}  // namespace

Bytes encodeJpeg(const RgbImage& image, const Bytes& exifPayload) {
  Bytes out = {0xFF, 0xD8};
  putSegment(out, 0xE1, exifPayload);

  Bytes quantisation = {0x00};  // 8-bit entries, table 0
  quantisation.insert(quantisation.end(), 64, kQuantStep);
  putSegment(out, 0xDB, quantisation);

  const auto hi = [](int v) { return static_cast<unsigned char>(v >> 8); };
  const auto lo = [](int v) { return static_cast<unsigned char>(v & 0xFF); };
  putSegment(out, 0xC0,
             {8, hi(image.height), lo(image.height), hi(image.width), lo(image.width), 3,  //
              1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0});

  const std::vector<int> symbols = acSymbols();
  Bytes huffman = {0x00};  // DC table 0: 16 counts per code length, then the symbols
  for (int length = 1; length <= 16; ++length) huffman.push_back(length == kDcCodeLength ? 12 : 0);
  for (int category = 0; category < 12; ++category) huffman.push_back(lo(category));
  huffman.push_back(0x10);  // AC table 0
  for (int length = 1; length <= 16; ++length) {
    huffman.push_back(length == kAcCodeLength ? lo(static_cast<int>(symbols.size())) : 0);
  }
  for (int symbol : symbols) huffman.push_back(lo(symbol));
  putSegment(out, 0xC4, huffman);

  putSegment(out, 0xDA, {3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0});

  BitWriter bits{out};
  int previousDc[3] = {0, 0, 0};
  for (int blockY = 0; blockY < image.height; blockY += 8) {
    for (int blockX = 0; blockX < image.width; blockX += 8) {
      double planes[3][64];
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          const std::size_t at =
              3 * (static_cast<std::size_t>(blockY + y) * image.width + (blockX + x));
          const double r = image.pixels[at], g = image.pixels[at + 1], b = image.pixels[at + 2];
          // JFIF colour conversion, then the level shift by 128.
          planes[0][y * 8 + x] = 0.299 * r + 0.587 * g + 0.114 * b - 128;
          planes[1][y * 8 + x] = -0.168736 * r - 0.331264 * g + 0.5 * b;
          planes[2][y * 8 + x] = 0.5 * r - 0.418688 * g - 0.081312 * b;
        }
      }
      for (int component = 0; component < 3; ++component) {
        int zigzag[64];
        transformBlock(planes[component], zigzag);
        encodeBlock(zigzag, previousDc[component], symbols, bits);
      }
    }
  }
  bits.flush();
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}
