// A small baseline JPEG encoder for the sample photos: 8-bit RGB pixels in,
// a complete JPEG file out, with an EXIF APP1 segment right after the start
// marker. Enough for pictures of a few hundred pixels a side; nothing here
// aims at compression or speed.
//
// File layout (ITU-T T.81 B.2):
//   FF D8                 start of image
//   FF E1 len payload     APP1, the EXIF payload given by the caller
//   FF DB len 00 q[64]    one quantisation table (id 0), zig-zag order
//   FF C0 len ...         baseline frame: 8-bit, height, width, Y Cb Cr,
//                         no subsampling, all on table 0
//   FF C4 len ...         DC table 0 and AC table 0
//   FF DA len ...         one interleaved scan of the three components
//   entropy-coded data    one 8x8 block per component per MCU
//   FF D9                 end of image
#ifndef PHOTOCHECK_EXAMPLES_TINY_JPEG_H
#define PHOTOCHECK_EXAMPLES_TINY_JPEG_H

#include <cstdint>
#include <vector>

struct RgbImage {
  int width = 0;                     // a multiple of 8
  int height = 0;                    // a multiple of 8
  std::vector<std::uint8_t> pixels;  // R, G, B per pixel, rows top down
};

std::vector<unsigned char> encodeJpeg(const RgbImage& image,
                                      const std::vector<unsigned char>& exifPayload);

#endif  // PHOTOCHECK_EXAMPLES_TINY_JPEG_H
